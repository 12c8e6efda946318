#include "ant/antfs/antfs_host_transfers.h"
#include "ant/antfs/antfs_directory.h"
#include "ant/antfs/antfs_host_engine.h" // the response codes
#include "ant/antfs/antfs_wire.h"

#include "ant/core/checksums.h"
#include "platform/debug.h"

#include <algorithm>
#include <chrono>
#include <new>

namespace senvoy {

using namespace antfs_le;
using namespace antfs_wire;

namespace {

constexpr uint32_t kDownloadSilenceMs = 10000;
constexpr uint32_t kDownloadRepeats = 15;
constexpr uint32_t kUploadSilenceMs = 15000;
constexpr uint32_t kUploadRetries = 3;

using Clock = std::chrono::steady_clock;

uint32_t msSince(Clock::time_point t)
{
    return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

} // namespace

// The answers' layouts, after the leading beacon:
//   0x89: 0x44, 0x89, code, 0, block length (u32), offset (u32), file size
//         (u32), the block padded to whole packets, then 8 bytes whose last
//         two are the CRC-16 of the file up to the block's end.
//   0x86 (legacy): 0x44, 0x86, code, 0, offset (u16), file size (u16), then
//         the block the request asked for, cut at the end of the file; no CRC.
bool ANTFSHost_ReadUploadAnswer(const uint8_t* bytes, size_t size, ANTFSUploadAnswer* out)
{
    if (!bytes || !out || size < 3)
        return false;
    *out = ANTFSUploadAnswer {};
    out->code = bytes[2];
    if (out->code != 0)
        return true;
    if (size < 24)
        return false;
    out->last = get32(bytes + 4);
    out->maxFile = get32(bytes + 8);
    out->maxBlock = get32(bytes + 12);
    out->crc = get16(bytes + 22);
    return true;
}

bool ANTFSHost_ReadDownloadAnswer(
    const uint8_t* bytes, size_t size, bool legacy, uint32_t askedSize, ANTFSDownloadAnswer* out)
{
    if (!bytes || !out || size < 8)
        return false;
    *out = ANTFSDownloadAnswer {};
    out->code = bytes[2];
    if (out->code != 0)
        return true;
    if (legacy) {
        out->header = 8;
        out->offset = get16(bytes + 4);
        out->fileSize = get16(bytes + 6);
        const uint32_t rest = out->fileSize > out->offset ? out->fileSize - out->offset : 0;
        out->length = std::min(askedSize, rest);
        return size >= uint64_t(out->header) + out->length;
    }
    if (size < 24)
        return false;
    out->header = 16;
    out->length = get32(bytes + 4);
    out->offset = get32(bytes + 8);
    out->fileSize = get32(bytes + 12);
    // Header, the block padded to whole packets, the footer.
    if (size < 16 + (uint64_t(out->length) + 7) / 8 * 8 + 8)
        return false;
    out->hasCrc = true;
    out->crc = get16(bytes + size - 2);
    return true;
}

void ANTFSHostTransfers::takeDownload(
    uint16_t index, uint32_t offset, uint32_t size, uint32_t maxBlock, bool legacy, bool directory)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fileIndex = index;
    m_offset = offset;
    m_size = size;
    m_maxBlock = maxBlock == 0 ? 0xFFFFFFFFu : maxBlock;
    m_legacy = legacy;
    m_directory = directory;
}

void ANTFSHostTransfers::takeUpload(
    uint16_t index, uint32_t offset, uint32_t size, const uint8_t* data, bool startAtOffset, uint32_t maxBlock)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fileIndex = index;
    m_offset = offset;
    m_size = size;
    m_uploadData = data;
    m_startAtOffset = startAtOffset || offset != 0;
    m_maxBlock = maxBlock == 0 ? 0xFFFFFFFFu : maxBlock;
    m_uploadSent = 0;
}

void ANTFSHostTransfers::takeErase(uint16_t index)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fileIndex = index;
}

int ANTFSHostTransfers::downloadProgress(uint32_t* done, uint32_t* total) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fileSize == 0)
        return 0;
    *total = m_fileSize;
    const uint64_t d = uint64_t(m_file.size()) + m_offset;
    *done = uint32_t(std::min<uint64_t>(d, m_fileSize));
    return 1;
}

void ANTFSHostTransfers::uploadProgress(uint32_t* done, uint32_t* total) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    *total = m_size;
    *done = std::min(m_uploadSent, m_size);
}

void ANTFSHostTransfers::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_file.clear();
    m_file.shrink_to_fit();
    m_fileSize = 0;
}

ANTFSResponse ANTFSHostTransfers::runDownload()
{
    uint16_t index;
    uint32_t start, wanted, maxBlock;
    bool legacy, directory;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        index = m_fileIndex;
        start = m_offset;
        wanted = m_size;
        maxBlock = m_maxBlock;
        legacy = m_legacy;
        directory = m_directory;
        m_file.clear();
        m_fileSize = 0;
    }
    // Every end of this download names its file.
    auto ended = [&](uint32_t code) {
        ANTFSResponse r(code);
        r.fileIndex = index;
        r.directory = directory;
        return r;
    };
    uint32_t received = 0;
    uint16_t crc = 0;
    bool initial = true;
    uint32_t repeats = 0;
    Clock::time_point progress = Clock::now();
    // The client's CRC and ours disagree: the file is asked for again from
    // its start.
    auto startAgain = [&] {
        received = 0;
        crc = 0;
        initial = true;
        ++repeats;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_file.clear();
    };
    for (;;) {
        if (m_link.transferEnded())
            return ended(ANTFS_HR_DOWNLOAD_FAILED);
        if (repeats >= kDownloadRepeats || msSince(progress) >= m_link.scaledMs(kDownloadSilenceMs))
            return ended(ANTFS_HR_DOWNLOAD_FAILED);
        m_link.dropAnswers();
        const uint32_t still = wanted > received ? wanted - received : 0;
        uint32_t asked = 0;
        bool sent;
        if (legacy) {
            // Without a size, as much as the 16-bit field can ask for; never
            // more than the maximum block, as in the newer request.
            asked = std::min<uint32_t>({ wanted ? still : 0xFFFFu, maxBlock, 0xFFFFu });
            uint8_t request[8] = { ANTFS_ID, CMD_DOWNLOAD_LEGACY };
            put16(request + 2, index);
            put16(request + 4, uint16_t(start + received));
            put16(request + 6, uint16_t(asked));
            sent = m_link.sendAcknowledged(request, ANTFSHostLink::kRequestMs, 1);
        } else {
            uint8_t request[16] = { ANTFS_ID, CMD_DOWNLOAD };
            put16(request + 2, index);
            put32(request + 4, start + received);
            request[9] = initial ? 1 : 0;
            put16(request + 10, initial ? 0 : crc);
            uint32_t block = 0;
            if (wanted)
                block = std::min(maxBlock, still);
            else if (maxBlock != 0xFFFFFFFFu)
                block = maxBlock;
            put32(request + 12, block);
            sent = m_link.sendBurst(request, sizeof request, ANTFSHostLink::kRequestMs, 1);
        }
        std::vector<uint8_t> answer;
        ANTFSDownloadAnswer a;
        if (!sent
            || !m_link.waitAnswer(
                legacy ? RSP_DOWNLOAD_LEGACY : RSP_DOWNLOAD, m_link.scaledMs(ANTFSHostLink::kRequestMs), &answer)
            || !ANTFSHost_ReadDownloadAnswer(answer.data(), answer.size(), legacy, asked, &a)) {
            ++repeats;
            continue;
        }
        if (a.code == DOWNLOAD_CRC_MISMATCH) {
            startAgain();
            continue;
        }
        if (a.code != DOWNLOAD_OK)
            return ended(a.code >= DOWNLOAD_NO_FILE && a.code <= DOWNLOAD_NOT_READY ? ANTFS_HR_DOWNLOAD_REFUSED + a.code
                                                                                    : ANTFS_HR_DOWNLOAD_REFUSED);
        if (a.offset != start + received) {
            ++repeats;
            continue;
        }
        const uint8_t* data = answer.data() + a.header;
        const uint16_t next = a.hasCrc ? Crc16_Update(crc, data, a.length) : 0;
        if (a.hasCrc && next != a.crc) {
            startAgain();
            continue;
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            try {
                m_file.insert(m_file.end(), data, data + a.length);
            } catch (const std::bad_alloc&) {
                ce::debugPrintf("ANT-FS host: Memory allocation failure!");
                m_file.clear();
                return ended(ANTFS_HR_DOWNLOAD_FAILED);
            }
            m_fileSize = a.fileSize;
        }
        crc = next;
        initial = false;
        received += a.length;
        repeats = 0;
        progress = Clock::now();
        const uint32_t rest = a.fileSize - std::min(start, a.fileSize);
        const uint32_t target = wanted ? std::min(wanted, rest) : rest;
        if (received >= target) {
            std::lock_guard<std::mutex> lock(m_mutex);
            // A directory cut short, or whose bytes are not a header and
            // whole entries, would be read past its end: it is not taken.
            if (directory
                && (start != 0 || m_file.size() != a.fileSize || !ANTFSDir_IsWhole(m_file.data(), m_file.size()))) {
                ce::debugPrintf("ANT-FS host: the client's directory is not whole (%u bytes)", a.fileSize);
                m_file.clear();
                return ended(ANTFS_HR_DOWNLOAD_FAILED);
            }
            ANTFSResponse done = ended(ANTFS_HR_DOWNLOAD_DONE);
            m_file.resize(std::min<size_t>(m_file.size(), a.fileSize));
            done.data = std::move(m_file);
            m_file = std::vector<uint8_t>();
            return done;
        }
        if (a.length == 0)
            ++repeats;
    }
}

uint32_t ANTFSHostTransfers::runUpload()
{
    uint16_t index;
    uint32_t offset, size, maxBlock;
    bool atOffset;
    const uint8_t* data;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        index = m_fileIndex;
        offset = m_offset;
        size = m_size;
        maxBlock = m_maxBlock;
        atOffset = m_startAtOffset;
        data = m_uploadData;
        m_uploadSent = 0;
    }
    // data holds the file's bytes from offset to end; each block goes after
    // a request whose answer says how much the client takes at once.
    const uint32_t end = offset + size; // upload() refuses a sum beyond 32 bits
    uint32_t position = offset;
    bool sentOnce = false;
    uint32_t retries = 0;
    Clock::time_point progress = Clock::now();
    while (!sentOnce || position < end) {
        if (m_link.transferEnded() || retries > kUploadRetries
            || msSince(progress) >= m_link.scaledMs(kUploadSilenceMs))
            return ANTFS_HR_UPLOAD_FAILED;
        m_link.dropAnswers();
        uint8_t request[16] = { ANTFS_ID, CMD_UPLOAD };
        put16(request + 2, index);
        put32(request + 4, end);
        put32(request + 12, atOffset ? position : 0xFFFFFFFFu);
        std::vector<uint8_t> answer;
        if (!m_link.sendBurst(request, sizeof request, ANTFSHostLink::kRequestMs, 8)
            || !m_link.waitAnswer(RSP_UPLOAD, m_link.scaledMs(5 * ANTFSHostLink::kAckMs), &answer)) {
            ++retries;
            continue;
        }
        ANTFSUploadAnswer a;
        const bool read = ANTFSHost_ReadUploadAnswer(answer.data(), answer.size(), &a);
        if (read && a.code != 0)
            return a.code <= 3 ? ANTFS_HR_UPLOAD_REFUSED + a.code : ANTFS_HR_UPLOAD_REFUSED;
        if (!read) {
            ++retries;
            continue;
        }
        const uint32_t last = a.last;
        const uint32_t maxFile = a.maxFile;
        const uint32_t clientBlock = a.maxBlock;
        if (end > maxFile)
            return ANTFS_HR_UPLOAD_REFUSED + 3; // larger than the client takes; nothing sent
        uint32_t from = position;
        if (!atOffset) {
            // The client says how far it has the file: on from there, when
            // what it has is what we send.
            if (last < offset || last > end || Crc16_Calc(data, last - offset) != a.crc) {
                atOffset = true;
                ++retries;
                continue;
            }
            from = last;
        }
        uint32_t block = end - from;
        if (clientBlock != 0)
            block = std::min(block, clientBlock);
        block = std::min(block, maxBlock);
        if (block == 0 && from < end) {
            ++retries; // a client that takes nothing at once
            continue;
        }
        // Header (CRC of what goes before, where this block goes), the
        // block padded to whole packets, the footer with the CRC continued
        // over the block.
        const uint8_t* bytes = data + (from - offset);
        const uint16_t seed = Crc16_Calc(data, from - offset);
        std::vector<uint8_t> body(8, 0);
        body[0] = ANTFS_ID;
        body[1] = CMD_UPLOAD_DATA;
        put16(body.data() + 2, seed);
        put32(body.data() + 4, from);
        body.insert(body.end(), bytes, bytes + block);
        body.resize(8 + (size_t(block) + 7) / 8 * 8, 0);
        uint8_t footer[8] = {};
        put16(footer + 6, Crc16_Update(seed, bytes, block));
        body.insert(body.end(), footer, footer + 8);
        const uint32_t timeout = block > 0x7FFFFA23u ? 0xFFFFFFFEu : 2 * (block + 1500);
        if (!m_link.sendBurst(body.data(), uint32_t(body.size()), timeout, 1)) {
            ++retries;
            continue;
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_uploadSent = from + block - offset;
        }
        if (!m_link.waitAnswer(RSP_UPLOAD_DATA, m_link.scaledMs(ANTFSHostLink::kAnswerMs), &answer)) {
            ++retries;
            continue;
        }
        if (answer[2] != 0)
            return ANTFS_HR_UPLOAD_FAILED;
        position = from + block;
        sentOnce = true;
        retries = 0;
        progress = Clock::now();
    }
    return ANTFS_HR_UPLOAD_DONE;
}

uint32_t ANTFSHostTransfers::runErase()
{
    uint8_t command[8] = { ANTFS_ID, CMD_ERASE };
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        put16(command + 2, m_fileIndex);
    }
    m_link.dropAnswers();
    std::vector<uint8_t> answer;
    if (!m_link.sendAcknowledged(command, ANTFSHostLink::kRequestMs, 8)
        || !m_link.waitAnswer(RSP_ERASE, m_link.scaledMs(ANTFSHostLink::kAnswerMs), &answer))
        return ANTFS_HR_ERASE_FAILED;
    return answer[2] == 0 ? ANTFS_HR_ERASED : ANTFS_HR_ERASE_FAILED;
}

} // namespace senvoy
