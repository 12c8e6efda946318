#include "zyr_widget_test.h"

#include "controls/core/ZyrHorizontalSlider.h"
#include "controls/core/ZyrPopup.h"

#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace zyrtest;

const QColor kTop(220, 0, 0);
const QColor kFill(0, 200, 0);
const QColor kBottom(0, 0, 220);

struct Pieces {
    bool top, fill, bottom;
};

template <class Popup> void givePieces(Popup& popup, Pieces pieces)
{
    if (pieces.top)
        popup.setImageTop(solid(200, 20, kTop));
    if (pieces.fill)
        popup.setImageFill(solid(200, 10, kFill));
    if (pieces.bottom)
        popup.setImageBottom(solid(200, 30, kBottom));
}

struct FrameCase {
    const char* what;
    Pieces pieces;
    QSize size;
    QRect frame;
    QRect client;
    int maxHeight;
};

// Client height 100, margins 12, footer shift 12.
TEST(Popup, ZyrPopupFrameClientRectAndMaximum)
{
    const FrameCase cases[] = {
        { "all pieces", { true, true, true }, { 240, 400 }, { 20, 119, 200, 162 }, { 20, 151, 200, 100 }, 338 },
        { "no top: no upper margin", { false, true, true }, { 240, 400 }, { 20, 129, 200, 142 },
            { 20, 129, 200, 112 }, 358 },
        { "no bottom", { true, true, false }, { 240, 400 }, { 20, 128, 200, 144 }, { 20, 160, 200, 100 }, 356 },
        { "odd negative difference truncates", { true, true, true }, { 199, 400 }, { 0, 119, 200, 162 },
            { 0, 151, 200, 100 }, 338 },
    };
    for (const FrameCase& c : cases) {
        SCOPED_TRACE(c.what);
        ZyrPopup popup;
        popup.resize(c.size);
        givePieces(popup, c.pieces);
        popup.setClientAreaHeight(100);
        EXPECT_EQ(popup.clientMaxHeight(), c.maxHeight);
        EXPECT_EQ(popup.clientAreaHeight(), std::min(100, c.maxHeight));
        shot(&popup, "zyr_popup");
        EXPECT_EQ(popup.popupRect(), c.frame);
        EXPECT_EQ(popup.clientRect(), c.client);
    }
    ZyrPopup small;
    small.resize(240, 100);
    givePieces(small, { true, true, true });
    small.setClientAreaHeight(1000);
    EXPECT_EQ(small.clientAreaHeight(), small.clientMaxHeight());
}

TEST(Popup, PhxPopupFrameClientRectAndMaximum)
{
    const FrameCase cases[] = {
        { "all pieces", { true, true, true }, { 240, 400 }, { 20, 125, 200, 150 }, { 20, 145, 200, 100 }, 318 },
        { "no pieces but the fill", { false, true, false }, { 240, 400 }, { 20, 150, 200, 100 },
            { 20, 150, 200, 100 }, 368 },
        { "odd negative difference shifts down", { true, true, true }, { 199, 400 }, { -1, 125, 200, 150 },
            { -1, 145, 200, 100 }, 318 },
        { "clamped", { true, false, true }, { 199, 120 }, {}, {}, 38 },
    };
    for (const FrameCase& c : cases) {
        SCOPED_TRACE(c.what);
        QWidget holder;
        auto* popup = new phxPopup(&holder);
        popup->resize(c.size);
        givePieces(*popup, c.pieces);
        popup->setClientAreaHeight(100);
        EXPECT_EQ(popup->clientMaxHeight(), c.maxHeight);
        if (popup->clientAreaHeight() != 100) {
            // The maximum always leaves 32 pixels.
            EXPECT_EQ(popup->clientAreaHeight(), c.size.height() - 50 - 32);
            continue;
        }
        shot(popup, "phx_popup");
        EXPECT_EQ(popup->popupRect(), c.frame);
        EXPECT_EQ(popup->clientRect(), c.client);
    }
}

TEST(Popup, WidthComesFromTheFirstPiece)
{
    ZyrPopup popup;
    popup.resize(400, 400);
    popup.setImageFill(solid(300, 10, kFill));
    popup.setImageTop(solid(320, 20, kTop));
    shot(&popup, "popup_width");
    EXPECT_EQ(popup.popupRect().width(), 300);
    EXPECT_EQ(popup.clientRect().width(), 300);
}

TEST(Popup, PiecesArePaintedInPlace)
{
    ZyrPopup zyr;
    zyr.resize(240, 400);
    givePieces(zyr, { true, true, true });
    zyr.setImageBkgndBrush(solid(4, 4, QColor(90, 90, 90)));
    zyr.setClientAreaHeight(100);
    QImage image = shot(&zyr, "zyr_popup_pieces");
    // Frame rows 119..280: top 119..138, fill 139..250, bottom 251..280.
    EXPECT_EQ(at(image, 100, 118), QColor(90, 90, 90));
    EXPECT_EQ(at(image, 19, 200), QColor(90, 90, 90));
    EXPECT_EQ(at(image, 100, 119), kTop);
    EXPECT_EQ(at(image, 100, 138), kTop);
    EXPECT_EQ(at(image, 100, 139), kFill);
    EXPECT_EQ(at(image, 100, 250), kFill);
    EXPECT_EQ(at(image, 100, 251), kBottom);
    EXPECT_EQ(at(image, 100, 280), kBottom);
    EXPECT_EQ(at(image, 100, 281), QColor(90, 90, 90));

    QWidget holder;
    auto* phx = new phxPopup(&holder);
    phx->resize(240, 400);
    givePieces(*phx, { true, true, true });
    phx->setClientAreaHeight(100);
    image = shot(phx, "phx_popup_pieces");
    // Frame rows 125..274: top 125..144, fill 145..244, bottom from the
    // fill's last row, 244..273.
    EXPECT_EQ(at(image, 100, 144), kTop);
    EXPECT_EQ(at(image, 100, 145), kFill);
    EXPECT_EQ(at(image, 100, 243), kFill);
    EXPECT_EQ(at(image, 100, 244), kBottom);
    EXPECT_EQ(at(image, 100, 273), kBottom);
    EXPECT_NE(at(image, 100, 274), kBottom);
}

class KeepingPopup : public phxPopup {
public:
    using phxPopup::phxPopup;
    int outside = 0;

protected:
    void popupClickOutside() override { ++outside; }
};

TEST(Popup, PhxPopupClosesAndDeletesItselfOnAReleaseOutside)
{
    QWidget window;
    window.resize(240, 400);
    QPointer<phxPopup> popup = new phxPopup(&window);
    popup->resize(240, 400);
    givePieces(*popup, { true, true, true });
    popup->setClientAreaHeight(100);
    window.show();
    shot(popup, "phx_popup_shown");

    QTest::mouseClick(popup, Qt::LeftButton, Qt::NoModifier, QPoint(100, 200));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(popup.isNull()) << "a tap inside keeps it";
    EXPECT_TRUE(popup->isVisible());

    QTest::mouseClick(popup, Qt::LeftButton, Qt::NoModifier, QPoint(100, 20));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(popup.isNull());

    QPointer<KeepingPopup> keeping = new KeepingPopup(&window);
    keeping->resize(240, 400);
    givePieces(*keeping, { true, true, true });
    keeping->show();
    shot(keeping, "phx_popup_keeping");
    QTest::mouseClick(keeping, Qt::LeftButton, Qt::NoModifier, QPoint(100, 20));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(keeping.isNull());
    EXPECT_EQ(keeping->outside, 1);
}

TEST(Popup, ScreenshotIsTakenOnceAndTinted)
{
    QWidget source;
    source.resize(100, 100);
    source.setAutoFillBackground(true);
    QPalette palette = source.palette();
    palette.setColor(QPalette::Window, QColor(200, 0, 0));
    source.setPalette(palette);
    source.show();

    ZyrPopup popup;
    popup.resize(100, 100);
    popup.setImageBkgndBrush(solid(4, 4, QColor(0, 0, 0, 128)));
    popup.UseScreenshotBkgd(&source);
    QImage first = shot(&popup, "popup_screenshot");
    EXPECT_NEAR(at(first, 50, 50).red(), 100, 2) << "the captured red, dimmed by the brush";
    EXPECT_EQ(at(first, 50, 50).green(), 0);

    palette.setColor(QPalette::Window, QColor(0, 0, 200));
    source.setPalette(palette);
    popup.UseScreenshotBkgd(&source);
    EXPECT_EQ(shot(&popup, "popup_screenshot_again"), first) << "the first screenshot is kept";
}

TEST(Popup, SkinnedDialogWithASlider)
{
    QWidget screen;
    screen.resize(240, 400);
    auto* popup = new ZyrPopup(&screen);
    popup->resize(240, 400);
    popup->setImageTop(QPixmap(":/ZyrPopup/top.png"));
    popup->setImageFill(QPixmap(":/ZyrPopup/fill.png"));
    popup->setImageBottom(QPixmap(":/ZyrPopup/bottom.png"));
    popup->setImageBkgndBrush(QPixmap(":/ZyrPopup/brush.png"));
    popup->setClientAreaHeight(60);
    auto* slider = new ZyrHorizontalSlider(popup);
    slider->setGrad(QPixmap(":/ZyrSlider/grad.png"));
    slider->setFiller(QPixmap(":/ZyrSlider/filler.png"));
    slider->setSlider(QPixmap(":/ZyrSlider/pointer.png"));
    slider->setMinus(QPixmap(":/ZyrSlider/minus.png"));
    slider->setPlus(QPixmap(":/ZyrSlider/plus.png"));
    slider->setGeometry(popup->clientRect().adjusted(0, 10, 0, -10));
    screen.show();
    QImage image = shot(&screen, "skinned_dialog");
    EXPECT_EQ(popup->clientRect().width(), 220);
    EXPECT_EQ(popup->clientRect().height(), 60);
    // The frame covers the tinted background in its middle.
    EXPECT_NE(at(image, 120, popup->clientRect().top() + 2), at(image, 120, 5));
}

} // namespace
