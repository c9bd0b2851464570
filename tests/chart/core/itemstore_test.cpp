// SPDX-License-Identifier: GPL-3.0-or-later
// The item store against a plain model that moves items exactly as the chart always did: same
// order, counts, capacity steps and the image of every slot, including the stale bytes that a
// deletion leaves behind the last item and that a later append shows in the fields it does
// not write.
#include "chart/core/itemstore.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

// The reference: every deletion moves all later items down, slots beyond keep their bytes.
struct ModelStore {
    std::vector<ChartItem> slots; // size == capacity
    int count = 0;
    int allocSize = 1000;

    ChartItem& append() {
        if (count >= static_cast<int>(slots.size())) {
            slots.resize(slots.size() + static_cast<std::size_t>(allocSize), ChartItem{});
        }
        return slots[static_cast<std::size_t>(count++)];
    }
    void deleteItem(int index) {
        if (index < 0 || index >= count) {
            return;
        }
        if (count == 1) {
            clear();
            return;
        }
        for (int j = index + 1; j < count; ++j) {
            slots[static_cast<std::size_t>(j - 1)] = slots[static_cast<std::size_t>(j)];
        }
        --count;
    }
    void clear() {
        slots.clear();
        count = 0;
    }
    void appendRecords(const std::vector<ChartItem>& records) {
        slots.resize(static_cast<std::size_t>(count));
        slots.insert(slots.end(), records.begin(), records.end());
        count = static_cast<int>(slots.size());
    }
};

// Writes the subset of fields an append of the given kind writes, from a running counter, so
// that stale bytes of the other fields stay visible.
void fill(ChartItem& item, int kind, std::uint32_t value) {
    item.Kind = static_cast<std::uint8_t>(kind);
    item.Layer = static_cast<std::int32_t>(value % 16 + 1);
    item.Color = static_cast<TColor>(value * 2654435761u);
    item.Reserved = 0;
    item.X = value;
    item.Y = -static_cast<double>(value);
    if (kind != ikMoveTo) {
        item.FillColor = static_cast<TColor>(value ^ 0x5A5A5A5Au);
    }
    if (kind == ikLine) {
        item.X2 = value * 0.5;
        item.Y2 = value * 0.25;
    }
}

ChartItem randomRecord(std::mt19937& rng) {
    ChartItem item;
    auto* bytes = reinterpret_cast<std::uint8_t*>(&item);
    for (std::size_t i = 0; i < sizeof item; ++i) {
        bytes[i] = static_cast<std::uint8_t>(rng());
    }
    return item;
}

// Compares count, capacity and every slot image; returns a description of the first mismatch.
std::string difference(const ItemStore& store, const ModelStore& model) {
    if (store.Count() != model.count) {
        return "count " + std::to_string(store.Count()) + " != " + std::to_string(model.count);
    }
    if (store.Capacity() != static_cast<int>(model.slots.size())) {
        return "capacity " + std::to_string(store.Capacity()) +
               " != " + std::to_string(model.slots.size());
    }
    if (store.Items().size() != static_cast<std::size_t>(model.count)) {
        return "span size";
    }
    for (int j = 0; j < store.Capacity(); ++j) {
        const ChartItem image = store.SlotImage(j);
        if (std::memcmp(&image, &model.slots[static_cast<std::size_t>(j)], sizeof image) != 0) {
            return "slot " + std::to_string(j) + " differs";
        }
        if (j < store.Count() &&
            std::memcmp(&store.Item(j), &store.Items()[static_cast<std::size_t>(j)],
                        sizeof image) != 0) {
            return "item access " + std::to_string(j);
        }
    }
    return {};
}

// Drives both stores with the same operations.
struct Pair {
    ItemStore store;
    ModelStore model;
    std::uint32_t counter = 1;

    void append(int kind) {
        const std::uint32_t value = counter++;
        fill(store.Append(), kind, value);
        fill(model.append(), kind, value);
    }
    void deleteItem(int index) {
        store.DeleteItem(index);
        model.deleteItem(index);
    }
    void deleteFirst() {
        store.DeleteFirstItem();
        model.deleteItem(0);
    }
    void setAllocSize(int value) {
        store.SetAllocSize(value);
        if (value >= 1 && value <= 1000000) {
            model.allocSize = value;
        }
    }
};

TEST(ItemStore, CapacityRisesInStepsOfAllocSizeAndFreshSlotsAreZero) {
    Pair p;
    p.setAllocSize(3);
    for (int i = 0; i < 7; ++i) {
        p.append(ikMoveTo);
        EXPECT_EQ(p.store.Capacity(), (i / 3 + 1) * 3);
    }
    EXPECT_EQ(difference(p.store, p.model), "");
    const ChartItem fresh = p.store.SlotImage(8);
    const ChartItem zero{};
    EXPECT_EQ(std::memcmp(&fresh, &zero, sizeof zero), 0);
}

TEST(ItemStore, AllocSizeOutsideItsRangeIsIgnored) {
    ItemStore store;
    for (int bad : {0, -5, 1000001, -2147483647 - 1}) {
        store.SetAllocSize(bad);
        EXPECT_EQ(store.AllocSize(), 1000) << bad;
    }
    store.SetAllocSize(1000000);
    EXPECT_EQ(store.AllocSize(), 1000000);
    store.SetAllocSize(1);
    EXPECT_EQ(store.AllocSize(), 1);
}

TEST(ItemStore, DeletingTheOnlyItemAndClearReleaseTheArray) {
    Pair p;
    p.append(ikLine);
    p.deleteFirst();
    EXPECT_EQ(p.store.Capacity(), 0);
    EXPECT_EQ(p.store.Count(), 0);
    p.deleteFirst(); // empty: nothing
    p.deleteItem(-1);
    p.append(ikLine);
    p.append(ikLine);
    p.store.Clear();
    p.model.clear();
    EXPECT_EQ(difference(p.store, p.model), "");
}

TEST(ItemStore, VacatedLastSlotKeepsTheFormerLastItemAcrossFrontDeletes) {
    // Items A B C D: three front deletes leave D in every slot up to the old end, which an
    // append of a move-to (no X2, Y2, FillColor) then shows.
    Pair p;
    for (int i = 0; i < 4; ++i) {
        p.append(ikLine);
    }
    for (int i = 0; i < 3; ++i) {
        p.deleteFirst();
        ASSERT_EQ(difference(p.store, p.model), "") << i;
    }
    for (int i = 0; i < 3; ++i) {
        p.append(ikMoveTo);
        ASSERT_EQ(difference(p.store, p.model), "") << i;
    }
    EXPECT_EQ(p.store.Item(3).X2, 2.0); // the X2 of D (value 4)
}

TEST(ItemStore, MiddleAndFrontDeletesMixedWithAppendsMatchTheModel) {
    // A worked mix that crosses the front gap with middle deletions.
    Pair p;
    p.setAllocSize(8);
    for (int i = 0; i < 6; ++i) {
        p.append(i % 2 ? ikLine : ikDrawTo);
    }
    const int script[] = {0, 4, 0, 1, -1, 3, 0, 99};
    for (int index : script) {
        p.deleteItem(index);
        ASSERT_EQ(difference(p.store, p.model), "") << index;
        p.append(ikMoveTo);
        ASSERT_EQ(difference(p.store, p.model), "") << index;
    }
}

// A trend recording: the list stays as long as the window while the oldest item goes.
TEST(ItemStore, SlidingWindowMatchesTheModelThroughGapReclaims) {
    for (int window : {1, 2, 300, 997}) {
        Pair p;
        p.setAllocSize(1000);
        for (int i = 0; i < window; ++i) {
            p.append(ikLine);
        }
        for (int step = 0; step < 2600; ++step) {
            p.append(step % 3 ? ikLine : ikMoveTo);
            p.deleteFirst();
            if (step % 97 == 0 || step > 2550) {
                ASSERT_EQ(difference(p.store, p.model), "") << window << " " << step;
            }
        }
        ASSERT_EQ(difference(p.store, p.model), "") << window;
    }
}

TEST(ItemStore, LoadedRecordsAreAppendedWithCapacityEqualToCount) {
    std::mt19937 rng(7);
    Pair p;
    p.setAllocSize(5);
    for (int i = 0; i < 12; ++i) {
        p.append(ikDrawTo);
    }
    p.deleteFirst();
    p.deleteFirst();
    std::vector<ChartItem> records;
    for (int i = 0; i < 9; ++i) {
        records.push_back(randomRecord(rng));
    }
    RecordBuffer buffer(records.size());
    std::memcpy(static_cast<void*>(buffer.data()), records.data(), records.size() * 104);
    p.store.AppendRecords(std::move(buffer));
    p.model.appendRecords(records);
    EXPECT_EQ(difference(p.store, p.model), "");
    EXPECT_EQ(p.store.Capacity(), p.store.Count());
    p.append(ikMoveTo); // grows by AllocSize
    EXPECT_EQ(p.store.Capacity(), 19 + 5);
    EXPECT_EQ(difference(p.store, p.model), "");

    ItemStore empty;
    empty.AppendRecords(RecordBuffer(0));
    EXPECT_EQ(empty.Capacity(), 0);
}

// Thousands of random operations, weighted towards what the main window does.
TEST(ItemStore, RandomOperationSequencesMatchTheModel) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        std::mt19937 rng(seed);
        Pair p;
        p.setAllocSize(static_cast<int>(rng() % 400 + 1));
        for (int op = 0; op < 3000; ++op) {
            const unsigned r = rng() % 1000;
            if (r < 520) {
                const int kinds[] = {ikMoveTo, ikDrawTo, ikLine};
                p.append(kinds[rng() % 3]);
            } else if (r < 900) {
                p.deleteFirst();
            } else if (r < 985) {
                p.deleteItem(static_cast<int>(rng() % (p.store.Count() + 3)) - 1);
            } else if (r < 990) {
                p.store.Clear();
                p.model.clear();
            } else if (r < 995) {
                p.setAllocSize(static_cast<int>(rng() % 600) - 100);
            } else {
                std::vector<ChartItem> records(rng() % 20);
                for (auto& record : records) {
                    record = randomRecord(rng);
                }
                RecordBuffer buffer(records.size());
                if (!records.empty()) {
                    std::memcpy(static_cast<void*>(buffer.data()), records.data(),
                                records.size() * sizeof(ChartItem));
                }
                p.store.AppendRecords(std::move(buffer));
                p.model.appendRecords(records);
            }
            if (op % 50 == 0) {
                ASSERT_EQ(difference(p.store, p.model), "") << "seed " << seed << " op " << op;
            }
        }
        ASSERT_EQ(difference(p.store, p.model), "") << "seed " << seed;
    }
}

} // namespace
