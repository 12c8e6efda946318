#include "wifi/views/WiFiListView.h"

#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/core/saved_networks.h"
#include "wifi/views/WiFiVLItemStyles.h"
#include "wifi/views/forms/WiFiSecurityViewClass.h"
#include "wifi/views/screen_styles.h"

WiFiListView::WiFiListView(const QString& resolution, KivoWiFiFlow* flow)
    : KivoWiFiBaseVirtualList(flow)
    , m_pFlow(flow)
{
    if (resolution == QLatin1String("800x480")) {
        m_form800 = new WiFiSecurityView800x480Class;
        m_form800->setupUi(this);
        m_list = m_form800->virtuallist;
        m_backBtn = m_form800->btnBack;
        m_title = m_form800->lblTitleText;
    } else {
        m_form = new WiFiSecurityView480x272Class;
        m_form->setupUi(this);
        m_list = m_form->virtuallist;
        m_backBtn = m_form->btnBack;
        kivowifi::setButtonSymbol(m_backBtn, QLatin1String(kivowifi::kBackSymbol));
        m_title = m_form->lblTitleText;
        m_title->setAlignment(Qt::AlignCenter);
    }
    setListProvider(m_list, new WiFiVLItemListStyle(resolution));
    connect(m_list, SIGNAL(clicked(const QModelIndex&)), this, SLOT(ListItemSelected(const QModelIndex&)));
    if (m_pFlow)
        connect(m_backBtn, SIGNAL(clicked(bool)), m_pFlow, SLOT(onBackBtnClick(void)));
    setupScrollButtons();
    setStyleSheets(m_pFlow ? m_pFlow->currentDayNightMode() : QStringLiteral("Day"));
}

WiFiListView::~WiFiListView()
{
    delete m_form;
    delete m_form800;
}

void WiFiListView::addItem(const QString& value, const QString& text, int mark)
{
    m_items.append(SecurityItem { text, value, mark });
}

void WiFiListView::setupView(int mode)
{
    m_mode = mode;
    m_items.clear();
    const WiFiSettings record = m_pFlow ? m_pFlow->getWiFiSettings() : WiFiSettings {};
    QString current;
    switch (mode) {
    case 7: {
        m_title->setText(QObject::tr("Encryption"));
        const char* values[] = { "WEP enabled", "WEP disabled", "WEP key absent", "WEP not support",
            "Encryption 2 enabled", "Encryption 2 key absent", "Encryption 3 enabled", "Encryption 3 key absent" };
        for (const char* value : values)
            addItem(QLatin1String(value), QObject::tr(value), 0);
        current = record.encryption;
        break;
    }
    case 8: {
        m_title->setText(QObject::tr("Authentication"));
        const char* values[] = { "Open", "Shared", "Auto switch", "WPA", "WPAPSK", "WPA none", "WPA2", "WPA2 PSK", "Max" };
        for (const char* value : values) {
            const QString v = QLatin1String(value);
            const QString shown = v == QLatin1String("WPAPSK") ? QObject::tr("WPAPSK(AES)")
                : v == QLatin1String("WPA2 PSK")               ? QObject::tr("WPA2 PSK(AES)")
                                                               : QObject::tr(value);
            addItem(v, shown, 0);
        }
        current = record.authentication;
        break;
    }
    case 9: {
        m_title->setText(QObject::tr("Key index"));
        const char* values[] = { "Key index 1", "Key index 2", "Key index 3", "Key index 4" };
        for (const char* value : values)
            addItem(QLatin1String(value), QObject::tr(value), 0);
        current = record.keyIndex;
        break;
    }
    default:
        resetModel();
        return;
    }
    for (SecurityItem& item : m_items)
        if (item.value == current)
            item.mark = 1;
    resetModel();
}

void WiFiListView::setStyleSheets(const QString& mode)
{
    m_list->setStyleSheet(kivowifi::listStyleSheet(mode));
    m_backBtn->setStyleSheet(kivowifi::screenButtonStyleSheet(kivowifi::normalButtonWidth()));
}

int WiFiListView::getRowCount(const QModelIndex&)
{
    return m_items.size();
}

void WiFiListView::updateItemCtrl(const QModelIndex& index, KivoWiFiBaseVLItem* item, const QStyleOptionViewItem& option)
{
    auto* row = qobject_cast<WiFiVLItemListStyle*>(item);
    if (!row || index.row() < 0 || index.row() >= m_items.size())
        return;
    row->setStyleSheets(m_pFlow ? m_pFlow->currentDayNightMode() : QStringLiteral("Day"));
    const SecurityItem& entry = m_items.at(index.row());
    row->fill(option.state, entry.text, entry.mark);
}

void WiFiListView::ListItemSelected(const QModelIndex& index)
{
    switch (m_mode) {
    case 7:
        OnEncryptionClicked(index.row());
        break;
    case 8:
        OnAuthClicked(index.row());
        break;
    case 9:
        OnKeyIndexClicked(index.row());
        break;
    default:
        break;
    }
    if (m_pFlow)
        m_pFlow->onBackBtnClick();
}

void WiFiListView::store(const QString& key, int row)
{
    if (m_pFlow && row >= 0 && row < m_items.size())
        m_pFlow->setSetting(key, m_items.at(row).value);
}

void WiFiListView::OnEncryptionClicked(int row)
{
    store(QStringLiteral("Settings/Encryption"), row);
}

void WiFiListView::OnAuthClicked(int row)
{
    store(QStringLiteral("Settings/Authentication"), row);
}

void WiFiListView::OnKeyIndexClicked(int row)
{
    store(QStringLiteral("Settings/Key index"), row);
}
