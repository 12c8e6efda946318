// The manager core in one process: the simulated stack loaded the way the
// program loads it, a client window and an internal window on the test
// thread that note what they get, and a scaled clock.
#pragma once

#include "bt/core/bt_ipc.h"
#include "bt/core/bt_manager.h"
#include "bt/core/bt_messages.h"
#include "bt/core/bt_sdk.h"
#include "bt/core/phone_rows.h"
#include "platform/paths.h"
#include "platform/wm.h"
#include "sim/bt_stack/bt_stack_sim.h"
#include "tests/support/programs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <poll.h>
#include <unistd.h>

namespace kivo::bt::test {

inline bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 20000)
{
    return kivo::test::pumpUntil(done, timeoutMs);
}

// Pumps until the stack's thread and the core's workers are quiet.
inline void settle()
{
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(pumpUntil([] { return sim::bt::idle() && WaitForWorkers(0); }));
        ce::pumpMessages();
    }
}

// The calls of one export the stack got, in order.
inline std::vector<sim::bt::Call> callsTo(const std::string& name)
{
    std::vector<sim::bt::Call> out;
    for (const sim::bt::Call& c : sim::bt::calls())
        if (c.name == name)
            out.push_back(c);
    return out;
}

struct Note {
    std::string name; // registered name, or "copydata NAME"
    ce::WPARAM w = 0;
    ce::LPARAM l = 0;
    std::vector<uint8_t> data; // a copydata record, or the call record of DIALERINFO
    std::string text() const { return name + "(" + std::to_string(w) + ")"; }
};

// A window noting every registered message and WM_COPYDATA it gets. As an
// internal window it also runs the phone controller's rows.
class Recorder {
public:
    explicit Recorder(const std::string& title, bool internal = false)
        : m_internal(internal)
    {
        m_hwnd = ce::createWindow("BtTest", title, [this](ce::HWND h, ce::UINT m, ce::WPARAM w, ce::LPARAM l) {
            return handle(h, m, w, l);
        });
    }
    ~Recorder() { ce::destroyWindow(m_hwnd); }
    ce::HWND hwnd() const { return m_hwnd; }

    std::vector<Note> notes;
    std::vector<std::string> names(const std::string& prefix = "") const
    {
        std::vector<std::string> out;
        for (const Note& n : notes)
            if (n.name.rfind(prefix, 0) == 0)
                out.push_back(n.text());
        return out;
    }
    int count(const std::string& name) const
    {
        int c = 0;
        for (const Note& n : notes)
            c += n.name == name;
        return c;
    }
    const Note* last(const std::string& name) const
    {
        for (auto it = notes.rbegin(); it != notes.rend(); ++it)
            if (it->name == name)
                return &*it;
        return nullptr;
    }
    // The phone states sent as records, in order.
    std::vector<std::pair<int, std::u16string>> phoneStates() const
    {
        std::vector<std::pair<int, std::u16string>> out;
        for (const Note& n : notes)
            if (n.name == "copydata WM_BTOUT_PHONE_STATE" && n.data.size() == sizeof(PhoneStateRecord)) {
                PhoneStateRecord r;
                std::memcpy(&r, n.data.data(), sizeof r);
                out.emplace_back(r.state, fieldText(r.name, 64));
            }
        return out;
    }

private:
    ce::LRESULT handle(ce::HWND h, ce::UINT m, ce::WPARAM w, ce::LPARAM l)
    {
        if (m == ce::WM_COPYDATA) {
            const auto* cds = reinterpret_cast<const ce::COPYDATASTRUCT*>(l);
            Note n { "copydata " + ce::getRegisteredMessageName(ce::UINT(cds->dwData)), cds->cbData,
                cds->lpData ? 1 : 0, {} };
            if (cds->lpData)
                n.data.assign(static_cast<const uint8_t*>(cds->lpData),
                    static_cast<const uint8_t*>(cds->lpData) + cds->cbData);
            notes.push_back(n);
            ce::LRESULT result = 1;
            if (m_internal)
                HandlePhoneRow(h, m, w, l, &result);
            return result;
        }
        const std::string name = ce::getRegisteredMessageName(m);
        if (!name.empty()) {
            Note n { name, w, l, {} };
            if (m == WM_STKOUTMSG_DIALERINFO && l)
                n.data.assign(reinterpret_cast<const uint8_t*>(l), reinterpret_cast<const uint8_t*>(l) + sizeof(CallRecord));
            notes.push_back(n);
        }
        ce::LRESULT result = 0;
        if (m_internal && HandlePhoneRow(h, m, w, l, &result))
            return result;
        // Heap records of internal messages belong to the receiver.
        if (m == WM_STKOUTMSG_DIALERINFO)
            delete reinterpret_cast<CallRecord*>(l);
        else if (m == WM_STKMAPMSG_NEWMSG)
            delete reinterpret_cast<SmsRecord*>(l);
        else if (m == WM_STKOUTMSG_MUSICINFO && (w == 0 || w == 6 || w == 7 || w == 31))
            delete reinterpret_cast<TrackBlock*>(l);
        else if (m == WM_STKOUTMSG_MUSICINFO && w == 3)
            delete reinterpret_cast<PlayStatus*>(l);
        return 0;
    }

    ce::HWND m_hwnd = nullptr;
    bool m_internal;
};

inline sim::bt::Shortcut phone(int type, const std::u16string& name = u"Pixel")
{
    sim::bt::Shortcut s;
    s.address = { 0x00, 0x11, 0x22, 0x33, 0x44, 0x55 };
    s.name = name;
    s.type = type;
    return s;
}

// The core with a client and an internal window, the stack loaded, time
// running a hundred times faster.
class CoreFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ce::setProgramDirectory("\\SystemDrive\\Falmo\\program\\bt");
        ::unlink(ce::resolvePath(ConfigurationPath()).c_str());
        ASSERT_EQ(BtSdk::Load(), 1);
        sim::bt::reload();
        sim::bt::resetBuzzer();
        ResetManagerForTests();
        SetTimeScale(0.01);
        ClearClientWindows();
        RegisterClientWindow(client.hwnd());
        RegisterInternalWindow(internal.hwnd());
    }
    void TearDown() override
    {
        if (GetManagerState().started)
            BtManagerStop();
        settle();
        UnregisterInternalWindow(internal.hwnd());
        ClearClientWindows();
        ResetManagerForTests();
        SetTimeScale(1.0);
    }
    void setWorld(const std::vector<sim::bt::Shortcut>& shortcuts, const std::set<int>& refused = {})
    {
        sim::bt::World w;
        w.shortcuts = shortcuts;
        w.refusedProfiles = refused;
        sim::bt::setWorld(w);
    }

    Recorder client { "bt test client" };
    Recorder internal { "bt test internal", true };
};

} // namespace kivo::bt::test
