#include "controls/core/ZyrelleControls.h"
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
