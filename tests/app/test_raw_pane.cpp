#include "app/raw_pane.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace {

QStringList Numbered(int from, int to) {
    QStringList lines;
    for (int i = from; i < to; ++i)
        lines << QStringLiteral("L%1").arg(i);
    return lines;
}

// A pane on screen, 10 lines high at most.
struct Shown {
    TRawPane pane;
    Shown() {
        pane.resize(200, 4 + 10 * QFontMetrics(pane.font()).lineSpacing() + 1 + 2 * pane.frameWidth());
        pane.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&pane));
    }
    int Rows() const { return (pane.viewport()->height() - 5) / QFontMetrics(pane.font()).lineSpacing(); }
    QString TopText() const { return pane.toPlainText().split('\n').value(pane.TopLine()); }
};

} // namespace

TEST(RawPane, KeepsTheNewestLinesAsATextEditorWould) {
    struct Case {
        const char* name;
        std::function<void(TRawPane&)> act;
        QString text;
        int blocks;
    };
    const std::vector<Case> cases{
        {"ring drops the oldest",
         [](TRawPane& p) {
             p.setMaximumBlockCount(3);
             p.AppendLines(Numbered(0, 5));
         },
         "L2\nL3\nL4", 3},
        {"one append of several lines",
         [](TRawPane& p) {
             p.setMaximumBlockCount(3);
             p.appendPlainText("a\nb\nc\nd");
             p.appendPlainText("e");
         },
         "c\nd\ne", 3},
        {"wraps many times",
         [](TRawPane& p) {
             p.setMaximumBlockCount(4);
             p.AppendLines(Numbered(0, 1003));
         },
         "L999\nL1000\nL1001\nL1002", 4},
        {"no limit", [](TRawPane& p) { p.AppendLines(Numbered(0, 300)); }, Numbered(0, 300).join('\n'), 300},
        {"shrinking the limit drops at once",
         [](TRawPane& p) {
             p.AppendLines(Numbered(0, 5));
             p.setMaximumBlockCount(2);
             p.appendPlainText("x");
         },
         "L4\nx", 2},
        {"first line fills the empty one",
         [](TRawPane& p) {
             p.appendPlainText("");
             p.appendPlainText("x");
         },
         "x", 1},
        {"after a text",
         [](TRawPane& p) {
             p.setPlainText("Rohdaten ...");
             p.appendPlainText("1");
         },
         "Rohdaten ...\n1", 2},
        {"line ends of a text document", [](TRawPane& p) { p.setPlainText("a\r\nb\rc\n"); }, "a\nb\nc\n", 4},
        {"cleared",
         [](TRawPane& p) {
             p.setPlainText("a\nb");
             p.clear();
         },
         "", 1},
        {"empty line kept inside",
         [](TRawPane& p) {
             p.appendPlainText("a");
             p.AppendLines({"", "b"});
         },
         "a\n\nb", 3},
    };
    for (const Case& c : cases) {
        TRawPane pane;
        c.act(pane);
        EXPECT_EQ(pane.toPlainText(), c.text) << c.name;
        EXPECT_EQ(pane.blockCount(), c.blocks) << c.name;
    }
}

// At the bottom the view follows the newest line; scrolled up it keeps its line, also when older lines
// drop out of the ring, until that line itself drops out.
TEST(RawPane, FollowsAtTheBottomAndStaysWhenScrolledUp) {
    struct Case {
        int max;
        int scrollTo; // -1: left at the bottom
        int more;
        QString top;
    };
    // 100 lines held before: with max 50 these are L50 … L99.
    const std::vector<Case> cases{
        {1000, -1, 5, ""},  {50, -1, 5, ""},   {1000, 10, 5, "L10"},
        {50, 10, 5, "L60"}, {50, 2, 5, "L55"}, {50, 35, 30, "L85"},
    };
    for (const Case& c : cases) {
        Shown s;
        s.pane.setMaximumBlockCount(c.max);
        s.pane.AppendLines(Numbered(0, 100));
        QApplication::processEvents();
        if (c.scrollTo >= 0) s.pane.verticalScrollBar()->setValue(c.scrollTo);
        s.pane.AppendLines(Numbered(100, 100 + c.more));
        QApplication::processEvents();
        QScrollBar* v = s.pane.verticalScrollBar();
        EXPECT_EQ(v->value(), s.pane.TopLine()) << c.scrollTo;
        if (c.scrollTo < 0) {
            EXPECT_EQ(s.pane.TopLine(), s.pane.blockCount() - s.Rows()) << c.max;
            EXPECT_EQ(v->value(), v->maximum());
        } else {
            EXPECT_EQ(s.TopText(), c.top) << c.max << " " << c.scrollTo;
        }
    }
}

TEST(RawPane, MouseSelectionIsCopied) {
    struct Case {
        const char* name;
        int line0, col0, line1, col1;
        bool shiftClick; // the second place by a shift-click instead of a drag
        bool byMenu;     // copied through the menu, else with Ctrl+C
        QString copied;
    };
    const std::vector<Case> cases{
        {"across lines", 0, 6, 2, 3, false, false, "beta\ngamma delta\neps"},
        {"backwards", 2, 3, 0, 6, false, true, "beta\ngamma delta\neps"},
        {"within a line", 1, 2, 1, 9, false, false, "mma del"},
        {"shift-click", 1, 0, 2, 7, true, true, "gamma delta\nepsilon"},
    };
    for (const Case& c : cases) {
        Shown s;
        const QStringList lines{"alpha beta", "gamma delta", "epsilon"};
        s.pane.setPlainText(lines.join('\n'));
        QApplication::clipboard()->clear();
        const QFontMetrics fm(s.pane.font());
        const auto at = [&](int line, int col) {
            return QPoint(4 + fm.horizontalAdvance(lines[line].left(col)), 4 + line * fm.lineSpacing() + 3);
        };
        QWidget* view = s.pane.viewport();
        QTest::mousePress(view, Qt::LeftButton, {}, at(c.line0, c.col0));
        if (c.shiftClick) {
            QTest::mouseRelease(view, Qt::LeftButton, {}, at(c.line0, c.col0));
            QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, at(c.line1, c.col1));
        } else {
            QMouseEvent move(QEvent::MouseMove, at(c.line1, c.col1), view->mapToGlobal(at(c.line1, c.col1)),
                             Qt::NoButton, Qt::LeftButton, {});
            QApplication::sendEvent(view, &move);
            QTest::mouseRelease(view, Qt::LeftButton, {}, at(c.line1, c.col1));
        }
        if (c.byMenu) {
            std::unique_ptr<QMenu> menu(s.pane.createStandardContextMenu());
            menu->actions().at(0)->trigger();
            EXPECT_EQ(menu->actions().at(0)->text(), "Kopieren");
        } else {
            QTest::keyClick(&s.pane, Qt::Key_C, Qt::ControlModifier);
        }
        EXPECT_EQ(QApplication::clipboard()->text(), c.copied) << c.name;
    }
    Shown s;
    s.pane.setPlainText("a\nb");
    QTest::keyClick(&s.pane, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&s.pane, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "a\nb");
}

// A paint draws the lines in view, not the lines held, wherever the view is and with everything selected.
TEST(RawPane, PaintsOnlyTheLinesInView) {
    Shown s;
    s.pane.setMaximumBlockCount(100000);
    s.pane.AppendLines(Numbered(0, 150000));
    QApplication::processEvents();
    for (const int top : {0, 40000, 99990}) {
        for (const bool all : {false, true}) {
            if (all) s.pane.selectAll();
            s.pane.verticalScrollBar()->setValue(top);
            s.pane.viewport()->repaint();
            EXPECT_GE(s.pane.LinesPainted(), s.Rows()) << top;
            EXPECT_LE(s.pane.LinesPainted(), s.Rows() + 1) << top;
        }
    }
}

// Once the slider is at its shortest and at the end, a further line moves nothing on either bar, and the
// bars are not painted again at every append (both were, when the grown range laid them out again).
TEST(RawPane, AppendsAtTheEndPaintNoBar) {
    Shown s;
    // Lines wider than the pane, as a device's are: both bars are shown.
    const QString wide = QStringLiteral("23.500,1013.250,0.004,47.110,12.900,88.020 ");
    QStringList first;
    for (int i = 0; i < 2000; ++i)
        first << wide + QString::number(i);
    s.pane.AppendLines(first);
    QApplication::processEvents();
    struct Counter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            paints += e->type() == QEvent::Paint;
            return false;
        }
    } counter;
    s.pane.verticalScrollBar()->installEventFilter(&counter);
    s.pane.horizontalScrollBar()->installEventFilter(&counter);
    for (int i = 2000; i < 2030; ++i) {
        s.pane.AppendLines({wide + QString::number(i)});
        QTest::qWait(20); // a display frame: the queued layout and the paint it asks for
    }
    EXPECT_LE(counter.paints, 6);                                    // was both bars at every append: 62
    EXPECT_EQ(s.TopText(), wide + QString::number(2030 - s.Rows())); // still following
}

// The horizontal range reaches the widest line, also one wider in pixels than the longest in characters.
// An append while following moves the lines on screen and paints only the new rows: what the screen
// then shows is what a paint of the whole pane draws, also with the ring full and with several lines
// or a wider line in one turn.
TEST(RawPane, TheScreenShowsWhatAWholePaintDraws) {
    const struct {
        const char* name;
        int max, perTurn;
    } cases[] = {{"one line a turn", 0, 1}, {"ring full", 25, 1}, {"three lines a turn", 0, 3}};
    for (const auto& c : cases) {
        Shown s;
        s.pane.setMaximumBlockCount(c.max);
        for (int i = 0; i < 40; i += c.perTurn) {
            QStringList lines;
            for (int k = i; k < i + c.perTurn; ++k)
                lines << (k % 7 == 6 ? QStringLiteral("wide line %1 ----").arg(k) : QString::number(k));
            s.pane.AppendLines(lines);
            QApplication::processEvents();
        }
        QApplication::processEvents();
        const QImage screen = s.pane.screen()->grabWindow(s.pane.winId()).toImage();
        const QImage whole = s.pane.grab().toImage();
        ASSERT_EQ(screen.size(), whole.size()) << c.name;
        EXPECT_TRUE(screen.convertToFormat(QImage::Format_RGB32) ==
                    whole.convertToFormat(QImage::Format_RGB32))
            << c.name;
    }
}

TEST(RawPane, ScrollsToTheWidestLine) {
    for (const QStringList& lines :
         {QStringList{"x", QString(300, 'm')}, QStringList{"iiiiiiiiiiiiii", "WWWWWWWWWWW"}}) {
        Shown s;
        s.pane.resize(60, s.pane.height());
        s.pane.AppendLines(lines);
        QApplication::processEvents();
        QApplication::processEvents();
        const QScrollBar* h = s.pane.horizontalScrollBar();
        int widest = 0;
        for (const QString& line : lines)
            widest = std::max(widest, QFontMetrics(s.pane.font()).horizontalAdvance(line));
        EXPECT_GE(h->maximum() + s.pane.viewport()->width(), 4 + widest) << lines.last().toStdString();
    }
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
