// The outside portal probe library "httptest" as this machine provides it:
// ZK_GetHttpStatus(url, expected) makes a real HTTP GET of the URL and
// compares the answer's status with the expected text.
//
//   > 0  the status equals the expected text (the status itself, e.g. 204)
//   0    some other HTTP answer came back (a captive portal intercepting)
//   < 0  nothing usable answered: -1 no route / refused / timed out,
//        -2 bad arguments, -3 an answer that is not HTTP
//
// Host names are not looked up: the probe reaches a host only when it is a
// numeric IPv4 address, "localhost", or mapped in the configuration file
// \SystemDrive\sim\httptest.ini (read on every call):
//
//   [hosts]
//   ws.kivoshare.com=127.0.0.1:8080
//   [probe]
//   timeout_ms=8000      ; whole request, connect to status line
//
// Lines that do not parse are ignored.
#pragma once

#include <string>

namespace kivo::sim {

constexpr const char* HTTPTEST_CONFIG = "\\SystemDrive\\sim\\httptest.ini";
constexpr int HTTPTEST_DEFAULT_TIMEOUT_MS = 8000;

} // namespace kivo::sim

extern "C" {
int ZK_GetHttpStatus(const char16_t* url, const char* expected);
}
