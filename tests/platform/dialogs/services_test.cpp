// The dialog layer's services: timers on the stepped clock, templates,
// message boxes a test answers, and the colour and font conversions.
#include "platform/dialogs/gdi.h"
#include "platform/dialogs/services.h"

#include <QApplication>
#include <QPainter>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace ce::dlg;

QApplication& app()
{
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = { name, nullptr };
    static QApplication* a = new QApplication(argc, argv);
    return *a;
}

class SteppedClock : public ::testing::Test {
protected:
    void SetUp() override
    {
        app();
        useSteppedClock(true);
    }
    void TearDown() override
    {
        killTimers(this);
        useSteppedClock(false);
    }
    std::vector<std::string> fired;
};

TEST_F(SteppedClock, TimersFireInTheOrderTheyFallDueAndRestartWhenSetAgain)
{
    setTimer(this, 1, 300, [this] { fired.push_back("a"); });
    setTimer(this, 2, 200, [this] { fired.push_back("b"); });
    stepClock(199);
    EXPECT_TRUE(fired.empty());
    stepClock(401);
    EXPECT_EQ(fired, (std::vector<std::string> { "b", "a", "b", "a", "b" }));
    fired.clear();
    // Set again: counts from now.
    setTimer(this, 1, 300, [this] { fired.push_back("a2"); });
    killTimer(this, 2);
    stepClock(299);
    EXPECT_TRUE(fired.empty());
    stepClock(1);
    EXPECT_EQ(fired, std::vector<std::string> { "a2" });
    EXPECT_TRUE(timerActive(this, 1));
    EXPECT_FALSE(timerActive(this, 2));
}

TEST_F(SteppedClock, AHandlerMayKillOrResetItsOwnTimer)
{
    int count = 0;
    setTimer(this, 9, 500, [&] {
        ++count;
        killTimer(this, 9);
        setTimer(this, 9, 100, [&] { ++count; });
    });
    stepClock(500);
    EXPECT_EQ(count, 1);
    stepClock(300);
    EXPECT_EQ(count, 4);
    killTimer(this, 9);
    stepClock(1000);
    EXPECT_EQ(count, 4);
}

TEST(DialogServices, TemplatesMessageBoxesAndConversions)
{
    app();
    registerTemplate(4242, { { 7, QRect(1, 2, 3, 4) } });
    QRect r;
    EXPECT_TRUE(templateItem(4242, 7, &r));
    EXPECT_EQ(r, QRect(1, 2, 3, 4));
    EXPECT_FALSE(templateItem(4242, 8, &r));
    EXPECT_TRUE(templateItems(4243).empty());

    std::u16string seen;
    setMessageBoxHook([&](const std::u16string& text, const std::u16string& caption, unsigned) {
        seen = caption + u"|" + text;
        return 7;
    });
    EXPECT_EQ(messageBox(u"text", u"caption"), 7);
    EXPECT_EQ(seen, u"caption|text");
    setMessageBoxHook(nullptr);

    EXPECT_EQ(toQColor(rgb(1, 2, 3)), QColor(1, 2, 3));
    EXPECT_EQ(toQColor(0x00003C), QColor(60, 0, 0));
    const QFont bold = toQFont({ 20, 700, 0, 0, "Arial" });
    EXPECT_EQ(bold.pixelSize(), 20);
    EXPECT_EQ(bold.weight(), int(QFont::Bold));
    EXPECT_EQ(fitCount(bold, u"", 100), 0);
    EXPECT_EQ(fitCount(bold, u"abc", 0), 0);
    EXPECT_EQ(fitCount(bold, u"abc", 1000), 3);

    // A key blit leaves the key's pixels as they were.
    QImage src(2, 1, QImage::Format_RGB32);
    src.setPixel(0, 0, qRgb(255, 0, 255));
    src.setPixel(1, 0, qRgb(0, 0, 255));
    QImage dst(2, 1, QImage::Format_RGB32);
    dst.fill(Qt::green);
    {
        QPainter p(&dst);
        EXPECT_TRUE(transparentBlt(p, dst.rect(), src, rgb(255, 0, 255)));
        EXPECT_FALSE(transparentBlt(p, dst.rect(), QImage(), 0));
    }
    EXPECT_EQ(dst.pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(dst.pixel(1, 0), qRgb(0, 0, 255));
}

TEST(DialogServices, ALineFitsWholeSmallerOrCutWithDots)
{
    app();
    const QFont font = toQFont({ 20, 400, 0, 0, "Arial" });
    const std::u16string text = u"Close Bluetooth";
    const int whole = textWidth(font, text);
    EXPECT_EQ(elideRight(font, text, whole), text);
    const std::u16string more = elideRight(font, text, whole, true);
    EXPECT_EQ(more.substr(more.size() - 3), u"...") << "told it goes on";
    EXPECT_LE(textWidth(font, more), whole);

    // Cut: a start of it and "...", inside the width, no blank before the
    // dots, never half of a surrogate pair.
    const std::u16string clef = u"Ab \U0001D11E\U0001D11E\U0001D11E";
    for (const std::u16string& t : { text, clef })
        for (int width = 0; width < textWidth(font, t); width += 3) {
            const std::u16string cut = elideRight(font, t, width);
            ASSERT_GE(cut.size(), 3u);
            EXPECT_EQ(cut.substr(cut.size() - 3), u"...");
            const std::u16string start = cut.substr(0, cut.size() - 3);
            EXPECT_EQ(t.compare(0, start.size(), start), 0);
            EXPECT_TRUE(start.empty() || (start.back() != u' ' && !QChar::isHighSurrogate(start.back())));
            if (!start.empty()) {
                EXPECT_LE(textWidth(font, cut), width);
            }
        }

    // Smaller before cut, not below the floor.
    const FittedLine smaller = fitLine(font, text, whole - 10, 14);
    EXPECT_EQ(smaller.text, text);
    EXPECT_LT(smaller.font.pixelSize(), 20);
    EXPECT_LE(textWidth(smaller.font, text), whole - 10);
    const FittedLine cut = fitLine(font, text, whole / 2, 14);
    EXPECT_EQ(cut.font.pixelSize(), 14);
    EXPECT_EQ(cut.text.substr(0, 5), u"Close");
    EXPECT_EQ(cut.text.substr(cut.text.size() - 3), u"...");
    EXPECT_EQ(fitLine(font, text, whole, 14).font.pixelSize(), 20);
}

// Between the given size and the floor, the line takes the largest size at
// which it fits, not merely one that fits; below that it stays at the floor.
TEST(DialogServices, ALineTakesTheLargestSizeThatFits)
{
    app();
    const QFont font = toQFont({ 20, 400, 0, 0, "Arial" });
    const std::u16string text = u"Close Bluetooth";
    auto widthAt = [&](int size) {
        QFont f(font);
        f.setPixelSize(size);
        return textWidth(f, text);
    };
    for (int width = widthAt(13); width < widthAt(20); ++width) {
        SCOPED_TRACE(width);
        const FittedLine line = fitLine(font, text, width, 14);
        const int size = line.font.pixelSize();
        if (widthAt(14) > width) {
            EXPECT_EQ(size, 14);
            EXPECT_EQ(line.text.substr(line.text.size() - 3), u"...");
            continue;
        }
        EXPECT_EQ(line.text, text);
        EXPECT_LE(widthAt(size), width);
        for (int larger = size + 1; larger <= 20; ++larger)
            EXPECT_GT(widthAt(larger), width) << "fits at " << larger;
    }
}

} // namespace
