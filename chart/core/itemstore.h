// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The chart's item store: an ordered, growable array of ChartItem records.
//
// Contract (what callers and tests can observe):
// - Capacity rises in steps of AllocSize (1..1 000 000; other values are ignored): an append to a
//   full store adds AllocSize zero-filled slots. Items keep insertion order.
// - DeleteItem(i) removes item i; later items move down by one. The slot it vacates at the end
//   keeps the bytes of the former last item, and every slot beyond keeps its bytes, so a later
//   append into that slot shows them in the fields it does not write. Deleting the only item, and
//   Clear, release the array (capacity 0).
// - SlotImage(j) gives the 104-byte image of any slot below Capacity, including unused ones.
//
// Internally deleting at the front only advances a start offset, so DeleteFirstItem costs the
// same at any size; the gap is reclaimed once it is as large as the items themselves. The images
// of the slots beyond the last item are preserved exactly through this (see itemstore.cpp).

#include "chart/core/chartitem.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

// A block of records from malloc, handed to the store without copying when it is empty.
class RecordBuffer {
public:
    RecordBuffer() = default;
    // Allocates room for count records (contents undefined); throws std::bad_alloc.
    explicit RecordBuffer(std::size_t count);
    ChartItem* data() { return m_data.get(); }
    const ChartItem* data() const { return m_data.get(); }
    std::size_t size() const { return m_size; }
    // Shortens the buffer to its first count records (no reallocation).
    void truncate(std::size_t count);

private:
    friend class ItemStore;
    struct FreeDeleter {
        void operator()(ChartItem* p) const { std::free(p); }
    };
    std::unique_ptr<ChartItem, FreeDeleter> m_data;
    std::size_t m_size = 0;
};

class ItemStore {
public:
    static constexpr int kDefaultAllocSize = 1000;
    static constexpr int kMaxAllocSize = 1000000;

    ItemStore();
    ~ItemStore();
    ItemStore(const ItemStore&) = delete;
    ItemStore& operator=(const ItemStore&) = delete;

    int Count() const { return m_count; }
    int Capacity() const { return m_capacity; }
    int AllocSize() const { return m_allocSize; }
    // Values outside 1..1 000 000 are ignored.
    void SetAllocSize(int value);

    // Item i, 0 <= i < Count().
    const ChartItem& Item(int i) const { return m_data[m_front + static_cast<std::size_t>(i)]; }
    // All items, contiguous, in order.
    std::span<const ChartItem> Items() const {
        return {m_data + m_front, static_cast<std::size_t>(m_count)};
    }
    // Changes whenever items already stored change or move (DeleteItem, Clear, AppendRecords),
    // but not on Append: an unchanged generation means items 0..n-1 are the same as when it was
    // read, for the n items there were then. Lets a renderer extend an image by new items alone.
    std::uint64_t Generation() const { return m_generation; }
    // Image of slot j, 0 <= j < Capacity(): an item, or the bytes an append into it would keep.
    ChartItem SlotImage(int j) const;

    // Makes slot Count() available (growing by AllocSize when full), counts it as an item and
    // returns it for the caller to fill; its bytes are what the slot held. On allocation failure
    // throws std::bad_alloc with the store unchanged.
    ChartItem& Append();

    // Out-of-range indices are ignored.
    void DeleteItem(int index);
    void DeleteFirstItem() { DeleteItem(0); }
    // Removes every item and releases the array.
    void Clear();

    // Appends the records of buffer after the present items and leaves Capacity() == Count().
    // The buffer is taken over without copying when the store is empty. Throws std::bad_alloc
    // (store unchanged) when memory or the item count would run out.
    void AppendRecords(RecordBuffer&& buffer);

private:
    class Shadow;

    void release();
    void compact();
    void resizeExact(std::size_t slots);

    // Items are m_data[m_front .. m_front + m_count). A slot j >= m_count of the array as the
    // caller sees it lies at m_data[j] when j >= m_count + m_front; the m_front slots in between
    // are covered by items and kept in m_shadow, in ascending order.
    ChartItem* m_data = nullptr;
    std::size_t m_front = 0;
    int m_count = 0;
    int m_capacity = 0;
    int m_allocSize = kDefaultAllocSize;
    std::unique_ptr<Shadow> m_shadow;
    std::uint64_t m_generation = 0;
};
