#include "wifi/views/register_views.h"

#include "wifi/core/KivoWiFiFlow.h"
#include "wifi/views/WiFiAlertView.h"
#include "wifi/views/WiFiConnectView.h"
#include "wifi/views/WiFiDisabledView.h"
#include "wifi/views/WiFiJoinNetworkView.h"
#include "wifi/views/WiFiKeyBoardView.h"
#include "wifi/views/WiFiListView.h"
#include "wifi/views/WiFiMainView.h"
#include "wifi/views/WiFiNetworkInfoView.h"
#include "wifi/views/WiFiSearchingView.h"
#include "wifi/views/WiFiSecurityView.h"
#include "wifi/views/WiFiSyncView.h"

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

FlowViewOps securityOps()
{
    FlowViewOps ops;
    ops.create = [](KivoWiFiFlow* flow, const QString& resolution) -> QWidget* {
        return new WiFiSecurityView(resolution, flow);
    };
    ops.setup = [](QWidget* view, int) { static_cast<WiFiSecurityView*>(view)->setupView(); };
    return ops;
}

FlowViewOps listOps()
{
    FlowViewOps ops;
    ops.create = [](KivoWiFiFlow* flow, const QString& resolution) -> QWidget* {
        return new WiFiListView(resolution, flow);
    };
    ops.setup = [](QWidget* view, int mode) { static_cast<WiFiListView*>(view)->setupView(mode); };
    return ops;
}

FlowViewOps mainOps()
{
    FlowViewOps ops;
    ops.create = [](KivoWiFiFlow* flow, const QString& resolution) -> QWidget* {
        return new WiFiMainView(resolution, flow);
    };
    ops.setup = [](QWidget* view, int) { static_cast<WiFiMainView*>(view)->RefreshList(); };
    ops.poll = [](QWidget* view) { static_cast<WiFiMainView*>(view)->endRefresh(); };
    ops.text = [](QWidget* view) { return static_cast<WiFiMainView*>(view)->selectedName(); };
    ops.kind = [](QWidget* view) { return static_cast<WiFiMainView*>(view)->selectionMode(); };
    ops.row = [](QWidget* view) { return static_cast<WiFiMainView*>(view)->selectedRow(); };
    return ops;
}

FlowViewOps keyboardOps()
{
    FlowViewOps ops;
    ops.create = [](KivoWiFiFlow* flow, const QString& resolution) -> QWidget* {
        return new WiFiKeyBoardView(resolution, flow);
    };
    ops.handOff = [](QWidget* view, const QString& text, int inputType, int) {
        static_cast<WiFiKeyBoardView*>(view)->setupView(text, inputType);
    };
    ops.text = [](QWidget* view) { return static_cast<WiFiKeyBoardView*>(view)->resultText(); };
    ops.kind = [](QWidget* view) { return static_cast<WiFiKeyBoardView*>(view)->inputType(); };
    return ops;
}

FlowViewOps joinOps()
{
    FlowViewOps ops;
    ops.create = [](KivoWiFiFlow* flow, const QString& resolution) -> QWidget* {
        return new WiFiJoinNetworkView(resolution, flow);
    };
    ops.handOff = [](QWidget* view, const QString& text, int inputType, int row) {
        static_cast<WiFiJoinNetworkView*>(view)->setupView(text, inputType, row);
    };
    ops.text = [](QWidget* view) { return static_cast<WiFiJoinNetworkView*>(view)->editedText(); };
    ops.kind = [](QWidget* view) { return static_cast<WiFiJoinNetworkView*>(view)->inputType(); };
    ops.joinRecord = [](QWidget* view) { return static_cast<WiFiJoinNetworkView*>(view)->joinRecord(); };
    ops.leave = [](QWidget* view) { static_cast<WiFiJoinNetworkView*>(view)->clearEditFlag(); };
    return ops;
}

FlowViewOps syncOps()
{
    FlowViewOps ops;
    ops.create = [](KivoWiFiFlow* flow, const QString& resolution) -> QWidget* {
        return new WiFiSyncView(resolution, flow);
    };
    ops.stop = [](QWidget* view) { static_cast<WiFiSyncView*>(view)->stopTimers(); };
    return ops;
}

FlowViewOps searchingOps()
{
    FlowViewOps ops;
    ops.create = [](KivoWiFiFlow* flow, const QString& resolution) -> QWidget* {
        return new WiFiSearchingView(resolution, flow);
    };
    ops.setup = [](QWidget* view, int) {
        auto* searching = static_cast<WiFiSearchingView*>(view);
        searching->RefreshList();
        searching->setupView();
    };
    ops.stop = [](QWidget* view) { static_cast<WiFiSearchingView*>(view)->stopTimers(); };
    ops.poll = [](QWidget* view) { static_cast<WiFiSearchingView*>(view)->DoAutoConnect(); };
    return ops;
}

FlowViewOps connectingOps()
{
    FlowViewOps ops;
    ops.create = [](KivoWiFiFlow* flow, const QString& resolution) -> QWidget* {
        return new WiFiConnectView(resolution, flow);
    };
    ops.setup = [](QWidget* view, int) { static_cast<WiFiConnectView*>(view)->setupView(); };
    ops.stop = [](QWidget* view) { static_cast<WiFiConnectView*>(view)->stopTimers(); };
    return ops;
}

template <typename View> FlowViewOps plainOps()
{
    FlowViewOps ops;
    ops.create = [](KivoWiFiFlow* flow, const QString& resolution) -> QWidget* { return new View(resolution, flow); };
    return ops;
}

} // namespace

void registerViews()
{
    KivoWiFiFlow::setViewOps(MAIN_VIEW_ID, mainOps());
    KivoWiFiFlow::setViewOps(KEYBOARD_VIEW_ID, keyboardOps());
    KivoWiFiFlow::setViewOps(ALERT_VIEW_ID, alertOps());
    KivoWiFiFlow::setViewOps(JOIN_VIEW_ID, joinOps());
    KivoWiFiFlow::setViewOps(SECURITY_VIEW_ID, securityOps());
    KivoWiFiFlow::setViewOps(LIST_VIEW_ID, listOps());
    KivoWiFiFlow::setViewOps(DISABLED_VIEW_ID, plainOps<WiFiDisabledView>());
    KivoWiFiFlow::setViewOps(INFO_VIEW_ID, plainOps<WiFiNetworkInfoView>());
    KivoWiFiFlow::setViewOps(SYNC_VIEW_ID, syncOps());
    KivoWiFiFlow::setViewOps(SEARCHING_VIEW_ID, searchingOps());
    KivoWiFiFlow::setViewOps(CONNECTING_VIEW_ID, connectingOps());
}

} // namespace kivowifi
