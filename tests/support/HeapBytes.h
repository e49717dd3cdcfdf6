#pragma once

#include <cstddef>

#include <malloc.h>

#if defined(__SANITIZE_ADDRESS__)
#define LEDROW_HEAP_FROM_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LEDROW_HEAP_FROM_SANITIZER 1
#endif
#endif
#if defined(LEDROW_HEAP_FROM_SANITIZER)
// The sanitizer runtime's own count (declared in its allocator_interface.h, which gcc does not
// ship).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

/// Bytes the process holds on the heap right now: everything handed out by malloc and
/// operator new, our code's and the physics library's alike. Tests compare it before and after a
/// load to catch what each record costs, as bytes rather than as seconds.
inline size_t HeapBytesInUse()
{
#if defined(LEDROW_HEAP_FROM_SANITIZER)
    // The sanitizer's allocator serves everything; glibc's own statistics would read zero.
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}
