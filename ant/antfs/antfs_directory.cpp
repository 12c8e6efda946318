#include "ant/antfs/antfs_directory.h"
#include "ant/antfs/antfs_shared.h"

#include "ant/senvoy_antfs.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace senvoy {

using namespace antfs_le;

namespace {

ANTFSDirEntry decode(const uint8_t* e)
{
    ANTFSDirEntry d;
    d.fileIndex = get16(e);
    d.dataType = e[2];
    d.subType = e[3];
    d.fileNumber = get16(e + 4);
    d.dataTypeFlags = e[6];
    d.generalFlags = e[7];
    d.size = get32(e + 8);
    d.date = get32(e + 12);
    return d;
}

// The first of count entries whose index is fileIndex, or null.
uint8_t* find(void* image, int64_t count, uint16_t fileIndex)
{
    uint8_t* entries = static_cast<uint8_t*>(image) + ANTFS_DIR_HEADER;
    for (int64_t i = 0; i < count; ++i) {
        uint8_t* e = entries + i * ANTFS_DIR_ENTRY;
        if (get16(e) == fileIndex)
            return e;
    }
    return nullptr;
}

} // namespace

bool ANTFSDir_IsWhole(const uint8_t* image, size_t length)
{
    return image && length >= ANTFS_DIR_HEADER && image[0] == 1 && image[1] == ANTFS_DIR_ENTRY
        && (length - ANTFS_DIR_HEADER) % ANTFS_DIR_ENTRY == 0;
}

uint32_t ANTFSDir_EntryCount(const uint8_t* image, size_t length)
{
    if (!image || length < ANTFS_DIR_HEADER + ANTFS_DIR_ENTRY || image[0] != 1 || image[1] != ANTFS_DIR_ENTRY)
        return 0;
    size_t n = (length - ANTFS_DIR_HEADER) / ANTFS_DIR_ENTRY;
    return n > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max() : uint32_t(n);
}

bool ANTFSDir_EntryAt(const uint8_t* image, size_t length, uint32_t position, ANTFSDirEntry* out)
{
    if (!out || position >= ANTFSDir_EntryCount(image, length))
        return false;
    *out = decode(image + ANTFS_DIR_HEADER + size_t(position) * ANTFS_DIR_ENTRY);
    return true;
}

bool ANTFSDir_EntryByIndex(const uint8_t* image, size_t length, uint16_t fileIndex, ANTFSDirEntry* out)
{
    uint32_t n = ANTFSDir_EntryCount(image, length);
    for (uint32_t p = 0; p < n; ++p) {
        const uint8_t* e = image + ANTFS_DIR_HEADER + size_t(p) * ANTFS_DIR_ENTRY;
        if (get16(e) == fileIndex) {
            if (out)
                *out = decode(e);
            return true;
        }
    }
    return false;
}

std::vector<uint16_t> ANTFSDir_ActivityFiles(const uint8_t* image, size_t length)
{
    std::vector<uint16_t> files;
    uint32_t n = ANTFSDir_EntryCount(image, length);
    for (uint32_t p = 0; p < n; ++p) {
        ANTFSDirEntry e = decode(image + ANTFS_DIR_HEADER + size_t(p) * ANTFS_DIR_ENTRY);
        if (e.dataType == ANTFS_DATA_TYPE_FIT && e.subType == ANTFS_SUB_TYPE_ACTIVITY
            && (e.generalFlags & ANTFS_FLAG_READABLE) && !(e.generalFlags & ANTFS_FLAG_ARCHIVED))
            files.push_back(e.fileIndex);
    }
    return files;
}

} // namespace senvoy

using namespace senvoy;

extern "C" {

SENVOY_API void* ANTFSDir_NewDirectory(int32_t count, uint32_t systemTime, uint32_t date, uint32_t* size)
{
    if (!size)
        return nullptr;
    // A size that does not fit its 32-bit out value would make a block
    // smaller than the entries numbered below.
    if (count < 0 || uint64_t(count) + 1 > std::numeric_limits<uint32_t>::max() / ANTFS_DIR_ENTRY)
        return nullptr;
    uint32_t bytes = (uint32_t(count) + 1) * ANTFS_DIR_ENTRY;
    *size = bytes;
    uint8_t* image = static_cast<uint8_t*>(std::malloc(bytes));
    if (!image)
        return nullptr;
    std::memset(image, 0, bytes);
    image[0] = 1;
    image[1] = ANTFS_DIR_ENTRY;
    image[2] = 0;
    put32(image + 8, systemTime);
    put32(image + 12, date);
    for (int32_t i = 1; i <= count; ++i) {
        uint8_t* e = image + size_t(i) * ANTFS_DIR_ENTRY;
        e[0] = uint8_t(i);
        e[1] = uint8_t(i >> 8);
    }
    return image;
}

SENVOY_API int ANTFSDir_SetFileEntry(void* image, int32_t count, uint16_t fileIndex, const void* entry)
{
    if (!image || !entry || count < 1)
        return 0;
    uint8_t* e = find(image, count, fileIndex);
    if (!e)
        return 0;
    std::memmove(e, entry, ANTFS_DIR_ENTRY);
    return 1;
}

SENVOY_API int ANTFSDir_GettFileEntry(const void* image, uint8_t count, uint16_t fileIndex, void* out)
{
    if (!image || !out || count < 1)
        return 0;
    const uint8_t* e = find(const_cast<void*>(image), count, fileIndex);
    if (!e)
        return 0;
    std::memmove(out, e, ANTFS_DIR_ENTRY);
    return 1;
}

SENVOY_API int ANTFSDir_DeleteFileEntry(void* image, int32_t count, uint16_t fileIndex)
{
    if (!image || count < 1)
        return 0;
    uint8_t* e = find(image, count, fileIndex);
    if (!e)
        return 0;
    e[0] = 0;
    e[1] = 0;
    return 1;
}

SENVOY_API void ANTFSDir_DeleteDirectory(void* image)
{
    std::free(image);
}

} // extern "C"
