// Stream devices and serial ports opened by name ("ANT1:", "HSC2:", "BUZ1:",
// "COM3:"). A device is served either in the calling process (a simulator
// registers a driver under the name) or by another process through a
// Unix-domain socket at <device root>/dev/<NAME> (see DeviceServer).
// A device neither registered nor served is looked up among the built-in
// drivers of the registry (HKEY_LOCAL_MACHINE\Drivers\BuiltIn\<key> with
// "Prefix", "Index" and "Dll"): the library is loaded and registers it.
// Opening a device that nobody serves fails with ERROR_DEV_NOT_EXIST.
#pragma once

#include "platform/types.h"

#include <memory>
#include <string>
#include <vector>

namespace ce {

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD OPEN_EXISTING = 3;

// Read time-outs of a serial port, in milliseconds; 0 = wait without bound.
struct DeviceTimeouts {
    DWORD readTimeoutMs = 0;
};

HANDLE openDevice(const std::string& name, DWORD access);
BOOL readDevice(HANDLE device, void* buffer, DWORD size, DWORD* bytesRead);
BOOL writeDevice(HANDLE device, const void* buffer, DWORD size, DWORD* bytesWritten);
BOOL deviceIoControl(
    HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize, DWORD* bytesReturned);
BOOL setDeviceTimeouts(HANDLE device, const DeviceTimeouts& timeouts);

// Serial-port calls. A read returns what has arrived once the total time-out
// (multiplier x size + constant) passes or as soon as anything is there;
// with every read value 0 it waits without bound. Write time-outs are kept
// and reported, not applied: writes here do not block.
struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout = 0;
    DWORD ReadTotalTimeoutMultiplier = 0;
    DWORD ReadTotalTimeoutConstant = 0;
    DWORD WriteTotalTimeoutMultiplier = 0;
    DWORD WriteTotalTimeoutConstant = 0;
};
constexpr DWORD EV_RXCHAR = 0x0001;
constexpr DWORD PURGE_TXABORT = 0x0001;
constexpr DWORD PURGE_RXABORT = 0x0002;
constexpr DWORD PURGE_TXCLEAR = 0x0004;
constexpr DWORD PURGE_RXCLEAR = 0x0008;
BOOL getCommTimeouts(HANDLE device, COMMTIMEOUTS* timeouts);
BOOL setCommTimeouts(HANDLE device, const COMMTIMEOUTS* timeouts);
// The events waitCommEvent waits for; only EV_RXCHAR is served.
BOOL setCommMask(HANDLE device, DWORD mask);
// Waits until data has arrived (*mask = EV_RXCHAR; the data stays for the
// next read). Fails when the handle is closed meanwhile, or with no event
// to wait for.
BOOL waitCommEvent(HANDLE device, DWORD* mask);
// PURGE_RXCLEAR drops what has arrived and not been read.
BOOL purgeComm(HANDLE device, DWORD flags);

// What a simulator implements: one session per open handle.
class DeviceSession {
public:
    virtual ~DeviceSession() = default;
    // Blocks until data is there, the time-out passes (returns true with 0
    // bytes) or close() is called (returns false).
    virtual bool read(std::vector<uint8_t>& out, size_t maxBytes, DWORD timeoutMs) = 0;
    virtual bool write(const uint8_t* data, size_t size) = 0;
    // Returns false and sets *error for a failing control.
    virtual bool ioControl(
        DWORD code, const std::vector<uint8_t>& in, std::vector<uint8_t>& out, size_t outSize, DWORD* error)
        = 0;
    // Wakes a blocked read; called once when the handle closes.
    virtual void close() = 0;
};

class DeviceDriver {
public:
    virtual ~DeviceDriver() = default;
    // nullptr and *error set when the device refuses the open.
    virtual std::unique_ptr<DeviceSession> open(DWORD access, DWORD* error) = 0;
};

// In-process registration; the name is matched without regard to case.
void registerDevice(const std::string& name, std::shared_ptr<DeviceDriver> driver);
void unregisterDevice(const std::string& name);

// Serves a driver to other processes through <device root>/dev/<NAME>.
class DeviceServer {
public:
    DeviceServer(const std::string& name, std::shared_ptr<DeviceDriver> driver);
    ~DeviceServer(); // stops serving and closes every session
    bool ok() const;
    DeviceServer(const DeviceServer&) = delete;
    DeviceServer& operator=(const DeviceServer&) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace ce
