#include "wifi/views/register_views.h"

#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/views/WiFiAlertView.h"

namespace kivowifi {

namespace {

FlowViewOps alertOps()
{
    FlowViewOps ops;
    ops.create = [](KivoWiFiFlow* flow, const QString& resolution) -> QWidget* {
        return new WiFiAlertView(resolution, flow);
    };
    ops.applyAlert = [](QWidget* view, int) { static_cast<WiFiAlertView*>(view)->changeAlertType(); };
    ops.stop = [](QWidget* view) { static_cast<WiFiAlertView*>(view)->stopAnimation(); };
    return ops;
}

} // namespace

void registerViews()
{
    KivoWiFiFlow::setViewOps(ALERT_VIEW_ID, alertOps());
}

} // namespace kivowifi
