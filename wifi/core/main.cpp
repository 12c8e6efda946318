// KivoWiFi's entry: one instance per device, the Wi-Fi support library's two
// start calls, the application with its font and codec, the flow and its
// start mode, then the event loop.
#include "platform/paths.h"
#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/core/WifiApplication.h"
#include "wifi/core/flow_dkcore.h"
#include "wifi/core/flow_instance.h"
#include "wifi/views/register_views.h"
#include "wifi/views/window_shots.h"

#include <QFont>
#include <QTextCodec>

int main(int argc, char** argv)
{
    ce::setProgramDirectory("\\SystemDrive\\Falmo\\program\\wifi");

    kivowifi::SingleInstance single("KivoWiFi");
    if (!single.acquire()) {
        kivowifi::bringRunningInstanceForward(2000);
        return 0;
    }

    kivowifi::wifiDkCoreStart();
    kivowifi::wifiDkCoreMode(2);

    WifiApplication app(argc, argv);

    QFont font = QApplication::font();
    font.setStyleStrategy(QFont::PreferAntialias);
    QApplication::setFont(font);

    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));

    kivowifi::registerViews();
    KivoWiFiFlow* flow = KivoWiFiFlow::instance();
    if (argc >= 2)
        flow->setStartMode(100);

    // Demo only: pictures of the window as it changes.
    if (qEnvironmentVariableIsSet("KIVO_DEMO_SHOTS"))
        kivowifi::startWindowShots(flow, qEnvironmentVariable("KIVO_DEMO_SHOTS"));

    flow->show();
    flow->Start();
    app.exec();
    // However the loop ended (a WM_QUIT posted by another process with a
    // code of its own, say), the program ends the one orderly way, with 0.
    flow->endOrderly();
    return 0;
}
