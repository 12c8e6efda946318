#include "wifi/views/WiFiMainView.h"

#include "controls/core/ZyrelleControls.h"
#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/views/WiFiVLItemStyles.h"
#include "wifi/views/forms/WiFiMainViewClass.h"
#include "wifi/views/screen_styles.h"
#include "wifi/views/view_timing.h"

namespace {

const char* const kCheckIcon = ":/Icon/Check_icon.png";

void log(KivoWiFiFlow* flow, const char* text)
{
    if (flow)
        flow->writeLog(QLatin1String(text));
}

} // namespace

WiFiMainView::WiFiMainView(const QString& resolution, KivoWiFiFlow* flow)
    : KivoWiFiBaseVirtualList(flow)
    , m_pFlow(flow)
{
    if (resolution == QLatin1String("800x480")) {
        m_form800 = new WiFiMainView800x480Class;
        m_form800->setupUi(this);
        m_list = m_form800->virtuallist;
        m_disableBtn = m_form800->DisBtn;
        m_addBtn = m_form800->JoinBtn;
        m_refreshBtn = m_form800->RefBtn;
        m_backBtn = m_form800->btnBack;
        m_footer = m_form800->wgEnd;
    } else {
        m_form = new WiFiMainView480x272Class;
        m_form->setupUi(this);
        m_list = m_form->virtuallist;
        m_disableBtn = m_form->DisBtn;
        m_addBtn = m_form->JoinBtn;
        m_refreshBtn = m_form->RefBtn;
        m_backBtn = m_form->ConfirmBtn;
        m_footer = m_form->wgEnd;
        m_status = m_form->WiFiSituation;
        m_title = m_form->lblTitleText;
        m_loading = m_form->Loading;
        m_upBtn = m_form->UpBtn;
        m_downBtn = m_form->DownBtn;
        m_addBtn->setText(QObject::tr("Add Network"));
        m_refreshBtn->setText(QObject::tr("Refresh"));
        m_status->setText(QObject::tr("Searching..."));
        m_title->setText(QObject::tr("WIFI Settings"));
        m_title->setAlignment(Qt::AlignCenter);
        // The opaque footer begins above the list's own bottom: the list
        // ends where the footer begins, so that the last network scrolls
        // into full view above it instead of staying half hidden.
        const int shown = m_footer->y() - m_list->y();
        if (shown > 0 && shown < m_list->height())
            m_list->resize(m_list->width(), shown);
    }

    if (QObject* sound = ZyrelleControls::GetSoundManager()) {
        for (QPushButton* b : { m_disableBtn, m_addBtn, m_refreshBtn })
            connect(b, SIGNAL(clicked(bool)), sound, SLOT(onPlayTapSound(void)));
    }
    connect(m_disableBtn, SIGNAL(clicked(bool)), this, SLOT(onDisBtnClick()));
    connect(m_addBtn, SIGNAL(clicked(bool)), this, SLOT(onJoinBtnClick()));
    connect(m_refreshBtn, SIGNAL(clicked(bool)), this, SLOT(onRefreshBtnClick()));

    setListProvider(m_list, new WiFiVLItemMainStyle(resolution));
    connect(m_list, SIGNAL(clicked(const QModelIndex&)), this, SLOT(onAPListItemSelected(QModelIndex)));
    if (m_pFlow)
        connect(m_backBtn, SIGNAL(clicked(bool)), m_pFlow, SLOT(onBackBtnClick(void)));
    setupScrollButtons();

    m_loadingPixmap = kivowifi::skinPixmap(QStringLiteral(":/Loading_little/i_loading_1.png"));
    if (m_loading)
        m_loading->setImage(m_loadingPixmap);
    setStyleSheets(dayNight());
    connect(&m_loadingTimer, SIGNAL(timeout()), this, SLOT(LoadingIcon()));
    connect(&m_iconTimer, SIGNAL(timeout()), this, SLOT(UpdateIcon()));
}

WiFiMainView::~WiFiMainView()
{
    delete m_form;
    delete m_form800;
}

QString WiFiMainView::dayNight() const
{
    return m_pFlow ? m_pFlow->currentDayNightMode() : QStringLiteral("Day");
}

void WiFiMainView::setStyleSheets(const QString& mode)
{
    const QString background = QStringLiteral("background-image: url(:/Background/main_bg.png);");
    m_list->setStyleSheet(kivowifi::listStyleSheet(mode));
    m_footer->setStyleSheet(background);
    const QString button = kivowifi::screenButtonStyleSheet(kivowifi::normalButtonWidth());
    for (QPushButton* b : { m_disableBtn, m_addBtn, m_refreshBtn, static_cast<QPushButton*>(m_backBtn) })
        b->setStyleSheet(button);
}

void WiFiMainView::timerEvent(QTimerEvent*) { }

void WiFiMainView::hideEvent(QHideEvent* event)
{
    m_loadingPaused = m_loadingTimer.isActive();
    m_iconPaused = m_iconTimer.isActive();
    m_loadingTimer.stop();
    m_iconTimer.stop();
    KivoWiFiBaseVirtualList::hideEvent(event);
}

void WiFiMainView::showEvent(QShowEvent* event)
{
    KivoWiFiBaseVirtualList::showEvent(event);
    if (m_loadingPaused)
        m_loadingTimer.start();
    if (m_iconPaused)
        m_iconTimer.start();
    m_loadingPaused = false;
    m_iconPaused = false;
}

void WiFiMainView::rescan()
{
    m_pFlow->stopStatusTimer();
    m_pFlow->refreshAPList();
    m_pFlow->restartStatusTimer();
}

void WiFiMainView::RefreshList()
{
    log(m_pFlow, "[In WifiMainView - RefreshList()] Start");
    if (!m_pFlow)
        return;
    if (m_pFlow->isLoginPending()) {
        // The portal login decides what happens next; a rescan now would
        // disturb the association it runs on.
        m_pFlow->stopStatusTimer();
        log(m_pFlow, "[In WifiMainView - RefreshList()] m_Need_Pop_Browser = true");
    } else {
        log(m_pFlow, "[In WifiMainView - RefreshList()] m_Need_Pop_Browser = false");
        rescan();
        resetModel();
    }
    log(m_pFlow, "[In WifiMainView - RefreshList()] End");
}

void WiFiMainView::onRefreshBtnClick()
{
    if (m_pFlow)
        rescan();
    m_refreshing = true;
    resetModel();
}

void WiFiMainView::endRefresh()
{
    m_refreshing = false;
    resetModel();
}

int WiFiMainView::getRowCount(const QModelIndex&)
{
    if (m_refreshing)
        return 1;
    return m_pFlow ? m_pFlow->getAPCount() : 0;
}

bool WiFiMainView::isSecuredPrivacy(int privacy)
{
    return privacy == 0 || (privacy >= 4 && privacy <= 7);
}

bool WiFiMainView::isSecured(int row) const
{
    return m_pFlow && isSecuredPrivacy(m_pFlow->getAPPrivacy(row));
}

QString WiFiMainView::lockIconPath(bool secured, int rssi)
{
    const QString base = secured ? QStringLiteral(":/Icon/i_list_wifilock") : QStringLiteral(":/Icon/i_list_wifiunlock");
    QString level = QStringLiteral("_3");
    if (rssi > -70)
        level.clear();
    else if (rssi > -82)
        level = QStringLiteral("_1");
    else if (rssi > -88)
        level = QStringLiteral("_2");
    return base + level + QStringLiteral(".png");
}

void WiFiMainView::updateItemCtrl(const QModelIndex& index, KivoWiFiBaseVLItem* item, const QStyleOptionViewItem& option)
{
    auto* row = qobject_cast<WiFiVLItemMainStyle*>(item);
    if (!row)
        return;
    m_loadingTimer.start(kivowifi::screenInterval(LOADING_FRAME_MS));
    if (m_loading)
        m_loading->show();
    if (m_status)
        m_status->setText(QObject::tr("Searching..."));

    const bool scrolls = getRowCount(QModelIndex()) > 3;
    if (m_upBtn)
        m_upBtn->setEnabled(scrolls);
    if (m_downBtn)
        m_downBtn->setEnabled(scrolls);
    if (m_refreshing || !m_pFlow) {
        // The row widget is shared by all rows: without this it would show
        // the network painted last.
        row->fill(option.state, QString(), QPixmap(), QPixmap(), QPixmap(), QString(), QString());
        return;
    }

    row->setStyleSheets(dayNight());
    m_loadingTimer.stop();
    if (m_loading)
        m_loading->hide();
    if (m_status)
        m_status->setText(QObject::tr("Select a Network"));
    const int r = index.row();
    const QString name = m_pFlow->getAPName(r);

    QPixmap stateIcon;
    QString stateIconPath;
    if (r == m_pFlow->currentNetworkIndex()) {
        if (m_pFlow->isWiFiConnected() && (!m_pFlow->isLoginPending() || m_pFlow->loginResult() == 1)) {
            m_iconTimer.stop();
            stateIconPath = QLatin1String(kCheckIcon);
            row->setConnected(true);
        } else {
            stateIconPath = QLatin1String(WiFiVLItemMainStyle::CONNECTING_ICON);
            m_iconTimer.start(kivowifi::screenInterval(ICON_FRAME_MS));
        }
        stateIcon = kivowifi::skinPixmap(stateIconPath);
    }

    const int rssi = m_pFlow->getAPSignalStrength(r);
    const QPixmap lockIcon = kivowifi::skinPixmap(lockIconPath(isSecured(r), rssi));
    row->fill(option.state, name, stateIcon, QPixmap(), lockIcon, stateIconPath, QString::number(rssi, 10));
}

void WiFiMainView::onAPListItemSelected(QModelIndex index)
{
    log(m_pFlow, "[In WifiMainView - onAPListItemSelected()]");
    const int row = index.row();
    if (row < 0 || m_refreshing || !m_pFlow)
        return;
    m_pFlow->stopStatusTimer();
    if (row == m_pFlow->currentNetworkIndex()) {
        log(m_pFlow, "[In WifiMainView - onAPListItemSelected()] go to INFO_VIEW_ID");
        m_pFlow->switchView(INFO_VIEW_ID, 0);
        m_pFlow->stopStatusTimer();
        m_pFlow->restartStatusTimer();
        return;
    }
    m_selectedName = m_pFlow->getAPName(row);
    m_selectionMode = SELECT_LISTED;
    m_selectedRow = row;
    if (isSecured(row))
        log(m_pFlow, "[In WifiMainView - onAPListItemSelected()] go to KEYBOARD_VIEW_ID");
    // The status poll stays stopped until the add-network screen is left.
    m_pFlow->switchView(JOIN_VIEW_ID, 0);
}

void WiFiMainView::onJoinBtnClick()
{
    m_selectionMode = SELECT_NEW;
    if (!m_pFlow)
        return;
    m_pFlow->setSecurityChoice(QStringLiteral("Open"));
    m_pFlow->switchView(JOIN_VIEW_ID, 0);
}

void WiFiMainView::onDisBtnClick()
{
    if (!m_pFlow)
        return;
    m_pFlow->enableWiFi(false);
    m_pFlow->switchView(DISABLED_VIEW_ID, 0);
}

void WiFiMainView::LoadingIcon()
{
    m_loadingPixmap = kivowifi::skinPixmap(QStringLiteral(":/Loading_little/i_loading_%1.png").arg(m_loadingFrame));
    if (m_loading) {
        m_loading->setImage(m_loadingPixmap);
        m_loading->update();
    }
    update();
    m_loadingFrame = m_loadingFrame == 8 ? 1 : m_loadingFrame + 1;
}

void WiFiMainView::UpdateIcon()
{
    resetModel();
    if (m_pFlow && m_pFlow->isWiFiConnected() && m_pFlow->loginResult() == 1)
        m_iconTimer.stop();
}
