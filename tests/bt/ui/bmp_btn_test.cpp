// The bitmap button, the button group and the slider, drawn offscreen and
// driven by QTest's pen.
#include "bt/ui/bmp_btn.h"
#include "platform/dialogs/dialog.h"
#include "tests/bt/ui/ui_test_support.h"

#include <QTest>

#include <memory>

namespace kivo::bt::test {
namespace {

using ce::dlg::Dialog;

// A dialog to hold controls; counts the repeat messages it gets.
class Host : public Dialog {
public:
    Host()
        : Dialog(9999, "BmpHost")
    {
        onMessage(kMsgButtonRepeat, [this](ce::WPARAM, ce::LPARAM) {
            ++repeats;
            return ce::LRESULT(0);
        });
    }
    bool onInitDialog() override
    {
        moveWindow(0, 0, 240, 400);
        return true;
    }
    using Dialog::onClicked;
    int repeats = 0;
};

Bitmap solid(QSize size, QColor colour)
{
    QImage i(size, QImage::Format_RGB32);
    i.fill(colour);
    return std::make_shared<const QImage>(i);
}

class BmpBtnTest : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(host.create());
    }
    void TearDown() override
    {
        ce::dlg::useSteppedClock(false);
        host.destroyWindow();
        UiTest::TearDown();
    }
    Host host;
};

TEST_F(BmpBtnTest, KeyColourShowsTheBackgroundThroughMagentaNotWhite)
{
    // Left half magenta, right half white; the background is red.
    QImage face(20, 10, QImage::Format_RGB32);
    face.fill(Qt::white);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            face.setPixel(x, y, qRgb(255, 0, 255));
    const auto bitmap = std::make_shared<const QImage>(face);
    struct Case {
        COLORREF key;
        QRgb left;
        QRgb right;
    };
    const Case cases[] = {
        { kWhite, qRgb(255, 0, 0), qRgb(255, 255, 255) },
        { kKeyMinusOne, qRgb(255, 0, 0), qRgb(255, 255, 255) },
        { 0, qRgb(255, 0, 255), qRgb(255, 255, 255) },
        { ce::dlg::rgb(255, 255, 255) & 0xFFFF, qRgb(255, 0, 255), qRgb(255, 255, 255) },
    };
    for (const Case& c : cases) {
        CBmpBtn b;
        ASSERT_TRUE(b.create(host.widget(), 1000, QRect(0, 0, 20, 10), true));
        b.SetBackground(solid(QSize(240, 400), Qt::red));
        b.SetBitmapHandles(bitmap, nullptr, c.key);
        const QImage shot = b.widget()->grab().toImage();
        EXPECT_EQ(shot.pixel(3, 3), c.left) << std::hex << c.key;
        EXPECT_EQ(shot.pixel(15, 3), c.right) << std::hex << c.key;
    }
}

TEST_F(BmpBtnTest, PressedWhilePenDownReleasedAfterRepaintAndClickReachesDialogAndListener)
{
    struct Listener : CBmpBtnListener {
        std::vector<int> ids;
        void OnBmpBtnClick(int id) override { ids.push_back(id); }
    } listener;
    int clicks = 0;
    CBmpBtn b;
    ASSERT_TRUE(b.create(host.widget(), 1048, QRect(10, 10, 100, 40), true));
    b.SetBitmapHandles(solid(QSize(100, 40), Qt::blue), solid(QSize(100, 40), Qt::green), 0);
    b.SetListener(&listener);
    host.onClicked(1048, [&] { ++clicks; });
    host.widget()->show();

    QTest::mousePress(b.widget(), Qt::LeftButton, {}, QPoint(50, 20));
    EXPECT_TRUE(b.Pressed());
    EXPECT_EQ(b.Frame().pixel(50, 20), qRgb(0, 255, 0)) << "the pen's own redraw shows the pressed bitmap";
    const QImage full = b.widget()->grab().toImage();
    EXPECT_EQ(full.pixel(50, 20), qRgb(0, 0, 255)) << "a full repaint shows the released look";
    QTest::mouseRelease(b.widget(), Qt::LeftButton, {}, QPoint(50, 20));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(listener.ids, std::vector<int>({ 1048 }));

    // Enter is a click too.
    QTest::keyClick(b.widget(), Qt::Key_Return);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(listener.ids.size(), 2u);
}

TEST_F(BmpBtnTest, PenDownBroadcastsTouchEvenWhenTouchIsOff)
{
    Client client;
    CBmpBtn b;
    ASSERT_TRUE(b.create(host.widget(), 1000, QRect(0, 0, 50, 50), true));
    b.SetTouchEnabled(false);
    int clicks = 0;
    host.onClicked(1000, [&] { ++clicks; });
    host.widget()->show();
    QTest::mousePress(b.widget(), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(b.widget(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(b.Pressed());
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(client.count(WM_TOUCHEVENT_MOUSE_LBUTTONDOWN), 1);
}

TEST_F(BmpBtnTest, WrapBreaksAfterBreakCharactersAndCutsLongWords)
{
    QFont font = ce::dlg::toQFont({ 20, 400, 0, 0, "Arial" });
    const int width = ce::dlg::textWidth(font, u"Bluetooth on,");
    const auto lines = WrapText(font, u"Bluetooth on, phone", width + 4);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], u"Bluetooth on,");
    EXPECT_EQ(lines[1], u" phone");

    const std::u16string word = u"Supercalifragilistic";
    const auto cut = WrapText(font, word, ce::dlg::textWidth(font, u"Supercal"));
    ASSERT_GE(cut.size(), 2u);
    EXPECT_EQ(cut[0], u"Supercal");
    std::u16string joined;
    for (const auto& l : cut)
        joined += l;
    EXPECT_EQ(joined, word);

    // Nothing fits: one character a line, and it ends.
    EXPECT_EQ(WrapText(font, u"abc", 4).size(), 3u);
}

TEST_F(BmpBtnTest, WrapMovesAWordCutInTwoToTheNextLine)
{
    QFont font = ce::dlg::toQFont({ 20, 400, 0, 0, "Arial" });
    // "Pair a new phone" stops fitting inside "new": the line ends at the
    // space before it.
    const auto lines = WrapText(font, u"Pair a new phone", ce::dlg::textWidth(font, u"Pair a ne"));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], u"Pair a ");
    EXPECT_EQ(lines[1].substr(0, 3), u"new");
}

TEST_F(BmpBtnTest, NarrowMultiLineButtonPaintsItsText)
{
    CBmpBtn b;
    ASSERT_TRUE(b.create(host.widget(), 1000, QRect(0, 0, 4, 40), true));
    b.SetCaption(u"12:45", true);
    b.SetTextPlacement(false, false, 0, 0, true);
    const QImage shot = b.widget()->grab().toImage();
    EXPECT_EQ(shot.size(), QSize(4, 40));
}

// A one-line text too wide for its room is drawn at the largest size that
// fits; where none down to the floor does, at the floor (70 % of its font,
// never below 12 px), cut with "...".
TEST_F(BmpBtnTest, OneLineShrinksToTheLargestSizeThatFitsThenToItsFloor)
{
    const std::u16string text = u"Close Bluetooth";
    struct Case {
        int given;
        int floor;
    };
    const Case cases[] = { { 20, 14 }, { 30, 21 }, { 15, 12 } };
    for (const Case& c : cases) {
        auto widthAt = [&](int size) {
            return ce::dlg::textWidth(ce::dlg::toQFont({ size, 400, 0, 0, "Arial" }), text);
        };
        // Fits a little below the given size; then not even at the floor.
        for (int room : { widthAt(c.given - 2), widthAt(c.floor) - 1 }) {
            SCOPED_TRACE(testing::Message() << c.given << " px in " << room);
            CBmpBtn b;
            // The text's room is the button less its 2 px right margin.
            ASSERT_TRUE(b.create(host.widget(), 1000, QRect(0, 0, room + 2, 40), true));
            b.SetFonts(std::make_shared<const ce::dlg::LogFont>(ce::dlg::LogFont { c.given, 400, 0, 0, "Arial" }));
            b.SetTextPlacement(false, true, 0, 0, false);
            b.SetCaption(text);
            b.widget()->grab();
            ASSERT_EQ(b.Drawn().size(), 1u);
            const CBmpBtn::DrawnLine& line = b.Drawn()[0];
            const int size = line.font.pixelSize();
            if (room < widthAt(c.floor)) {
                EXPECT_EQ(size, c.floor);
                EXPECT_EQ(line.text.substr(line.text.size() - 3), u"...");
            } else {
                EXPECT_EQ(line.text, text);
                EXPECT_LE(widthAt(size), room);
                for (int larger = size + 1; larger <= c.given; ++larger)
                    EXPECT_GT(widthAt(larger), room) << "fits at " << larger;
            }
        }
    }
}

TEST_F(BmpBtnTest, RepeatsAfter500ThenEvery100UntilThePenLifts)
{
    ce::dlg::useSteppedClock(true);
    CBmpBtn b;
    ASSERT_TRUE(b.create(host.widget(), 1000, QRect(0, 0, 50, 50), true));
    static const int enabled = 1;
    b.SetRepeatEnabled(&enabled);
    host.widget()->show();
    QTest::mousePress(b.widget(), Qt::LeftButton, {}, QPoint(5, 5));
    auto repeatsAfter = [&](int ms) {
        ce::dlg::stepClock(ms);
        ce::pumpMessages();
        return host.repeats;
    };
    EXPECT_EQ(repeatsAfter(499), 0);
    EXPECT_EQ(repeatsAfter(1), 1);
    EXPECT_EQ(repeatsAfter(99), 1);
    EXPECT_EQ(repeatsAfter(1), 2);
    EXPECT_EQ(repeatsAfter(300), 5);
    QTest::mouseRelease(b.widget(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(repeatsAfter(1000), 5);
}

TEST_F(BmpBtnTest, GroupPagesSevenRowsThreeAPage)
{
    CBmpBtnGroup group;
    group.Init(host.widget(), nullptr, QRect(0, 27, 240, 135), 3, nullptr, 0, 0, 0, 10);
    int values[7];
    for (int i = 0; i < 7; ++i)
        group.Add(u"Row " + QString::number(i).toStdU16String(), {}, &values[i]);
    auto page = [&] { return std::make_pair(group.First(), group.Last()); };
    EXPECT_EQ(page(), std::make_pair(0, 2));
    group.PreviousPage();
    EXPECT_EQ(page(), std::make_pair(0, 2));
    group.NextPage();
    EXPECT_EQ(page(), std::make_pair(3, 5));
    group.NextPage();
    EXPECT_EQ(page(), std::make_pair(6, 6));
    group.NextPage();
    EXPECT_EQ(page(), std::make_pair(6, 6));
    group.PreviousPage();
    EXPECT_EQ(page(), std::make_pair(3, 5));
    EXPECT_TRUE(group.Button(3)->isVisible());
    EXPECT_FALSE(group.Button(0)->isVisible());
    EXPECT_EQ(group.Button(4)->windowRect(), QRect(0, 27 + 45, 240, 45));
    EXPECT_EQ(group.Button(0)->id(), 2010);
    EXPECT_EQ(group.Button(6)->widget()->objectName(), QStringLiteral("BTN2016"));
    EXPECT_EQ(group.IndexOfId(2012), 2);
    EXPECT_EQ(group.ItemAt(5), &values[5]);
    EXPECT_EQ(group.ItemAt(7), nullptr);
    group.Select(9);
    EXPECT_EQ(group.SelectedId(), -1);
    group.Select(4);
    EXPECT_EQ(group.SelectedId(), 2014);
}

TEST_F(BmpBtnTest, GroupRebuiltFromItsOwnButtonsClick)
{
    struct Rebuild : CBmpBtnListener {
        CBmpBtnGroup* group = nullptr;
        int clicks = 0;
        void OnBmpBtnClick(int) override
        {
            ++clicks;
            group->Clear();
            group->Add(u"again", {}, nullptr);
        }
    } listener;
    CBmpBtnGroup group;
    listener.group = &group;
    group.Init(host.widget(), &listener, QRect(0, 0, 240, 90), 2, nullptr, 0, 0, 0, 4);
    group.Add(u"one", u"second line", nullptr);
    group.Add(u"Anna", u"555 0100", u"12:45", nullptr, nullptr, nullptr);
    host.widget()->show();
    QWidget* w = group.Button(1)->widget();
    QTest::mousePress(w, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(listener.clicks, 1);
    EXPECT_EQ(group.Count(), 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(group.Button(0)->BlockText(0), u"again");
}

TEST_F(BmpBtnTest, ThirdTextStaysInsideItsRow)
{
    CBmpBtnGroup group;
    group.Init(host.widget(), nullptr, QRect(0, 0, 240, 45), 1, nullptr, 0, 0, 0, 2);
    group.Add(u"Anna", u"555", u"10/12/2026", solid(QSize(240, 45), Qt::white), nullptr, nullptr);
    CBmpBtn* b = group.Button(0);
    const QImage shot = b->widget()->grab().toImage();
    // The text (dark red) ends before the right edge.
    int rightmost = -1;
    for (int x = 0; x < shot.width(); ++x)
        for (int y = 0; y < 20; ++y)
            if (qRed(shot.pixel(x, y)) < 200)
                rightmost = std::max(rightmost, x);
    EXPECT_GT(rightmost, 150);
    EXPECT_LT(rightmost, 240);
}

TEST_F(BmpBtnTest, SliderDragLimitsToItsMaximumAndANarrowOneGivesZero)
{
    struct Case {
        int width;
        int thumb;
        int releaseAt;
        int reported;
        int released;
    };
    const Case cases[] = {
        { 100, 10, 500, 15, 16 }, // past the right end
        { 100, 10, 2, 0, 0 }, // at the left end
        { 16, 10, 8, 0, 0 }, // track of -1 pixels
        { 17, 10, 8, 0, 0 }, // track of 0 pixels
    };
    for (const Case& c : cases) {
        CBmpSlider s;
        ASSERT_TRUE(s.create(host.widget(), 1100, QRect(0, 0, c.width, 20), true));
        s.SetMaximum(15);
        s.SetThumbWidth(c.thumb);
        int reported = -1;
        int released = -1;
        int user = 1;
        s.SetPositionCallback([&](int v, void*) { reported = v; }, &user);
        s.SetReleaseCallback([&](int v) { released = v; });
        host.widget()->show();
        QTest::mousePress(s.widget(), Qt::LeftButton, {}, QPoint(c.width / 2, 10));
        QTest::mouseRelease(s.widget(), Qt::LeftButton, {}, QPoint(c.releaseAt, 10));
        EXPECT_EQ(reported, c.reported) << c.width;
        EXPECT_EQ(released, c.released) << c.width;
        EXPECT_LE(s.ThumbLeft() + c.thumb, std::max(c.width, 2 + c.thumb));
    }
}

TEST_F(BmpBtnTest, BitmapsLoadByIdFromTheResourceFile)
{
    CBmpBtn b;
    ASSERT_TRUE(b.create(host.widget(), 1000, QRect(0, 0, 156, 43), true));
    b.SetBitmaps(285, 1091, kWhite);
    b.SetBackground(solid(QSize(240, 400), Qt::red));
    b.SetCaption(u"Back", true);
    const QImage shot = b.widget()->grab().toImage();
    savePng(shot, "bmpbtn_back");
    EXPECT_EQ(shot.pixel(0, 0), qRgb(255, 0, 0)) << "the rounded corner is key colour";
    EXPECT_NE(shot.pixel(78, 5), qRgb(255, 0, 0));
    EXPECT_EQ(ce::dlg::loadBitmap(4242), nullptr);
}

} // namespace
} // namespace kivo::bt::test
