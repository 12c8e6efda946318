#include "controls/core/ZyrelleControls.h"
#include "controls/keyboard/zyrCoordEntryWidget.h"
#include "controls/keyboard/zyrKBContainer.h"
#include "controls/keyboard/zyrKeyButton.h"
#include "controls/keyboard/zyrMultiPageKeyboard.h"
#include "tests/controls/keyboard/keyboard_test_util.h"
#include "tests/support/temp_root.h"

#include <QDir>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

class SoundLog : public QObject {
    Q_OBJECT
public:
    QStringList played;
public slots:
    void onPlayWidgetSound(const QString& name) { played << name; }
};

// A shown container typing into two lists.
struct Typing {
    kivo::test::TempDeviceRoot root;
    SoundLog sounds;
    std::unique_ptr<zyrKBContainer> container;
    QStringList texts;
    QList<int> codes;

    Typing()
    {
        ZyrelleControls::SetSoundManager(&sounds);
        container = std::make_unique<zyrKBContainer>();
        container->loadKeyboard("Lettrix.dll", "");
        QObject::connect(container.get(), QOverload<QString>::of(&zyrKBContainer::keypressed), [this](QString t) { texts << t; });
        QObject::connect(container.get(), QOverload<int>::of(&zyrKBContainer::keypressed), [this](int c) { codes << c; });
        container->resize(241, 320);
        container->show();
    }
    ~Typing()
    {
        container.reset();
        ZyrelleControls::SetSoundManager(nullptr);
    }
    zyrKeyButton* key(const char* name) { return container->keyboard()->findChild<zyrKeyButton*>(name); }
    QString page() { return container->keyboard()->currentWidget()->objectName(); }
    void tap(const char* name)
    {
        zyrKeyButton* k = key(name);
        ASSERT_TRUE(k);
        EXPECT_TRUE(k->isVisible()) << name << " on " << page().toStdString();
        QTest::mouseClick(k, Qt::LeftButton);
    }
};

TEST(LettrixTyping, TapsThroughAllFourPages)
{
    Typing t;
    for (const char* name : { "H", "LowerCase_Button", "i", "Space", "Numeric_Button", "Num4", "Symbol_Button", "EUR",
             "Backspace_3", "EN_Button_2", "btnBack_4" })
        t.tap(name);
    EXPECT_EQ(t.texts, QStringList({ "H", "i", "4", QString::fromUtf8("\u20ac") }));
    EXPECT_EQ(t.codes, QList<int>({ 0x20, 0x01000003, 0x01000000 }));
    EXPECT_EQ(t.page(), "Capitalization");
    EXPECT_EQ(t.sounds.played,
        QStringList({ "H", "LowerCase_Button", "i", "Space", "Numeric_Button", "Num4", "Symbol_Button", "EUR",
            "Backspace_3", "EN_Button_2", "btnBack_4" }));

    // The digits' "ABC" leads to the small letters.
    t.container->keyboard()->setCurrentIndex(2);
    t.tap("EN_Button");
    EXPECT_EQ(t.page(), "LowerCase");
}

TEST(LettrixTyping, SymbolKeysTypeOneCharacterEach)
{
    Typing t;
    t.container->keyboard()->setCurrentIndex(2);
    t.tap("Apostrophe");
    t.tap("PoundSign");
    t.container->keyboard()->setCurrentIndex(3);
    for (const char* name : { "CNY", "GBP", "EUR", "Quote", "BackSlash", "SingleQuote" })
        t.tap(name);
    EXPECT_EQ(t.texts, QStringList({ "`", "#", QString::fromUtf8("\u00a5"), QString::fromUtf8("\u00a3"),
                           QString::fromUtf8("\u20ac"), "\"", "\\", "'" }));
}

TEST(LettrixTyping, HoldsOfBackspaceSpaceAndBack)
{
    kbdtest::FastHolds fast;
    Typing t;
    t.container->keyboard()->setCurrentIndex(1);
    struct Case {
        const char* key;
        QList<int> whileDown;
        QList<int> after;
    };
    for (const Case& c : { Case { "Backspace", { 0x01000007 }, { 0x01000007 } },
             Case { "Space", { 0x01000004 }, { 0x01000004 } }, Case { "btnBack", {}, { 0x01000000 } } }) {
        t.codes.clear();
        QList<int> down;
        kbdtest::holdKey(t.key(c.key), [&] { down = t.codes; });
        EXPECT_EQ(down, c.whileDown) << c.key;
        EXPECT_EQ(t.codes, c.after) << c.key;
    }
    EXPECT_TRUE(t.texts.isEmpty());
}

// Digits typed on the keyboard into one field of each coordinate form, the
// way a host wires them: the container's text to the field being edited.
// A digit equal to the one under the cursor is typed like any other.
TEST(LettrixTyping, DigitsTypedIntoEachCoordinateFormReadBackExactly)
{
    using CW = zyrCoordEntryWidget;
    using IT = zyrInputWidget::InputType;
    struct Case {
        CW::CoordType form;
        IT type;
        const char* text;
        const char* mask;
        float top, bottom;
        int decimals;
        const char* typed;
        const char* expected;
    };
    const Case cases[] = {
        { CW::LAT_LONG_DD, zyrInputWidget::LAT_DEG, "00.000", "99.999", 90, -90, 3, "47005", "47.005" },
        { CW::LAT_LONG_DD_MMMMM, zyrInputWidget::LON_DEG, "000", "999", 180, -180, 0, "008", "008" },
        { CW::LAT_LONG_DD_MMMMM, zyrInputWidget::LAT_MIN, "00.000", "99.999", 60, 0, 3, "07250", "07.250" },
        { CW::LAT_LONG_DD_MM_SSS, zyrInputWidget::LAT_DEG, "00", "99", 90, -90, 0, "07", "07" },
        { CW::LAT_LONG_DD_MM_SSS, zyrInputWidget::LON_SEC, "00.0", "99.9", 60, 0, 1, "205", "20.5" },
        { CW::ZONE_NORTHING_EASTING, zyrInputWidget::NORTHING, "0000000", "9999999", 1e7f, 0, 0, "5300100",
            "5300100" },
        { CW::MGRS_USNG, zyrInputWidget::EASTING, "00000", "99999", 99999, 0, 0, "00120", "00120" },
        { CW::NUMERIC_COORD, zyrInputWidget::NUMERIC, "12", "99", 99, 0, 0, "15", "15" },
    };
    Typing t;
    t.container->keyboard()->setCurrentIndex(2); // the digits
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.typed) + " into " + c.text);
        CW coords;
        coords.setCoordType(c.form);
        coords.setCoords({ CoordData(c.type, c.text, c.mask, 0, false, false, c.top, c.bottom, c.decimals) });
        coords.show();
        auto typed = QObject::connect(t.container.get(), QOverload<QString>::of(&zyrKBContainer::keypressed),
            [&coords](const QString& s) {
                if (zyrInputWidget* field = coords.getCurrentInput())
                    field->keyInput(s);
            });
        zyrInputWidget* field = nullptr;
        for (zyrInputWidget* f : coords.findChildren<zyrInputWidget*>())
            if (f->inputType() == c.type)
                field = f;
        ASSERT_TRUE(field);
        QTest::mouseClick(field, Qt::LeftButton);
        ASSERT_EQ(coords.getCurrentInput(), field);
        field->keyInput(Qt::Key_Home);
        for (const char* digit = c.typed; *digit; ++digit)
            t.tap(("Num" + std::string(1, *digit)).c_str());
        QObject::disconnect(typed);
        QString back;
        for (const CoordData& record : coords.getCoords())
            if (record.type == c.type)
                back = record.text;
        EXPECT_EQ(back, QString::fromLatin1(c.expected));
    }
}

void savePng(const QImage& image, const QString& name)
{
    const QString folder = qEnvironmentVariable("KIVO_DEVICE_ROOT", QDir::tempPath()) + "/../lettrix-png";
    QDir().mkpath(folder);
    image.save(folder + "/" + name + ".png");
}

// The key's bitmap as the key draws it: scaled over its whole rectangle.
QImage drawnBitmap(const QPixmap& bitmap, const QSize& size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(QRect(QPoint(0, 0), size), bitmap);
    return image;
}

// Mean channel difference between the page image over the key's band and
// the expected key image over the same band (rows from..to of the key).
double meanDifference(const QImage& page, const QRect& key, const QImage& expected, int from, int to)
{
    double sum = 0;
    int n = 0;
    for (int y = from; y < to; ++y)
        for (int x = 3; x < key.width() - 3; ++x) {
            const QColor a = page.pixelColor(key.left() + x, key.top() + y);
            const QColor b = expected.pixelColor(x, y);
            if (b.alpha() < 255)
                continue; // the bitmap's own transparent rim shows the page
            sum += qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue());
            n += 3;
        }
    return n ? sum / n : 255;
}

int darkPixels(const QImage& image, const QRect& area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() < 90 && c.green() < 90 && c.blue() < 90)
                ++n;
        }
    return n;
}

TEST(LettrixTyping, EveryPageDrawsItsBitmapsAndLabels)
{
    Typing t;
    zyrMultiPageKeyboard* keyboard = t.container->keyboard();
    ASSERT_EQ(t.container->size(), QSize(241, 320));
    for (int i = 0; i < 4; ++i) {
        keyboard->setCurrentIndex(i);
        QWidget* page = keyboard->currentWidget();
        const QImage image = t.container->grab().toImage();
        EXPECT_EQ(image.size(), QSize(241, 320));
        savePng(image, page->objectName());
        for (zyrKeyButton* key : page->findChildren<zyrKeyButton*>()) {
            SCOPED_TRACE(key->objectName().toStdString());
            const QRect r(key->mapTo(t.container.get(), QPoint(0, 0)), key->size());
            const QImage expected = drawnBitmap(key->normalBmp(), r.size());
            if (key->text().isEmpty()) {
                // Image-only keys: the whole face, glyph included.
                EXPECT_LT(meanDifference(image, r, expected, 3, r.height() - 3), 6.0);
            } else {
                // Labelled keys: the face below the text, and text in the middle.
                EXPECT_LT(meanDifference(image, r, expected, r.height() * 3 / 4, r.height() - 3), 6.0);
                const QRect textArea(r.left() + 4, r.top() + r.height() / 4, r.width() - 8, r.height() / 2);
                EXPECT_GT(darkPixels(image, textArea), 8);
            }
        }
    }

    // A key held down shows its pressed bitmap.
    keyboard->setCurrentIndex(0);
    zyrKeyButton* k = t.key("K");
    k->setDown(true);
    const QImage held = t.container->grab().toImage();
    savePng(held, "held_K");
    const QRect r(k->mapTo(t.container.get(), QPoint(0, 0)), k->size());
    EXPECT_LT(meanDifference(held, r, drawnBitmap(k->pressedBmp(), r.size()), r.height() * 3 / 4, r.height() - 3), 6.0);
    EXPECT_GT(meanDifference(held, r, drawnBitmap(k->normalBmp(), r.size()), r.height() * 3 / 4, r.height() - 3), 20.0);
    k->setDown(false);
}

} // namespace

#include "lettrix_typing_test.moc"
