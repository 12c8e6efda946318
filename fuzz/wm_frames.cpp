// Window-message frames from other processes, into this process's window
// endpoint, with KivoWiFi's message filter on the window's thread.
//
// The input is a list of frames. Each is written on a connection of its own
// to the endpoint, as another process would, while the window's thread pumps
// its queue until the endpoint answers or closes. Most frames are well formed
// (a sound magic, version, length and the live window's handle), so the
// checks past the header and the filter are reached; the others have one
// field taken from the input as it is, end early, or are bytes of any kind.
// WM_COPYDATA records run from empty to past the largest accepted size.
// Checked beyond "no crash": a message the window keeps in its process never
// reaches it; every frame is answered (a post that wants no
// answer, through an acknowledged post after it) or closed; the keyboard
// text the filter hands on comes from inside the record.
// fuzz-links: kivo_platform kivo_wifi_flow_logic

#include "fuzz/support/device_root.h"
#include "fuzz/support/fuzz_input.h"
#include "platform/wm.h"
#include "platform/wm_internal.h"
#include "wifi/core/flow_filter.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <vector>

using kivo::fuzz::FuzzInput;
using namespace ce::wm;

namespace {

struct Target : kivowifi::MessageFilterTarget {
    bool flowExists() const override { return true; }
    int currentView() const override { return 0; }
    bool screenShown() const override { return false; }
    bool loginPending() const override { return false; }
    void exitPressed() override { }
    void backPressed() override { }
    void keyboardText(const QString& text) override { lastText = text; ++texts; }
    void browserLoginFinished() override { }
    void browserLoginUnfinished() override { }
    void activated() override { }
    void broadcast(ce::UINT) override { }
    void log(const QString&) override { }

    QString lastText;
    int texts = 0;
};

// A message the window takes from its own process only.
constexpr ce::UINT kKeptMessage = 0x0501;

struct World {
    Target target;
    kivowifi::SystemMessageFilter filter { target };
    ce::HWND window = nullptr;
    ce::UINT lastMessage = 0;

    World()
    {
        ce::setThreadMessageFilter([this](const ce::MSG& msg) { return filter.filter(msg); });
        window = ce::createWindow("FuzzWifi", "Fuzz", [this](ce::HWND, ce::UINT m, ce::WPARAM, ce::LPARAM) {
            FUZZ_CHECK(m != kKeptMessage); // only this process may send it
            lastMessage = m;
            return ce::LRESULT(7);
        });
        if (!window || !ce::keepMessagesInProcess(window, { kKeptMessage }))
            std::abort();
    }
};

World& world()
{
    static World* w = new World; // lives for the whole run
    return *w;
}

// Writes one frame and pumps until the endpoint has answered it or closed;
// false when it did neither in a generous time. A whole frame is followed on
// the same connection, in the same write, by an acknowledged post of
// WM_NULL: a post that wants no answer is known to be taken once that
// post's answer comes, and the endpoint meets a frame that begins inside
// the bytes of one read.
bool exchangeFrame(const std::vector<uint8_t>& frame, ce::HWND window)
{
    const int fd = connectToProcess(uint32_t(::getpid()));
    FUZZ_CHECK(fd >= 0);
    FrameHeader header {};
    MessageBody body {};
    if (frame.size() >= sizeof header)
        std::memcpy(&header, frame.data(), sizeof header);
    if (frame.size() >= sizeof header + sizeof body)
        std::memcpy(&body, frame.data() + sizeof header, sizeof body);
    const bool whole = frame.size() >= sizeof header && header.bodyBytes == frame.size() - sizeof header;
    const bool answered = !(header.kind == kFramePost && (body.flags & kFlagNoAck));
    constexpr uint32_t kFollowId = 0xF0110Fu;
    std::vector<uint8_t> bytes = frame;
    if (whole) {
        const MessageBody follow { handleValue(window), 0, 0, 0, ce::WM_NULL, 0, 0, uint32_t(::getpid()), kFollowId,
            0 };
        const FrameHeader followHeader { kFrameMagic, kFrameVersion, kFramePost, uint32_t(sizeof follow) };
        const auto* h = reinterpret_cast<const uint8_t*>(&followHeader);
        const auto* b = reinterpret_cast<const uint8_t*>(&follow);
        bytes.insert(bytes.end(), h, h + sizeof followHeader);
        bytes.insert(bytes.end(), b, b + sizeof follow);
    }
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            break; // the endpoint dropped the frame early
        sent += size_t(n);
    }
    // A frame that ends before its announced length is finished by closing
    // the writing side, as a sender that dies midway does; a whole one is
    // left open, since closing it would withdraw a sent message.
    if (!whole)
        ::shutdown(fd, SHUT_WR);
    ReplyReader reply;
    bool frameAnswered = !answered || !whole;
    bool followAnswered = !whole;
    bool closed = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!closed && !(frameAnswered && followAnswered) && std::chrono::steady_clock::now() < deadline) {
        ce::pumpMessages();
        pollfd p[2] = { { fd, POLLIN, 0 }, { ce::messageWakeFd(), POLLIN, 0 } };
        if (::poll(p, 2, 100) <= 0 || !p[0].revents)
            continue;
        for (;;) {
            const int got = reply.feed(fd);
            if (got < 0)
                closed = true;
            if (got <= 0)
                break;
            if (reply.body().id == kFollowId)
                followAnswered = true;
            else
                frameAnswered = true;
        }
    }
    ::close(fd);
    return closed || (frameAnswered && followAnswered);
}

ce::UINT pickMessage(FuzzInput& in, const kivowifi::SystemMessageFilter& filter)
{
    switch (in.byte() % 10) {
    case 0:
    case 1:
    case 2:
        return ce::WM_COPYDATA;
    case 3:
        return ce::WM_ACTIVATE;
    case 4:
        return kivowifi::WM_HARDWARE_KEY;
    case 5:
        return filter.loginSuccessMessage();
    case 6:
        return kInternalShow;
    case 7:
        return kInternalForeground;
    case 8:
        return kKeptMessage;
    default:
        return in.u32();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kivo::fuzz::ensureDeviceRoot();
    world();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    World& w = world();
    FuzzInput in(data, size);
    bool bigRecordSent = false;
    for (int frames = 0; frames < 8 && !in.empty(); ++frames) {
        // Most frames are well formed; one in three has one field of its
        // header or body (or its length) taken from the input as it is.
        const uint8_t mode = in.byte();
        const int broken = mode < 86 ? mode % 8 : -1;
        FrameHeader header {};
        header.magic = broken == 0 ? in.u32() : kFrameMagic;
        header.version = broken == 1 ? in.u16() : kFrameVersion;
        header.kind = broken == 2 ? in.u16() : uint16_t(in.flag() ? kFrameSend : kFramePost);

        MessageBody body {};
        body.hwnd = broken == 3 ? in.u32() | (uint64_t(in.u32()) << 32) : handleValue(w.window);
        body.message = pickMessage(in, w.filter);
        body.wParam = in.u32();
        body.lParam = int64_t(in.u32()) << 12; // an address in the sender, meaningless here
        body.flags = in.byte() % 5; // 0..3 and one unknown
        body.senderPid = in.u32();

        // The record: a size (sometimes past the largest accepted), and bytes
        // from the input, repeated to fill it. Records near the largest size
        // are slow to send: one an input, and never from a run of zeros.
        uint32_t recordBytes = 0;
        const uint8_t sizeChoice = in.byte();
        if (sizeChoice % 16 == 15 && !bigRecordSent) {
            recordBytes = ce::MAX_COPYDATA_BYTES - 2 + in.byte() % 5;
            bigRecordSent = true;
        } else {
            recordBytes = in.u16() % 2100;
        }
        std::vector<uint8_t> record(recordBytes);
        const std::vector<uint8_t> pattern = in.bytes(recordBytes <= 2100 ? recordBytes : 1 + in.byte());
        for (size_t i = 0; !pattern.empty() && i < record.size(); ++i)
            record[i] = pattern[i % pattern.size()];
        const bool keyboard = in.flag();
        body.dwData = keyboard ? w.filter.keyboardDataMessage() : in.u32();
        body.cbData = broken == 4 ? in.u32() : recordBytes;
        header.bodyBytes = broken == 5 ? in.u32() : uint32_t(sizeof(MessageBody) + record.size());

        std::vector<uint8_t> frame(sizeof header + sizeof body);
        std::memcpy(frame.data(), &header, sizeof header);
        std::memcpy(frame.data() + sizeof header, &body, sizeof body);
        frame.insert(frame.end(), record.begin(), record.end());
        if (broken == 6) // a frame may end anywhere
            frame.resize(in.below(uint32_t(frame.size()) + 1));
        if (broken == 7) // or be anything
            frame = in.bytes(in.byte());

        const int textsBefore = w.target.texts;
        FUZZ_CHECK(exchangeFrame(frame, w.window));
        if (w.target.texts != textsBefore) {
            // The keyboard text lies inside the record the frame carried.
            FUZZ_CHECK(w.target.lastText.size() * 2 + kivowifi::KEYBOARD_TEXT_OFFSET <= record.size());
        }
    }
    ce::pumpMessages();
    return 0;
}
