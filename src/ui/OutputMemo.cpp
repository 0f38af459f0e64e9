#include "ui/OutputMemo.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <climits>
#include <cstring>

namespace zek::ui {
namespace {

// Rounding of summed advances must not make a line that fits wrap.
constexpr qreal kFitSlack = 0.01;

char16_t shownUnit(QChar c) { return c.unicode() < 0x20 ? u' ' : c.unicode(); }

// East Asian text breaks between any two characters; these do not start a
// row (closing marks, small kana, the long vowel) or end one (opening marks).
bool isWide(char16_t c) { return c >= 0x2E80; }
bool noBreakBefore(char16_t c) {
    static constexpr char16_t list[] = u"、。，．・：；？！）］｝」』】〕〉》ーぁぃぅぇぉっゃゅょゎァィゥェォッャュョヮヵヶ々"
                                       u"｡｣､･ｰﾞﾟｧｨｩｪｫｯｬｭｮ";
    return std::char_traits<char16_t>::find(list, std::size(list) - 1, c) != nullptr;
}
bool noBreakAfter(char16_t c) {
    static constexpr char16_t list[] = u"（［｛「『【〔〈《｢";
    return std::char_traits<char16_t>::find(list, std::size(list) - 1, c) != nullptr;
}
bool canBreakBetween(char16_t before, char16_t after) {
    if (before == u' ')
        return after != u' ';
    if (!isWide(before) && !isWide(after))
        return false;
    return !noBreakBefore(after) && !noBreakAfter(before);
}

// The character at i (a surrogate pair as one) and its length in units.
char32_t charAt(const QString& s, qsizetype i, int& units) {
    const QChar c = s.at(i);
    if (c.isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()) {
        units = 2;
        return QChar::surrogateToUcs4(c, s.at(i + 1));
    }
    units = 1;
    return c.unicode();
}

// Cuts UTF-8 at most `limit` bytes long, never inside a character.
QByteArray cutUtf8(const QByteArray& bytes, qsizetype limit) {
    qsizetype end = limit;
    while (end > 0 && (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80)
        --end;
    return bytes.left(end);
}

}  // namespace

OutputMemo::OutputMemo(QWidget* parent) : QAbstractScrollArea(parent) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        followEnd_ = value >= verticalScrollBar()->maximum();
    });
    relayout(true);
}

QString OutputMemo::droppedLinesText(qsizetype count) {
    return QStringLiteral("… %1 行省略 …").arg(count);
}

void OutputMemo::clear() {
    text_.clear();
    text_.squeeze();
    std::vector<qsizetype>().swap(starts_);
    std::vector<float>().swap(widths_);
    std::vector<int>().swap(rowStarts_);
    totalRows_ = 0;
    dropped_ = 0;
    headLines_ = 0;
    hasSelection_ = false;
    anchor_ = cursor_ = {};
    followEnd_ = true;
    flush();
}

// --- Widths and wrapping -------------------------------------------------------------

qreal OutputMemo::advance(char32_t c) const {
    if (c < 128)
        return asciiAdvance_[c];
    auto it = otherAdvance_.constFind(c);
    if (it == otherAdvance_.constEnd())
        it = otherAdvance_.insert(c, QFontMetricsF(font()).horizontalAdvance(QString::fromUcs4(&c, 1)));
    return *it;
}

qreal OutputMemo::widthOf(const QString& s, qsizetype from, qsizetype to) const {
    qreal w = 0;
    int units = 1;
    for (qsizetype i = from; i < to; i += units)
        w += advance(charAt(s, i, units));
    return w;
}

qreal OutputMemo::naturalWidth(const QString& line) const {
    const qsizetype n = std::min<qsizetype>(line.size(), kShownChars);
    const QChar* p = line.constData();
    qreal w = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i].unicode();
        if (c < 128) {
            w += asciiAdvance_[c];
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && p[i + 1].isLowSurrogate()) {
            w += advance(QChar::surrogateToUcs4(c, p[i + 1].unicode()));
            ++i;
        } else {
            w += advance(c);
        }
    }
    return w;
}

std::vector<OutputMemo::Row> OutputMemo::wrap(const QString& shown, qreal width) const {
    std::vector<Row> rows;
    const qsizetype n = shown.size();
    qsizetype rowBegin = 0;
    qsizetype lastBreak = -1;  // where the row may end, if anywhere yet
    qreal x = 0;
    qreal xAtBreak = 0;
    for (qsizetype i = 0; i < n;) {
        if (i > rowBegin && canBreakBetween(shown.at(i - 1).unicode(), shown.at(i).unicode())) {
            lastBreak = i;
            xAtBreak = x;
        }
        int units = 1;
        const char16_t u = shown.at(i).unicode();
        const qreal a = u < 128 ? asciiAdvance_[u] : advance(charAt(shown, i, units));
        // Spaces may hang past the edge; anything else starts a new row.
        if (x + a > width + kFitSlack && i > rowBegin && shown.at(i) != u' ') {
            const bool atBreak = lastBreak > rowBegin;
            const qsizetype cut = atBreak ? lastBreak : i;
            rows.push_back({rowBegin, cut});
            x = atBreak ? x - xAtBreak : 0;
            rowBegin = cut;
            lastBreak = -1;
            continue;  // the same character again, on the new row
        }
        x += a;
        i += units;
    }
    rows.push_back({rowBegin, n});
    return rows;
}

QString OutputMemo::shownText(qsizetype index) const {
    QByteArray bytes = lineUtf8(index);
    // Four bytes per character at most: enough for the shown characters.
    if (bytes.size() > qsizetype(kShownChars) * 4)
        bytes.truncate(qsizetype(kShownChars) * 4);
    QString s = QString::fromUtf8(bytes);
    if (s.size() > kShownChars)
        s.truncate(kShownChars);
    // Tabs and control characters would draw as nothing useful.
    for (QChar& c : s)
        c = QChar(shownUnit(c));
    return s;
}

int OutputMemo::rowsFor(qsizetype index, const QString& shown) const {
    if (widths_[static_cast<size_t>(index)] <= wrapWidth_ + kFitSlack)
        return 1;
    return static_cast<int>(wrap(shown, wrapWidth_).size());
}

qreal OutputMemo::wrapWidth() const {
    // A memo squeezed to nothing still shows a few characters a row.
    return std::max<qreal>(viewport()->width() - 2 * kMargin, 8 * asciiAdvance_['M']);
}

void OutputMemo::relayout(bool fontChanged) {
    if (fontChanged) {
        const QFontMetricsF metrics(font());
        for (char16_t c = 0; c < 128; ++c)
            asciiAdvance_[c] = metrics.horizontalAdvance(QChar(shownUnit(QChar(c))));
        otherAdvance_.clear();
    }
    wrapWidth_ = wrapWidth();
    qint64 rows = 0;
    for (qsizetype i = 0; i < lineCount(); ++i) {
        const auto k = static_cast<size_t>(i);
        rowStarts_[k] = static_cast<int>(rows);
        if (fontChanged) {
            const QString shown = shownText(i);
            widths_[k] = static_cast<float>(naturalWidth(shown));
            rows += rowsFor(i, shown);
        } else {
            rows += widths_[k] <= wrapWidth_ + kFitSlack ? 1 : rowsFor(i, shownText(i));
        }
    }
    totalRows_ = static_cast<int>(std::min<qint64>(rows, INT_MAX));
}

// --- Appending, within the bound ------------------------------------------------------

void OutputMemo::appendLine(const QString& line) {
    QByteArray utf8 = line.toUtf8();
    if (const qsizetype most = bound_.bytes / 4; utf8.size() > most)
        utf8 = cutUtf8(utf8, most - 3) + "…";
    const qreal width = naturalWidth(line);
    int rows = 1;
    if (width > wrapWidth_ + kFitSlack) {
        QString shown = line.left(kShownChars);
        for (QChar& c : shown)
            c = QChar(shownUnit(c));
        rows = static_cast<int>(wrap(shown, wrapWidth_).size());
    }
    // A large output gets its room at once: growing step by step copies it
    // into fresh memory again and again, and fresh memory is slow to touch.
    if (text_.size() + utf8.size() > text_.capacity() && text_.size() > (qsizetype(1) << 20))
        reserveForBound();
    starts_.push_back(text_.size());
    text_.append(utf8);
    widths_.push_back(static_cast<float>(width));
    rowStarts_.push_back(totalRows_);
    totalRows_ = static_cast<int>(std::min<qint64>(qint64(totalRows_) + rows, INT_MAX));
    if (text_.size() > bound_.bytes || lineCount() > bound_.lines)
        dropMiddle();
}

void OutputMemo::reserveForBound() {
    text_.reserve(bound_.bytes + bound_.bytes / 4 + 16);
    const auto lines = static_cast<size_t>(bound_.lines + bound_.lines / 4 + 16);
    starts_.reserve(lines);
    widths_.reserve(lines);
    rowStarts_.reserve(lines);
}

// Leaves out lines between the first ones and the newest until the memo is
// down to three quarters of its bound, so that this runs once for every
// quarter of the bound appended: appending stays cheap on average.
void OutputMemo::dropMiddle() {
    if (dropped_ == 0) {
        headLines_ = std::min(bound_.headLines, lineCount() - 1);
        while (headLines_ > 0 && starts_[static_cast<size_t>(headLines_)] > bound_.bytes / 8)
            --headLines_;
    }
    const qsizetype marker = headLines_;  // index of the left-out line
    const qsizetype firstDroppable = dropped_ > 0 ? marker + 1 : marker;
    const qsizetype headBytes = starts_[static_cast<size_t>(marker)];
    // The oldest line to keep: the newest ones fit in three quarters of the bound.
    const qsizetype byByte = std::lower_bound(starts_.begin(), starts_.end(),
                                              text_.size() + headBytes - bound_.bytes * 3 / 4) -
                             starts_.begin();
    const qsizetype byCount = lineCount() + marker + 1 - bound_.lines * 3 / 4;
    const qsizetype keepFrom = std::min(std::max({byByte, byCount, firstDroppable}), lineCount() - 1);
    const qsizetype removed = keepFrom - firstDroppable;
    if (removed <= 0)
        return;
    dropped_ += removed;

    const QString markerText = droppedLinesText(dropped_);
    const QByteArray markerUtf8 = markerText.toUtf8();
    const auto m = static_cast<size_t>(marker);
    const auto k = static_cast<size_t>(keepFrom);
    const qsizetype byteShift = starts_[k] - starts_[m] - markerUtf8.size();
    if (byteShift >= 0) {
        // In place: the memory stays the same.
        char* data = text_.data();
        std::memmove(data + starts_[m] + markerUtf8.size(), data + starts_[k], static_cast<size_t>(text_.size() - starts_[k]));
        std::memcpy(data + starts_[m], markerUtf8.constData(), static_cast<size_t>(markerUtf8.size()));
        text_.truncate(text_.size() - byteShift);
    } else {
        text_.replace(starts_[m], starts_[k] - starts_[m], markerUtf8);
    }

    widths_[m] = static_cast<float>(naturalWidth(markerText));
    const int markerRows = rowsFor(marker, markerText);
    const int rowShift = rowStarts_[k] - rowStarts_[m] - markerRows;
    const int oldTopRow = verticalScrollBar()->value();
    const int droppedFromRow = rowStarts_[m];
    const int keptFromRow = rowStarts_[k];

    const auto eraseDropped = [m, k](auto& v) {
        v.erase(v.begin() + static_cast<std::ptrdiff_t>(m + 1), v.begin() + static_cast<std::ptrdiff_t>(k));
    };
    eraseDropped(starts_);
    eraseDropped(widths_);
    eraseDropped(rowStarts_);
    for (size_t i = m + 1; i < starts_.size(); ++i) {
        starts_[i] -= byteShift;
        rowStarts_[i] -= rowShift;
    }
    totalRows_ -= rowShift;

    // A selection in what went is dropped; one after it moves with its lines.
    const qsizetype lineShift = keepFrom - marker - 1;
    for (Position* p : {&anchor_, &cursor_}) {
        if (p->line >= marker && p->line < keepFrom)
            hasSelection_ = false;
        else if (p->line >= keepFrom)
            p->line -= lineShift;
    }
    if (!hasSelection_)
        anchor_ = cursor_ = {};
    // A reader keeps looking at the same lines, or at the left-out line.
    if (!followEnd_) {
        updateScrollBar();
        const int top = oldTopRow >= keptFromRow ? oldTopRow - rowShift : std::min(oldTopRow, droppedFromRow);
        const bool follow = followEnd_;
        verticalScrollBar()->setValue(top);
        followEnd_ = follow;
    }
}

void OutputMemo::flush() {
    updateScrollBar();
    if (followEnd_)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    viewport()->update();
}

QByteArray OutputMemo::lineUtf8(qsizetype index) const {
    if (index < 0 || index >= lineCount())
        return {};
    const qsizetype start = starts_[static_cast<size_t>(index)];
    const qsizetype end = index + 1 < lineCount() ? starts_[static_cast<size_t>(index + 1)] : text_.size();
    return text_.mid(start, end - start);
}

QString OutputMemo::line(qsizetype index) const { return QString::fromUtf8(lineUtf8(index)); }

QStringList OutputMemo::lines() const {
    QStringList out;
    out.reserve(lineCount());
    for (qsizetype i = 0; i < lineCount(); ++i)
        out << line(i);
    return out;
}

QByteArray OutputMemo::text(const QByteArray& eol) const {
    QByteArray out;
    out.reserve(text_.size() + lineCount() * eol.size());
    for (qsizetype i = 0; i < lineCount(); ++i) {
        out.append(lineUtf8(i));
        out.append(eol);
    }
    return out;
}

QStringList OutputMemo::rowsOf(qsizetype index) const {
    if (index < 0 || index >= lineCount())
        return {};
    const QString shown = shownText(index);
    QStringList out;
    for (const Row& r : wrap(shown, wrapWidth_))
        out << shown.mid(r.begin, r.end - r.begin);
    return out;
}

// --- View -------------------------------------------------------------------------------

int OutputMemo::lineHeight() const { return std::max(1, fontMetrics().height()); }

void OutputMemo::updateScrollBar() {
    const int rows = std::max(1, viewport()->height() / lineHeight());
    QScrollBar* v = verticalScrollBar();
    v->setPageStep(rows);
    v->setSingleStep(1);
    v->setRange(0, std::max(0, totalRows_ - rows));
}

qsizetype OutputMemo::lineAtRow(int row) const {
    const auto it = std::upper_bound(rowStarts_.begin(), rowStarts_.end(), row);
    return std::max<qsizetype>(0, (it - rowStarts_.begin()) - 1);
}

void OutputMemo::paintEvent(QPaintEvent*) {
    if (lineCount() == 0)
        return;
    QPainter p(viewport());
    const QPalette& pal = palette();
    p.setPen(pal.color(QPalette::Text));
    const int lh = lineHeight();
    const int ascent = fontMetrics().ascent();
    const int height = viewport()->height();
    const int first = verticalScrollBar()->value();
    const Position selStart = std::min(anchor_, cursor_);
    const Position selEnd = std::max(anchor_, cursor_);
    qsizetype index = lineAtRow(first);
    int skip = first - rowStarts_[static_cast<size_t>(index)];
    for (int y = 0; y < height && index < lineCount(); ++index, skip = 0) {
        const QString s = shownText(index);
        const std::vector<Row> rows =
            widths_[static_cast<size_t>(index)] <= wrapWidth_ + kFitSlack ? std::vector<Row>{{0, s.size()}}
                                                                         : wrap(s, wrapWidth_);
        const bool selected = hasSelection_ && selStart.line <= index && index <= selEnd.line;
        const qsizetype from = !selected ? 0 : index == selStart.line ? selStart.column : 0;
        const qsizetype to = !selected ? 0 : index == selEnd.line ? selEnd.column : s.size() + 1;
        for (size_t r = static_cast<size_t>(skip); r < rows.size() && y < height; ++r, y += lh) {
            const Row row = rows[r];
            const qsizetype a = std::clamp(from, row.begin, row.end);
            const qsizetype b = std::clamp(to, row.begin, row.end);
            if (selected && (b > a || (r + 1 == rows.size() && to > s.size()))) {
                const qreal left = kMargin + widthOf(s, row.begin, a);
                qreal right = kMargin + widthOf(s, row.begin, b);
                // The line break itself is part of a selection that goes on.
                if (r + 1 == rows.size() && to > s.size())
                    right += asciiAdvance_[' '];
                p.fillRect(QRectF(left, y, right - left, lh), pal.highlight());
            }
            p.drawText(QPointF(kMargin, y + ascent), s.mid(row.begin, row.end - row.begin));
        }
    }
}

void OutputMemo::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    const bool follow = followEnd_;
    if (wrapWidth() != wrapWidth_) {
        // The line at the top stays at the top.
        const int first = verticalScrollBar()->value();
        const qsizetype top = lineAtRow(first);
        const int into = lineCount() > 0 ? first - rowStarts_[static_cast<size_t>(top)] : 0;
        relayout(false);
        updateScrollBar();
        if (lineCount() > 0) {
            const auto t = static_cast<size_t>(top);
            const int rowsOfTop = (t + 1 < rowStarts_.size() ? rowStarts_[t + 1] : totalRows_) - rowStarts_[t];
            verticalScrollBar()->setValue(rowStarts_[t] + std::min(into, rowsOfTop - 1));
        }
    }
    updateScrollBar();
    followEnd_ = follow;
    if (follow)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

OutputMemo::Position OutputMemo::positionAt(const QPoint& pt) const {
    Position pos;
    if (lineCount() == 0)
        return pos;
    const qint64 row = qint64(verticalScrollBar()->value()) + std::max(0, pt.y()) / lineHeight();
    if (row >= totalRows_) {
        pos.line = lineCount() - 1;
        pos.column = line(pos.line).size();
        return pos;
    }
    pos.line = lineAtRow(static_cast<int>(row));
    const QString s = shownText(pos.line);
    const std::vector<Row> rows = wrap(s, wrapWidth_);
    const Row r = rows[std::min<size_t>(static_cast<size_t>(row - rowStarts_[static_cast<size_t>(pos.line)]),
                                        rows.size() - 1)];
    // The first column whose character's middle lies right of x.
    const qreal x = pt.x() - kMargin;
    qreal left = 0;
    int units = 1;
    qsizetype i = r.begin;
    for (; i < r.end; i += units) {
        const qreal a = advance(charAt(s, i, units));
        if (left + a / 2 > x)
            break;
        left += a;
    }
    pos.column = i;
    return pos;
}

void OutputMemo::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QAbstractScrollArea::mousePressEvent(event);
    cursor_ = positionAt(event->position().toPoint());
    if (!(event->modifiers() & Qt::ShiftModifier))
        anchor_ = cursor_;
    hasSelection_ = !(anchor_ == cursor_);
    viewport()->update();
}

void OutputMemo::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint pt = event->position().toPoint();
    if (pt.y() < 0)
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (pt.y() > viewport()->height())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    cursor_ = positionAt(pt);
    hasSelection_ = !(anchor_ == cursor_);
    viewport()->update();
}

QString OutputMemo::selectedText() const {
    if (!hasSelection_)
        return {};
    const Position a = std::min(anchor_, cursor_);
    const Position b = std::max(anchor_, cursor_);
    QString out;
    for (qsizetype i = a.line; i <= b.line && i < lineCount(); ++i) {
        const QString s = line(i);
        const qsizetype from = i == a.line ? std::min(a.column, s.size()) : 0;
        const qsizetype to = i == b.line ? std::min(b.column, s.size()) : s.size();
        out += s.mid(from, to - from);
        if (i != b.line)
            out += '\n';
    }
    return out;
}

void OutputMemo::selectAll() {
    if (lineCount() == 0)
        return;
    anchor_ = {0, 0};
    cursor_ = {lineCount() - 1, line(lineCount() - 1).size()};
    hasSelection_ = true;
    viewport()->update();
}

void OutputMemo::copy() const {
    if (hasSelection_)
        QApplication::clipboard()->setText(selectedText());
}

void OutputMemo::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        copy();
    } else if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
    } else if (event->matches(QKeySequence::MoveToStartOfDocument)) {
        verticalScrollBar()->setValue(0);
    } else if (event->matches(QKeySequence::MoveToEndOfDocument)) {
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    } else if (event->key() == Qt::Key_PageUp || event->key() == Qt::Key_PageDown ||
               event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) {
        const auto action = event->key() == Qt::Key_PageUp     ? QAbstractSlider::SliderPageStepSub
                            : event->key() == Qt::Key_PageDown ? QAbstractSlider::SliderPageStepAdd
                            : event->key() == Qt::Key_Up       ? QAbstractSlider::SliderSingleStepSub
                                                               : QAbstractSlider::SliderSingleStepAdd;
        verticalScrollBar()->triggerAction(action);
    } else {
        event->ignore();
    }
}

void OutputMemo::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copyAction = menu.addAction(QStringLiteral("コピー(&C)"), this, &OutputMemo::copy);
    copyAction->setEnabled(hasSelection_);
    menu.addAction(QStringLiteral("すべて選択(&A)"), this, &OutputMemo::selectAll);
    menu.exec(event->globalPos());
}

void OutputMemo::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        relayout(true);
        flush();
    }
}

}  // namespace zek::ui
