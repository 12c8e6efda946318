#include "wifi/views/WiFiJoinNetworkView.h"

#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/views/WiFiVLItemStyles.h"
#include "wifi/views/forms/WiFiJoinNetworkViewClass.h"
#include "wifi/views/screen_styles.h"

#include <QEvent>

#include <initializer_list>

namespace {

// The six security types: the flow's security choice, the label shown for
// it (translated) and what a join record says for it.
struct SecurityType {
    const char* choice;
    const char* label;
    const char* encryption;
    const char* authentication;
};

const SecurityType kSecurityTypes[] = {
    { "Open", QT_TRANSLATE_NOOP("QObject", "None"), "WEP disabled", "Open" },
    { "Auto switch", QT_TRANSLATE_NOOP("QObject", "WEP"), "WEP enabled", "Open" },
    { "WPAPSK(TKIP)", QT_TRANSLATE_NOOP("QObject", "WPA-PSK(TKIP)"), "Encryption 2 enabled", "WPAPSK" },
    { "WPAPSK(AES)", QT_TRANSLATE_NOOP("QObject", "WPA-PSK(AES)"), "Encryption 3 enabled", "WPAPSK" },
    { "WPA2 PSK(TKIP)", QT_TRANSLATE_NOOP("QObject", "WPA2-PSK(TKIP)"), "Encryption 2 enabled",
        "WPA2 PSK" },
    { "WPA2 PSK(AES)", QT_TRANSLATE_NOOP("QObject", "WPA2-PSK(AES)"), "Encryption 3 enabled", "WPA2 PSK" },
};
const SecurityType& kOpen = kSecurityTypes[0];
const SecurityType& kWep = kSecurityTypes[1];

QString labelOf(const SecurityType& type)
{
    return QObject::tr(type.label);
}

// An empty choice and an empty saved slot mean an open network.
const SecurityType* typeForChoice(const QString& choice)
{
    if (choice.isEmpty() || choice == QLatin1String(kivowifi::PLACEHOLDER_TEXT))
        return &kOpen;
    for (const SecurityType& type : kSecurityTypes)
        if (choice == QLatin1String(type.choice))
            return &type;
    return nullptr;
}

// The type whose label is shown. The label is compared in the language it
// was set in: in any other language than English the English texts would
// never match and a secured network would be joined with the wrong
// encryption.
const SecurityType* typeForLabel(const QString& label)
{
    for (const SecurityType& type : kSecurityTypes)
        if (label == labelOf(type))
            return &type;
    return nullptr;
}

bool isOneOf(const QString& text, std::initializer_list<const char*> values)
{
    for (const char* value : values)
        if (text == QLatin1String(value))
            return true;
    return false;
}

// A WPA or WPA2 type by its cipher: TKIP for encryption 2, else AES.
const SecurityType* wpaType(const QString& encryption, bool wpa2)
{
    const bool tkip = encryption == QLatin1String("Encryption 2 enabled");
    return &kSecurityTypes[(wpa2 ? 4 : 2) + (tkip ? 0 : 1)];
}

// The type of a saved record; null when its texts name none of the six.
const SecurityType* typeForSavedRecord(const WiFiSettings& saved)
{
    if (saved.encryption == QLatin1String("WEP enabled"))
        return &kWep;
    if (saved.encryption == QLatin1String("WEP disabled"))
        return &kOpen;
    if (saved.authentication == QLatin1String("WPAPSK"))
        return wpaType(saved.encryption, false);
    if (saved.authentication == QLatin1String("WPA2 PSK"))
        return wpaType(saved.encryption, true);
    return nullptr;
}

// The type of an access point as the scan reports it; null for any other
// combination.
const SecurityType* typeForAccessPoint(const QString& encryption, const QString& authentication)
{
    if (encryption == QLatin1String("WEP enabled"))
        return &kWep;
    if (isOneOf(encryption, { "WEP disabled", "WEP key absent", "WEP not supported" }))
        return &kOpen;
    if (isOneOf(authentication, { "WPA", "WPAPSK" }))
        return wpaType(encryption, false);
    if (isOneOf(authentication, { "WPA2", "WPA2 PSK" }))
        return wpaType(encryption, true);
    return nullptr;
}

QString dayNight(KivoWiFiFlow* flow)
{
    return flow ? flow->currentDayNightMode() : QStringLiteral("Day");
}

} // namespace

WiFiJoinNetworkView::WiFiJoinNetworkView(const QString& resolution, KivoWiFiFlow* flow)
    : KivoWiFiBaseVirtualList(flow)
    , m_pFlow(flow)
{
    if (resolution == QLatin1String("800x480")) {
        m_form800 = new WiFiJoinNetworkView800x480Class;
        m_form800->setupUi(this);
        m_list = m_form800->virtuallist;
        m_joinBtn = m_form800->JoinBtn;
        m_footer = m_form800->wgEnd;
        setListProvider(m_list, new WiFiVLItemJoinStyle(resolution));
        connect(m_list, SIGNAL(clicked(const QModelIndex&)), this, SLOT(ListItemSelected(QModelIndex)));
    } else {
        m_form = new WiFiJoinNetworkView480x272Class;
        m_form->setupUi(this);
        m_joinBtn = m_form->JoinBtn;
        kivowifi::setButtonSymbol(m_joinBtn, QLatin1String(kivowifi::kJoinSymbol));
        m_footer = m_form->wgEnd;
        m_securityBtn = m_form->SecurityBtn;
        m_nameEdit = m_form->NameEdit;
        m_passwordLabel = m_form->Password;
        m_passwordEdit = m_form->PasswordEdit;
        m_securityType = m_form->SecurityType;
        m_title = m_form->lblTitleText;
        m_networkLabel = m_form->Network;
        m_securityTitle = m_form->Security;
        m_networkLabel->setText(QObject::tr("Network"));
        m_securityTitle->setText(QObject::tr("Security"));
        m_passwordLabel->setText(QObject::tr("Password"));
        m_title->setText(QObject::tr("Add Network"));
        m_title->setAlignment(Qt::AlignCenter);
    }
    connect(m_joinBtn, SIGNAL(clicked(bool)), this, SLOT(onJoinBtnClick()));
    if (m_securityBtn)
        connect(m_securityBtn, SIGNAL(clicked(bool)), this, SLOT(OnSecurityClicked(void)));
    setNameText(QObject::tr("   Enter network name"));
    if (m_nameEdit) {
        m_nameEdit->installEventFilter(this);
        m_passwordEdit->installEventFilter(this);
    }
    setupScrollButtons();
    setStyleSheets(dayNight(m_pFlow));
}

WiFiJoinNetworkView::~WiFiJoinNetworkView()
{
    delete m_form;
    delete m_form800;
}

QString WiFiJoinNetworkView::nameText() const
{
    return m_nameEdit ? m_nameEdit->text() : QString();
}

QString WiFiJoinNetworkView::passwordText() const
{
    return m_passwordEdit ? m_passwordEdit->text() : QString();
}

void WiFiJoinNetworkView::setNameText(const QString& text)
{
    if (m_nameEdit)
        m_nameEdit->setText(text);
}

void WiFiJoinNetworkView::setPasswordText(const QString& text)
{
    if (m_passwordEdit)
        m_passwordEdit->setText(text);
}

void WiFiJoinNetworkView::setSecurityLabel(const QString& label)
{
    m_securityLabel = label;
    if (m_securityType)
        m_securityType->setText(label);
}

void WiFiJoinNetworkView::setupView(const QString& text, int inputType, int index)
{
    bool labelFromAccessPoint = false;
    switch (inputType) {
    case NetworkName:
        takeTypedName(text);
        break;
    case Password:
        setPasswordText(text == QObject::tr("   Enter password") ? QString() : text);
        break;
    case 3: // a network chosen from the list
        setNameText(text);
        m_selectedIndex = index;
        setPasswordText(QString());
        if (index >= 0) {
            takeAccessPointSecurity(index);
            labelFromAccessPoint = true;
        }
        fillSavedPassword();
        break;
    case 4: // a new network: its security comes from the label
        setNameText(QObject::tr("   Enter network name"));
        setPasswordText(QString());
        m_selectedIndex = index;
        break;
    default:
        break;
    }
    if (!labelFromAccessPoint)
        showChoiceLabel();
    updatePromptStyle();
    updateButtons();
}

void WiFiJoinNetworkView::takeTypedName(const QString& name)
{
    const QString prompt = QObject::tr("   Enter network name");
    if (name.isEmpty() || name == prompt) {
        setNameText(prompt);
        setPasswordText(QString());
        return;
    }
    setNameText(name);
    if (m_prefilled || !m_pFlow)
        return;
    for (int slot = 0; slot < kivowifi::SAVED_NETWORK_COUNT; ++slot) {
        const WiFiSettings saved = m_pFlow->savedSettings(slot);
        if (saved.network != name)
            continue;
        if (const SecurityType* type = typeForSavedRecord(saved))
            m_pFlow->setSecurityChoice(QLatin1String(type->choice));
        // "0" is how a record says it has no password.
        if (saved.password != QLatin1String("0"))
            setPasswordText(saved.password);
        m_prefilled = true;
        return;
    }
}

void WiFiJoinNetworkView::takeAccessPointSecurity(int index)
{
    if (!m_pFlow)
        return;
    const SecurityType* type
        = typeForAccessPoint(m_pFlow->getAPEncryptionText(index), m_pFlow->getAPAuthenticationText(index));
    if (!type)
        return;
    setSecurityLabel(labelOf(*type));
    m_pFlow->setSecurityChoice(QLatin1String(type->choice));
}

void WiFiJoinNetworkView::fillSavedPassword()
{
    if (!m_pFlow)
        return;
    const QString name = nameText();
    for (int slot = 0; slot < kivowifi::SAVED_NETWORK_COUNT; ++slot) {
        const WiFiSettings saved = m_pFlow->savedSettings(slot);
        if (saved.network == name && saved.password != QLatin1String("0")) {
            setPasswordText(saved.password);
            return;
        }
    }
}

void WiFiJoinNetworkView::showChoiceLabel()
{
    if (const SecurityType* type = typeForChoice(m_pFlow ? m_pFlow->securityChoice() : QString()))
        setSecurityLabel(labelOf(*type));
}

void WiFiJoinNetworkView::updatePromptStyle()
{
    if (!m_nameEdit)
        return;
    const bool prompt = m_nameEdit->text() == QObject::tr("   Enter network name");
    m_nameEdit->setStyleSheet(prompt
            ? QStringLiteral("color: gray;border-image: url(:/Join_network/bkgd_search_key.png);")
            : QStringLiteral("color: black;border-image: url(:/Join_network/bkgd_search_key.png);"));
}

void WiFiJoinNetworkView::updateButtons()
{
    const QString name = nameText();
    const bool named = !name.isEmpty() && name != QObject::tr("   Enter network name");
    bool showPassword = false;
    bool joinable = named;
    if (m_securityLabel != labelOf(kOpen) && named) {
        showPassword = true;
        // A WEP network may be joined without a key.
        joinable = !passwordText().isEmpty() || m_securityLabel == labelOf(kWep);
    }
    if (m_passwordLabel) {
        m_passwordLabel->setVisible(showPassword);
        m_passwordEdit->setVisible(showPassword);
    }
    m_joinBtn->setEnabled(joinable);
}

void WiFiJoinNetworkView::setStyleSheets(const QString& mode)
{
    m_joinBtn->setStyleSheet(kivowifi::screenButtonStyleSheet(210));
    if (mode != QLatin1String("Day"))
        m_footer->setStyleSheet(QStringLiteral("background-image: url(:/Background/main_bg.png);"));
}

int WiFiJoinNetworkView::getRowCount(const QModelIndex&)
{
    return m_entries.size();
}

void WiFiJoinNetworkView::updateItemCtrl(
    const QModelIndex& index, KivoWiFiBaseVLItem* item, const QStyleOptionViewItem& option)
{
    auto* row = qobject_cast<WiFiVLItemJoinStyle*>(item);
    if (!row || index.row() < 0 || index.row() >= m_entries.size())
        return;
    row->setStyleSheets(dayNight(m_pFlow));
    const auto& entry = m_entries.at(index.row());
    row->fill(option.state, entry.first, entry.second, true);
}

void WiFiJoinNetworkView::ListItemSelected(QModelIndex index)
{
    switch (index.row()) {
    case 0:
        OnNetworkNameClicked();
        break;
    case 1:
        OnSecurityClicked();
        break;
    case 2:
        OnUserNameClicked();
        break;
    case 3:
        OnPasswordClicked();
        break;
    default:
        break;
    }
}

void WiFiJoinNetworkView::onJoinBtnClick()
{
    if (!m_pFlow)
        return;
    m_pFlow->clearEapolSettings();
    if (m_selectedIndex >= 0) {
        m_joinRecord.encryption = m_pFlow->getAPEncryptionText(m_selectedIndex);
        m_joinRecord.authentication = m_pFlow->getAPAuthenticationText(m_selectedIndex);
        m_joinRecord.keyIndex = m_pFlow->getAPKeyIndexText(m_selectedIndex);
    } else {
        // A label outside the table keeps the authentication of the last join.
        const SecurityType* type = typeForLabel(m_securityLabel);
        m_joinRecord.encryption = QLatin1String(type ? type->encryption : "Encryption 3 enabled");
        if (type)
            m_joinRecord.authentication = QLatin1String(type->authentication);
        m_joinRecord.keyIndex = QStringLiteral("Key index 1");
    }
    m_joinRecord.network = nameText();
    m_joinRecord.userName = QStringLiteral("User");
    m_joinRecord.password = passwordText();
    m_prefilled = false;
    m_pFlow->switchView(CONNECTING_VIEW_ID, 0);
}

void WiFiJoinNetworkView::OnNetworkNameClicked()
{
    m_editedText = nameText();
    m_inputType = NetworkName;
    if (m_pFlow)
        m_pFlow->switchView(KEYBOARD_VIEW_ID, 0);
}

void WiFiJoinNetworkView::OnPasswordClicked()
{
    m_editedText = passwordText();
    m_inputType = Password;
    if (m_pFlow)
        m_pFlow->switchView(KEYBOARD_VIEW_ID, 0);
}

void WiFiJoinNetworkView::OnSecurityClicked()
{
    if (m_pFlow)
        m_pFlow->switchView(SECURITY_VIEW_ID, 0);
}

void WiFiJoinNetworkView::OnUserNameClicked()
{
    // The user name is typed on KivoMap's keyboard; its text comes back to
    // the flow, which keeps it in the record in use.
    if (m_pFlow)
        m_pFlow->requestExternalKeyboard(3, -1, QObject::tr("Enter username"), false);
}

bool WiFiJoinNetworkView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress && m_nameEdit) {
        if (watched == m_nameEdit)
            OnNetworkNameClicked();
        else if (watched == m_passwordEdit)
            OnPasswordClicked();
    }
    return false;
}
