// A stream driver library for the device tests: loading it, and its export
// KivoRegisterDriver, register "TDV7:", whose control 5 answers "ok".
#include "platform/device.h"

namespace {

class Session : public ce::DeviceSession {
public:
    bool read(std::vector<uint8_t>&, size_t, ce::DWORD) override { return true; }
    bool write(const uint8_t*, size_t) override { return true; }
    bool ioControl(
        ce::DWORD code, const std::vector<uint8_t>&, std::vector<uint8_t>& out, size_t, ce::DWORD* error) override
    {
        if (code != 5) {
            *error = ce::ERROR_NOT_SUPPORTED;
            return false;
        }
        out = { 'o', 'k' };
        return true;
    }
    void close() override { }
};

class Driver : public ce::DeviceDriver {
public:
    std::unique_ptr<ce::DeviceSession> open(ce::DWORD, ce::DWORD*) override { return std::make_unique<Session>(); }
};

void registerDriver()
{
    ce::registerDevice("TDV7:", std::make_shared<Driver>());
}

struct Registration {
    Registration() { registerDriver(); }
} g_registration;

} // namespace

extern "C" __attribute__((visibility("default"))) void KivoRegisterDriver()
{
    registerDriver();
}
