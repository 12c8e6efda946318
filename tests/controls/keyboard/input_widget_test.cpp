#include "zyr_widget_test.h"

#include "controls/core/ZyrIcon.h"
#include "controls/core/ZyrelleControls.h"
#include "controls/keyboard/zyrInputWidget.h"

#include <QApplication>
#include <QDir>
#include <QDoubleValidator>
#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace zyrtest;
using Mode = zyrInputWidget::UnderlineMode;

struct Keypad {
    explicit Keypad(bool on) { ZyrelleControls::SetKeypadNavigation(on); }
    ~Keypad() { ZyrelleControls::SetKeypadNavigation(false); }
};

// Exposes the painting helpers.
class Field : public zyrInputWidget {
public:
    using zyrInputWidget::getUnderlineColor;
    using zyrInputWidget::superscriptPointSize;
    using zyrInputWidget::zyrInputWidget;
};

// The number validator the coordinate entry widget gives every field.
void validate(zyrInputWidget& w)
{
    w.setValidator(new QDoubleValidator(-1e7, 1e7, 3, &w));
}

void field(zyrInputWidget& w, zyrInputWidget::InputType type, const char* mask, const char* text, int cursor)
{
    w.setInputType(type);
    w.setInputMask(QString::fromLatin1(mask));
    w.setText(QString::fromLatin1(text));
    w.setCursorPosition(cursor);
}

TEST(InputWidget, TouchInputOverwritesOnlyWithAcceptedCharactersAndSignsReplaceSigns)
{
    zyrInputWidget w;
    EXPECT_EQ(w.inputType(), zyrInputWidget::NUMERIC) << "a defined start";
    EXPECT_EQ(w.accuracy(), 0);
    field(w, zyrInputWidget::NUMERIC, "", "12", 0);
    w.keyInput(QStringLiteral("-"));
    EXPECT_EQ(w.text(), QStringLiteral("-12"));
    EXPECT_EQ(w.cursorPosition(), 1);
    w.keyInput(QStringLiteral("+"));
    EXPECT_EQ(w.text(), QStringLiteral("+12")) << "a second sign replaces the first";

    // Characters typed one after the other from the cursor.
    struct Case {
        zyrInputWidget::InputType type;
        const char* mask;
        const char* text;
        int cursor;
        const char* input;
        const char* expected;
        bool validated;
        int cursorAfter;
    };
    const auto LAT = zyrInputWidget::LAT_DEG;
    const Case cases[] = {
        { LAT, "99", "12", 0, "7", "72", false, 1 }, // overwrite at the cursor
        { LAT, "99", "12", 1, "7", "17", false, 2 },
        { LAT, "99", "12", 0, "x", "12", false, 0 }, // refused: nothing erased
        { LAT, "99.99", "12.34", 3, "q", "12.34", false, 3 },
        { LAT, "AA", "NS", 1, "7", "NS", false, 1 },
        { LAT, "99", "00", 0, "07", "07", false, 2 }, // the same digit moves on
        // A validator refuses the erased half-way text, never the typed digit.
        { LAT, "99", "00", 0, "07", "07", true, 2 },
        { LAT, "999", "000", 0, "008", "008", true, 3 },
        { LAT, "99", "12", 0, "15", "15", true, 2 },
        { LAT, "99.9", "00.0", 0, "205", "20.5", true, 4 },
        { LAT, "99", "45", 0, "x", "45", true, 0 },
        { zyrInputWidget::NUMERIC, "", "12", 0, "a", "12", true, 0 }, // the validator refuses
        { zyrInputWidget::NUMERIC, "", "12", 0, "3", "32", true, 1 },
        // Hemisphere and zone letters are not numbers: the mask judges them.
        { zyrInputWidget::NORTHING_SIGN, "A", "N", 0, "S", "S", true, 1 },
        { zyrInputWidget::ZONE, "99A", "32T", 2, "U", "32U", true, 3 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mask + std::string(" ") + c.text + " " + c.input + (c.validated ? " validated" : ""));
        zyrInputWidget w;
        if (c.validated)
            validate(w);
        field(w, c.type, c.mask, c.text, c.cursor);
        for (const char* ch = c.input; *ch; ++ch)
            w.keyInput(QString(QLatin1Char(*ch)));
        EXPECT_EQ(w.text(), QString::fromLatin1(c.expected));
        EXPECT_EQ(w.cursorPosition(), c.cursorAfter);
    }

    zyrInputWidget atomic;
    field(atomic, zyrInputWidget::ZONE, "", "3", 0);
    atomic.setAtomicContent(true);
    atomic.keyInput(QStringLiteral("AB"));
    EXPECT_EQ(atomic.text(), QStringLiteral("AB"));
}

TEST(InputWidget, KeypadInputFillsLeadingPlaceholders)
{
    Keypad keypad(true);
    zyrInputWidget w;
    EXPECT_TRUE(w.isReadOnly());
    EXPECT_FALSE(w.showUnderLine());
    w.switchEdit(true);
    field(w, zyrInputWidget::LAT_DEG, "999", "5", 0);
    EXPECT_EQ(w.leadingCount(), 2);
    EXPECT_EQ(w.lastCursorPos(), 0);
    w.keyInput(QStringLiteral("7"));
    EXPECT_EQ(w.text(), QStringLiteral("775"));
    EXPECT_EQ(w.cursorPosition(), 0);

    field(w, zyrInputWidget::LAT_DEG, "999", "5", 0);
    w.keyInput(QString());
    EXPECT_EQ(w.text(), QStringLiteral("5")) << "nothing to repeat";
    field(w, zyrInputWidget::LAT_DEG, "999", "125", 1);
    w.keyInput(QStringLiteral("x"));
    EXPECT_EQ(w.text(), QStringLiteral("125")) << "a refused replacement changes nothing";
    w.keyInput(QStringLiteral("4"));
    EXPECT_EQ(w.text(), QStringLiteral("145"));
}

void arrow(zyrInputWidget& w, QEvent::Type type, int key, bool repeat = false)
{
    QKeyEvent event(type, key, Qt::NoModifier, QString(), repeat);
    w.onArrowKey(&event);
}

TEST(InputWidget, ArrowKeysStepTheCharacterAtTheCursor)
{
    Keypad keypad(true);
    struct Case {
        const char* what;
        zyrInputWidget::InputType type;
        const char* mask;
        const char* text;
        int cursor;
        int key;
        const char* expected;
        bool atomic;
        bool validated = false;
    };
    const int up = Qt::Key_Up, down = Qt::Key_Down;
    const Case cases[] = {
        { "9 up", zyrInputWidget::LAT_DEG, "99", "19", 1, up, "10", false },
        { "0 down", zyrInputWidget::LAT_DEG, "99", "10", 1, down, "19", false },
        { "placeholder up", zyrInputWidget::LAT_DEG, "999", "5", 0, up, "005", false },
        { "Z up", zyrInputWidget::ZONE, "AA", "KZ", 1, up, "KA", false },
        { "A down", zyrInputWidget::ZONE, "AA", "KA", 1, down, "KZ", false },
        { "# minus up", zyrInputWidget::LAT_DEG, "#99", "-12", 0, up, "+12", false },
        { "# other down", zyrInputWidget::LAT_DEG, "#99", "+12", 0, down, "-12", false },
        { "N", zyrInputWidget::NORTHING_SIGN, "A", "N", 0, up, "S", false },
        { "S", zyrInputWidget::NORTHING_SIGN, "A", "S", 0, down, "N", false },
        { "E", zyrInputWidget::EASTING_SIGN, "A", "E", 0, up, "W", false },
        { "W", zyrInputWidget::EASTING_SIGN, "A", "W", 0, up, "E", false },
        { "atomic zone", zyrInputWidget::ZONE, "99A", "33U", 1, up, "33U", true },
        { "numeric steps digits", zyrInputWidget::NUMERIC, "", "39", 1, up, "30", false },
        // Fields with the number validator the coordinate entry gives them:
        // letters step as on any other field, digits as before.
        { "validated N", zyrInputWidget::NORTHING_SIGN, "A", "N", 0, up, "S", false, true },
        { "validated S", zyrInputWidget::NORTHING_SIGN, "A", "S", 0, down, "N", false, true },
        { "validated E", zyrInputWidget::EASTING_SIGN, "A", "E", 0, up, "W", false, true },
        { "validated W", zyrInputWidget::EASTING_SIGN, "A", "W", 0, down, "E", false, true },
        { "validated zone letter", zyrInputWidget::ZONE, "99A", "32T", 2, up, "32U", false, true },
        { "validated zone digit", zyrInputWidget::ZONE, "99A", "32T", 0, down, "22T", false, true },
        { "validated digit", zyrInputWidget::LAT_DEG, "99", "45", 1, up, "46", false, true },
        { "validated 9 up", zyrInputWidget::LAT_DEG, "99", "19", 1, up, "10", false, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QWidget grandparent;
        QWidget* parent = new QWidget(&grandparent);
        auto* w = new zyrInputWidget(parent);
        w->switchEdit(true);
        w->setAtomicContent(c.atomic);
        if (c.validated)
            validate(*w);
        field(*w, c.type, c.mask, c.text, c.cursor);
        arrow(*w, QEvent::KeyPress, c.key);
        arrow(*w, QEvent::KeyRelease, c.key);
        EXPECT_EQ(w->text(), QString::fromLatin1(c.expected));
    }
}

TEST(InputWidget, AutoRepeatStepsAtEveryReleaseAndKeepsTheHeldImage)
{
    Keypad keypad(true);
    QWidget grandparent;
    QWidget* parent = new QWidget(&grandparent);
    auto* w = new zyrInputWidget(parent);
    w->switchEdit(true);
    field(*w, zyrInputWidget::LAT_DEG, "99", "11", 1);
    ASSERT_NE(w->upArrowIcon(), nullptr);
    EXPECT_EQ(w->upArrowIcon()->parent(), &grandparent);
    const QImage on = QPixmap(":/Buttons/b_KB_AdjustUp_on.mif").toImage();
    const QImage off = QPixmap(":/Buttons/b_KB_AdjustUp_off.mif").toImage();
    ASSERT_FALSE(on.isNull());
    arrow(*w, QEvent::KeyPress, Qt::Key_Up);
    EXPECT_EQ(w->upArrowIcon()->image().toImage(), on);
    arrow(*w, QEvent::KeyRelease, Qt::Key_Up, true);
    arrow(*w, QEvent::KeyPress, Qt::Key_Up, true);
    arrow(*w, QEvent::KeyRelease, Qt::Key_Up, true);
    EXPECT_EQ(w->text(), QStringLiteral("13"));
    EXPECT_EQ(w->upArrowIcon()->image().toImage(), on);
    arrow(*w, QEvent::KeyRelease, Qt::Key_Up);
    EXPECT_EQ(w->text(), QStringLiteral("14"));
    EXPECT_EQ(w->upArrowIcon()->image().toImage(), off);
}

TEST(InputWidget, UnderlineModesFollowTheCursorAndMaskChangesAreReported)
{
    zyrInputWidget w;
    w.setInputMask(QStringLiteral("99.99"));
    w.setOriginalText(QStringLiteral("12.34"));
    w.setText(QStringLiteral("12.94"));
    w.setShowCursor(true);
    w.setCursorPosition(3);
    EXPECT_EQ(w.underlineModes(),
        QVector<Mode>({ zyrInputWidget::NoChange, zyrInputWidget::NoChange, zyrInputWidget::NoChange,
            zyrInputWidget::Editing, zyrInputWidget::NoChange }));
    w.setCursorPosition(4);
    EXPECT_EQ(w.underlineModes(),
        QVector<Mode>({ zyrInputWidget::NoChange, zyrInputWidget::NoChange, zyrInputWidget::NoChange,
            zyrInputWidget::Changed, zyrInputWidget::Editing }));

    zyrInputWidget zone;
    zone.setInputMask(QStringLiteral("AA99"));
    zone.setText(QStringLiteral("UT33"));
    QSignalSpy mask(&zone, SIGNAL(currentMaskChanged(QChar)));
    zone.setCursorPosition(0);
    zone.setCursorPosition(1);
    EXPECT_EQ(mask.count(), 0) << "both positions are 'A'";
    zone.setCursorPosition(2);
    ASSERT_EQ(mask.count(), 1);
    EXPECT_EQ(mask.first().first().value<QChar>(), QLatin1Char('9'));

    // Positions the text lacks against the original, after its end, are
    // changed.
    zyrInputWidget trailing;
    trailing.setOriginalText(QStringLiteral("12345"));
    trailing.setText(QStringLiteral("12"));
    trailing.setCursorPosition(1);
    EXPECT_EQ(trailing.underlineModes(),
        QVector<Mode>({ zyrInputWidget::NoChange, zyrInputWidget::NoChange, zyrInputWidget::Changed,
            zyrInputWidget::Changed, zyrInputWidget::Changed }));

    // A short text with the cursor back at the start: the placeholders grow
    // no further than the characters the text lacks.
    zyrInputWidget short_;
    short_.setOriginalText(QStringLiteral("12345"));
    short_.setText(QStringLiteral("92"));
    short_.setCursorPosition(0);
    for (int i = 0; i < 6; ++i)
        QMetaObject::invokeMethod(&short_, "udpateLastCursorPos", Q_ARG(int, 0), Q_ARG(int, 0));
    EXPECT_EQ(short_.leadingCount(), 3);
    EXPECT_EQ(short_.underlineModes().size(), 5);
}

TEST(InputWidget, TapsEditingModesAndModification)
{
    zyrInputWidget w;
    w.resize(100, 40);
    QSignalSpy clicked(&w, SIGNAL(clicked()));
    QSignalSpy modeChanged(&w, SIGNAL(editModeChanged(bool)));
    // By the signature hosts connect with.
    QSignalSpy editing(&w, SIGNAL(editing(InputType, QString, QString, QString)));
    ASSERT_TRUE(editing.isValid());
    w.setReadOnly(true);
    QTest::mouseClick(&w, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(modeChanged.count(), 0);
    EXPECT_EQ(editing.count(), 0);

    w.setReadOnly(false);
    w.setText(QStringLiteral("42"));
    w.setCursorPosition(0);
    w.setSuperScript(QStringLiteral("o"));
    QTest::mouseClick(&w, Qt::LeftButton, Qt::NoModifier, QPoint(50, 10));
    EXPECT_EQ(w.cursorPosition(), 0) << "a tap never moves the cursor";
    ASSERT_EQ(editing.count(), 1);
    EXPECT_EQ(editing.first().at(0).value<zyrInputWidget::InputType>(), zyrInputWidget::NUMERIC);
    EXPECT_EQ(editing.first().at(1).toString(), QStringLiteral("42"));
    EXPECT_EQ(editing.first().at(3).toString(), QStringLiteral("o"));
    EXPECT_EQ(modeChanged.count(), 1);
    EXPECT_TRUE(w.isEditing());
    w.finishEditing();
    EXPECT_FALSE(w.isEditing());

    QTest::mousePress(&w, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    QTest::mouseRelease(&w, Qt::LeftButton, Qt::NoModifier, QPoint(150, 10));
    EXPECT_EQ(clicked.count(), 2) << "released outside: nothing";

    w.setReadOnly(true);
    w.switchEdit(true);
    EXPECT_FALSE(w.isReadOnly());
    EXPECT_FALSE(w.isEditing());
    w.switchEdit(false);
    EXPECT_TRUE(w.isEditing());
    EXPECT_TRUE(w.showCursor());
    w.switchEdit(false);
    EXPECT_FALSE(w.isEditing());
    EXPECT_FALSE(w.showCursor());

    zyrInputWidget m;
    m.setOriginalText(QStringLiteral("7"));
    m.setText(QStringLiteral("7"));
    EXPECT_FALSE(m.isModified());
    m.setText(QStringLiteral("8"));
    EXPECT_TRUE(m.isModified());
    m.setScaleFontSize(0);
    EXPECT_EQ(m.scaleFontSize(), 1);
    m.setScaleFontSize(-5);
    EXPECT_EQ(m.scaleFontSize(), 1);
}

TEST(InputWidget, StyleSheetFontAndSuperscriptSizes)
{
    const QString folder = QString::fromLocal8Bit(qgetenv("KIVO_DEVICE_ROOT"));
    QDir().mkpath(folder);
    const QString normal = folder + QStringLiteral("/field.png");
    solid(20, 20, Qt::gray).save(normal);

    Field w;
    QSignalSpy changed(&w, SIGNAL(styleSheetChanged(QString)));
    w.setFocusedImage(folder + QStringLiteral("/missing.png"));
    w.setNormalImage(normal);
    const QString expected = QStringLiteral("QLineEdit::focus\n{ \n\tborder-style: none;\n\tbackground-color: rgba(0, 0, 0, 0);\n}\n")
        + QStringLiteral("QLineEdit\n{\n   border-image: url(%1);\nborder-width: 10;\n};\n").arg(normal);
    EXPECT_EQ(w.styleSheetText(), expected);
    EXPECT_EQ(w.styleSheet(), expected);
    EXPECT_EQ(changed.count(), 2);
    w.setFocusedImage(normal);
    EXPECT_TRUE(w.styleSheetText().startsWith(
        QStringLiteral("QLineEdit::focus \n{ \n  border-image: url(%1);\nborder-width: 10;\n}\n").arg(normal)));
    EXPECT_EQ(w.style()->pixelMetric(QStyle::PM_TextCursorWidth), 0);
    EXPECT_EQ(w.style()->styleHint(QStyle::SH_BlinkCursorWhenTextSelected), 0);
    EXPECT_EQ(w.sizeHint(), QSize(200, 60));

    struct FontCase {
        int scale, expected;
    };
    for (FontCase c : { FontCase { 150, 15 }, FontCase { 120, 11 }, FontCase { 1, 10 } }) {
        Field f;
        QFont font = f.font();
        font.setPointSize(10);
        f.setFont(font);
        f.setScaleFontSize(c.scale);
        f.setStretchFont(90);
        f.AdjustFont();
        EXPECT_EQ(f.font().pointSize(), c.expected) << c.scale;
        EXPECT_EQ(f.font().stretch(), 90);
    }

    EXPECT_EQ(Field::superscriptPointSize(20, QStringLiteral("N")), 12);
    EXPECT_EQ(Field::superscriptPointSize(13, QStringLiteral("N")), 10);
    EXPECT_EQ(Field::superscriptPointSize(20, QString(QChar(0x02DA))), 16);
    EXPECT_EQ(w.getUnderlineColor(zyrInputWidget::Editing), QColor(247, 220, 50, 200));
    EXPECT_EQ(w.getUnderlineColor(zyrInputWidget::Changed), QColor(251, 112, 0, 200));
    EXPECT_EQ(w.getUnderlineColor(zyrInputWidget::NoChange), QColor(16, 132, 0, 200));
}

enum class Hue { Green, Orange, Yellow };

// The underline colours, at alpha 200 over the light window background.
bool isHue(const QColor& c, Hue hue)
{
    switch (hue) {
    case Hue::Green:
        return c.green() - c.red() > 60 && c.green() - c.blue() > 60;
    case Hue::Orange:
        return c.red() > 200 && c.green() > 100 && c.green() < 180 && c.blue() < 100;
    default:
        return c.red() > 200 && c.green() > 200 && c.blue() < 150;
    }
}

// Columns of the image holding a pixel of the hue in its lower half.
QList<int> columnsWith(const QImage& image, Hue hue)
{
    QList<int> columns;
    for (int x = 0; x < image.width(); ++x)
        for (int y = image.height() / 2; y < image.height(); ++y) {
            if (isHue(image.pixelColor(x, y), hue)) {
                columns << x;
                break;
            }
        }
    return columns;
}

TEST(InputWidget, PaintsUnderlinesByModeAndTheCursorBlock)
{
    zyrInputWidget w;
    QFont font = w.font();
    font.setPointSize(14);
    w.setFont(font);
    w.resize(200, 60);
    w.setOriginalText(QStringLiteral("12.34"));
    w.setText(QStringLiteral("12.94"));
    w.setShowCursor(true);
    w.setCursorPosition(4);
    w.show();
    const QImage image = shot(&w, "input_field");
    const QList<int> green = columnsWith(image, Hue::Green);
    const QList<int> orange = columnsWith(image, Hue::Orange);
    const QList<int> yellow = columnsWith(image, Hue::Yellow);
    ASSERT_FALSE(green.isEmpty());
    ASSERT_FALSE(orange.isEmpty());
    ASSERT_FALSE(yellow.isEmpty());
    EXPECT_LT(green.last(), orange.first()) << "unchanged 1 2, then the changed 9";
    EXPECT_LT(orange.last(), yellow.first()) << "the cursor on the last digit";

    // No segment under the '.': a gap between the second digit's and the 9's.
    const QFontMetrics fm(w.font());
    EXPECT_GT(orange.first() - green.last(), fm.boundingRect(QStringLiteral(".")).width() - 2);

    // Read-only and empty: dashes, no underline, the icons hidden.
    zyrInputWidget empty;
    empty.setInputMask(QStringLiteral("99"));
    empty.setReadOnly(true);
    empty.resize(200, 60);
    const QImage dashes = shot(&empty, "input_read_only");
    EXPECT_TRUE(columnsWith(dashes, Hue::Green).isEmpty());
    EXPECT_TRUE(columnsWith(dashes, Hue::Orange).isEmpty());

    // A text set after the modes were computed reaches past them.
    w.setText(QStringLiteral("12.9455"));
    shot(&w, "input_outgrown");
}

TEST(InputWidget, ArrowIconsGoWithTheirFieldAndFollowTheCursor)
{
    Keypad keypad(true);
    QWidget grandparent;
    grandparent.resize(300, 300);
    QWidget* parent = new QWidget(&grandparent);
    parent->setGeometry(20, 100, 250, 100);
    for (int round = 0; round < 3; ++round) {
        auto* w = new zyrInputWidget(parent);
        w->setGeometry(10, 10, 200, 60);
        w->show();
        w->switchEdit(true);
        w->switchEdit(false);
        field(*w, zyrInputWidget::LAT_DEG, "99", "12", 1);
        grandparent.show();
        shot(&grandparent, "input_keypad");
        EXPECT_TRUE(w->upArrowIcon()->isVisible());
        EXPECT_LT(w->upArrowIcon()->geometry().bottom(), 100 + 10 + 30) << "above the cursor";
        EXPECT_GT(w->downArrowIcon()->geometry().top(), 100 + 10 + 30) << "below it";
        delete w;
    }
    EXPECT_TRUE(grandparent.findChildren<ZyrIcon*>().isEmpty());
}

} // namespace
