// The byte transport under the ANT framer, and its implementation over the
// radio's stream driver "ANT1:" and the message queue "ANTMSGQUEUE" that the
// driver fills with received bytes.
#pragma once

#include "platform/types.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace senvoy {

// Codes of ANTPortListener::onPortEvent.
constexpr uint8_t ANT_PORT_WRITE_FAILED = 2;
constexpr uint8_t ANT_PORT_READ_FAILED = 3;

// Receives a port's bytes and events (on the port's reader thread, and on
// the writing thread for a write failure).
class ANTPortListener {
public:
    virtual ~ANTPortListener() = default;
    virtual void onByte(uint8_t b) = 0;
    virtual void onPortEvent(uint8_t code) = 0;
    // A chunk of received bytes in order; by default one onByte each.
    virtual void onBytes(const uint8_t* bytes, uint32_t n)
    {
        for (uint32_t i = 0; i < n; ++i)
            onByte(bytes[i]);
    }
};

class ANTPort {
public:
    virtual ~ANTPort() = default;
    // Stores a setting; returns 1.
    virtual int configure(uint32_t a, uint32_t b) = 0;
    virtual void setListener(ANTPortListener* listener) = 0;
    virtual int open() = 0;
    virtual void close() = 0;
    virtual int write(const uint8_t* bytes, uint32_t length) = 0;
    // The value stored by configure.
    virtual uint32_t setting() const = 0;
};

// The radio behind the stream driver. open() opens "ANT1:", starts the
// radio link and starts a reader thread that creates the read end of
// "ANTMSGQUEUE" and hands the received bytes to the listener, one queue
// message at a time. close()
// wakes and joins that reader; a read that fails because of the close is
// not reported.
class ANTDriverPort : public ANTPort {
public:
    static constexpr const char* kDeviceName = "ANT1:";
    static constexpr const char* kQueueName = "ANTMSGQUEUE";
    static constexpr ce::DWORD kIoctlStartLink = 0x80172394u;
    static constexpr ce::DWORD kIoctlSendFrame = 0x8017234cu;
    static constexpr uint32_t kQueueMessageSize = 42; // count byte + up to 41 bytes
    static constexpr uint32_t kReaderJoinBoundMs = 2000;

    ANTDriverPort() = default;
    ~ANTDriverPort() override; // closes
    ANTDriverPort(const ANTDriverPort&) = delete;
    ANTDriverPort& operator=(const ANTDriverPort&) = delete;

    int configure(uint32_t a, uint32_t b) override;
    void setListener(ANTPortListener* listener) override;
    // 1 when the device opened, the link started and the reader has its
    // queue (it waits up to 2 s for that; a close from another thread ends
    // the wait, and the open gives 0).
    int open() override;
    void close() override;
    // Sends one complete frame; 0 (and onPortEvent(2)) when the driver
    // refuses it, 0 without an event for a null buffer or a closed port.
    int write(const uint8_t* bytes, uint32_t length) override;
    uint32_t setting() const override { return m_setting; }

    bool isOpen() const;
    bool readerRunning() const;

private:
    struct Reader;
    static ce::DWORD readerMain(const std::shared_ptr<Reader>& reader);
    void stopReader();

    std::atomic<ANTPortListener*> m_listener { nullptr };
    mutable std::mutex m_mutex; // the device handle and the reader record
    ce::HANDLE m_device = ce::INVALID_HANDLE_VALUE;
    std::shared_ptr<Reader> m_reader; // its stop mark and queue handle
    ce::HANDLE m_readerThread = nullptr;
    std::atomic<uint32_t> m_setting { 0 };
};

} // namespace senvoy
