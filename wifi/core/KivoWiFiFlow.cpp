#include "wifi/core/KivoWiFiFlow.h"

#include "platform/paths.h"
#include "platform/qt/qt_message_pump.h"
#include "platform/wm.h"
#include "wifi/core/IPCHelper.h"
#include "wifi/core/RegistrySettings.h"
#include "wifi/core/SystemHelper.h"
#include "wifi/core/WiFiChechZk.h"
#include "wifi/core/flow_dkcore.h"
#include "wifi/core/flow_instance.h"
#include "wifi/core/probe_files.h"

#include <QLabel>
#include <QSettings>
#include <QTimerEvent>

#include <cstdio>
#include <map>

#include <unistd.h>

namespace {

constexpr const char* kDebugSettings = "\\SystemDrive\\Falmo\\program\\wifi\\DebugSetting.ini";
constexpr const char* kConnectLog = "/SystemDrive/Falmo/program/wifi/Log/WifiConnectLog.txt";
constexpr int kStatusLabelWidth = 200;
constexpr int kStatusLabelHeight = 38;

QPointer<KivoWiFiFlow> g_flow;
bool g_flowCreated = false;

std::map<int, FlowViewOps>& viewTable()
{
    static std::map<int, FlowViewOps> table;
    return table;
}

std::function<void(int)>& exitHandler()
{
    static std::function<void(int)> handler;
    return handler;
}

// The order in which releaseViews lets the screens go.
constexpr int kReleaseOrder[] = {
    MAIN_VIEW_ID,
    SEARCHING_VIEW_ID,
    ALERT_VIEW_ID,
    SYNC_VIEW_ID,
    JOIN_VIEW_ID,
    DISABLED_VIEW_ID,
    INFO_VIEW_ID,
    CONNECTING_VIEW_ID,
    SECURITY_VIEW_ID,
    LIST_VIEW_ID,
    KEYBOARD_VIEW_ID,
};

} // namespace

QSize KivoWiFiFlow::windowSizeForResolution(const QString& resolution)
{
    if (resolution == QLatin1String("480x272"))
        return QSize(240, 400);
    if (resolution == QLatin1String("800x480"))
        return QSize(800, 480);
    return QSize(480, 272);
}

KivoWiFiFlow* KivoWiFiFlow::instance()
{
    if (!g_flowCreated) {
        g_flowCreated = true;
        g_flow = new KivoWiFiFlow();
    }
    return g_flow.data();
}

KivoWiFiFlow* KivoWiFiFlow::existingInstance()
{
    return g_flow.data();
}

void KivoWiFiFlow::setViewOps(int id, FlowViewOps ops)
{
    viewTable()[id] = std::move(ops);
}

void KivoWiFiFlow::setProcessExitHandler(std::function<void(int)> handler)
{
    exitHandler() = std::move(handler);
}

void KivoWiFiFlow::clearEapolRegistry()
{
    RegistrySettings comm(QStringLiteral("HKEY_CURRENT_USER\\Comm"));
    comm.beginGroup(QStringLiteral("EAPOL"));
    comm.remove(QString());
    comm.endGroup();
}

KivoWiFiFlow::KivoWiFiFlow()
    : QWidget(nullptr)
{
    // The screens and every other part reach the flow through the accessor,
    // also while it is still being built.
    if (!g_flow)
        g_flow = this;
    m_statusTimer.setInterval(STATUS_INTERVAL_MS);

    // The window other programs find and bring to the front; made first, so a
    // second start finds it while this one is still starting.
    m_window = ce::createWindow(kivowifi::FLOW_WINDOW_CLASS, "KivoWiFi",
        [](ce::HWND, ce::UINT, ce::WPARAM, ce::LPARAM) { return ce::LRESULT(0); });
    if (m_window) {
        kivo::QtWindowBinding::bind(m_window, this);
        IPCHelper::setFlowWindow(m_window);
    }

    clearEapolRegistry();

    SystemHelper::instance()->init();

    m_configWiFi.startWzc();

    setWindowFlags(Qt::FramelessWindowHint);
    setWindowTitle(QStringLiteral("KivoWiFi"));
    move(0, 0);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(windowSizeForResolution(currentResolution()));

    readWiFiSettings();

    // The label only reports Zero Config events; presses go to the screen
    // below it.
    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("StatusLabel"));
    m_statusLabel->setGeometry(width() - kStatusLabelWidth, 0, kStatusLabelWidth, kStatusLabelHeight);
    m_statusLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_statusLabel->setContentsMargins(0, 0, 4, 0);
    m_statusLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_statusLabel->raise();
    m_statusLabel->show();

    connect(&m_configWiFi, SIGNAL(PostWZCMessage(QString)), this, SLOT(ShowWiFiConnectingStatus(QString)));
    connect(&m_statusTimer, SIGNAL(timeout()), this, SLOT(refreshStatus()));
    m_statusTimer.start();

    QString debugFile = QString::fromStdString(ce::resolvePath(kDebugSettings));
    m_debugSettings = new QSettings(debugFile, QSettings::IniFormat, this);
    m_logEnabled = m_debugSettings->value(QStringLiteral("EnableLog")).toString() == QLatin1String("true");
    m_configWiFi.setLogEnabled(m_logEnabled);

    readDeviceXml();
}

KivoWiFiFlow::~KivoWiFiFlow()
{
    m_statusTimer.stop();
    m_exitTimer.stop();
    if (m_window) {
        if (IPCHelper::flowWindow() == m_window)
            IPCHelper::setFlowWindow(nullptr);
        kivo::QtWindowBinding::unbind(m_window);
        ce::destroyWindow(m_window);
    }
    m_configWiFi.stopWzc();
}

void KivoWiFiFlow::Start()
{
    bool enabled = m_configWiFi.IsEnableWzcServer();
    writeLog(enabled ? QStringLiteral("[In WifiFlow - Start()] m_configWiFi.IsEnableWzcServer(), KIVOWIFI_ENABLEND")
                     : QStringLiteral("[In WifiFlow - Start()] m_configWiFi.IsEnableWzcServer(), KIVOWIFI_DISABLEND"));
    switchView(SEARCHING_VIEW_ID, 0);
    notifyWiFiStatus(enabled ? KIVOWIFI_ENABLEND : KIVOWIFI_DISABLEND);
    show();
    activateWindow();
}

QString KivoWiFiFlow::currentResolution() const
{
    return SystemHelper::instance()->resolution();
}

QString KivoWiFiFlow::currentDayNightMode() const
{
    return SystemHelper::instance()->dayNightMode();
}

QVector<int> KivoWiFiFlow::viewStack() const
{
    const auto& s = m_nav.stack();
    return QVector<int>(s.begin(), s.end());
}

QWidget* KivoWiFiFlow::existingView(int id) const
{
    if (!isScreenViewId(id))
        return nullptr;
    return m_views[id].data();
}

QWidget* KivoWiFiFlow::view(int id) const
{
    return existingView(id);
}

const FlowViewOps& KivoWiFiFlow::ops(int id) const
{
    static const FlowViewOps none;
    auto& table = viewTable();
    auto it = table.find(id);
    return it == table.end() ? none : it->second;
}

QWidget* KivoWiFiFlow::ensureView(int id)
{
    if (QWidget* v = existingView(id))
        return v;
    const FlowViewOps& o = ops(id);
    QWidget* v = o.create ? o.create(this, currentResolution()) : nullptr;
    if (!v) {
        v = new QWidget(this);
        v->setObjectName(QString::number(id));
        v->setGeometry(rect());
    }
    m_views[id] = v;
    return v;
}

void KivoWiFiFlow::hideAllViews()
{
    for (int id = 0; id <= KEYBOARD_VIEW_ID; ++id) {
        QWidget* v = existingView(id);
        if (!v)
            continue;
        if (id == CONNECTING_VIEW_ID || id == SEARCHING_VIEW_ID || id == SYNC_VIEW_ID) {
            if (ops(id).stop)
                ops(id).stop(v);
        }
        v->hide();
    }
}

void KivoWiFiFlow::releaseViews()
{
    for (int id : kReleaseOrder) {
        if (QWidget* v = existingView(id))
            v->deleteLater();
        m_views[id] = nullptr;
    }
    m_nav.clear();
}

void KivoWiFiFlow::pushViewId(int id)
{
    m_nav.push(id);
}

void KivoWiFiFlow::switchView(int id, int mode)
{
    const unsigned generation = ++m_switchGeneration;
    hideAllViews();
    m_nav.enter(id, mode);
    m_AlertSign = false;
    writeLog(QStringLiteral("[In WifiFlow - switchView()] InsertView : ") + QString::fromLatin1(viewLogName(id)));
    writeLog(QStringLiteral("[In WifiFlow - switchView()] View stack : ") + QString::number(m_nav.stack().size()));

    if (isScreenViewId(id)) {
        QWidget* v = ensureView(id);
        prepareView(id, mode, v);
        // A screen's setup may itself switch (the searching screen without a
        // saved network opens the network list): that later switch stands.
        if (generation != m_switchGeneration)
            return;
        v->show();
        if (id == ALERT_VIEW_ID) {
            // The sync screen starts afresh after every alert.
            if (QWidget* sync = existingView(SYNC_VIEW_ID))
                sync->deleteLater();
            m_views[SYNC_VIEW_ID] = nullptr;
        }
    }
    raiseStatusLabel();
}

void KivoWiFiFlow::prepareView(int id, int mode, QWidget* v)
{
    const FlowViewOps& o = ops(id);
    switch (id) {
    case JOIN_VIEW_ID:
        if (m_nav.previous() == MAIN_VIEW_ID) {
            QWidget* list = existingView(MAIN_VIEW_ID);
            const FlowViewOps& lo = ops(MAIN_VIEW_ID);
            m_joinText = (list && lo.text) ? lo.text(list) : QString();
            m_inputType = (list && lo.kind) ? lo.kind(list) : -1;
            if (m_inputType == 3) {
                m_rowIndex = (list && lo.row) ? lo.row(list) : -1;
                if (o.handOff)
                    o.handOff(v, m_joinText, 3, m_rowIndex);
            } else if (o.handOff) {
                o.handOff(v, QString(), m_inputType, -1);
            }
        } else if (o.handOff) {
            if (m_inputType == 1 || m_inputType == 2)
                o.handOff(v, m_keyboardResult, m_inputType, -1);
            else
                o.handOff(v, QString(), -1, -2);
        }
        break;
    case CONNECTING_VIEW_ID:
        m_AlertSign = true;
        if (m_nav.previous() == JOIN_VIEW_ID)
            takeJoinRecord();
        if (o.setup)
            o.setup(v, mode);
        break;
    case ALERT_VIEW_ID:
        m_AlertSign = true;
        if (o.applyAlert)
            o.applyAlert(v, m_alertType);
        else if (m_alertType == ALERT_TYPE_EXIT)
            onExitBtnClick(); // the exit message closes the exit sequence at once
        break;
    case KEYBOARD_VIEW_ID: {
        QWidget* join = existingView(JOIN_VIEW_ID);
        const FlowViewOps& jo = ops(JOIN_VIEW_ID);
        if (join) {
            m_keyboardText = jo.text ? jo.text(join) : QString();
            m_inputType = jo.kind ? jo.kind(join) : -1;
        }
        if (o.handOff)
            o.handOff(v, m_keyboardText, m_inputType, -1);
        break;
    }
    case MAIN_VIEW_ID:
    case SECURITY_VIEW_ID:
    case LIST_VIEW_ID:
    case SEARCHING_VIEW_ID:
        if (o.setup)
            o.setup(v, mode);
        break;
    default: // the Wi-Fi off, information and sync screens need no setup
        break;
    }
}

void KivoWiFiFlow::takeJoinRecord()
{
    QWidget* join = existingView(JOIN_VIEW_ID);
    const FlowViewOps& jo = ops(JOIN_VIEW_ID);
    if (!join || !jo.joinRecord)
        return;
    WiFiSettings record = jo.joinRecord(join);
    writeLog(QStringLiteral("[In WifiFlow - switchView()] Join network : %1 , Encryption : %2 , Authentication : %3")
                 .arg(record.network, record.encryption, record.authentication));
    m_WiFiSettings.encryption = record.encryption;
    m_WiFiSettings.authentication = record.authentication;
    m_WiFiSettings.keyIndex = record.keyIndex;
    m_WiFiSettings.network = record.network;
    m_WiFiSettings.userName = record.userName;
    // "0" is how the records say "no key".
    m_WiFiSettings.password = record.password.isEmpty() ? QStringLiteral("0") : record.password;
    m_joiningName = record.network;
}

int KivoWiFiFlow::slotVisibleIndex(int slot) const
{
    return slot >= 0 && slot < kSlotCount ? m_slotVisibleIndex[slot] : -1;
}

void KivoWiFiFlow::setSlotVisibleIndex(int slot, int index)
{
    if (slot >= 0 && slot < kSlotCount)
        m_slotVisibleIndex[slot] = index;
}

void KivoWiFiFlow::raiseStatusLabel()
{
    m_statusLabel->raise();
    m_statusLabel->show();
}

void KivoWiFiFlow::setJoinText(const QString& text, int inputType)
{
    m_joinText = text;
    m_inputType = inputType;
}

void KivoWiFiFlow::setKeyboardText(const QString& text, int inputType)
{
    m_keyboardText = text;
    m_inputType = inputType;
}

void KivoWiFiFlow::setKeyboardResult(const QString& text, int inputType)
{
    m_keyboardResult = text;
    m_inputType = inputType;
}

void KivoWiFiFlow::ListItemSelected(QModelIndex) { }

void KivoWiFiFlow::onBackBtnClick()
{
    kivowifi::BackConditions c;
    if (m_nav.current() == MAIN_VIEW_ID)
        c.connected = isConnectStatus();
    c.loginPending = m_Need_Pop_Browser;
    c.loginResult = m_loginResult;
    c.savedNetworksPresent = m_savedNetworksPresent;

    kivowifi::BackStep step = m_nav.back(c);
    if (step.log)
        writeLog(QString::fromLatin1(step.log));
    if (step.emptyLastSyncTime)
        m_lastSyncTime.clear();
    if (step.reloadSavedNetworks) {
        m_savedCursor = 0;
        readWiFiSettings();
    }
    if (step.clearJoinEdit) {
        if (QWidget* join = existingView(JOIN_VIEW_ID); join && ops(JOIN_VIEW_ID).leave)
            ops(JOIN_VIEW_ID).leave(join);
    }
    if (step.takeKeyboardResult) {
        QWidget* kb = existingView(KEYBOARD_VIEW_ID);
        const FlowViewOps& ko = ops(KEYBOARD_VIEW_ID);
        setKeyboardResult(kb && ko.text ? ko.text(kb) : QString(), kb && ko.kind ? ko.kind(kb) : m_inputType);
    }
    switch (step.kind) {
    case kivowifi::BackStep::Switch:
        switchView(step.view, step.mode);
        break;
    case kivowifi::BackStep::Exit:
        onExitBtnClick();
        break;
    case kivowifi::BackStep::None:
        writeLog(QStringLiteral("[In WifiFlow - onBackBtnClick()] nothing to go back to"));
        break;
    }
}

void KivoWiFiFlow::onExitBtnClick()
{
    switch (m_nav.current()) {
    case MAIN_VIEW_ID:
    case SEARCHING_VIEW_ID:
    case SYNC_VIEW_ID:
        writeLog(
            QStringLiteral("[In Searching/Sync/Setting - onExitBtnClick()] Switch to alert view and ready to exit."));
        m_alertType = ALERT_TYPE_EXIT;
        switchView(ALERT_VIEW_ID, 0);
        break;
    case ALERT_VIEW_ID:
        clearEapolSettings();
        kivowifi::wifiDkCoreMode(0);
        m_exitTimer.start(EXIT_DELAY_MS, this);
        break;
    default:
        break;
    }
}

void KivoWiFiFlow::endOrderly()
{
    m_exitTimer.stop();
    clearEapolSettings();
    kivowifi::wifiDkCoreMode(0);
    writeLog(QStringLiteral("[In WifiFlow - endOrderly()] Disable Network card and exit this program!"));
    writeLog(QString(97, QLatin1Char('-')));
    endProgram();
}

void KivoWiFiFlow::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_exitTimer.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    m_exitTimer.stop();
    if (QWidget* alert = existingView(ALERT_VIEW_ID); alert && ops(ALERT_VIEW_ID).stop)
        ops(ALERT_VIEW_ID).stop(alert);
    writeLog(
        QStringLiteral("[In WifiFlow - onExitBtnClick() - timerEvent()] Disable Network card and exit this program!"));
    writeLog(QString(97, QLatin1Char('-')));
    endProgram();
}

void KivoWiFiFlow::endProgram()
{
    m_statusTimer.stop();
    // No thread of the program may outlive its end: the wireless layer's
    // event thread and a portal probe still running are stopped first.
    if (!m_configWiFi.stopWzc())
        writeLog(QStringLiteral("[In WifiFlow - timerEvent()] wireless event thread did not stop in time"));
    if (!WiFiChechZk::stopActiveProbe())
        writeLog(QStringLiteral("[In WifiFlow - timerEvent()] portal probe did not stop in time"));
    if (exitHandler()) {
        exitHandler()(0);
        return;
    }
    // The process ends here and now. Leaving the event loop would not do: the
    // timer may fire inside a blocking wait that pumps events (a sync waiting
    // for its answer), and the program would go on until that wait and the
    // rest of its run were over. Files, logs and the registry are written
    // through at each change, so nothing is left to flush but stdio; and its
    // windows are withdrawn, as the exit handlers skipped here would.
    ce::withdrawWindows();
    std::fflush(nullptr);
    ::_exit(0);
}

void KivoWiFiFlow::restartStatusTimer()
{
    m_statusTimer.start(STATUS_INTERVAL_MS);
}

void KivoWiFiFlow::refreshStatus()
{
    int current = m_nav.current();
    bool listShown = current == MAIN_VIEW_ID && existingView(MAIN_VIEW_ID);
    bool searchingShown = current == SEARCHING_VIEW_ID && existingView(SEARCHING_VIEW_ID) && !m_browserLaunched;
    if (listShown || searchingShown)
        m_configWiFi.refreshVisibleList();

    int idx = currentAPIndex();
    int state;
    if (m_configWiFi.isAssociated()) {
        m_currentNetworkIndex = idx;
        m_connected = m_configWiFi.isConnected();
        state = m_connected ? KIVOWIFI_CONNECTED : KIVOWIFI_NOIP;
    } else {
        if (m_graceCount > 0) {
            --m_graceCount;
            m_currentNetworkIndex = idx;
        } else {
            m_currentNetworkIndex = -1;
        }
        state = KIVOWIFI_DISCONNECTED;
        m_connected = false;
    }

    if (listShown && ops(MAIN_VIEW_ID).poll)
        ops(MAIN_VIEW_ID).poll(existingView(MAIN_VIEW_ID));
    else if (searchingShown && ops(SEARCHING_VIEW_ID).poll)
        ops(SEARCHING_VIEW_ID).poll(existingView(SEARCHING_VIEW_ID));

    notifyWiFiStatus(state);
}

void KivoWiFiFlow::notifyWiFiStatus(int state)
{
    if (!kivowifi::isWiFiStateReported(m_wifiState, state))
        return;
    m_wifiState = state;
    IPCHelper::instance()->notifyStatus(state);
}

void KivoWiFiFlow::ShowWiFiConnectingStatus(QString const& eventName)
{
    writeLog(QStringLiteral("[In WifiFlow - ShowWiFiConnectingStatus()] ") + eventName);
    // The event names are for whoever reads the logs; with logging on the
    // label shows the latest one too.
    if (m_logEnabled) {
        // Below the screens' title band (its top 27 pixels stay clear), in
        // small white text on a dark band, readable on either skin and on
        // the dark alert screens.
        if (m_statusLabel->styleSheet().isEmpty())
            m_statusLabel->setStyleSheet(QStringLiteral(
                "QLabel { margin-top: 27px; padding: 0px 3px; font-size: 10px; color: white; "
                "background-color: rgba(0, 0, 0, 170); }"));
        int room = m_statusLabel->contentsRect().width();
        m_statusLabel->setText(m_statusLabel->fontMetrics().elidedText(eventName, Qt::ElideRight, room));
    }
}

int KivoWiFiFlow::currentAPIndex()
{
    ce::WZC_WLAN_CONFIG preferred {};
    if (!m_configWiFi.firstPreferredNetwork(&preferred))
        return -1;
    return m_configWiFi.indexOfVisible(preferred);
}

bool KivoWiFiFlow::isConnectStatus()
{
    return m_configWiFi.isConnected();
}

bool KivoWiFiFlow::isConnectedTo(const QString& ssid)
{
    return !ssid.isEmpty() && m_configWiFi.associatedSsid() == ssid && m_configWiFi.isConnected();
}

void KivoWiFiFlow::clearEapolSettings()
{
    m_configWiFi.clearPreferredList();
    m_loginResult = 0;
    m_Need_Pop_Browser = false;
    clearEapolRegistry();
}

void KivoWiFiFlow::writeLog(const QString& text)
{
    if (m_logEnabled)
        kivowifi::appendLogLine(QString::fromLatin1(kConnectLog), text, true);
}
