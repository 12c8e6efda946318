// Shared by the screen tests that run KivoWiFi's flow window: the screens
// and their skins prepared once, a shown flow window, and its end.
#pragma once

#include "controls/core/LibraryInternal.h"
#include "tests/wifi/views/views_test_support.h"
#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/core/MyConfigWiFi.h"
#include "wifi/core/SystemHelper.h"
#include "wifi/views/register_views.h"

#include <QCoreApplication>
#include <QEvent>

#include <memory>

namespace views_test {

// The application with the day skins, the flow's waits scaled by
// delayScale, no process exit, and every screen registered.
inline void prepareFlowScreens(double delayScale = 0.001)
{
    ensureApplication();
    registerSkins();
    CMyConfigWiFi::setDelayScaleForTests(delayScale);
    KivoWiFiFlow::setProcessExitHandler([](int) {});
    kivowifi::registerViews();
}

// A flow window, shown and kept when it closes.
inline std::unique_ptr<KivoWiFiFlow> showFlow()
{
    auto flow = std::make_unique<KivoWiFiFlow>();
    flow->setAttribute(Qt::WA_DeleteOnClose, false);
    flow->show();
    return flow;
}

// Deletes the flow window and what it left to be deleted later, and puts
// the day skins and the library's normal time back for the next test.
inline void endFlow(std::unique_ptr<KivoWiFiFlow>& flow)
{
    flow.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ZyrelleControls::Internal::SetTimeScale(1.0);
    registerSkins("Day");
    SystemHelper::instance()->setDayNight(QStringLiteral("Day"));
}

} // namespace views_test
