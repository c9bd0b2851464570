// SPDX-License-Identifier: GPL-3.0-or-later
#include "chart/core/itemstore.h"

#include <climits>
#include <cstring>
#include <new>

// How the front gap keeps the observable slot images.
//
// Removing item 0 by moving every later item down costs time proportional to the store. Instead
// the items start at m_front, which DeleteItem(0) advances. The items then sit one physical slot
// further right than their index, but the slots beyond the last item must keep the images they
// would have had, because an append into them shows the bytes it does not write. Those slots keep
// their index as position: slot j >= Count() lies at m_data[j] - except the m_front slots
// Count() .. Count() + m_front - 1, whose physical places are covered by items. Their images live
// in the shadow ring, in ascending order. Each operation keeps this in O(1):
// - DeleteItem(0): the vacated slot Count()-1 holds the former last item: push it at the front.
// - Append: the new item takes slot Count(), the shadow's front; the item's physical place held
//   slot Count() + m_front, which becomes covered: its image moves to the shadow's back.
// - Compaction moves the items back to 0 and writes the shadow into the slots after them.

class ItemStore::Shadow {
public:
    std::size_t size() const { return m_size; }
    const ChartItem& at(std::size_t i) const { return m_buf[(m_head + i) & (m_cap - 1)]; }
    const ChartItem& front() const { return at(0); }
    const ChartItem& back() const { return at(m_size - 1); }

    // Makes room for n entries without a later allocation; throws std::bad_alloc.
    void reserve(std::size_t n) {
        if (n <= m_cap) {
            return;
        }
        std::size_t cap = m_cap ? m_cap : 16;
        while (cap < n) {
            cap *= 2;
        }
        std::unique_ptr<ChartItem[]> buf(new ChartItem[cap]);
        for (std::size_t i = 0; i < m_size; ++i) {
            buf[i] = at(i);
        }
        m_buf = std::move(buf);
        m_cap = cap;
        m_head = 0;
    }
    void pushFront(const ChartItem& item) {
        reserve(m_size + 1);
        m_head = (m_head + m_cap - 1) & (m_cap - 1);
        m_buf[m_head] = item;
        ++m_size;
    }
    void pushBack(const ChartItem& item) {
        reserve(m_size + 1);
        m_buf[(m_head + m_size) & (m_cap - 1)] = item;
        ++m_size;
    }
    void popFront() {
        m_head = (m_head + 1) & (m_cap - 1);
        --m_size;
    }
    void popBack() { --m_size; }
    void clear() {
        m_head = 0;
        m_size = 0;
    }

private:
    std::unique_ptr<ChartItem[]> m_buf;
    std::size_t m_cap = 0; // power of two
    std::size_t m_head = 0;
    std::size_t m_size = 0;
};

namespace {
// Below this gap compaction is not worth its call.
constexpr std::size_t kMinGapToCompact = 256;
} // namespace

RecordBuffer::RecordBuffer(std::size_t count) {
    if (count > SIZE_MAX / sizeof(ChartItem)) {
        throw std::bad_alloc();
    }
    auto* p = static_cast<ChartItem*>(std::malloc((count ? count : 1) * sizeof(ChartItem)));
    if (!p) {
        throw std::bad_alloc();
    }
    m_data.reset(p);
    m_size = count;
}

void RecordBuffer::truncate(std::size_t count) {
    if (count < m_size) {
        m_size = count;
    }
}

ItemStore::ItemStore() = default;

ItemStore::~ItemStore() {
    std::free(m_data);
}

void ItemStore::SetAllocSize(int value) {
    if (value >= 1 && value <= kMaxAllocSize) {
        m_allocSize = value;
    }
}

ChartItem ItemStore::SlotImage(int j) const {
    const auto slot = static_cast<std::size_t>(j);
    const auto count = static_cast<std::size_t>(m_count);
    if (slot < count) {
        return m_data[m_front + slot];
    }
    if (slot < count + m_front) {
        return m_shadow->at(slot - count);
    }
    return m_data[slot];
}

ChartItem& ItemStore::Append() {
    if (m_count == m_capacity) {
        // A full store has no gap: m_front + m_count <= m_capacity.
        if (m_capacity > INT_MAX - m_allocSize) {
            throw std::bad_alloc();
        }
        const int capacity = m_capacity + m_allocSize;
        const std::size_t bytes = static_cast<std::size_t>(capacity) * sizeof(ChartItem);
        void* p = m_data ? std::realloc(m_data, bytes) : std::calloc(capacity, sizeof(ChartItem));
        if (!p) {
            throw std::bad_alloc();
        }
        m_data = static_cast<ChartItem*>(p);
        if (m_capacity > 0) {
            std::memset(static_cast<void*>(m_data + m_capacity), 0,
                        static_cast<std::size_t>(m_allocSize) * sizeof(ChartItem));
        }
        m_capacity = capacity;
    } else if (m_front + static_cast<std::size_t>(m_count) ==
               static_cast<std::size_t>(m_capacity)) {
        compact();
    }
    const std::size_t p = m_front + static_cast<std::size_t>(m_count);
    if (m_front > 0) {
        const ChartItem covered = m_data[p];
        m_data[p] = m_shadow->front();
        m_shadow->popFront();
        m_shadow->pushBack(covered); // the size is unchanged: no allocation
    }
    ++m_count;
    return m_data[p];
}

void ItemStore::DeleteItem(int index) {
    if (index < 0 || index >= m_count) {
        return;
    }
    ++m_generation;
    if (m_count == 1) {
        release();
        return;
    }
    const std::size_t first = m_front;
    const auto n = static_cast<std::size_t>(m_count);
    const auto i = static_cast<std::size_t>(index);
    const ChartItem last = m_data[first + n - 1];

    bool moveFront = i < n / 2;
    if (moveFront) {
        try {
            if (!m_shadow) {
                m_shadow = std::make_unique<Shadow>();
            }
            m_shadow->reserve(m_shadow->size() + 1);
        } catch (const std::bad_alloc&) {
            moveFront = false; // moving the tail needs no memory
        }
    }

    if (moveFront) {
        // Items before the index move up one slot; the gap at the front grows by one.
        std::memmove(static_cast<void*>(m_data + first + 1), m_data + first, i * sizeof(ChartItem));
        ++m_front;
        --m_count;
        m_shadow->pushFront(last);
        if (m_front >= kMinGapToCompact && m_front >= static_cast<std::size_t>(m_count)) {
            compact();
        }
        return;
    }

    std::memmove(static_cast<void*>(m_data + first + i), m_data + first + i + 1,
                 (n - 1 - i) * sizeof(ChartItem));
    --m_count;
    if (m_front > 0) {
        // The shadow gains slot Count() (the former last item) at its front, and its last
        // slot is no longer covered: its image goes back to its own place.
        const ChartItem uncovered = m_shadow->back();
        m_shadow->popBack();
        m_shadow->pushFront(last);
        m_data[first + n - 1] = uncovered;
    }
}

void ItemStore::Clear() {
    release();
}

void ItemStore::AppendRecords(RecordBuffer&& buffer) {
    const std::size_t k = buffer.size();
    if (k > static_cast<std::size_t>(INT_MAX - m_count)) {
        throw std::bad_alloc();
    }
    ++m_generation;
    if (m_count == 0) {
        release();
        if (k == 0) {
            return;
        }
        m_data = buffer.m_data.release();
        buffer.m_size = 0;
        m_count = static_cast<int>(k);
        m_capacity = m_count;
        return;
    }
    compact();
    const std::size_t n = static_cast<std::size_t>(m_count);
    resizeExact(n + k);
    if (k > 0) {
        std::memcpy(static_cast<void*>(m_data + n), buffer.data(), k * sizeof(ChartItem));
    }
    m_count = static_cast<int>(n + k);
    m_capacity = m_count;
}

void ItemStore::release() {
    ++m_generation;
    std::free(m_data);
    m_data = nullptr;
    m_front = 0;
    m_count = 0;
    m_capacity = 0;
    m_shadow.reset();
}

void ItemStore::compact() {
    if (m_front == 0) {
        return;
    }
    const auto n = static_cast<std::size_t>(m_count);
    std::memmove(static_cast<void*>(m_data), m_data + m_front, n * sizeof(ChartItem));
    for (std::size_t i = 0; i < m_front; ++i) {
        m_data[n + i] = m_shadow->at(i);
    }
    m_shadow->clear();
    m_front = 0;
}

void ItemStore::resizeExact(std::size_t slots) {
    // Only called with no gap; the slots beyond the items are discarded or left undefined, and
    // the caller fills every slot up to the new capacity.
    if (slots == 0) {
        release();
        return;
    }
    void* p = std::realloc(m_data, slots * sizeof(ChartItem));
    if (!p) {
        throw std::bad_alloc();
    }
    m_data = static_cast<ChartItem*>(p);
}
