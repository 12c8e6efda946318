#include "controls/core/ZyrelleControls.h"
#include "controls/keyboard/zyrKeyButton.h"
#include "tests/controls/keyboard/keyboard_test_util.h"

#include <QDir>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {


// Everything a key emits, in order.
struct Log {
    QStringList entries;
    void watch(zyrKeyButton* key)
    {
        QObject::connect(key, &zyrKeyButton::playSound, [this](const QString& n) { entries << "sound:" + n; });
        QObject::connect(key, QOverload<int>::of(&zyrKeyButton::clicked),
            [this](int code) { entries << QString::number(code, 16).prepend("code:"); });
        QObject::connect(key, QOverload<QString>::of(&zyrKeyButton::clicked), [this](QString t) { entries << "text:" + t; });
        QObject::connect(key, &zyrKeyButton::extendedChars, [this](QString t) { entries << "ext:" + t; });
        QObject::connect(key, &zyrKeyButton::setFocusByName, [this](QString n) { entries << "focus:" + n; });
    }
    QStringList take()
    {
        QStringList out = entries;
        entries.clear();
        return out;
    }
};

struct KeySpec {
    zyrKeyButton::ButtonType type = zyrKeyButton::Regular;
    Qt::Key code = Qt::Key_unknown;
    Qt::Key second = Qt::Key_unknown;
    QString lower;
    QString upper;
    bool ext = false;
    QString keys;
    QString focus;
};

KeySpec regular(const QString& lower, const QString& upper = {}, bool ext = false, const QString& focus = {})
{
    KeySpec s;
    s.lower = lower;
    s.upper = upper;
    s.ext = ext;
    s.focus = focus;
    return s;
}

KeySpec control(Qt::Key code = Qt::Key_unknown, Qt::Key second = Qt::Key_unknown)
{
    KeySpec s;
    s.type = zyrKeyButton::Control;
    s.code = code;
    s.second = second;
    return s;
}

KeySpec paging(const QString& keys, const QString& focus = {})
{
    KeySpec s;
    s.type = zyrKeyButton::Paging;
    s.keys = keys;
    s.focus = focus;
    return s;
}

std::unique_ptr<zyrKeyButton> makeKey(const KeySpec& spec)
{
    auto key = std::make_unique<zyrKeyButton>();
    key->setObjectName("k");
    key->setButtonType(spec.type);
    key->setKeyCode(spec.code);
    key->setSecondKeyCode(spec.second);
    key->setKeyStringLower(spec.lower);
    key->setKeyStringUpper(spec.upper);
    key->setHasExtChar(spec.ext);
    key->setKeys(spec.keys);
    key->setDesiredFocus(spec.focus);
    key->resize(60, 40);
    key->show();
    return key;
}

TEST(KeyButton, TapEmitsSoundThenItsTypesSignalThenFocus)
{
    struct Case {
        const char* what;
        KeySpec spec;
        bool shift;
        QString face;
        QStringList emitted;
    };
    const QString accents = QString::fromUtf8("a\u00e0\u00e2");
    const Case cases[] = {
        { "letter, shift off", regular("a", "A"), false, "a",
            { "sound:k", "text:a" } },
        { "letter, shift on", regular("a", "A"), true, "A",
            { "sound:k", "text:A" } },
        { "extended characters: the first", regular(accents, {}, true), false, "a", { "sound:k", "text:a" } },
        { "several characters, no extension: all", regular("abc"), false, "abc", { "sound:k", "text:abc" } },
        { "extension without strings", regular({}, {}, true), false, "", { "sound:k" } },
        { "Backspace", control(Qt::Key_Backspace, Qt::Key_Delete), false, "",
            { "sound:k", "code:1000003" } },
        { "code never set", control(), false, "", { "sound:k", "code:1ffffff" } },
        { "page switch", paging("Numeric"), false, "",
            { "sound:k", "text:Numeric" } },
        { "page switch without page, focus still follows",
            paging({}, "next"), false, "",
            { "sound:k", "focus:next" } },
        { "focus after the text", regular("q", {}, false, "next"), false, "q", { "sound:k", "text:q", "focus:next" } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto key = makeKey(c.spec);
        key->setShiftState(c.shift);
        EXPECT_EQ(key->text(), c.face);
        Log log;
        log.watch(key.get());
        QTest::mouseClick(key.get(), Qt::LeftButton);
        EXPECT_EQ(log.take(), c.emitted);
    }
}

QStringList holdAndRelease(zyrKeyButton* key, Log& log, bool releaseOver, QStringList* whileDown)
{
    kbdtest::holdKey(key, [&] { *whileDown = log.take(); }, releaseOver);
    return log.take();
}

TEST(KeyButton, HoldSendsTheSecondCodeOrTheExtendedCharactersWhileDown)
{
    kbdtest::FastHolds fast;
    struct Case {
        const char* what;
        KeySpec spec;
        QStringList whileDown;
        QStringList onRelease;
    };
    const QString accents = QString::fromUtf8("a\u00e0\u00e2");
    const Case cases[] = {
        { "Backspace", control(Qt::Key_Backspace, Qt::Key_Delete), { "code:1000007" }, { "sound:k" } },
        { "Space", control(Qt::Key_Space, Qt::Key_Return), { "code:1000004" }, { "sound:k" } },
        { "no second code: the code on release", control(Qt::Key_Escape), {},
            { "sound:k", "code:1000000" } },
        // The release must not type over the pop-up the hold opened.
        { "extended characters", regular(accents, {}, true, "f"),
            { "ext:" + accents }, { "sound:k", "focus:f" } },
        { "plain letter", regular("x"), {}, { "sound:k", "text:x" } },
        { "page switch", paging("Symbol"), {},
            { "sound:k", "text:Symbol" } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto key = makeKey(c.spec);
        Log log;
        log.watch(key.get());
        QStringList whileDown;
        EXPECT_EQ(holdAndRelease(key.get(), log, true, &whileDown), c.onRelease);
        EXPECT_EQ(whileDown, c.whileDown);
        // The next tap is a plain tap again.
        QTest::mouseClick(key.get(), Qt::LeftButton);
        QStringList tap = log.take();
        ASSERT_FALSE(tap.isEmpty());
        EXPECT_EQ(tap.first(), "sound:k");
        if (c.spec.type == zyrKeyButton::Control) {
            EXPECT_EQ(tap.value(1), QString::number(c.spec.code, 16).prepend("code:"));
        }
        if (c.spec.ext) {
            EXPECT_EQ(tap.value(1), "text:a");
        }
    }
}

TEST(KeyButton, AHoldReleasedOffTheKeyDoesNotEatTheNextTap)
{
    kbdtest::FastHolds fast;
    for (const KeySpec& spec : { control(Qt::Key_Backspace, Qt::Key_Delete),
             regular("ab", {}, true) }) {
        auto key = makeKey(spec);
        Log log;
        log.watch(key.get());
        QStringList whileDown;
        EXPECT_TRUE(holdAndRelease(key.get(), log, false, &whileDown).isEmpty());
        EXPECT_EQ(whileDown.size(), 1);
        QTest::mouseClick(key.get(), Qt::LeftButton);
        EXPECT_EQ(log.take(),
            QStringList({ "sound:k", spec.type == zyrKeyButton::Control ? QString("code:1000003") : QString("text:a") }));
    }
}

TEST(KeyButton, FaceFollowsTheShiftStateNotTheStringSetters)
{
    auto key = makeKey(regular("a", "A"));
    int typeChanges = 0;
    QObject::connect(key.get(), &zyrKeyButton::keyTypeChanged, [&](int) { ++typeChanges; });
    key->setButtonType(zyrKeyButton::Regular);
    EXPECT_EQ(typeChanges, 1);

    key->setKeyStringLower("b");
    EXPECT_EQ(key->text(), "a");
    key->setShiftState(false);
    EXPECT_EQ(key->text(), "b");
    EXPECT_EQ(key->currentKSLower(), "b");

    key->setKeyStringUpper("XYZ");
    EXPECT_EQ(key->currentKSUpper(), "X");
    key->setKeyStringUpper(QString());
    EXPECT_EQ(key->currentKSUpper(), "");
    EXPECT_EQ(key->getExtChars(), ""); // no extension
}

TEST(KeyButton, SizeHintIsTheFontsCellRaisedByAllButTheToggledBitmap)
{
    zyrKeyButton key;
    QFontMetrics metrics(key.font());
    const QSize cell(3 * metrics.horizontalAdvance('X'), 2 * metrics.height());
    EXPECT_EQ(key.sizeHint(), cell);
    key.setToggledBmp(QPixmap(500, 500));
    EXPECT_EQ(key.sizeHint(), cell);
    key.setPressedBmp(QPixmap(cell.width() + 10, 1));
    EXPECT_EQ(key.sizeHint(), QSize(cell.width() + 10, cell.height()));
    key.setFocusedBmp(QPixmap(1, cell.height() + 7));
    EXPECT_EQ(key.sizeHint(), QSize(cell.width() + 10, cell.height() + 7));
}

void savePng(const QImage& image, const QString& name)
{
    const QString folder = qEnvironmentVariable("KIVO_DEVICE_ROOT", QDir::tempPath()) + "/png";
    QDir().mkpath(folder);
    image.save(folder + "/" + name + ".png");
}

void expectColor(const QImage& image, QPoint at, QColor want, int tolerance = 4)
{
    const QColor got = image.pixelColor(at);
    EXPECT_NEAR(got.red(), want.red(), tolerance) << at.x() << "," << at.y();
    EXPECT_NEAR(got.green(), want.green(), tolerance) << at.x() << "," << at.y();
    EXPECT_NEAR(got.blue(), want.blue(), tolerance) << at.x() << "," << at.y();
    EXPECT_NEAR(got.alpha(), want.alpha(), tolerance) << at.x() << "," << at.y();
}

QPixmap solid(QColor color)
{
    QPixmap pixmap(10, 10);
    pixmap.fill(color);
    return pixmap;
}

TEST(KeyButton, PaintsGradientsWithClearCornersAndItsPressedAndToggledLooks)
{
    zyrKeyButton key;
    key.resize(60, 40);
    QImage rest = kbdtest::renderAlone(&key);
    savePng(rest, "key_rest");
    expectColor(rest, { 30, 0 }, QColor(128, 128, 128, 100), 6);
    expectColor(rest, { 30, 39 }, QColor(255, 255, 255, 100), 6);
    EXPECT_EQ(rest.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(rest.pixelColor(59, 39).alpha(), 0);

    key.setDown(true);
    QImage pressed = kbdtest::renderAlone(&key);
    savePng(pressed, "key_pressed");
    expectColor(pressed, { 30, 0 }, QColor(236, 132, 38, 200), 6);
    expectColor(pressed, { 30, 39 }, QColor(255, 255, 128, 200), 6);
    key.setDown(false);

    // The keypad highlight without a focused bitmap takes the pressed brush.
    key.setHasFocus(true);
    expectColor(kbdtest::renderAlone(&key), { 30, 0 }, QColor(236, 132, 38, 200), 6);
    key.setHasFocus(false);

    // A Shift key with shift on shows its toggled bitmap, by touch only.
    zyrKeyButton shift;
    shift.resize(60, 40);
    shift.setButtonType(zyrKeyButton::Control);
    shift.setKeyCode(Qt::Key_Shift);
    shift.setNormalBmp(solid(Qt::green));
    shift.setToggledBmp(solid(Qt::blue));
    shift.setShiftState(true);
    QImage toggled = kbdtest::renderAlone(&shift);
    savePng(toggled, "key_toggled");
    expectColor(toggled, { 30, 20 }, QColor(Qt::blue), 0);
    ZyrelleControls::SetKeypadNavigation(true);
    expectColor(kbdtest::renderAlone(&shift), { 30, 20 }, QColor(Qt::green), 0);
    ZyrelleControls::SetKeypadNavigation(false);
}

TEST(KeyButton, TextMovesByTheClickedOffsetWhileDown)
{
    zyrKeyButton key;
    key.resize(60, 40);
    key.setNormalBmp(solid(Qt::white));
    key.setPressedBmp(solid(Qt::white));
    QPalette palette = key.palette();
    palette.setColor(QPalette::ButtonText, Qt::black);
    key.setPalette(palette);
    key.setText("W");
    const QRect up = kbdtest::darkBounds(kbdtest::renderAlone(&key));
    key.setDown(true);
    QImage downImage = kbdtest::renderAlone(&key);
    savePng(downImage, "key_text_down");
    const QRect down = kbdtest::darkBounds(downImage);
    ASSERT_FALSE(up.isEmpty());
    // The text rectangle loses (2, 2) at its top left: centred text moves half.
    EXPECT_EQ(down.topLeft() - up.topLeft(), QPoint(1, 1));
    EXPECT_EQ(down.size(), up.size());
}

} // namespace
