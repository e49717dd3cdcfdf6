#include "StartupHeap.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#if defined(__linux__) && defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#define LEDROW_TUNABLE_HEAP 1
#endif

namespace
{
const char* reservedBegin = nullptr;
const char* reservedEnd = nullptr;

#if LEDROW_TUNABLE_HEAP
// The C library's defaults, as documented for mallopt.
constexpr int DefaultMmapThreshold = 128 * 1024;
constexpr int DefaultTrimThreshold = 128 * 1024;
constexpr int DefaultTopPad = 128 * 1024;
// The largest block the library agrees to keep in the heap; larger ones are always mapped.
constexpr int LargestHeapBlock = 32 * 1024 * 1024;
constexpr uintptr_t LargePage = 2 * 1024 * 1024;
#endif
} // namespace

void StartupHeap::Reserve(size_t bytes)
{
#if LEDROW_TUNABLE_HEAP
    if (reservedBegin != nullptr || bytes == 0 || bytes > (size_t(1) << 30))
        return;
    if (mallopt(M_MMAP_THRESHOLD, LargestHeapBlock) == 0)
        return;
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(bytes + 2 * LargePage));
    // The heap grows by the whole reservation at its next growth, which a block larger than
    // anything it has free yet makes happen.
    const uintptr_t oldTop = reinterpret_cast<uintptr_t>(sbrk(0));
    mallopt(M_TOP_PAD, static_cast<int>(bytes));
    void* first = std::malloc(LargePage);
    mallopt(M_TOP_PAD, DefaultTopPad);
    const uintptr_t block = reinterpret_cast<uintptr_t>(first);
    const uintptr_t top = reinterpret_cast<uintptr_t>(sbrk(0));
    // Only a heap that grew by the reservation for this block tells where the stretch is (the
    // block then starts its top, which may reach back below the old break): a sanitizer's
    // allocator serves from mappings of its own, and a heap with enough free did not grow.
    const bool grew = oldTop != static_cast<uintptr_t>(-1) && top != static_cast<uintptr_t>(-1) && top > oldTop && top - oldTop >= bytes &&
                      block != 0 && block < top && top - block >= bytes && top - block <= bytes + 4 * LargePage;
    if (!grew)
    {
        std::free(first);
        mallopt(M_MMAP_THRESHOLD, DefaultMmapThreshold);
        mallopt(M_TRIM_THRESHOLD, DefaultTrimThreshold);
        return;
    }
    const uintptr_t stretch = std::min(block, oldTop);
    const uintptr_t begin = (stretch + LargePage - 1) & ~(LargePage - 1);
    const uintptr_t end = top & ~(LargePage - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE); // a kernel without large pages ignores it
    reservedBegin = reinterpret_cast<const char*>(stretch);
    reservedEnd = reinterpret_cast<const char*>(top);
    std::free(first); // its memory is the start of the stretch, for the blocks to come
#else
    (void)bytes;
#endif
}

void StartupHeap::Release()
{
#if LEDROW_TUNABLE_HEAP
    if (reservedBegin == nullptr)
        return;
    mallopt(M_MMAP_THRESHOLD, DefaultMmapThreshold);
    mallopt(M_TRIM_THRESHOLD, DefaultTrimThreshold);
    malloc_trim(0);
    reservedBegin = nullptr;
    reservedEnd = nullptr;
#endif
}

bool StartupHeap::IsReserved()
{
    return reservedBegin != nullptr;
}

const char* StartupHeap::ReservedBegin()
{
    return reservedBegin;
}

const char* StartupHeap::ReservedEnd()
{
    return reservedEnd;
}
