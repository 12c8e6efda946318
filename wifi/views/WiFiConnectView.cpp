#include "wifi/views/WiFiConnectView.h"

#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/core/probe_files.h"
#include "wifi/views/WiFiVLItemStyles.h"
#include "wifi/views/forms/WiFiConnectView480x272Class.h"
#include "wifi/views/portal_steps.h"
#include "wifi/views/screen_styles.h"
#include "wifi/views/view_timing.h"

#include <QTimerEvent>

WiFiConnectView::WiFiConnectView(const QString& resolution, KivoWiFiFlow* flow)
    : KivoWiFiBaseVirtualList(flow)
    , m_pFlow(flow)
{
    m_form = new WiFiConnectView480x272Class;
    m_form->setupUi(this);
    m_message = m_form->lblConnectMsg;
    m_cancelBtn = m_form->unConnect;
    m_okBtn = m_form->BlackJoinView;
    m_icon = m_form->ConnectingIcon;
    m_cancelBtn->setText(QObject::tr("Cancel"));
    m_okBtn->setText(QObject::tr("OK"));
    setListProvider(m_form->virtuallist, new WiFiVLItemInfoStyle(resolution));

    connect(m_cancelBtn, SIGNAL(clicked(bool)), this, SLOT(onDisConnectBtnClick2()));
    connect(m_okBtn, SIGNAL(clicked(bool)), this, SLOT(onDisConnectBtnClick()));
    connect(&m_iconTimer, SIGNAL(timeout()), this, SLOT(ConnectIcon()));
    m_iconPixmap = kivowifi::skinPixmap(QStringLiteral(":/Loading_big/i_loading_1.png"));
    m_icon->setImage(m_iconPixmap);
}

WiFiConnectView::~WiFiConnectView()
{
    delete m_form;
}

void WiFiConnectView::writeLog(const QString& text)
{
    if (m_pFlow)
        m_pFlow->writeLog(text);
}

QString WiFiConnectView::shownName() const
{
    return m_shortName.isEmpty() ? m_pFlow->getWiFiSettings().network : m_shortName;
}

void WiFiConnectView::setupView()
{
    m_cancelBtn->show();
    m_okBtn->hide();
    m_probeState = 0;
    m_probeTicks = 0;
    if (m_pFlow->isConnectStatus()) {
        m_notConnectedTicks = -1;
        writeLog(QStringLiteral("[In WiFiConnectView - setupView()] Another network is connected!"));
    } else {
        m_notConnectedTicks = 0;
    }

    m_shortName.clear();
    const QString name = m_pFlow->getWiFiSettings().network;
    if (name.size() >= 16)
        m_shortName = kivowifi::shortNetworkName(name);
    m_message->setText(QObject::tr("Connecting") + QStringLiteral("\n \"") + shownName() + QStringLiteral("\""));

    m_icon->show();
    m_iconTimer.start(kivowifi::screenInterval(ICON_FRAME_MS));
    m_pFlow->joinNetwork();
    m_pollMs = POLL_MS;
    m_pollTimer.start(kivowifi::screenInterval(m_pollMs), this);
}

void WiFiConnectView::stopTimers()
{
    m_pollTimer.stop();
    m_iconTimer.stop();
    hide();
}

void WiFiConnectView::startCheckBrowser()
{
    writeLog(QStringLiteral("[In WiFiConnectView - startCheckBrowser()]  thread->start()"));
    kivowifi::startPortalProbe();
}

void WiFiConnectView::showFailure()
{
    m_icon->hide();
    m_cancelBtn->hide();
    m_okBtn->show();
    m_message->setText(
        QObject::tr("Unable to connect to\n the network\n") + QStringLiteral(" \"") + shownName() + QStringLiteral("\""));
    m_pollTimer.stop();
    m_iconTimer.stop();
    m_probeState = 0;
}

void WiFiConnectView::onDisConnectBtnClick()
{
    m_pollTimer.stop();
    m_iconTimer.stop();
    m_pFlow->clearEapolSettings();
    if (kivowifi::writeLaunchBrowser(kivowifi::LAUNCH_BROWSER_NO_RESULT))
        writeLog(QStringLiteral("[In WiFiConnectView - onDisConnectBtnClick()] LaunchBrowser=999 and set defult"));
    m_pFlow->switchView(JOIN_VIEW_ID, 0);
}

void WiFiConnectView::onDisConnectBtnClick2()
{
    onDisConnectBtnClick();
}

void WiFiConnectView::ConnectIcon()
{
    m_iconPixmap = kivowifi::skinPixmap(QStringLiteral(":/Loading_big/i_loading_%1.png").arg(m_iconFrame));
    m_icon->setImage(m_iconPixmap);
    m_icon->repaint();
    if (++m_iconFrame > 8)
        m_iconFrame = 1;
}

void WiFiConnectView::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_pollTimer.timerId()) {
        KivoWiFiBaseVirtualList::timerEvent(event);
        return;
    }
    // Only the network being joined counts: an association that lingers from
    // the network before must not be probed and saved as this one.
    if (!m_pFlow->isConnectedTo(m_pFlow->getWiFiSettings().network)) {
        if (m_notConnectedTicks != 2) {
            writeLog(QStringLiteral("[In WifiConnectView - m_pFlow->timerEvent()] m_pFlow->isConnectStatus() = false "
                                    "and m_CountdisConnect++"));
            ++m_notConnectedTicks;
            return;
        }
        m_notConnectedTicks = 0;
        writeLog(QStringLiteral(
            "[In WifiConnectView - m_pFlow->timerEvent()] m_pFlow->isConnectStatus() = false 9 sec show alert"));
        showFailure();
        return;
    }
    if (m_probeState != 100) {
        if (kivowifi::writeLaunchBrowser(kivowifi::LAUNCH_BROWSER_NO_RESULT))
            writeLog(QStringLiteral("[In WiFiConnectView - timerEvent()] LaunchBrowser=999 and set defult"));
        writeLog(QStringLiteral(
            "[In WiFiConnectView - timerEvent()] connect successful will call browser test_zk() function"));
        startCheckBrowser();
        m_probeState = 100;
        m_probeTicks = 0;
        return;
    }
    m_pFlow->readLaunchBrowserStatus();
    const QString verdict = m_pFlow->getBrowserStatus().launchBrowser;
    if (verdict == QLatin1String("0")) {
        m_pollTimer.stop();
        m_probeState = 0;
        m_probeTicks = 0;
        writeLog(QStringLiteral("[In WifiConnectView - timerEvent()]get ZKstatus == 0"));
        m_pFlow->setLoginPending(true);
        m_pFlow->setScreenShown(true);
        if (!kivowifi::launchPortalBrowser())
            writeLog(QStringLiteral("[In WifiConnectView - timerEvent()] the browser could not be started"));
        m_iconTimer.stop();
        m_pFlow->switchView(MAIN_VIEW_ID, 0);
    } else if (verdict == QLatin1String("1")) {
        m_pollTimer.stop();
        m_probeState = 0;
        m_probeTicks = 0;
        writeLog(QStringLiteral("[In WifiConnectView - timerEvent()]get ZKstatus == 1"));
        m_pFlow->setLoginPending(false);
        writeLog(QStringLiteral("[In WifiConnectView - m_pFlow->saveWiFiSettings()] Save AP!"));
        m_pFlow->saveWiFiSettings();
        m_pFlow->readWiFiSettings();
        m_pFlow->setLastSyncTime(QString());
        m_iconTimer.stop();
        m_pFlow->switchView(SYNC_VIEW_ID, 0);
    } else if (verdict == QLatin1String("2")) {
        m_pollTimer.stop();
        m_probeState = 0;
        m_probeTicks = 0;
        writeLog(QStringLiteral("[In WifiConnectView - timerEvent()]get ZKstatus == 2 connect fail go to main view"));
        m_pFlow->clearEapolSettings();
        m_iconTimer.stop();
        m_pFlow->switchView(MAIN_VIEW_ID, 0);
    } else if (m_probeTicks >= 6) {
        writeLog(QStringLiteral(
            "[In WifiConnectView - m_pFlow->timerEvent()] Browser no response 18sec show alert."));
        showFailure();
    } else {
        writeLog(QStringLiteral("[In WifiConnectView - m_pFlow->timerEvent()] Browser no response"));
        ++m_probeTicks;
    }
}

bool WiFiConnectViewTestAccess::tick(WiFiConnectView& v)
{
    if (!v.m_pollTimer.isActive())
        return false;
    QTimerEvent event(v.m_pollTimer.timerId());
    v.timerEvent(&event);
    return true;
}
