// A layout plug-in for the keyboard's tests. It registers one layout under
// "<its file's base name>Container" (so copies under other names register
// under those) and one under "KbdFixtureSharedContainer", and counts its
// entry calls, forms and retranslations in fixtureCounts(base name).
//
// Variants by compile definition:
//   FIXTURE_NO_REGISTER   exports only UnregisterLayout
//   FIXTURE_NO_KEYBOARD   builds a form without a keyboard
#include "controls/keyboard/zyrKeyButton.h"
#include "controls/keyboard/zyrLayoutFactory.h"
#include "controls/keyboard/zyrMultiPageKeyboard.h"
#include "tests/controls/keyboard/fixture_counts.h"

#include <QCoreApplication>
#include <QWidget>

#include <dlfcn.h>

namespace {

std::string ownBase()
{
    Dl_info info {};
    if (!dladdr(reinterpret_cast<void*>(&ownBase), &info) || !info.dli_fname)
        return "unknown";
    std::string file = info.dli_fname;
    file = file.substr(file.find_last_of('/') + 1);
    return file.substr(0, file.rfind(".so"));
}

FixtureCounts& counts()
{
    return fixtureCounts(ownBase());
}

// A class of the plug-in: its destructor runs from the module, so the form
// must die before the module is unmapped.
class FixtureForm : public QWidget {
public:
    explicit FixtureForm(QWidget* parent)
        : QWidget(parent)
    {
        ++counts().formsAlive;
    }
    ~FixtureForm() override
    {
        --counts().formsAlive;
        ++counts().formsDestroyed;
    }
};

// Unused by the variant whose form has no keyboard.
[[maybe_unused]] zyrKeyButton* makeKey(QWidget* page, const char* name, zyrKeyButton::ButtonType type, const QRect& geometry)
{
    auto* key = new zyrKeyButton(page);
    key->setObjectName(QString::fromLatin1(name));
    key->setButtonType(type);
    key->setGeometry(geometry);
    return key;
}

class FixtureLayout : public zyrBCLayout {
public:
    void setupUi(int, QWidget* host) override
    {
        ++counts().setupCalls;
        auto* form = new FixtureForm(host);
        form->setObjectName(QStringLiteral("fixture_form"));
        form->setGeometry(0, 0, 240, 200);
#ifndef FIXTURE_NO_KEYBOARD
        auto* keyboard = new zyrMultiPageKeyboard(form);
        keyboard->setObjectName(QStringLiteral("Fixture_Keyboard"));
        keyboard->setGeometry(0, 0, 240, 200);
        keyboard->setMinimumSize(0, 123);
        QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Expanding);
        policy.setVerticalStretch(2);
        keyboard->setSizePolicy(policy);

        auto* page = new QWidget(keyboard);
        page->setObjectName(QStringLiteral("Letters"));
        zyrKeyButton* key = makeKey(page, "b", zyrKeyButton::Regular, QRect(0, 0, 40, 40));
        key->setKeyStringLower(QStringLiteral("b"));
        key = makeKey(page, "ext", zyrKeyButton::Regular, QRect(150, 0, 40, 40));
        key->setKeyStringLower(QString::fromUtf8("a\u00e0\u00e2\u00e4"));
        key->setHasExtChar(true);
        key = makeKey(page, "ext2", zyrKeyButton::Regular, QRect(100, 50, 40, 40));
        key->setKeyStringLower(QString::fromUtf8("e\u00e9\u00e8\u00ea"));
        key->setHasExtChar(true);
        key = makeKey(page, "Backspace", zyrKeyButton::Control, QRect(0, 50, 40, 40));
        key->setKeyCode(Qt::Key_Backspace);
        key->setSecondKeyCode(Qt::Key_Delete);
        makeKey(page, "greeting", zyrKeyButton::Control, QRect(0, 100, 80, 40));
        keyboard->addPage(page);
#endif
    }

    void retranslateUi(int, QWidget* host) override
    {
        ++counts().retranslateCalls;
        if (auto* key = host->findChild<zyrKeyButton*>(QStringLiteral("greeting")))
            key->setText(QCoreApplication::translate("KbdFixture", "Hello"));
    }
};

FixtureLayout g_ownLayout;
FixtureLayout g_sharedLayout;
const char* const kSharedName = "KbdFixtureSharedContainer";

std::string ownLayoutName()
{
    return ownBase() + "Container";
}

} // namespace

extern "C" {

#ifndef FIXTURE_NO_REGISTER
__attribute__((visibility("default"))) int RegisterLayout(zyrLayoutFactory* factory)
{
    FixtureCounts& c = counts();
    ++c.registerCalls;
    c.ownLayout = &g_ownLayout;
    c.sharedLayout = &g_sharedLayout;
    factory->registerLayout(ownLayoutName().c_str(), &g_ownLayout);
    factory->registerLayout(kSharedName, &g_sharedLayout);
    return 1;
}
#endif

__attribute__((visibility("default"))) int UnregisterLayout(zyrLayoutFactory* factory)
{
    ++counts().unregisterCalls;
    factory->unregisterLayout(ownLayoutName().c_str(), &g_ownLayout);
    factory->unregisterLayout(kSharedName, &g_sharedLayout);
    return 1;
}

} // extern "C"
