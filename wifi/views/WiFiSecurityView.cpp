#include "wifi/views/WiFiSecurityView.h"

#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/views/WiFiVLItemStyles.h"
#include "wifi/views/forms/WiFiSecurityViewClass.h"
#include "wifi/views/screen_styles.h"

WiFiSecurityView::WiFiSecurityView(const QString& resolution, KivoWiFiFlow* flow)
    : KivoWiFiBaseVirtualList(flow)
    , m_pFlow(flow)
{
    if (resolution == QLatin1String("800x480")) {
        m_form800 = new WiFiSecurityView800x480Class;
        m_form800->setupUi(this);
        m_list = m_form800->virtuallist;
        m_backBtn = m_form800->btnBack;
    } else {
        m_form = new WiFiSecurityView480x272Class;
        m_form->setupUi(this);
        m_list = m_form->virtuallist;
        m_backBtn = m_form->btnBack;
        kivowifi::setButtonSymbol(m_backBtn, QLatin1String(kivowifi::kBackSymbol));
        m_title = m_form->lblTitleText;
        m_title->setText(QObject::tr("Security"));
        m_title->setAlignment(Qt::AlignCenter);
    }
    setListProvider(m_list, new WiFiVLItemJoinStyle(resolution));
    connect(m_list, SIGNAL(clicked(const QModelIndex&)), this, SLOT(ListItemSelected(const QModelIndex&)));
    if (m_pFlow)
        connect(m_backBtn, SIGNAL(clicked(bool)), m_pFlow, SLOT(onBackBtnClick(void)));
    setupScrollButtons();
    setStyleSheets(m_pFlow ? m_pFlow->currentDayNightMode() : QStringLiteral("Day"));
}

WiFiSecurityView::~WiFiSecurityView()
{
    delete m_form;
    delete m_form800;
}

void WiFiSecurityView::addItem(const QString& text, const QString& value, int mark)
{
    m_items.append(SecurityItem { text, value, mark });
}

void WiFiSecurityView::setupView()
{
    m_items.clear();
    // The choice is kept in English, whatever the language: the add-network
    // screen and the row turn it into its translated name, and a translated
    // choice would be known to neither (the network joined as open).
    const char* const values[]
        = { "Open", "Auto switch", "WPAPSK(TKIP)", "WPAPSK(AES)", "WPA2 PSK(TKIP)", "WPA2 PSK(AES)" };
    for (const char* value : values)
        addItem(QObject::tr("Authentication"), QLatin1String(value), 0);
    const QString choice = m_pFlow ? m_pFlow->securityChoice() : QString();
    for (SecurityItem& item : m_items)
        if (item.value == choice)
            item.mark = 1;
    resetModel();
}

void WiFiSecurityView::setStyleSheets(const QString& mode)
{
    m_list->setStyleSheet(kivowifi::listStyleSheet(mode));
    m_backBtn->setStyleSheet(kivowifi::screenButtonStyleSheet(kivowifi::normalButtonWidth()));
}

int WiFiSecurityView::getRowCount(const QModelIndex&)
{
    return m_items.size();
}

void WiFiSecurityView::updateItemCtrl(const QModelIndex& index, KivoWiFiBaseVLItem* item, const QStyleOptionViewItem& option)
{
    auto* row = qobject_cast<WiFiVLItemJoinStyle*>(item);
    if (!row || index.row() < 0 || index.row() >= m_items.size())
        return;
    row->setStyleSheets(m_pFlow ? m_pFlow->currentDayNightMode() : QStringLiteral("Day"));
    const SecurityItem& entry = m_items.at(index.row());
    row->fill(option.state, entry.text, entry.value, entry.mark == 1);
}

void WiFiSecurityView::ListItemSelected(const QModelIndex& index)
{
    if (index.row() < 0 || index.row() >= m_items.size())
        return;
    for (int i = 0; i < m_items.size(); ++i)
        m_items[i].mark = i == index.row() ? 1 : 0;
    resetModel();
    if (m_pFlow)
        m_pFlow->setSecurityChoice(m_items.at(index.row()).value);
}

void WiFiSecurityView::OnEncryptionClicked()
{
    if (m_pFlow)
        m_pFlow->switchView(LIST_VIEW_ID, 7);
}

void WiFiSecurityView::OnAuthClicked()
{
    if (m_pFlow)
        m_pFlow->switchView(LIST_VIEW_ID, 8);
}

void WiFiSecurityView::OnKeyIndexClicked()
{
    if (m_pFlow)
        m_pFlow->switchView(LIST_VIEW_ID, 9);
}
