#pragma once
// The read-only output memo. A compiler may print a million lines; the memo
// keeps them as one UTF-8 buffer with line offsets (a little more than the
// text itself) and paints only the lines in view, so appending stays cheap
// and memory stays close to the size of the output.
#include <QAbstractScrollArea>
#include <QByteArray>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <vector>

namespace zek::ui {

class OutputMemo : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit OutputMemo(QWidget* parent = nullptr);

    void clear();
    void appendLine(const QString& line);
    // Brings the scroll bars and the view up to date after appends; appends
    // themselves do no layout work.
    void flush();

    qsizetype lineCount() const { return static_cast<qsizetype>(starts_.size()); }
    QString line(qsizetype index) const;
    QByteArray lineUtf8(qsizetype index) const;
    QStringList lines() const;
    // Every line followed by `eol`, in UTF-8.
    QByteArray text(const QByteArray& eol) const;

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

    // Only this many characters of a line are laid out for painting; the
    // whole line stays in the memo (and in the log written from it).
    static constexpr int kPaintedChars = 65536;

    int lineHeight() const;
    void updateScrollBars();
    Position positionAt(const QPoint& viewportPoint) const;
    QString paintedText(qsizetype index) const;

    QByteArray text_;
    std::vector<qsizetype> starts_;
    qsizetype longestLineBytes_ = 0;
    bool followEnd_ = true;
    Position anchor_;
    Position cursor_;
    bool hasSelection_ = false;
};

}  // namespace zek::ui
