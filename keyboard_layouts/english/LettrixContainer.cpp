#include "keyboard_layouts/english/LettrixContainer.h"

#include "controls/keyboard/zyrKeyButton.h"
#include "controls/keyboard/zyrMultiPageKeyboard.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QMetaObject>
#include <QVariant>

#include <vector>

namespace {

const char* const kContext = "Lettrix_ClassContainer";
const char* const kCommonBmp = ":/keyboard/keyboard_a/b_key_ABC.png";
const char* const kCommonPressedBmp = ":/keyboard/keyboard_a/b_key_ABC_p.png";

enum class Font { Default, Bold18, Plain16, Bold16, Plain18 };

struct KeyDef {
    const char* name;
    zyrKeyButton::ButtonType type;
    const char* text; // source of the label (and, for Regular keys, of everything typed)
    const char* target; // page a Paging key switches to
    Qt::Key code; // set only on the bottom rows' special keys
    Qt::Key second;
    Font font;
    const char* normal;
    const char* pressed;
    bool setCode;
};

KeyDef regular(const char* name, const char* text)
{
    return { name, zyrKeyButton::Regular, text, nullptr, Qt::Key_unknown, Qt::Key_unknown, Font::Bold18, kCommonBmp,
        kCommonPressedBmp, false };
}

KeyDef paging(const char* name, const char* text, const char* target, Qt::Key code, Font font, const char* normal,
    const char* pressed)
{
    return { name, zyrKeyButton::Paging, text, target, code, Qt::Key_unknown, font, normal, pressed, true };
}

KeyDef control(const char* name, Qt::Key code, Qt::Key second, Font font, const char* normal, const char* pressed)
{
    return { name, zyrKeyButton::Control, nullptr, nullptr, code, second, font, normal, pressed, true };
}

KeyDef backspace(const char* name, const char* folder)
{
    const bool abc = QByteArray(folder) == "ABC";
    return control(name, Qt::Key_Backspace, Qt::Key_Delete, Font::Plain16,
        abc ? ":/keyboard/keyboard_ABC/b_key_ABC_delete.png" : ":/keyboard/keyboard_a/b_key_a_delete.png",
        abc ? ":/keyboard/keyboard_ABC/b_key_ABC_delete_p.png" : ":/keyboard/keyboard_a/b_key_a_delete_p.png");
}

KeyDef space(const char* name, const char* folder)
{
    const bool abc = QByteArray(folder) == "ABC";
    return control(name, Qt::Key_Space, Qt::Key_Return, Font::Plain16,
        abc ? ":/keyboard/keyboard_ABC/b_key_ABC_space.png" : ":/keyboard/keyboard_a/b_key_a_space.png",
        abc ? ":/keyboard/keyboard_ABC/b_key_ABC_space_p.png" : ":/keyboard/keyboard_a/b_key_a_space_p.png");
}

KeyDef back(const char* name, const char* folder)
{
    const bool abc = QByteArray(folder) == "ABC";
    return control(name, Qt::Key_Escape, Qt::Key_unknown, Font::Default,
        abc ? ":/keyboard/keyboard_ABC/b_key_ABC_v_w.png" : ":/keyboard/keyboard_a/b_key_a_v_w.png",
        abc ? ":/keyboard/keyboard_ABC/b_key_ABC_v_p.png" : ":/keyboard/keyboard_a/b_key_a_v_p.png");
}

struct RowDef {
    int page; // 0 "Capitalization" .. 3 "Symbol"
    int row; // 1 at the top
    const char* widget;
    const char* layout;
    std::vector<KeyDef> keys;
};

const char* const kPages[] = { "Capitalization", "LowerCase", "Numeric", "Symbol" };

std::vector<KeyDef> letters(const char* names)
{
    std::vector<KeyDef> keys;
    static const char* const kLetters[] = { "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N",
        "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z", "a", "b", "c", "d", "e", "f", "g", "h", "i",
        "j", "k", "l", "m", "n", "o", "p", "q", "r", "s", "t", "u", "v", "w", "x", "y", "z" };
    for (const char* c = names; *c; ++c) {
        const int index = (*c >= 'a') ? 26 + (*c - 'a') : (*c - 'A');
        keys.push_back(regular(kLetters[index], kLetters[index]));
    }
    return keys;
}

std::vector<KeyDef> withBottom(std::vector<KeyDef> keys, std::vector<KeyDef> more)
{
    keys.insert(keys.end(), more.begin(), more.end());
    return keys;
}

// Rows in the order the form creates them ("layoutWidget" ..
// "layoutWidget23"); the capitals' rows are made bottom row first.
const std::vector<RowDef>& formRows()
{
    static const std::vector<RowDef> rows = {
        { 0, 6, "layoutWidget", "horizontalLayout_24",
            withBottom(letters("Z"),
                { paging("LowerCase_Button", nullptr, "LowerCase", Qt::Key_unknown, Font::Plain18,
                      ":/keyboard/keyboard_ABC/b_key_ABC_a.png", ":/keyboard/keyboard_ABC/b_key_ABC_a_p.png"),
                    backspace("Backspace_4", "ABC"), space("Space_4", "ABC"),
                    paging("Numeric_Button_3", "123", "Numeric", Qt::Key_unknown, Font::Bold18, kCommonBmp,
                        kCommonPressedBmp),
                    back("btnBack_4", "ABC") }) },
        { 0, 2, "layoutWidget1", "horizontalLayout_20", letters("FGHIJ") },
        { 0, 5, "layoutWidget2", "horizontalLayout_23", letters("UVWXY") },
        { 0, 3, "layoutWidget3", "horizontalLayout_21", letters("KLMNO") },
        { 0, 4, "layoutWidget4", "horizontalLayout_22", letters("PQRST") },
        { 0, 1, "layoutWidget5", "horizontalLayout_19", letters("ABCDE") },

        { 1, 1, "layoutWidget6", "horizontalLayout", letters("abcde") },
        { 1, 2, "layoutWidget7", "horizontalLayout_2", letters("fghij") },
        { 1, 3, "layoutWidget8", "horizontalLayout_3", letters("klmno") },
        { 1, 4, "layoutWidget9", "horizontalLayout_4", letters("pqrst") },
        { 1, 5, "layoutWidget10", "horizontalLayout_5", letters("uvwxy") },
        { 1, 6, "layoutWidget11", "horizontalLayout_6",
            withBottom(letters("z"),
                { paging("Capitalization_Button", nullptr, "Capitalization", Qt::Key_unknown, Font::Plain16,
                      ":/keyboard/b_key_a_A.png", ":/keyboard/b_key_a_A_p.png"),
                    backspace("Backspace", "ABC"), space("Space", "ABC"),
                    paging("Numeric_Button", "123", "Numeric", Qt::Key_F1, Font::Bold18, kCommonBmp, kCommonPressedBmp),
                    back("btnBack", "ABC") }) },

        { 2, 1, "layoutWidget12", "horizontalLayout_7",
            { regular("Num1", "1"), regular("Num2", "2"), regular("Num3", "3"), regular("Num4", "4"),
                regular("Num5", "5") } },
        { 2, 2, "layoutWidget13", "horizontalLayout_8",
            { regular("Num6", "6"), regular("Num7", "7"), regular("Num8", "8"), regular("Num9", "9"),
                regular("Num0", "0") } },
        { 2, 3, "layoutWidget14", "horizontalLayout_9",
            { regular("Tilde", "~"), regular("Exclamation_P", "!"), regular("At", "@"), regular("PoundSign", "#"),
                regular("DollarSign", "$") } },
        // Apostrophe types the grave accent; the apostrophe is SingleQuote.
        { 2, 4, "layoutWidget15", "horizontalLayout_10",
            { regular("Percent", "%"), regular("Caret", "^"), regular("Ampersand", "&"), regular("Asterisk", "*"),
                regular("Apostrophe", "`") } },
        { 2, 5, "layoutWidget16", "horizontalLayout_11",
            { regular("OpenParenthesis", "("), regular("CloseParenthesis", ")"), regular("OpenBracket", "["),
                regular("CloseBracket", "]"), regular("VerticalBar", "|") } },
        { 2, 6, "layoutWidget17", "horizontalLayout_12",
            { paging("Symbol_Button", nullptr, "Symbol", Qt::Key_unknown, Font::Plain16,
                  ":/keyboard/keyboard_a/b_key_a_symbol.png", ":/keyboard/keyboard_a/b_key_a_symbol_p.png"),
                backspace("Backspace_2", "a"), space("Space_2", "a"),
                paging("EN_Button", "ABC", "LowerCase", Qt::Key_F1, Font::Bold16, kCommonBmp, kCommonPressedBmp),
                back("btnBack_2", "a") } },

        { 3, 1, "layoutWidget18", "horizontalLayout_13",
            { regular("OpenBrace", "{"), regular("CloseBrace", "}"), regular("Colon", ":"), regular("Quote", "\""),
                regular("SingleQuote", "'") } },
        { 3, 2, "layoutWidget19", "horizontalLayout_14",
            { regular("Less", "<"), regular("Greater", ">"), regular("Semicolon", ";"), regular("Slash", "/"),
                regular("BackSlash", "\\") } },
        { 3, 3, "layoutWidget20", "horizontalLayout_15",
            { regular("Underscore", "_"), regular("Hyphen", "-"), regular("Plus", "+"), regular("Equals", "="),
                regular("QuestionMark", "?") } },
        { 3, 4, "layoutWidget21", "horizontalLayout_16",
            { regular("Comma", ","), regular("Period", "."), regular("CNY", "\xC2\xA5"), regular("GBP", "\xC2\xA3"),
                regular("EUR", "\xE2\x82\xAC") } },
        { 3, 5, "layoutWidget22", "horizontalLayout_17",
            { regular("OpenParenthesis_2", "("), regular("CloseParenthesis_2", ")"), regular("OpenBracket_2", "["),
                regular("CloseBracket_2", "]"), regular("VerticalBar_2", "|") } },
        // The symbols' "ABC" leads to the capitals, the digits' to small letters.
        { 3, 6, "layoutWidget23", "horizontalLayout_18",
            { paging("Numeric_Button_2", "123", "Numeric", Qt::Key_unknown, Font::Bold18, kCommonBmp,
                  kCommonPressedBmp),
                backspace("Backspace_3", "a"), space("Space_3", "a"),
                paging("EN_Button_2", "ABC", "Capitalization", Qt::Key_unknown, Font::Bold16, kCommonBmp,
                    kCommonPressedBmp),
                back("btnBack_3", "a") } },
    };
    return rows;
}

// No QStringLiteral in this module: the font cache keeps family names past
// the plug-in's unloading, and a literal's text lives in the module.
QFont fontFor(Font kind)
{
    QFont font;
    font.setFamily(QString::fromLatin1("Arial"));
    switch (kind) {
    case Font::Bold18:
        font.setPointSize(18);
        font.setBold(true);
        font.setWeight(75);
        break;
    case Font::Plain16:
        font.setPointSize(16);
        break;
    case Font::Bold16:
        font.setPointSize(16);
        font.setBold(true);
        font.setWeight(75);
        break;
    case Font::Plain18:
        font.setPointSize(18);
        break;
    case Font::Default:
        break;
    }
    return font;
}

bool isBackKey(const KeyDef& key)
{
    return key.type == zyrKeyButton::Control && key.code == Qt::Key_Escape;
}

// One lookup per attribute; an empty source is an empty text, not looked up.
QString tr(const char* source)
{
    return source ? QCoreApplication::translate(kContext, source) : QString();
}

} // namespace

LettrixContainer::~LettrixContainer() = default;

LettrixContainerProxy::LettrixContainerProxy(QWidget* host)
    : QWidget(host)
{
}

LettrixContainerProxy::~LettrixContainerProxy() = default;

void LettrixContainer::setupUi(int value, QWidget* host)
{
    auto* proxy = new LettrixContainerProxy(host);
    proxy->setObjectName(QString::fromLatin1("LettrixContainer_proxy"));
    if (host->objectName().isEmpty())
        host->setObjectName(QString::fromLatin1("LettrixContainer"));
    host->resize(241, 320);

    auto* keyboard = new zyrMultiPageKeyboard(proxy);
    proxy->keyboard = keyboard;
    proxy->created.append(keyboard);
    keyboard->setObjectName(QString::fromLatin1("Falmo_Keyboard"));
    keyboard->setGeometry(QRect(0, 0, 241, 320));
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHorizontalStretch(0);
    policy.setVerticalStretch(1);
    policy.setHeightForWidth(keyboard->sizePolicy().hasHeightForWidth());
    keyboard->setSizePolicy(policy);
    keyboard->setMinimumSize(QSize(0, 241));
    keyboard->setCurrentIndex(0);

    const std::vector<RowDef>& rows = formRows();
    for (int pageIndex = 0; pageIndex < 4; ++pageIndex) {
        auto* page = new QWidget(keyboard);
        page->setObjectName(QLatin1String(kPages[pageIndex]));
        proxy->pages.append(page);
        proxy->created.append(page);

        for (const RowDef& def : rows) {
            if (def.page != pageIndex)
                continue;
            // The digits' bottom row is shorter and has no bottom margin.
            const bool numericBottom = def.page == 2 && def.row == 6;
            auto* row = new QWidget(page);
            row->setObjectName(QLatin1String(def.widget));
            row->setGeometry(QRect(0, 53 * (def.row - 1), 241, numericBottom ? 55 : 60));
            proxy->rows.append(row);
            proxy->created.append(row);

            auto* layout = new QHBoxLayout(row);
            layout->setSpacing(0);
            layout->setObjectName(QLatin1String(def.layout));
            layout->setContentsMargins(0, 0, 0, numericBottom ? 0 : 6);
            proxy->rowLayouts.append(layout);
            proxy->created.append(layout);

            for (const KeyDef& k : def.keys) {
                auto* key = new zyrKeyButton(row);
                key->setObjectName(QLatin1String(k.name));
                if (!isBackKey(k))
                    key->setFont(fontFor(k.font));
                key->setButtonType(k.type);
                const QPixmap normal(QString::fromLatin1(k.normal));
                key->setNormalBmp(normal);
                key->setFocusedBmp(normal);
                key->setPressedBmp(QPixmap(QString::fromLatin1(k.pressed)));
                key->setToggledBmp(normal);
                if (k.setCode)
                    key->setKeyCode(k.code);
                if (k.second != Qt::Key_unknown)
                    key->setSecondKeyCode(k.second);
                if (def.page == 0 && def.row == 1)
                    key->setRoundRadius(5);
                if (qstrcmp(k.name, "a") == 0)
                    key->setHasExtChar(true);
                layout->addWidget(key);
                proxy->keys.append(key);
                proxy->created.append(key);
            }
            if (def.keys.size() == 6 && def.page <= 1)
                for (int i = 0; i < 6; ++i)
                    layout->setStretch(i, 1);
        }
        keyboard->addPage(page);
    }

    QMetaObject::connectSlotsByName(host);
    proxy->setGeometry(host->rect());
    retranslateUi(value, host);
}

void LettrixContainer::retranslateUi(int, QWidget* host)
{
    auto* proxy = host ? dynamic_cast<LettrixContainerProxy*>(
                      host->findChild<QWidget*>(QString::fromLatin1("LettrixContainer_proxy")))
                       : nullptr;
    if (!proxy)
        return;
    host->setProperty("windowTitle", QVariant(QString()));

    int index = 0;
    for (const RowDef& def : formRows()) {
        for (const KeyDef& k : def.keys) {
            zyrKeyButton* key = proxy->keys.value(index++);
            if (!key || isBackKey(k))
                continue;
            // Regular keys type their label; Control and Paging keys type nothing.
            const bool regularKey = k.type == zyrKeyButton::Regular;
            key->setText(tr(k.text));
            key->setKeyStringUpper(regularKey ? tr(k.text) : QString());
            key->setKeyStringLower(regularKey ? tr(k.text) : QString());
            key->setProperty("transBaseUpper", QVariant(regularKey ? tr(k.text) : QString()));
            key->setProperty("transBaseLower", QVariant(regularKey ? tr(k.text) : QString()));
            if (k.type == zyrKeyButton::Paging)
                key->setKeys(tr(k.target));
        }
    }
}
