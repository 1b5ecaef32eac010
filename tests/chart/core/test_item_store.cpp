#include "chart/core/item_store.h"

#include <memory>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

namespace {

bool AllZeroExcept(const TChartItem& item,
                   std::initializer_list<std::pair<std::size_t, std::size_t>> fields) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&item);
    for (std::size_t i = 0; i < sizeof(TChartItem); ++i) {
        bool inField = false;
        for (auto [off, len] : fields)
            inField = inField || (i >= off && i < off + len);
        if (!inField && bytes[i] != 0) return false;
    }
    return true;
}

TEST(ItemStore, AppendsCarryTheChartAttributesAndNothingElse) {
    TItemStore s;
    s.SetDataColor(0xFF0000);
    s.SetPenStyle(psDot);
    s.SetLineWidth(3);
    s.SetClassDefault(7);
    s.SetActiveLayer(2);
    s.MoveToPoint(1.5, -2.0);
    s.LineToPoint(3.0, 4.0);
    ASSERT_EQ(s.ItemCount(), 2);
    const TChartItem& a = s.Item(0);
    EXPECT_EQ(a.Kind, ikMoveTo);
    EXPECT_EQ(s.Item(1).Kind, ikLineTo);
    EXPECT_EQ(a.X, 1.5);
    EXPECT_EQ(a.Y, -2.0);
    EXPECT_EQ(a.Color, 0xFF0000u);
    EXPECT_EQ(a.PenStyle, psDot);
    EXPECT_EQ(a.LineWidth, 3);
    EXPECT_EQ(a.ItemClass, 7);
    EXPECT_EQ(a.Layer, 2);
    EXPECT_TRUE(AllZeroExcept(a, {{0, 16}, {32, 4}, {48, 1}, {56, 4}, {60, 2}, {64, 4}}));
}

TEST(ItemStore, GrowsInStepsOfAllocSizeAndKeepsItems) {
    TItemStore s;
    EXPECT_EQ(s.AllocSize(), 1000);
    EXPECT_EQ(s.Capacity(), 0);
    for (int i = 0; i < 1000; ++i)
        s.LineToPoint(i, -i);
    EXPECT_EQ(s.Capacity(), 1000);
    s.LineToPoint(1000, -1000);
    EXPECT_EQ(s.Capacity(), 2000);
    EXPECT_EQ(s.ItemCount(), 1001);
    for (int i = 0; i <= 1000; ++i) {
        ASSERT_EQ(s.Item(i).X, i);
        ASSERT_EQ(s.Item(i).Y, -i);
    }
    s.ClearItems();
    EXPECT_EQ(s.ItemCount(), 0);
    EXPECT_EQ(s.Capacity(), 0);
    s.SetAllocSize(3);
    s.MoveToPoint(0, 0);
    EXPECT_EQ(s.Capacity(), 3);
}

TEST(ItemStore, SettersIgnoreValuesOutsideTheirRange) {
    TItemStore s;
    // Set, then what the store keeps.
    for (const auto& [set, kept] : {std::pair{0, 1000}, {1000001, 1000}, {1000000, 1000000}}) {
        s.SetAllocSize(set);
        EXPECT_EQ(s.AllocSize(), kept) << set;
    }
    s.SetClassDefault(254);
    s.SetClassDefault(255);
    EXPECT_EQ(s.ClassDefault(), 254);
}

TEST(ItemStore, ColourChangeAffectsOnlyLaterItems) {
    TItemStore s;
    s.SetDataColor(0xFF0000);
    s.LineToPoint(1, 1);
    s.SetDataColor(0x0000FF);
    s.LineToPoint(2, 2);
    EXPECT_EQ(s.Item(0).Color, 0xFF0000u);
    EXPECT_EQ(s.Item(1).Color, 0x0000FFu);
}

TEST(ItemStore, SharingRefusals) {
    TItemStore a, b, c, d, e, f;
    EXPECT_EQ(a.UseDataOf(&a), TShareResult::RefusedSelf);
    EXPECT_EQ(ShareRefusalMessage(TShareResult::RefusedSelf), "Kartex: Cannot share data with myself");
    EXPECT_EQ(b.UseDataOf(&a), TShareResult::Changed);
    // a's list is used by b: a cannot become a user, not even "of none".
    EXPECT_EQ(a.UseDataOf(&c), TShareResult::RefusedUsed);
    EXPECT_EQ(a.UseDataOf(nullptr), TShareResult::RefusedUsed);
    EXPECT_EQ(ShareRefusalMessage(TShareResult::RefusedUsed),
              "Kartex: Cannot use foreign data. Other Kartexs are using my own data.");
    EXPECT_EQ(c.UseDataOf(&a), TShareResult::Changed);
    EXPECT_EQ(d.UseDataOf(&a), TShareResult::Changed);
    EXPECT_EQ(e.UseDataOf(&a), TShareResult::Changed);
    EXPECT_EQ(f.UseDataOf(&a), TShareResult::RefusedFull);
    EXPECT_EQ(ShareRefusalMessage(TShareResult::RefusedFull), "Kartex: Max. number of data shares exceeded");
    EXPECT_EQ(f.UsesDataOf(), nullptr);
    EXPECT_EQ(a.Users().size(), 4u);
    EXPECT_EQ(b.UseDataOf(&a), TShareResult::Unchanged);
}

TEST(ItemStore, UsingAUserAttachesToItsOwnerAndAppendsReachEveryone) {
    TItemStore owner, user1, user2;
    owner.LineToPoint(1, 1);
    ASSERT_EQ(user1.UseDataOf(&owner), TShareResult::Changed);
    ASSERT_EQ(user2.UseDataOf(&user1), TShareResult::Changed);
    EXPECT_EQ(user2.UsesDataOf(), &owner);
    EXPECT_EQ(user2.ItemCount(), 1);
    // Appends from any member, including ones that grow the array, reach the whole group.
    user2.SetAllocSize(1);
    user2.LineToPoint(2, 2);
    user1.LineToPoint(3, 3);
    owner.LineToPoint(4, 4);
    for (TItemStore* s : {&owner, &user1, &user2}) {
        ASSERT_EQ(s->ItemCount(), 4);
        EXPECT_EQ(s->Item(1).X, 2);
        EXPECT_EQ(s->Item(3).X, 4);
        EXPECT_EQ(s->Items(), owner.Items());
    }
    user1.ClearItems();
    EXPECT_EQ(owner.ItemCount(), 0);
    EXPECT_EQ(user2.ItemCount(), 0);
    const std::vector<TItemStore*> expected{&owner, &user2};
    EXPECT_EQ(user1.Partners(), expected);
}

TEST(ItemStore, LeavingKeepsTheListAsOwnAndUnhooksFromTheOwner) {
    TItemStore owner, user;
    owner.LineToPoint(1, 1);
    user.UseDataOf(&owner);
    EXPECT_EQ(user.UseDataOf(nullptr), TShareResult::Changed);
    EXPECT_TRUE(owner.Users().empty());
    EXPECT_EQ(user.ItemCount(), 1);
    user.LineToPoint(2, 2);
    EXPECT_EQ(owner.ItemCount(), 1);
    {
        TItemStore temp;
        temp.UseDataOf(&owner);
        EXPECT_EQ(owner.Users().size(), 1u);
    }
    EXPECT_TRUE(owner.Users().empty());
    auto owner2 = std::make_unique<TItemStore>();
    owner2->LineToPoint(5, 5);
    user.UseDataOf(owner2.get());
    owner2.reset();
    EXPECT_EQ(user.UsesDataOf(), nullptr);
    EXPECT_EQ(user.ItemCount(), 1);
    EXPECT_EQ(user.Item(0).X, 5);
}

} // namespace

TEST(ItemStore, ChartsThatStopSharingNoLongerWriteIntoEachOther) {
    TItemStore owner, user;
    owner.LineToPoint(1, 1);
    ASSERT_EQ(user.UseDataOf(&owner), TShareResult::Changed);
    ASSERT_EQ(user.UseDataOf(nullptr), TShareResult::Changed);
    owner.LineToPoint(2, 2);
    user.LineToPoint(3, 3);
    EXPECT_EQ(owner.Item(1).X, 2);
    EXPECT_EQ(user.Item(1).X, 3);
    EXPECT_EQ(user.Item(0).X, 1);

    // Users of a chart that goes away keep its items, each as a list of its own.
    TItemStore a, b;
    {
        TItemStore gone;
        gone.LineToPoint(5, 5);
        ASSERT_EQ(a.UseDataOf(&gone), TShareResult::Changed);
        ASSERT_EQ(b.UseDataOf(&gone), TShareResult::Changed);
    }
    a.LineToPoint(6, 6);
    b.LineToPoint(7, 7);
    EXPECT_EQ(a.Item(1).X, 6);
    EXPECT_EQ(b.Item(1).X, 7);
    EXPECT_EQ(b.Item(0).X, 5);
}

// Lists over stretches of one block (a loaded file's channels) show its records without a copy; an
// append, a name written later or a clear of one of them never reaches a neighbour's records.
TEST(ItemStore, ListsOverStretchesOfOneBlockNeverWriteIntoEachOther) {
    std::vector<TChartItem> records;
    for (int i = 0; i < 6; ++i)
        records.push_back(MakeItem(i % 3 == 0 ? ikMoveTo : ikLineTo, i, 10 * i));
    auto block = std::make_shared<TItemBlock>(std::move(records));
    TItemStore first, second;
    first.AssignBlock(block, 0, 3);
    second.AssignBlock(block, 3, 3);
    EXPECT_EQ(first.Items(), block->Data());
    EXPECT_EQ(second.Items(), block->Data() + 3);
    EXPECT_EQ(first.Capacity(), 3);
    EXPECT_THROW(second.AssignBlock(block, 4, 3), std::out_of_range);

    const std::uint64_t generation = first.Generation();
    first.LineToPoint(99, 990);
    first.SetItemText(0, "temp");
    EXPECT_EQ(first.ItemCount(), 4);
    EXPECT_EQ(first.Item(3).X, 99);
    EXPECT_EQ(first.Generation(), generation); // an append keeps caches over the list valid
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(second.Item(i).X, 3 + i); // the neighbour and the block as they were
        EXPECT_EQ(block->Data()[i].Text[0], 0);
    }
    second.ClearItems();
    EXPECT_EQ(first.Item(2).X, 2);
    EXPECT_EQ(block->Data()[3].X, 3);
}
