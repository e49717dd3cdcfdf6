#pragma once

#include <cstdint>
#include <utility>

#include "ByteBlob.h"

/// Reads the fields of a record whose type tag began at `recordStart` and has been consumed.
/// When a read raises `ByteBlobError` (the record is cut short) the cursor is put back to
/// `recordStart` before the error travels on, so the blob is left as a failed tag check leaves
/// it. `readFields` should read into locals and store them only once every read has succeeded,
/// which keeps the object unchanged too.
template <typename ReadFields>
void ReadRecordOrRewind(ByteBlob& blob, uint32_t recordStart, ReadFields&& readFields)
{
    try
    {
        std::forward<ReadFields>(readFields)();
    }
    catch (const ByteBlobError&)
    {
        blob.readCursor = recordStart;
        throw;
    }
}
