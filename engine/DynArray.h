#pragma once

#include <cstdint>
#include <utility>

/// The game's growable array. Every element of the block is constructed (value-initialised) when
/// the block is allocated; elements from `count` up to `capacity` are spare slots whose values mean
/// nothing. Owners read `items` and `count` directly. Pointers into `items` stay valid only while
/// the capacity does not change. The array owns its block and every element in it.
template <typename T>
class DynArray
{
public:
    uint32_t capacity = 0; ///< elements in the block
    uint32_t count = 0;    ///< elements in use, at most `capacity`
    T* items = nullptr;    ///< the block of `capacity` constructed elements

    /// An empty array with a block of 16 default elements.
    DynArray() : capacity(16), count(0), items(new T[16]()) {}

    ~DynArray() { delete[] items; }

    /// Same capacity as `other`, its first `count` elements copied in order.
    DynArray(const DynArray& other) : capacity(other.capacity), count(other.count)
    {
        items = capacity > 0 ? new T[capacity]() : nullptr;
        for (uint32_t i = 0; i < count; ++i)
            items[i] = other.items[i];
    }

    /// Ends with `other`'s capacity and count (an empty block of capacity 0 keeps this one's).
    DynArray& operator=(const DynArray& other)
    {
        if (this == &other)
            return *this;
        count = 0;
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
        delete[] items;
        capacity = other.capacity;
        count = other.count;
        items = other.items;
        other.capacity = 0;
        other.count = 0;
        other.items = nullptr;
        return *this;
    }

    /// Reallocates to max(n, count) elements, moving the used ones over in order. Requests of 0
    /// or of the current capacity do nothing; a request below the count never drops elements.
    void Reserve(uint32_t n)
    {
        if (n == 0 || n == capacity)
            return;
        const uint32_t newCapacity = n > count ? n : count;
        T* block = new T[newCapacity]();
        for (uint32_t i = 0; i < count; ++i)
            block[i] = std::move(items[i]);
        delete[] items;
        items = block;
        capacity = newCapacity;
    }

    /// Appends a copy of `element`, doubling the capacity when full. Safe when `element` is one of
    /// this array's own elements.
    void PushBack(const T& element)
    {
        if (count >= capacity)
        {
            if (items != nullptr && &element >= items && &element < items + count)
            {
                T copy = element;
                Grow();
                items[count++] = std::move(copy);
                return;
            }
            Grow();
        }
        items[count++] = element;
    }

    /// Appends `element` by moving it, doubling the capacity when full.
    void PushBack(T&& element)
    {
        if (count >= capacity)
        {
            if (items != nullptr && &element >= items && &element < items + count)
            {
                T moved = std::move(element);
                Grow();
                items[count++] = std::move(moved);
                return;
            }
            Grow();
        }
        items[count++] = std::move(element);
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
        for (int64_t i = static_cast<int64_t>(count) - 1; i >= index; --i)
            items[i + 1] = std::move(items[i]);
        items[index] = std::move(copy);
        ++count;
    }

    /// Removes the element at `index` (below `count`), keeping the order of the rest. The freed
    /// slot keeps a moved-from element; no memory is given back. An index past the end is ignored.
    void RemoveAt(uint32_t index)
    {
        if (index >= count)
            return;
        for (uint32_t i = index; i + 1 < count; ++i)
            items[i] = std::move(items[i + 1]);
        --count;
    }

    /// Forgets every element; the capacity and the block stay for reuse.
    void Clear() { count = 0; }

    T& operator[](uint32_t index) { return items[index]; }
    const T& operator[](uint32_t index) const { return items[index]; }

    T* begin() { return items; }
    T* end() { return items + count; }
    const T* begin() const { return items; }
    const T* end() const { return items + count; }

private:
    void Grow()
    {
        // An array emptied by a move has no block; give it the usual starting size.
        Reserve(capacity == 0 ? 16u : capacity * 2u);
    }
};
