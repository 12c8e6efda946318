// The ANT-FS host's transfers: downloads, uploads and erases of files, each
// run on the engine thread over the link the host holds with a client, and
// the readers of the client's answers to them.
#pragma once

#include "ant/antfs/antfs_shared.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace senvoy {

// One answer of a client to a download request, as read from its bytes
// after the beacon that leads it.
struct ANTFSDownloadAnswer {
    uint8_t code = 0; // 0: data follow
    uint32_t header = 16; // bytes before the data
    uint32_t length = 0; // data bytes in this answer
    uint32_t offset = 0; // where in the file they start
    uint32_t fileSize = 0;
    bool hasCrc = false; // legacy answers carry none
    uint16_t crc = 0; // of the file up to the end of this block
};

// Reads a download answer: 0x89 (ANT-FS mode), or 0x86 in legacy mode,
// whose block is the size the request asked for (askedSize), cut at the
// end of the file. False when the bytes are too few for what the answer
// announces.
bool ANTFSHost_ReadDownloadAnswer(
    const uint8_t* bytes, size_t size, bool legacy, uint32_t askedSize, ANTFSDownloadAnswer* out);

struct ANTFSUploadAnswer {
    uint8_t code = 0; // 0: the client takes the upload
    uint32_t last = 0; // how far the client has the file
    uint32_t maxFile = 0; // the largest file it takes
    uint32_t maxBlock = 0; // the most it takes at once (0: no limit)
    uint16_t crc = 0; // of the file up to last
};

// Reads a client's answer (0x8A) to an upload request. False when the bytes
// are too few for a code, or for the fields of an answer that takes it.
bool ANTFSHost_ReadUploadAnswer(const uint8_t* bytes, size_t size, ANTFSUploadAnswer* out);

// What a transfer needs of the link it runs on (the host engine's).
class ANTFSHostLink {
public:
    static constexpr uint32_t kAckMs = 3000;
    static constexpr uint32_t kRequestMs = 10000;
    static constexpr uint32_t kAnswerMs = 60000;

    // Each true once the radio took it, within attempts.
    virtual bool sendAcknowledged(const uint8_t payload[8], uint32_t timeoutMs, int attempts) = 0;
    virtual bool sendBurst(const uint8_t* data, uint32_t length, uint32_t timeoutMs, int attempts) = 0;
    // Drops the client's answers taken so far, before a request.
    virtual void dropAnswers() = 0;
    // The client's next answer with this response id; its bytes after the
    // beacon in *answer.
    virtual bool waitAnswer(uint8_t response, uint32_t timeoutMs, std::vector<uint8_t>* answer) = 0;
    // The transfer is to end: the engine stops or the request was cancelled.
    virtual bool transferEnded() const = 0;
    // A protocol time-out as it runs (tests shorten them).
    virtual uint32_t scaledMs(uint32_t ms) const = 0;

protected:
    ~ANTFSHostLink() = default;
};

// The records of the transfer taken last and its progress. A record is
// taken only while no transfer runs (the engine refuses a request while
// one is pending); the runs read it on the engine thread.
class ANTFSHostTransfers {
public:
    explicit ANTFSHostTransfers(ANTFSHostLink& link)
        : m_link(link)
    {
    }

    // maxBlock 0: none. legacy: the older request, whose offset and size
    // are 16 bits wide.
    void takeDownload(uint16_t index, uint32_t offset, uint32_t size, uint32_t maxBlock, bool legacy, bool directory);
    // data: the file's bytes from offset to its end, the caller's until the
    // upload ends.
    void takeUpload(
        uint16_t index, uint32_t offset, uint32_t size, const uint8_t* data, bool startAtOffset, uint32_t maxBlock);
    void takeErase(uint16_t index);

    // Engine thread. The download's response names its file and carries
    // its bytes; the others are bare codes.
    ANTFSResponse runDownload();
    uint32_t runUpload();
    uint32_t runErase();

    // How far the running download is (0 while its size is not known yet),
    // and the upload.
    int downloadProgress(uint32_t* done, uint32_t* total) const;
    void uploadProgress(uint32_t* done, uint32_t* total) const;
    // The engine closes: what a download held goes.
    void clear();

private:
    ANTFSHostLink& m_link;
    mutable std::mutex m_mutex; // the records and the progress

    uint16_t m_fileIndex = 0;
    uint32_t m_offset = 0;
    uint32_t m_size = 0;
    uint32_t m_maxBlock = 0xFFFFFFFFu;
    const uint8_t* m_uploadData = nullptr;
    bool m_startAtOffset = false;
    bool m_legacy = false;
    bool m_directory = false;
    std::vector<uint8_t> m_file; // the file's data received so far
    uint32_t m_fileSize = 0;
    uint32_t m_uploadSent = 0;
};

} // namespace senvoy
