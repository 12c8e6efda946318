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
