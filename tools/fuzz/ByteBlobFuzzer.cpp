// Feeds arbitrary bytes to the byte-blob loader as a file would arrive: load, inflate, then read
// values and strings in an order the input itself chooses, as a record reader would.
#include <cstddef>
#include <cstdint>

#include "ByteBlob.h"
#include "LogChannel.h"
#include "SerialisableString.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t count)
{
    if (count > 1u << 20)
        return 0;
    ByteBlob blob;
    if (blob.ReadFromMemory(bytes, static_cast<uint32_t>(count)))
    {
        blob.Decompress();
        try
        {
            for (int step = 0; step < 64 && blob.BytesLeft() > 0; ++step)
            {
                switch (blob.ReadU8() % 5)
                {
                case 0: blob.ReadU32(); break;
                case 1: blob.ReadFloat(); break;
                case 2: blob.ReadVec2(); break;
                case 3: blob.CheckType(blob.ReadU8()); break;
                default:
                {
                    SerialisableString text;
                    text.Deserialise(blob);
                    break;
                }
                }
            }
        }
        catch (const ByteBlobError&)
        {
            // A short read is how a damaged file ends; nothing else may escape.
        }
    }

    // The same bytes as a payload to be written and squeezed.
    ByteBlob written;
    written.WriteHeader();
    for (size_t i = 0; i < count; ++i)
        written.WriteU8(bytes[i]);
    written.Compress();
    written.Decompress();

    ErrorLog.ClearHistory();
    WarningLog.ClearHistory();
    return 0;
}
