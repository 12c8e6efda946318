// phxWidget, phxPushButton and phxIcon, rendered offscreen with the
// library's skin set and driven through QTest.
#include "controls/core/ZyrelleControls.h"
#include "controls/core/phxIcon.h"
#include "controls/core/phxPushButton.h"
#include "controls/core/phxWidget.h"
#include "phx_test_util.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using phx_test::near;
using phx_test::shot;
using phx_test::skin;

const QColor kNormal(46, 120, 200);
const QColor kPressed(255, 176, 32);
const QColor kFocused(60, 170, 80);
const QColor kDisabled(150, 150, 150);
const QColor kIconPaper(240, 240, 240);
const QColor kIconMark(30, 30, 120);
const QColor kBackground(200, 210, 90);

QColor dimmed(QColor c)
{
    return QColor(c.red() * 105 / 255, c.green() * 105 / 255, c.blue() * 105 / 255);
}

class Manager : public QObject {
    Q_OBJECT
public:
    QStringList played;
public slots:
    void onPlayWidgetSound(const QString& name) { played << name; }
};

phxPushButton* skinnedButton(QWidget* parent, bool withDisabled = true)
{
    auto* b = new phxPushButton(parent);
    b->setNormal(skin("button_normal.png"));
    b->setPressed(skin("button_pressed.png"));
    b->setFocused(skin("button_focused.png"));
    if (withDisabled)
        b->setDisabled(skin("button_disabled.png"));
    return b;
}

TEST(PhxPushButton, DrawsTheImageOfEachState)
{
    struct Case {
        const char* name;
        std::function<void(phxPushButton&)> setUp;
        bool withDisabledImage;
        QColor expected;
    };
    const Case cases[] = {
        { "normal", [](phxPushButton&) {}, true, kNormal },
        { "down", [](phxPushButton& b) { b.setDown(true); }, true, kPressed },
        { "selected", [](phxPushButton& b) { b.SetState(QStyle::State_Selected); }, true, kPressed },
        { "focused", [](phxPushButton& b) { b.SetState(QStyle::State_HasFocus); }, true, kFocused },
        { "disabled", [](phxPushButton& b) { b.setEnabled(false); }, true, kDisabled },
        { "disabled_dimmed", [](phxPushButton& b) { b.setEnabled(false); }, false, dimmed(kNormal) },
        // A disabled button shows no focus and its pressed image only as pressed.
        { "disabled_focused", [](phxPushButton& b) { b.setEnabled(false); b.SetState(QStyle::State_HasFocus); },
            false, dimmed(kNormal) },
    };
    for (const Case& c : cases) {
        QWidget host;
        host.resize(100, 60);
        phxPushButton* b = skinnedButton(&host, c.withDisabledImage);
        c.setUp(*b);
        QImage image = shot(*b, QStringLiteral("button_%1").arg(c.name));
        ASSERT_EQ(image.size(), QSize(76, 43)) << c.name;
        for (QPoint p : { QPoint(5, 5), QPoint(38, 21), QPoint(70, 40) })
            EXPECT_TRUE(near(image.pixelColor(p), c.expected)) << c.name << " at " << p.x() << "," << p.y();
    }
}

TEST(PhxPushButton, SizesToItsImageAndCentresItWithoutAutoResize)
{
    QWidget host;
    phxPushButton b(&host);
    EXPECT_EQ(b.sizeHint(), QPushButton().sizeHint()); // no image: the push button's own
    b.setNormal(skin("button_normal.png"));
    EXPECT_EQ(b.size(), QSize(76, 43));
    EXPECT_EQ(b.minimumSize(), QSize(76, 43));
    EXPECT_EQ(b.sizeHint(), QSize(76, 43));
    b.setAutoResize(false);
    EXPECT_EQ(b.minimumSize(), QSize(76, 43));
    EXPECT_EQ(b.maximumSize(), QSize(16777215, 16777215));
    b.resize(96, 63);
    QImage image = shot(b, "button_centred");
    EXPECT_TRUE(near(image.pixelColor(10, 10), kNormal));
    EXPECT_TRUE(near(image.pixelColor(85, 52), kNormal));
    EXPECT_FALSE(near(image.pixelColor(5, 5), kNormal));
    EXPECT_FALSE(near(image.pixelColor(90, 58), kNormal));
}

TEST(PhxPushButton, RotatesAboutItsCentreAndDrawsItsTextOver)
{
    QWidget host;
    phxPushButton b(&host);
    b.setNormal(skin("icon_mark.png"));
    b.setText(QStringLiteral("W"));
    QImage plain = shot(b, "button_text");
    EXPECT_TRUE(near(plain.pixelColor(7, 7), kIconMark)); // the mark's corner quarter
    int textPixels = 0;
    for (int y = 12; y < 28; ++y)
        for (int x = 12; x < 28; ++x)
            textPixels += !near(plain.pixelColor(x, y), kIconPaper, 40);
    EXPECT_GT(textPixels, 5);

    b.setText(QString());
    b.setRotateAngle(90);
    QImage turned = shot(b, "button_rotated");
    EXPECT_TRUE(near(turned.pixelColor(7, 7), kIconPaper));
    EXPECT_TRUE(near(turned.pixelColor(32, 7), kIconMark));
}

TEST(PhxPushButton, WithoutImagesPaintsAsAPushButton)
{
    QWidget host;
    phxPushButton b(&host);
    b.setText(QStringLiteral("Plain"));
    b.resize(80, 30);
    QImage own = shot(b, "button_plain");
    QPushButton reference;
    reference.setText(QStringLiteral("Plain"));
    reference.resize(80, 30);
    EXPECT_EQ(own, reference.grab().toImage().convertToFormat(QImage::Format_ARGB32));
}

TEST(PhxPushButton, HeldButtonMovesItsChildrenOnceAndBack)
{
    QWidget host;
    phxPushButton* b = skinnedButton(&host);
    b->setShiftOnPress(QPoint(2, 2));
    auto* label = new QLabel(QStringLiteral("x"), b);
    label->move(10, 10);
    host.show();

    QTest::mousePress(b, Qt::LeftButton, Qt::NoModifier, QPoint(30, 20));
    shot(*b, "button_held");
    shot(*b, "button_held_again");
    EXPECT_EQ(label->pos(), QPoint(12, 12));
    QTest::mouseRelease(b, Qt::LeftButton, Qt::NoModifier, QPoint(30, 20));
    shot(*b, "button_released");
    EXPECT_EQ(label->pos(), QPoint(10, 10));
}

TEST(PhxPushButton, ShiftMoveRefusesAReleaseTenPixelsAway)
{
    struct Case {
        bool shiftMove;
        QPoint releaseAt;
        bool clicks;
    };
    const Case cases[] = {
        { true, { 29, 20 }, true }, { true, { 30, 20 }, false }, { true, { 20, 30 }, false },
        { true, { 11, 20 }, true }, { true, { 10, 20 }, false }, { false, { 30, 20 }, true },
    };
    for (const Case& c : cases) {
        QWidget host;
        phxPushButton* b = skinnedButton(&host);
        b->setShiftMove(c.shiftMove);
        host.show();
        QSignalSpy clicked(b, SIGNAL(clicked(bool)));
        QTest::mousePress(b, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        QTest::mouseRelease(b, Qt::LeftButton, Qt::NoModifier, c.releaseAt);
        EXPECT_EQ(clicked.count(), c.clicks ? 1 : 0) << c.releaseAt.x() << "," << c.releaseAt.y();
        EXPECT_FALSE(b->isDown());
    }
}

// Counts the presses that reach it past its child.
class PressCounter : public QWidget {
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

TEST(PhxPushButton, EventPropagationLetsTheParentSeeEvents)
{
    for (bool propagate : { false, true }) {
        PressCounter host;
        phxPushButton* b = skinnedButton(&host);
        b->setEventPropagation(propagate);
        host.show();
        QSignalSpy clicked(b, SIGNAL(clicked(bool)));
        QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
        EXPECT_EQ(clicked.count(), 1);
        EXPECT_EQ(host.presses, propagate ? 1 : 0);
    }
}

TEST(PhxPushButton, LookAndFeelReloadOnlyForKindTwoAfterSetDNPixmapSTR)
{
    QWidget host;
    phxPushButton b(&host);
    b.setNormal(skin("button_normal.png"));
    QMetaObject::invokeMethod(&b, "OnLAFChanged", Q_ARG(int, 2), Q_ARG(QString, QString()));
    EXPECT_TRUE(near(shot(b, "laf_none").pixelColor(5, 5), kNormal));

    b.setDNPixmapSTR(true, ":/phx/background.png", ":/phx/button_pressed.png", QString(), QString());
    QMetaObject::invokeMethod(&b, "OnLAFChanged", Q_ARG(int, 1), Q_ARG(QString, QString()));
    EXPECT_TRUE(near(shot(b, "laf_kind1").pixelColor(5, 5), kNormal));

    QMetaObject::invokeMethod(&b, "OnLAFChanged", Q_ARG(int, 2), Q_ARG(QString, QString()));
    EXPECT_EQ(b.size(), QSize(60, 40));
    EXPECT_TRUE(near(shot(b, "laf_reloaded").pixelColor(5, 5), kBackground));
    EXPECT_TRUE(b.focusedImage().isNull());
}

TEST(PhxClickSound, SwitchingTheSoundBackOnReconnectsOnce)
{
    Manager manager;
    ZyrelleControls::SetSoundManager(&manager);
    QWidget host;
    phxPushButton* b = skinnedButton(&host);
    b->setObjectName("okButton");
    auto* icon = new phxIcon(&host);
    icon->setObjectName("wifiIcon");
    icon->setImage(skin("icon_mark.png"));
    icon->resizeToImage();
    icon->move(0, 50);
    host.show();

    QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    b->setEnableClickSound(false);
    QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5)); // silent, disconnects
    b->setEnableClickSound(true);
    b->setEnableClickSound(true);
    QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(manager.played, QStringList({ "okButton", "okButton" }));

    // Icons start silent; switched on after a press they sound again.
    QTest::mousePress(icon, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(manager.played.size(), 2);
    icon->setEnableClickSound(true);
    QTest::mousePress(icon, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    EXPECT_EQ(manager.played, QStringList({ "okButton", "okButton", "wifiIcon" }));

    // A widget built before the manager stays silent whatever it is told.
    ZyrelleControls::SetSoundManager(nullptr);
    phxPushButton early(&host);
    ZyrelleControls::SetSoundManager(&manager);
    early.setEnableClickSound(true);
    early.click();
    EXPECT_EQ(manager.played.size(), 3);
    ZyrelleControls::SetSoundManager(nullptr);
}

TEST(PhxIcon, PressEmitsTheNamedClickThenTheIconSignal)
{
    QWidget host;
    phxIcon icon(&host);
    icon.setObjectName("iconName");
    QStringList order;
    QObject::connect(&icon, &phxIcon::clicked, [&](const QString& n) { order << "clicked " + n; });
    QObject::connect(&icon, &phxIcon::sigIconClicked, [&] { order << "sigIconClicked"; });
    icon.resize(20, 20);
    host.show();
    QTest::mousePress(&icon, Qt::RightButton, Qt::NoModifier, QPoint(3, 3));
    EXPECT_EQ(order, QStringList({ "clicked iconName", "sigIconClicked" }));
}

TEST(PhxIcon, RotatesOnlyForAnglesAboveZero)
{
    QWidget host;
    phxIcon icon(&host);
    icon.setImage(skin("icon_mark.png"));
    EXPECT_EQ(icon.sizeHint(), QSize(40, 40));
    icon.resizeToImage();
    EXPECT_EQ(icon.size(), QSize(40, 40));

    icon.setRotateAngle(-90);
    QImage unrotated = shot(icon, "icon_minus90");
    EXPECT_TRUE(near(unrotated.pixelColor(7, 7), kIconMark));
    EXPECT_TRUE(near(unrotated.pixelColor(32, 7), kIconPaper));

    icon.setRotateAngle(90);
    QImage rotated = shot(icon, "icon_90");
    EXPECT_TRUE(near(rotated.pixelColor(7, 7), kIconPaper));
    EXPECT_TRUE(near(rotated.pixelColor(32, 7), kIconMark));

    // A larger icon centres the image before turning it.
    icon.resize(60, 60);
    QImage centred = shot(icon, "icon_90_centred");
    EXPECT_TRUE(near(centred.pixelColor(42, 17), kIconMark));
    EXPECT_TRUE(near(centred.pixelColor(17, 17), kIconPaper));

    icon.resize(20, 10);
    icon.resizeImageToIcon();
    EXPECT_EQ(icon.image().size(), QSize(20, 10));
}

TEST(PhxWidget, DrawsItsBackgroundAtItsSizeOrScaledKeepingItsShape)
{
    phxWidget w;
    w.resize(120, 120);
    w.setBackground(skin("background.png"));
    QImage plain = shot(w, "widget_background");
    EXPECT_TRUE(near(plain.pixelColor(59, 39), kBackground));
    EXPECT_FALSE(near(plain.pixelColor(61, 41), kBackground));

    w.setAutoFillBG(true);
    QImage filled = shot(w, "widget_background_filled");
    EXPECT_TRUE(near(filled.pixelColor(119, 79), kBackground)); // 60x40 scaled to 120x80
    EXPECT_FALSE(near(filled.pixelColor(60, 100), kBackground));
}

TEST(PhxMetaObjects, NamesAndPropertiesAsFormsUseThem)
{
    struct Case {
        const QMetaObject* meta;
        const char* className;
        QStringList properties;
        QStringList signalList;
    };
    const Case cases[] = {
        { &phxWidget::staticMetaObject, "phxWidget", { "Background" }, {} },
        { &phxPushButton::staticMetaObject, "phxPushButton",
            { "autoResize", "normal", "pressed", "focused", "disabled", "shiftOnPress", "eventPropagation",
                "enableClickSound" },
            { "clicked(QString)" } },
        { &phxIcon::staticMetaObject, "phxIcon", { "image", "RotateAngle", "enableClickSound" },
            { "sigIconClicked()", "clicked(QString)" } },
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(c.meta->className(), c.className);
        for (const QString& name : c.properties) {
            const int i = c.meta->indexOfProperty(name.toLatin1().constData());
            ASSERT_GE(i, c.meta->propertyOffset()) << c.className << "::" << name.toStdString();
            const QMetaProperty p = c.meta->property(i);
            EXPECT_TRUE(p.isReadable() && p.isWritable() && p.isDesignable() && p.isStored()) << name.toStdString();
        }
        for (const QString& s : c.signalList)
            EXPECT_GE(c.meta->indexOfSignal(s.toLatin1().constData()), 0) << c.className << " " << s.toStdString();
    }
    // Forms set images through the properties.
    phxPushButton b;
    EXPECT_TRUE(b.setProperty("normal", skin("button_normal.png")));
    EXPECT_EQ(b.size(), QSize(76, 43));
    b.setDisabled(true); // the QWidget slot stays reachable beside the image setter
    EXPECT_FALSE(b.isEnabled());
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (!phx_test::registerSkin())
        return 1;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "phx_widgets_test.moc"
