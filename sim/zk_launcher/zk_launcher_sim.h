// The captive-portal browser as this machine provides it: a program that
// pretends the user logged in (or gave up) and reports it the way the real
// browser does, by a registered window message.
//
// Configuration, \SystemDrive\sim\zk_launcher.ini (read at start; lines that
// do not parse are ignored):
//
//   [browser]
//   result=success      ; success | unfinished | none (posts nothing)
//   delay_ms=1000       ; before posting
//   target=broadcast    ; broadcast | title:<window title> | class:<window class>
//
// Every start appends "started" (and the arguments) to
// \SystemDrive\sim\zk_launcher.log, then one line saying what was posted.
#pragma once

namespace kivo::sim {

constexpr const char* ZK_LAUNCHER_CONFIG = "\\SystemDrive\\sim\\zk_launcher.ini";
constexpr const char* ZK_LAUNCHER_LOG = "\\SystemDrive\\sim\\zk_launcher.log";
// Where KivoWiFi starts the browser.
constexpr const char* ZK_LAUNCHER_DEVICE_PATH = "SystemDrive\\Falmo\\program\\wifi\\browser\\zk_launcher.exe";

constexpr const char* BROWSER_LOGIN_SUCCESS_MESSAGE = "WM_BROWSER_EXIT_LOGIN_SUCESSFULLY";
constexpr const char* BROWSER_LOGIN_UNFINISHED_MESSAGE = "WM_BROWSER_EXIT_LOGIN_UNFINISHED";

constexpr int ZK_LAUNCHER_DEFAULT_DELAY_MS = 1000;

} // namespace kivo::sim
