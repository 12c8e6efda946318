// Directory images: the exports that build and edit them and the readers
// of a received one.
#include "ant/antfs/antfs_directory.h"
#include "ant/senvoy_antfs.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

using namespace senvoy;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes bytesOf(const void* image, uint32_t size)
{
    const uint8_t* p = static_cast<const uint8_t*>(image);
    return Bytes(p, p + size);
}

Bytes entry(uint16_t index, uint8_t type, uint8_t sub, uint8_t flags, uint32_t size)
{
    Bytes e(16, 0);
    e[0] = uint8_t(index);
    e[1] = uint8_t(index >> 8);
    e[2] = type;
    e[3] = sub;
    e[7] = flags;
    std::memcpy(e.data() + 8, &size, 4);
    return e;
}

} // namespace

TEST(Directory, NewDirectoryWritesTheHeaderAndNumbersTheEntries)
{
    uint32_t size = 0;
    void* image = ANTFSDir_NewDirectory(2, 0x11223344, 0x55667788, &size);
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(size, 48u);
    Bytes expected(48, 0);
    expected[0] = 1;
    expected[1] = 16;
    const uint8_t words[] = { 0x44, 0x33, 0x22, 0x11, 0x88, 0x77, 0x66, 0x55 };
    std::memcpy(expected.data() + 8, words, 8);
    expected[16] = 1;
    expected[32] = 2;
    EXPECT_EQ(bytesOf(image, size), expected);
    ANTFSDir_DeleteDirectory(image);

    image = ANTFSDir_NewDirectory(0, 0, 0, &size);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(size, 16u);
    ANTFSDir_DeleteDirectory(image);
    ANTFSDir_DeleteDirectory(nullptr);
}

TEST(Directory, NewDirectoryRefusesCountsItCannotHold)
{
    // A negative count, or one whose size overflows 32 bits, once gave a
    // small block with entries numbered far past it.
    uint32_t size = 7;
    for (int32_t count : { -1, -2, std::numeric_limits<int32_t>::min(), 268435455, 0x7FFFFFFF }) {
        SCOPED_TRACE(count);
        EXPECT_EQ(ANTFSDir_NewDirectory(count, 0, 0, &size), nullptr);
    }
    EXPECT_EQ(ANTFSDir_NewDirectory(1, 0, 0, nullptr), nullptr);
}

TEST(Directory, EntriesAreFoundSetAndDeletedByIndex)
{
    uint32_t size = 0;
    uint8_t* image = static_cast<uint8_t*>(ANTFSDir_NewDirectory(4, 0, 0, &size));
    ASSERT_NE(image, nullptr);
    Bytes out(16, 0xEE);
    Bytes e5 = entry(5, 128, 4, 0x80, 1234);

    // Set with another index renumbers the slot: 3 is gone, 5 is there.
    EXPECT_EQ(ANTFSDir_SetFileEntry(image, 4, 3, e5.data()), 1);
    EXPECT_EQ(ANTFSDir_GettFileEntry(image, 4, 3, out.data()), 0);
    EXPECT_EQ(ANTFSDir_GettFileEntry(image, 4, 5, out.data()), 1);
    EXPECT_EQ(out, e5);
    EXPECT_EQ(Bytes(image + 48, image + 64), e5);

    // Delete frees the slot; a search for index 0 finds it.
    EXPECT_EQ(ANTFSDir_DeleteFileEntry(image, 4, 5), 1);
    EXPECT_EQ(ANTFSDir_GettFileEntry(image, 4, 5, out.data()), 0);
    EXPECT_EQ(ANTFSDir_GettFileEntry(image, 4, 0, out.data()), 1);
    EXPECT_EQ(out[2], 128);

    // The first of two equal indices is taken.
    Bytes e2 = entry(2, 1, 1, 0, 9);
    EXPECT_EQ(ANTFSDir_SetFileEntry(image, 4, 4, e2.data()), 1);
    EXPECT_EQ(ANTFSDir_GettFileEntry(image, 4, 2, out.data()), 1);
    EXPECT_EQ(out[2], 0);

    // Refusals leave the image as it was.
    Bytes before(image, image + size);
    const struct {
        const char* what;
        int result;
    } refusals[] = {
        { "index beyond the entries", ANTFSDir_SetFileEntry(image, 4, 9, e5.data()) },
        { "count 0", ANTFSDir_SetFileEntry(image, 0, 1, e5.data()) },
        { "negative count", ANTFSDir_DeleteFileEntry(image, -3, 1) },
        { "null entry", ANTFSDir_SetFileEntry(image, 4, 1, nullptr) },
        { "null image", ANTFSDir_SetFileEntry(nullptr, 4, 1, e5.data()) },
        { "get, null out", ANTFSDir_GettFileEntry(image, 4, 1, nullptr) },
        { "get, count 0", ANTFSDir_GettFileEntry(image, 0, 1, out.data()) },
        { "delete, no such index", ANTFSDir_DeleteFileEntry(image, 4, 77) },
        { "delete, null image", ANTFSDir_DeleteFileEntry(nullptr, 4, 1) },
    };
    for (const auto& r : refusals)
        EXPECT_EQ(r.result, 0) << r.what;
    EXPECT_EQ(Bytes(image, image + size), before);
    ANTFSDir_DeleteDirectory(image);
}

TEST(Directory, ReadersTakeAnyBytes)
{
    Bytes image(16, 0);
    image[0] = 1;
    image[1] = 16;
    for (const Bytes& e : { entry(1, 128, 4, 0x80, 10), entry(2, 128, 4, 0x90, 20), entry(3, 128, 1, 0x80, 30),
             entry(4, 128, 4, 0x00, 40), entry(9, 128, 4, 0xA0, 90) })
        image.insert(image.end(), e.begin(), e.end());

    EXPECT_EQ(ANTFSDir_EntryCount(image.data(), image.size()), 5u);
    EXPECT_EQ(ANTFSDir_ActivityFiles(image.data(), image.size()), (std::vector<uint16_t> { 1, 9 }));
    ANTFSDirEntry e;
    ASSERT_TRUE(ANTFSDir_EntryAt(image.data(), image.size(), 4, &e));
    EXPECT_EQ(e.fileIndex, 9);
    EXPECT_EQ(e.size, 90u);
    EXPECT_FALSE(ANTFSDir_EntryAt(image.data(), image.size(), 5, &e));
    ASSERT_TRUE(ANTFSDir_EntryByIndex(image.data(), image.size(), 3, &e));
    EXPECT_EQ(e.subType, 1);
    EXPECT_FALSE(ANTFSDir_EntryByIndex(image.data(), image.size(), 5, &e));
    // A trailing part entry is not read.
    EXPECT_EQ(ANTFSDir_EntryCount(image.data(), image.size() - 1), 4u);

    const struct {
        const char* what;
        Bytes bytes;
    } empty[] = {
        { "header only", Bytes(image.begin(), image.begin() + 16) },
        { "short", Bytes(image.begin(), image.begin() + 31) },
        { "wrong version", [&] { Bytes b = image; b[0] = 2; return b; }() },
        { "wrong entry length", [&] { Bytes b = image; b[1] = 32; return b; }() },
        { "nothing", Bytes() },
    };
    for (const auto& c : empty) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ANTFSDir_EntryCount(c.bytes.data(), c.bytes.size()), 0u);
        EXPECT_TRUE(ANTFSDir_ActivityFiles(c.bytes.data(), c.bytes.size()).empty());
        EXPECT_FALSE(ANTFSDir_EntryAt(c.bytes.data(), c.bytes.size(), 0, &e));
    }
    EXPECT_EQ(ANTFSDir_EntryCount(nullptr, 100), 0u);
}

TEST(Directory, ReadersStayInsideTheBytesGiven)
{
    Bytes image(16, 0);
    image[0] = 1;
    image[1] = 16;
    for (uint16_t i = 1; i <= 3; ++i) {
        Bytes e = entry(i, 128, 4, 0x80, i);
        image.insert(image.end(), e.begin(), e.end());
    }
    // Every cut of the image, each in a block of exactly its own length.
    for (size_t length = 0; length <= image.size(); ++length) {
        SCOPED_TRACE(length);
        std::vector<uint8_t> cut(image.begin(), image.begin() + long(length));
        const uint8_t* bytes = cut.empty() ? nullptr : cut.data();
        const uint32_t whole = length >= 32 ? uint32_t((length - 16) / 16) : 0;
        EXPECT_EQ(ANTFSDir_EntryCount(bytes, length), whole);
        EXPECT_EQ(ANTFSDir_ActivityFiles(bytes, length).size(), whole);
        ANTFSDirEntry e;
        EXPECT_EQ(ANTFSDir_EntryAt(bytes, length, whole, &e), false);
        EXPECT_EQ(ANTFSDir_EntryByIndex(bytes, length, 3, &e), whole == 3);
        EXPECT_EQ(ANTFSDir_IsWhole(bytes, length), length >= 16 && length % 16 == 0);
    }
}

TEST(Directory, DeleteClearsBothBytesOfTheIndex)
{
    // Indices from 256 on have a high byte: the entry is free only with
    // both bytes cleared.
    uint32_t size = 0;
    uint8_t* image = static_cast<uint8_t*>(ANTFSDir_NewDirectory(300, 0, 0, &size));
    ASSERT_NE(image, nullptr);
    for (uint16_t index : { uint16_t(256), uint16_t(300) }) {
        SCOPED_TRACE(index);
        uint8_t* e = image + size_t(index) * 16;
        ASSERT_EQ(ANTFSDir_DeleteFileEntry(image, 300, index), 1);
        EXPECT_EQ(Bytes(e, e + 2), Bytes(2, 0));
        EXPECT_EQ(ANTFSDir_DeleteFileEntry(image, 300, index), 0);
    }
    ANTFSDir_DeleteDirectory(image);
}
