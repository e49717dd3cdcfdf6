#pragma once

#include <cstdint>

class ByteBlob;

/// Everything that stores itself in a byte blob: one record that begins with its u32 type id.
/// Objects are never deleted through this interface.
class Serialisable
{
public:
    /// The record's type id (0 string, 2 shape point, 3 world shape, 4 level, 5 trinket,
    /// 7 waypoint, 8 signpost).
    virtual uint32_t GetTypeId() = 0;
    /// Appends the record, type id first, to `blob` in writing mode.
    virtual void Serialise(ByteBlob& blob) = 0;
    /// Reads the record from `blob` in reading mode. False, with nothing consumed, when the next
    /// value is not this record's type id. A record cut short raises `ByteBlobError`.
    virtual bool Deserialise(ByteBlob& blob) = 0;

protected:
    ~Serialisable() = default;
};
