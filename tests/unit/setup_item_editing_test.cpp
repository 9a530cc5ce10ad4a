#include <gtest/gtest.h>

#include "setup_fake_views.h"

namespace {

using platform::RegRoot;

class ItemEditingTest : public ::testing::Test, public setuptest::SetupWorld {
protected:
    void SetUp() override {
        // A stored list with one active rule, loaded as at start-up, and the window open.
        world.StoreItem(0, "Crime,1");
        world.StoreItem(1, "Poker,0");
        world.engine.GetWindows();
        presenter.Show();
    }
    void Select(const std::string& text) { Items().Select(IndexOf(text)); }
    std::vector<std::string> StoredItems() const {
        std::vector<std::string> items;
        for (int i = 0; auto item = StoredItem(i); ++i)
            items.push_back(*item);
        return items;
    }
};

TEST_F(ItemEditingTest, AddThenCancelLeavesTheListUnchanged) {
    presenter.cmdadd_Click();
    ASSERT_NE(view.addItem, nullptr);
    EXPECT_TRUE(view.addItem->shown);
    EXPECT_EQ(view.addItem->text, "");
    EXPECT_FALSE(view.enabled);
    presenter.AddItem()->cmdexit_Click();
    EXPECT_TRUE(view.enabled);
    EXPECT_EQ(world.RowTexts(), (std::vector<std::string>{"Crime", "Poker"}));
}

TEST_F(ItemEditingTest, AddedRowIsUntickedAndStoredOnlyByOk) {
    presenter.cmdadd_Click();
    view.addItem->Type("Dice");
    presenter.AddItem()->cmdok_Click();
    EXPECT_EQ(world.RowTexts(), (std::vector<std::string>{"Crime", "Dice", "Poker"}));
    EXPECT_FALSE(Items().Rows()[1].checked);
    EXPECT_EQ(StoredItems(), (std::vector<std::string>{"Crime,1", "Poker,0"}));
    presenter.cmdapply_Click();
    EXPECT_EQ(StoredItems(), (std::vector<std::string>{"Crime,1", "Dice,0", "Poker,0"}));
}

TEST_F(ItemEditingTest, ChangeGivesTheRowItsNewTextInItsSortedPlaceAndKeepsTheTick) {
    const struct {
        const char* row;
        const char* typed; // nullptr: OK without editing
        std::vector<std::string> rows;
        const char* ticked;
    } cases[] = {
        {"Crime", nullptr, {"Crime", "Poker"}, "Crime"},
        {"Crime", "Zebra", {"Poker", "Zebra"}, "Zebra"},
        {"Poker", "Aces", {"Aces", "Crime"}, "Crime"},
    };
    for (const auto& c : cases) {
        world.engine.GetWindows(); // the stored list again
        Select(c.row);
        presenter.cmdchange_Click();
        EXPECT_EQ(view.addItem->text, c.row);
        EXPECT_EQ(world.RowTexts(), (std::vector<std::string>{"Crime", "Poker"})) << "the row stays while it is edited";
        if (c.typed)
            view.addItem->Type(c.typed);
        presenter.AddItem()->cmdok_Click();
        EXPECT_EQ(world.RowTexts(), c.rows) << c.row;
        for (const auto& row : Items().Rows())
            EXPECT_EQ(row.checked, row.text == c.ticked) << c.row << ": " << row.text;
        EXPECT_EQ(Items().Selected(), IndexOf(c.typed ? c.typed : c.row)) << "the selection stays on the row";
        EXPECT_EQ(StoredItems(), (std::vector<std::string>{"Crime,1", "Poker,0"})) << "Change saves nothing";
    }
}

TEST_F(ItemEditingTest, ChangeThenCancelLeavesTheRowAsItWas) {
    Select("Crime");
    presenter.cmdchange_Click();
    view.addItem->Type("Crime and Punishment");
    presenter.AddItem()->cmdexit_Click();
    EXPECT_EQ(world.RowTexts(), (std::vector<std::string>{"Crime", "Poker"}));
    EXPECT_TRUE(Items().Rows()[0].checked);
    presenter.cmdapply2_Click();
    EXPECT_EQ(StoredItems(), (std::vector<std::string>{"Crime,1", "Poker,0"}));
}

TEST_F(ItemEditingTest, ChangeWithNothingSelectedWorksAsAdd) {
    presenter.cmdchange_Click();
    EXPECT_EQ(view.addItem->text, "");
    EXPECT_EQ(view.addItem->setTextCalls, 0);
    view.addItem->Type("Dice");
    presenter.AddItem()->cmdok_Click();
    EXPECT_EQ(world.RowTexts(), (std::vector<std::string>{"Crime", "Dice", "Poker"}));
}

TEST_F(ItemEditingTest, RemoveStoresTheListAtOnceWithEarlierEdits) {
    presenter.cmdadd_Click();
    view.addItem->Type("Dice");
    presenter.AddItem()->cmdok_Click();
    Select("Poker");
    presenter.cmdremove_Click();
    EXPECT_EQ(world.RowTexts(), (std::vector<std::string>{"Crime", "Dice"}));
    EXPECT_EQ(StoredItems(), (std::vector<std::string>{"Crime,1", "Dice,0"}));
}

TEST_F(ItemEditingTest, RemoveWithNothingSelectedStillStoresTheListAsShown) {
    Items().SetChecked(IndexOf("Poker"), true); // an unsaved tick
    presenter.cmdremove_Click();
    EXPECT_EQ(StoredItems(), (std::vector<std::string>{"Crime,1", "Poker,1"}));
    EXPECT_TRUE(Timer().Enabled());
}

TEST_F(ItemEditingTest, RemoveReloadsSoThatLockingGoesOn) {
    Select("Poker");
    const auto switchesBefore = Timer().Switches().size();
    presenter.cmdremove_Click();
    EXPECT_EQ(world.engine.ListLockedItems(), (std::vector<std::string>{"Crime"}));
    EXPECT_TRUE(Timer().Enabled());
    EXPECT_EQ(Timer().Switches().back(), true);
    EXPECT_EQ(Timer().Switches()[switchesBefore], false); // off before the row goes
    EXPECT_TRUE(LocksWindowTitled("Crime Stories"));
}

TEST_F(ItemEditingTest, RemovingTheLastRowThenReloadingGivesTheSuggestionsOfAnEmptyStore) {
    for (const char* text : {"Crime", "Poker"}) {
        Select(text);
        presenter.cmdremove_Click();
    }
    EXPECT_TRUE(world.RowTexts().empty()) << "Remove takes away the row and nothing else";
    EXPECT_FALSE(world.api.GetValue(RegRoot::LocalMachine, engine::kLockedItemsKey, "Item0").has_value());
    presenter.cmdapply2_Click();
    EXPECT_EQ(world.RowTexts(), (std::vector<std::string>{"Crime", "Porn", "Sex"}));
}

} // namespace
