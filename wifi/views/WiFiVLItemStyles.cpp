#include "wifi/views/WiFiVLItemStyles.h"

#include "controls/core/ZyrCheckButton.h"
#include "controls/core/phxIcon.h"
#include "controls/core/phxPushButton.h"
#include "wifi/views/forms/form_helpers.h"
#include "wifi/views/screen_styles.h"
#include "wifi/views/view_timing.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QLabel>

using kivowifi::forms::pictureLabel;
using kivowifi::forms::place;

// ---- Forms ----

class WiFiVLItemInfoStyle480x272Class {
public:
    phxPushButton* bgBtn;
    QLabel* lineLb0;
    QLabel* fstLB;
    QLabel* sndLB;
    void setupUi(QWidget* form)
    {
        form->setObjectName(QStringLiteral("WiFiVLItemInfoStyle480x272Class"));
        form->resize(425, 60);
        bgBtn = place<phxPushButton>(form, "bgBtn", QRect(0, 0, 425, 60));
        lineLb0 = pictureLabel(form, "lineLb0", QRect(0, 59, 425, 1), ":/Line/separator2.mif");
        fstLB = place<QLabel>(form, "fstLB", QRect(10, 0, 202, 60));
        sndLB = place<QLabel>(form, "sndLB", QRect(213, 0, 202, 60));
        fstLB->setText(QCoreApplication::translate("WiFiVLItemInfoStyle480x272Class", "TextLabel"));
        sndLB->setText(QCoreApplication::translate("WiFiVLItemInfoStyle480x272Class", "TextLabel"));
    }
};

class WiFiVLItemInfoStyle800x480Class {
public:
    phxPushButton* bgBtn;
    QLabel* lineLb0;
    QLabel* sndLB;
    QLabel* fstLB;
    void setupUi(QWidget* form)
    {
        form->setObjectName(QStringLiteral("WiFiVLItemInfoStyle800x480Class"));
        form->resize(716, 70);
        bgBtn = place<phxPushButton>(form, "bgBtn", QRect(0, 0, 716, 70));
        bgBtn->setFocused(QPixmap(QStringLiteral(":/FocusBackground/settings_focus_bg.png")));
        lineLb0 = pictureLabel(form, "lineLb0", QRect(0, 68, 716, 2), ":/Line/separator2.mif");
        sndLB = place<QLabel>(form, "sndLB", QRect(358, 0, 348, 70));
        fstLB = place<QLabel>(form, "fstLB", QRect(10, 0, 348, 70));
        fstLB->setText(QCoreApplication::translate("WiFiVLItemInfoStyle800x480Class", "TextLabel"));
        sndLB->setText(QCoreApplication::translate("WiFiVLItemInfoStyle800x480Class", "TextLabel"));
    }
};

class WiFiVLItemJoinStyle480x272Class {
public:
    phxPushButton* bgBtn;
    QLabel* sndLB;
    phxIcon* Select_Icon;
    void setupUi(QWidget* form)
    {
        form->setObjectName(QStringLiteral("WiFiVLItemJoinStyle480x272Class"));
        form->resize(240, 47);
        bgBtn = place<phxPushButton>(form, "bgBtn", QRect(0, 0, 240, 47));
        bgBtn->setNormal(QPixmap(QStringLiteral(":/FocusBackground/b_list.png")));
        bgBtn->setFocused(QPixmap(QStringLiteral(":/FocusBackground/b_list_p.png")));
        sndLB = place<QLabel>(form, "sndLB", QRect(10, 0, 230, 47));
        Select_Icon = place<phxIcon>(form, "Select_Icon", QRect(200, 8, 30, 30));
        Select_Icon->setImage(QPixmap(QStringLiteral(":/Join_network/i_v.png")));
        sndLB->setText(QCoreApplication::translate("WiFiVLItemJoinStyle480x272Class", "TextLabel"));
    }
};

class WiFiVLItemJoinStyle800x480Class {
public:
    phxPushButton* bgBtn;
    QLabel* lineLb0;
    QLabel* sndLB;
    QLabel* fstLB;
    phxIcon* icon;
    void setupUi(QWidget* form)
    {
        form->setObjectName(QStringLiteral("WiFiVLItemJoinStyle800x480Class"));
        form->resize(716, 70);
        bgBtn = place<phxPushButton>(form, "bgBtn", QRect(0, 0, 716, 70));
        bgBtn->setFocused(QPixmap(QStringLiteral(":/FocusBackground/settings_focus_bg.png")));
        lineLb0 = pictureLabel(form, "lineLb0", QRect(0, 68, 716, 2), ":/Line/separator2.mif");
        sndLB = place<QLabel>(form, "sndLB", QRect(308, 0, 348, 70));
        fstLB = place<QLabel>(form, "fstLB", QRect(10, 0, 348, 70));
        icon = place<phxIcon>(form, "icon", QRect(660, 15, 40, 40));
        icon->setImage(QPixmap(QStringLiteral(":/Common/Icon/settings_subform_indicator_image.mif")));
        fstLB->setText(QCoreApplication::translate("WiFiVLItemJoinStyle800x480Class", "TextLabel"));
        sndLB->setText(QCoreApplication::translate("WiFiVLItemJoinStyle800x480Class", "TextLabel"));
    }
};

class WiFiVLItemListStyle480x272Class {
public:
    phxPushButton* bgBtn;
    QLabel* lineLb0;
    QLabel* fstLB;
    phxRadioButton* RadioBtn;
    void setupUi(QWidget* form)
    {
        form->setObjectName(QStringLiteral("WiFiVLItemListStyle480x272Class"));
        form->resize(425, 60);
        bgBtn = place<phxPushButton>(form, "bgBtn", QRect(0, 0, 425, 60));
        // No row image: the row lies on the list's own background, whose
        // colour the text colour follows by day and by night.
        bgBtn->setFlat(true);
        lineLb0 = pictureLabel(form, "lineLb0", QRect(0, 59, 425, 1), ":/Line/separator2.mif");
        fstLB = place<QLabel>(form, "fstLB", QRect(50, 0, 202, 60));
        QFont font;
        font.setFamily(QStringLiteral("Arial"));
        font.setPointSize(12);
        fstLB->setFont(font);
        RadioBtn = place<phxRadioButton>(form, "RadioBtn", QRect(0, 10, 32, 32));
        // The mark that shows the current value.
        RadioBtn->setCheckedImg(QPixmap(QStringLiteral(":/Button/radio_checked.png")));
        RadioBtn->setUncheckedImg(QPixmap(QStringLiteral(":/Button/radio_unchecked.png")));
        fstLB->setText(QCoreApplication::translate("WiFiVLItemListStyle480x272Class", "TextLabel"));
    }
};

class WiFiVLItemListStyle800x480Class {
public:
    phxPushButton* bgBtn;
    QLabel* lineLb0;
    QLabel* fstLB;
    phxRadioButton* RadioBtn;
    void setupUi(QWidget* form)
    {
        form->setObjectName(QStringLiteral("WiFiVLItemListStyle800x480Class"));
        form->resize(716, 70);
        bgBtn = place<phxPushButton>(form, "bgBtn", QRect(0, 0, 716, 70));
        // No row image: the row lies on the list's own background, whose
        // colour the text colour follows by day and by night.
        bgBtn->setFlat(true);
        bgBtn->setFocused(QPixmap(QStringLiteral(":/FocusBackground/settings_focus_bg.png")));
        lineLb0 = pictureLabel(form, "lineLb0", QRect(0, 68, 716, 2), ":/Line/separator2.mif");
        fstLB = place<QLabel>(form, "fstLB", QRect(60, 0, 348, 70));
        RadioBtn = place<phxRadioButton>(form, "RadioBtn", QRect(0, 15, 40, 40));
        // The mark that shows the current value.
        RadioBtn->setCheckedImg(QPixmap(QStringLiteral(":/Button/radio_checked.png")));
        RadioBtn->setUncheckedImg(QPixmap(QStringLiteral(":/Button/radio_unchecked.png")));
        fstLB->setText(QCoreApplication::translate("WiFiVLItemListStyle800x480Class", "TextLabel"));
    }
};

class WiFiVLItemMainStyle480x272Class {
public:
    phxPushButton* bgBtn;
    QLabel* conLB;
    QLabel* EnLB;
    QLabel* StrLB;
    QLabel* lineLb0;
    QLabel* SSIDLB;
    QLabel* Strength;
    void setupUi(QWidget* form)
    {
        form->setObjectName(QStringLiteral("WiFiVLItemMainStyle480x272Class"));
        form->resize(240, 47);
        bgBtn = place<phxPushButton>(form, "bgBtn", QRect(0, 0, 240, 47));
        bgBtn->setFocused(QPixmap(QStringLiteral(":/FocusBackground/b_list_p.png")));
        conLB = place<QLabel>(form, "conLB", QRect(0, 10, 28, 28));
        EnLB = place<QLabel>(form, "EnLB", QRect(180, 10, 36, 30));
        StrLB = place<QLabel>(form, "StrLB", QRect(204, 9, 36, 30));
        lineLb0 = pictureLabel(form, "lineLb0", QRect(0, 59, 240, 1), ":/Line/separator2.mif");
        SSIDLB = place<QLabel>(form, "SSIDLB", QRect(25, 10, 190, 30));
        Strength = place<QLabel>(form, "Strength", QRect(180, 10, 36, 30));
        SSIDLB->setText(QCoreApplication::translate("WiFiVLItemMainStyle480x272Class", "SSID : MmmMM"));
        Strength->setText(QCoreApplication::translate("WiFiVLItemMainStyle480x272Class", "TextLabel"));
    }
};

class WiFiVLItemMainStyle800x480Class {
public:
    phxPushButton* bgBtn;
    QLabel* SSIDLB;
    QLabel* conLB;
    QLabel* StrLB;
    QLabel* lineLb0;
    QLabel* EnLB;
    void setupUi(QWidget* form)
    {
        form->setObjectName(QStringLiteral("WiFiVLItemMainStyle800x480Class"));
        form->resize(716, 70);
        bgBtn = place<phxPushButton>(form, "bgBtn", QRect(0, 0, 716, 70));
        bgBtn->setFocused(QPixmap(QStringLiteral(":/FocusBackground/b_list_p.png")));
        SSIDLB = place<QLabel>(form, "SSIDLB", QRect(60, 0, 531, 70));
        conLB = place<QLabel>(form, "conLB", QRect(6, 16, 36, 36));
        StrLB = place<QLabel>(form, "StrLB", QRect(663, 16, 36, 36));
        lineLb0 = pictureLabel(form, "lineLb0", QRect(0, 68, 716, 2), ":/Line/separator2.mif");
        EnLB = place<QLabel>(form, "EnLB", QRect(624, 16, 36, 36));
        SSIDLB->setText(QCoreApplication::translate("WiFiVLItemMainStyle800x480Class", "SSID : MmmMM"));
    }
};

// ---- Styles ----

namespace {

bool bigForm(const QString& resolution)
{
    return resolution == QLatin1String("800x480");
}

} // namespace

QString rowTextStyleSheet(const QString& mode)
{
    return mode == QLatin1String("Day") ? QStringLiteral("color: rgb(0, 0, 0);")
                                        : QStringLiteral("color: rgb(255, 255, 255);");
}

WiFiVLItemInfoStyle::WiFiVLItemInfoStyle(const QString& resolution, QWidget* parent)
    : KivoWiFiBaseVLItem(parent)
{
    if (bigForm(resolution)) {
        m_form800 = new WiFiVLItemInfoStyle800x480Class;
        m_form800->setupUi(this);
        m_first = m_form800->fstLB;
        m_second = m_form800->sndLB;
        m_background = m_form800->bgBtn;
    } else {
        m_form = new WiFiVLItemInfoStyle480x272Class;
        m_form->setupUi(this);
        m_first = m_form->fstLB;
        m_second = m_form->sndLB;
        m_background = m_form->bgBtn;
    }
}

WiFiVLItemInfoStyle::~WiFiVLItemInfoStyle()
{
    delete m_form800;
    delete m_form;
}

void WiFiVLItemInfoStyle::setStyleSheets(const QString& mode)
{
    m_first->setStyleSheet(rowTextStyleSheet(mode));
    m_second->setStyleSheet(rowTextStyleSheet(mode));
}

void WiFiVLItemInfoStyle::fill(QStyle::State state, const QString& first, const QString& second)
{
    m_first->setText(first);
    m_second->setText(second);
    m_background->SetState(state);
}

WiFiVLItemJoinStyle::WiFiVLItemJoinStyle(const QString& resolution, QWidget* parent)
    : KivoWiFiBaseVLItem(parent)
{
    if (bigForm(resolution)) {
        m_form800 = new WiFiVLItemJoinStyle800x480Class;
        m_form800->setupUi(this);
        m_value = m_form800->sndLB;
        m_background = m_form800->bgBtn;
    } else {
        m_form = new WiFiVLItemJoinStyle480x272Class;
        m_form->setupUi(this);
        m_value = m_form->sndLB;
        m_background = m_form->bgBtn;
        m_selectIcon = m_form->Select_Icon;
    }
}

WiFiVLItemJoinStyle::~WiFiVLItemJoinStyle()
{
    delete m_form800;
    delete m_form;
}

void WiFiVLItemJoinStyle::setStyleSheets(const QString& mode)
{
    m_value->setStyleSheet(rowTextStyleSheet(mode));
}

void WiFiVLItemJoinStyle::fill(QStyle::State state, const QString&, const QString& value, bool selected)
{
    QString shown = value;
    if (value == QLatin1String("Open"))
        shown = QObject::tr("None");
    else if (value == QLatin1String("Auto switch"))
        shown = QObject::tr("WEP");
    else if (value == QLatin1String("WPAPSK(TKIP)"))
        shown = QObject::tr("WPA-PSK(TKIP)");
    else if (value == QLatin1String("WPAPSK(AES)"))
        shown = QObject::tr("WPA-PSK(AES)");
    else if (value == QLatin1String("WPA2 PSK(TKIP)"))
        shown = QObject::tr("WPA2-PSK(TKIP)");
    else if (value == QLatin1String("WPA2 PSK(AES)"))
        shown = QObject::tr("WPA2-PSK(AES)");
    m_value->setText(shown);
    // The large form has no selection mark.
    if (m_selectIcon)
        m_selectIcon->setVisible(selected);
    m_background->SetState(state);
}

WiFiVLItemListStyle::WiFiVLItemListStyle(const QString& resolution, QWidget* parent)
    : KivoWiFiBaseVLItem(parent)
{
    if (bigForm(resolution)) {
        m_form800 = new WiFiVLItemListStyle800x480Class;
        m_form800->setupUi(this);
        m_text = m_form800->fstLB;
        m_background = m_form800->bgBtn;
        m_radio = m_form800->RadioBtn;
    } else {
        m_form = new WiFiVLItemListStyle480x272Class;
        m_form->setupUi(this);
        m_text = m_form->fstLB;
        m_background = m_form->bgBtn;
        m_radio = m_form->RadioBtn;
    }
}

WiFiVLItemListStyle::~WiFiVLItemListStyle()
{
    delete m_form800;
    delete m_form;
}

void WiFiVLItemListStyle::setStyleSheets(const QString& mode)
{
    m_text->setStyleSheet(rowTextStyleSheet(mode));
}

void WiFiVLItemListStyle::fill(QStyle::State state, const QString& text, int mark)
{
    m_text->setText(text);
    m_radio->setChecked(mark == 1);
    m_background->SetState(state);
}

const char* const WiFiVLItemMainStyle::CONNECTING_ICON = ":/Icon/Connecting_icon.png";

namespace {

const char* const ROW_BACKGROUND = ":/FocusBackground/b_list.png";
// Enough for every network of a scan; past it the remembered names start over.
constexpr int SHOWN_NAMES_KEPT = 256;

} // namespace

WiFiVLItemMainStyle::WiFiVLItemMainStyle(const QString& resolution, QWidget* parent)
    : KivoWiFiBaseVLItem(parent)
    , m_animationTimer(this)
{
    if (bigForm(resolution)) {
        m_form800 = new WiFiVLItemMainStyle800x480Class;
        m_form800->setupUi(this);
        m_name = m_form800->SSIDLB;
        m_background = m_form800->bgBtn;
        m_stateIcon = m_form800->conLB;
        m_encryptionIcon = m_form800->EnLB;
        m_strengthIcon = m_form800->StrLB;
    } else {
        m_form = new WiFiVLItemMainStyle480x272Class;
        m_form->setupUi(this);
        m_name = m_form->SSIDLB;
        m_background = m_form->bgBtn;
        m_stateIcon = m_form->conLB;
        m_encryptionIcon = m_form->EnLB;
        m_strengthIcon = m_form->StrLB;
        m_strength = m_form->Strength;
    }
    m_normalBackground = QPixmap(QLatin1String(ROW_BACKGROUND));
    m_animationTimer.setInterval(kivowifi::screenInterval(CONNECTING_FRAME_MS));
    connect(&m_animationTimer, SIGNAL(timeout()), this, SLOT(ConnectingIcon()));
}

WiFiVLItemMainStyle::~WiFiVLItemMainStyle()
{
    m_animationTimer.stop();
    delete m_form800;
    delete m_form;
}

void WiFiVLItemMainStyle::setStyleSheets(const QString& mode)
{
    // The list sets the mode before every row it fills; setting the same
    // style sheet again would only repolish the label.
    if (mode == m_mode)
        return;
    m_mode = mode;
    m_name->setStyleSheet(rowTextStyleSheet(mode));
    // A new mode has its own skin registered under the same path.
    m_normalBackground = QPixmap(QLatin1String(ROW_BACKGROUND));
}

QString WiFiVLItemMainStyle::elided(const QFontMetrics& metrics, const QString& name, int width)
{
    if (metrics.horizontalAdvance(name) <= width)
        return name;
    const QString dots = QStringLiteral("...");
    for (int len = name.length() - 1; len > 0; --len) {
        const QString candidate = name.left(len) + dots;
        if (metrics.horizontalAdvance(candidate) < width)
            return candidate;
    }
    return dots;
}

QString WiFiVLItemMainStyle::shownName(const QString& name)
{
    const QFont& font = m_name->font();
    const int width = m_name->width();
    if (width != m_shownWidth || font != m_shownFont || m_shownNames.size() >= SHOWN_NAMES_KEPT) {
        m_shownNames.clear();
        m_shownWidth = width;
        m_shownFont = font;
    }
    auto known = m_shownNames.constFind(name);
    if (known != m_shownNames.constEnd())
        return *known;
    return *m_shownNames.insert(name, elided(m_name->fontMetrics(), name, width));
}

void WiFiVLItemMainStyle::fill(QStyle::State state, const QString& name, const QPixmap& stateIcon, const QPixmap&,
    const QPixmap& lockIcon, const QString& stateIconPath, const QString& strength)
{
    m_background->setNormal(m_normalBackground);
    m_name->setText(shownName(name));
    // The number is kept but never shown.
    if (m_strength) {
        m_strength->setText(strength);
        m_strength->hide();
    }
    if (m_connected)
        m_animationTimer.stop();
    if (stateIcon.isNull()) {
        m_stateIcon->hide();
    } else {
        if (stateIconPath == QLatin1String(CONNECTING_ICON)) {
            m_animationTimer.start();
        } else {
            m_animationTimer.stop();
            m_stateIcon->setPixmap(stateIcon);
        }
        m_stateIcon->show();
    }
    m_encryptionIcon->hide();
    if (lockIcon.isNull()) {
        m_strengthIcon->hide();
    } else {
        m_strengthIcon->setPixmap(lockIcon);
        m_strengthIcon->show();
    }
    m_background->SetState(state);
    m_state = state;
}

QString WiFiVLItemMainStyle::pictureKey() const
{
    QString key;
    key.reserve(160 + m_name->text().size());
    const auto add = [&key](qint64 value) {
        key += QString::number(value);
        key += QLatin1Char(':');
    };
    const auto addIcon
        = [&add](const QLabel* icon) { add(icon->isHidden() ? -1 : icon->pixmap(Qt::ReturnByValue).cacheKey()); };
    add(width());
    add(height());
    add(int(m_state));
    add(m_background->normalImage().cacheKey());
    add(m_background->focusedImage().cacheKey());
    add(m_background->pressedImage().cacheKey());
    add(m_background->isDown());
    add(m_background->hasFocus());
    add(m_background->isEnabled());
    addIcon(m_stateIcon);
    addIcon(m_encryptionIcon);
    addIcon(m_strengthIcon);
    if (m_strength && !m_strength->isHidden()) {
        key += m_strength->text();
        key += QLatin1Char(':');
    }
    add(qHash(m_name->font()));
    add(m_mode.size());
    key += m_mode;
    key += m_name->text();
    return key;
}

void WiFiVLItemMainStyle::ConnectingIcon()
{
    m_stateIcon->setPixmap(kivowifi::skinPixmap(QStringLiteral(":/Icon/i_connecting%1.png").arg(m_frame)));
    update();
    m_frame = m_frame == 2 ? 1 : 2;
}
