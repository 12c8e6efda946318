#include "wifi/views/WiFiDisabledView.h"

#include "controls/core/ZyrelleControls.h"
#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/views/forms/WiFiDisabledViewClass.h"
#include "wifi/views/screen_styles.h"

WiFiDisabledView::WiFiDisabledView(const QString& resolution, KivoWiFiFlow* flow)
    : KivoWiFiBaseView(flow)
    , m_pFlow(flow)
{
    WiFiDisabledViewForm* form;
    if (resolution == QLatin1String("800x480")) {
        m_form800 = new WiFiDisabledView800x480Class;
        m_form800->setupUi(this);
        form = m_form800;
    } else {
        m_form = new WiFiDisabledView480x272Class;
        m_form->setupUi(this);
        form = m_form;
    }
    m_enableBtn = form->enBtn;
    m_backBtn = form->btnBack;
    m_background = form->bgWidget;
    m_footer = form->wgEnd;
    if (QObject* sound = ZyrelleControls::GetSoundManager())
        connect(m_enableBtn, SIGNAL(clicked(bool)), sound, SLOT(onPlayTapSound(void)));
    connect(m_enableBtn, SIGNAL(clicked(bool)), this, SLOT(onEnableBtnClick()));
    if (m_pFlow)
        connect(m_backBtn, SIGNAL(clicked(bool)), m_pFlow, SLOT(onBackBtnClick(void)));
    setupScrollButtons();
    setStyleSheets(m_pFlow ? m_pFlow->currentDayNightMode() : QStringLiteral("Day"));
}

WiFiDisabledView::~WiFiDisabledView()
{
    delete m_form;
    delete m_form800;
}

void WiFiDisabledView::setStyleSheets(const QString&)
{
    const QString button = kivowifi::screenButtonStyleSheet(kivowifi::normalButtonWidth());
    m_enableBtn->setStyleSheet(button);
    m_backBtn->setStyleSheet(button);
    const QString background = QStringLiteral("background-image: url(:/Background/main_bg.png);");
    m_background->setStyleSheet(background);
    m_footer->setStyleSheet(background);
}

void WiFiDisabledView::onEnableBtnClick()
{
    if (!m_pFlow)
        return;
    m_pFlow->enableWiFi(true);
    m_pFlow->switchView(MAIN_VIEW_ID, 0);
}
