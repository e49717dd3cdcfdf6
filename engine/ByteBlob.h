#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <type_traits>

#include <glm/vec2.hpp>

static_assert(std::endian::native == std::endian::little, "byte blobs are stored little-endian");

/// Raised by a byte blob read or write used in the wrong mode or past the end; `what()` is one of
/// the three misuse texts of `ByteBlob`. The blob is left as it was.
class ByteBlobError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// A growable byte buffer with a 16-byte header (u32 magic, u32 payload byte count, 8 zero bytes)
/// followed by the payload, written value by value and read back in the same order. The same
/// bytes are the file format of level files and of the font atlas cache. Owns its block.
///
/// Growth doubles the capacity and stops at the largest u32 rather than wrapping: a blob that
/// would need more than 4294967295 bytes raises `std::length_error` and is left as it was.
class ByteBlob
{
public:
    static constexpr uint32_t PlainMagic = 0x356FBE98u;
    static constexpr uint32_t DeflatedMagic = 0x1ED082CFu;
    static constexpr uint32_t HeaderSize = 16;
    static constexpr uint32_t MaxCapacity = UINT32_MAX;

    static constexpr const char* TooFewBytesMessage = "Attempted to read from byte blob with too few bytes left.";
    static constexpr const char* ReadInWriteModeMessage = "Attempted to read from a byte blob in write mode.";
    static constexpr const char* WriteInReadModeMessage = "Attempted to write to a byte blob in reading mode.";

    uint32_t capacity = 16;    ///< bytes in the block
    uint32_t size = 0;         ///< bytes in use, header included
    uint8_t* data = nullptr;   ///< the block, owned
    bool readingMode = false;  ///< false while written, true while read
    uint32_t readCursor = 0;   ///< offset of the next byte to read

    /// An empty blob in writing mode with a zeroed 16-byte block; no header is written yet.
    ByteBlob();
    ~ByteBlob();
    ByteBlob(const ByteBlob&) = delete;
    ByteBlob& operator=(const ByteBlob&) = delete;

    /// Appends the 16 header bytes with the plain magic and a zero count: how every writer begins.
    void WriteHeader();

    /// Appends one byte without counting it and without checking the mode.
    void PushByte(uint8_t byte);
    /// Appends `count` bytes without counting them and without checking the mode, growing once.
    /// `bytes` may lie inside this blob.
    void PushBytes(const uint8_t* bytes, uint32_t count);
    /// Reallocates to max(n, size) zero-filled bytes keeping the used ones; 0 or the current
    /// capacity does nothing.
    void Reserve(uint32_t n);

    void WriteU8(uint8_t value) { Write(value); }
    void WriteU16(uint16_t value) { Write(value); }
    void WriteU32(uint32_t value) { Write(value); }
    void WriteFloat(float value) { Write(value); }
    void WriteVec2(glm::vec2 value) { Write(value); }

    uint8_t ReadU8() { return Read<uint8_t>(); }
    uint16_t ReadU16() { return Read<uint16_t>(); }
    uint32_t ReadU32() { return Read<uint32_t>(); }
    float ReadFloat() { return Read<float>(); }
    glm::vec2 ReadVec2() { return Read<glm::vec2>(); }

    /// Appends the bytes of `value` in little-endian order and counts them in the header.
    /// Raises `ByteBlobError` in reading mode.
    template <typename T>
    void Write(const T& value)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        if (readingMode)
            throw ByteBlobError(WriteInReadModeMessage);
        uint8_t bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T));
        PushBytes(bytes, sizeof(T));
        AddToCount(sizeof(T));
    }

    /// Appends `count` values as `Write` would one after another, in one growth and one copy.
    /// Raises `ByteBlobError` in reading mode and `std::length_error` when the blob cannot hold
    /// them; either way nothing is appended.
    template <typename T>
    void WriteArray(const T* values, uint32_t count)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        if (readingMode)
            throw ByteBlobError(WriteInReadModeMessage);
        const uint64_t bytes = static_cast<uint64_t>(count) * sizeof(T);
        if (bytes > MaxCapacity - size)
            throw std::length_error(TooLargeMessage);
        PushBytes(reinterpret_cast<const uint8_t*>(values), static_cast<uint32_t>(bytes));
        AddToCount(static_cast<uint32_t>(bytes));
    }

    /// Reads a value at the cursor and advances past it. Raises `ByteBlobError` in writing mode
    /// or when fewer than sizeof(T) bytes remain.
    template <typename T>
    T Read()
    {
        if (!readingMode)
            throw ByteBlobError(ReadInWriteModeMessage);
        if (BytesLeft() < sizeof(T))
            throw ByteBlobError(TooFewBytesMessage);
        T value;
        std::memcpy(&value, data + readCursor, sizeof(T));
        readCursor += sizeof(T);
        return value;
    }

    /// Bytes between the read cursor and the end (0 in writing mode or past the end).
    uint32_t BytesLeft() const { return readCursor < size ? size - readCursor : 0; }

    /// In reading mode: true, consuming the id, when the next u32 equals `expected`; false with
    /// nothing consumed otherwise. In writing mode logs the misuse and answers false.
    bool CheckType(uint32_t expected);

    /// Replaces the contents with the file's bytes. True, with reading mode on and the cursor at
    /// the payload, when the file holds a header with either magic; otherwise false, logged.
    bool ReadFromFile(const std::string& path);
    /// `ReadFromFile` for bytes already in memory (a received or generated file).
    bool ReadFromMemory(const uint8_t* bytes, uint32_t count);
    /// Whether `count` bytes begin with a blob's header of either magic: what `ReadFromFile` and
    /// `ReadFromMemory` accept.
    static bool HasHeader(const uint8_t* bytes, uint32_t count);
    /// Writes all `size` bytes, header included, replacing the file at `path` as one step: the
    /// bytes go to a temporary file beside it, which is flushed to disk and then renamed over the
    /// target. A file already there keeps its permission bits; one that its owner may not write
    /// (whoever runs the game) or that this process may not write is not replaced. On any failure
    /// (no folder, no permission, a full disk) the temporary file is removed, a file already at
    /// `path` is left whole, and the failure is logged.
    /// @return true when the file at `path` now holds the blob.
    bool WriteToFile(const std::string& path) const;

    /// Deflates a plain payload in place (the count keeps the plain length). A payload that does
    /// not shrink stays plain.
    void Compress();
    /// Inflates a deflated payload in place. A payload that does not inflate to exactly the
    /// header's count leaves the blob as it was and is logged, so corrupt data is never taken as
    /// good. Mode and cursor are unchanged.
    /// @return true when the payload is plain afterwards.
    bool Decompress();

    uint32_t GetMagic() const;
    uint32_t GetPayloadCount() const;

    /// The capacity that a blob of `capacity` bytes grows to when it needs room for `needed`:
    /// doubling (16 from nothing) until that holds `needed`, and at most `MaxCapacity`.
    static constexpr uint32_t GrownCapacity(uint32_t capacity, uint32_t needed)
    {
        uint64_t grown = capacity == 0 ? 16u : capacity;
        while (grown < needed)
            grown *= 2u;
        return grown > MaxCapacity ? MaxCapacity : static_cast<uint32_t>(grown);
    }

    static constexpr const char* TooLargeMessage = "A byte blob cannot hold more than 4294967295 bytes.";

private:
    bool AcceptLoadedBytes();
    void AddToCount(uint32_t bytes);
    void SetU32At(uint32_t offset, uint32_t value);
    void ReplacePayload(const uint8_t* payload, uint32_t length, uint32_t magic);
};
