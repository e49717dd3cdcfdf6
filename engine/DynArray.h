#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <stdexcept>
#include <utility>

/// The game's growable array. The block holds `capacity` slots, of which the first `count` hold
/// live elements; the spare slots beyond are raw memory, never constructed, so a spare slot costs
/// its bytes and nothing more (no element's constructor runs for it, no file is read, no nested
/// array allocated). Owners read `items` and `count` directly and must never read past `count`.
/// Pointers into `items` stay valid only while the capacity does not change. The array owns its
/// block and every live element in it.
///
/// Growth doubles the capacity, and stops at the largest u32: an array that would need more
/// elements raises `std::length_error` instead of wrapping its counts.
template <typename T>
class DynArray
{
public:
    uint32_t capacity = 0; ///< slots in the block
    uint32_t count = 0;    ///< live elements, at most `capacity`
    T* items = nullptr;    ///< the block; slots from `count` on are unconstructed

    static constexpr uint32_t InitialCapacity = 16;
    static constexpr uint32_t MaxCapacity = UINT32_MAX;

    /// An empty array with a block of 16 unconstructed slots.
    DynArray() : capacity(InitialCapacity), count(0), items(Allocate(InitialCapacity)) {}

    ~DynArray() { Release(); }

    /// Same capacity as `other`, its live elements copied in order.
    DynArray(const DynArray& other) : capacity(other.capacity), count(0), items(Allocate(other.capacity))
    {
        for (uint32_t i = 0; i < other.count; ++i)
        {
            new (items + i) T(other.items[i]);
            ++count;
        }
    }

    /// Ends with `other`'s elements and at least its capacity.
    DynArray& operator=(const DynArray& other)
    {
        if (this == &other)
            return *this;
        Clear();
        Reserve(other.capacity);
        for (uint32_t i = 0; i < other.count; ++i)
            PushBack(other.items[i]);
        return *this;
    }

    /// Takes `other`'s block; `other` is left with capacity 0, count 0 and no block.
    DynArray(DynArray&& other) noexcept : capacity(other.capacity), count(other.count), items(other.items)
    {
        other.capacity = 0;
        other.count = 0;
        other.items = nullptr;
    }

    DynArray& operator=(DynArray&& other) noexcept
    {
        if (this == &other)
            return *this;
        Release();
        capacity = other.capacity;
        count = other.count;
        items = other.items;
        other.capacity = 0;
        other.count = 0;
        other.items = nullptr;
        return *this;
    }

    /// Reallocates to max(n, count) slots, moving the live elements over in order. Requests of 0
    /// or of the current capacity do nothing; a request below the count never drops elements.
    void Reserve(uint32_t n)
    {
        if (n == 0 || n == capacity)
            return;
        const uint32_t newCapacity = n > count ? n : count;
        T* block = Allocate(newCapacity);
        for (uint32_t i = 0; i < count; ++i)
        {
            new (block + i) T(std::move(items[i]));
            items[i].~T();
        }
        Deallocate(items, capacity);
        items = block;
        capacity = newCapacity;
    }

    /// Makes the count `n`: new elements are value-initialised (zero for numbers), elements past
    /// `n` are destroyed. The capacity grows to `n` when it is smaller, never shrinks.
    void Resize(uint32_t n)
    {
        if (n > capacity)
            Reserve(n);
        while (count > n)
            items[--count].~T();
        while (count < n)
        {
            new (items + count) T();
            ++count;
        }
    }

    /// Appends a copy of `element`, doubling the capacity when full. Safe when `element` is one of
    /// this array's own elements.
    void PushBack(const T& element)
    {
        if (count >= capacity)
        {
            T copy = element; // the element may live in the block that is about to move
            Grow();
            new (items + count) T(std::move(copy));
        }
        else
        {
            new (items + count) T(element);
        }
        ++count;
    }

    /// Appends `element` by moving it, doubling the capacity when full.
    void PushBack(T&& element)
    {
        if (count >= capacity)
        {
            T moved = std::move(element);
            Grow();
            new (items + count) T(std::move(moved));
        }
        else
        {
            new (items + count) T(std::move(element));
        }
        ++count;
    }

    /// Inserts `element` before the element at `index` (0 to `count`; `count` appends), keeping
    /// the order. An index outside that range is ignored.
    void InsertAt(const T& element, int32_t index)
    {
        if (index < 0 || static_cast<uint32_t>(index) > count)
            return;
        T copy = element; // the element may live in the block that is about to shift or grow
        if (count >= capacity)
            Grow();
        const uint32_t at = static_cast<uint32_t>(index);
        if (at == count)
        {
            new (items + count) T(std::move(copy));
        }
        else
        {
            new (items + count) T(std::move(items[count - 1]));
            for (uint32_t i = count - 1; i > at; --i)
                items[i] = std::move(items[i - 1]);
            items[at] = std::move(copy);
        }
        ++count;
    }

    /// Removes the element at `index` (below `count`), keeping the order of the rest; no memory
    /// is given back. An index past the end is ignored.
    void RemoveAt(uint32_t index)
    {
        if (index >= count)
            return;
        for (uint32_t i = index; i + 1 < count; ++i)
            items[i] = std::move(items[i + 1]);
        items[--count].~T();
    }

    /// Destroys every element; the capacity and the block stay for reuse.
    void Clear()
    {
        while (count > 0)
            items[--count].~T();
    }

    /// The capacity that a full array of `current` slots grows to: double, 16 for an array
    /// emptied by a move, and at most `MaxCapacity` rather than wrapping to nothing.
    static constexpr uint32_t GrownCapacity(uint32_t current)
    {
        if (current == 0)
            return InitialCapacity;
        return current > MaxCapacity / 2 ? MaxCapacity : current * 2u;
    }

    T& operator[](uint32_t index) { return items[index]; }
    const T& operator[](uint32_t index) const { return items[index]; }

    T* begin() { return items; }
    T* end() { return items + count; }
    const T* begin() const { return items; }
    const T* end() const { return items + count; }

private:
    static T* Allocate(uint32_t slots)
    {
        if (slots == 0)
            return nullptr;
        return std::allocator<T>().allocate(slots);
    }

    static void Deallocate(T* block, uint32_t slots)
    {
        if (block != nullptr)
            std::allocator<T>().deallocate(block, slots);
    }

    void Release()
    {
        Clear();
        Deallocate(items, capacity);
        items = nullptr;
        capacity = 0;
    }

    void Grow()
    {
        if (capacity == MaxCapacity)
            throw std::length_error("A growable array cannot hold more than 4294967295 elements.");
        Reserve(GrownCapacity(capacity));
    }
};
