// The simulated stack's world: the phone, the callbacks and the thread they
// run on, the call log and the buzzer.

#include "sim/bt_stack/bt_stack_service.h"
#include "sim/bt_stack/bt_stack_sim.h"

#include "platform/debug.h"
#include "platform/device.h"
#include "platform/paths.h"

#include <json/json.h>

#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <thread>

namespace kivo::sim::bt {

namespace {

std::u16string fromUtf8(const std::string& s)
{
    return QString::fromUtf8(s.data(), int(s.size())).toStdU16String();
}

bool parseAddress(const std::string& text, std::array<uint8_t, 6>* out)
{
    std::string hex;
    for (char c : text)
        if (c != ':' && c != '-')
            hex += c;
    if (hex.size() != 12)
        return false;
    for (int i = 0; i < 6; ++i) {
        unsigned v = 0;
        for (int k = 0; k < 2; ++k) {
            const char c = hex[size_t(i * 2 + k)];
            v <<= 4;
            if (c >= '0' && c <= '9')
                v |= unsigned(c - '0');
            else if (c >= 'a' && c <= 'f')
                v |= unsigned(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                v |= unsigned(c - 'A' + 10);
            else
                return false;
        }
        (*out)[size_t(i)] = uint8_t(v);
    }
    return true;
}

class Buzzer : public ce::DeviceDriver {
public:
    std::unique_ptr<ce::DeviceSession> open(ce::DWORD, ce::DWORD*) override;
    std::mutex m;
    int beeps = 0;
};

class BuzzerSession : public ce::DeviceSession {
public:
    explicit BuzzerSession(Buzzer* b)
        : m_buzzer(b)
    {
    }
    bool read(std::vector<uint8_t>&, size_t, ce::DWORD) override { return false; }
    bool write(const uint8_t*, size_t) override { return false; }
    bool ioControl(ce::DWORD code, const std::vector<uint8_t>& in, std::vector<uint8_t>&, size_t,
        ce::DWORD* error) override
    {
        if (code != kBuzzerIoctl || in.size() != 4) {
            *error = ce::ERROR_INVALID_PARAMETER;
            return false;
        }
        std::lock_guard<std::mutex> l(m_buzzer->m);
        ++m_buzzer->beeps;
        return true;
    }
    void close() override { }

private:
    Buzzer* m_buzzer;
};

std::unique_ptr<ce::DeviceSession> Buzzer::open(ce::DWORD, ce::DWORD*)
{
    return std::make_unique<BuzzerSession>(this);
}

// The companion application's end of the serial port: one open at a time;
// what the manager writes is kept frame by frame, what the test sends is
// read piece by piece.
class Companion : public ce::DeviceDriver, public std::enable_shared_from_this<Companion> {
public:
    std::unique_ptr<ce::DeviceSession> open(ce::DWORD, ce::DWORD* error) override;
    std::mutex m;
    std::condition_variable cv;
    std::deque<std::vector<uint8_t>> pieces;
    std::vector<std::vector<uint8_t>> frames;
    bool isOpen = false;
    int waitingReads = 0;
    bool failWrites = false;
    uint64_t sessions = 0;
};

class CompanionSession : public ce::DeviceSession {
public:
    CompanionSession(std::shared_ptr<Companion> c, uint64_t id)
        : m_c(std::move(c))
        , m_id(id)
    {
    }
    ~CompanionSession() override { close(); }
    bool read(std::vector<uint8_t>& out, size_t maxBytes, ce::DWORD timeoutMs) override
    {
        std::unique_lock<std::mutex> l(m_c->m);
        auto ready = [&] { return m_closed || !m_c->pieces.empty(); };
        if (timeoutMs == 0) {
            // Only a read without a bound is a reader waiting for the phone.
            ++m_c->waitingReads;
            m_c->cv.notify_all();
            m_c->cv.wait(l, ready);
            --m_c->waitingReads;
        } else {
            m_c->cv.wait_for(l, std::chrono::milliseconds(timeoutMs), ready);
        }
        if (m_closed)
            return false;
        if (m_c->pieces.empty())
            return true;
        std::vector<uint8_t>& front = m_c->pieces.front();
        const size_t n = std::min(maxBytes, front.size());
        out.assign(front.begin(), front.begin() + long(n));
        front.erase(front.begin(), front.begin() + long(n));
        if (front.empty())
            m_c->pieces.pop_front();
        return true;
    }
    bool write(const uint8_t* data, size_t size) override
    {
        std::lock_guard<std::mutex> l(m_c->m);
        if (m_closed || m_c->failWrites)
            return false;
        m_c->frames.emplace_back(data, data + size);
        return true;
    }
    bool ioControl(ce::DWORD, const std::vector<uint8_t>&, std::vector<uint8_t>&, size_t, ce::DWORD* error) override
    {
        *error = ce::ERROR_INVALID_PARAMETER;
        return false;
    }
    void close() override
    {
        std::lock_guard<std::mutex> l(m_c->m);
        if (!m_closed) {
            m_closed = true;
            if (m_c->sessions == m_id)
                m_c->isOpen = false;
        }
        m_c->cv.notify_all();
    }

private:
    std::shared_ptr<Companion> m_c;
    uint64_t m_id;
    bool m_closed = false;
};

std::unique_ptr<ce::DeviceSession> Companion::open(ce::DWORD, ce::DWORD* error)
{
    std::lock_guard<std::mutex> l(m);
    if (isOpen) {
        *error = ce::ERROR_SHARING_VIOLATION; // the port is opened exclusively
        return nullptr;
    }
    isOpen = true;
    return std::make_unique<CompanionSession>(shared_from_this(), ++sessions);
}

// Everything behind one lock; callbacks run on the worker, outside the lock.
class State {
public:
    static State& instance()
    {
        static State* s = new State; // never destroyed: callbacks may still run at exit
        return *s;
    }

    std::mutex m;
    World world;
    bool loaded = false;
    std::vector<Call> log;
    std::set<int> kinds;
    bool ringing = false;
    bool inCall = false;
    BtConnectCallback connectCb = nullptr;
    BtHandsFreeCallback handsFreeCb = nullptr;
    BtPimCallback pimCb = nullptr;
    BtMessageCallback messageCb = nullptr;
    BtMusicCallback musicCb = nullptr;
    std::shared_ptr<Buzzer> buzzer = std::make_shared<Buzzer>();
    std::shared_ptr<Companion> companion = std::make_shared<Companion>();
    std::string companionName; // the name it is registered under in this process
    // BLE: the scan's callback, the sensors whose link is up, and those
    // whose notifications are on (with a generation that ends their timer).
    BtBleScanCallback scanCb = nullptr;
    bool scanning = false;
    std::set<int> linked;
    struct Notifying {
        int notification;
        BtBleNotifyCallback cb;
        uint64_t generation;
    };
    std::map<int, Notifying> notifying;
    uint64_t generation = 0;

    const BleSensor* sensorLocked(int handle) const
    {
        for (const BleSensor& b : world.sensors)
            if (b.handle == handle)
                return &b;
        return nullptr;
    }
    void bleLinkLocked(const BleSensor& b, int connected)
    {
        if (connected)
            linked.insert(b.handle);
        else
            linked.erase(b.handle);
        const auto address = b.address;
        deliverLocked(&State::connectCb,
            [connected, address](BtConnectCallback cb) { cb(connected, address.data(), kBtKindBle); });
    }
    void advertLocked(const BleSensor& b)
    {
        BtBleDevice d {};
        std::copy(b.address.begin(), b.address.end(), d.address);
        std::copy_n(b.name.begin(), std::min<size_t>(b.name.size(), 64), d.name);
        d.handle = b.handle;
        deliverLocked(&State::scanCb, [d](BtBleScanCallback cb) { cb(&d); });
    }
    void notifyLocked(int handle, uint16_t characteristic, std::array<uint8_t, kBtBleMeasurementBytes> data)
    {
        auto it = notifying.find(handle);
        if (it == notifying.end())
            return;
        const BtBleNotifyCallback cb = it->second.cb;
        queue([cb, characteristic, data] { cb(characteristic, data.data()); });
    }

    void loadLocked()
    {
        World w;
        const std::string path = ce::resolvePath(kWorldFile);
        std::ifstream f(path, std::ios::binary);
        if (f) {
            std::stringstream s;
            s << f.rdbuf();
            std::string error;
            if (!parseWorld(s.str(), &w, &error)) {
                ce::debugOutput("bt_stack: " + std::string(kWorldFile) + ": " + error + "; using the default world");
                w = World {};
            }
        }
        world = w;
        loaded = true;
    }
    void ensureLoaded()
    {
        if (!loaded)
            loadLocked();
    }

    // Runs fn on the worker after everything queued before it.
    void queue(std::function<void()> fn)
    {
        {
            std::lock_guard<std::mutex> l(qm);
            tasks.push_back(std::move(fn));
            ++queued;
        }
        qcv.notify_all();
    }
    void waitIdle()
    {
        std::unique_lock<std::mutex> l(qm);
        const uint64_t target = queued;
        qcv.wait(l, [&] { return done >= target; });
    }

    bool isIdle()
    {
        std::lock_guard<std::mutex> l(qm);
        return done == queued;
    }

    std::array<uint8_t, 6> lastAddressLocked() const
    {
        return world.shortcuts.empty() ? std::array<uint8_t, 6> {} : world.shortcuts.back().address;
    }

    // Calls the callback registered in `which`, as it is when the worker
    // gets there, with call(callback); nothing when none is registered.
    template <typename Callback, typename Call> void deliverLocked(Callback State::*which, Call call)
    {
        queue([this, which, call] {
            Callback cb;
            {
                std::lock_guard<std::mutex> l(m);
                cb = this->*which;
            }
            if (cb)
                call(cb);
        });
    }

    void connectionEventLocked(int connected, int kind)
    {
        if (connected)
            kinds.insert(kind);
        else
            kinds.erase(kind);
        const auto address = lastAddressLocked();
        deliverLocked(&State::connectCb,
            [connected, kind, address](BtConnectCallback cb) { cb(connected, address.data(), kind); });
    }

    void handsFreeLocked(int event, std::optional<BtCallRecord> record)
    {
        if (event == 8)
            ringing = true;
        if (event == 6 || event == 7)
            ringing = false, inCall = true;
        if (event == 5)
            ringing = false, inCall = false;
        deliverLocked(
            &State::handsFreeCb, [event, record](BtHandsFreeCallback cb) { cb(event, record ? &*record : nullptr); });
    }

    void messageLocked(int event, std::optional<BtSmsRecord> sms)
    {
        deliverLocked(&State::messageCb, [event, sms](BtMessageCallback cb) { cb(event, sms ? &*sms : nullptr); });
    }

    void pimLocked(int event, int value)
    {
        deliverLocked(&State::pimCb, [event, value](BtPimCallback cb) { cb(event, 0, value); });
    }

    void musicLocked(int event, std::vector<uint8_t> data)
    {
        deliverLocked(&State::musicCb,
            [event, data](BtMusicCallback cb) { cb(event, data.empty() ? nullptr : data.data()); });
    }

private:
    State()
    {
        ce::registerDevice("BUZ1:", buzzer);
        worker = std::thread([this] { run(); });
        worker.detach();
    }

    void run()
    {
        for (;;) {
            std::function<void()> fn;
            {
                std::unique_lock<std::mutex> l(qm);
                qcv.wait(l, [&] { return !tasks.empty(); });
                fn = std::move(tasks.front());
                tasks.pop_front();
            }
            fn();
            {
                std::lock_guard<std::mutex> l(qm);
                ++done;
            }
            qcv.notify_all();
        }
    }

    std::mutex qm;
    std::condition_variable qcv;
    std::deque<std::function<void()>> tasks;
    uint64_t queued = 0;
    uint64_t done = 0;
    std::thread worker;
};

BtCallRecord callRecord(const std::u16string& name, const std::u16string& number)
{
    BtCallRecord r {};
    std::copy_n(name.begin(), std::min<size_t>(name.size(), 31), r.name);
    std::copy_n(number.begin(), std::min<size_t>(number.size(), 40), r.number);
    return r;
}

// The stack is there, and "BUZ1:" served, as soon as the simulator is loaded.
const bool g_started = (State::instance(), true);

} // namespace

bool parseWorld(const std::string& json, World* out, std::string* error)
{
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    builder["stackLimit"] = 50;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errs;
    bool parsed = false;
    try {
        parsed = reader->parse(json.data(), json.data() + json.size(), &root, &errs);
    } catch (const Json::Exception& e) {
        // The reader throws instead of failing past its stack limit.
        errs = e.what();
    }
    if (!parsed) {
        *error = "not JSON: " + errs;
        return false;
    }
    if (!root.isObject()) {
        *error = "the world is not an object";
        return false;
    }
    World w;
    auto fail = [&](const std::string& what) {
        *error = what;
        return false;
    };
    if (root.isMember("init")) {
        if (!root["init"].isBool())
            return fail("\"init\" is not true or false");
        w.initSucceeds = root["init"].asBool();
    }
    if (root.isMember("remoteName")) {
        if (!root["remoteName"].isString())
            return fail("\"remoteName\" is not text");
        w.remoteName = fromUtf8(root["remoteName"].asString());
    }
    if (root.isMember("shortcuts")) {
        const Json::Value& list = root["shortcuts"];
        if (!list.isArray())
            return fail("\"shortcuts\" is not a list");
        for (const Json::Value& s : list) {
            Shortcut sc;
            if (!s.isObject() || !s["address"].isString() || !parseAddress(s["address"].asString(), &sc.address))
                return fail("a shortcut needs an \"address\" of six hex bytes");
            if (!s["name"].isString())
                return fail("a shortcut needs a \"name\"");
            sc.name = fromUtf8(s["name"].asString());
            if (s.isMember("type")) {
                if (!s["type"].isInt())
                    return fail("a shortcut's \"type\" is not a number");
                sc.type = s["type"].asInt();
            }
            w.shortcuts.push_back(sc);
        }
    }
    if (root.isMember("refuse")) {
        const Json::Value& list = root["refuse"];
        if (!list.isArray())
            return fail("\"refuse\" is not a list");
        for (const Json::Value& p : list) {
            if (!p.isInt())
                return fail("\"refuse\" holds a value that is not a number");
            w.refusedProfiles.insert(p.asInt());
        }
    }
    if (root.isMember("contacts")) {
        if (!root["contacts"].isInt() || root["contacts"].asInt() < 0 || root["contacts"].asInt() > 5000)
            return fail("\"contacts\" is not a count from 0 to 5000");
        w.contacts = root["contacts"].asInt();
    }
    if (root.isMember("tracks")) {
        const Json::Value& list = root["tracks"];
        if (!list.isArray())
            return fail("\"tracks\" is not a list");
        for (const Json::Value& t : list) {
            if (!t.isString())
                return fail("a track is not text");
            w.tracks.push_back(fromUtf8(t.asString()));
        }
    }
    if (root.isMember("savePath")) {
        if (!root["savePath"].isString())
            return fail("\"savePath\" is not text");
        w.savePath = root["savePath"].asString();
    }
    if (root.isMember("companionPort")) {
        if (!root["companionPort"].isInt() || root["companionPort"].asInt() < 0 || root["companionPort"].asInt() > 255)
            return fail("\"companionPort\" is not a port from 0 to 255");
        w.companionPort = root["companionPort"].asInt();
    }
    if (root.isMember("sensors")) {
        const Json::Value& list = root["sensors"];
        if (!list.isArray())
            return fail("\"sensors\" is not a list");
        for (const Json::Value& v : list) {
            BleSensor b;
            if (!v.isObject() || !v["address"].isString() || !parseAddress(v["address"].asString(), &b.address))
                return fail("a sensor needs an \"address\" of six hex bytes");
            if (!v["name"].isString() || !v["handle"].isInt() || !v["kind"].isInt())
                return fail("a sensor needs a \"name\", a \"handle\" and a \"kind\"");
            b.name = fromUtf8(v["name"].asString());
            b.handle = v["handle"].asInt();
            b.kind = v["kind"].asInt();
            if (v.isMember("battery")) {
                if (!v["battery"].isInt() || v["battery"].asInt() < 0 || v["battery"].asInt() > 100)
                    return fail("a sensor's \"battery\" is not a percentage");
                b.battery = v["battery"].asInt();
            }
            if (v.isMember("intervalMs")) {
                if (!v["intervalMs"].isInt() || v["intervalMs"].asInt() < 0 || v["intervalMs"].asInt() > 60000)
                    return fail("a sensor's \"intervalMs\" is not from 0 to 60000");
                b.intervalMs = v["intervalMs"].asInt();
            }
            w.sensors.push_back(b);
        }
    }
    if (root.isMember("failures")) {
        const Json::Value& f = root["failures"];
        if (!f.isObject())
            return fail("\"failures\" is not an object");
        for (const std::string& name : f.getMemberNames()) {
            if (!f[name].isInt())
                return fail("the failure of " + name + " is not a number");
            w.failures[name] = f[name].asInt();
        }
    }
    *out = w;
    return true;
}

void reload()
{
    State& s = State::instance();
    s.waitIdle();
    std::lock_guard<std::mutex> l(s.m);
    s.loadLocked();
    s.log.clear();
    s.kinds.clear();
    s.ringing = s.inCall = false;
    s.connectCb = nullptr;
    s.handsFreeCb = nullptr;
    s.pimCb = nullptr;
    s.messageCb = nullptr;
    s.musicCb = nullptr;
    s.scanCb = nullptr;
    s.scanning = false;
    s.linked.clear();
    s.notifying.clear();
    ++s.generation;
    std::lock_guard<std::mutex> c(s.companion->m);
    s.companion->frames.clear();
    s.companion->pieces.clear();
    s.companion->failWrites = false;
}

void setWorld(const World& w)
{
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    s.world = w;
    s.loaded = true;
}

World world()
{
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    s.ensureLoaded();
    return s.world;
}

void connectionEvent(int connected, int kind)
{
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    s.connectionEventLocked(connected, kind);
}

void handsFreeEvent(int event, const std::u16string& name, const std::u16string& number)
{
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    s.handsFreeLocked(event, callRecord(name, number));
}

void handsFreeEventWithoutRecord(int event)
{
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    s.handsFreeLocked(event, std::nullopt);
}

void newSms(const std::u16string& name, const std::u16string& number, const std::u16string& text,
    const std::u16string& date)
{
    BtSmsRecord r {};
    std::copy_n(name.begin(), std::min<size_t>(name.size(), 31), r.name);
    std::copy_n(number.begin(), std::min<size_t>(number.size(), 40), r.number);
    std::copy_n(text.begin(), std::min<size_t>(text.size(), 1023), r.text);
    std::copy_n(date.begin(), std::min<size_t>(date.size(), 32), r.date);
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    s.messageLocked(1, r);
}

void messageEvent(int event)
{
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    s.messageLocked(event, std::nullopt);
}

void pimEvent(int event, int value)
{
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    s.pimLocked(event, value);
}

void musicEvent(int event, const std::vector<uint8_t>& data)
{
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    s.musicLocked(event, data);
}

void waitIdle()
{
    State::instance().waitIdle();
}

bool idle()
{
    return State::instance().isIdle();
}

std::set<int> connectedKinds()
{
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    return s.kinds;
}

bool callbacksRegistered()
{
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    return s.connectCb && s.handsFreeCb && s.pimCb && s.messageCb;
}

std::vector<Call> calls()
{
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    return s.log;
}

int countCalls(const std::string& name)
{
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    return int(std::count_if(s.log.begin(), s.log.end(), [&](const Call& c) { return c.name == name; }));
}

void clearCalls()
{
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    s.log.clear();
}

int buzzerBeeps()
{
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.buzzer->m);
    return s.buzzer->beeps;
}

void resetBuzzer()
{
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.buzzer->m);
    s.buzzer->beeps = 0;
}

std::vector<uint8_t> phonebookEntry(int index)
{
    std::vector<uint8_t> e(kBtPhonebookEntrySize, 0);
    const std::u16string name = u"Contact " + fromUtf8(std::to_string(index + 1));
    std::memcpy(e.data(), name.data(), name.size() * 2);
    e[kBtPhonebookEntrySize - 1] = uint8_t(index + 1);
    return e;
}

std::vector<uint8_t> nowPlayingEntry(int index, const std::u16string& title)
{
    std::vector<uint8_t> e(kBtNowPlayingEntrySize, 0);
    const uint64_t id = uint64_t(index + 1);
    std::memcpy(e.data(), &id, sizeof id);
    std::memcpy(e.data() + 8, title.data(), std::min<size_t>(title.size(), 64) * 2);
    return e;
}

bool readNowPlayingEntry(const uint8_t* bytes, size_t size, NowPlayingItem* out)
{
    if (!bytes || size < size_t(kBtNowPlayingEntrySize))
        return false;
    // Copied out first: the title need not be aligned or terminated.
    constexpr size_t kTitleUnits = (kBtNowPlayingEntrySize - 8) / 2;
    char16_t title[kTitleUnits];
    std::memcpy(&out->id, bytes, sizeof out->id);
    std::memcpy(title, bytes + 8, sizeof title);
    out->title = service::text16(title, kTitleUnits);
    return true;
}

// ---- companion ----------------------------------------------------------------------------------

std::vector<std::vector<uint8_t>> companionFrames()
{
    Companion& c = *State::instance().companion;
    std::lock_guard<std::mutex> l(c.m);
    return c.frames;
}

void clearCompanionFrames()
{
    Companion& c = *State::instance().companion;
    std::lock_guard<std::mutex> l(c.m);
    c.frames.clear();
}

void companionSend(const std::vector<uint8_t>& bytes, const std::vector<size_t>& pieces)
{
    Companion& c = *State::instance().companion;
    std::lock_guard<std::mutex> l(c.m);
    size_t at = 0;
    for (size_t n : pieces) {
        n = std::min(n, bytes.size() - at);
        if (n)
            c.pieces.emplace_back(bytes.begin() + long(at), bytes.begin() + long(at + n));
        at += n;
    }
    if (at < bytes.size())
        c.pieces.emplace_back(bytes.begin() + long(at), bytes.end());
    c.cv.notify_all();
}

std::vector<uint8_t> companionFrame(uint8_t command, const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> f(5 + payload.size());
    f[0] = 0xAF;
    f[1] = 0xFA;
    f[2] = command;
    f[3] = uint8_t(payload.size() & 0xFF);
    f[4] = uint8_t(payload.size() >> 8);
    std::copy(payload.begin(), payload.end(), f.begin() + 5);
    return f;
}

bool companionOpen()
{
    Companion& c = *State::instance().companion;
    std::lock_guard<std::mutex> l(c.m);
    return c.isOpen;
}

bool companionReading()
{
    Companion& c = *State::instance().companion;
    std::lock_guard<std::mutex> l(c.m);
    return c.isOpen && c.waitingReads > 0;
}

void companionFailWrites(bool fail)
{
    Companion& c = *State::instance().companion;
    std::lock_guard<std::mutex> l(c.m);
    c.failWrites = fail;
}

std::shared_ptr<ce::DeviceDriver> companionDriver()
{
    return State::instance().companion;
}

// ---- BLE ------------------------------------------------------------------------------------------

void bleAdvertise(int handle)
{
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    const BleSensor* b = s.sensorLocked(handle);
    if (b && s.scanning)
        s.advertLocked(*b);
}

void bleNotify(int handle, const std::array<uint8_t, kBtBleMeasurementBytes>& data, int characteristic)
{
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    const BleSensor* b = s.sensorLocked(handle);
    if (!b)
        return;
    const uint16_t own = b->kind == 1 ? kHeartRateMeasurementHandle : kCscMeasurementHandle;
    s.notifyLocked(handle, characteristic < 0 ? own : uint16_t(characteristic), data);
}

void bleLinkEvent(int handle, int connected)
{
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    if (const BleSensor* b = s.sensorLocked(handle))
        s.bleLinkLocked(*b, connected);
}

bool bleScanning()
{
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    return s.scanning;
}

std::set<int> bleNotifying()
{
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    std::set<int> out;
    for (const auto& [handle, n] : s.notifying)
        out.insert(handle);
    return out;
}

// ---- the exports' side -------------------------------------------------------------------------

namespace service {

std::string utf8(const std::u16string& s)
{
    return QString::fromStdU16String(s).toStdString();
}

std::u16string text16(const char16_t* s, size_t max)
{
    std::u16string out;
    if (!s)
        return out;
    for (size_t i = 0; i < max && s[i]; ++i)
        out += s[i];
    return out;
}

std::optional<int> enter(const char* name, std::vector<long> args, const std::string& text)
{
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    s.ensureLoaded();
    s.log.push_back(Call { name, std::move(args), text });
    auto f = s.world.failures.find(name);
    if (f != s.world.failures.end())
        return f->second;
    return std::nullopt;
}

int init()
{
    if (auto f = enter("Init"))
        return *f;
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    return s.world.initSucceeds ? 0 : 1;
}

int getRemoteName(const uint8_t* address, char16_t* name, int maxChars)
{
    if (auto f = enter("GetRemoteName"))
        return *f;
    if (!address || !name || maxChars <= 0)
        return 1;
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    std::u16string n = s.world.remoteName;
    for (const Shortcut& sc : s.world.shortcuts)
        if (n.empty() && std::equal(sc.address.begin(), sc.address.end(), address))
            n = sc.name;
    const size_t count = std::min<size_t>(n.size(), size_t(maxChars - 1));
    std::copy_n(n.begin(), count, name);
    name[count] = 0;
    return 0;
}

int connect(const uint8_t* address, int profile)
{
    if (auto f = enter("Connect", { profile }))
        return *f;
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    bool known = false;
    for (const Shortcut& sc : s.world.shortcuts)
        known = known || (address && std::equal(sc.address.begin(), sc.address.end(), address));
    if (!known || s.world.refusedProfiles.count(profile))
        return 1;
    const int kind = profile == kBtConnectAudioGateway ? kBtKindAudio
        : profile == kBtConnectHandsFree             ? kBtKindHandsFree
        : profile == kBtConnectSerial                ? kBtKindSerial
                                                     : 0;
    if (!kind)
        return 1;
    if (!s.kinds.count(kind))
        s.connectionEventLocked(1, kind);
    return 0;
}

int disconnect(const uint8_t*, int mask)
{
    if (auto f = enter("Disconnect", { mask }))
        return *f;
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    const std::set<int> kinds = s.kinds;
    for (int kind : kinds)
        if (kind != kBtKindBle && kind != kBtKindHeartRate && kind != kBtKindSpeedCadence)
            s.connectionEventLocked(0, kind);
    return 0;
}

int getAllShortcuts(BtShortcut* list, int* count)
{
    if (auto f = enter("GetAllShortCuts"))
        return *f;
    if (!count)
        return 1;
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    const int n = int(s.world.shortcuts.size());
    if (!list) {
        *count = n;
        return n ? 0 : 1;
    }
    const int take = std::min(n, *count);
    for (int i = 0; i < take; ++i) {
        const Shortcut& sc = s.world.shortcuts[size_t(i)];
        BtShortcut out {};
        std::copy(sc.address.begin(), sc.address.end(), out.address);
        std::copy_n(sc.name.begin(), std::min<size_t>(sc.name.size(), 64), out.name);
        out.type = sc.type;
        list[i] = out;
    }
    *count = take;
    return take ? 0 : 1;
}

void setConnectCallback(BtConnectCallback cb)
{
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    s.connectCb = cb;
}

void setHandsFreeCallback(BtHandsFreeCallback cb)
{
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    s.handsFreeCb = cb;
}

void setPimCallbacks(BtPimCallback pim, BtMessageCallback message)
{
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    s.pimCb = pim;
    s.messageCb = message;
}

void setMusicCallback(BtMusicCallback cb)
{
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    s.musicCb = cb;
}

int answerCall()
{
    if (auto f = enter("HFAP_AnswerCall"))
        return *f;
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    if (!s.ringing)
        return 1;
    s.handsFreeLocked(6, std::nullopt);
    return 0;
}

int cancelCall()
{
    if (auto f = enter("HFAP_CancelCall"))
        return *f;
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    if (!s.ringing && !s.inCall)
        return 1;
    s.handsFreeLocked(5, std::nullopt);
    return 0;
}

int threeWay(int action)
{
    if (auto f = enter("HFAP_3WayCalling", { action, 0 }))
        return *f;
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    if (action == 0) // the waiting call is turned away
        s.handsFreeLocked(17, std::nullopt);
    else if (action == 2) // the waiting call is taken, the other held
        s.handsFreeLocked(6, std::nullopt);
    return 0;
}

int dial(const std::string& number)
{
    if (auto f = enter("HFAP_Dial", { long(number.size()) }, number))
        return *f;
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    s.handsFreeLocked(7, std::nullopt);
    s.handsFreeLocked(10, callRecord(u"", fromUtf8(number)));
    return 0;
}

int audioStatus()
{
    if (auto f = enter("HFAP_GetAudioStatus"))
        return *f;
    return 1;
}

int startUpdateContacts()
{
    if (auto f = enter("PIMStartUpdateContacts"))
        return *f;
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    s.pimLocked(1, 0);
    return 0;
}

int getContacts(void* entries, int* count)
{
    if (auto f = enter("PIMGetContacts", { entries ? 1 : 0 }))
        return *f;
    if (!count)
        return 1;
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    if (!entries) {
        *count = s.world.contacts;
        return 0;
    }
    const int take = std::min(*count, s.world.contacts);
    for (int i = 0; i < take; ++i) {
        const std::vector<uint8_t> e = phonebookEntry(i);
        std::memcpy(static_cast<uint8_t*>(entries) + size_t(i) * kBtPhonebookEntrySize, e.data(), e.size());
    }
    *count = take;
    return 0;
}

int sendSms(const std::u16string& number, const std::u16string& text)
{
    const auto f = enter("PIMSendSMS", {}, utf8(number) + ":" + utf8(text));
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    s.messageLocked(f ? 5 : 4, std::nullopt);
    return f ? *f : 0;
}

int startSmsNotify()
{
    if (auto f = enter("PIMStartSMSNotify"))
        return *f;
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    if (!s.kinds.count(kBtKindMessages))
        s.connectionEventLocked(1, kBtKindMessages);
    return 0;
}

int nowPlayingListItems()
{
    if (auto f = enter("AVRCP_NowPlayingListItems"))
        return *f;
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    for (size_t i = 0; i < s.world.tracks.size(); ++i)
        s.musicLocked(9, nowPlayingEntry(int(i), s.world.tracks[i]));
    return 0;
}

// The phone plays the track the entry's identifier names and reports its
// title; an entry naming none of its tracks is refused.
int playListItem(const uint8_t* entry, int index)
{
    NowPlayingItem item;
    if (!readNowPlayingEntry(entry, size_t(kBtNowPlayingEntrySize), &item)) {
        if (auto f = enter("AVRCP_PlayListItems", { index }))
            return *f;
        return 1;
    }
    if (auto f = enter("AVRCP_PlayListItems", { index, long(item.id) }, utf8(item.title)))
        return *f;
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    if (item.id < 1 || item.id > s.world.tracks.size())
        return 1;
    std::vector<uint8_t> title(128, 0);
    const std::u16string& played = s.world.tracks[size_t(item.id - 1)];
    std::memcpy(title.data(), played.data(), std::min<size_t>(played.size(), 64) * 2);
    s.musicLocked(0, title);
    return 0;
}

int getSavePath(char16_t* path, int maxChars)
{
    if (auto f = enter("GetSavePath"))
        return *f;
    if (!path || maxChars <= 0)
        return 1;
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    const std::u16string p = fromUtf8(s.world.savePath);
    if (p.size() >= size_t(maxChars))
        return 1;
    std::copy(p.begin(), p.end(), path);
    path[p.size()] = 0;
    return 0;
}

int getClientPort(uint16_t* port)
{
    if (auto f = enter("GetClientPort"))
        return *f;
    if (!port)
        return 1;
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    *port = uint16_t(s.world.companionPort);
    const std::string name = "COM" + std::to_string(s.world.companionPort) + ":";
    if (s.world.companionInProcess && s.companionName != name) {
        if (!s.companionName.empty())
            ce::unregisterDevice(s.companionName);
        ce::registerDevice(name, s.companion);
        s.companionName = name;
    } else if (!s.world.companionInProcess && !s.companionName.empty()) {
        ce::unregisterDevice(s.companionName);
        s.companionName.clear();
    }
    return 0;
}

int registerScan(int kind, BtBleScanCallback cb)
{
    if (auto f = enter("ScanedBLERegisterCb", { kind }))
        return *f;
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    s.scanCb = cb;
    return 0;
}

int setScan(int on)
{
    if (auto f = enter("SetScan", { on }))
        return *f;
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    s.scanning = on != 0;
    if (s.scanning)
        for (const BleSensor& b : s.world.sensors)
            s.advertLocked(b);
    return 0;
}

namespace {

std::string uuidKey(const char* name, uint16_t uuid)
{
    char key[64];
    std::snprintf(key, sizeof key, "%s/%04X", name, unsigned(uuid));
    return key;
}

// A GATT call on a sensor: logged, failed as the world says (for the call
// or for the call and this UUID), and the sensor's link brought up.
// A GATT step: logged with the device, the UUID and any further arguments.
std::optional<int> gatt(
    const char* name, int device, uint16_t uuid, const BleSensor** sensor, const std::vector<long>& more = {})
{
    std::vector<long> args { device, uuid };
    args.insert(args.end(), more.begin(), more.end());
    if (auto f = enter(name, std::move(args)))
        return f;
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    auto f = s.world.failures.find(uuidKey(name, uuid));
    if (f != s.world.failures.end())
        return f->second;
    *sensor = s.sensorLocked(device);
    if (!*sensor)
        return 1;
    if (!s.linked.count(device))
        s.bleLinkLocked(**sensor, 1);
    return std::nullopt;
}

} // namespace

int bleService(int device, BtBleService* service, uint16_t uuid)
{
    const BleSensor* b = nullptr;
    if (auto f = gatt("BLEGetServiceByUUID", device, uuid, &b))
        return *f;
    const uint16_t own = b->kind == 1 ? 0x180D : b->kind == 2 ? 0x1816 : 0;
    if (!service || (uuid != own && uuid != 0x180F))
        return 1;
    *service = BtBleService { uuid, uint16_t(uuid == 0x180F ? 0x30 : 0x10), uint16_t(uuid == 0x180F ? 0x3F : 0x2F) };
    return 0;
}

int bleCharacteristic(int device, const BtBleService* service, BtBleCharacteristic* out, uint16_t uuid)
{
    const BleSensor* b = nullptr;
    if (auto f = gatt("BLEGetCharacterByUUID", device, uuid, &b))
        return *f;
    if (!service || !out)
        return 1;
    if (service->uuid == 0x180D && uuid == 0x2A37)
        *out = BtBleCharacteristic { uuid, kHeartRateMeasurementHandle, 0x10 };
    else if (service->uuid == 0x1816 && uuid == 0x2A5B)
        *out = BtBleCharacteristic { uuid, kCscMeasurementHandle, 0x10 };
    else if (service->uuid == 0x180F && uuid == 0x2A19)
        *out = BtBleCharacteristic { uuid, kBatteryLevelHandle, 0x02 };
    else
        return 1;
    return 0;
}

int bleDescriptor(int device, const BtBleCharacteristic* ch, BtBleDescriptor* out, uint16_t uuid)
{
    const BleSensor* b = nullptr;
    if (auto f = gatt("BLEGetDescriptorByUUID", device, uuid, &b))
        return *f;
    if (!ch || !out || uuid != 0x2902 || !(ch->properties & 0x10))
        return 1;
    *out = BtBleDescriptor { uuid, uint16_t(ch->handle + 1) };
    return 0;
}

int bleSetDescriptor(int device, const BtBleDescriptor* descriptor, int value)
{
    const BleSensor* b = nullptr;
    if (auto f = gatt("BLESetDescriptorValue", device, descriptor ? descriptor->uuid : 0, &b, { value }))
        return *f;
    return descriptor && (value == 0 || value == 1) ? 0 : 1;
}

int bleValue(int device, const BtBleCharacteristic* ch, int maxLength, BtBleValue* value)
{
    const BleSensor* b = nullptr;
    if (auto f = gatt("BLEGetCharacteristicValue", device, ch ? ch->uuid : 0, &b))
        return *f;
    if (!ch || !value || maxLength < 1 || ch->uuid != 0x2A19)
        return 1;
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    value->data = static_cast<uint8_t*>(std::malloc(1));
    if (!value->data)
        return 1;
    value->data[0] = uint8_t(b->battery);
    value->length = 1;
    return 0;
}

int bleRegNotification(int device, const BtBleCharacteristic* ch, int* notification, BtBleNotifyCallback cb, int kind)
{
    const BleSensor* b = nullptr;
    if (auto f = gatt("BLERegNotification", device, ch ? ch->uuid : 0, &b))
        return *f;
    if (!ch || !notification || !cb)
        return 1;
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    const uint64_t generation = ++s.generation;
    *notification = 0x100 + device;
    s.notifying[device] = State::Notifying { *notification, cb, generation };
    (void)kind;
    const int interval = b->intervalMs;
    if (interval > 0) {
        // Its measurements at its rate, until its notifications end.
        std::thread([device, interval, generation] {
            for (;;) {
                std::this_thread::sleep_for(std::chrono::milliseconds(interval));
                State& st = State::instance();
                std::lock_guard<std::mutex> g(st.m);
                auto it = st.notifying.find(device);
                const BleSensor* sensor = st.sensorLocked(device);
                if (it == st.notifying.end() || it->second.generation != generation || !sensor)
                    return;
                st.notifyLocked(device, sensor->kind == 1 ? kHeartRateMeasurementHandle : kCscMeasurementHandle,
                    sensor->measurement);
            }
        }).detach();
    }
    return 0;
}

int bleEnd(int device, int notification)
{
    if (auto f = enter("BLEEnd", { device, notification }))
        return *f;
    State& s = State::instance();
    std::lock_guard<std::mutex> l(s.m);
    const BleSensor* b = s.sensorLocked(device);
    if (!b)
        return 1;
    auto it = s.notifying.find(device);
    if (notification) {
        if (it == s.notifying.end() || it->second.notification != notification)
            return 1;
        s.notifying.erase(it);
    } else if (it != s.notifying.end()) {
        return 0; // a look-up ends; the link stays for the notifications
    }
    if (s.linked.count(device))
        s.bleLinkLocked(*b, 0);
    return 0;
}

} // namespace service

} // namespace kivo::sim::bt
