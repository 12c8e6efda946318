// The paged main shell.
#include "controls/instruments/kivoMainShell.h"
#include "tests/controls/core/zyr_widget_test.h"

#include <QLabel>
#include <QMouseEvent>
#include <QParallelAnimationGroup>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

// Reaches the shell's page state and its label breaking.
struct kivoMainShellTestAccess {
    static QList<QRect> cells(kivoMainShell& s) { return s.m_cells; }
    static int pageStart(kivoMainShell& s) { return s.m_pageStart; }
    static bool flipping(kivoMainShell& s) { return s.isFlipping(); }
    static QStringList lines(kivoMainShell& s, QString text, int width) { return s.calculateString(text, width); }
    static QLabel* next(kivoMainShell& s) { return s.m_nextLabel; }
};

namespace {

using Access = kivoMainShellTestAccess;
using zyrtest::shot;

const QColor kIcon(0, 0, 200);
const QColor kLabel(254, 254, 254);

// Icon files for the items: "blue.png" at the cell's size, "small.png" to
// be stretched; "missing.png" does not exist.
class ShellTest : public ::testing::Test {
protected:
    ShellTest()
    {
        zyrtest::solid(77, 77, kIcon).save(dir.filePath("blue.png"));
        zyrtest::solid(10, 20, QColor(0, 160, 0)).save(dir.filePath("small.png"));
        shell.resize(240, 160);
        shell.show(); // a hidden widget gets a resize event with every grab
        QFont font(QStringLiteral("Liberation Sans"));
        font.setPixelSize(12);
        shell.setFont(font);
        shell.setCurFont(font);
    }

    void init(int count, const QString& icon = "blue.png", const QString& label = QString())
    {
        QList<LightMainShell_Item> items;
        for (int i = 0; i < count; ++i)
            items.append({ QStringLiteral("item%1").arg(i), dir.filePath(icon), label });
        LightMainShell_Item next { "next", dir.filePath("missing.png"), QString() };
        shell.setNextItem(next);
        shell.initMainShellItems(items, 3, 2);
    }

    // The centre of cell i of the 3 x 2 grid in 240 x 160.
    static QPoint cell(int i) { return QPoint(2 + (i % 3) * 79 + 38, 2 + (i / 3) * 79 + 38); }

    void tap(QPoint press, QPoint release)
    {
        QTest::mousePress(&shell, Qt::LeftButton, Qt::NoModifier, press);
        if (press != release) {
            QMouseEvent move(QEvent::MouseMove, release, shell.mapToGlobal(release), Qt::NoButton, Qt::LeftButton,
                Qt::NoModifier);
            QCoreApplication::sendEvent(&shell, &move);
        }
        QTest::mouseRelease(&shell, Qt::LeftButton, Qt::NoModifier, release);
    }

    bool flipEnds()
    {
        return zyrtest::pumpUntil([&] { return !Access::flipping(shell) && !shell.findChild<QLabel*>("_showedPage_"); });
    }

    QTemporaryDir dir;
    kivoMainShell shell;
};

TEST_F(ShellTest, CellsAndHitRectangles)
{
    init(6);
    const QList<QRect> full = {
        { 0, 0, 81, 81 }, { 79, 0, 81, 81 }, { 158, 0, 81, 81 },
        { 0, 79, 81, 81 }, { 79, 79, 81, 81 }, { 158, 79, 81, 81 },
    };
    EXPECT_EQ(Access::cells(shell), full);
    EXPECT_EQ(Access::next(shell), nullptr); // one page: no next button

    init(7);
    EXPECT_EQ(Access::cells(shell), full); // five items and the next button
    ASSERT_NE(Access::next(shell), nullptr);
    EXPECT_EQ(Access::next(shell)->geometry(), QRect(160, 81, 77, 77));
    EXPECT_TRUE(Access::next(shell)->isVisible());
    EXPECT_TRUE(Access::next(shell)->testAttribute(Qt::WA_TransparentForMouseEvents));

    init(4); // past the last item: empty rectangles, and the next button goes
    const QList<QRect> four = { full[0], full[1], full[2], full[3], QRect(0, 0, 0, 0), QRect(0, 0, 0, 0) };
    EXPECT_EQ(Access::cells(shell), four);
    EXPECT_FALSE(Access::next(shell)->isVisible());
}

TEST_F(ShellTest, ReleaseRules)
{
    init(7);
    QSignalSpy clicked(&shell, SIGNAL(itemClicked(QString)));
    tap(cell(0), cell(1)); // a release on an item counts wherever the press began
    tap(cell(4), cell(4));
    tap(cell(0), cell(5)); // on the next button only when pressed there
    tap(cell(5), cell(0)); // nor from the next button onto an item
    tap(cell(0), QPoint(-5, 80)); // outside every cell
    ASSERT_EQ(clicked.count(), 2);
    EXPECT_EQ(clicked.at(0).at(0).toString(), "item1");
    EXPECT_EQ(clicked.at(1).at(0).toString(), "item4");
    EXPECT_EQ(Access::pageStart(shell), 0);

    init(6); // no next button: the last cell is an item
    clicked.clear();
    tap(cell(5), cell(5));
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked.at(0).at(0).toString(), "item5");
}

TEST_F(ShellTest, FlipPagesAndWrap)
{
    init(7);
    QSignalSpy clicked(&shell, SIGNAL(itemClicked(QString)));
    tap(cell(5), cell(5));
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked.at(0).at(0).toString(), "next");
    EXPECT_EQ(Access::pageStart(shell), 5);
    QLabel* leaving = shell.findChild<QLabel*>("_disappearPage_");
    QLabel* coming = shell.findChild<QLabel*>("_showedPage_");
    ASSERT_NE(leaving, nullptr);
    ASSERT_NE(coming, nullptr);
    EXPECT_EQ(coming->geometry(), QRect(0, 160, 240, 160)); // just below, sliding up
    EXPECT_TRUE(Access::flipping(shell));

    // While the pages slide, taps and SetFirstPage do nothing.
    tap(cell(0), cell(0));
    tap(cell(5), cell(5));
    shell.SetFirstPage();
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(Access::pageStart(shell), 5);

    ASSERT_TRUE(flipEnds());
    EXPECT_EQ(shell.findChild<QLabel*>("_disappearPage_"), nullptr);
    // The second page: items 5 and 6, empty cells, the next button.
    const QList<QRect> cells = Access::cells(shell);
    ASSERT_EQ(cells.size(), 6);
    EXPECT_FALSE(cells[1].isEmpty());
    EXPECT_TRUE(cells[2].isEmpty() && cells[3].isEmpty() && cells[4].isEmpty());
    tap(cell(1), cell(1));
    EXPECT_EQ(clicked.last().at(0).toString(), "item6");

    tap(cell(5), cell(5)); // after the last page the first again
    EXPECT_EQ(Access::pageStart(shell), 0);
    ASSERT_TRUE(flipEnds());

    tap(cell(5), cell(5));
    ASSERT_TRUE(flipEnds());
    shell.SetFirstPage();
    EXPECT_EQ(Access::pageStart(shell), 0);
}

// Ten items fill two pages of five exactly: the flip after the second
// shows the first page again, not an empty third.
TEST_F(ShellTest, AFullLastPageWrapsToTheFirst)
{
    init(10);
    tap(cell(5), cell(5));
    ASSERT_TRUE(flipEnds());
    EXPECT_EQ(Access::pageStart(shell), 5);
    EXPECT_FALSE(Access::cells(shell)[4].isEmpty());
    tap(cell(5), cell(5));
    ASSERT_TRUE(flipEnds());
    EXPECT_EQ(Access::pageStart(shell), 0);
    QSignalSpy clicked(&shell, SIGNAL(itemClicked(QString)));
    tap(cell(0), cell(0));
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked.at(0).at(0).toString(), "item0");
}

TEST_F(ShellTest, BreakingLabels)
{
    const QFontMetrics m(shell.font());
    const auto w = [&](const char* text) { return m.horizontalAdvance(QString::fromLatin1(text)); };
    const struct {
        const char* text;
        int width;
        QStringList lines;
    } cases[] = {
        { "Mail", w("Mail"), { "Mail" } },
        { "Alpha Beta", w("Alpha Beta") - 1, { "Alpha", "Beta" } },
        { "One Two Three", w("One Two"), { "One Two", "Three" } },
        { " Extraordinary", w("Extra"), { " ", "Extra", "ordin", "ary" } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const QStringList lines = Access::lines(shell, QString::fromLatin1(c.text), c.width);
        // A cut falls after the last character that fits; the measure
        // depends on the font, so the expected cuts are checked by it.
        if (QString::fromLatin1(c.text).startsWith(' ')) {
            ASSERT_GE(lines.size(), 2);
            EXPECT_EQ(lines[0], " ");
            EXPECT_EQ(lines.mid(1).join(QString()), QString::fromLatin1(c.text).mid(1));
            for (const QString& line : lines.mid(1, lines.size() - 2)) {
                EXPECT_LE(m.horizontalAdvance(line), c.width) << line.toStdString();
                const int at = lines.mid(1).join(QString()).indexOf(line) + line.size();
                const QString longer = line + QString::fromLatin1(c.text).mid(1).mid(at, 1);
                EXPECT_GT(m.horizontalAdvance(longer), c.width) << longer.toStdString();
            }
        } else {
            EXPECT_EQ(lines, c.lines);
        }
    }

    // A long word is cut at its last fitting character, and what is left
    // goes on in the next lines.
    const QString word = QStringLiteral("Abcdefghijklmnopqrstuvwxyz");
    const QStringList lines = Access::lines(shell, word, w("Abcdefgh"));
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines.join(QString()), word);
    EXPECT_LE(m.horizontalAdvance(lines[0]), w("Abcdefgh"));
    EXPECT_GT(m.horizontalAdvance(word.left(lines[0].size() + 1)), w("Abcdefgh"));

    // Not even one character fits: the text stays whole, and nothing loops.
    EXPECT_EQ(Access::lines(shell, QStringLiteral("Hello World"), 0), QStringList { "Hello World" });
}

// Rows of the cell at `topLeft` (77 x 77) with a label-coloured pixel.
QList<int> labelRows(const QImage& image, QPoint topLeft)
{
    QList<int> rows;
    for (int y = 0; y < 77; ++y) {
        for (int x = 0; x < 77; ++x) {
            if (image.pixelColor(topLeft + QPoint(x, y)) == kLabel) {
                rows.append(y);
                break;
            }
        }
    }
    return rows;
}

TEST_F(ShellTest, LabelsSitAboveTheCellBottom)
{
    init(7, "blue.png", "Two Lines");
    // Lines are measured with the widget's font and drawn with the label
    // font: a large widget font breaks the label into two lines.
    const QFontMetrics m(shell.getCurFont());
    QFont wide = shell.font();
    wide.setPixelSize(24);
    shell.setFont(wide);
    shell.setCurFtColor(kLabel); // renders again
    const QImage image = shot(&shell, "shell_labels");
    const QList<int> rows = labelRows(image, QPoint(2, 2));
    ASSERT_FALSE(rows.isEmpty());
    const int lh = m.height();
    const int first = 77 - 2 * lh - 4 - 2; // the first line's box
    EXPECT_GE(rows.first(), first);
    EXPECT_LE(rows.last(), first + 2 * lh + 4);
    EXPECT_GT(rows.last(), first + lh + 4); // a second line
    EXPECT_EQ(image.pixelColor(40, 10), kIcon); // the icon above
}

TEST_F(ShellTest, FallbackIconsAndStretch)
{
    QList<LightMainShell_Item> items;
    items.append({ "a", dir.filePath("missing.png"), QString() });
    items.append({ "b", dir.filePath("small.png"), QString() });
    for (int i = 0; i < 5; ++i)
        items.append({ QStringLiteral("x%1").arg(i), dir.filePath("blue.png"), QString() });
    LightMainShell_Item next { "next", dir.filePath("missing.png"), QString() };
    shell.setNextItem(next);
    shell.initMainShellItems(items, 3, 2);
    const QImage image = shot(&shell, "shell_fallbacks");
    EXPECT_EQ(image.pixelColor(cell(0)), QColor(125, 125, 125));
    EXPECT_EQ(image.pixelColor(cell(1)), QColor(0, 160, 0));
    EXPECT_EQ(image.pixelColor(QPoint(81 + 76, 2 + 76)), QColor(0, 160, 0)); // stretched to the whole cell
    EXPECT_EQ(image.pixelColor(cell(5)), QColor(254, 0, 0)); // the next button
}

TEST_F(ShellTest, PressDimsTheOtherCells)
{
    const QColor dimmed(0, 0, (200 * 135 + 127) / 255);
    auto near = [](QColor a, QColor b) { return std::abs(a.blue() - b.blue()) <= 2 && a.red() == b.red(); };

    init(7);
    // With more pages a press on an item dims at once.
    QTest::mousePress(&shell, Qt::LeftButton, Qt::NoModifier, cell(0));
    QImage image = shot(&shell, "shell_pressed");
    EXPECT_EQ(image.pixelColor(cell(0)), kIcon);
    EXPECT_TRUE(near(image.pixelColor(cell(4)), dimmed)) << image.pixelColor(cell(4)).name().toStdString();
    EXPECT_EQ(image.pixelColor(cell(5)), QColor(254, 0, 0)); // never the next button
    // Over the next button from elsewhere nothing is dimmed.
    QMouseEvent move(QEvent::MouseMove, cell(5), shell.mapToGlobal(cell(5)), Qt::NoButton, Qt::LeftButton,
        Qt::NoModifier);
    QCoreApplication::sendEvent(&shell, &move);
    image = shot(&shell, "shell_pressed_over_next");
    EXPECT_EQ(image.pixelColor(cell(4)), kIcon);
    QTest::mouseRelease(&shell, Qt::LeftButton, Qt::NoModifier, cell(5));
    EXPECT_EQ(shot(&shell, "shell_released").pixelColor(cell(4)), kIcon);

    // A press on the next button dims the items after the press delay, and
    // nothing once the pointer leaves the button.
    QTest::mousePress(&shell, Qt::LeftButton, Qt::NoModifier, cell(5));
    EXPECT_TRUE(zyrtest::pumpUntil([&] { return near(shot(&shell, "shell_pressed_next").pixelColor(cell(4)), dimmed); }));
    QMouseEvent away(QEvent::MouseMove, cell(0), shell.mapToGlobal(cell(0)), Qt::NoButton, Qt::LeftButton,
        Qt::NoModifier);
    QCoreApplication::sendEvent(&shell, &away);
    image = shot(&shell, "shell_pressed_next_away");
    EXPECT_EQ(image.pixelColor(cell(4)), kIcon);
    EXPECT_EQ(image.pixelColor(cell(0)), kIcon);
    QTest::mouseRelease(&shell, Qt::LeftButton, Qt::NoModifier, cell(0)); // no flip
    EXPECT_FALSE(Access::flipping(shell));

    // One page: the highlight waits for the press timer.
    init(6);
    QTest::mousePress(&shell, Qt::LeftButton, Qt::NoModifier, cell(2));
    EXPECT_TRUE(zyrtest::pumpUntil([&] { return near(shot(&shell, "shell_one_page").pixelColor(cell(5)), dimmed); }));
    EXPECT_EQ(shot(&shell, "shell_one_page").pixelColor(cell(2)), kIcon);
    QTest::mouseRelease(&shell, Qt::LeftButton, Qt::NoModifier, cell(2));
}

TEST_F(ShellTest, UsableBeforeItsItems)
{
    // No grid yet: showing, resizing, painting and tapping do nothing.
    kivoMainShell bare;
    QSignalSpy clicked(&bare, SIGNAL(itemClicked(QString)));
    bare.show();
    bare.resize(120, 90);
    zyrtest::pump();
    shot(&bare, "shell_bare");
    QTest::mouseClick(&bare, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    bare.SetFirstPage();
    bare.setOffset(3, 3);
    shot(&bare, "shell_bare_offset");
    EXPECT_EQ(clicked.count(), 0);

    // A grid of no columns stays inert too.
    QList<LightMainShell_Item> items { { "a", QString(), QString() } };
    bare.initMainShellItems(items, 0, 2);
    shot(&bare, "shell_no_columns");
    QTest::mouseClick(&bare, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_EQ(clicked.count(), 0);
}

} // namespace
