// The simulated adapter's world: what the world file says, the adapter's
// state, and a timer thread that plays the delayed parts (the adapter
// appearing, scans, association, addresses) and writes the service's events.

#include "sim/wzc/wzc_service.h"
#include "sim/wzc/wzc_sim.h"

#include "platform/debug.h"
#include "platform/device.h"
#include "platform/msgqueue.h"
#include "platform/paths.h"

#include <QByteArray>
#include <QPasswordDigestor>

#include <json/json.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace kivo::sim::wzc {

namespace {

using Clock = std::chrono::steady_clock;
using ce::BYTE;
using ce::DWORD;

constexpr DWORD kMaxAuthData = 4096;

struct Network {
    std::string ssid;
    DWORD privacy = ce::NDIS_PRIVACY_WEP_DISABLED;
    DWORD auth = ce::NDIS_AUTH_OPEN;
    DWORD infra = ce::NDIS_INFRA_INFRASTRUCTURE;
    int rssi = -60;
    BYTE bssid[6] = {};
    bool hasKey = false;
    std::string key;
    int keyIndex = 1;
    std::vector<BYTE> authData;
    DWORD eapType = ce::WZC_EAP_TYPE_TLS;
    std::string address, mask, gateway, dhcpServer;
};

struct OtherAdapter {
    std::string name, description, address, mask, gateway;
};

struct Config {
    bool hasAdapter = false;
    std::string adapterName = "WLAN1";
    std::string adapterDescription = "Simulated 802.11 adapter";
    BYTE adapterMac[6] = { 0x02, 0x57, 0x5A, 0x43, 0x00, 0x01 };
    int appearDelayMs = 0;
    bool zeroConfig = true;
    bool radioOn = true;
    int scanDelayMs = 200;
    int associationDelayMs = 300;
    int addressDelayMs = 500;
    // How long the old association (and its address) stays after the
    // preferred list changed, as a real adapter stays on its network while
    // it tries the new one; 0 drops it at once.
    int associationLingerMs = 0;
    std::vector<Network> networks;
    std::vector<OtherAdapter> others;
};

// ---- world file ------------------------------------------------------------------------

struct BadWorld : std::runtime_error {
    using std::runtime_error::runtime_error;
};

DWORD enumValue(const Json::Value& v, const char* what, const std::map<std::string, DWORD>& names, DWORD max)
{
    if (v.isUInt() && v.asUInt() <= max)
        return v.asUInt();
    if (v.isString()) {
        std::string s = v.asString();
        for (auto& c : s)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        auto it = names.find(s);
        if (it != names.end())
            return it->second;
    }
    throw BadWorld(std::string(what) + " has an unknown value");
}

std::string text(
    const Json::Value& obj, const char* key, const std::string& def, size_t maxLen, const std::string& where)
{
    const Json::Value& v = obj[key];
    if (v.isNull())
        return def;
    if (!v.isString())
        throw BadWorld(where + "." + key + " must be a string");
    std::string s = v.asString();
    if (s.size() > maxLen)
        throw BadWorld(where + "." + key + " is longer than " + std::to_string(maxLen) + " bytes");
    return s;
}

int integer(const Json::Value& obj, const char* key, int def, int lo, int hi, const std::string& where)
{
    const Json::Value& v = obj[key];
    if (v.isNull())
        return def;
    if (!v.isInt() || v.asInt() < lo || v.asInt() > hi)
        throw BadWorld(
            where + "." + key + " must be a number from " + std::to_string(lo) + " to " + std::to_string(hi));
    return v.asInt();
}

bool boolean(const Json::Value& obj, const char* key, bool def, const std::string& where)
{
    const Json::Value& v = obj[key];
    if (v.isNull())
        return def;
    if (!v.isBool())
        throw BadWorld(where + "." + key + " must be true or false");
    return v.asBool();
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool parseHex(const std::string& s, std::vector<BYTE>* out)
{
    if (s.size() % 2)
        return false;
    out->clear();
    for (size_t i = 0; i < s.size(); i += 2) {
        int h = hexDigit(s[i]), l = hexDigit(s[i + 1]);
        if (h < 0 || l < 0)
            return false;
        out->push_back(BYTE(h << 4 | l));
    }
    return true;
}

void parseMac(const std::string& s, BYTE (&mac)[6], const std::string& where)
{
    std::string hex;
    for (char c : s)
        if (c != ':' && c != '-')
            hex += c;
    std::vector<BYTE> bytes;
    if (!parseHex(hex, &bytes) || bytes.size() != 6)
        throw BadWorld(where + " is not a MAC address");
    std::copy(bytes.begin(), bytes.end(), mac);
}

const std::map<std::string, DWORD> kPrivacyNames = {
    { "wep", 0 },
    { "none", 1 },
    { "disabled", 1 },
    { "wepkeyabsent", 2 },
    { "wepnotsupported", 3 },
    { "tkip", 4 },
    { "tkipkeyabsent", 5 },
    { "aes", 6 },
    { "aeskeyabsent", 7 },
};
const std::map<std::string, DWORD> kAuthNames = {
    { "open", 0 },
    { "shared", 1 },
    { "autoswitch", 2 },
    { "wpa", 3 },
    { "wpapsk", 4 },
    { "wpanone", 5 },
    { "wpa2", 6 },
    { "wpa2psk", 7 },
};

Config parseWorld(const std::string& content)
{
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    Json::Value parsed;
    std::string errors;
    std::istringstream in(content);
    bool ok = false;
    try {
        ok = Json::parseFromStream(builder, in, &parsed, &errors);
    } catch (const Json::Exception& e) {
        // The reader throws instead of failing when values nest too deep.
        errors = e.what();
    }
    if (!ok)
        throw BadWorld("not JSON: " + errors);
    // Read through a const reference: a non-const operator[] would add members.
    const Json::Value& root = parsed;
    if (!root.isObject())
        throw BadWorld("the world must be a JSON object");

    Config c;
    const Json::Value& adapter = root["adapter"];
    c.hasAdapter = !root.isMember("adapter") || !adapter.isNull();
    if (c.hasAdapter && root.isMember("adapter")) {
        if (!adapter.isObject())
            throw BadWorld("adapter must be an object or null");
        c.adapterName = text(adapter, "name", c.adapterName, ce::MAX_ADAPTER_NAME_CHARS - 1, "adapter");
        if (c.adapterName.empty())
            throw BadWorld("adapter.name must not be empty");
        c.adapterDescription
            = text(adapter, "description", c.adapterDescription, ce::MAX_ADAPTER_DESCRIPTION_CHARS - 1, "adapter");
        if (adapter.isMember("macAddress"))
            parseMac(text(adapter, "macAddress", "", 17, "adapter"), c.adapterMac, "adapter.macAddress");
        c.appearDelayMs = integer(adapter, "appearDelayMs", 0, 0, 3600000, "adapter");
    }
    c.zeroConfig = boolean(root, "zeroConfigEnabled", true, "world");
    c.radioOn = boolean(root, "radioOn", true, "world");
    c.scanDelayMs = integer(root, "scanDelayMs", c.scanDelayMs, 0, 600000, "world");
    c.associationDelayMs = integer(root, "associationDelayMs", c.associationDelayMs, 0, 600000, "world");
    c.addressDelayMs = integer(root, "addressDelayMs", c.addressDelayMs, 0, 600000, "world");
    c.associationLingerMs = integer(root, "associationLingerMs", 0, 0, 600000, "world");

    const Json::Value& nets = root["networks"];
    if (!nets.isNull() && !nets.isArray())
        throw BadWorld("networks must be an array");
    for (Json::ArrayIndex i = 0; i < nets.size(); ++i) {
        const Json::Value& n = nets[i];
        std::string where = "networks[" + std::to_string(i) + "]";
        if (!n.isObject())
            throw BadWorld(where + " must be an object");
        Network net;
        net.ssid = text(n, "ssid", "", 32, where);
        if (n.isMember("privacy"))
            net.privacy = enumValue(n["privacy"], (where + ".privacy").c_str(), kPrivacyNames, 7);
        if (n.isMember("authentication"))
            net.auth = enumValue(n["authentication"], (where + ".authentication").c_str(), kAuthNames, 7);
        net.infra = boolean(n, "infrastructure", true, where) ? ce::NDIS_INFRA_INFRASTRUCTURE : ce::NDIS_INFRA_ADHOC;
        net.rssi = integer(n, "rssi", -60, -120, 0, where);
        net.bssid[0] = 0x02;
        net.bssid[5] = BYTE(i + 1);
        net.bssid[4] = BYTE((i + 1) >> 8);
        if (n.isMember("bssid"))
            parseMac(text(n, "bssid", "", 17, where), net.bssid, where + ".bssid");
        net.hasKey = n.isMember("key") && !n["key"].isNull();
        net.key = text(n, "key", "", 64, where);
        net.keyIndex = integer(n, "keyIndex", 1, 1, 4, where);
        if (n.isMember("authData") && !parseHex(text(n, "authData", "", 2 * kMaxAuthData, where), &net.authData))
            throw BadWorld(where + ".authData must be hexadecimal bytes");
        net.eapType = DWORD(integer(n, "eapType", int(ce::WZC_EAP_TYPE_TLS), 0, 255, where));
        net.address = text(n, "address", "", 15, where);
        net.mask = text(n, "mask", net.address.empty() ? "" : "255.255.255.0", 15, where);
        net.gateway = text(n, "gateway", "", 15, where);
        net.dhcpServer = text(n, "dhcpServer", "", 15, where);
        c.networks.push_back(net);
    }

    const Json::Value& others = root["otherAdapters"];
    if (!others.isNull() && !others.isArray())
        throw BadWorld("otherAdapters must be an array");
    for (Json::ArrayIndex i = 0; i < others.size(); ++i) {
        const Json::Value& a = others[i];
        std::string where = "otherAdapters[" + std::to_string(i) + "]";
        if (!a.isObject())
            throw BadWorld(where + " must be an object");
        OtherAdapter o;
        o.name = text(a, "name", "ETH" + std::to_string(i + 1), ce::MAX_ADAPTER_NAME_CHARS - 1, where);
        o.description = text(a, "description", "", ce::MAX_ADAPTER_DESCRIPTION_CHARS - 1, where);
        o.address = text(a, "address", "0.0.0.0", 15, where);
        o.mask = text(a, "mask", "0.0.0.0", 15, where);
        o.gateway = text(a, "gateway", "", 15, where);
        c.others.push_back(o);
    }
    return c;
}

Config readWorldFile()
{
    std::string path = ce::resolvePath(kWorldFile);
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        ce::debugPrintf("wzc sim: no world file at %s: no adapter", path.c_str());
        return {};
    }
    std::stringstream ss;
    ss << f.rdbuf();
    try {
        return parseWorld(ss.str());
    } catch (const BadWorld& e) {
        ce::debugPrintf("wzc sim: world file %s refused: %s: no adapter", path.c_str(), e.what());
        return {};
    }
}

// ---- keys --------------------------------------------------------------------------------

bool isWpaPersonal(DWORD privacy, DWORD auth)
{
    return auth == ce::NDIS_AUTH_WPAPSK || auth == ce::NDIS_AUTH_WPA2PSK
        || (auth == ce::NDIS_AUTH_WPANONE && privacy == ce::NDIS_PRIVACY_TKIP_ENABLED)
        || privacy == ce::NDIS_PRIVACY_AES_ENABLED;
}

std::string ssidOf(const ce::WZC_WLAN_CONFIG& r)
{
    return std::string(reinterpret_cast<const char*>(r.Ssid.Ssid), std::min<DWORD>(r.Ssid.SsidLength, 32));
}

// Whether a preferred record carries the key the network accepts.
bool keyMatches(const ce::WZC_WLAN_CONFIG& rec, const Network& net)
{
    if (rec.Privacy != net.privacy || rec.AuthenticationMode != net.auth)
        return false;
    if (!net.hasKey)
        return true;
    BYTE material[32];
    std::memcpy(material, rec.KeyMaterial, sizeof material);
    if (net.privacy == ce::NDIS_PRIVACY_WEP_ENABLED) {
        std::vector<BYTE> expected;
        if (net.key.size() == 5 || net.key.size() == 13)
            expected.assign(net.key.begin(), net.key.end());
        else if (!parseHex(net.key, &expected))
            return false;
        if (!(rec.dwCtlFlags & ce::WZC_CFG_KEY_PRESENT) || rec.KeyLength != expected.size()
            || rec.KeyIndex != DWORD(net.keyIndex - 1))
            return false;
        ce::wzcMaskKeyMaterial(material);
        return std::equal(expected.begin(), expected.end(), material);
    }
    if (isWpaPersonal(net.privacy, net.auth)) {
        std::vector<BYTE> expected;
        if (net.key.size() != 64 || !parseHex(net.key, &expected))
            expected = derivePassphraseKey(net.key, net.ssid);
        if (!(rec.dwCtlFlags & ce::WZC_CFG_KEY_PRESENT))
            return false;
        if (rec.dwCtlFlags & ce::WZC_CFG_KEY_MASKED)
            ce::wzcMaskKeyMaterial(material);
        return std::equal(expected.begin(), expected.end(), material);
    }
    // Enterprise credentials are not modelled.
    return true;
}

// ---- the radio device ------------------------------------------------------------------------

class RadioSession : public ce::DeviceSession {
public:
    bool read(std::vector<uint8_t>&, size_t, DWORD) override { return false; }
    bool write(const uint8_t*, size_t) override { return false; }
    bool ioControl(DWORD code, const std::vector<uint8_t>& in, std::vector<uint8_t>&, size_t, DWORD* error) override;
    void close() override { }
};

class RadioDriver : public ce::DeviceDriver {
public:
    std::unique_ptr<ce::DeviceSession> open(DWORD, DWORD*) override { return std::make_unique<RadioSession>(); }
};

// ---- the world ------------------------------------------------------------------------------------

class World {
public:
    static World& instance()
    {
        static World w;
        return w;
    }

    std::mutex m;

    // ---- state (under m) ----
    Config cfg;
    std::string loadedRoot;
    bool loaded = false;
    bool radioOn = false;
    bool zeroConfig = false;
    Clock::time_point appearAt;
    unsigned radioGen = 0;
    bool scanned = false;
    std::vector<Network> scanResults;
    bool hasPreferred = false;
    std::vector<ce::WZC_WLAN_CONFIG> preferred;
    std::vector<std::vector<BYTE>> preferredAuth;
    DWORD preferredIndex = 0;
    unsigned joinGen = 0;
    bool joinedSinceAppear = false;
    bool associated = false;
    bool addressed = false;
    // The association is the one from before the preferred list changed,
    // kept until lingerGen's timer ends it or the new join replaces it.
    bool lingering = false;
    unsigned lingerGen = 0;
    Network joined;
    ce::WZC_CONTEXT context { 3000, 2000, 60000, 60000 };
    int failAdapterInfo = 0;
    ce::HANDLE eventQueue = nullptr;
    std::string eventQueueRoot;

    void ensureLoaded()
    {
        if (!loaded || loadedRoot != ce::deviceRoot())
            load();
    }

    void load()
    {
        loadedRoot = ce::deviceRoot();
        loaded = true;
        cfg = readWorldFile();
        tasks.clear();
        ++radioGen;
        ++joinGen;
        radioOn = cfg.radioOn;
        zeroConfig = cfg.zeroConfig;
        scanned = false;
        scanResults.clear();
        hasPreferred = false;
        preferred.clear();
        preferredAuth.clear();
        preferredIndex = 0;
        associated = addressed = false;
        failAdapterInfo = 0;
        if (radioOn)
            powerUp();
    }

    bool present() const { return cfg.hasAdapter && radioOn && Clock::now() >= appearAt; }

    bool isOurs(const char16_t* guid) const
    {
        if (!guid || !present())
            return false;
        std::u16string name(cfg.adapterName.begin(), cfg.adapterName.end());
        // Never past the caller's NUL, whatever the configured name holds.
        for (size_t i = 0;; ++i) {
            if (guid[i] != (i < name.size() ? name[i] : u'\0'))
                return false;
            if (guid[i] == u'\0')
                return i == name.size();
        }
    }

    void powerUp()
    {
        joinedSinceAppear = false;
        appearAt = Clock::now() + std::chrono::milliseconds(cfg.appearDelayMs);
        unsigned gen = radioGen;
        after(cfg.appearDelayMs, [this, gen] {
            if (gen != radioGen)
                return;
            scan();
            // The service joins its preferred networks once the adapter is up,
            // unless a new list already started a join.
            if (zeroConfig && !preferred.empty() && !joinedSinceAppear)
                startJoin();
        });
    }

    void setRadio(bool on)
    {
        ensureLoaded();
        if (on == radioOn)
            return;
        radioOn = on;
        ++radioGen;
        disassociate();
        scanned = false;
        scanResults.clear();
        if (on)
            powerUp();
    }

    void scan()
    {
        unsigned gen = radioGen;
        after(cfg.scanDelayMs, [this, gen] {
            if (gen != radioGen)
                return;
            scanned = true;
            scanResults = cfg.networks;
        });
    }

    void disassociate()
    {
        ++joinGen;
        associated = addressed = false;
        lingering = false;
    }

    // The preferred list changed: the association ends now, or after the
    // linger time while a new join is tried.
    void leaveForNewList()
    {
        if (!associated || cfg.associationLingerMs <= 0) {
            disassociate();
            return;
        }
        ++joinGen;
        lingering = true;
        unsigned gen = ++lingerGen;
        after(cfg.associationLingerMs, [this, gen] {
            if (gen != lingerGen || !lingering)
                return;
            lingering = false;
            associated = addressed = false;
        });
    }

    const Network* inRange(const ce::WZC_WLAN_CONFIG& rec) const
    {
        for (const Network& n : cfg.networks)
            if (n.infra == rec.InfrastructureMode && n.ssid == ssidOf(rec))
                return &n;
        return nullptr;
    }

    // Joins the first preferred network in range, as the service does after
    // its list changed.
    void startJoin()
    {
        joinedSinceAppear = true;
        if (lingering)
            ++joinGen; // the old association stays until it times out or is replaced
        else
            disassociate();
        unsigned gen = joinGen;
        const ce::WZC_WLAN_CONFIG* target = nullptr;
        const Network* net = nullptr;
        for (const auto& rec : preferred) {
            if ((net = inRange(rec))) {
                target = &rec;
                break;
            }
        }
        if (!target) {
            after(cfg.scanDelayMs, [this, gen] {
                if (gen == joinGen)
                    writeEventLocked(ce::WZC_EVENT_PREFERRED_LIST_EXHAUSTED, "");
            });
            return;
        }
        Network network = *net;
        bool matches = keyMatches(*target, network);
        writeEventLocked(ce::WZC_EVENT_ASSOCIATING, network.ssid);
        after(cfg.associationDelayMs, [this, gen, network, matches] {
            if (gen != joinGen)
                return;
            if (!matches) {
                writeEventLocked(ce::WZC_EVENT_FAILED_ASSOCIATION, network.ssid);
                return;
            }
            associated = true;
            addressed = false;
            lingering = false;
            joined = network;
            writeEventLocked(ce::WZC_EVENT_SUCCESSFUL_ASSOCIATION, network.ssid);
            if (network.address.empty())
                return;
            after(cfg.addressDelayMs, [this, gen, network] {
                if (gen != joinGen)
                    return;
                addressed = true;
                writeEventLocked(ce::WZC_EVENT_CONFIGURED, network.ssid);
            });
        });
    }

    bool writeEventLocked(DWORD code, const std::string& ssid)
    {
        ce::WZC_EVENT_MESSAGE msg {};
        msg.dwEventCode = code;
        std::memcpy(msg.szSsid, ssid.data(), std::min<size_t>(ssid.size(), 32));
        const char* detail = "simulated adapter";
        for (size_t i = 0; detail[i]; ++i)
            msg.wszDetail[i] = char16_t(detail[i]);
        // One write end for every event, so the reader gets them in order.
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (!eventQueue || eventQueueRoot != ce::deviceRoot()) {
                if (eventQueue)
                    ce::closeMsgQueue(eventQueue);
                ce::MSGQUEUEOPTIONS o {};
                o.dwSize = sizeof o;
                o.dwFlags = ce::MSGQUEUE_ALLOW_BROKEN;
                o.dwMaxMessages = ce::WZC_EVENT_QUEUE_MAX_MESSAGES;
                o.cbMaxMessage = sizeof msg;
                o.bReadAccess = 0;
                eventQueue = ce::createMsgQueue(ce::WZC_EVENT_QUEUE_NAME, &o);
                eventQueueRoot = ce::deviceRoot();
                if (!eventQueue)
                    return false;
            }
            if (ce::writeMsgQueue(eventQueue, &msg, sizeof msg, 0, 0))
                return true;
            // No reader now: the write end is opened afresh for the next try.
            ce::closeMsgQueue(eventQueue);
            eventQueue = nullptr;
        }
        return false;
    }

    void storePreferred(const ce::WZC_WLAN_CONFIG* recs, DWORD count, DWORD index)
    {
        std::vector<ce::WZC_WLAN_CONFIG> list(recs, recs + count);
        std::vector<std::vector<BYTE>> auth(count);
        for (DWORD i = 0; i < count; ++i) {
            auto& e = list[i].EapolParams;
            // The service keeps its own copy of the auth data the caller handed in.
            if (e.pbAuthData && e.dwAuthDataLen > 0)
                auth[i].assign(e.pbAuthData, e.pbAuthData + std::min(e.dwAuthDataLen, kMaxAuthData));
            e.dwAuthDataLen = DWORD(auth[i].size());
            e.pbAuthData = nullptr;
        }
        preferred.swap(list);
        preferredAuth.swap(auth);
        for (size_t i = 0; i < preferred.size(); ++i)
            preferred[i].EapolParams.pbAuthData = preferredAuth[i].empty() ? nullptr : preferredAuth[i].data();
        preferredIndex = index;
        hasPreferred = true;
    }

    // ---- timer thread ----
    void after(int ms, std::function<void()> fn)
    {
        tasks.emplace(Clock::now() + std::chrono::milliseconds(ms), std::move(fn));
        cv.notify_all();
    }

private:
    World()
    {
        driver = std::make_shared<RadioDriver>();
        ce::registerDevice(ce::WZC_RADIO_DEVICE, driver);
        worker = std::thread([this] { loop(); });
    }
    ~World()
    {
        {
            std::lock_guard<std::mutex> l(m);
            quit = true;
            tasks.clear();
        }
        cv.notify_all();
        if (worker.joinable())
            worker.join();
        ce::unregisterDevice(ce::WZC_RADIO_DEVICE);
    }

    void loop()
    {
        std::unique_lock<std::mutex> l(m);
        while (!quit) {
            if (tasks.empty()) {
                cv.wait(l);
                continue;
            }
            auto first = tasks.begin();
            const Clock::time_point when = first->first; // tasks may change while waiting
            if (Clock::now() < when) {
                cv.wait_until(l, when);
                continue;
            }
            auto fn = std::move(first->second);
            tasks.erase(first);
            fn();
        }
    }

    std::multimap<Clock::time_point, std::function<void()>> tasks;
    std::condition_variable cv;
    bool quit = false;
    std::thread worker;
    std::shared_ptr<RadioDriver> driver;
};

bool RadioSession::ioControl(DWORD code, const std::vector<uint8_t>& in, std::vector<uint8_t>&, size_t, DWORD* error)
{
    if (code != ce::IOCTL_WIFI_POWER_ON && code != ce::IOCTL_WIFI_POWER_OFF) {
        *error = ce::ERROR_NOT_SUPPORTED;
        return false;
    }
    if (in.size() != 4) {
        *error = ce::ERROR_INVALID_PARAMETER;
        return false;
    }
    World& w = World::instance();
    std::lock_guard<std::mutex> l(w.m);
    w.setRadio(code == ce::IOCTL_WIFI_POWER_ON);
    return true;
}

// The world exists, and "HSC2:" is served, as soon as the simulator is loaded.
const bool g_started = (World::instance(), true);

char16_t* copyText16(const std::string& s)
{
    auto* p = static_cast<char16_t*>(std::calloc(s.size() + 1, sizeof(char16_t)));
    if (p)
        for (size_t i = 0; i < s.size(); ++i)
            p[i] = char16_t(static_cast<unsigned char>(s[i]));
    return p;
}

void setRaw(ce::RAW_DATA& raw, const void* data, size_t size)
{
    raw.pData = static_cast<BYTE*>(std::malloc(size ? size : 1));
    raw.dwDataLen = raw.pData ? DWORD(size) : 0;
    if (raw.pData && size)
        std::memcpy(raw.pData, data, size);
}

ce::WZC_WLAN_CONFIG scanRecord(const Network& n)
{
    ce::WZC_WLAN_CONFIG r {};
    r.Length = sizeof r;
    std::memcpy(r.MacAddress, n.bssid, 6);
    r.Ssid.SsidLength = DWORD(n.ssid.size());
    std::memcpy(r.Ssid.Ssid, n.ssid.data(), n.ssid.size());
    r.Privacy = n.privacy;
    r.Rssi = n.rssi;
    r.NetworkTypeInUse = 2;
    r.Configuration.Length = sizeof r.Configuration;
    r.Configuration.BeaconPeriod = 100;
    r.Configuration.DSConfig = 2437000;
    r.InfrastructureMode = n.infra;
    const BYTE rates[8] = { 0x82, 0x84, 0x8B, 0x96, 0x0C, 0x12, 0x18, 0x24 };
    std::memcpy(r.SupportedRates, rates, sizeof rates);
    r.AuthenticationMode = n.auth;
    if (n.privacy >= ce::NDIS_PRIVACY_TKIP_ENABLED)
        r.WPAMCastCipher = ce::NDIS_ENCRYPTION2_ENABLED;
    if (!n.authData.empty()) {
        r.EapolParams.bEnable8021x = 1;
        r.EapolParams.dwEapFlags = ce::WZC_EAP_FLAG_ENABLED;
        r.EapolParams.dwEapType = n.eapType;
    }
    return r;
}

// A counted list in one allocation; auth data follows the records and the
// records point into it.
void setList(ce::RAW_DATA& raw, const std::vector<ce::WZC_WLAN_CONFIG>& recs,
    const std::vector<std::vector<BYTE>>& auth, DWORD index)
{
    size_t size = ce::wzcConfigListSize(DWORD(recs.size()));
    for (const auto& a : auth)
        size += a.size();
    std::vector<BYTE> buf(size);
    DWORD n = DWORD(recs.size());
    std::memcpy(buf.data(), &n, 4);
    std::memcpy(buf.data() + 4, &index, 4);
    setRaw(raw, buf.data(), buf.size());
    if (!raw.pData)
        return;
    size_t tail = ce::wzcConfigListSize(n);
    for (DWORD i = 0; i < n; ++i) {
        ce::WZC_WLAN_CONFIG r = recs[i];
        r.EapolParams.pbAuthData = nullptr;
        r.EapolParams.dwAuthDataLen = 0;
        if (i < auth.size() && !auth[i].empty()) {
            std::memcpy(raw.pData + tail, auth[i].data(), auth[i].size());
            r.EapolParams.pbAuthData = raw.pData + tail;
            r.EapolParams.dwAuthDataLen = DWORD(auth[i].size());
            tail += auth[i].size();
        }
        std::memcpy(raw.pData + ce::wzcConfigListSize(i), &r, sizeof r);
    }
}

void fillAddr(ce::IP_ADDR_STRING& a, const std::string& ip, const std::string& mask)
{
    std::memset(&a, 0, sizeof a);
    std::strncpy(a.IpAddress, ip.c_str(), sizeof a.IpAddress - 1);
    std::strncpy(a.IpMask, mask.c_str(), sizeof a.IpMask - 1);
}

// The world under its lock, with its file read.
class LockedWorld {
public:
    LockedWorld()
        : m_world(World::instance())
        , m_lock(m_world.m)
    {
        m_world.ensureLoaded();
    }
    World* operator->() { return &m_world; }
    World& operator*() { return m_world; }

private:
    World& m_world;
    std::lock_guard<std::mutex> m_lock;
};

// The common check of the interface calls: an entry keyed by the simulated
// adapter; the out flags are cleared first.
DWORD checkEntry(const World& w, const ce::INTF_ENTRY_EX* e, DWORD* outFlags)
{
    if (!e)
        return ce::ERROR_INVALID_PARAMETER;
    if (outFlags)
        *outFlags = 0;
    return w.isOurs(e->wszGuid) ? ce::ERROR_SUCCESS : ce::ERROR_FILE_NOT_FOUND;
}

} // namespace

// ---- the C++ API ------------------------------------------------------------------------------------

void reload()
{
    World& w = World::instance();
    std::lock_guard<std::mutex> l(w.m);
    w.load();
}

void reloadNetworks()
{
    LockedWorld w;
    w->cfg.networks = readWorldFile().networks;
}

Status status()
{
    LockedWorld w;
    Status s;
    s.radioOn = w->radioOn;
    s.adapterPresent = w->present();
    s.zeroConfigEnabled = w->zeroConfig;
    s.associated = w->associated;
    s.hasAddress = w->addressed;
    if (w->associated)
        s.associatedSsid = w->joined.ssid;
    return s;
}

bool hasPreferredList()
{
    LockedWorld w;
    return w->hasPreferred;
}

std::vector<ce::WZC_WLAN_CONFIG> preferredList()
{
    LockedWorld w;
    return w->preferred;
}

void setPreferredList(const std::vector<ce::WZC_WLAN_CONFIG>& list, DWORD index)
{
    LockedWorld w;
    w->storePreferred(list.data(), DWORD(list.size()), index);
}

void failNextAdapterInfoCalls(int count)
{
    LockedWorld w;
    w->failAdapterInfo = count;
}

bool writeEvent(DWORD code, const std::string& ssid)
{
    World& w = World::instance();
    std::lock_guard<std::mutex> l(w.m);
    return w.writeEventLocked(code, ssid);
}

std::vector<BYTE> derivePassphraseKey(const std::string& passphrase, const std::string& ssid)
{
    QByteArray key = QPasswordDigestor::deriveKeyPbkdf2(
        QCryptographicHash::Sha1, QByteArray::fromStdString(passphrase), QByteArray::fromStdString(ssid), 4096, 32);
    std::vector<BYTE> out(32, 0);
    std::memcpy(out.data(), key.constData(), std::min<size_t>(32, size_t(key.size())));
    return out;
}

// ---- the service ------------------------------------------------------------------------------------

namespace service {

DWORD enumInterfaces(ce::INTFS_KEY_TABLE* table)
{
    if (!table)
        return ce::ERROR_INVALID_PARAMETER;
    LockedWorld w;
    table->dwNumIntfs = 0;
    table->pIntfs = nullptr;
    if (!w->present())
        return ce::ERROR_SUCCESS;
    table->pIntfs = static_cast<ce::INTF_KEY_ENTRY*>(std::calloc(1, sizeof(ce::INTF_KEY_ENTRY)));
    if (!table->pIntfs)
        return ce::ERROR_NOT_ENOUGH_MEMORY;
    table->pIntfs[0].wszGuid = copyText16(w->cfg.adapterName);
    table->dwNumIntfs = 1;
    return ce::ERROR_SUCCESS;
}

DWORD queryInterface(DWORD inFlags, ce::INTF_ENTRY_EX* e, DWORD* outFlags)
{
    LockedWorld w;
    if (DWORD r = checkEntry(*w, e, outFlags))
        return r;
    char16_t* guid = e->wszGuid;
    std::memset(e, 0, sizeof *e);
    e->wszGuid = guid;
    e->bInitialized = 1;
    if (inFlags & ce::WZC_FIELD_DESCRIPTION)
        e->wszDescr = copyText16(w->cfg.adapterDescription);
    e->ulMediaState = w->associated ? 0 : 1;
    e->ulPhysicalMediaType = 9;
    e->nInfraMode = int32_t(w->associated ? w->joined.infra : ce::NDIS_INFRA_INFRASTRUCTURE);
    e->nAuthMode = int32_t(w->associated ? w->joined.auth : ce::NDIS_AUTH_OPEN);
    e->nWepStatus = int32_t(w->associated ? w->joined.privacy : ce::NDIS_PRIVACY_WEP_DISABLED);
    e->dwCtlFlags = w->zeroConfig ? ce::WZC_CTL_ENABLED : 0;
    if ((inFlags & ce::WZC_FIELD_SSID) && w->associated)
        setRaw(e->rdSSID, w->joined.ssid.data(), w->joined.ssid.size());
    if (inFlags & ce::WZC_FIELD_BSSID) {
        BYTE none[6] = {};
        setRaw(e->rdBSSID, w->associated ? w->joined.bssid : none, 6);
    }
    if ((inFlags & ce::WZC_FIELD_VISIBLE_LIST) && w->scanned && !w->scanResults.empty()) {
        std::vector<ce::WZC_WLAN_CONFIG> recs;
        std::vector<std::vector<BYTE>> auth;
        for (const Network& n : w->scanResults) {
            recs.push_back(scanRecord(n));
            auth.push_back(n.authData);
        }
        setList(e->rdBSSIDList, recs, auth, 0);
    }
    if ((inFlags & ce::WZC_FIELD_PREFERRED_LIST) && w->hasPreferred)
        setList(e->rdStSSIDList, w->preferred, w->preferredAuth, w->preferredIndex);
    if (outFlags)
        *outFlags = inFlags;
    return ce::ERROR_SUCCESS;
}

DWORD setInterface(DWORD inFlags, ce::INTF_ENTRY_EX* e, DWORD* outFlags)
{
    LockedWorld w;
    if (DWORD r = checkEntry(*w, e, outFlags))
        return r;
    const ce::WZC_WLAN_CONFIG* recs = nullptr;
    DWORD count = 0, index = 0;
    if (inFlags & ce::WZC_FIELD_PREFERRED_LIST) {
        const ce::RAW_DATA& raw = e->rdStSSIDList;
        if (raw.pData && raw.dwDataLen >= ce::WZC_CONFIG_LIST_HEADER) {
            std::memcpy(&count, raw.pData, 4);
            std::memcpy(&index, raw.pData + 4, 4);
            if (count > (raw.dwDataLen - ce::WZC_CONFIG_LIST_HEADER) / sizeof(ce::WZC_WLAN_CONFIG))
                return ce::ERROR_INVALID_DATA;
            recs = reinterpret_cast<const ce::WZC_WLAN_CONFIG*>(raw.pData + ce::WZC_CONFIG_LIST_HEADER);
        } else if (raw.pData || raw.dwDataLen) {
            return ce::ERROR_INVALID_DATA;
        }
    }
    bool join = false;
    if (inFlags & ce::WZC_FIELD_CONTROL_FLAGS) {
        bool on = (e->dwCtlFlags & ce::WZC_CTL_ENABLED) != 0;
        if (on != w->zeroConfig) {
            w->zeroConfig = on;
            if (on)
                join = true;
            else
                w->disassociate();
        }
    }
    if (inFlags & ce::WZC_FIELD_PREFERRED_LIST) {
        std::vector<ce::WZC_WLAN_CONFIG> copy(count);
        if (count)
            std::memcpy(copy.data(), recs, count * sizeof(ce::WZC_WLAN_CONFIG));
        w->storePreferred(copy.data(), count, index);
        w->leaveForNewList();
        join = true;
    }
    if (join && w->zeroConfig && !w->preferred.empty())
        w->startJoin();
    if (outFlags)
        *outFlags = inFlags;
    return ce::ERROR_SUCCESS;
}

DWORD refreshInterface(DWORD inFlags, ce::INTF_ENTRY_EX* e, DWORD* outFlags)
{
    LockedWorld w;
    if (DWORD r = checkEntry(*w, e, outFlags))
        return r;
    w->scan();
    if (outFlags)
        *outFlags = inFlags;
    return ce::ERROR_SUCCESS;
}

DWORD queryContext(DWORD inFlags, ce::WZC_CONTEXT* context, DWORD* outFlags)
{
    if (!context)
        return ce::ERROR_INVALID_PARAMETER;
    World& w = World::instance();
    std::lock_guard<std::mutex> l(w.m);
    *context = w.context;
    if (outFlags)
        *outFlags = inFlags;
    return ce::ERROR_SUCCESS;
}

DWORD setContext(DWORD inFlags, ce::WZC_CONTEXT* context, DWORD* outFlags)
{
    if (!context)
        return ce::ERROR_INVALID_PARAMETER;
    World& w = World::instance();
    std::lock_guard<std::mutex> l(w.m);
    w.context = *context;
    if (outFlags)
        *outFlags = inFlags;
    return ce::ERROR_SUCCESS;
}

ce::BOOL password2Key(ce::WZC_WLAN_CONFIG* config, const char* passphrase)
{
    if (!config || !passphrase)
        return 0;
    std::string pass(passphrase, strnlen(passphrase, 63));
    std::vector<BYTE> key = derivePassphraseKey(pass, ssidOf(*config));
    std::memcpy(config->KeyMaterial, key.data(), 32);
    return 1;
}

void deleteInterface(ce::INTF_ENTRY_EX* e)
{
    if (!e)
        return;
    std::free(e->wszDescr);
    e->wszDescr = nullptr;
    for (ce::RAW_DATA* r : { &e->rdSSID, &e->rdBSSID, &e->rdBSSIDList, &e->rdStSSIDList, &e->rdCtrlData }) {
        std::free(r->pData);
        r->pData = nullptr;
        r->dwDataLen = 0;
    }
}

DWORD adaptersInfo(ce::IP_ADAPTER_INFO* buffer, DWORD* size)
{
    if (!size)
        return ce::ERROR_INVALID_PARAMETER;
    LockedWorld w;
    std::vector<ce::IP_ADAPTER_INFO> list;
    if (w->present()) {
        ce::IP_ADAPTER_INFO a {};
        std::strncpy(a.AdapterName, w->cfg.adapterName.c_str(), sizeof a.AdapterName - 1);
        std::strncpy(a.Description, w->cfg.adapterDescription.c_str(), sizeof a.Description - 1);
        a.AddressLength = 6;
        std::memcpy(a.Address, w->cfg.adapterMac, 6);
        a.Index = 1;
        a.Type = 71;
        const Network& n = w->joined;
        bool addr = w->associated && w->addressed;
        a.DhcpEnabled = !(w->associated && n.dhcpServer.empty());
        fillAddr(a.IpAddressList, addr ? n.address : "0.0.0.0", addr ? n.mask : "0.0.0.0");
        fillAddr(a.GatewayList, addr ? n.gateway : "", "");
        fillAddr(a.DhcpServer, addr ? n.dhcpServer : "", "");
        list.push_back(a);
    }
    DWORD index = 2;
    for (const OtherAdapter& o : w->cfg.others) {
        ce::IP_ADAPTER_INFO a {};
        std::strncpy(a.AdapterName, o.name.c_str(), sizeof a.AdapterName - 1);
        std::strncpy(a.Description, o.description.c_str(), sizeof a.Description - 1);
        a.Index = index++;
        a.Type = 6;
        fillAddr(a.IpAddressList, o.address, o.mask);
        fillAddr(a.GatewayList, o.gateway, "");
        fillAddr(a.DhcpServer, "", "");
        list.push_back(a);
    }
    if (list.empty())
        return ce::ERROR_NO_DATA;
    DWORD needed = DWORD(list.size() * sizeof(ce::IP_ADAPTER_INFO));
    auto fill = [&] {
        for (size_t i = 0; i < list.size(); ++i) {
            list[i].Next = i + 1 < list.size() ? &buffer[i + 1] : nullptr;
            std::memcpy(&buffer[i], &list[i], sizeof list[i]);
        }
    };
    if (w->failAdapterInfo > 0) {
        // An adapter appeared while the chain was written: what was there
        // before stays in the buffer, and the call fails asking for more.
        --w->failAdapterInfo;
        if (buffer && *size >= needed)
            fill();
        *size = needed + DWORD(sizeof(ce::IP_ADAPTER_INFO));
        return ce::ERROR_BUFFER_OVERFLOW;
    }
    if (!buffer || *size < needed) {
        *size = needed;
        return ce::ERROR_BUFFER_OVERFLOW;
    }
    fill();
    return ce::ERROR_SUCCESS;
}

} // namespace service

} // namespace kivo::sim::wzc
