#include "SerialisableString.h"

#include "ByteBlob.h"

void SerialisableString::Serialise(ByteBlob& blob)
{
    blob.WriteU32(GetTypeId());
    blob.WriteU32(static_cast<uint32_t>(text.size()));
    for (char c : text)
        blob.WriteU8(static_cast<uint8_t>(c));
}

bool SerialisableString::Deserialise(ByteBlob& blob)
{
    if (!blob.CheckType(GetTypeId()))
        return false;
    const uint32_t length = blob.ReadU32();
    // A corrupt length must not reserve gigabytes: refuse it the way a byte-by-byte read of the
    // same record would end, at the first byte that is not there.
    if (length > blob.BytesLeft())
        throw ByteBlobError(ByteBlob::TooFewBytesMessage);
    text.clear();
    text.reserve(length);
    for (uint32_t i = 0; i < length; ++i)
        text.push_back(static_cast<char>(blob.ReadU8()));
    return true;
}
