// The client API object behind the ANTFSClient_ exports: owns the engine,
// registers it on a channel, and pumps its responses into a queue that the
// exports' event thread turns into events.
#pragma once

#include "ant/antfs/antfs_api_pump.h"
#include "ant/antfs/antfs_client_engine.h"
#include "ant/senvoy_antfs.h"

#include <memory>

namespace senvoy {

class ANTDeviceManager;

class ANTFSClientApi {
public:
    ANTFSClientApi();
    ANTFSClientApi(const ANTFSClientApi&) = delete;
    ANTFSClientApi& operator=(const ANTFSClientApi&) = delete;

    int open(uint8_t channel, ANTDeviceManager* manager) { return m_pump.open(channel, manager); }
    // The unregister result.
    int close() { return m_pump.close(); }
    bool isOpen() const { return m_pump.isOpen(); }

    int configure(const ANTFSClientBlock* block);
    int openBeacon() { return m_engine->openBeacon(); }
    int closeBeacon(int keep) { return m_engine->closeBeacon(keep); }
    uint8_t getState();
    int getTransferProgress(uint32_t* done, uint32_t* total) { return m_engine->getTransferProgress(done, total); }
    int acceptPair(int accept) { return m_engine->acceptPair(accept); }
    int sendDownloadResponse(uint8_t code, const ANTFSDownloadInfo& info, uint32_t size, const uint8_t* data)
    {
        return m_engine->sendDownloadResponse(code, info, size, data);
    }
    int sendEraseResponse(uint8_t code) { return m_engine->sendEraseResponse(code); }
    // The oldest pumped response, or 0 within ms.
    ANTFSResponse waitResponse(uint32_t ms) { return m_pump.waitResponse(ms); }

    ANTFSClientEngine& engine() { return *m_engine; }

private:
    std::unique_ptr<ANTFSClientEngine> m_engine;
    ANTFSResponsePump<ANTFSClientEngine> m_pump; // after the engine: stopped before it goes
    uint8_t m_lastState = 0;
};

// The client of the exports, or null. Used by the library's shutdown.
ANTFSClientApi* ANTFSClient_Current();
// Closes the client before the library core goes away.
void ANTFSClient_LibraryClosing();

} // namespace senvoy
