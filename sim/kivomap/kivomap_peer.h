// A stand-in for KivoMap, the device's navigation program, as KivoWiFi sees
// it: a top-level window of class and title "KivoMap" that records the Wi-Fi
// status notifications it receives and answers a keyboard request with the
// text a user would have typed.
//
// Every event becomes one line, kept in memory, appended (and flushed) to a
// log file under the device root, and optionally written to stdout:
//   ready
//   status <state>
//   keyboard kind=<n> one=<n> type=<n> title=<UTF-8 title>
//   reply <UTF-8 text>
//   no-reply
//   reply-failed
//   refused <what was wrong with a record>
#pragma once

#include "platform/wm.h"

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace kivo::sim {

struct KivoMapPeerOptions {
    std::string className = "KivoMap";
    std::string title = "KivoMap";
    // The text "typed" into KivoMap's keyboard. When textFile is set it is
    // read (UTF-8, a trailing line break dropped) at each request instead.
    std::string replyText;
    bool haveReplyText = false;
    std::string textFile;
    // Device path of the log file; empty for none.
    std::string logFile = "\\SystemDrive\\Falmo\\KivoMap\\kivomap_peer.log";
    bool echoToStdout = false;
};

class KivoMapPeer {
public:
    explicit KivoMapPeer(KivoMapPeerOptions options = {});
    ~KivoMapPeer();
    KivoMapPeer(const KivoMapPeer&) = delete;
    KivoMapPeer& operator=(const KivoMapPeer&) = delete;

    // Creates the window on a thread of its own; false when it cannot.
    bool start();
    // Closes the window and joins the thread.
    void stop();

    ce::HWND window() const { return m_window; }
    std::vector<std::string> events() const;
    // Waits until at least count lines were recorded; false on time-out.
    bool waitForEvents(std::size_t count, int timeoutMs) const;

private:
    void run();
    ce::LRESULT handle(ce::HWND window, ce::UINT message, ce::WPARAM wParam, ce::LPARAM lParam);
    void onCopyData(ce::WPARAM from, const ce::COPYDATASTRUCT* data);
    void sendReply(ce::HWND target);
    bool replyText(std::string* text) const;
    void record(const std::string& line);

    KivoMapPeerOptions m_options;
    ce::HANDLE m_thread = nullptr;
    ce::HWND m_window = nullptr;
    ce::UINT m_statusMessage = 0;
    ce::UINT m_keyboardRequest = 0;
    ce::UINT m_keyboardData = 0;
    bool m_startFailed = false;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<std::string> m_events;
    bool m_ready = false;
};

} // namespace kivo::sim
