#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "FreshProcess.h"
#include "HeapBytes.h"
#include "ScratchFolder.h"
#include "StartupHeap.h"

namespace
{
[[maybe_unused]] bool Inside(const void* block)
{
    const char* at = static_cast<const char*>(block);
    return at >= StartupHeap::ReservedBegin() && at < StartupHeap::ReservedEnd();
}
} // namespace

// The driver's large buffers are plain heap blocks of ten to twenty megabytes allocated on the
// main thread: while start-up lasts they must come from the prepared stretch, and afterwards the
// allocator must be back to its usual ways.
TEST(StartupHeap, LargeBlocksComeFromTheReservationUntilReleased)
{
    // The game reserves first thing in main, from a heap that nothing has used yet. Once other
    // tests have run, the heap holds freed stretches that serve the reservation's first block
    // without growing, so the checks run in a process of their own, as the game's start does.
    if (!FreshProcess::InFreshProcess())
    {
        const ScratchFolder folder;
        std::string output;
        EXPECT_TRUE(FreshProcess::Run(output)) << output;
        return;
    }

    StartupHeap::Reserve(64u << 20);
#if defined(LEDROW_HEAP_FROM_SANITIZER)
    // A sanitizer's allocator is not the C library's: nothing is tuned, and nothing breaks.
    EXPECT_FALSE(StartupHeap::IsReserved());
    void* block = std::malloc(16u << 20);
    ASSERT_NE(block, nullptr);
    std::memset(block, 1, 16u << 20);
    std::free(block);
    StartupHeap::Release();
#else
    ASSERT_TRUE(StartupHeap::IsReserved());
    EXPECT_GE(static_cast<size_t>(StartupHeap::ReservedEnd() - StartupHeap::ReservedBegin()), size_t(64) << 20);
    // A second reservation while the first lasts changes nothing.
    const char* begin = StartupHeap::ReservedBegin();
    StartupHeap::Reserve(64u << 20);
    EXPECT_EQ(StartupHeap::ReservedBegin(), begin);

    void* channels[3] = {std::malloc(20u << 20), std::malloc(10u << 20), std::malloc(5u << 20)};
    for (void* channel : channels)
    {
        ASSERT_NE(channel, nullptr);
        EXPECT_TRUE(Inside(channel));
        std::memset(channel, 0, 5u << 20);
    }
    for (void* channel : channels)
        std::free(channel);

    StartupHeap::Release();
    EXPECT_FALSE(StartupHeap::IsReserved());
    EXPECT_EQ(StartupHeap::ReservedBegin(), nullptr);
    // Released, the unused stretch went back, and large blocks are mapped on their own again.
    const char* oldBegin = begin;
    void* later = std::malloc(20u << 20);
    ASSERT_NE(later, nullptr);
    const char* at = static_cast<const char*>(later);
    EXPECT_FALSE(at >= oldBegin && at < oldBegin + (64u << 20));
    std::free(later);
#endif
}
