#include "wifi/views/WiFiSearchingView.h"

#include "controls/core/ZyrelleControls.h"
#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/core/probe_files.h"
#include "wifi/views/forms/WiFiSearchingView480x272Class.h"
#include "wifi/views/portal_steps.h"
#include "wifi/views/screen_styles.h"
#include "wifi/views/view_timing.h"

#include <QTimerEvent>

namespace {

constexpr int kSlots = kivowifi::SAVED_NETWORK_COUNT;

bool isPlaceholder(const WiFiSettings& s)
{
    return s.encryption == QLatin1String(kivowifi::PLACEHOLDER_TEXT)
        || s.authentication == QLatin1String(kivowifi::PLACEHOLDER_TEXT);
}

} // namespace

WiFiSearchingView::WiFiSearchingView(const QString&, KivoWiFiFlow* flow)
    : KivoWiFiBaseVirtualList(flow)
    , m_pFlow(flow)
{
    m_form = new WiFiSearchingView480x272Class;
    m_form->setupUi(this);
    m_searchInfo = m_form->SearchInfo;
    m_refBtn = m_form->RefBtn;
    m_autoSyncBtn = m_form->AutoSyncBtn;
    m_tick = m_form->icon;
    m_loading = m_form->Shade_2;

    m_refBtn->setText(QObject::tr("WIFI Settings"));
    m_autoSyncBtn->setText(QObject::tr("Sync at Start-up            "));
    m_form->lblTitleText->setText(QObject::tr("WIFI Sync"));
    // The tick shows that this screen switched auto-sync on.
    m_tick->hide();
    if (m_pFlow && m_pFlow->startMode() == 100) {
        m_refBtn->hide();
        m_autoSyncBtn->hide();
        m_tick->hide();
    }

    if (QObject* sound = ZyrelleControls::GetSoundManager()) {
        for (QPushButton* b : { m_refBtn, m_form->DisBtn, m_form->JoinBtn })
            connect(b, SIGNAL(clicked(bool)), sound, SLOT(onPlayTapSound(void)));
    }
    connect(m_refBtn, SIGNAL(clicked(bool)), this, SLOT(onRefreshBtnClick()));
    kivowifi::setButtonSymbol(m_form->btnBack, QLatin1String(kivowifi::kExitSymbol));
    if (m_pFlow)
        connect(m_form->btnBack, SIGNAL(clicked(bool)), m_pFlow, SLOT(onExitBtnClick()));
    connect(m_form->virtuallist, SIGNAL(clicked(const QModelIndex&)), this, SLOT(onAPListItemSelected(QModelIndex)));
    connect(m_autoSyncBtn, SIGNAL(clicked(bool)), this, SLOT(onAutoSyncBtnClick()));
    setStyleSheets(m_pFlow ? m_pFlow->currentDayNightMode() : QStringLiteral("Day"));
    m_framePixmap = kivowifi::skinPixmap(QStringLiteral(":/Loading_big/i_loading_1.png"));
    m_loading->setImage(m_framePixmap);
    connect(&m_animationTimer, SIGNAL(timeout()), this, SLOT(loadpic()));
}

WiFiSearchingView::~WiFiSearchingView()
{
    delete m_form;
}

void WiFiSearchingView::writeLog(const QString& text)
{
    if (m_pFlow)
        m_pFlow->writeLog(text);
}

void WiFiSearchingView::setStyleSheets(const QString& mode)
{
    const int w = kivowifi::normalButtonWidth();
    if (mode == QLatin1String("Day")) {
        m_form->virtuallist->setStyleSheet(
            QStringLiteral("phxVirtualList{background-image: url(:/Background/main_bg.png);}"));
        m_form->wgEnd->setStyleSheet(
            QStringLiteral("QWidget{                        background-image: url(:/Background/main_bg.png);}"));
    } else {
        m_form->virtuallist->setStyleSheet(
            QStringLiteral("phxVirtualList{                              background-color: rgb(65, 65, 65);}"));
        m_form->wgEnd->setStyleSheet(
            QStringLiteral("QWidget{                     background-image: url(:/Background/main_bg.png)}"));
    }
    // The status text reads like the list rows: black by day, white by night.
    m_searchInfo->setStyleSheet(mode == QLatin1String("Day") ? QStringLiteral("color: rgb(0, 0, 0);")
                                                               : QStringLiteral("color: rgb(255, 255, 255);"));
    const QString button = kivowifi::screenButtonStyleSheet(w);
    for (QPushButton* b : { m_refBtn, m_form->DisBtn, m_form->JoinBtn })
        b->setStyleSheet(button);
    m_form->btnBack->setStyleSheet(button);
}

// ---- a visit ---------------------------------------------------------------------------

void WiFiSearchingView::RefreshList()
{
    writeLog(QStringLiteral("[In WiFiSearchingView - RefreshList()] Start"));
    m_pFlow->setBrowserLaunched(false);
    m_pFlow->stopStatusTimer();
    m_pFlow->refreshAPList();
    m_pFlow->restartStatusTimer();
    writeLog(QStringLiteral("[In WiFiSearchingView - RefreshList()] End"));
}

void WiFiSearchingView::setupView()
{
    m_animationTimer.start(kivowifi::screenInterval(LOADING_FRAME_MS));
    m_probeState = 0;
    m_tickCount = 0;
    m_browserStarted = false;

    if (kivowifi::writeLaunchBrowser(kivowifi::LAUNCH_BROWSER_NO_RESULT))
        writeLog(QStringLiteral("[In WifiSearching - setupView()] LaunchBrowser=999 and set defult"));

    for (int k = 0; k < kSlots; ++k) {
        m_inRange[k] = false;
        m_pFlow->setSlotVisibleIndex(k, -1);
    }
    m_visibleNames.clear();

    if (isPlaceholder(m_pFlow->getWiFiSettings())) {
        writeLog(QStringLiteral("[In WifiSearching - timerEvent()] not connect to wifi "
                                "m_pFlow->m_WiFiSettings.SettingsNetwork == BravikDefault"));
        stopAll();
        if (m_pFlow->startMode() == 100)
            m_pFlow->onExitBtnClick();
        else
            m_pFlow->switchView(MAIN_VIEW_ID, 0);
        return;
    }
    m_searchInfo->setText(QObject::tr("Searching networks..."));
    writeLog(QStringLiteral("[In WifiSearching - setupView()] ") + m_searchInfo->text());
}

void WiFiSearchingView::DoAutoConnect()
{
    m_pFlow->setBrowserLaunched(true);
    for (int i = 0, n = m_pFlow->getAPCount(); i < n; ++i)
        m_visibleNames.append(m_pFlow->getAPName(i));

    for (int j = 0; j < m_visibleNames.size(); ++j) {
        const QString& visible = m_visibleNames[j];
        for (int k = 0; k < kSlots; ++k) {
            const WiFiSettings saved = m_pFlow->savedSettings(k);
            if (m_inRange[k]) {
                writeLog(saved.network + QStringLiteral(" already insert to the network list which need to connect."));
                continue;
            }
            if (visible == saved.network) {
                m_inRange[k] = true;
                m_pFlow->setSlotVisibleIndex(k, j);
                writeLog(QStringLiteral("[In WifiSearching - DoAutoConnect()] ") + saved.network
                    + QStringLiteral(" is in the network list[%1].").arg(j));
                break;
            }
            if (saved.userName == QLatin1String("Hidden")) {
                // A network saved while hidden is a candidate wherever it is;
                // it must not keep this visible name from its own later slot.
                m_inRange[k] = true;
                writeLog(QStringLiteral("[In WifiSearching - DoAutoConnect()] ") + saved.network
                    + QStringLiteral(" is a hidden network."));
            }
        }
    }

    if (firstCandidate() < 0) {
        writeLog(QStringLiteral("[In WifiSearching - DoAutoConnect()] Switch to alert view!"));
        m_animationTimer.stop();
        m_pFlow->setAlertType(0);
        m_pFlow->switchView(ALERT_VIEW_ID, 0);
        return;
    }
    writeLog(QStringLiteral("[In WifiSearching - DoAutoConnect()] Ready to connect!"));
    if (m_pFlow->isConnectStatus() && m_pFlow->loginResult() != 2) {
        writeLog(QStringLiteral("[In WifiSearching - DoAutoConnect()] connect OK go to sync view"));
        stopAll();
        m_pFlow->setLastSyncTime(QString());
        m_pFlow->switchView(SYNC_VIEW_ID, 0);
        return;
    }
    writeLog(QStringLiteral("[In WifiSearching - DoAutoConnect()] Start to connect!!!"));
    joinSlot(firstCandidate());
    writeLog(QStringLiteral("[In WifiSearching - DoAutoConnect()] Connect to ") + m_pFlow->getWiFiSettings().network
        + QStringLiteral(" , connect time : ") + QString::number(m_tickCount + 1));
    startAutoConnectTimer(JOIN_TICK_MS);
}

int WiFiSearchingView::firstCandidate() const
{
    for (int k = 0; k < kSlots; ++k)
        if (m_inRange[k])
            return k;
    return -1;
}

void WiFiSearchingView::joinSlot(int slot)
{
    m_pFlow->setSavedNetworkCursor(slot);
    m_pFlow->setWiFiSettings(m_pFlow->savedSettings(slot));
    m_inRange[slot] = false;
    const QString name = m_pFlow->getWiFiSettings().network;
    m_searchInfo->setText(QObject::tr("Connecting With \n%1").arg(kivowifi::shortNetworkName(name)));
    m_pFlow->joinNetwork();
}

void WiFiSearchingView::startAutoConnectTimer(int ms)
{
    m_autoConnectMs = ms;
    m_autoConnectTimer.start(kivowifi::screenInterval(ms), this);
}

void WiFiSearchingView::stopAll()
{
    m_autoConnectTimer.stop();
    m_pFlow->stopStatusTimer();
    m_animationTimer.stop();
}

void WiFiSearchingView::giveUp()
{
    if (m_pFlow->startMode() == 100) {
        m_pFlow->onExitBtnClick();
        return;
    }
    m_pFlow->setAlertType(0);
    m_pFlow->switchView(ALERT_VIEW_ID, 0);
}

void WiFiSearchingView::stopTimers()
{
    m_autoConnectTimer.stop();
    m_animationTimer.stop();
    hide();
}

void WiFiSearchingView::startCheckBrowser()
{
    writeLog(QStringLiteral("[In WifiSearching - startCheckBrowser()]  thread->start()"));
    kivowifi::startPortalProbe();
}

void WiFiSearchingView::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_autoConnectTimer.timerId()) {
        KivoWiFiBaseVirtualList::timerEvent(event);
        return;
    }
    WiFiSettings inUse = m_pFlow->getWiFiSettings();
    // Only the network being joined counts: an association that lingers from
    // another network is not this join's success.
    if (!m_pFlow->isConnectedTo(inUse.network)) {
        if (m_tickCount < TICKS_PER_CANDIDATE - 1) {
            ++m_tickCount;
            writeLog(QStringLiteral("[In WifiSearching - timerEvent()] Connect to ") + inUse.network
                + QStringLiteral(" , connect time : ") + QString::number(m_tickCount + 1));
            return;
        }
        m_probeState = 0;
        m_tickCount = 0;
        writeLog(QStringLiteral("[In WifiSearching - timerEvent()] can't connect to wifi"));
        if (m_pFlow->savedSettingsReadResult() == KivoWiFiFlow::RESULT_NO_SETTINGS || inUse.network.isEmpty()) {
            stopAll();
            if (m_pFlow->startMode() != 100)
                writeLog(QStringLiteral("[In WifiSearching - timerEvent()] Can't connect to wifi ; "
                                        "m_pFlow->m_WiFiSettings.SettingsNetwork = NULL"));
            giveUp();
            return;
        }
        if (isPlaceholder(inUse)) {
            writeLog(QStringLiteral(
                "[In WifiSearching - timerEvent()] Can't connect to wifi. The ini file's network is BravikDefault"));
            stopAll();
            giveUp();
            return;
        }
        const int cursor = m_pFlow->savedNetworkCursor();
        if (cursor < 0 || cursor >= kSlots)
            return;
        writeLog(QStringLiteral("[In WifiSearching - timerEvent()] connect fail and read next ap from ini file"));
        const int next = firstCandidate();
        if (next < 0) {
            stopAll();
            writeLog(QStringLiteral(
                "[In WifiSearching - timerEvent()] Already try all networks of ini file and connect fail!"));
            giveUp();
            return;
        }
        writeLog(QStringLiteral("[In WifiSearching - timerEvent()] InNetworkList[%1] = true").arg(next));
        joinSlot(next);
        const QString name = m_pFlow->getWiFiSettings().network;
        writeLog(QStringLiteral("[In WifiSearching - timerEvent()] try to connect SSID = %1").arg(name));
        writeLog(QStringLiteral("[In WifiSearching - timerEvent()] Connect to ") + name
            + QStringLiteral(" , connect time : 1"));
        return;
    }

    KivoWiFiFlow::clearEapolRegistry();
    m_tickCount = 0;
    if (m_probeState != 100) {
        writeLog(QStringLiteral("[In WifiSearching - timerEvent()] connect successful and call browser test_zk() function"));
        startCheckBrowser();
        m_probeState = 100;
        return;
    }
    m_pFlow->readLaunchBrowserStatus();
    const QString status = m_pFlow->getBrowserStatus().launchBrowser;
    if (status == QLatin1String("0")) {
        writeLog(QStringLiteral("[In WifiSearching - timerEvent()] get ZKstatus = 0"));
        if (!m_browserStarted) {
            writeLog(QStringLiteral("[In WifiSearching - timerEvent()] get ZKstatus = 0 and lunch Browser"));
            onCheckZKStatusSlot(0);
            m_browserStarted = true;
        } else if (m_pFlow->loginResult() == 1) {
            writeLog(QStringLiteral(
                "[In WifiSearching - timerEvent()] get ZKstatus = 0 browser send success message go to Sync View"));
            onCheckZKStatusSlot(1);
        } else if (m_pFlow->loginResult() == 2) {
            writeLog(QStringLiteral(
                "[In WifiSearching - timerEvent()] get ZKstatus = 0 browser send fail message go to Alert View"));
            onCheckZKStatusSlot(-1);
        }
    } else if (status == QLatin1String("1")) {
        writeLog(QStringLiteral("[In WifiSearching - timerEvent()] get ZKstatus = 1"));
        onCheckZKStatusSlot(1);
    } else if (status == QLatin1String("2")) {
        writeLog(QStringLiteral("[In WifiSearching - timerEvent()]get ZKstatus = 2"));
        onCheckZKStatusSlot(-1);
    }
}

void WiFiSearchingView::onCheckZKStatusSlot(int status)
{
    if (status == 0) {
        m_autoConnectTimer.stop();
        m_pFlow->stopStatusTimer();
        m_probeState = 100;
        writeLog(QStringLiteral("[In WifiSearching - timerEvent()] test_zk() = 0 create browser process START"));
        m_pFlow->setLoginPending(true);
        if (!kivowifi::launchPortalBrowser())
            writeLog(QStringLiteral("[In WifiSearching - onCheckZKStatusSlot()] the browser could not be started"));
        startAutoConnectTimer(BROWSER_TICK_MS);
        writeLog(QStringLiteral("[In WifiSearching - onCheckZKStatusSlot()] test_zk() = 0 create browser process END "
                                "Created new timer ever 11 sec"));
        return;
    }
    if (status > 0) {
        writeLog(QStringLiteral("[In WifiSearching - onCheckZKStatusSlot()] test_zk() > 0 go to Sync view"));
        stopAll();
        const int cursor = m_pFlow->savedNetworkCursor();
        const WiFiSettings record = m_pFlow->savedSettings(cursor);
        m_pFlow->setWiFiSettings(record);
        m_pFlow->setJoiningName(record.network);
        if (record.userName == QLatin1String("Hidden")) {
            for (int i = 0, n = m_pFlow->getAPCount(); i < n; ++i) {
                if (m_pFlow->getAPName(i) == record.network) {
                    m_pFlow->setSavedAPIndex(i);
                    writeLog(QStringLiteral("m_GetSaveAPIndex = %1").arg(i));
                    break;
                }
            }
        } else if (record.userName == QLatin1String("User")) {
            m_pFlow->setSavedAPIndex(m_pFlow->slotVisibleIndex(cursor));
        }
        m_probeState = 100;
        m_pFlow->setLastSyncTime(QString());
        m_pFlow->saveWiFiSettings();
        m_pFlow->readWiFiSettings();
        m_pFlow->switchView(SYNC_VIEW_ID, 0);
        return;
    }
    writeLog(QStringLiteral(
        "[In WifiSearching - onCheckZKStatusSlot()] test_zk() <0 connect to internet fail go to alert view"));
    m_pFlow->clearEapolSettings();
    m_autoConnectTimer.stop();
    if (kivowifi::writeLaunchBrowser(kivowifi::LAUNCH_BROWSER_NO_RESULT))
        writeLog(QStringLiteral("[In WifiSearching - onCheckZKStatusSlot()] LaunchBrowser=999 and set defult"));
    m_pFlow->setAlertType(0);
    m_pFlow->switchView(ALERT_VIEW_ID, 0);
}

// ---- buttons and animation -------------------------------------------------------------

void WiFiSearchingView::onAPListItemSelected(QModelIndex) { }

void WiFiSearchingView::onRefreshBtnClick()
{
    m_autoConnectTimer.stop();
    m_pFlow->clearEapolSettings();
    m_pFlow->stopStatusTimer();
    m_animationTimer.stop();
    m_pFlow->switchView(MAIN_VIEW_ID, 0);
}

void WiFiSearchingView::onAutoSyncBtnClick()
{
    m_pFlow->readLaunchBrowserStatus();
    const QString status = m_pFlow->getBrowserStatus().launchBrowser;
    m_autoSyncBtn->setEnabled(false);
    const bool on = status == QLatin1String("0");
    if (kivowifi::writeAutoSync(on))
        m_tick->setVisible(on);
    m_pFlow->readLaunchBrowserStatus();
    const QString again = m_pFlow->getBrowserStatus().launchBrowser;
    if (again == QLatin1String("0") || again == QLatin1String("1"))
        m_autoSyncBtn->setEnabled(true);
}

void WiFiSearchingView::loadpic()
{
    int frame = m_pFlow->loadingFrame() + 1;
    m_pFlow->setLoadingFrame(frame);
    m_framePixmap = kivowifi::skinPixmap(QStringLiteral(":/Loading_big/i_loading_%1.png").arg(frame));
    m_loading->setImage(m_framePixmap);
    m_loading->repaint();
    if (frame > 8)
        m_pFlow->setLoadingFrame(1);
}

bool WiFiSearchingViewTestAccess::tick(WiFiSearchingView& v)
{
    if (!v.m_autoConnectTimer.isActive())
        return false;
    QTimerEvent event(v.m_autoConnectTimer.timerId());
    v.timerEvent(&event);
    return true;
}
