#pragma once

#include <string>

#include "Serialisable.h"

/// A text stored in a byte blob: u32 0, u32 length in bytes, then the bytes without terminator.
class SerialisableString : public Serialisable
{
public:
    std::string text;

    SerialisableString() = default;
    explicit SerialisableString(std::string value) : text(std::move(value)) {}

    uint32_t GetTypeId() override { return 0; }
    void Serialise(ByteBlob& blob) override;
    /// Replaces `text` with the stored one. A length that runs past the end of the blob raises
    /// `ByteBlobError` before anything is read or allocated.
    bool Deserialise(ByteBlob& blob) override;
};
