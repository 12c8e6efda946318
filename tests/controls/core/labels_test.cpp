#include "zyr_widget_test.h"

#include "controls/core/LibraryInternal.h"
#include "controls/core/ZyrAnimationCtrl.h"
#include "controls/core/ZyrIcon.h"
#include "controls/core/ZyrPanels.h"
#include "controls/core/ZyrStatusIndicator.h"
#include "controls/core/ZyrTextBox.h"
#include "controls/core/ZyrelleControls.h"

#include <QAbstractEventDispatcher>
#include <QDir>
#include <QFontMetrics>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace zyrtest;

const QColor kImage(0, 160, 220);
const QColor kBackground(40, 40, 40);

QWidget* darkParent(QWidget* parent)
{
    parent->setAutoFillBackground(true);
    QPalette palette = parent->palette();
    palette.setColor(QPalette::Window, kBackground);
    parent->setPalette(palette);
    return parent;
}

TEST(Icon, FirstRotationGrowsTheIconAndKeepsTheImageInPlace)
{
    QWidget parent;
    darkParent(&parent)->resize(200, 200);
    ZyrIcon* icon = new ZyrIcon(&parent);
    icon->setImage(solid(40, 20, kImage));
    icon->setGeometry(80, 90, 40, 20);
    parent.show();
    QImage before = shot(&parent, "icon_before_rotation");
    EXPECT_EQ(at(before, 80, 90), kImage);

    icon->rotate(0);
    EXPECT_EQ(icon->size(), QSize(60, 60));
    EXPECT_EQ(icon->pos(), QPoint(70, 70));
    EXPECT_EQ(shot(&parent, "icon_rotated_0"), before) << "the image did not move";

    icon->rotate(90);
    QImage turned = shot(&parent, "icon_rotated_90");
    EXPECT_EQ(at(turned, 100, 82), kImage) << "now upright about the same centre";
    EXPECT_EQ(at(turned, 82, 100), kBackground);
    EXPECT_EQ(icon->size(), QSize(60, 60)) << "grown once only";
}

// An image smaller than the icon sits at the centring offset: the icon
// moves back by how much that offset grows, not by the whole new offset.
TEST(Icon, FirstRotationKeepsASmallerImageInPlace)
{
    QWidget parent;
    darkParent(&parent)->resize(200, 200);
    ZyrIcon* icon = new ZyrIcon(&parent);
    icon->setImage(solid(20, 10, kImage));
    icon->setGeometry(80, 90, 40, 20);
    parent.show();
    QImage before = shot(&parent, "icon_small_before_rotation");
    EXPECT_EQ(at(before, 90, 95), kImage);
    EXPECT_EQ(at(before, 89, 95), kBackground);

    icon->rotate(0);
    EXPECT_EQ(icon->size(), QSize(60, 60));
    EXPECT_EQ(icon->pos(), QPoint(70, 70));
    EXPECT_EQ(shot(&parent, "icon_small_rotated_0"), before) << "the image did not move";
}

TEST(Icon, ResizesAndCentres)
{
    ZyrIcon icon;
    icon.resize(7, 7);
    icon.resizeToImage();
    EXPECT_EQ(icon.size(), QSize(0, 0));
    icon.setImage(solid(10, 6, kImage));
    EXPECT_EQ(icon.sizeHint(), QSize(10, 6));
    icon.resizeToImage();
    EXPECT_EQ(icon.size(), QSize(10, 6));
    icon.resize(20, 12);
    icon.resizeImageToIcon();
    EXPECT_EQ(icon.image().size(), QSize(20, 12));
}

QFont pixelFont(int pixels)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(pixels);
    return font;
}

int textWidth(const QFont& font, const QString& text)
{
    return QFontMetrics(font).size(Qt::TextExpandTabs, text).width();
}

TEST(TextBox, ScaledContentsCondensesThenShrinksThenElides)
{
    const QString text = QStringLiteral("Cadence and heart rate");
    ZyrTextBox probe;
    probe.setFontPixelSize(14);
    const int natural = textWidth(probe.font(), text);
    struct Case {
        const char* what;
        int width;
    };
    const Case cases[] = {
        { "fits", natural + 4 },
        { "slightly wide", natural * 9 / 10 },
        { "far too wide", natural / 3 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ZyrTextBox box;
        box.setScaledContents(true);
        box.resize(c.width, 30);
        box.setFontPixelSize(14);
        box.setContent(text);
        const QFont font = box.font();
        const int shown = textWidth(font, box.text());
        EXPECT_GE(font.stretch(), 70) << "never condensed below the limit";
        if (std::string(c.what) == "fits") {
            EXPECT_EQ(box.text(), text);
            EXPECT_EQ(font.stretch(), 100);
            EXPECT_EQ(font.pixelSize(), 14);
        } else if (std::string(c.what) == "slightly wide") {
            EXPECT_EQ(box.text(), text);
            EXPECT_LT(font.stretch(), 100);
            EXPECT_EQ(font.pixelSize(), 14);
            EXPECT_LE(shown, c.width);
        } else {
            EXPECT_TRUE(box.text().endsWith(QChar(0x2026))) << box.text().toStdString();
            EXPECT_EQ(font.pixelSize(), 12) << "one below the minimum of 13";
            EXPECT_LE(shown, c.width);
        }
        EXPECT_EQ(box.content(), text);
    }
}

TEST(TextBox, FitFontAlternatesCondensingAndShrinking)
{
    // 14 px: condensed; then 13 px at full width; then condensed at 13; then
    // 12 px, below the minimum: condensed to the limit and elided.
    const QString text = QStringLiteral("Wheel circumference");
    const int natural = textWidth(pixelFont(14), text);
    QString elided;
    QFont font = ZyrTextBox::fitFont(pixelFont(14), text, natural * 3 / 4, 13, 70, &elided);
    EXPECT_TRUE(elided.isEmpty());
    EXPECT_LE(textWidth(font, text), natural * 3 / 4);
    EXPECT_GE(font.stretch(), 70);

    font = ZyrTextBox::fitFont(pixelFont(14), text, 10, 13, 70, &elided);
    EXPECT_FALSE(elided.isEmpty());
    EXPECT_EQ(font.pixelSize(), 12);
    EXPECT_EQ(font.stretch(), 70);
}

TEST(TextBox, WordWrapShrinksToTheMinimumAndNotBelow)
{
    ZyrTextBox box;
    box.setWordWrap(true);
    box.resize(120, 40);
    box.setFontPixelSize(18);
    box.setContent(QStringLiteral("one two three four five six seven eight nine ten eleven twelve"));
    EXPECT_EQ(box.font().pixelSize(), 13);

    // A text that fits after a little shrinking stops there.
    ZyrTextBox fits;
    fits.setWordWrap(true);
    fits.resize(200, 40);
    fits.setFontPixelSize(18);
    fits.setContent(QStringLiteral("one two three four five six"));
    const int size = fits.font().pixelSize();
    EXPECT_GT(size, 13);
    EXPECT_LE(size, 18);
    QRect wrapped = QFontMetrics(fits.font()).boundingRect(QRect(0, 0, 200, 2000), Qt::TextWordWrap, fits.content());
    EXPECT_LE(wrapped.height() - 2, 40);

    // A single word wider than the box is condensed, not below the limit.
    ZyrTextBox word;
    word.setWordWrap(true);
    word.resize(60, 40);
    word.setFontPixelSize(14);
    word.setContent(QStringLiteral("Supercalifragilistic"));
    EXPECT_LT(word.font().stretch(), 100);
    EXPECT_GE(word.font().stretch(), 70);
}

TEST(TextBox, EditBoxAlignsRightExactlyWhenWider)
{
    ZyrTextBox box;
    box.setFont(pixelFont(14));
    box.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const QString text = QStringLiteral("user@example");
    const int width = QFontMetrics(box.font()).horizontalAdvance(text);
    box.setEditBox(true);
    for (int boxWidth : { width + 10, width, width - 1, width - 30 }) {
        SCOPED_TRACE(boxWidth);
        box.resize(boxWidth, 30);
        box.setContent(text);
        const Qt::Alignment expected = (width > boxWidth ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
        EXPECT_EQ(box.alignment(), expected);
        EXPECT_EQ(box.text(), text);
    }
}

TEST(TextBox, EllipsisIsRedoneAtEveryRefit)
{
    ZyrTextBox box;
    box.resize(60, 30);
    box.show();
    box.setFontPixelSize(14);
    box.setEllipsis(true);
    const QString text = QStringLiteral("A long network name that does not fit");
    box.setContent(text);
    const QString narrow = box.text();
    EXPECT_TRUE(narrow.endsWith(QChar(0x2026)));
    box.setFontPixelSize(10);
    EXPECT_TRUE(box.text().endsWith(QChar(0x2026))) << "still elided after a refit";
    EXPECT_NE(box.text(), narrow) << "elided again for the smaller font";
    box.resize(1000, 30);
    EXPECT_EQ(box.text(), text);
}

TEST(TextBox, ClickableGradientFollowsTheFingerAndClicksInside)
{
    QWidget parent;
    parent.resize(200, 100);
    ZyrTextBox* box = new ZyrTextBox(&parent);
    box->setObjectName(QStringLiteral("okBox"));
    box->setGeometry(20, 20, 100, 40);
    box->setIsClickable(true);
    parent.show();

    QImage idle = shot(box, "textbox_clickable");
    // Grey at the top fading to white: translucent over the window colour.
    const QColor top = at(idle, 50, 1);
    const QColor bottom = at(idle, 50, 38);
    EXPECT_LT(top.red(), bottom.red());

    QSignalSpy named(box, SIGNAL(clicked(const QString&)));
    QSignalSpy plain(box, SIGNAL(clicked()));
    QList<int> order;
    QObject::connect(box, QOverload<const QString&>::of(&ZyrTextBox::clicked), [&] { order << 1; });
    QObject::connect(box, QOverload<>::of(&ZyrTextBox::clicked), [&] { order << 2; });

    QTest::mousePress(box, Qt::LeftButton, Qt::NoModifier, QPoint(50, 20));
    QImage pressed = shot(box, "textbox_pressed");
    EXPECT_GT(at(pressed, 50, 1).red(), 200);
    EXPECT_LT(at(pressed, 50, 1).blue(), 120) << "orange at the top";
    EXPECT_GT(at(pressed, 50, 38).green(), 200);

    QMouseEvent out(QEvent::MouseMove, QPointF(150, 20), box->mapToGlobal(QPoint(150, 20)), Qt::NoButton,
        Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box, &out);
    EXPECT_EQ(shot(box, "textbox_dragged_out"), idle);
    QMouseEvent back(QEvent::MouseMove, QPointF(50, 20), box->mapToGlobal(QPoint(50, 20)), Qt::NoButton,
        Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(box, &back);
    EXPECT_EQ(shot(box, "textbox_dragged_back"), pressed);

    QTest::mouseRelease(box, Qt::LeftButton, Qt::NoModifier, QPoint(150, 20));
    EXPECT_EQ(named.count(), 0) << "released outside";
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(50, 20));
    ASSERT_EQ(named.count(), 1);
    EXPECT_EQ(named.first().first().toString(), QStringLiteral("okBox"));
    EXPECT_EQ(plain.count(), 1);
    EXPECT_EQ(order, QList<int>({ 1, 2 }));
    EXPECT_EQ(shot(box, "textbox_after_click"), idle);
}

TEST(TextBox, MadeClickableTwiceSoundsOnce)
{
    SoundRecorder recorder;
    ZyrTextBox before;
    ZyrelleControls::SetSoundManager(&recorder);
    ZyrTextBox box;
    box.setObjectName(QStringLiteral("box"));
    before.setObjectName(QStringLiteral("before"));
    box.setIsClickable(true);
    box.setIsClickable(true);
    before.setIsClickable(true);
    ZyrelleControls::SetSoundManager(nullptr);
    for (ZyrTextBox* b : { &box, &before }) {
        b->resize(50, 20);
        QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    }
    // The box made clickable while no manager was set picked it up at that
    // call; the one made clickable twice sounds once.
    EXPECT_EQ(recorder.played, QStringList({ QStringLiteral("box"), QStringLiteral("before") }));
}

TEST(TextBox, BoldDroppedForChineseJapaneseKorean)
{
    auto* language = ZyrelleControls::ControlsLanguage::Instance();
    for (auto lang : { QLocale::Chinese, QLocale::Japanese, QLocale::Korean, QLocale::English }) {
        language->SetCurrentLanguage(lang);
        ZyrTextBox box;
        QFont bold = box.font();
        bold.setBold(true);
        box.setFont(bold);
        EXPECT_EQ(box.font().bold(), lang == QLocale::English) << lang;
    }
    language->SetCurrentLanguage(QLocale::English);
}

TEST(TextBox, ScrollProxyShowsALongTextAndMovesOnePixelWithinBounds)
{
    ZyrTextBox box;
    box.setFont(pixelFont(14));
    box.resize(50, 20);
    box.setScrollable(true);
    box.setContent(QStringLiteral("A text much wider than its box"));
    EXPECT_TRUE(box.text().isEmpty());
    auto* proxy = box.findChild<ZyrTextBox*>();
    ASSERT_NE(proxy, nullptr);
    EXPECT_EQ(proxy->content(), box.content());
    EXPECT_EQ(proxy->x(), 0);
    box.scrollButtonHandler(Qt::Key_Left);
    EXPECT_EQ(box.proxyLeft(), 0) << "the start is already shown";
    box.scrollButtonHandler(Qt::Key_Right);
    EXPECT_EQ(box.proxyLeft(), -1);
    box.setProxyLeft(50 - proxy->width() + 1);
    box.scrollButtonHandler(Qt::Key_Right);
    EXPECT_EQ(box.proxyLeft(), 50 - proxy->width());
    box.scrollButtonHandler(Qt::Key_Right);
    EXPECT_EQ(box.proxyLeft(), 50 - proxy->width()) << "the end is shown";
    box.scrollButtonHandler(Qt::Key_Left);
    EXPECT_EQ(box.proxyLeft(), 51 - proxy->width());

    box.setContent(QStringLiteral("short"));
    EXPECT_EQ(box.text(), QStringLiteral("short"));
    EXPECT_EQ(box.proxyLeft(), 0);
}

TEST(StatusIndicator, StatusIsClampedToTheLoadedImages)
{
    ZyrStatusIndicator none;
    none.setStatus(5);
    EXPECT_EQ(none.status(), 0);
    EXPECT_TRUE(none.getImage().isNull());
    EXPECT_EQ(none.sizeHint(), QSize(20, 20));

    ZyrStatusIndicator three;
    three.setImages({ ":/ZyrStatus/status_1.png", ":/ZyrStatus/status_2.png", ":/ZyrStatus/status_3.png" });
    struct Case {
        int set, expected;
    };
    for (Case c : { Case { 0, 1 }, Case { 7, 3 }, Case { 2, 2 }, Case { -4, 1 } }) {
        three.setStatus(c.set);
        EXPECT_EQ(three.status(), c.expected) << c.set;
    }
    EXPECT_EQ(three.getMaxStatusValue(), 3);
    three.setStatus(3);
    EXPECT_FALSE(three.autoChangeStatus(true));
    EXPECT_TRUE(three.autoChangeStatus(false));
    EXPECT_EQ(three.status(), 2);
    three.setStatus(1);
    EXPECT_FALSE(three.autoChangeStatus(false));
}

QStringList g_messages;
void collect(QtMsgType, const QMessageLogContext&, const QString& message)
{
    g_messages << message;
}

TEST(StatusIndicator, ASecondListReplacesTheImagesAndMissingOnesAreReported)
{
    ZyrStatusIndicator indicator;
    indicator.resize(30, 30);
    indicator.setImages({ ":/ZyrStatus/status_1.png", ":/ZyrStatus/status_2.png" });

    // Solid images written to files: the second list.
    const QString folder = QString::fromLocal8Bit(qgetenv("KIVO_DEVICE_ROOT"));
    QDir().mkpath(folder);
    const QString red = folder + QStringLiteral("/red.png");
    solid(10, 10, QColor(255, 0, 0)).save(red);
    const QString missing = folder + QStringLiteral("/missing.png");
    g_messages.clear();
    QtMessageHandler previous = qInstallMessageHandler(collect);
    indicator.setImages({ missing, red });
    qInstallMessageHandler(previous);

    EXPECT_EQ(g_messages, QStringList { QStringLiteral("Cannot load image for ZyrStatusIndicator: ") + missing });
    EXPECT_EQ(indicator.getMaxStatusValue(), 1);
    EXPECT_EQ(indicator.GetImageList().size(), 1);
    indicator.setStatus(1);
    QImage image = shot(&indicator, "status_second_list");
    EXPECT_EQ(at(image, 15, 15), QColor(255, 0, 0));
    EXPECT_EQ(indicator.sizeHint(), QSize(10, 10));
}

QStringList frames(int count)
{
    QStringList list;
    for (int i = 1; i <= count; ++i)
        list << QStringLiteral(":/ZyrAnimation/frame_%1.png").arg(i);
    return list;
}

// Timers the event dispatcher holds for the object.
QList<QAbstractEventDispatcher::TimerInfo> timersOf(QObject* object)
{
    return QAbstractEventDispatcher::instance()->registeredTimers(object);
}

TEST(AnimationCtrl, NeedsTwoFramesAndAnUnloopedRunStopsOnItsLastFrame)
{
    ZyrAnimationCtrl one;
    one.setImageList(frames(1) << QStringLiteral(":/ZyrAnimation/none.png"));
    EXPECT_EQ(one.framesNum(), 1);
    EXPECT_EQ(one.size(), QSize(30, 30));
    one.Start();
    EXPECT_TRUE(timersOf(&one).isEmpty()) << "one frame never starts";

    // Frames of solid colours written to files.
    const QString folder = QString::fromLocal8Bit(qgetenv("KIVO_DEVICE_ROOT"));
    QDir().mkpath(folder);
    const QColor colours[] = { Qt::red, Qt::green, Qt::blue };
    QStringList paths;
    for (int i = 0; i < 3; ++i) {
        paths << folder + QStringLiteral("/frame%1.png").arg(i);
        solid(8, 8, colours[i]).save(paths.last());
    }
    ZyrAnimationCtrl animation;
    animation.setLooped(false);
    animation.setImageList(paths);
    animation.show();
    animation.Start();
    EXPECT_EQ(at(shot(&animation, "animation_started"), 4, 4), QColor(Qt::red));
    EXPECT_TRUE(pumpUntil([&] { return timersOf(&animation).isEmpty(); })) << "stops by itself";
    EXPECT_EQ(at(shot(&animation, "animation_ended"), 4, 4), QColor(Qt::blue)) << "on its last frame";

    ZyrAnimationCtrl empty;
    empty.resize(10, 10);
    QImage nothing = shot(&empty, "animation_without_frames");
    EXPECT_NE(at(nothing, 4, 4), QColor(Qt::red));
}

TEST(AnimationCtrl, IntervalRulesAndPause)
{
    // Real intervals, back to the quick ones however the test ends.
    struct RealTime {
        double saved = ZyrelleControls::Internal::TimeScale();
        RealTime() { ZyrelleControls::Internal::SetTimeScale(1); }
        ~RealTime() { ZyrelleControls::Internal::SetTimeScale(saved); }
    } realTime;
    ZyrAnimationCtrl animation;
    animation.setImageList(frames(4));
    EXPECT_EQ(animation.interval(), 100);
    animation.setInterval(0);
    EXPECT_EQ(animation.interval(), 100) << "0 is ignored";

    animation.Start();
    ASSERT_EQ(timersOf(&animation).size(), 1);
    EXPECT_EQ(timersOf(&animation).first().interval, 100);
    animation.setInterval(250);
    ASSERT_EQ(timersOf(&animation).size(), 1);
    EXPECT_EQ(timersOf(&animation).first().interval, 250) << "a running animation restarts with it";

    animation.Pause();
    EXPECT_TRUE(timersOf(&animation).isEmpty());
    animation.setInterval(400);
    EXPECT_TRUE(timersOf(&animation).isEmpty()) << "no timer while paused";
    animation.Resume();
    ASSERT_EQ(timersOf(&animation).size(), 1);
    EXPECT_EQ(timersOf(&animation).first().interval, 400) << "the paused change applies at Resume";
    animation.Stop();
    EXPECT_TRUE(timersOf(&animation).isEmpty());
}

TEST(AnimationCtrl, PostponedLoadingWaitsForTheShow)
{
    ZyrAnimationCtrl animation;
    animation.setPostponedImageLoading();
    animation.setImageList(frames(3) << QStringLiteral(":/ZyrAnimation/none.png"));
    EXPECT_EQ(animation.framesNum(), 4) << "the paths, before loading";
    EXPECT_NE(animation.size(), QSize(30, 30));
    animation.show();
    EXPECT_EQ(animation.framesNum(), 3);
    EXPECT_EQ(animation.size(), QSize(30, 30));
}

TEST(Panels, BackingWidgetAndProgressBar)
{
    QWidget parent;
    darkParent(&parent)->resize(100, 100);
    ZyrBacking* backing = new ZyrBacking(&parent);
    backing->setGeometry(10, 10, 50, 50);
    ZyrWidget* widget = new ZyrWidget(&parent);
    widget->setGeometry(70, 10, 20, 20);
    widget->setBackground(solid(10, 10, kImage));
    parent.show();
    QImage image = shot(&parent, "panels");
    const QColor panel = at(image, 35, 35);
    EXPECT_NEAR(panel.red(), (255 + 40) / 2, 2) << "half-translucent white";
    EXPECT_EQ(at(image, 10, 10), kBackground) << "rounded corner";
    EXPECT_EQ(at(image, 75, 15), kImage);
    EXPECT_EQ(at(image, 85, 25), kBackground) << "the background is not scaled";

    ZyrelleControls::SetProgressBarStyleSheet(QStringLiteral("QProgressBar { border: 1px solid red; }"));
    ZyrProgressBar bar;
    EXPECT_EQ(bar.styleSheet(), QStringLiteral("QProgressBar { border: 1px solid red; }"));
    ZyrelleControls::SetProgressBarStyleSheet(QString());
}

} // namespace
