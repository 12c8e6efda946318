#include "wifi/views/WiFiNetworkInfoView.h"

#include "controls/core/ZyrelleControls.h"
#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/views/WiFiVLItemStyles.h"
#include "wifi/views/forms/WiFiNetworkInfoViewClass.h"
#include "wifi/views/screen_styles.h"

WiFiNetworkInfoView::WiFiNetworkInfoView(const QString& resolution, KivoWiFiFlow* flow)
    : KivoWiFiBaseVirtualList(flow)
    , m_pFlow(flow)
    , m_ipAddress(QStringLiteral("0.0.0.0"))
    , m_subnetMask(QStringLiteral("0.0.0.0"))
    , m_gateway(QStringLiteral("0.0.0.0"))
{
    if (resolution == QLatin1String("800x480")) {
        m_form800 = new WiFiNetworkInfoView800x480Class;
        m_form800->setupUi(this);
        m_forgetBtn = m_form800->lefBtn;
        m_backBtn = m_form800->btnBack;
        m_footer = m_form800->wgEnd;
        m_title = m_form800->lblTitleText;
        setListProvider(m_form800->virtuallist, new WiFiVLItemInfoStyle(resolution));
    } else {
        m_form = new WiFiNetworkInfoView480x272Class;
        m_form->setupUi(this);
        m_forgetBtn = m_form->lefBtn;
        m_backBtn = m_form->btnBack;
        kivowifi::setButtonSymbol(m_backBtn, QLatin1String(kivowifi::kBackSymbol));
        m_footer = m_form->wgEnd;
        m_title = m_form->lblTitleText;
        m_ipTitle = m_form->IP_Address_title;
        m_ip = m_form->IP_Address;
        m_maskTitle = m_form->Subnet_Mask_title;
        m_mask = m_form->Subnet_Mask;
        m_gatewayTitle = m_form->Gateway_title;
        m_gatewayLabel = m_form->Gateway;
        m_forgetBtn->setText(QObject::tr("Forget this Network"));
        m_title->setText(QObject::tr("Network Name"));
        m_title->setAlignment(Qt::AlignCenter);
    }
    if (QObject* sound = ZyrelleControls::GetSoundManager())
        connect(m_forgetBtn, SIGNAL(clicked(bool)), sound, SLOT(onPlayTapSound(void)));
    connect(m_forgetBtn, SIGNAL(clicked(bool)), this, SLOT(onlefBtnClick()));
    if (m_pFlow)
        connect(m_backBtn, SIGNAL(clicked(bool)), m_pFlow, SLOT(onBackBtnClick(void)));
    setupScrollButtons();
    setStyleSheets(m_pFlow ? m_pFlow->currentDayNightMode() : QStringLiteral("Day"));
}

WiFiNetworkInfoView::~WiFiNetworkInfoView()
{
    delete m_form;
    delete m_form800;
}

void WiFiNetworkInfoView::setStyleSheets(const QString&)
{
    const QString button = kivowifi::screenButtonStyleSheet(kivowifi::normalButtonWidth());
    m_forgetBtn->setStyleSheet(button);
    m_backBtn->setStyleSheet(button);
}

int WiFiNetworkInfoView::getRowCount(const QModelIndex&)
{
    return 3;
}

void WiFiNetworkInfoView::updateItemCtrl(const QModelIndex& index, KivoWiFiBaseVLItem* item, const QStyleOptionViewItem&)
{
    auto* row = qobject_cast<WiFiVLItemInfoStyle*>(item);
    if (!row)
        return;
    row->setStyleSheets(m_pFlow ? m_pFlow->currentDayNightMode() : QStringLiteral("Day"));
    switch (index.row()) {
    case 0:
        row->fill(QStyle::State(), QObject::tr("IP Address:"), m_ipAddress);
        break;
    case 1:
        row->fill(QStyle::State(), QObject::tr("Subnet Mask:"), m_subnetMask);
        break;
    case 2:
        row->fill(QStyle::State(), QObject::tr("Gateway:"), m_gateway);
        break;
    default:
        break;
    }
}

void WiFiNetworkInfoView::showEvent(QShowEvent* event)
{
    KivoWiFiBaseVirtualList::showEvent(event);
    if (!m_pFlow)
        return;
    bool usable = false;
    QString adapterName, description, dhcpServer, dhcpServer2;
    m_pFlow->getAdapterInfo(&usable, &adapterName, &description, &dhcpServer, &m_ipAddress, &m_gateway, &m_subnetMask,
        &dhcpServer2);
    const bool connected = m_pFlow->isWiFiConnected();
    m_title->setText(connected ? m_pFlow->joiningName() : adapterName);
    const QString none = QStringLiteral("0.0.0.0");
    if (m_ipTitle) {
        m_ipTitle->setText(QObject::tr("IP Address:"));
        m_maskTitle->setText(QObject::tr("Subnet Mask:"));
        m_gatewayTitle->setText(QObject::tr("Gateway:"));
        m_ip->setText(connected ? m_ipAddress : none);
        m_mask->setText(connected ? m_subnetMask : none);
        m_gatewayLabel->setText(connected ? m_gateway : none);
    }
    if (listBinding())
        resetModel();
}

void WiFiNetworkInfoView::onlefBtnClick()
{
    if (!m_pFlow)
        return;
    m_pFlow->setAlertType(8);
    m_pFlow->switchView(ALERT_VIEW_ID, 0);
}
