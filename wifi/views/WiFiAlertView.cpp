#include "wifi/views/WiFiAlertView.h"

#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/views/forms/WiFiAlertView480x272Class.h"
#include "wifi/views/screen_styles.h"
#include "wifi/views/view_timing.h"

WiFiAlertView::WiFiAlertView(const QString&, KivoWiFiFlow* flow)
    : KivoWiFiBaseView(flow)
    , m_form(new WiFiAlertView480x272Class)
    , m_flow(flow)
{
    m_form->setupUi(this);
    m_message = m_form->AlertInfo;
    m_okBtn = m_form->BlackView;
    m_yesBtn = m_form->Yes;
    m_noBtn = m_form->Nox;
    m_loadingIcon = m_form->LoadingIcon;
    m_okBtn->setText(QObject::tr("OK"));
    m_yesBtn->setText(QObject::tr("      Yes"));
    m_noBtn->setText(QObject::tr("     No"));

    m_framePixmap = kivowifi::skinPixmap(QStringLiteral(":/Loading_big/i_loading_1.png"));
    m_loadingIcon->setImage(m_framePixmap);
    connect(&m_animationTimer, SIGNAL(timeout()), this, SLOT(loadpic()));
    m_loadingIcon->hide();
    changeAlertType();
}

WiFiAlertView::~WiFiAlertView()
{
    m_animationTimer.stop();
    delete m_form;
}

QString WiFiAlertView::withSentenceBreaks(QString text)
{
    for (int i = 0; i < text.length(); ++i) {
        if (text.at(i) == QLatin1Char('.') && i + 1 < text.length() && text.at(i + 1) == QLatin1Char(' ')
            && i + 1 != text.length() - 1)
            text.insert(i + 2, QLatin1Char('\n'));
    }
    return text;
}

void WiFiAlertView::wire(phxPushButton* button, const char* slot)
{
    // Only this screen's own earlier actions go: the button's sound hook
    // stays.
    disconnect(button, SIGNAL(clicked(bool)), this, nullptr);
    if (m_flow)
        disconnect(button, SIGNAL(clicked(bool)), m_flow, nullptr);
    if (slot)
        connect(button, SIGNAL(clicked(bool)), this, slot);
    else if (m_flow)
        connect(button, SIGNAL(clicked(bool)), m_flow, SLOT(onExitBtnClick()));
}

void WiFiAlertView::showOk(const QString& message, const char* slot)
{
    m_message->setText(message);
    m_yesBtn->hide();
    m_noBtn->hide();
    m_okBtn->show();
    wire(m_okBtn, slot);
}

void WiFiAlertView::changeAlertType()
{
    if (!m_flow)
        return;
    const int type = m_flow->alertType();
    const bool autoSync = m_flow->startMode() == 100;
    // In the auto-sync start mode the single button of most alerts ends the
    // program.
    auto action = [autoSync](const char* slot) { return autoSync ? nullptr : slot; };
    const QString failedSync = QObject::tr("Failed to sync due to connection problems.\n Please try again later.");
    const QString noServer = QObject::tr("Unable to connect\n to server.\nPlease try again later.");

    switch (type) {
    case 0:
        showOk(QObject::tr("Select a network from WIFI Settings."), action(SLOT(onEnableBtnClick())));
        break;
    case 1:
        showOk(QObject::tr("The network %1 is not in range.").arg(m_flow->getWiFiSettings().network),
            action(SLOT(onEnableBtnClick())));
        break;
    case 2:
    case 10:
        showOk(noServer, action(SLOT(onSyncFailBtnClick())));
        m_flow->CurrentNetworkStatus();
        break;
    case 3:
        showOk(m_flow->registerDeviceText(), nullptr);
        break;
    case 4:
        showOk(QObject::tr("No new recordings or\n saved tracks are available for sync."), action(SLOT(onSyncBtnClick())));
        m_flow->writeLog(QStringLiteral("[In WifiAlertView - changeAlertType()] NO_NEWITEMS_SYNC"));
        break;
    case 5:
        showOk(QObject::tr("Insufficient space,\n extra 5MB required.\n Please delete some files first."), nullptr);
        break;
    case 6:
        showOk(withSentenceBreaks(QObject::tr("%1 recording(s)\n updated and %2\nsaved track(s) synced\n successfully.")
                                      .arg(m_flow->uploadedCount())
                                      .arg(m_flow->downloadedCount())),
            action(SLOT(onSyncBtnClick())));
        break;
    case 7:
        showOk(failedSync, action(SLOT(onSyncFailBtnClick())));
        break;
    case 8:
        m_message->setText(QObject::tr("Are you sure you want to forget the network?"));
        m_okBtn->hide();
        m_yesBtn->show();
        m_noBtn->show();
        wire(m_yesBtn, SLOT(onDisNetWorkBtnClick()));
        wire(m_noBtn, SLOT(onEnaNetworkBtnClick()));
        break;
    case 9:
        showOk(QStringLiteral("UnKnow Error"), SLOT(onSyncBtnClick()));
        break;
    case 11:
        showOk(withSentenceBreaks(
                   QObject::tr("Failed to detect your device. Please check if device.xml is available on your device.")),
            nullptr);
        break;
    case 12:
        showOk(failedSync, action(SLOT(onSyncFailBtnClick())));
        m_flow->writeLog(QStringLiteral("[In WifiAlertView - changeAlertType()] Failed sync due to connect problems."));
        m_flow->CurrentNetworkStatus();
        break;
    case 13:
        showOk(withSentenceBreaks(
                   QObject::tr("Insufficient space on your device. Please delete some files to get more space.")),
            nullptr);
        break;
    case ALERT_TYPE_EXIT:
        m_flow->writeLog(QStringLiteral("[In WifiAlertView - changeAlertType()] Ready to exit WLAN Sync."));
        m_message->setText(QObject::tr("Please wait..."));
        m_okBtn->hide();
        m_yesBtn->hide();
        m_noBtn->hide();
        m_loadingIcon->show();
        m_animationTimer.start(kivowifi::screenInterval(LOADING_FRAME_MS));
        // Once: the screen made for this message applies it in its
        // constructor and again as the flow shows it.
        if (!m_exitRequested) {
            m_exitRequested = true;
            m_flow->onExitBtnClick();
        }
        break;
    default:
        break;
    }
}

void WiFiAlertView::stopAnimation()
{
    m_animationTimer.stop();
}

void WiFiAlertView::onEnableBtnClick()
{
    m_flow->enableWiFi(true);
    m_flow->clearEapolSettings();
    m_flow->switchView(MAIN_VIEW_ID, 0);
}

void WiFiAlertView::onSyncBtnClick()
{
    m_flow->writeLog(QStringLiteral("[In WifiAlertView - onSyncBtnClick()] onSyncBtnClick and final syc time is %1")
                         .arg(m_flow->lastSyncTime()));
    m_flow->switchView(SYNC_VIEW_ID, 0);
}

void WiFiAlertView::onDisNetWorkBtnClick()
{
    m_flow->clearEapolSettings();
    m_flow->forgetWiFiSettings();
    m_flow->switchView(MAIN_VIEW_ID, 0);
}

void WiFiAlertView::onEnaNetworkBtnClick()
{
    m_flow->switchView(INFO_VIEW_ID, 0);
}

void WiFiAlertView::onSyncFailBtnClick()
{
    m_flow->clearEapolSettings();
    m_flow->releaseViews();
    m_flow->readWiFiSettings();
    m_flow->switchView(SEARCHING_VIEW_ID, 0);
}

void WiFiAlertView::loadpic()
{
    ++m_frame;
    m_framePixmap = kivowifi::skinPixmap(QStringLiteral(":/Loading_big/i_loading_%1.png").arg(m_frame));
    m_loadingIcon->setImage(m_framePixmap);
    repaint();
    if (m_frame > 8)
        m_frame = 1;
}
