#include "wifi/views/WiFiSyncView.h"

#include "controls/core/phxIcon.h"
#include "controls/core/phxPushButton.h"
#include "platform/paths.h"
#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/sync/wifisync.h"
#include "wifi/views/forms/WiFiSyncView480x272Class.h"
#include "wifi/views/screen_styles.h"
#include "wifi/views/view_timing.h"

#include <QDate>
#include <QEvent>
#include <QFile>
#include <QTime>
#include <QTimerEvent>

#include <exception>
#include <memory>

namespace {

WiFiSyncView::RunForTests& runForTests()
{
    static WiFiSyncView::RunForTests run;
    return run;
}

WiFiSyncView::CheckForTests& checkForTests()
{
    static WiFiSyncView::CheckForTests check;
    return check;
}

// The network name as the screen shows it: from 16 characters on, its first
// 12 and "...".
QString shownNetworkName(const QString& name)
{
    return name.size() >= 16 ? name.left(12) + QStringLiteral("...") : name;
}

bool writeAutoSync(bool on)
{
    QFile file(QString::fromStdString(ce::resolvePath("AutoSync.ini")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(on ? "WifiSyncOnOff=1" : "WifiSyncOnOff=0");
    return true;
}

} // namespace

// Marks a call during which the screen must stay alive; the last one to end
// hands the screen over to a deletion asked for meanwhile.
class WiFiSyncView::Busy {
public:
    explicit Busy(WiFiSyncView& view)
        : m_view(view)
    {
        ++m_view.m_busy;
    }
    ~Busy()
    {
        if (--m_view.m_busy == 0 && m_view.m_deleteWhenIdle)
            m_view.deleteLater();
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    WiFiSyncView& m_view;
};

void WiFiSyncView::setRunForTests(RunForTests run)
{
    runForTests() = std::move(run);
}

void WiFiSyncView::setCheckForTests(CheckForTests check)
{
    checkForTests() = std::move(check);
}

WiFiSyncView::WiFiSyncView(const QString&, KivoWiFiFlow* flow)
    : KivoWiFiBaseVirtualList(flow)
    , m_form(new WiFiSyncView480x272Class)
    , m_flow(flow)
{
    m_form->setupUi(this);
    m_message = m_form->SearchInfo;
    m_title = m_form->lblTitleText;
    m_settingsBtn = m_form->RefBtn;
    m_exitBtn = m_form->btnBack;
    kivowifi::setButtonSymbol(m_exitBtn, QLatin1String(kivowifi::kExitSymbol));
    m_autoSyncBtn = m_form->AutoSyncBtn;
    m_tick = m_form->icon;
    m_loading = m_form->Shade_2;

    m_title->setText(QObject::tr("WIFI Sync"));
    m_settingsBtn->setText(QObject::tr("WIFI Settings"));
    m_autoSyncBtn->setText(QObject::tr("Sync at Start-up            "));

    connect(m_settingsBtn, SIGNAL(clicked(bool)), this, SLOT(backBtnClick()));
    if (m_flow)
        connect(m_exitBtn, SIGNAL(clicked(bool)), m_flow, SLOT(onExitBtnClick()));
    connect(m_autoSyncBtn, SIGNAL(clicked(bool)), this, SLOT(onAutoSyncBtnClick()));
    setStyleSheets(m_flow ? m_flow->currentDayNightMode() : QStringLiteral("Day"));

    if (m_flow && m_flow->startMode() == 100) {
        m_settingsBtn->hide();
        m_autoSyncBtn->hide();
        m_tick->hide();
    } else if (m_flow) {
        m_flow->readLaunchBrowserStatus();
        const QString status = m_flow->getBrowserStatus().launchBrowser;
        if (status == QLatin1String("1"))
            m_tick->show();
        else if (status == QLatin1String("0"))
            m_tick->hide();
    }

    m_framePixmap = kivowifi::skinPixmap(QStringLiteral(":/Loading_big/i_loading_1.png"));
    m_loading->setImage(m_framePixmap);
    connect(&m_animationTimer, SIGNAL(timeout()), this, SLOT(loadpic()));
    m_message->setText(QStringLiteral("WifiSync"));
    showinfo();
}

WiFiSyncView::~WiFiSyncView()
{
    m_stepTimer.stop();
    m_animationTimer.stop();
    m_resyncTimer.stop();
    delete m_form;
}

void WiFiSyncView::writeLog(const QString& text)
{
    if (m_flow)
        m_flow->writeLog(text);
}

void WiFiSyncView::setStyleSheets(const QString& mode)
{
    m_form->virtuallist->setStyleSheet(kivowifi::listStyleSheet(mode));
    m_form->wgEnd->setStyleSheet(mode == QLatin1String("Day")
            ? QStringLiteral("QWidget{                        background-image: url(:/Background/main_bg.png);}")
            : QStringLiteral("QWidget{                     background-image: url(:/Background/main_bg.png)}"));
    // The texts are black by day and white by night, as the rows'.
    m_message->setStyleSheet(mode == QLatin1String("Day") ? QStringLiteral("color: rgb(0, 0, 0);")
                                                          : QStringLiteral("color: rgb(255, 255, 255);"));
    const QString buttons = kivowifi::screenButtonStyleSheet(kivowifi::normalButtonWidth());
    m_settingsBtn->setStyleSheet(buttons);
    m_exitBtn->setStyleSheet(buttons);
}

void WiFiSyncView::showinfo()
{
    m_animationTimer.start(kivowifi::screenInterval(LOADING_FRAME_MS));
    if (m_flow && !m_flow->lastSyncTime().isEmpty()) {
        writeLog(QStringLiteral("[In WifiSyncView - showinfo()] m_SyncDate != NULL"));
        m_message->setText(m_flow->lastSyncedText().arg(m_flow->lastSyncTime()));
        m_loading->hide();
        m_animationTimer.stop();
        connect(&m_resyncTimer, SIGNAL(timeout()), this, SLOT(GotoReSync()), Qt::UniqueConnection);
        m_resyncTimer.start(kivowifi::screenInterval(RESYNC_MS));
        writeLog(QStringLiteral("[In WifiSyncView - showinfo()] show now date and 3 min call GotoReSync()"));
        return;
    }
    writeLog(QStringLiteral("[In WifiSyncView - showinfo()] m_SyncDate = NULL"));
    m_stepMs = STEP_MS;
    m_stepTimer.start(kivowifi::screenInterval(m_stepMs), this);
    const QString network = m_flow ? m_flow->getWiFiSettings().network : QString();
    m_message->setText(QObject::tr("Connecting With \n%1").arg(shownNetworkName(network)));
    m_step = 1;
    writeLog(QStringLiteral("[In WifiSyncView - showinfo()] Show SSID and go to check sync status"));
}

bool WiFiSyncView::isReleased() const
{
    return m_deleteWhenIdle || !m_flow || m_flow->view(SYNC_VIEW_ID) != this;
}

bool WiFiSyncView::event(QEvent* event)
{
    // Deleted under its own check or run (a deletion asked for by a slot the
    // wait served), the screen and its engine would be gone when the call
    // returns: the deletion waits until then.
    if (event->type() == QEvent::DeferredDelete && m_busy > 0) {
        m_deleteWhenIdle = true;
        hide();
        return true;
    }
    return KivoWiFiBaseVirtualList::event(event);
}

QString WiFiSyncView::syncTimeNow()
{
    const QString now = QStringLiteral("%1 %2").arg(
        QTime::currentTime().toString(Qt::TextDate), QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    if (m_flow)
        m_flow->setLastSyncTime(now);
    return now;
}

QString WiFiSyncView::elapsedSeconds() const
{
    return QString::number(m_stopwatch.isValid() ? m_stopwatch.elapsed() / 1000 : 0);
}

void WiFiSyncView::showAlert(int type)
{
    m_outcomeShown = true;
    m_flow->setAlertType(type);
    m_flow->switchView(ALERT_VIEW_ID, 0);
}

void WiFiSyncView::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_stepTimer.timerId()) {
        KivoWiFiBaseVirtualList::timerEvent(event);
        return;
    }
    writeLog(QStringLiteral("[In WifiSyncView - timerEvent()] test_zk() > 0 connect to internet successful."));
    if (m_step != 1 || m_busy > 0 || isReleased())
        return;
    Busy busy(*this);

    m_stopwatch.start();
    m_message->setText(QObject::tr("Detecting your device..."));
    writeLog(QStringLiteral("[In WifiSyncView - timerEvent()] Device detecting start."));
    m_flow->CurrentNetworkStatus();
    QString code;
    checkConnectServerStatus(code);
    if (isReleased()) {
        m_stepTimer.stop();
        return;
    }
    m_flow->CurrentNetworkStatus();
    writeLog(QStringLiteral("[In WifiSyncView - timerEvent()] get detect device time : %1").arg(elapsedSeconds())
        + QStringLiteral(" seconds."));
    writeLog(QStringLiteral("[In WifiSyncView - timerEvent()] check connect to server status: %1").arg(code));

    int alert = -1;
    if (code == QLatin1String("E123001")) {
        alert = 10;
    } else if (code == QLatin1String("E123002")) {
        alert = 3;
    } else if (code == QLatin1String("E123003")) {
        alert = 4;
        const QString now = syncTimeNow();
        writeLog(QStringLiteral("[In WifiSyncView - timerEvent()] no new data to sync show end time system =%1 (flow "
                                "=%2)and go to alert view")
                     .arg(now, m_flow->lastSyncTime()));
        m_message->setText(m_flow->lastSyncedText().arg(now));
    } else if (code == QLatin1String("E123004")) {
        alert = 5;
        writeLog(QStringLiteral(
            "[In WifiSyncView - timerEvent()] Lack of 5 MB space in device.Please delete some files in device."));
    } else if (code == QLatin1String("E123005")) {
        alert = 11;
        writeLog(QStringLiteral(
            "[In WifiSyncView - timerEvent()] Some essential parameter missing, check device.xml existed or not."));
    }
    if (alert >= 0) {
        ++m_step;
        writeLog(QStringLiteral("[In WifiSyncView - timerEvent()] ") + code);
        m_stepTimer.stop();
        showAlert(alert);
        return;
    }
    m_stepTimer.stop();
    startWiFiSync();
}

void WiFiSyncView::checkConnectServerStatus(QString& code)
{
    Busy busy(*this);
    writeLog(QStringLiteral("[In WifiSyncView - checkConnectServerStatus()] "));
    m_sessionID = QString();
    try {
        auto engine = std::make_unique<WiFiSync>();
        code = checkForTests() ? checkForTests()(m_sessionID) : engine->checkServerStatus(m_sessionID);
    } catch (const std::exception& e) {
        writeLog(QString::fromLocal8Bit(e.what()));
        code = QStringLiteral("E123001");
    }
}

void WiFiSyncView::startWiFiSync()
{
    Busy busy(*this);
    writeLog(QStringLiteral("[In WifiSyncView - startWiFiSync()] start sync"));
    m_stopwatch.start();
    m_stepTimer.stop();
    m_outcomeShown = false;
    try {
        auto engine = std::make_unique<WiFiSync>();
        connect(engine.get(), SIGNAL(wifiSyncStatusSignal(int, QString, QString)), this,
            SLOT(onWiFiSyncStatusSlot(int, QString, QString)));
        connect(engine.get(), SIGNAL(wifiSyncFinishSignal(int, int, int, int, QString)), this,
            SLOT(onWiFiSyncFinishSlot(int, int, int, int, QString)));
        connect(engine.get(), SIGNAL(wifiSyncErrorSignal(QString)), this, SLOT(onWiFiSyncErrorSlot(QString)));
        connect(engine.get(), SIGNAL(wifiSyncAllGpxSyncFinishedSignal(int, int, QString)), this,
            SLOT(onWiFiSyncSucessSlot(int, int, QString)));
        const QString session = m_sessionID;
        if (runForTests())
            runForTests()(*engine, session);
        else
            engine->WiFiSyncInit(session);
    } catch (const std::exception& e) {
        writeLog(QStringLiteral("[In WifiSyncView - startWiFiSync()] sync failed: %1")
                     .arg(QString::fromLocal8Bit(e.what())));
    }
    // A run that ended without an outcome would leave "Updating..." on the
    // screen for good, and the auto-sync start mode would never end.
    if (!m_outcomeShown && !isReleased()) {
        writeLog(QStringLiteral("[In WifiSyncView - startWiFiSync()] the run ended without a result, go alert"));
        m_settingsBtn->setEnabled(true);
        showAlert(12);
    }
}

void WiFiSyncView::backBtnClick()
{
    m_flow->releaseViews();
    writeLog(QStringLiteral("[In WifiSyncView - backBtnClick]"));
    m_flow->pushViewId(SEARCHING_VIEW_ID);
    m_flow->setCurrentViewId(SEARCHING_VIEW_ID);
    m_flow->switchView(MAIN_VIEW_ID, 0);
}

void WiFiSyncView::GotoReSync()
{
    writeLog(QStringLiteral("[In WifiSyncView - GotoReSync()] every 3 min go to searching view"));
    m_flow->releaseViews();
    m_flow->readWiFiSettings();
    m_resyncTimer.stop();
    m_flow->clearEapolSettings();
    m_flow->switchView(SEARCHING_VIEW_ID, 0);
}

void WiFiSyncView::onSyncAsStartupBtnClick() { }

void WiFiSyncView::onWiFiSyncStatusSlot(int nActionType, QString szDetail, QString szError)
{
    if (isReleased())
        return;
    switch (nActionType) {
    case 0:
        if (!szDetail.isEmpty()) {
            m_settingsBtn->setEnabled(true);
            writeLog(QStringLiteral("[In WifiSyncView - onWiFiSyncStatusSlot()] WIFISYNC_SYNC_FINISH"));
        }
        break;
    case 1:
        if (szError.contains(QLatin1String("E123002"))) {
            writeLog(QStringLiteral("[In WifiSyncView - onWiFiSyncStatusSlot()] E123002 CHECK_UUID_ERROE"));
            m_stepTimer.stop();
            showAlert(3);
        }
        break;
    case 2:
        if (szError.contains(QLatin1String("E123003"))) {
            syncTimeNow();
            writeLog(QStringLiteral("[In WifiSyncView - onWiFiSyncStatusSlot()] E123003 NO_NEWITEMS_SYNC"));
            writeLog(QStringLiteral("[In WifiSyncView - onWiFiSyncErrorSlot(E123006)] get sync time : %1")
                         .arg(elapsedSeconds())
                + QStringLiteral(" seconds."));
            m_stepTimer.stop();
            showAlert(4);
        }
        break;
    case 3:
        if (szError.contains(QLatin1String("E123004"))) {
            writeLog(QStringLiteral("[In WifiSyncView - onWiFiSyncStatusSlot()] E123004 SPACE_NOT_ENOUGH"));
            m_stepTimer.stop();
            showAlert(5);
        }
        break;
    case 4:
        if (szError.contains(QLatin1String("E123001"))) {
            writeLog(QStringLiteral("[In WifiSyncView - onWiFiSyncStatusSlot()] E123001 UNCONNECT_INTERNET_TO_SERVER"));
            m_flow->CurrentNetworkStatus();
            m_stepTimer.stop();
            showAlert(10);
        } else if (szError.contains(QLatin1String("E123005"))) {
            m_stepTimer.stop();
            writeLog(QStringLiteral("[In WifiSyncView - onWiFiSyncStatusSlot()] E123005 MISSING_DEVICEXML"));
            showAlert(11);
        }
        break;
    default:
        break;
    }
}

void WiFiSyncView::onWiFiSyncFinishSlot(
    int nNeedUploadNum, int nNeedDownloadNum, int nCurrent, int nTotal, QString szError)
{
    if (isReleased() || nTotal == 0 || !szError.isEmpty())
        return;
    writeLog(QStringLiteral("[In WifiSyncView - onWiFiSyncFinishSlot()] show update data"));
    writeLog(QStringLiteral("[In WifiSyncView - onWiFiSyncFinishSlot()] %1/%2 ").arg(nCurrent).arg(nTotal));
    m_flow->CurrentNetworkStatus();
    m_settingsBtn->setEnabled(false);
    m_message->setText(QObject::tr("Updating %1 recording(s),\nsyncing %2 saved\n tracks ... %3/%4")
                           .arg(nNeedUploadNum)
                           .arg(nNeedDownloadNum)
                           .arg(nCurrent)
                           .arg(nTotal));
}

void WiFiSyncView::onWiFiSyncErrorSlot(QString szError)
{
    if (isReleased())
        return;
    m_flow->CurrentNetworkStatus();
    writeLog(QStringLiteral("[In WifiSyncView - onWiFiSyncErrorSlot()] get sync time : %1").arg(elapsedSeconds())
        + QStringLiteral(" seconds."));
    m_settingsBtn->setEnabled(true);
    m_flow->releaseViews();
    int alert = 12;
    if (szError.contains(QLatin1String("E123006"))) {
        writeLog(QStringLiteral("[In WifiSyncView - onWiFiSyncErrorSlot(E123006)] SYNC_DATA_FAIL_FULL!! go alert"));
        alert = 13;
    } else {
        writeLog(QStringLiteral("[In WifiSyncView - onWiFiSyncErrorSlot()] SYNC_DATA_FAIL_FULL!! go alert"));
    }
    showAlert(alert);
}

void WiFiSyncView::onWiFiSyncSucessSlot(int nSuccessUploadedNum, int nSuccessDownloadNum, QString szSyncDate)
{
    if (isReleased())
        return;
    m_stepTimer.stop();
    if (nSuccessUploadedNum == 0 && nSuccessDownloadNum == 0) {
        // Nothing was transferred (the server's list held only entries that
        // needed no transfer): still a success, shown as one.
        writeLog(QStringLiteral("[In WifiSyncView - onWiFiSyncSucessSlot()] SYNC_DATA_SUCCESS!! nSuccessUploadedNum "
                                "== 0 && nSuccessDownloadNum == 0)"));
    }
    m_flow->setSyncCounts(nSuccessUploadedNum, nSuccessDownloadNum);
    writeLog(QStringLiteral("[In WifiSyncView - onWiFiSyncSucessSlot()] SYNC_DATA_SUCCESS!!Go Alert and show data"));
    m_flow->setLastSyncTime(szSyncDate);
    m_message->setText(m_flow->lastSyncedText().arg(szSyncDate));
    writeLog(QStringLiteral("[In WifiSyncView - onWiFiSyncSucessSlot()] get sync time : %1").arg(elapsedSeconds())
        + QStringLiteral(" seconds."));
    showAlert(6);
}

void WiFiSyncView::onAutoSyncBtnClick()
{
    m_flow->readLaunchBrowserStatus();
    const QString status = m_flow->getBrowserStatus().launchBrowser;
    m_autoSyncBtn->setEnabled(false);
    const bool on = status == QLatin1String("0");
    if (writeAutoSync(on))
        m_tick->setVisible(on);
    m_flow->readLaunchBrowserStatus();
    const QString again = m_flow->getBrowserStatus().launchBrowser;
    if (again == QLatin1String("0") || again == QLatin1String("1"))
        m_autoSyncBtn->setEnabled(true);
}

void WiFiSyncView::loadpic()
{
    int frame = m_flow ? m_flow->loadingFrame() + 1 : 1;
    m_framePixmap = kivowifi::skinPixmap(QStringLiteral(":/Loading_big/i_loading_%1.png").arg(frame));
    m_loading->setImage(m_framePixmap);
    repaint();
    if (frame > 8)
        frame = 1;
    if (m_flow)
        m_flow->setLoadingFrame(frame);
}
