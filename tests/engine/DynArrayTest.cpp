#include <string>

#include <gtest/gtest.h>

#include "DynArray.h"

namespace
{
DynArray<std::string> Letters(std::initializer_list<const char*> letters)
{
    DynArray<std::string> array;
    for (const char* letter : letters)
        array.PushBack(std::string(letter));
    return array;
}

std::string Joined(const DynArray<std::string>& array)
{
    std::string text;
    for (const std::string& item : array)
        text += item;
    return text;
}
} // namespace

TEST(DynArray, StartsAt16AndDoublesWhenFull)
{
    DynArray<int> array;
    EXPECT_EQ(array.capacity, 16u);
    EXPECT_EQ(array.count, 0u);
    for (int i = 0; i < 16; ++i)
        array.PushBack(i);
    EXPECT_EQ(array.capacity, 16u);
    array.PushBack(16);
    EXPECT_EQ(array.capacity, 32u);
    for (int i = 17; i < 33; ++i)
        array.PushBack(i);
    EXPECT_EQ(array.capacity, 64u);
    ASSERT_EQ(array.count, 33u);
    for (int i = 0; i < 33; ++i)
        EXPECT_EQ(array[i], i);
}

// Counts the live objects of its type, so that a test sees which slots hold one.
struct Counted
{
    static inline int live = 0;
    static inline int made = 0;
    int value = 0;
    Counted() { ++live; ++made; }
    explicit Counted(int v) : value(v) { ++live; ++made; }
    Counted(const Counted& other) : value(other.value) { ++live; ++made; }
    Counted(Counted&& other) noexcept : value(other.value) { ++live; ++made; }
    Counted& operator=(const Counted&) = default;
    Counted& operator=(Counted&&) noexcept = default;
    ~Counted() { --live; }
};

TEST(DynArray, SpareSlotsHoldNoObjects)
{
    Counted::live = 0;
    Counted::made = 0;
    {
        DynArray<Counted> array;
        EXPECT_EQ(Counted::made, 0);
        for (int i = 0; i < 17; ++i)
            array.PushBack(Counted(i));
        EXPECT_EQ(array.capacity, 32u);
        EXPECT_EQ(Counted::live, 17);
        array.InsertAt(Counted(99), 3);
        array.RemoveAt(0);
        array.RemoveAt(0);
        EXPECT_EQ(Counted::live, 16);
        EXPECT_EQ(array[1].value, 99);
        EXPECT_EQ(array[2].value, 3);

        // Growing a big array constructs nothing for its spare slots.
        const int before = Counted::made;
        array.Reserve(1u << 20);
        EXPECT_EQ(Counted::made - before, 16);
        EXPECT_EQ(Counted::live, 16);

        DynArray<Counted> copy(array);
        EXPECT_EQ(Counted::live, 32);
        copy.Clear();
        EXPECT_EQ(Counted::live, 16);
    }
    EXPECT_EQ(Counted::live, 0);
}

TEST(DynArray, ResizeValueInitialisesAndDestroys)
{
    DynArray<float> numbers;
    numbers.PushBack(5.0f);
    numbers.Resize(90);
    EXPECT_EQ(numbers.capacity, 90u);
    ASSERT_EQ(numbers.count, 90u);
    EXPECT_EQ(numbers[0], 5.0f);
    for (uint32_t i = 1; i < numbers.count; ++i)
        EXPECT_EQ(numbers[i], 0.0f);

    Counted::live = 0;
    {
        DynArray<Counted> array;
        array.Resize(40);
        EXPECT_EQ(Counted::live, 40);
        array.Resize(3);
        EXPECT_EQ(Counted::live, 3);
        EXPECT_EQ(array.capacity, 40u);
    }
    EXPECT_EQ(Counted::live, 0);
}

TEST(DynArray, GrowthStopsAtTheLargestCountInsteadOfWrapping)
{
    EXPECT_EQ(DynArray<int>::GrownCapacity(0), 16u);
    EXPECT_EQ(DynArray<int>::GrownCapacity(16), 32u);
    EXPECT_EQ(DynArray<int>::GrownCapacity(1u << 30), 1u << 31);
    EXPECT_EQ(DynArray<int>::GrownCapacity(1u << 31), UINT32_MAX);
    EXPECT_EQ(DynArray<int>::GrownCapacity((1u << 31) + 1), UINT32_MAX);
}

TEST(DynArray, ReserveKeepsEveryElementInUse)
{
    DynArray<int> array;
    for (int i = 0; i < 9; ++i)
        array.PushBack(i);
    array.Reserve(0);
    array.Reserve(16);
    EXPECT_EQ(array.capacity, 16u);
    array.Reserve(5);
    EXPECT_EQ(array.capacity, 9u);
    ASSERT_EQ(array.count, 9u);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(array[i], i);
    array.Reserve(12);
    EXPECT_EQ(array.capacity, 12u);
}

TEST(DynArray, PushingOwnElementIntoFullArrayCopiesItFirst)
{
    DynArray<std::string> array;
    for (int i = 0; i < 16; ++i)
        array.PushBack("element " + std::to_string(i));
    array.PushBack(array[0]);
    ASSERT_EQ(array.count, 17u);
    EXPECT_EQ(array[16], "element 0");
    EXPECT_EQ(array[0], "element 0");

    // The rvalue form must not lose the element either.
    for (int i = 17; i < 32; ++i)
        array.PushBack("element " + std::to_string(i));
    array.PushBack(std::move(array[1]));
    EXPECT_EQ(array[32], "element 1");
}

TEST(DynArray, InsertAndRemoveKeepOrder)
{
    DynArray<std::string> array = Letters({"a", "b", "c"});
    array.InsertAt("z", 3);
    EXPECT_EQ(Joined(array), "abcz");
    array.InsertAt("y", 0);
    EXPECT_EQ(Joined(array), "yabcz");
    array.RemoveAt(4);
    EXPECT_EQ(Joined(array), "yabc");
    array.RemoveAt(2);
    EXPECT_EQ(Joined(array), "yac");
    EXPECT_EQ(array.capacity, 16u);

    // Indices outside the array are refused rather than written past the block.
    array.InsertAt("x", 4);
    array.InsertAt("x", -1);
    array.RemoveAt(3);
    EXPECT_EQ(Joined(array), "yac");
}

TEST(DynArray, InsertIntoFullArrayGrows)
{
    DynArray<int> array;
    for (int i = 0; i < 16; ++i)
        array.PushBack(i);
    array.InsertAt(array[15], 0);
    EXPECT_EQ(array.capacity, 32u);
    ASSERT_EQ(array.count, 17u);
    EXPECT_EQ(array[0], 15);
    EXPECT_EQ(array[1], 0);
    EXPECT_EQ(array[16], 15);
}

TEST(DynArray, CopiesKeepCapacityAndCount)
{
    DynArray<std::string> source = Letters({"a", "b", "c"});
    source.Reserve(64);
    DynArray<std::string> copy(source);
    EXPECT_EQ(copy.capacity, 64u);
    EXPECT_EQ(copy.count, 3u);
    EXPECT_EQ(Joined(copy), "abc");

    DynArray<std::string> assigned = Letters({"x"});
    assigned = source;
    EXPECT_EQ(assigned.capacity, 64u);
    EXPECT_EQ(Joined(assigned), "abc");
    EXPECT_NE(assigned.items, source.items);

    DynArray<std::string>& alias = assigned;
    assigned = alias;
    EXPECT_EQ(Joined(assigned), "abc");
}

TEST(DynArray, MoveLeavesSourceWithoutBlock)
{
    DynArray<std::string> source = Letters({"a", "b"});
    DynArray<std::string> target(std::move(source));
    EXPECT_EQ(source.capacity, 0u);
    EXPECT_EQ(source.count, 0u);
    EXPECT_EQ(source.items, nullptr);
    EXPECT_EQ(Joined(target), "ab");

    DynArray<std::string> other = Letters({"q"});
    other = std::move(target);
    EXPECT_EQ(Joined(other), "ab");
    EXPECT_EQ(target.items, nullptr);

    // A moved-from array is only assigned to or destroyed by the game, but pushing must not crash.
    source.PushBack("c");
    EXPECT_EQ(Joined(source), "c");
}

TEST(DynArray, ClearKeepsTheBlock)
{
    DynArray<int> array;
    for (int i = 0; i < 20; ++i)
        array.PushBack(i);
    int* block = array.items;
    array.Clear();
    EXPECT_EQ(array.count, 0u);
    EXPECT_EQ(array.capacity, 32u);
    array.PushBack(7);
    EXPECT_EQ(array.items, block);
    EXPECT_EQ(array[0], 7);
}
