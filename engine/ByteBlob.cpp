#include "ByteBlob.h"

#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <string_view>
#include <vector>

#include <zlib.h>

#include "LogChannel.h"
#include "Utilities.h"

namespace
{
// Deflate never shrinks data by more than about 1032 to 1; a header that claims more than this
// from its payload is corrupt, and trusting it would allocate whatever the file asks for.
constexpr uint64_t MaxInflateRatio = 1032;
constexpr uint64_t InflateSlack = 64;
} // namespace

ByteBlob::ByteBlob() : capacity(16), size(0), data(new uint8_t[16]()), readingMode(false), readCursor(0) {}

ByteBlob::~ByteBlob()
{
    delete[] data;
}

void ByteBlob::WriteHeader()
{
    for (uint32_t i = 0; i < HeaderSize; ++i)
        PushByte(0);
    SetU32At(size - HeaderSize, PlainMagic);
}

void ByteBlob::PushByte(uint8_t byte)
{
    // `byte` is taken by value, so a byte read from this blob survives the reallocation.
    PushBytes(&byte, 1);
}

void ByteBlob::PushBytes(const uint8_t* bytes, uint32_t count)
{
    if (count == 0)
        return;
    if (count > MaxCapacity - size)
        throw std::length_error(TooLargeMessage);
    const uint32_t needed = size + count;
    if (needed > capacity)
    {
        // The bytes may lie in the block that is about to be replaced.
        const auto at = reinterpret_cast<uintptr_t>(bytes);
        const auto block = reinterpret_cast<uintptr_t>(data);
        if (at >= block && at < block + capacity)
        {
            const std::vector<uint8_t> copy(bytes, bytes + count);
            Reserve(GrownCapacity(capacity, needed));
            std::memcpy(data + size, copy.data(), count);
            size = needed;
            return;
        }
        Reserve(GrownCapacity(capacity, needed));
    }
    std::memmove(data + size, bytes, count);
    size = needed;
}

void ByteBlob::Reserve(uint32_t n)
{
    if (n == 0 || n == capacity)
        return;
    const uint32_t newCapacity = n > size ? n : size;
    uint8_t* block = new uint8_t[newCapacity]();
    if (size > 0)
        std::memcpy(block, data, size);
    delete[] data;
    data = block;
    capacity = newCapacity;
}

bool ByteBlob::CheckType(uint32_t expected)
{
    if (!readingMode)
    {
        ErrorLog << LogLocation(__FILE__, 183)
                 << "Error: Attempted to do a type check for reading a byte blob, but it's in write mode.";
        ErrorLog.EndMessage();
        return false;
    }
    if (BytesLeft() < sizeof(uint32_t))
        return false;
    uint32_t found;
    std::memcpy(&found, data + readCursor, sizeof(found));
    if (found != expected)
        return false;
    readCursor += sizeof(uint32_t);
    return true;
}

bool ByteBlob::ReadFromFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open())
    {
        ErrorLog << LogLocation(__FILE__, 61) << "ByteBlob failed to open file " << path;
        ErrorLog.EndMessage();
        return false;
    }
    file.seekg(0, std::ios::end);
    const std::streamoff length = file.tellg();
    file.seekg(0, std::ios::beg);
    size = 0;
    // A file too large for a blob's 32-bit size is read as nothing and reported as invalid below.
    if (length > 0 && length < static_cast<std::streamoff>(std::numeric_limits<uint32_t>::max()))
    {
        const uint32_t fileSize = static_cast<uint32_t>(length);
        if (fileSize > capacity)
            Reserve(fileSize);
        file.read(reinterpret_cast<char*>(data), fileSize);
        size = static_cast<uint32_t>(file.gcount());
    }

    return AcceptLoadedBytes();
}

bool ByteBlob::ReadFromMemory(const uint8_t* bytes, uint32_t count)
{
    size = 0;
    if (count > capacity)
        Reserve(count);
    if (count > 0)
        std::memcpy(data, bytes, count);
    size = count;
    return AcceptLoadedBytes();
}

bool ByteBlob::HasHeader(const uint8_t* bytes, uint32_t count)
{
    if (count < HeaderSize)
        return false;
    uint32_t magic;
    std::memcpy(&magic, bytes, sizeof(magic));
    return magic == PlainMagic || magic == DeflatedMagic;
}

bool ByteBlob::AcceptLoadedBytes()
{
    if (HasHeader(data, size))
    {
        readingMode = true;
        readCursor = HeaderSize;
        return true;
    }
    ErrorLog << LogLocation(__FILE__, 68) << "ByteBlob read from file appears to be invalid file.";
    ErrorLog.EndMessage();
    return false;
}

bool ByteBlob::WriteToFile(const std::string& path) const
{
    FileReplaceFailure failure;
    if (ReplaceFileWhole(path, {std::string_view(reinterpret_cast<const char*>(data), size)}, &failure))
        return true;
    // A file whose owner took the write permission off is one the player means to keep as it is:
    // not the fault in the program that "Failed to open file" reports, and not worth a key press.
    if (std::string_view(failure.step) == "permission")
    {
        WarningLog << LogLocation(__FILE__, 99) << " Did not write byte blob to \"" << path << "\": the file there may not be written ("
                   << std::strerror(failure.error) << "), so it was left as it was.";
        WarningLog.EndMessage();
        return false;
    }
    if (std::string_view(failure.step) == "open")
    {
        ErrorLog << LogLocation(__FILE__, 93) << " Failed to open file \"" << path << "\" while attempting to write byte blob to disk.";
        ErrorLog.EndMessage();
        return false;
    }
    WarningLog << LogLocation(__FILE__, 96) << " Failed to " << failure.step << " byte blob for \"" << path << "\" ("
               << std::strerror(failure.error) << "); the file there was left as it was.";
    WarningLog.EndMessage();
    return false;
}

void ByteBlob::Compress()
{
    if (size < HeaderSize || GetMagic() != PlainMagic)
        return;
    const uint32_t payloadLength = size - HeaderSize;
    uLongf compressedLength = payloadLength + payloadLength / 1000 + 13;
    std::unique_ptr<Bytef[]> compressed(new Bytef[compressedLength]); // only what deflate writes is kept
    const int code = compress2(compressed.get(), &compressedLength, data + HeaderSize, payloadLength, 6);
    if (code != Z_OK)
    {
        ErrorLog << LogLocation(__FILE__, 263) << "Compression failed with code: " << code;
        ErrorLog.EndMessage();
        return;
    }
    if (compressedLength >= payloadLength)
        return;
    const uint32_t plainCount = GetPayloadCount();
    ReplacePayload(compressed.get(), static_cast<uint32_t>(compressedLength), DeflatedMagic);
    SetU32At(4, plainCount);
}

bool ByteBlob::Decompress()
{
    if (size < HeaderSize)
        return false;
    if (GetMagic() == PlainMagic)
        return true;
    if (GetMagic() != DeflatedMagic)
        return false;

    const uint32_t expected = GetPayloadCount();
    const uint64_t deflatedLength = size - HeaderSize;
    if (expected > deflatedLength * MaxInflateRatio + InflateSlack || expected > MaxCapacity - HeaderSize)
    {
        WarningLog << LogLocation(__FILE__, 290) << "Decompression failed: the header claims " << expected
                   << " bytes from a payload of " << deflatedLength << ".";
        WarningLog.EndMessage();
        return false;
    }

    // Inflated straight into the new block behind a copy of the header; the block is not zeroed
    // first, since inflating fills all of it or the block is dropped.
    std::unique_ptr<uint8_t[]> block(new uint8_t[HeaderSize + static_cast<size_t>(expected)]);
    uLongf inflatedLength = expected;
    const int code = uncompress(block.get() + HeaderSize, &inflatedLength, data + HeaderSize, static_cast<uLong>(deflatedLength));
    if (code != Z_OK || inflatedLength != expected)
    {
        WarningLog << LogLocation(__FILE__, 300) << "Decompression failed with code: " << code << " ("
                   << inflatedLength << " of " << expected << " bytes).";
        WarningLog.EndMessage();
        return false;
    }
    std::memcpy(block.get(), data, HeaderSize);
    delete[] data;
    data = block.release();
    capacity = HeaderSize + expected;
    size = capacity;
    SetU32At(0, PlainMagic);
    return true;
}

uint32_t ByteBlob::GetMagic() const
{
    if (size < 4)
        return 0;
    uint32_t magic;
    std::memcpy(&magic, data, sizeof(magic));
    return magic;
}

uint32_t ByteBlob::GetPayloadCount() const
{
    if (size < 8)
        return 0;
    uint32_t payloadCount;
    std::memcpy(&payloadCount, data + 4, sizeof(payloadCount));
    return payloadCount;
}

void ByteBlob::AddToCount(uint32_t bytes)
{
    // The count lives in the header; a blob written without one has nowhere to keep it.
    if (size < 8)
        return;
    SetU32At(4, GetPayloadCount() + bytes);
}

void ByteBlob::SetU32At(uint32_t offset, uint32_t value)
{
    std::memcpy(data + offset, &value, sizeof(value));
}

void ByteBlob::ReplacePayload(const uint8_t* payload, uint32_t length, uint32_t magic)
{
    if (length > MaxCapacity - HeaderSize)
        throw std::length_error(TooLargeMessage);
    const uint32_t newSize = HeaderSize + length;
    uint8_t* block = new uint8_t[newSize]; // every byte is written below
    std::memcpy(block, data, HeaderSize);
    if (length > 0)
        std::memcpy(block + HeaderSize, payload, length);
    delete[] data;
    data = block;
    capacity = newSize;
    size = newSize;
    SetU32At(0, magic);
}
