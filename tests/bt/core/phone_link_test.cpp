// The serial link to a companion phone: the frame parser over any split of
// the byte stream, the frames each operation writes, what received frames
// do, and the port's life with the link, in process and through the device
// socket.
#include "tests/bt/bt_test_support.h"

#include "bt/core/phone_link.h"
#include "platform/debug.h"
#include "platform/device.h"

#include <mutex>
#include <random>

using namespace kivo::bt;
using namespace kivo::bt::test;
namespace sim = kivo::sim::bt;

namespace {

using Bytes = std::vector<uint8_t>;

struct Frame {
    uint8_t command;
    Bytes payload;
    bool operator==(const Frame& o) const { return command == o.command && payload == o.payload; }
};

// A parser that notes each frame it hands on.
struct Parsed {
    FrameParser parser;
    std::vector<Frame> frames;
    Parsed()
    {
        parser.SetHandler([this](uint8_t c, const uint8_t* p, size_t n) { frames.push_back({ c, Bytes(p, p + n) }); });
    }
    void feed(const Bytes& b) { parser.Feed(b.data(), b.size()); }
};

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes text(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

// A payload string: 16-bit byte count, then UTF-8.
Bytes str(const std::string& s)
{
    return Bytes { uint8_t(s.size() & 0xFF), uint8_t(s.size() >> 8) } + text(s);
}

} // namespace

TEST(FrameParser, FindsEachFrameHoweverTheStreamIsCut)
{
    const Bytes result { 0xAF, 0xFA, 0x84, 0x01, 0x00, 0x00 };
    // Every pair of cut places over three reads.
    for (size_t i = 1; i < result.size(); ++i)
        for (size_t j = i + 1; j < result.size(); ++j) {
            SCOPED_TRACE(std::to_string(i) + "," + std::to_string(j));
            Parsed p;
            p.feed(Bytes(result.begin(), result.begin() + long(i)));
            p.feed(Bytes(result.begin() + long(i), result.begin() + long(j)));
            EXPECT_TRUE(p.frames.empty());
            p.feed(Bytes(result.begin() + long(j), result.end()));
            EXPECT_EQ(p.frames, (std::vector<Frame> { { 0x84, { 0x00 } } }));
        }

    struct Case {
        const char* what;
        Bytes stream;
        std::vector<Frame> frames;
    };
    const Bytes big(kMaxFramePayload, 0x5A);
    const Case cases[] = {
        { "a stray start byte before the frame", Bytes { 0xAF, 0xAF, 0xFA, 0xC1, 0x00, 0x00 }, { { 0xC1, {} } } },
        { "noise, then a frame", Bytes { 0x00, 0xFA, 0xAF, 0x01, 0xAF, 0xFA, 0x84, 0x01, 0x00, 0x07 },
            { { 0x84, { 0x07 } } } },
        { "two frames back to back", Bytes { 0xAF, 0xFA, 0xD3, 0x00, 0x00, 0xAF, 0xFA, 0xCE, 0x01, 0x00, 0x01 },
            { { 0xD3, {} }, { 0xCE, { 0x01 } } } },
        { "the largest payload", Bytes { 0xAF, 0xFA, 0x81, 0xFF, 0xFF } + big + Bytes { 0xAF, 0xFA, 0xD4, 0, 0 },
            { { 0x81, big }, { 0xD4, {} } } },
        { "start bytes inside a payload are payload", Bytes { 0xAF, 0xFA, 0x83, 0x02, 0x00, 0xAF, 0xFA },
            { { 0x83, { 0xAF, 0xFA } } } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Parsed p;
        p.feed(c.stream);
        EXPECT_EQ(p.frames, c.frames);
        EXPECT_EQ(p.parser.State(), 1);
    }

    // A frame of length 0 is handed on with its last header byte.
    Parsed p;
    p.feed(Bytes { 0xAF, 0xFA, 0xD3, 0x00, 0x00 });
    EXPECT_EQ(p.frames.size(), 1u);
}

TEST(FrameParser, ARecordedStreamInRandomPiecesGivesTheSameFrames)
{
    Bytes stream;
    std::vector<Frame> expected;
    std::mt19937 rng(40);
    for (int i = 0; i < 60; ++i) {
        Bytes payload(rng() % 300);
        for (uint8_t& b : payload)
            b = uint8_t(rng() % 4 == 0 ? 0xAF : rng());
        const uint8_t command = uint8_t(0x80 + rng() % 0x60);
        if (i % 7 == 0)
            stream.push_back(0xAF); // a stray start before the next frame
        stream = stream + BuildFrame(command, payload);
        expected.push_back({ command, payload });
    }
    for (int trial = 0; trial < 20; ++trial) {
        SCOPED_TRACE(trial);
        Parsed p;
        size_t at = 0;
        while (at < stream.size()) {
            const size_t n = std::min<size_t>(stream.size() - at, 1 + rng() % 1024);
            p.feed(Bytes(stream.begin() + long(at), stream.begin() + long(at + n)));
            at += n;
        }
        EXPECT_EQ(p.frames, expected);
    }
}

TEST(LinkText, CutsAtWholeCharacters)
{
    EXPECT_EQ(Utf8Prefix(u"ab\u00e9", 3), "ab"); // é takes two bytes
    EXPECT_EQ(Utf8Prefix(u"ab\u00e9", 4), "ab\xc3\xa9");
    EXPECT_EQ(Utf8Prefix(u"\u20ac\u20ac", 5), "\xe2\x82\xac");
    EXPECT_EQ(Utf16Prefix(u"a\U0001F600", 2), u"a"); // a pair is never split
    EXPECT_EQ(Utf16Prefix(u"a\U0001F600", 3), u"a\U0001F600");
    EXPECT_EQ(WithoutCountryCode(u"+8613800"), u"13800");
    EXPECT_EQ(WithoutCountryCode(u"0086+86"), u"0086+86");

    // Received strings: the count is checked against the payload.
    const Bytes ok = Bytes { 0x01 } + str("a\xc3\xa9") + str("");
    PayloadReader r(ok.data(), ok.size());
    EXPECT_EQ(r.Byte(), 1);
    EXPECT_EQ(r.String(2), u"a\u00e9");
    EXPECT_EQ(r.String(2), u"");
    EXPECT_EQ(r.String(2), u""); // nothing left: empty
    const Bytes past = Bytes { 0x05, 0x00 } + text("abc");
    PayloadReader bad(past.data(), past.size());
    EXPECT_EQ(bad.String(40), std::nullopt);
    const Bytes half = Bytes { 0x05 };
    PayloadReader cut(half.data(), half.size());
    EXPECT_EQ(cut.String(40), std::nullopt);
}

namespace {

// A companion phone (type 3) linked over the serial link, its port open and
// read.
class Link : public CoreFixture {
protected:
    void SetUp() override
    {
        CoreFixture::SetUp();
        m_hook = ce::addDebugOutputHook([this](const std::string& line) {
            std::lock_guard<std::mutex> l(m_logMutex);
            m_log.push_back(line);
        });
        setWorld({ phone(3) });
        ASSERT_EQ(BtManagerStart(), 1);
        ASSERT_TRUE(pumpUntil([&] { return GetPhoneState() == 2 && sim::companionReading(); }));
        settle();
        ASSERT_EQ(GetManagerState().mode, kModeSerial);
        client.notes.clear();
        internal.notes.clear();
        sim::clearCompanionFrames();
        sim::clearCalls();
    }
    void TearDown() override
    {
        ce::removeDebugOutputHook(m_hook);
        CoreFixture::TearDown();
    }
    bool logged(const std::string& part)
    {
        std::lock_guard<std::mutex> l(m_logMutex);
        for (const std::string& line : m_log)
            if (line.find(part) != std::string::npos)
                return true;
        return false;
    }
    // Sends frames from the phone and waits until the internal window got
    // the message named.
    void fromPhone(const Bytes& bytes, const std::string& until, const std::vector<size_t>& pieces = {})
    {
        const int before = internal.count(until);
        sim::companionSend(bytes, pieces);
        EXPECT_TRUE(pumpUntil([&] { return internal.count(until) > before; })) << until;
        settle();
    }

private:
    int m_hook = 0;
    std::mutex m_logMutex;
    std::vector<std::string> m_log;
};

} // namespace

TEST_F(Link, EachOperationWritesItsFrame)
{
    auto frame = [](uint8_t c, const Bytes& p = {}) { return BuildFrame(c, p); };
    const Bytes audio2500 = [] {
        Bytes b(2500);
        for (size_t i = 0; i < b.size(); ++i)
            b[i] = uint8_t(i);
        return b;
    }();
    struct Case {
        const char* what;
        std::function<int()> op;
        std::vector<Bytes> frames;
        int result = 1; // the volume rows run two operations
    };
    const Case cases[] = {
        { "dial", [] { return DialNumber(u"+8613800"); }, { Bytes { 0xAF, 0xFA, 0x82, 0x05, 0x00 } + text("13800") } },
        { "answer", [] { return AnswerCall(); }, { frame(0xC1) } },
        { "reject", [] { return RejectOrHangUp(); }, { frame(0xC2) } },
        { "play", [] { return MusicPlayPause(); }, { frame(0xC3) } },
        { "previous", [] { return MusicPrevious(); }, { frame(0xC5) } },
        { "next", [] { return MusicNext(); }, { frame(0xC6) } },
        { "call volume", [] { return CallVolumeUp() + CallVolumeDown(); }, { frame(0xC8), frame(0xC9) }, 2 },
        { "music volume", [] { return MusicVolumeUp() + MusicVolumeDown(); }, { frame(0xCA), frame(0xCB) }, 2 },
        { "voice language", [] { return SetVoiceLanguage(2057); }, { Bytes { 0xAF, 0xFA, 0xCE, 0x02, 0x00, 0x08, 0x09 } } },
        { "SMS", [] { return SendEmergencyMessage(u"+8613800", u"hi \u00e9"); },
            { frame(0x81, Bytes { 0x05 } + text("13800") + Bytes { 0x05, 0x00 } + text("hi \xc3\xa9")) } },
        { "voice text", [] { return SendVoiceInstructionText(u"Turn left"); }, { frame(0xCF, text("Turn left")) } },
        { "2500 audio bytes", [&] { return SendVoiceInstructionAudio(audio2500.data(), audio2500.size()); },
            { frame(0xD1, Bytes(audio2500.begin(), audio2500.begin() + 1000)),
                frame(0xD1, Bytes(audio2500.begin() + 1000, audio2500.begin() + 2000)),
                frame(0xD1, Bytes(audio2500.begin() + 2000, audio2500.end())), frame(0xD2) } },
        { "1000 audio bytes", [&] { return SendVoiceInstructionAudio(audio2500.data(), 1000); },
            { frame(0xD1, Bytes(audio2500.begin(), audio2500.begin() + 1000)), frame(0xD2) } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim::clearCompanionFrames();
        EXPECT_EQ(c.op(), c.result);
        EXPECT_EQ(sim::companionFrames(), c.frames);
    }

    // Playing: the same button pauses.
    fromPhone(sim::companionFrame(0x83, Bytes { 0x00 } + str("T") + str("A") + str("L")), "WM_STKOUTMSG_MUSICINFO");
    sim::clearCompanionFrames();
    EXPECT_EQ(MusicPlayPause(), 1);
    EXPECT_EQ(sim::companionFrames(), (std::vector<Bytes> { frame(0xC7) }));
}

TEST_F(Link, TextsAreCutAtWholeCharactersToTheirByteLimits)
{
    const std::u16string voice = std::u16string(1023, u'a') + u"\u00e9"; // 1025 bytes of UTF-8
    const std::u16string sms = std::u16string(2045, u'b') + u"\u20ac"; // 2048 bytes
    const std::u16string number = std::u16string(254, u'1') + u"\u00e9";
    EXPECT_EQ(SendVoiceInstructionText(voice), 1);
    EXPECT_EQ(SendEmergencyMessage(number, sms), 1);
    const auto frames = sim::companionFrames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], BuildFrame(0xCF, Bytes(1023, 'a')));
    const Bytes expected = Bytes { 254 } + Bytes(254, '1') + Bytes { 2045 & 0xFF, 2045 >> 8 } + Bytes(2045, 'b');
    EXPECT_EQ(frames[1], BuildFrame(0x81, expected));
}

TEST_F(Link, ModesDecideWhatGoesOverTheLink)
{
    // The call flag off: no dialling at all.
    StoreServiceSettings(0, 1, 1, 1, 1);
    EXPECT_EQ(DialNumber(u"123"), 0);
    StoreServiceSettings(1, 1, 1, 1, 1);
    // A failed write is reported as a failure.
    sim::companionFailWrites(true);
    EXPECT_EQ(RejectOrHangUp(), 0);
    EXPECT_EQ(SendVoiceInstructionAudio(Bytes(10).data(), 10), 0);
    EXPECT_TRUE(logged("reject: Write Com failed!"));
    EXPECT_TRUE(logged("mp3 data send end: Write Com failed!"));
    sim::companionFailWrites(false);
    EXPECT_TRUE(sim::companionFrames().empty());
    EXPECT_EQ(sim::countCalls("HFAP_CancelCall") + sim::countCalls("PIMSendSMS"), 0);
}

TEST_F(Link, ReceivedFramesReachTheScreensAndTheClients)
{
    // A new SMS: counted and shown.
    fromPhone(sim::companionFrame(0x81, str("+4912345") + str("Ann") + str("See you")), "WM_STKMAPMSG_NEWMSG");
    EXPECT_EQ(MessageCount(), 1);
    ASSERT_NE(client.last("WM_BTOUT_COUNT_NOTIFICATIONS"), nullptr);
    EXPECT_EQ(client.last("WM_BTOUT_COUNT_NOTIFICATIONS")->w, 1u);

    // Call statuses 1-4: incoming, outgoing, active, ended. The first two
    // report the call and then its caller: two events, each answered to
    // the clients.
    struct Call {
        uint8_t status;
        int state;
        int events;
    };
    for (const Call c : { Call { 1, 0, 2 }, Call { 2, 1, 2 }, Call { 3, 2, 1 }, Call { 4, 3, 1 } }) {
        SCOPED_TRACE(int(c.status));
        client.notes.clear();
        const int before = internal.count("WM_STKOUTMSG_DIALERINFO");
        sim::companionSend(sim::companionFrame(0x82, Bytes { c.status } + str("555") + str("Bob")));
        ASSERT_TRUE(pumpUntil([&] {
            return internal.count("WM_STKOUTMSG_DIALERINFO") == before + c.events
                && client.count("WM_BTOUT_CALL_STATE") == c.events;
        }));
        settle();
        EXPECT_EQ(internal.count("WM_STKOUTMSG_DIALERINFO"), before + c.events);
        EXPECT_EQ(GetManagerState().callState, c.state);
        EXPECT_EQ(client.last("WM_BTOUT_CALL_STATE")->w, ce::WPARAM(c.state));
    }
    const Note* dialer = internal.last("WM_STKOUTMSG_DIALERINFO");
    ASSERT_NE(dialer, nullptr);

    // Music: the playing flag, then the whole track block.
    internal.notes.clear();
    fromPhone(sim::companionFrame(0x83, Bytes { 0x00 } + str("Song") + str("Band") + str("Album")),
        "WM_STKOUTMSG_MUSICINFO");
    EXPECT_TRUE(pumpUntil([&] { return internal.count("WM_STKOUTMSG_MUSICINFO") == 2; }));
    EXPECT_EQ(internal.names("WM_STKOUTMSG_MUSICINFO"),
        (std::vector<std::string> { "WM_STKOUTMSG_MUSICINFO(32)", "WM_STKOUTMSG_MUSICINFO(31)" }));
    EXPECT_EQ(internal.notes.front().l, 1);
    EXPECT_EQ(fieldText(CurrentTrack().album, 64), u"Album");
    // A single 0 clears the track information.
    internal.notes.clear();
    fromPhone(sim::companionFrame(0x83, Bytes { 0x00 }), "WM_STKOUTMSG_MUSICINFO");
    EXPECT_EQ(internal.names("WM_STKOUTMSG_MUSICINFO"), (std::vector<std::string> { "WM_STKOUTMSG_MUSICINFO(31)" }));
    EXPECT_EQ(fieldText(CurrentTrack().title, 64), u"");

    // The SMS result and the voice language answer.
    fromPhone(sim::companionFrame(0x84, Bytes { 0x00 }), "WM_STKOUTMSG_SENDMSGRESULT");
    EXPECT_EQ(internal.last("WM_STKOUTMSG_SENDMSGRESULT")->w, 1u);
    EXPECT_TRUE(pumpUntil([&] { return client.count("WM_BTOUT_SEND_EMERGENCYMSG_RESULT") == 1; }));
    EXPECT_EQ(client.last("WM_BTOUT_SEND_EMERGENCYMSG_RESULT")->w, 1u);
    fromPhone(sim::companionFrame(0x84, Bytes { 0x02 }), "WM_STKOUTMSG_SENDMSGRESULT");
    EXPECT_EQ(internal.last("WM_STKOUTMSG_SENDMSGRESULT")->w, 0u);
    sim::companionSend(sim::companionFrame(0xCE, Bytes { 0x01 }));
    EXPECT_TRUE(pumpUntil([&] { return client.count("WM_BTOUT_VOICEINSTR_LANGUAGE_NOTSUPP") == 1; }));
}

TEST_F(Link, MusicTextsKeepSixtyFourUnits)
{
    const std::string title(64, 't'), artist(65, 'a');
    const std::string album = std::string(63, 'b') + "\xf0\x9f\x8e\xb5"; // 63 units and a pair
    fromPhone(sim::companionFrame(0x83, Bytes { 0x00 } + str(title) + str(artist) + str(album)),
        "WM_STKOUTMSG_MUSICINFO");
    const TrackBlock t = CurrentTrack();
    EXPECT_EQ(fieldText(t.title, 64), std::u16string(64, u't'));
    EXPECT_EQ(fieldText(t.artist, 64), std::u16string(64, u'a'));
    EXPECT_EQ(fieldText(t.album, 64), std::u16string(63, u'b')) << "a pair is never split";
}

TEST_F(Link, AStringCountPastItsFrameRefusesTheFrameAndTheStreamGoesOn)
{
    // The text's count claims 200 bytes of a payload that holds 3.
    const Bytes lying = sim::companionFrame(0x81, str("555") + str("Ann") + Bytes { 200, 0 } + text("abc"));
    fromPhone(lying + sim::companionFrame(0x84, Bytes { 0x00 }), "WM_STKOUTMSG_SENDMSGRESULT", { 7, 9 });
    EXPECT_EQ(internal.count("WM_STKMAPMSG_NEWMSG"), 0);
    EXPECT_EQ(MessageCount(), 0);
    EXPECT_TRUE(logged("frame 0x81 refused"));

    // Received names are cut at whole characters.
    const std::string name = std::string(30, 'n') + "\xf0\x9f\x98\x80"; // 30 units and a pair
    fromPhone(sim::companionFrame(0x82, Bytes { 1 } + str("555") + str(name)), "WM_STKOUTMSG_DIALERINFO");
    EXPECT_TRUE(pumpUntil([&] { return internal.count("WM_STKOUTMSG_DIALERINFO") == 2; }));
    CallRecord r {};
    std::memcpy(&r, internal.last("WM_STKOUTMSG_DIALERINFO")->data.data(), sizeof r);
    EXPECT_EQ(fieldText(r.name, 32), std::u16string(30, u'n'));
}

TEST_F(Link, ResultSplitOverThreeReadsAnywhereGivesOneResult)
{
    const Bytes result { 0xAF, 0xFA, 0x84, 0x01, 0x00, 0x00 };
    for (size_t i = 1; i < result.size(); ++i)
        for (size_t j = i + 1; j < result.size(); ++j) {
            SCOPED_TRACE(std::to_string(i) + "," + std::to_string(j));
            internal.notes.clear();
            fromPhone(result, "WM_STKOUTMSG_SENDMSGRESULT", { i, j - i });
            EXPECT_EQ(internal.names("WM_STKOUTMSG_SENDMSGRESULT"),
                std::vector<std::string> { "WM_STKOUTMSG_SENDMSGRESULT(1)" });
        }
}

TEST_F(Link, BusyOrPairedElsewhereStopsReconnectingAndDisconnects)
{
    struct Case {
        uint8_t command;
        const char* log;
        int pairable;
    };
    const Case cases[] = { { 0xD3, "Remote phone is Busy", 0 }, { 0xD4, "Remote phone Pair another pedara500", 1 } };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.command));
        if (c.command == 0xD4) {
            // Linked again for the second case.
            SetReconnectAllowed(true);
            ASSERT_EQ(BtSdk::Connect(sim::world().shortcuts.back().address.data(), kBtConnectSerial), 0);
            ASSERT_TRUE(pumpUntil([&] { return GetManagerState().serialLink && sim::companionReading(); }));
            settle();
            sim::clearCalls();
        }
        sim::companionSend(sim::companionFrame(c.command));
        ASSERT_TRUE(pumpUntil([&] { return !GetManagerState().serialLink; }));
        settle();
        EXPECT_EQ(GetManagerState().reconnectAllowed, 0);
        EXPECT_TRUE(logged(c.log));
        std::vector<std::vector<long>> disconnects, pairable;
        for (const sim::Call& call : sim::calls()) {
            if (call.name == "Disconnect")
                disconnects.push_back(call.args);
            if (call.name == "SetPairable")
                pairable.push_back(call.args);
        }
        EXPECT_EQ(disconnects, (std::vector<std::vector<long>> { { 12 } }));
        EXPECT_EQ(pairable.size(), size_t(c.pairable));
        if (c.pairable) {
            EXPECT_EQ(pairable[0], (std::vector<long> { 0, 0, 1 }));
        }
        // The link's end closed the port; its reader is gone.
        EXPECT_FALSE(PhoneLinkPortOpen());
        EXPECT_TRUE(pumpUntil([] { return !sim::companionOpen(); }));
    }
}

TEST_F(Link, APortReopenedForANewLinkHasOneReader)
{
    // A second open while the first reader runs: the old port is closed
    // first, and one reader serves the new one.
    OpenPhoneLinkPort();
    ASSERT_TRUE(PhoneLinkPortOpen());
    ASSERT_TRUE(pumpUntil([] { return sim::companionReading(); }));
    fromPhone(sim::companionFrame(0x84, Bytes { 0x00 }), "WM_STKOUTMSG_SENDMSGRESULT");
    EXPECT_EQ(internal.count("WM_STKOUTMSG_SENDMSGRESULT"), 1);
    EXPECT_EQ(WritePhoneLinkFrame(0xC1), true);
    EXPECT_EQ(sim::companionFrames().size(), 1u);

    // A port the stack cannot name stays closed, and says so.
    ClosePhoneLinkPort();
    sim::World w = sim::world();
    w.failures["GetClientPort"] = 1;
    sim::setWorld(w);
    OpenPhoneLinkPort();
    EXPECT_FALSE(PhoneLinkPortOpen());
    EXPECT_TRUE(logged("*** Config Com Fail error="));
    EXPECT_EQ(AnswerCall(), 0);
    EXPECT_EQ(GetManagerState().serialLink, 1); // the profile stays connected
}

TEST_F(Link, ThePortServedByAnotherProcessWorksAlike)
{
    // The same companion behind <device root>/dev/COM4, as a program of its
    // own would serve it.
    ClosePhoneLinkPort();
    sim::World w = sim::world();
    w.companionInProcess = false;
    sim::setWorld(w);
    ASSERT_EQ(BtSdk::GetClientPort(nullptr), 1);
    uint16_t port = 0;
    ASSERT_EQ(BtSdk::GetClientPort(&port), 0); // drops the in-process name
    ce::DeviceServer server("COM4:", sim::companionDriver());
    ASSERT_TRUE(server.ok());
    OpenPhoneLinkPort();
    ASSERT_TRUE(PhoneLinkPortOpen());
    ASSERT_TRUE(pumpUntil([] { return sim::companionReading(); }));
    fromPhone(sim::companionFrame(0x81, str("555") + str("Ann") + str("Hi")), "WM_STKMAPMSG_NEWMSG", { 3, 4, 5 });
    EXPECT_EQ(MessageCount(), 1);
    EXPECT_EQ(SetVoiceLanguage(1033), 1);
    EXPECT_EQ(sim::companionFrames(), (std::vector<Bytes> { BuildFrame(0xCE, { 0x04, 0x09 }) }));
    // Closing ends the reader across the socket too.
    ClosePhoneLinkPort();
    EXPECT_TRUE(pumpUntil([] { return !sim::companionOpen(); }));
}

TEST_F(Link, ClientsVoiceRequestsGoToThePhoneWhileVoiceInstructionsAreOn)
{
    auto copyData = [&](ce::UINT id, const Bytes& record) {
        ce::COPYDATASTRUCT cds { id, ce::DWORD(record.size()), record.empty() ? nullptr : const_cast<uint8_t*>(record.data()) };
        return ce::sendMessage(internal.hwnd(), ce::WM_COPYDATA, 0, reinterpret_cast<ce::LPARAM>(&cds));
    };
    auto utf16 = [](const std::u16string& s, bool terminated) {
        Bytes b(reinterpret_cast<const uint8_t*>(s.data()), reinterpret_cast<const uint8_t*>(s.data() + s.size()));
        if (terminated)
            b.insert(b.end(), 2, 0);
        return b;
    };
    EXPECT_EQ(copyData(WM_BTIN_VOICEINSTR_DATA, utf16(u"Turn right", true)), 1);
    // Without a terminator the text ends with the record.
    EXPECT_EQ(copyData(WM_BTIN_VOICEINSTR_DATA, utf16(u"abc", false)), 1);
    const Bytes audio(2500, 0x11);
    EXPECT_EQ(copyData(WM_BTIN_VOICEINSTR_AUDIODATA, audio), 1);
    auto frames = sim::companionFrames();
    ASSERT_EQ(frames.size(), 6u);
    EXPECT_EQ(frames[0], BuildFrame(0xCF, text("Turn right")));
    EXPECT_EQ(frames[1], BuildFrame(0xCF, text("abc")));
    EXPECT_EQ(frames[4], BuildFrame(0xD1, Bytes(500, 0x11)));
    EXPECT_EQ(frames[5], BuildFrame(0xD2));

    // The posted form carries an address any process could post: ignored.
    sim::clearCompanionFrames();
    ce::postMessage(internal.hwnd(), WM_BTIN_VOICEINSTR_DATA, 0, 0x1234);
    settle();
    EXPECT_TRUE(logged("posted voice instruction ignored"));

    // Voice instructions turned off: nothing goes out.
    StoreServiceSettings(1, 1, 1, 0, 1);
    EXPECT_EQ(copyData(WM_BTIN_VOICEINSTR_DATA, utf16(u"Turn right", true)), 0);
    EXPECT_EQ(copyData(WM_BTIN_VOICEINSTR_AUDIODATA, audio), 0);
    EXPECT_TRUE(sim::companionFrames().empty());
}
