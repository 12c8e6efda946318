// Shared by the wireless layer's tests against the simulated adapter: a Qt
// application for queued signals, a window that records join notifications,
// and pumping until a condition holds.
#pragma once

#include "platform/wm.h"
#include "sim/wzc/wzc_sim.h"
#include "tests/support/temp_root.h"
#include "wifi/core/MyConfigWiFi.h"

#include <QCoreApplication>
#include <QObject>
#include <QStringList>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace kivo::test {

inline QCoreApplication* wirelessTestApp()
{
    static int argc = 1;
    static char name[] = "wireless_test";
    static char* argv[] = { name, nullptr };
    static QCoreApplication* app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    return app;
}

// Pumps window messages and Qt events until pred holds or timeoutMs passed.
inline bool pumpUntil(const std::function<bool()>& pred, int timeoutMs = 10000)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        ce::pumpMessages();
        QCoreApplication::processEvents();
        if (pred())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

inline void pumpFor(int ms)
{
    pumpUntil([] { return false; }, ms);
}

struct JoinNote {
    ce::UINT message;
    ce::WPARAM wParam;
    std::u16string ssid;
};

// A window in the test's thread that records every message it gets.
class NoteWindow {
public:
    NoteWindow()
    {
        m_hwnd = ce::createWindow("WirelessTestWindow", "wireless test",
            [this](ce::HWND, ce::UINT m, ce::WPARAM w, ce::LPARAM l) -> ce::LRESULT {
                const auto* text = reinterpret_cast<const char16_t*>(l);
                notes.push_back({ m, w, text ? std::u16string(text) : std::u16string() });
                return 0;
            });
    }
    ~NoteWindow() { ce::destroyWindow(m_hwnd); }
    ce::HWND hwnd() const { return m_hwnd; }
    std::vector<JoinNote> notes;

private:
    ce::HWND m_hwnd;
};

// Records the event names of a layer, delivered queued in this thread.
class EventLog : public QObject {
public:
    explicit EventLog(CMyConfigWiFi& wifi)
    {
        QObject::connect(&wifi, &CMyConfigWiFi::PostWZCMessage, this, [this](const QString& name) { names << name; });
    }
    bool has(const char* name) const { return names.contains(QLatin1String(name)); }
    QStringList names;
};

// Without a usable service (library incomplete or no adapter) every
// operation gives its failure value and the service is never called.
inline void expectNoService(CMyConfigWiFi& wifi, ce::HWND window)
{
    EXPECT_FALSE(wifi.IsEnableWzcServer());
    EXPECT_NE(wifi.enableWzcServer(true), 0u);
    EXPECT_NE(wifi.refreshInterface(), 0u);
    EXPECT_NE(wifi.refreshVisibleList(), 0u);
    EXPECT_EQ(wifi.visibleCount(), 0);
    EXPECT_EQ(wifi.visibleList(), nullptr);
    ce::WZC_WLAN_CONFIG r {};
    EXPECT_EQ(wifi.indexOfVisible(r), -1);
    EXPECT_FALSE(wifi.firstPreferredNetwork(&r));
    EXPECT_FALSE(wifi.isAssociated());
    bool usable = true;
    QString name = "stale", ip = "stale";
    EXPECT_EQ(wifi.getIPInfo(&usable, &name, nullptr, nullptr, &ip), 0);
    EXPECT_FALSE(usable);
    EXPECT_TRUE(name.isEmpty() && ip.isEmpty());
    EXPECT_FALSE(wifi.isConnected());
    EXPECT_NE(wifi.clearPreferredList(), 0u);
    EXPECT_NE(wifi.AddToPreferredNetworkList(r), 0u);
    EXPECT_FALSE(wifi.connectNetwork(window, 1, "Cafe", "", 1, 0, 1, false));
    EXPECT_FALSE(wifi.connectVisibleNetwork(0, "", window, 1));
    EXPECT_FALSE(kivo::sim::wzc::hasPreferredList()) << "the service was never called";
}

} // namespace kivo::test
