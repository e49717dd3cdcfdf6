#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "ByteBlob.h"
#include "FileSizeLimit.h"
#include "LogChannel.h"
#include "ScratchFolder.h"
#include "SerialisableString.h"
#include "TestFiles.h"

namespace
{
std::vector<uint8_t> Bytes(const ByteBlob& blob, uint32_t from = 0)
{
    return std::vector<uint8_t>(blob.data + from, blob.data + blob.size);
}

std::string LastLine(const LogChannel& channel)
{
    const DynArray<std::string>& history = channel.GetHistory();
    return history.count == 0 ? std::string() : history[history.count - 1];
}

uint32_t LineCount(const LogChannel& channel)
{
    return channel.GetHistory().count;
}

// A blob with a header and a payload of `length` bytes that deflate shrinks well.
void FillCompressible(ByteBlob& blob, uint32_t length)
{
    blob.WriteHeader();
    for (uint32_t i = 0; i < length; ++i)
        blob.WriteU8(static_cast<uint8_t>(i % 7));
}

const std::vector<uint8_t> PlainHeader = {0x98, 0xBE, 0x6F, 0x35, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
} // namespace

TEST(ByteBlob, ValuesAreWrittenLittleEndianAndCounted)
{
    ByteBlob blob;
    EXPECT_EQ(blob.capacity, 16u);
    blob.WriteHeader();
    blob.WriteU32(0x04030201u);
    blob.WriteVec2({1.0f, -2.0f});
    blob.WriteFloat(0.5f);
    blob.WriteU8(0xAB);
    EXPECT_EQ(blob.size, 33u);
    EXPECT_EQ(blob.GetPayloadCount(), 17u);
    EXPECT_EQ(blob.GetMagic(), ByteBlob::PlainMagic);
    const std::vector<uint8_t> expected = {0x98, 0xBE, 0x6F, 0x35, 17, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                           0x01, 0x02, 0x03, 0x04, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00,
                                           0x00, 0xC0, 0x00, 0x00, 0x00, 0x3F, 0xAB};
    EXPECT_EQ(Bytes(blob), expected);
    EXPECT_EQ(blob.capacity, 64u);
}

TEST(ByteBlob, ReadsBackWhatWasWritten)
{
    const ScratchFolder folder;
    ByteBlob written;
    written.WriteHeader();
    written.WriteU32(77);
    written.WriteVec2({3.5f, -4.25f});
    written.WriteFloat(-0.125f);
    written.WriteU8(9);
    written.WriteToFile("values.blob");

    ByteBlob read;
    ASSERT_TRUE(read.ReadFromFile("values.blob"));
    EXPECT_TRUE(read.readingMode);
    EXPECT_EQ(read.readCursor, 16u);
    EXPECT_EQ(read.ReadU32(), 77u);
    EXPECT_EQ(read.ReadVec2(), glm::vec2(3.5f, -4.25f));
    EXPECT_EQ(read.ReadFloat(), -0.125f);
    EXPECT_EQ(read.ReadU8(), 9);
    EXPECT_EQ(read.BytesLeft(), 0u);
}

TEST(ByteBlob, MisuseRaisesTheThreeTextsAndChangesNothing)
{
    const ScratchFolder folder;
    ByteBlob writing;
    writing.WriteHeader();
    try
    {
        writing.ReadU32();
        FAIL() << "read in write mode did not raise";
    }
    catch (const ByteBlobError& error)
    {
        EXPECT_STREQ(error.what(), "Attempted to read from a byte blob in write mode.");
    }

    WriteBytes("short.blob", {0x98, 0xBE, 0x6F, 0x35, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3});
    ByteBlob reading;
    ASSERT_TRUE(reading.ReadFromFile("short.blob"));
    try
    {
        reading.ReadU32();
        FAIL() << "short read did not raise";
    }
    catch (const ByteBlobError& error)
    {
        EXPECT_STREQ(error.what(), "Attempted to read from byte blob with too few bytes left.");
    }
    EXPECT_EQ(reading.readCursor, 16u);
    EXPECT_EQ(reading.ReadU8(), 1);

    const uint32_t sizeBefore = reading.size;
    try
    {
        reading.WriteU8(1);
        FAIL() << "write in reading mode did not raise";
    }
    catch (const ByteBlobError& error)
    {
        EXPECT_STREQ(error.what(), "Attempted to write to a byte blob in reading mode.");
    }
    EXPECT_EQ(reading.size, sizeBefore);
}

TEST(ByteBlob, HeaderOnlyFileLoadsButHoldsNothing)
{
    const ScratchFolder folder;
    WriteBytes("empty.blob", PlainHeader);
    ByteBlob blob;
    ASSERT_TRUE(blob.ReadFromFile("empty.blob"));
    EXPECT_EQ(blob.readCursor, 16u);
    EXPECT_FALSE(blob.CheckType(0));
    EXPECT_THROW(blob.ReadU8(), ByteBlobError);
}

TEST(ByteBlob, InvalidFilesAreRefusedAndLogged)
{
    const ScratchFolder folder;
    struct Case
    {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"fifteen bytes", std::vector<uint8_t>(PlainHeader.begin(), PlainHeader.begin() + 15)},
        {"wrong magic", {1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5}},
        {"empty file", {}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        WriteBytes("invalid.blob", c.bytes);
        ByteBlob blob;
        EXPECT_FALSE(blob.ReadFromFile("invalid.blob"));
        EXPECT_FALSE(blob.readingMode);
        EXPECT_EQ(LastLine(ErrorLog), "[ByteBlob.cpp:68]ByteBlob read from file appears to be invalid file.");
    }

    ByteBlob missing;
    EXPECT_FALSE(missing.ReadFromFile("no-such-file.blob"));
    EXPECT_EQ(LastLine(ErrorLog), "[ByteBlob.cpp:61]ByteBlob failed to open file no-such-file.blob");
    EXPECT_EQ(missing.size, 0u);
    // What a level loader meets after a failed read of a fresh blob.
    EXPECT_FALSE(missing.CheckType(4));
    EXPECT_EQ(LastLine(ErrorLog), "[ByteBlob.cpp:183]Error: Attempted to do a type check for reading a byte blob, but it's in write mode.");
}

TEST(ByteBlob, CheckTypeConsumesOnlyAMatch)
{
    const ScratchFolder folder;
    WriteBytes("tags.blob", {0x98, 0xBE, 0x6F, 0x35, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 9, 9, 9});
    ByteBlob blob;
    ASSERT_TRUE(blob.ReadFromFile("tags.blob"));
    const uint32_t errorsBefore = LineCount(ErrorLog);
    EXPECT_FALSE(blob.CheckType(3));
    EXPECT_EQ(blob.readCursor, 16u);
    EXPECT_TRUE(blob.CheckType(4));
    EXPECT_EQ(blob.readCursor, 20u);
    EXPECT_FALSE(blob.CheckType(0x00090909u)); // three bytes left
    EXPECT_EQ(blob.readCursor, 20u);
    EXPECT_EQ(LineCount(ErrorLog), errorsBefore);
}

namespace
{
/// A blob of `payload` counted bytes after the header.
void FillBlob(ByteBlob& blob, uint32_t payload, uint8_t value)
{
    blob.WriteHeader();
    for (uint32_t i = 0; i < payload; ++i)
        blob.WriteU8(value);
}
} // namespace

TEST(ByteBlob, WritingReplacesTheFileWholeAndLeavesNothingBeside)
{
    const ScratchFolder folder;
    std::filesystem::create_directory("saves");
    WriteBytes("saves/level.lrl", std::vector<uint8_t>(5000, 0x11));
    ByteBlob blob;
    FillBlob(blob, 40, 0x22);

    EXPECT_TRUE(blob.WriteToFile("saves/level.lrl"));
    EXPECT_EQ(FileBytes("saves/level.lrl"), Bytes(blob)) << "a shorter blob leaves no tail of the old file";
    EXPECT_EQ(FolderEntries("saves"), std::vector<std::string>{"level.lrl"});
}

TEST(ByteBlob, AFailedWriteKeepsTheOldFileAndIsLogged)
{
    const ScratchFolder folder;
    std::filesystem::create_directory("saves");
    std::filesystem::create_directory("saves/taken.lrl");
    WriteBytes("saves/level.lrl", {1, 2, 3});
    WriteBytes("not-a-folder", {4});
    const std::vector<uint8_t> old{1, 2, 3};
    WriteBytes("saves/pinned.lrl", old);
    ASSERT_EQ(chmod("saves/pinned.lrl", 0444), 0);

    // A file that cannot be opened is the known error; a later step failing is our own warning.
    const struct
    {
        const char* name;
        std::string path;
        const LogChannel& channel;
        std::string message;
    } cases[] = {
        {"missing folder", "no-such-folder/out.blob", ErrorLog,
         "[ByteBlob.cpp:93] Failed to open file \"no-such-folder/out.blob\" while attempting to write byte blob to disk."},
        {"folder is a file", "not-a-folder/out.blob", ErrorLog, "[ByteBlob.cpp:93] Failed to open file \"not-a-folder/out.blob\""},
        {"target is a folder", "saves/taken.lrl", WarningLog,
         "[ByteBlob.cpp:96] Failed to replace byte blob for \"saves/taken.lrl\" (Is a directory); the file there was left as it was."},
        // Kept by its owner, whoever runs the game: a level save used to replace it, writable.
        {"read-only file", "saves/pinned.lrl", WarningLog,
         "[ByteBlob.cpp:99] Did not write byte blob to \"saves/pinned.lrl\": the file there may not be written (Permission denied), so it "
         "was left as it was."},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        ByteBlob blob;
        FillBlob(blob, 8, 0x33);
        const uint32_t errors = LineCount(ErrorLog);
        const uint32_t warnings = LineCount(WarningLog);
        EXPECT_FALSE(blob.WriteToFile(c.path));
        EXPECT_EQ(LineCount(ErrorLog) + LineCount(WarningLog), errors + warnings + 1);
        EXPECT_EQ(LastLine(c.channel).rfind(c.message, 0), 0u) << LastLine(c.channel);
    }
    EXPECT_TRUE(std::filesystem::is_directory("saves/taken.lrl"));
    EXPECT_EQ(FileBytes("saves/level.lrl"), old);
    EXPECT_EQ(FileBytes("saves/pinned.lrl"), old);
    EXPECT_EQ(FileMode("saves/pinned.lrl"), 0444u);
    EXPECT_EQ(FolderEntries("saves"), (std::vector<std::string>{"level.lrl", "pinned.lrl", "taken.lrl"}));
}

TEST(ByteBlob, AFullDiskKeepsTheOldFile)
{
    const ScratchFolder folder;
    std::filesystem::create_directory("saves");
    const std::vector<uint8_t> old(300, 0x44);
    WriteBytes("saves/level.lrl", old);
    ByteBlob blob;
    FillBlob(blob, 5000, 0x55);

    bool written = true;
    ASSERT_TRUE(WithFileSizeLimit(1024, [&] { written = blob.WriteToFile("saves/level.lrl"); }));
    EXPECT_FALSE(written);
    EXPECT_EQ(LastLine(WarningLog).rfind("[ByteBlob.cpp:96] Failed to write byte blob for \"saves/level.lrl\" (", 0), 0u)
        << LastLine(WarningLog);
    EXPECT_EQ(FileBytes("saves/level.lrl"), old);
    EXPECT_EQ(FolderEntries("saves"), std::vector<std::string>{"level.lrl"});
}

TEST(ByteBlob, AReadOnlyFolderKeepsTheOldFile)
{
    const ScratchFolder folder;
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    std::filesystem::create_directory("locked");
    WriteBytes("locked/level.lrl", {7, 7});
    std::filesystem::permissions("locked", std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    ByteBlob blob;
    FillBlob(blob, 8, 0x66);
    const bool written = blob.WriteToFile("locked/level.lrl");
    std::filesystem::permissions("locked", std::filesystem::perms::owner_all);
    EXPECT_FALSE(written);
    EXPECT_EQ(FileBytes("locked/level.lrl"), (std::vector<uint8_t>{7, 7}));
    EXPECT_EQ(FolderEntries("locked"), std::vector<std::string>{"level.lrl"});
}

TEST(ByteBlob, CompressAndDecompressRoundTrip)
{
    const ScratchFolder folder;
    ByteBlob blob;
    FillCompressible(blob, 5000);
    const std::vector<uint8_t> plain = Bytes(blob);

    blob.Compress();
    EXPECT_EQ(blob.GetMagic(), ByteBlob::DeflatedMagic);
    EXPECT_EQ(blob.GetPayloadCount(), 5000u);
    EXPECT_LT(blob.size, 5016u);
    EXPECT_EQ(blob.data[16], 0x78); // a zlib stream with its header

    blob.Compress(); // already deflated: nothing happens
    EXPECT_EQ(blob.GetMagic(), ByteBlob::DeflatedMagic);

    blob.WriteToFile("packed.blob");
    ByteBlob loaded;
    ASSERT_TRUE(loaded.ReadFromFile("packed.blob"));
    EXPECT_EQ(loaded.GetMagic(), ByteBlob::DeflatedMagic); // nothing inflated before Decompress
    EXPECT_TRUE(loaded.Decompress());
    EXPECT_EQ(Bytes(loaded), plain);
    EXPECT_TRUE(loaded.readingMode);
    EXPECT_EQ(loaded.readCursor, 16u);
    EXPECT_EQ(loaded.ReadU8(), 0);
    EXPECT_EQ(loaded.ReadU8(), 1);

    const std::vector<uint8_t> before = Bytes(loaded);
    EXPECT_TRUE(loaded.Decompress()); // plain already: nothing happens
    EXPECT_EQ(Bytes(loaded), before);
}

TEST(ByteBlob, IncompressiblePayloadStaysPlain)
{
    ByteBlob blob;
    blob.WriteHeader();
    uint32_t state = 12345;
    for (int i = 0; i < 64; ++i)
    {
        state = state * 1103515245u + 12345u;
        blob.WriteU8(static_cast<uint8_t>(state >> 16));
    }
    const std::vector<uint8_t> before = Bytes(blob);
    blob.Compress();
    EXPECT_EQ(Bytes(blob), before);
}

TEST(ByteBlob, CorruptDeflatedPayloadLeavesBlobAsItWas)
{
    struct Case
    {
        const char* name;
        void (*spoil)(ByteBlob&);
    };
    const Case cases[] = {
        {"count larger than the stream", [](ByteBlob& b) { b.data[4] = 0x10; b.data[5] = 0x27; }},
        {"count smaller than the stream", [](ByteBlob& b) { b.data[4] = 10; b.data[5] = 0; }},
        {"absurd count", [](ByteBlob& b) { b.data[4] = 0xFF; b.data[5] = 0xFF; b.data[6] = 0xFF; b.data[7] = 0xFF; }},
        {"damaged stream", [](ByteBlob& b) { b.data[b.size / 2] ^= 0x5A; b.data[b.size - 1] ^= 0xFF; }},
        {"truncated stream", [](ByteBlob& b) { b.size -= 6; }},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        ByteBlob blob;
        FillCompressible(blob, 5000);
        blob.Compress();
        ASSERT_EQ(blob.GetMagic(), ByteBlob::DeflatedMagic);
        c.spoil(blob);
        const std::vector<uint8_t> before = Bytes(blob);
        const uint32_t errorsBefore = LineCount(ErrorLog);
        const uint32_t warningsBefore = LineCount(WarningLog);
        EXPECT_FALSE(blob.Decompress());
        EXPECT_EQ(Bytes(blob), before);
        EXPECT_EQ(blob.GetMagic(), ByteBlob::DeflatedMagic);
        EXPECT_EQ(LineCount(ErrorLog), errorsBefore);
        EXPECT_EQ(LineCount(WarningLog), warningsBefore + 1);
    }
}

TEST(ByteBlob, PushByteGrowsWithoutCounting)
{
    ByteBlob blob;
    blob.WriteHeader();
    for (int i = 0; i < 40; ++i)
        blob.PushByte(blob.data[0]);
    EXPECT_EQ(blob.size, 56u);
    EXPECT_EQ(blob.capacity, 64u);
    EXPECT_EQ(blob.GetPayloadCount(), 0u);
    EXPECT_EQ(blob.data[55], 0x98);
}

TEST(ByteBlob, GrowthStopsAtTheLargestSizeInsteadOfWrapping)
{
    const struct
    {
        uint32_t capacity, needed, grown;
    } cases[] = {
        {0, 1, 16},
        {16, 17, 32},
        {16, 1000, 1024},
        {1u << 30, (1u << 30) + 1, 1u << 31},
        // Doubling a 32-bit capacity here used to give 0, and the next byte went past the block.
        {1u << 31, (1u << 31) + 1, UINT32_MAX},
        {UINT32_MAX - 1, UINT32_MAX, UINT32_MAX},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.capacity);
        EXPECT_EQ(ByteBlob::GrownCapacity(c.capacity, c.needed), c.grown);
    }

    // A blob standing at the largest size refuses more bytes before it touches its block. (It
    // only claims that size: the block behind it is the usual 16 bytes.)
    ByteBlob blob;
    blob.WriteHeader();
    const uint32_t realSize = blob.size;
    const uint32_t realCapacity = blob.capacity;
    blob.size = UINT32_MAX - 2;
    blob.capacity = UINT32_MAX;
    EXPECT_THROW(blob.WriteU32(1), std::length_error);
    EXPECT_THROW(blob.PushBytes(blob.data, 3), std::length_error);
    const uint16_t values[2] = {1, 2};
    EXPECT_THROW(blob.WriteArray(values, 2), std::length_error);
    EXPECT_EQ(blob.size, UINT32_MAX - 2);
    blob.size = realSize;
    blob.capacity = realCapacity;
    EXPECT_EQ(blob.GetPayloadCount(), 0u);
}

TEST(ByteBlob, ArraysAreWrittenAsTheirValuesWouldBeOneByOne)
{
    const uint16_t samples[5] = {0x0102, 0xFFFF, 0, 7, 0x8000};
    ByteBlob oneByOne;
    oneByOne.WriteHeader();
    for (uint16_t sample : samples)
        oneByOne.WriteU16(sample);
    ByteBlob whole;
    whole.WriteHeader();
    whole.WriteArray(samples, 5);
    EXPECT_EQ(Bytes(whole), Bytes(oneByOne));
    EXPECT_EQ(whole.GetPayloadCount(), 10u);

    // Bytes taken from the blob itself survive the growth that makes room for them.
    ByteBlob doubled;
    doubled.WriteHeader();
    ASSERT_EQ(doubled.size, doubled.capacity);
    doubled.PushBytes(doubled.data, doubled.size);
    EXPECT_EQ(Bytes(doubled, 16), std::vector<uint8_t>(PlainHeader.begin(), PlainHeader.end()));

    ASSERT_TRUE(whole.ReadFromMemory(Bytes(whole).data(), whole.size));
    EXPECT_THROW(whole.WriteArray(samples, 5), ByteBlobError);
    EXPECT_EQ(whole.size, 26u);
}

TEST(SerialisableString, StoresLengthThenBytes)
{
    const ScratchFolder folder;
    struct Case
    {
        std::string text;
        std::vector<uint8_t> record;
    };
    const Case cases[] = {
        {"abc", {0, 0, 0, 0, 3, 0, 0, 0, 0x61, 0x62, 0x63}},
        {"", {0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.text);
        ByteBlob blob;
        blob.WriteHeader();
        SerialisableString(c.text).Serialise(blob);
        EXPECT_EQ(Bytes(blob, 16), c.record);
        blob.WriteToFile("string.blob");

        ByteBlob read;
        ASSERT_TRUE(read.ReadFromFile("string.blob"));
        SerialisableString back("old text");
        EXPECT_TRUE(back.Deserialise(read));
        EXPECT_EQ(back.text, c.text);
    }
}

TEST(SerialisableString, RefusesOtherTagsAndOverlongLengths)
{
    const ScratchFolder folder;
    // Tag 5, then a string record whose length claims far more bytes than the file holds.
    WriteBytes("bad-string.blob", {0x98, 0xBE, 0x6F, 0x35, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                  5, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 'h', 'i'});
    ByteBlob blob;
    ASSERT_TRUE(blob.ReadFromFile("bad-string.blob"));
    SerialisableString text("kept");
    EXPECT_FALSE(text.Deserialise(blob));
    EXPECT_EQ(blob.readCursor, 16u);
    blob.ReadU32();
    EXPECT_THROW(text.Deserialise(blob), ByteBlobError);
    EXPECT_EQ(text.text, "kept");
}
