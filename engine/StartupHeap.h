#pragma once

#include <cstddef>

/// Start-up allocates a few large buffers on the main thread through the C heap (the OpenGL
/// driver's textures and frame buffers, the window's back buffer, the font atlas): tens of
/// megabytes, each page of which the kernel faults in and zeroes one 4 KiB page at a time, which
/// on a virtual machine costs more than the work done in them. `Reserve` lets those buffers come
/// from one stretch of the main heap that the kernel backs with 2 MiB pages where it can;
/// `Release` returns the allocator to its defaults once start-up is over. Only the C library's
/// allocator on Linux is tuned; elsewhere (or under a sanitizer's allocator) both do nothing.
class StartupHeap
{
public:
    /// What the game's start-up reserves: the window's back buffer, the font atlas with its
    /// mipmaps and the four channels at 1920 x 1280 with room to spare. Only the pages used are
    /// ever backed by memory.
    static constexpr size_t GameStartBytes = size_t(128) << 20;

    /// Reserves `bytes` at the top of the main heap, asks for large pages for it, and keeps
    /// blocks of up to 32 MiB in the heap rather than in mappings of their own, without trimming.
    /// Call first thing in `main`, on the main thread, at most once before `Release`.
    static void Reserve(size_t bytes);
    /// Restores the allocator's default thresholds and gives back what start-up left unused.
    /// Does nothing unless `Reserve` prepared the heap. Call on the main thread.
    static void Release();

    /// True from a `Reserve` that prepared the heap until `Release`.
    static bool IsReserved();
    /// The reserved stretch, [begin, end), while reserved; both null otherwise.
    static const char* ReservedBegin();
    static const char* ReservedEnd();
};
