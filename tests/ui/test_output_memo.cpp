// The output memo: long lines wrap at its width (no horizontal scroll bar),
// selection and copy work across wrapped rows, and it holds a bounded amount.
#include "ui/Fonts.h"
#include "ui/OutputMemo.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetricsF>
#include <QImage>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using zek::ui::OutputMemo;

namespace {

class OutputMemoTest : public ::testing::Test {
protected:
    void SetUp() override {
        zek::ui::installFontSubstitutions();
        memo.setFont(zek::ui::designFont(zek::ui::kGothicFont, 11));
        memo.resize(300, 200);
        memo.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&memo));
        cell = QFontMetricsF(memo.font()).horizontalAdvance(u'x');
        setColumns(20);
    }

    // Makes the text area exactly `columns` half-width characters wide.
    void setColumns(int columns) {
        const int want = static_cast<int>(std::ceil(columns * cell)) + 4;  // and the margins
        memo.resize(memo.width() + want - memo.viewport()->width(), memo.height());
        QApplication::processEvents();
        ASSERT_EQ(memo.viewport()->width(), want);
    }

    QPoint at(int row, int column) const {
        const int lh = memo.fontMetrics().height();
        return {2 + static_cast<int>(column * cell) + 1, row * lh + lh / 2};
    }

    void mouse(QEvent::Type type, QPoint p, Qt::MouseButtons buttons) {
        QMouseEvent e(type, p, memo.viewport()->mapToGlobal(p), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(memo.viewport(), &e);
    }

    void append(const QStringList& lines) {
        for (const QString& l : lines)
            memo.appendLine(l);
        memo.flush();
    }

    OutputMemo memo;
    qreal cell = 0;
};

struct WrapCase {
    QString line;
    QStringList rows;
};

TEST_F(OutputMemoTest, WrapsLongLinesAtItsWidth) {
    const std::vector<WrapCase> cases = {
        {"short", {"short"}},
        // At a space where there is one; the space stays at the end of its row.
        {"aaaa bbbb cccc dddd eeee ffff", {"aaaa bbbb cccc dddd ", "eeee ffff"}},
        {"song.mml:12:3: error: bad", {"song.mml:12:3: ", "error: bad"}},
        // Anywhere in a word longer than a row.
        {QString(45, u'x'), {QString(20, u'x'), QString(20, u'x'), QString(5, u'x')}},
    };
    for (const WrapCase& c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        memo.clear();
        append({c.line});
        EXPECT_EQ(memo.rowsOf(0), c.rows);
        EXPECT_EQ(memo.rowCount(), c.rows.size());
        EXPECT_EQ(memo.line(0), c.line) << "the line itself is unchanged";
    }
    EXPECT_EQ(memo.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST_F(OutputMemoTest, JapaneseBreaksBetweenCharactersButNotBeforeAClosingMark) {
    const QString line = QStringLiteral("error: 音長が不正です。休符も不正です。音長が不正です。");
    append({line});
    const QStringList rows = memo.rowsOf(0);
    ASSERT_GT(rows.size(), 1);
    EXPECT_EQ(rows.join(QString()), line);
    EXPECT_TRUE(rows[0].startsWith("error: 音長")) << "Japanese fills the row after the space";
    const QFontMetricsF metrics(memo.font());
    for (const QString& row : rows) {
        EXPECT_FALSE(row.startsWith(u'。')) << row.toStdString();
        EXPECT_LE(metrics.horizontalAdvance(row), 20 * cell + 0.5) << row.toStdString();
    }
}

TEST_F(OutputMemoTest, PaintsEveryRowOfAWrappedLine) {
    append({QString(45, u'x')});
    const QImage shot = memo.viewport()->grab().toImage();
    const int lh = memo.fontMetrics().height();
    // Each of the three rows has ink in it; nothing hides behind a scroll bar.
    for (int row = 0; row < 3; ++row) {
        bool ink = false;
        for (int y = row * lh; y < (row + 1) * lh && !ink; ++y)
            for (int x = 0; x < shot.width() && !ink; ++x)
                ink = qGray(shot.pixel(x, y)) < 128;
        EXPECT_TRUE(ink) << "row " << row;
    }
    EXPECT_FALSE(memo.horizontalScrollBar()->isVisible());
}

TEST_F(OutputMemoTest, ResizingWrapsAgainAndKeepsTheEndInView) {
    QStringList lines;
    for (int i = 0; i < 50; ++i)
        lines << QString(45, QChar(u'a' + i % 26));
    append(lines);
    EXPECT_EQ(memo.rowCount(), 150);
    setColumns(45);
    EXPECT_EQ(memo.rowCount(), 50);
    setColumns(9);
    EXPECT_EQ(memo.rowCount(), 250);
    EXPECT_EQ(memo.verticalScrollBar()->value(), memo.verticalScrollBar()->maximum()) << "still at the end";
}

TEST_F(OutputMemoTest, SelectsAndCopiesAcrossWrappedRows) {
    append({"aaaa bbbb cccc dddd eeee ffff", "next"});
    // From "bbbb" on the first row to the middle of "eeee" on the second.
    mouse(QEvent::MouseButtonPress, at(0, 5), Qt::LeftButton);
    mouse(QEvent::MouseMove, at(1, 2), Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, at(1, 2), Qt::NoButton);
    EXPECT_EQ(memo.selectedText(), "bbbb cccc dddd ee");
    QTest::keyClick(&memo, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "bbbb cccc dddd ee");
    // Into the next line, past the wrap.
    mouse(QEvent::MouseButtonPress, at(1, 5), Qt::LeftButton);
    mouse(QEvent::MouseMove, at(2, 3), Qt::LeftButton);
    EXPECT_EQ(memo.selectedText(), "ffff\nnex");
    // Everything: the lines as printed, no break where they wrap.
    QTest::keyClick(&memo, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&memo, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "aaaa bbbb cccc dddd eeee ffff\nnext");
}

TEST_F(OutputMemoTest, KeepsTheFirstAndTheNewestLinesWithinItsBound) {
    memo.setBound({1 << 20, 1000, 10});
    for (int i = 0; i < 10000; ++i)
        memo.appendLine(QStringLiteral("song.mml:%1:1: error").arg(i));
    memo.flush();
    EXPECT_LE(memo.lineCount(), 1000);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(memo.line(i), QStringLiteral("song.mml:%1:1: error").arg(i));
    EXPECT_EQ(memo.line(10), OutputMemo::droppedLinesText(memo.droppedLines()));
    EXPECT_EQ(memo.line(10), QStringLiteral("… %1 行省略 …").arg(memo.droppedLines()));
    EXPECT_EQ(memo.line(memo.lineCount() - 1), "song.mml:9999:1: error");
    EXPECT_EQ(memo.line(11), QStringLiteral("song.mml:%1:1: error").arg(10 + memo.droppedLines()))
        << "nothing else is missing";
    qsizetype rows = 0;
    for (qsizetype i = 0; i < memo.lineCount(); ++i)
        rows += memo.rowsOf(i).size();
    EXPECT_EQ(memo.rowCount(), rows) << "the rows of what is left are counted right";
    EXPECT_EQ(memo.text("\n").count('\n'), memo.lineCount());

    // The same by size: long lines, and one longer than a quarter of the bound.
    memo.clear();
    memo.setBound({64 << 10, 1000, 10});
    for (int i = 0; i < 1000; ++i)
        memo.appendLine(QString(1000, u'x') + QString::number(i));
    memo.appendLine(QString(100000, u'y'));
    EXPECT_LE(memo.text("\n").size(), 64 << 10);
    EXPECT_EQ(memo.line(0), QString(1000, u'x') + "0");
    const QString last = memo.line(memo.lineCount() - 1);
    EXPECT_EQ(last, QString((16 << 10) - 3, u'y') + "…");
}

}  // namespace
