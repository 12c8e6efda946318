#include "controls/keyboard/zyrKBContainer.h"
#include "controls/keyboard/zyrKeyButton.h"
#include "controls/keyboard/zyrKeyExtWidget.h"
#include "controls/keyboard/zyrLayoutFactory.h"
#include "controls/keyboard/zyrMultiPageKeyboard.h"
#include "tests/controls/keyboard/fixture_counts.h"
#include "tests/controls/keyboard/keyboard_test_util.h"
#include "tests/support/temp_root.h"

#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QResource>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <memory>

namespace {

bool mapped(const char* base)
{
    const QByteArray file = (QCoreApplication::applicationDirPath() + "/" + base + ".so").toLocal8Bit();
    void* handle = dlopen(file.constData(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

class Container : public ::testing::Test {
protected:
    void SetUp() override { resetFixtureCounts(); }
    void TearDown() override
    {
        // Every test leaves the factory as it found it.
        EXPECT_FALSE(mapped("KbdFixtureA"));
        EXPECT_FALSE(mapped("KbdFixtureB"));
    }

    // A copy of fixture A under another file name in the device root: it
    // registers "<base>Container".
    QString copyOfFixture(const QString& base)
    {
        const QString folder = QString::fromStdString(root.path()) + "/Plugins";
        QDir().mkpath(folder);
        EXPECT_TRUE(QFile::copy(QCoreApplication::applicationDirPath() + "/KbdFixtureA.so", folder + "/" + base + ".so"));
        return "\\Plugins\\" + base + ".dll";
    }

    kivo::test::TempDeviceRoot root;
};

zyrKeyButton* keyNamed(zyrKBContainer& c, const char* name)
{
    return c.findChild<zyrKeyButton*>(QString::fromLatin1(name));
}

TEST_F(Container, LayoutNameComesFromTheFileNameAfterTheLastBackslash)
{
    const QString base90(90, QLatin1Char('k'));
    struct Case {
        QString path;
        bool built;
        bool heldAfterMiss; // loaded, but no layout of that name
    };
    const Case cases[] = {
        { "KbdFixtureA.dll", true, false },
        { "\\SystemDrive\\Falmo\\KbdFixtureA.dll", true, false },
        { "KbdFixtureA", true, false }, // no extension: the whole name
        { "KbdFixtureA.DLL", false, true }, // "KbdFixtureA.DLLContainer"
        { "Falmo/KbdFixtureA.dll", false, true }, // a slash is no separator
        { copyOfFixture(base90), true, false }, // a 99-character layout name
        { copyOfFixture(base90 + "k"), false, true }, // 100 characters
        { "NoSuchLayout.dll", false, false },
        { "", false, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        {
            zyrKBContainer container;
            container.loadKeyboard(c.path, QString());
            EXPECT_EQ(!container.keyboard().isNull(), c.built);
            if (!c.built) {
                EXPECT_EQ(container.sizeHint(), QSize(240, 240));
            }
        }
        // A miss keeps the plug-in it loaded.
        EXPECT_EQ(zyrLayoutFactory::unloadLayoutDll(reinterpret_cast<const char16_t*>(c.path.utf16())), c.heldAfterMiss);
    }
}

TEST_F(Container, SamePathInAnotherCaseRebuildsNothingButAnotherPathDoes)
{
    zyrKBContainer container;
    container.loadKeyboard("KbdFixtureA.dll", QString());
    QPointer<zyrMultiPageKeyboard> first = container.keyboard();
    ASSERT_TRUE(first);
    EXPECT_EQ(container.minimumSize(), QSize(0, 123));
    EXPECT_EQ(container.sizePolicy().verticalStretch(), 2);
    EXPECT_EQ(container.sizeHint(), first->sizeHint());

    container.loadKeyboard("KBDFIXTUREA.DLL", QString());
    FixtureCounts& a = fixtureCounts("KbdFixtureA");
    EXPECT_EQ(container.keyboard(), first);
    EXPECT_EQ(a.registerCalls, 1);
    EXPECT_EQ(a.setupCalls, 1);

    container.loadKeyboard("\\SystemDrive\\KbdFixtureA.dll", QString());
    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(container.keyboard());
    EXPECT_EQ(a.registerCalls, 2);
    EXPECT_EQ(a.unregisterCalls, 1); // the bare path's record went after the rebuild
    EXPECT_EQ(a.formsAlive, 1);
}

TEST_F(Container, FormsDieBeforeTheirModulesAndAMissingKeyboardIsNeverAdopted)
{
    {
        zyrKBContainer container;
        container.loadKeyboard("KbdFixtureA.dll", QString());
        container.loadKeyboard("KbdFixtureB.dll", QString());
        EXPECT_FALSE(mapped("KbdFixtureA"));
        EXPECT_EQ(fixtureCounts("KbdFixtureA").formsDestroyed, 1);
        QPointer<zyrMultiPageKeyboard> fromB = container.keyboard();
        ASSERT_TRUE(fromB);

        container.loadKeyboard("KbdFixtureNoKeyboard.dll", QString());
        EXPECT_EQ(container.keyboard(), fromB);
        EXPECT_EQ(fixtureCounts("KbdFixtureNoKeyboard").formsDestroyed, 1);
        EXPECT_FALSE(mapped("KbdFixtureNoKeyboard"));
    }
    EXPECT_EQ(fixtureCounts("KbdFixtureB").formsAlive, 0);
    EXPECT_EQ(fixtureCounts("KbdFixtureB").unregisterCalls, 1);
}

TEST_F(Container, TranslatorIsReplacedAndAFailedFileIsTriedAgain)
{
    const QString later = QString::fromStdString(root.path()) + "/later.qm";
    zyrKBContainer container;
    container.loadKeyboard("KbdFixtureA.dll", later);
    FixtureCounts& a = fixtureCounts("KbdFixtureA");
    EXPECT_EQ(a.retranslateCalls, 0);
    EXPECT_EQ(keyNamed(container, "greeting")->text(), "");

    ASSERT_TRUE(QFile::copy(KBD_FIXTURE_QM, later));
    container.loadKeyboard("KbdFixtureA.dll", later);
    EXPECT_EQ(a.retranslateCalls, 1);
    EXPECT_EQ(keyNamed(container, "greeting")->text(), "Hallo");
    container.loadKeyboard("KbdFixtureA.dll", later); // unchanged: nothing
    EXPECT_EQ(a.retranslateCalls, 1);

    container.loadKeyboard("KbdFixtureA.dll", KBD_FIXTURE_QM); // replaced
    EXPECT_EQ(a.retranslateCalls, 2);
    container.loadKeyboard("KbdFixtureA.dll", QString()); // removed, nothing loads
    EXPECT_EQ(QCoreApplication::translate("KbdFixture", "Hello"), "Hello");
    EXPECT_EQ(a.retranslateCalls, 2);
}

TEST_F(Container, ATranslationWithoutKeyboardIsInstalledAndRetranslatesNothing)
{
    {
        zyrKBContainer container;
        container.loadKeyboard(QString(), KBD_FIXTURE_QM);
        EXPECT_FALSE(container.keyboard());
        EXPECT_EQ(QCoreApplication::translate("KbdFixture", "Hello"), "Hallo");
    }
    EXPECT_EQ(QCoreApplication::translate("KbdFixture", "Hello"), "Hello");
}

TEST_F(Container, AHoldOpensThePopupAndItsCharacterIsTyped)
{
    kbdtest::FastHolds fast;
    zyrKBContainer container;
    container.loadKeyboard("KbdFixtureA.dll", QString());
    QStringList typed;
    QObject::connect(&container, QOverload<QString>::of(&zyrKBContainer::keypressed), [&](QString t) { typed << t; });
    container.show();

    zyrKeyButton* ext = keyNamed(container, "ext");
    QTest::mousePress(ext, Qt::LeftButton);
    auto popup = [&] { return container.findChild<zyrKeyExtWidget*>(); };
    ASSERT_TRUE(kbdtest::waitUntil([&] { return popup() != nullptr; }));
    QPointer<zyrKeyExtWidget> open = popup();
    QTest::mouseRelease(ext, Qt::LeftButton, {}, ext->rect().center());
    EXPECT_TRUE(typed.isEmpty()); // the hold's release types nothing
    EXPECT_EQ(qobject_cast<QVBoxLayout*>(container.layout())->itemAt(0)->widget(), open.data());

    QMetaObject::invokeMethod(&container, "popupExtChars", Q_ARG(QString, "xyz")); // one at a time
    EXPECT_EQ(container.findChildren<zyrKeyExtWidget*>().size(), 1);

    QList<zyrKeyButton*> buttons = open->findChildren<zyrKeyButton*>();
    ASSERT_EQ(buttons.size(), 4);
    kbdtest::waitUntil([&] { return buttons[2]->isVisible(); });
    QTest::mouseClick(buttons[2], Qt::LeftButton);
    EXPECT_EQ(typed, QStringList({ QString::fromUtf8("\u00e2") }));
    EXPECT_TRUE(kbdtest::waitUntil([&] { return open.isNull(); }));

    // Any key typed on the keyboard closes a pop-up as well.
    QMetaObject::invokeMethod(&container, "popupExtChars", Q_ARG(QString, "xyz"));
    open = popup();
    ASSERT_TRUE(open);
    QTest::mouseClick(keyNamed(container, "b"), Qt::LeftButton);
    EXPECT_EQ(typed.last(), "b");
    EXPECT_TRUE(kbdtest::waitUntil([&] { return open.isNull(); }));
}

TEST_F(Container, KeypadPopupSitsAtTheFocusedKeyWithinTheRightEdge)
{
    ASSERT_TRUE(QResource::registerResource(KBD_COMMON_RESOURCES));
    zyrKBContainer container;
    container.loadKeyboard("KbdFixtureA.dll", QString());
    container.show();
    QStringList typed;
    QObject::connect(&container, QOverload<QString>::of(&zyrKBContainer::keypressed), [&](QString t) { typed << t; });
    QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    EXPECT_FALSE(container.processKeyEvent(&right)); // no pop-up
    container.popupExtChars(); // no key highlighted
    EXPECT_EQ(container.findChild<zyrKeyExtWidget*>(), nullptr);

    struct Case {
        const char* key;
        QRect geometry;
    };
    for (const Case& c : { Case { "ext", QRect(140, 0, 100, 46) }, Case { "ext2", QRect(100, 50, 100, 46) } }) {
        for (zyrKeyButton* key : container.findChildren<zyrKeyButton*>())
            key->setHasFocus(false);
        container.keyboard()->setFocusByName(c.key);
        container.popupExtChars();
        QPointer<zyrKeyExtWidget> popup = container.findChild<zyrKeyExtWidget*>();
        ASSERT_TRUE(popup);
        EXPECT_EQ(popup->geometry(), c.geometry);
        EXPECT_FALSE(popup->normalXBmp().isNull());

        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, QString(), true);
        EXPECT_TRUE(container.processKeyEvent(&repeat)); // taken, but not acted on
        EXPECT_TRUE(popup->findChildren<zyrKeyButton*>().first()->isHasFocus() == false);
        EXPECT_TRUE(container.processKeyEvent(&right));
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        EXPECT_TRUE(container.processKeyEvent(&enter));
        EXPECT_EQ(typed.last(), QString(c.key) == "ext" ? "a" : "e");
        EXPECT_TRUE(kbdtest::waitUntil([&] { return popup.isNull(); }));
    }
    QResource::unregisterResource(KBD_COMMON_RESOURCES);
}

TEST_F(Container, ForwardersWaitForAKeyboardAndTheBackgroundTiles)
{
    zyrKBContainer container;
    container.enableOneKey("a", false);
    container.enableOneKey(Qt::Key_Backspace, false);
    container.enableAllKeys(false);
    container.showPage("Letters", false);
    EXPECT_FALSE(container.keyboard());

    QImage tile(2, 2, QImage::Format_ARGB32);
    tile.fill(Qt::blue);
    tile.setPixelColor(0, 0, Qt::red);
    container.setBkgdImage(QPixmap::fromImage(tile));
    container.resize(8, 8);
    QImage drawn = kbdtest::renderAlone(&container);
    EXPECT_EQ(drawn.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(drawn.pixelColor(4, 6), QColor(Qt::red));
    EXPECT_EQ(drawn.pixelColor(5, 6), QColor(Qt::blue));

    container.loadKeyboard("KbdFixtureA.dll", QString());
    container.enableOneKey(Qt::Key_Backspace, false);
    EXPECT_FALSE(keyNamed(container, "Backspace")->isEnabled());
    container.enableKeys(QVector<QString>({ "b" }), false);
    EXPECT_FALSE(keyNamed(container, "b")->isEnabled());
}

} // namespace
