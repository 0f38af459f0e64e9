#pragma once
// The read-only output memo. A compiler may print a million lines, or print
// without end; the memo keeps its lines as one UTF-8 buffer with a few
// numbers per line, wraps each at the memo's width (only a vertical scroll
// bar), and paints only the rows in view, so appending costs the same however
// much it holds. It holds a bounded amount: past its bound it keeps the
// first lines (where the first errors are) and the newest ones, with one
// line saying how many it left out between them.
#include "platform/ChildProcess.h"

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QHash>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <vector>

namespace zek::ui {

class OutputMemo : public QAbstractScrollArea {
    Q_OBJECT
public:
    struct Bound {
        // Of text. A single line is cut past a quarter of it (and ends in
        // "…"): by default where the runner already cuts a compiler's line.
        qsizetype bytes = 4 * platform::kMaxOutputLineBytes;
        qsizetype lines = qsizetype(2) << 20;
        qsizetype headLines = 1000;  // kept from the start once lines are left out
    };

    explicit OutputMemo(QWidget* parent = nullptr);
    void setBound(const Bound& bound) { bound_ = bound; }
    const Bound& bound() const { return bound_; }

    void clear();
    void appendLine(const QString& line);
    // Brings the scroll bar and the view up to date after appends; appends
    // themselves do no layout work.
    void flush();

    qsizetype lineCount() const { return static_cast<qsizetype>(starts_.size()); }
    QString line(qsizetype index) const;
    QByteArray lineUtf8(qsizetype index) const;
    QStringList lines() const;
    // Every line followed by `eol`, in UTF-8.
    QByteArray text(const QByteArray& eol) const;
    // How many lines were left out to stay within the bound.
    qsizetype droppedLines() const { return dropped_; }
    // The line that stands where lines were left out.
    static QString droppedLinesText(qsizetype count);

    // A line as it is shown: one text per row at the memo's current width.
    QStringList rowsOf(qsizetype index) const;
    int rowCount() const { return totalRows_; }

    QString selectedText() const;
    void selectAll();
    void copy() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Position {
        qsizetype line = 0;
        qsizetype column = 0;  // in UTF-16 units of the line
        bool operator<(const Position& o) const {
            return line != o.line ? line < o.line : column < o.column;
        }
        bool operator==(const Position& o) const = default;
    };
    struct Row {
        qsizetype begin;  // UTF-16 units of the shown text
        qsizetype end;
    };

    // Only this many characters of a line are laid out and shown; the whole
    // line stays in the memo (and in the log written from it).
    static constexpr int kShownChars = 65536;
    static constexpr int kMargin = 2;

    int lineHeight() const;
    qreal advance(char32_t c) const;
    qreal widthOf(const QString& s, qsizetype from, qsizetype to) const;
    qreal naturalWidth(const QString& shown) const;
    std::vector<Row> wrap(const QString& shown, qreal width) const;
    int rowsFor(qsizetype index, const QString& shown) const;
    qreal wrapWidth() const;
    void relayout(bool fontChanged);
    void reserveForBound();
    void dropMiddle();
    void updateScrollBar();
    qsizetype lineAtRow(int row) const;
    Position positionAt(const QPoint& viewportPoint) const;
    QString shownText(qsizetype index) const;

    Bound bound_;
    QByteArray text_;
    std::vector<qsizetype> starts_;  // byte offset of each line
    std::vector<float> widths_;      // width of each line's shown text, unwrapped
    std::vector<int> rowStarts_;     // first row of each line at wrapWidth_
    int totalRows_ = 0;
    qreal wrapWidth_ = 0;
    qsizetype dropped_ = 0;
    qsizetype headLines_ = 0;  // lines kept before the left-out line, once there is one

    qreal asciiAdvance_[128] = {};
    mutable QHash<char32_t, qreal> otherAdvance_;

    bool followEnd_ = true;
    Position anchor_;
    Position cursor_;
    bool hasSelection_ = false;
};

}  // namespace zek::ui
