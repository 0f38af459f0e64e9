#include "ui/OutputMemo.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace zek::ui {

OutputMemo::OutputMemo(QWidget* parent) : QAbstractScrollArea(parent) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        followEnd_ = value >= verticalScrollBar()->maximum();
    });
}

void OutputMemo::clear() {
    text_.clear();
    text_.squeeze();
    starts_.clear();
    starts_.shrink_to_fit();
    longestLineBytes_ = 0;
    hasSelection_ = false;
    anchor_ = cursor_ = {};
    followEnd_ = true;
    flush();
}

void OutputMemo::appendLine(const QString& line) {
    const QByteArray utf8 = line.toUtf8();
    starts_.push_back(text_.size());
    text_.append(utf8);
    longestLineBytes_ = std::max(longestLineBytes_, utf8.size());
}

void OutputMemo::flush() {
    updateScrollBars();
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

QString OutputMemo::paintedText(qsizetype index) const {
    QByteArray bytes = lineUtf8(index);
    // Four bytes per character at most: enough to fill the painted width.
    if (bytes.size() > kPaintedChars * 4)
        bytes.truncate(kPaintedChars * 4);
    QString s = QString::fromUtf8(bytes);
    if (s.size() > kPaintedChars)
        s.truncate(kPaintedChars);
    // Tabs and control characters would draw as nothing useful.
    for (QChar& c : s)
        if (c.unicode() < 0x20)
            c = QChar(' ');
    return s;
}

int OutputMemo::lineHeight() const { return std::max(1, fontMetrics().height()); }

void OutputMemo::updateScrollBars() {
    const int rows = std::max(1, viewport()->height() / lineHeight());
    QScrollBar* v = verticalScrollBar();
    v->setPageStep(rows);
    v->setSingleStep(1);
    v->setRange(0, static_cast<int>(std::max<qsizetype>(0, lineCount() - rows)));
    const qsizetype chars = std::min<qsizetype>(longestLineBytes_, kPaintedChars);
    const qint64 contentWidth = chars * static_cast<qint64>(fontMetrics().horizontalAdvance(QChar('M'))) + 8;
    QScrollBar* h = horizontalScrollBar();
    h->setPageStep(viewport()->width());
    h->setSingleStep(fontMetrics().horizontalAdvance(QChar('M')) * 4);
    h->setRange(0, static_cast<int>(std::clamp<qint64>(contentWidth - viewport()->width(), 0, 1 << 30)));
}

void OutputMemo::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    const int lh = lineHeight();
    const int ascent = fontMetrics().ascent();
    const int first = verticalScrollBar()->value();
    const int x0 = 2 - horizontalScrollBar()->value();
    const int rows = viewport()->height() / lh + 1;
    Position selStart = std::min(anchor_, cursor_);
    Position selEnd = std::max(anchor_, cursor_);
    const QPalette& pal = palette();
    for (int r = 0; r < rows; ++r) {
        const qsizetype index = first + r;
        if (index >= lineCount())
            break;
        const QString s = paintedText(index);
        const int y = r * lh;
        if (hasSelection_ && selStart.line <= index && index <= selEnd.line) {
            const qsizetype from = index == selStart.line ? std::min(selStart.column, s.size()) : 0;
            const qsizetype to = index == selEnd.line ? std::min(selEnd.column, s.size()) : s.size();
            const int left = x0 + fontMetrics().horizontalAdvance(s.left(from));
            int right = x0 + fontMetrics().horizontalAdvance(s.left(to));
            if (index != selEnd.line)
                right += fontMetrics().horizontalAdvance(QChar(' '));
            p.fillRect(QRect(left, y, std::max(0, right - left), lh), pal.highlight());
        }
        p.setPen(pal.color(QPalette::Text));
        p.drawText(x0, y + ascent, s);
    }
}

void OutputMemo::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    const bool follow = followEnd_;
    updateScrollBars();
    if (follow)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

OutputMemo::Position OutputMemo::positionAt(const QPoint& pt) const {
    Position pos;
    if (lineCount() == 0)
        return pos;
    const qsizetype index = verticalScrollBar()->value() + std::max(0, pt.y()) / lineHeight();
    pos.line = std::min(index, lineCount() - 1);
    const QString s = paintedText(pos.line);
    const int x = pt.x() - 2 + horizontalScrollBar()->value();
    // The first column whose left half lies right of x.
    qsizetype lo = 0;
    qsizetype hi = s.size();
    while (lo < hi) {
        const qsizetype mid = (lo + hi) / 2;
        const int edge = fontMetrics().horizontalAdvance(s.left(mid + 1)) -
                         fontMetrics().horizontalAdvance(s.at(mid)) / 2;
        if (edge < x)
            lo = mid + 1;
        else
            hi = mid;
    }
    pos.column = lo;
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
    if (event->type() == QEvent::FontChange)
        updateScrollBars();
}

}  // namespace zek::ui
