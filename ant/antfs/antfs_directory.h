// Readers of a received ANT-FS directory image (16-byte header, 16-byte
// entries, little-endian). They take any bytes: a short or foreign image
// reads as empty, never past its length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace senvoy {

constexpr uint32_t ANTFS_DIR_HEADER = 16;
constexpr uint32_t ANTFS_DIR_ENTRY = 16;
constexpr uint8_t ANTFS_DATA_TYPE_FIT = 128;
constexpr uint8_t ANTFS_SUB_TYPE_ACTIVITY = 4;
constexpr uint8_t ANTFS_FLAG_READABLE = 0x80;
constexpr uint8_t ANTFS_FLAG_ARCHIVED = 0x10;

struct ANTFSDirEntry {
    uint16_t fileIndex = 0;
    uint8_t dataType = 0;
    uint8_t subType = 0;
    uint16_t fileNumber = 0;
    uint8_t dataTypeFlags = 0;
    uint8_t generalFlags = 0;
    uint32_t size = 0;
    uint32_t date = 0;
};

// Whether the bytes are a whole directory: a header of version 1 with
// entry length 16, then whole entries only (none is whole too).
bool ANTFSDir_IsWhole(const uint8_t* image, size_t length);
// The number of entries: 0 unless the header says version 1 and entry
// length 16 and the image holds at least one entry.
uint32_t ANTFSDir_EntryCount(const uint8_t* image, size_t length);
// The entry at position (0 = the first after the header).
bool ANTFSDir_EntryAt(const uint8_t* image, size_t length, uint32_t position, ANTFSDirEntry* out);
// The first entry with this data file index.
bool ANTFSDir_EntryByIndex(const uint8_t* image, size_t length, uint16_t fileIndex, ANTFSDirEntry* out);
// The indices of the activity files (FIT, sub type 4) that are readable and
// not archived, in directory order.
std::vector<uint16_t> ANTFSDir_ActivityFiles(const uint8_t* image, size_t length);

} // namespace senvoy
