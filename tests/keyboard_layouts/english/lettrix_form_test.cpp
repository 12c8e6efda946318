#include "controls/keyboard/zyrKBContainer.h"
#include "controls/keyboard/zyrKeyButton.h"
#include "controls/keyboard/zyrKeyExtWidget.h"
#include "controls/keyboard/zyrLayoutFactory.h"
#include "controls/keyboard/zyrMultiPageKeyboard.h"
#include "platform/loader.h"
#include "tests/controls/keyboard/keyboard_test_util.h"
#include "tests/support/temp_root.h"

#include <QCoreApplication>
#include <QHBoxLayout>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <map>
#include <memory>

namespace {

bool lettrixMapped()
{
    const QByteArray file = (QCoreApplication::applicationDirPath() + "/Lettrix.so").toLocal8Bit();
    void* handle = dlopen(file.constData(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

std::unique_ptr<zyrKBContainer> loadedContainer()
{
    auto container = std::make_unique<zyrKBContainer>();
    container->loadKeyboard("Lettrix.dll", "");
    return container;
}

QStringList stackOf(zyrMultiPageKeyboard* keyboard)
{
    QStringList names;
    for (int i = 0; i < keyboard->count(); ++i)
        names << keyboard->widget(i)->objectName();
    return names;
}

class Lettrix : public ::testing::Test {
protected:
    kivo::test::TempDeviceRoot root;
};

TEST_F(Lettrix, LoadsIntoAContainerWithItsFourPages)
{
    auto container = loadedContainer();
    zyrMultiPageKeyboard* keyboard = container->keyboard();
    ASSERT_TRUE(keyboard);
    EXPECT_EQ(keyboard->objectName(), "Falmo_Keyboard");
    EXPECT_EQ(stackOf(keyboard), QStringList({ "Capitalization", "LowerCase", "Numeric", "Symbol" }));
    EXPECT_EQ(keyboard->currentIndex(), 0);
    EXPECT_EQ(keyboard->geometry(), QRect(0, 0, 241, 320));
    EXPECT_EQ(keyboard->sizePolicy().verticalStretch(), 1);
    EXPECT_EQ(keyboard->sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);
    EXPECT_EQ(container->minimumSize(), QSize(0, 241));

    QWidget* proxy = keyboard->parentWidget();
    QWidget* host = proxy->parentWidget();
    EXPECT_EQ(proxy->objectName(), "LettrixContainer_proxy");
    EXPECT_EQ(proxy->geometry(), QRect(0, 0, 241, 320));
    EXPECT_EQ(host->objectName(), "LettrixContainer");
    EXPECT_EQ(host->findChildren<QWidget*>("LettrixContainer_proxy").size(), 1);

    std::map<int, int> byType;
    QList<int> perPage;
    for (int i = 0; i < 4; ++i) {
        const QList<zyrKeyButton*> keys = keyboard->widget(i)->findChildren<zyrKeyButton*>();
        perPage << keys.size();
        for (zyrKeyButton* key : keys)
            ++byType[key->buttonType()];
    }
    EXPECT_EQ(perPage, QList<int>({ 31, 31, 30, 30 }));
    EXPECT_EQ(byType[zyrKeyButton::Regular], 102);
    EXPECT_EQ(byType[zyrKeyButton::Control], 12);
    EXPECT_EQ(byType[zyrKeyButton::Paging], 8);
}

TEST_F(Lettrix, BothExportsReturnOneAlsoTwice)
{
    ce::HMODULE module = ce::loadLibrary("Lettrix.dll");
    ASSERT_TRUE(module);
    auto reg = reinterpret_cast<zyrRegisterLayoutFn>(ce::getProcAddress(module, "RegisterLayout"));
    auto unreg = reinterpret_cast<zyrRegisterLayoutFn>(ce::getProcAddress(module, "UnregisterLayout"));
    ASSERT_TRUE(reg && unreg);
    zyrLayoutFactory* factory = zyrLayoutFactory::instance();
    EXPECT_EQ(reg(factory), 1);
    zyrBCLayout* layout = factory->findLayout("LettrixContainer");
    EXPECT_NE(layout, nullptr);
    EXPECT_EQ(reg(factory), 1);
    EXPECT_EQ(unreg(factory), 1);
    EXPECT_EQ(factory->findLayout("LettrixContainer"), layout);
    EXPECT_EQ(unreg(factory), 1);
    EXPECT_EQ(factory->findLayout("LettrixContainer"), nullptr);
    EXPECT_EQ(unreg(factory), 1);

    // The int changes nothing, and a named host keeps its name.
    QWidget named;
    named.setObjectName("Mine");
    layout->setupUi(7, &named);
    EXPECT_EQ(named.objectName(), "Mine");
    EXPECT_EQ(named.size(), QSize(241, 320));
    EXPECT_EQ(named.findChildren<zyrKeyButton*>().size(), 122);
    EXPECT_EQ(named.findChild<zyrKeyButton*>("Num4")->text(), "4");
    named.setWindowTitle("old");
    layout->retranslateUi(3, &named);
    EXPECT_TRUE(named.windowTitle().isEmpty());
    QWidget bare;
    layout->retranslateUi(0, &bare); // no form: nothing
    // Forms die before their module.
    for (QObject* child : named.children())
        delete child;
    ce::freeLibrary(module);
}

TEST_F(Lettrix, RowsSitAt53PixelStepsAndTheLaterRowLiesOnTop)
{
    auto container = loadedContainer();
    struct Row {
        const char* page;
        int row;
        const char* widget;
        const char* layout;
    };
    const Row rows[] = {
        { "Capitalization", 6, "layoutWidget", "horizontalLayout_24" },
        { "Capitalization", 2, "layoutWidget1", "horizontalLayout_20" },
        { "Capitalization", 5, "layoutWidget2", "horizontalLayout_23" },
        { "Capitalization", 3, "layoutWidget3", "horizontalLayout_21" },
        { "Capitalization", 4, "layoutWidget4", "horizontalLayout_22" },
        { "Capitalization", 1, "layoutWidget5", "horizontalLayout_19" },
        { "LowerCase", 1, "layoutWidget6", "horizontalLayout" },
        { "LowerCase", 2, "layoutWidget7", "horizontalLayout_2" },
        { "LowerCase", 3, "layoutWidget8", "horizontalLayout_3" },
        { "LowerCase", 4, "layoutWidget9", "horizontalLayout_4" },
        { "LowerCase", 5, "layoutWidget10", "horizontalLayout_5" },
        { "LowerCase", 6, "layoutWidget11", "horizontalLayout_6" },
        { "Numeric", 1, "layoutWidget12", "horizontalLayout_7" },
        { "Numeric", 2, "layoutWidget13", "horizontalLayout_8" },
        { "Numeric", 3, "layoutWidget14", "horizontalLayout_9" },
        { "Numeric", 4, "layoutWidget15", "horizontalLayout_10" },
        { "Numeric", 5, "layoutWidget16", "horizontalLayout_11" },
        { "Numeric", 6, "layoutWidget17", "horizontalLayout_12" },
        { "Symbol", 1, "layoutWidget18", "horizontalLayout_13" },
        { "Symbol", 2, "layoutWidget19", "horizontalLayout_14" },
        { "Symbol", 3, "layoutWidget20", "horizontalLayout_15" },
        { "Symbol", 4, "layoutWidget21", "horizontalLayout_16" },
        { "Symbol", 5, "layoutWidget22", "horizontalLayout_17" },
        { "Symbol", 6, "layoutWidget23", "horizontalLayout_18" },
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.widget);
        QWidget* page = container->keyboard()->findChild<QWidget*>(r.page);
        ASSERT_TRUE(page);
        auto* row = page->findChild<QWidget*>(r.widget, Qt::FindDirectChildrenOnly);
        ASSERT_TRUE(row);
        const bool numericBottom = QString(r.widget) == "layoutWidget17";
        EXPECT_EQ(row->geometry(), QRect(0, 53 * (r.row - 1), 241, numericBottom ? 55 : 60));
        auto* layout = qobject_cast<QHBoxLayout*>(row->layout());
        ASSERT_TRUE(layout);
        EXPECT_EQ(layout->objectName(), r.layout);
        EXPECT_EQ(layout->spacing(), 0);
        EXPECT_EQ(layout->contentsMargins(), QMargins(0, 0, 0, numericBottom ? 0 : 6));
        const bool sixKeys = layout->count() == 6;
        for (int i = 0; i < layout->count(); ++i)
            EXPECT_EQ(layout->stretch(i), sixKeys ? 1 : 0);
    }
    // Creation order decides what lies on top: the capitals' row 1 was made last.
    QWidget* capitals = container->keyboard()->findChild<QWidget*>("Capitalization");
    EXPECT_EQ(capitals->children().last()->objectName(), "layoutWidget5");
}

// Every key as the form must build it.
struct KeyRow {
    const char* page;
    int row;
    int place;
    const char* name;
    int type;
    int code;
    int second;
    const char* target;
    const char* font; // "" default, "18b", "16", "16b", "18"
    const char* normal;
    const char* pressed;
    const char* label;
};

std::vector<KeyRow> keyTable()
{
    const char* common = ":/keyboard/keyboard_a/b_key_ABC.png";
    const char* commonP = ":/keyboard/keyboard_a/b_key_ABC_p.png";
    const int unknown = Qt::Key_unknown;
    std::vector<KeyRow> table;
    // Character keys: "name=label", one string per row.
    struct Grid {
        const char* page;
        std::vector<const char*> rows;
    };
    const Grid grids[] = {
        { "Capitalization", { "A=A B=B C=C D=D E=E", "F=F G=G H=H I=I J=J", "K=K L=L M=M N=N O=O", "P=P Q=Q R=R S=S T=T",
                                "U=U V=V W=W X=X Y=Y", "Z=Z" } },
        { "LowerCase", { "a=a b=b c=c d=d e=e", "f=f g=g h=h i=i j=j", "k=k l=l m=m n=n o=o", "p=p q=q r=r s=s t=t",
                           "u=u v=v w=w x=x y=y", "z=z" } },
        { "Numeric", { "Num1=1 Num2=2 Num3=3 Num4=4 Num5=5", "Num6=6 Num7=7 Num8=8 Num9=9 Num0=0",
                         "Tilde=~ Exclamation_P=! At=@ PoundSign=# DollarSign=$",
                         "Percent=% Caret=^ Ampersand=& Asterisk=* Apostrophe=`",
                         "OpenParenthesis=( CloseParenthesis=) OpenBracket=[ CloseBracket=] VerticalBar=|" } },
        { "Symbol", { "OpenBrace={ CloseBrace=} Colon=: Quote=\" SingleQuote='", "Less=< Greater=> Semicolon=; Slash=/ BackSlash=\\",
                        "Underscore=_ Hyphen=- Plus=+ Equals== QuestionMark=?",
                        "Comma=, Period=. CNY=\u00a5 GBP=\u00a3 EUR=\u20ac",
                        "OpenParenthesis_2=( CloseParenthesis_2=) OpenBracket_2=[ CloseBracket_2=] VerticalBar_2=|" } },
    };
    static std::vector<QByteArray> keep; // the table points into these
    for (const Grid& g : grids) {
        for (size_t r = 0; r < g.rows.size(); ++r) {
            const QList<QByteArray> cells = QByteArray(g.rows[r]).split(' ');
            for (int p = 0; p < cells.size(); ++p) {
                const int eq = cells[p].indexOf('=');
                keep.push_back(cells[p].left(eq));
                const char* name = keep.back().constData();
                keep.push_back(cells[p].mid(eq + 1));
                table.push_back({ g.page, int(r) + 1, p, name, 0, unknown, unknown, "", "18b", common, commonP,
                    keep.back().constData() });
            }
        }
    }
    const char* abc = ":/keyboard/keyboard_ABC/b_key_ABC_";
    const char* a = ":/keyboard/keyboard_a/b_key_a_";
    static std::vector<std::string> paths;
    auto bmp = [](const char* prefix, const char* rest) {
        paths.push_back(std::string(prefix) + rest);
        return paths.back().c_str();
    };
    paths.reserve(64);
    const int Bs = Qt::Key_Backspace, Del = Qt::Key_Delete, Sp = Qt::Key_Space, Ret = Qt::Key_Return,
              Esc = Qt::Key_Escape, F1 = Qt::Key_F1;
    const std::vector<KeyRow> special = {
        { "Capitalization", 6, 1, "LowerCase_Button", 2, unknown, unknown, "LowerCase", "18", bmp(abc, "a.png"), bmp(abc, "a_p.png"), "" },
        { "Capitalization", 6, 2, "Backspace_4", 1, Bs, Del, "", "16", bmp(abc, "delete.png"), bmp(abc, "delete_p.png"), "" },
        { "Capitalization", 6, 3, "Space_4", 1, Sp, Ret, "", "16", bmp(abc, "space.png"), bmp(abc, "space_p.png"), "" },
        { "Capitalization", 6, 4, "Numeric_Button_3", 2, unknown, unknown, "Numeric", "18b", common, commonP, "123" },
        { "Capitalization", 6, 5, "btnBack_4", 1, Esc, unknown, "", "", bmp(abc, "v_w.png"), bmp(abc, "v_p.png"), "" },
        { "LowerCase", 6, 1, "Capitalization_Button", 2, unknown, unknown, "Capitalization", "16", ":/keyboard/b_key_a_A.png",
            ":/keyboard/b_key_a_A_p.png", "" },
        { "LowerCase", 6, 2, "Backspace", 1, Bs, Del, "", "16", bmp(abc, "delete.png"), bmp(abc, "delete_p.png"), "" },
        { "LowerCase", 6, 3, "Space", 1, Sp, Ret, "", "16", bmp(abc, "space.png"), bmp(abc, "space_p.png"), "" },
        { "LowerCase", 6, 4, "Numeric_Button", 2, F1, unknown, "Numeric", "18b", common, commonP, "123" },
        { "LowerCase", 6, 5, "btnBack", 1, Esc, unknown, "", "", bmp(abc, "v_w.png"), bmp(abc, "v_p.png"), "" },
        { "Numeric", 6, 0, "Symbol_Button", 2, unknown, unknown, "Symbol", "16", bmp(a, "symbol.png"), bmp(a, "symbol_p.png"), "" },
        { "Numeric", 6, 1, "Backspace_2", 1, Bs, Del, "", "16", bmp(a, "delete.png"), bmp(a, "delete_p.png"), "" },
        { "Numeric", 6, 2, "Space_2", 1, Sp, Ret, "", "16", bmp(a, "space.png"), bmp(a, "space_p.png"), "" },
        { "Numeric", 6, 3, "EN_Button", 2, F1, unknown, "LowerCase", "16b", common, commonP, "ABC" },
        { "Numeric", 6, 4, "btnBack_2", 1, Esc, unknown, "", "", bmp(a, "v_w.png"), bmp(a, "v_p.png"), "" },
        { "Symbol", 6, 0, "Numeric_Button_2", 2, unknown, unknown, "Numeric", "18b", common, commonP, "123" },
        { "Symbol", 6, 1, "Backspace_3", 1, Bs, Del, "", "16", bmp(a, "delete.png"), bmp(a, "delete_p.png"), "" },
        { "Symbol", 6, 2, "Space_3", 1, Sp, Ret, "", "16", bmp(a, "space.png"), bmp(a, "space_p.png"), "" },
        { "Symbol", 6, 3, "EN_Button_2", 2, unknown, unknown, "Capitalization", "16b", common, commonP, "ABC" },
        { "Symbol", 6, 4, "btnBack_3", 1, Esc, unknown, "", "", bmp(a, "v_w.png"), bmp(a, "v_p.png"), "" },
    };
    table.insert(table.end(), special.begin(), special.end());
    return table;
}

QString fontName(const QFont& font)
{
    if (font == QFont())
        return "";
    EXPECT_EQ(font.family(), "Arial");
    return QString::number(font.pointSize()) + (font.bold() ? "b" : "");
}

bool sameImage(const QPixmap& a, const char* path)
{
    const QPixmap b(QString::fromUtf8(path));
    return !b.isNull() && a.toImage() == b.toImage();
}

TEST_F(Lettrix, EveryKeyAsTheTableHasIt)
{
    auto container = loadedContainer();
    const std::vector<KeyRow> table = keyTable();
    ASSERT_EQ(table.size(), 122u);
    for (const KeyRow& k : table) {
        SCOPED_TRACE(k.name);
        auto* key = container->keyboard()->findChild<zyrKeyButton*>(k.name);
        ASSERT_TRUE(key);
        QWidget* row = key->parentWidget();
        EXPECT_EQ(row->parentWidget()->objectName(), k.page);
        EXPECT_EQ(row->geometry().y() / 53 + 1, k.row);
        EXPECT_EQ(row->layout()->indexOf(key), k.place);
        EXPECT_EQ(int(key->buttonType()), k.type);
        EXPECT_EQ(int(key->keyCode()), k.code);
        EXPECT_EQ(int(key->secondKeyCode()), k.second);
        EXPECT_EQ(key->keys(), QString::fromUtf8(k.target));
        EXPECT_EQ(fontName(key->font()), k.font);
        EXPECT_TRUE(sameImage(key->normalBmp(), k.normal));
        EXPECT_TRUE(sameImage(key->focusedBmp(), k.normal));
        EXPECT_TRUE(sameImage(key->toggledBmp(), k.normal));
        EXPECT_TRUE(sameImage(key->pressedBmp(), k.pressed));
        EXPECT_EQ(key->text(), QString::fromUtf8(k.label));
        // Only character keys type: their label, in both cases.
        const QString typed = k.type == 0 ? QString::fromUtf8(k.label) : QString();
        EXPECT_EQ(key->keyStringUpper(), typed);
        EXPECT_EQ(key->keyStringLower(), typed);
        EXPECT_EQ(key->property("transBaseUpper").toString(), typed);
        EXPECT_EQ(key->property("transBaseLower").toString(), typed);
        EXPECT_EQ(key->roundRadius(), 5);
        EXPECT_EQ(key->hasExtChar(), QString(k.name) == "a");
    }
}

TEST_F(Lettrix, EnablingByCodeAndPagesThroughTheContainer)
{
    auto container = loadedContainer();
    zyrMultiPageKeyboard* keyboard = container->keyboard();
    container->enableOneKey(Qt::Key_Escape, false);
    for (const char* name : { "btnBack", "btnBack_2", "btnBack_3", "btnBack_4" })
        EXPECT_FALSE(keyboard->findChild<zyrKeyButton*>(name)->isEnabled()) << name;
    EXPECT_EQ(keyboard->count(), 4);
    container->enableAllKeys(false);
    EXPECT_EQ(keyboard->count(), 0);
    container->enableAllKeys(true);
    EXPECT_EQ(keyboard->count(), 4);
    container->showPage("Symbol", false);
    EXPECT_EQ(stackOf(keyboard), QStringList({ "Capitalization", "LowerCase", "Numeric" }));
}

TEST_F(Lettrix, ATranslationRelabelsByItsContextOnly)
{
    kbdtest::FastHolds fast;
    auto container = loadedContainer();
    auto other = loadedContainer();
    zyrMultiPageKeyboard* keyboard = container->keyboard();
    auto key = [&](const char* name) { return keyboard->findChild<zyrKeyButton*>(name); };
    container->loadKeyboard("Lettrix.dll", LETTRIX_FIXTURE_QM);

    EXPECT_EQ(key("OpenParenthesis")->text(), "<");
    EXPECT_EQ(key("OpenParenthesis_2")->text(), "<");
    EXPECT_EQ(key("OpenParenthesis_2")->keyStringLower(), "<");
    EXPECT_EQ(other->keyboard()->findChild<zyrKeyButton*>("OpenParenthesis")->text(), "(");
    EXPECT_EQ(key("b")->text(), "b"); // another context
    EXPECT_EQ(key("Numeric_Button")->keys(), "Digits");

    container->show();
    keyboard->setCurrentIndex(1);
    QTest::mouseClick(key("Numeric_Button"), Qt::LeftButton); // names no page
    EXPECT_EQ(keyboard->currentWidget()->objectName(), "LowerCase");

    // "a" with two more characters: a hold offers all three.
    EXPECT_EQ(key("a")->text(), "a");
    kbdtest::holdKey(key("a"), [] { });
    auto* popup = container->findChild<zyrKeyExtWidget*>();
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->findChildren<zyrKeyButton*>().size(), 3);

    // Without the translator the sources come back.
    container->loadKeyboard("Lettrix.dll", QString());
    auto* layout = zyrLayoutFactory::createLayout("LettrixContainer");
    layout->retranslateUi(0, keyboard->parentWidget()->parentWidget());
    EXPECT_EQ(key("OpenParenthesis")->text(), "(");
    EXPECT_EQ(key("a")->keyStringLower(), "a");
    EXPECT_EQ(key("Numeric_Button")->keys(), "Numeric");
}

TEST_F(Lettrix, TwoContainersHaveTheirOwnFormsAndTheModuleGoesWithTheLast)
{
    auto first = loadedContainer();
    auto second = loadedContainer();
    QWidget* proxyA = first->keyboard()->parentWidget();
    QWidget* proxyB = second->keyboard()->parentWidget();
    EXPECT_NE(proxyA, proxyB);
    first->keyboard()->findChild<zyrKeyButton*>("Q")->setText("changed");
    zyrLayoutFactory::createLayout("LettrixContainer")->retranslateUi(0, proxyB->parentWidget());
    EXPECT_EQ(first->keyboard()->findChild<zyrKeyButton*>("Q")->text(), "changed");
    first.reset();
    EXPECT_TRUE(lettrixMapped());
    EXPECT_EQ(second->keyboard()->findChild<zyrKeyButton*>("Q")->text(), "Q");
    second.reset();
    EXPECT_FALSE(lettrixMapped());
}

} // namespace
