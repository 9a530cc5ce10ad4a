#include "engine/locked_items.h"

#include <gtest/gtest.h>

#include "test_world.h"

namespace {

using platform::RegRoot;
using Strings = std::vector<std::string>;

// --- the visible list and the allow list as models ---

TEST(ItemList, KeepsRowsSortedIgnoringCaseWithNewRowsAfterEqualOnes) {
    const Strings added = {"b", "A", "Zed", "a", "B", "crime", "Crime", "_x", "10", "9"};
    const Strings expected = {"10", "9", "_x", "A", "a", "b", "B", "crime", "Crime", "Zed"};

    engine::ItemList oneByOne;
    for (const auto& text : added)
        oneByOne.Add(text);
    engine::ItemList atOnce;
    std::vector<engine::ItemRow> rows;
    for (const auto& text : added)
        rows.push_back({text, false});
    atOnce.Assign(rows);

    for (const auto* list : {&oneByOne, &atOnce}) {
        Strings texts;
        for (const auto& row : list->Rows())
            texts.push_back(row.text);
        EXPECT_EQ(texts, expected);
    }
}

TEST(ItemList, SelectionStaysOnItsRowAndALoadNotifiesOnce) {
    engine::ItemList list;
    int changes = 0;
    const platform::Subscription counting = list.Subscribe([&] { ++changes; });
    list.Add("m");
    list.Select(list.Add("n"));
    list.Add("a");
    EXPECT_EQ(list.Selected(), 2); // still "n"
    list.Remove(0);
    EXPECT_EQ(list.Selected(), 1);
    list.Remove(1);
    EXPECT_EQ(list.Selected(), -1);
    changes = 0;
    list.Assign({{"x", true}, {"y", false}, {"z", true}});
    EXPECT_EQ(changes, 1);
}

TEST(ItemList, ReplaceKeepsTheTickMovesTheRowAndTheSelectionFollowsItsRow) {
    // Rows b, d (ticked), f; the selection on one of them; one row replaced.
    const struct {
        int selected;
        int replaced;
        std::string text;
        Strings rows;
        int tickedAt;
        int selectedAfter;
    } cases[] = {
        {1, 1, "D", {"b", "D", "f"}, 1, 1}, // same place
        {1, 1, "z", {"b", "f", "z"}, 2, 2}, // moves down, the selection with it
        {1, 1, "a", {"a", "b", "f"}, 0, 0}, // moves up
        {0, 1, "a", {"a", "b", "f"}, 0, 1}, // another row selected: it stays on "b"
        {2, 1, "z", {"b", "f", "z"}, 2, 1}, // ... and on "f"
        {1, 5, "x", {"b", "d", "f"}, 1, 1}, // out of range: nothing
    };
    for (const auto& c : cases) {
        engine::ItemList list;
        list.Assign({{"b", false}, {"d", true}, {"f", false}});
        list.Select(c.selected);
        list.Replace(c.replaced, c.text);
        Strings texts;
        for (const auto& row : list.Rows())
            texts.push_back(row.text);
        EXPECT_EQ(texts, c.rows) << c.text;
        for (int i = 0; i < list.Count(); ++i)
            EXPECT_EQ(list.Rows()[static_cast<std::size_t>(i)].checked, i == c.tickedAt) << c.text << " row " << i;
        EXPECT_EQ(list.Selected(), c.selectedAfter) << c.text;
    }
}

TEST(AllowList, FindsEntriesByCaseInsensitivePrefixOnly) {
    engine::AllowList allow;
    allow.Add("IEFrame");
    allow.Add("Print Setup");
    const struct {
        std::string key;
        int found;
    } cases[] = {{"IEFrame", 0}, {"ieframe", 0}, {"IEF", 0},      {"IEFrameX", -1}, {"print setup", 1},
                 {"Print", 1},   {"Setup", -1},  {"Notepad", -1}, {"", -1}};
    for (const auto& c : cases)
        EXPECT_EQ(allow.FindString(c.key), c.found) << "'" << c.key << "'";
}

// --- load and save ---

class LockedItems : public ::testing::Test {
protected:
    testworld::World world;
    engine::LockEngine& engine = world.engine;
};

TEST_F(LockedItems, FreshStoreSuggestsThreeUncheckedRowsAndLocksNothing) {
    engine.GetWindows();
    EXPECT_EQ(world.RowTexts(), (Strings{"Crime", "Porn", "Sex"}));
    for (const auto& row : engine.listwindows().Rows())
        EXPECT_FALSE(row.checked);
    EXPECT_TRUE(engine.ListLockedItems().empty());
    EXPECT_EQ(engine.ListAllow().Count(), 0);
    EXPECT_FALSE(world.api.KeyExists(RegRoot::LocalMachine, engine::kLockedItemsKey));
}

TEST_F(LockedItems, OnlyTheLastCharacterDecidesAndExactlyTwoAreCut) {
    const struct {
        std::string stored;
        bool loads;
        std::string text;
        bool checked;
    } cases[] = {
        {"Poker, Texas,1", true, "Poker, Texas", true},
        {"Crime,0", true, "Crime", false},
        {"Route 66,1", true, "Route 66", true},
        {"x1", true, "", true},
        {"Foo,2", false, "", false},
        {"Foo,", false, "", false},
        {"Foo", false, "", false},
        {"1", false, "", false},
        {"", false, "", false},
    };
    for (const auto& c : cases) {
        world.api.DeleteKey(RegRoot::LocalMachine, engine::kLockedItemsKey);
        world.StoreItem(0, c.stored);
        world.StoreItem(1, "Other,0");
        engine.GetWindows();
        const auto& rows = engine.listwindows().Rows();
        ASSERT_EQ(rows.size(), c.loads ? 2u : 1u) << c.stored;
        if (!c.loads)
            continue;
        const int index = rows[0].text == "Other" ? 1 : 0;
        EXPECT_EQ(rows[index].text, c.text) << c.stored;
        EXPECT_EQ(rows[index].checked, c.checked) << c.stored;
        EXPECT_EQ(engine.ListLockedItems(), c.checked ? Strings{c.text} : Strings{}) << c.stored;
    }
}

TEST_F(LockedItems, GapsDoNotEndTheLoadAndCloseUpAtTheNextSave) {
    world.StoreItem(0, "Crime,1");
    world.StoreItem(2, "Casino,0");
    world.StoreItem(999, "Zebra,1");
    world.StoreItem(0x40, std::string(1100, 'x') + ",1"); // too large to read: skipped
    engine.GetWindows();
    EXPECT_EQ(world.RowTexts(), (Strings{"Casino", "Crime", "Zebra"}));

    engine.SaveWindows();
    Strings names = world.api.ValueNames(RegRoot::LocalMachine, engine::kLockedItemsKey);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Strings{"Item0", "Item1", "Item2"}));
    EXPECT_EQ(world.api.GetString(RegRoot::LocalMachine, engine::kLockedItemsKey, "Item0"), "Casino,0");
    EXPECT_EQ(world.api.GetString(RegRoot::LocalMachine, engine::kLockedItemsKey, "Item1"), "Crime,1");
}

TEST_F(LockedItems, OnlyTheFirstThousandNamesLoadAndTheSaveKeepsOnlyThose) {
    for (int i = 0; i < 1200; ++i)
        world.StoreItem(i, "Item text " + std::to_string(i) + ",0");
    engine.GetWindows();
    EXPECT_EQ(engine.listwindows().Count(), 1000);
    engine.SaveWindows();
    const auto names = world.api.ValueNames(RegRoot::LocalMachine, engine::kLockedItemsKey);
    EXPECT_EQ(names.size(), 1000u);
    EXPECT_FALSE(world.api.GetValue(RegRoot::LocalMachine, engine::kLockedItemsKey, "Item1000"));
    engine.GetWindows();
    EXPECT_EQ(world.RowTexts().back(), "Item text 999");
}

TEST_F(LockedItems, BuiltInRulesAndAllowEntriesFollowTheCheckBoxes) {
    using store::Option;
    const struct {
        std::vector<Option> on;
        Strings rules;
        Strings allow;
    } cases[] = {
        {{}, {"Crime"}, {}},
        {{Option::LockKeys}, {"Crime", "Task Manager"}, {}},
        {{Option::LockInternetExplorer}, {"Crime", "Internet Explorer"}, {}},
        {{Option::LockInstall}, {"Crime", "Setup", "Install", "License Agreement"}, {"Page Setup", "Print Setup"}},
        {{Option::LockKeys, Option::LockInternetExplorer, Option::LockInstall, Option::Popup},
         {"Crime", "Task Manager", "Internet Explorer", "Setup", "Install", "License Agreement"},
         {"Page Setup", "Print Setup"}},
    };
    world.StoreItem(0, "Crime,1");
    world.StoreItem(1, "Sex,0");
    engine.GetWindows();
    for (const auto& c : cases) {
        for (Option o : {Option::Popup, Option::LockKeys, Option::LockInternetExplorer, Option::LockInstall}) {
            world.options.Set(o, std::find(c.on.begin(), c.on.end(), o) != c.on.end());
        }
        engine.Allow(0, "IEFrame", ""); // allowed earlier in the run: forgotten by the load
        engine.SaveWindows();           // empties the rules, as every load but the first relies on
        engine.GetWindows();
        EXPECT_EQ(engine.ListLockedItems(), c.rules);
        EXPECT_EQ(engine.ListAllow().Entries(), c.allow);
    }
}

TEST_F(LockedItems, SaveWritesRowsInShownOrderEmptiesTheRulesAndRestartsTheWatcher) {
    world.StoreItem(7, "Stale,1");
    engine.GetWindows();
    engine.listwindows().Clear();
    engine.listwindows().Add("Poker, Texas", true);
    engine.listwindows().Add("crime", false);
    engine.listwindows().Add("Casino", true);
    engine.timerorv().SetEnabled(false);
    const auto& switches = static_cast<platform::fake::FakeTimer&>(engine.timerorv()).Switches();
    const std::size_t before = switches.size();

    engine.SaveWindows();

    const std::vector<bool> during(switches.begin() + static_cast<long>(before), switches.end());
    EXPECT_EQ(during, (std::vector<bool>{false, true}));
    EXPECT_TRUE(engine.timerorv().Enabled());
    EXPECT_EQ(static_cast<platform::fake::FakeTimer&>(engine.timerorv()).Interval(), 1000u);
    EXPECT_TRUE(engine.ListLockedItems().empty());
    const auto key = engine::kLockedItemsKey;
    EXPECT_EQ(world.api.ValueNames(RegRoot::LocalMachine, key), (Strings{"Item0", "Item1", "Item2"}));
    EXPECT_EQ(world.api.GetString(RegRoot::LocalMachine, key, "Item0"), "Casino,1");
    EXPECT_EQ(world.api.GetString(RegRoot::LocalMachine, key, "Item1"), "crime,0");
    EXPECT_EQ(world.api.GetString(RegRoot::LocalMachine, key, "Item2"), "Poker, Texas,1");
    EXPECT_EQ(world.api.GetValue(RegRoot::LocalMachine, key, "Item2")->type, platform::kRegSz);

    engine.GetWindows();
    EXPECT_EQ(engine.ListLockedItems(), (Strings{"Casino", "Poker, Texas"}));
    EXPECT_EQ(engine.listwindows().Rows()[2].text, "Poker, Texas");
    EXPECT_TRUE(engine.listwindows().Rows()[2].checked);
}

TEST_F(LockedItems, AnInterruptedSaveLeavesEveryNameWithItsOldOrNewRow) {
    // The store before (name, type, data) and the list saved over it; the save is cut off after every possible
    // number of changes, then let run to the end. A name that holds its old or its new row is never lost: the
    // list is never empty, as it was when the save deleted the key first.
    struct Stored {
        std::string name;
        std::uint32_t type;
        std::string data;
    };
    const struct {
        const char* what;
        std::vector<Stored> before;
        Strings rows;
    } cases[] = {
        {"shrinks",
         {{"Item0", platform::kRegSz, "A,1"}, {"Item1", platform::kRegSz, "B,0"}, {"Item2", platform::kRegSz, "C,1"}},
         {"A,1", "D,1"}},
        {"grows", {{"Item0", platform::kRegSz, "A,1"}}, {"A,0", "B,1", "C,1"}},
        {"foreign values",
         {{"Item0", platform::kRegDword, std::string("\x01\x00\x00\x00", 4)},
          {"Item1", platform::kRegSz, std::string(1100, 'x') + ",1"},
          {"Other", platform::kRegSz, "Z,1"},
          {"Item01", platform::kRegSz, "Y,1"}},
         {"A,1", "B,1"}},
    };
    for (const auto& c : cases) {
        for (int cut = 0;; ++cut) {
            testworld::World w;
            for (const auto& value : c.before)
                w.api.PutValue(RegRoot::LocalMachine, engine::kLockedItemsKey, value.name, value.type,
                               value.type == platform::kRegSz
                                   ? platform::fake::FakeRegistry::StringData(value.data)
                                   : std::vector<std::uint8_t>(value.data.begin(), value.data.end()));
            // What each name gives before the save.
            std::vector<std::optional<std::string>> before;
            for (std::size_t i = 0; i < std::max(c.before.size(), c.rows.size()); ++i)
                before.push_back(w.api.GetString(RegRoot::LocalMachine, engine::kLockedItemsKey, store::ItemName(i)));
            std::vector<engine::ItemRow> rows;
            for (const auto& row : c.rows)
                rows.push_back({row.substr(0, row.size() - 2), row.back() == '1'});
            w.engine.listwindows().Assign(rows);
            w.api.StopWritingAfter(cut);
            const bool saved = static_cast<bool>(w.engine.SaveWindows());

            const std::string at = std::string(c.what) + ", cut after " + std::to_string(cut);
            for (std::size_t i = 0; i < std::max(c.before.size(), c.rows.size()); ++i) {
                const auto now = w.api.GetString(RegRoot::LocalMachine, engine::kLockedItemsKey, store::ItemName(i));
                const std::optional<std::string>& old = before[i];
                const std::optional<std::string> fresh =
                    i < c.rows.size() ? std::optional<std::string>(c.rows[i]) : std::nullopt;
                EXPECT_TRUE(now == old || now == fresh) << at << ": Item" << i << " holds " << now.value_or("nothing");
            }
            if (!saved)
                continue;
            // Run to the end: the key holds nothing but the rows, all of them strings.
            Strings names = w.api.ValueNames(RegRoot::LocalMachine, engine::kLockedItemsKey);
            std::sort(names.begin(), names.end());
            Strings expected;
            for (std::size_t i = 0; i < c.rows.size(); ++i)
                expected.push_back(store::ItemName(i));
            EXPECT_EQ(names, expected) << c.what;
            for (std::size_t i = 0; i < c.rows.size(); ++i)
                EXPECT_EQ(w.api.GetValue(RegRoot::LocalMachine, engine::kLockedItemsKey, store::ItemName(i))->type,
                          platform::kRegSz)
                    << c.what;
            break;
        }
    }
}

TEST_F(LockedItems, AFailedSaveKeepsTheRulesInForceAndTheWatcherRunning) {
    world.LoadRules({"Crime", "Poker"});
    engine.listwindows().Clear();
    world.api.SetStandardUser(true);
    const store::Status saved = engine.SaveWindows();
    EXPECT_EQ(saved.code, platform::kRegAccessDenied);
    EXPECT_EQ(engine.ListLockedItems(), (Strings{"Crime", "Poker"}));
    EXPECT_TRUE(engine.timerorv().Enabled());
    EXPECT_EQ(world.api.GetString(RegRoot::LocalMachine, engine::kLockedItemsKey, "Item1"), "Poker,1");
}

} // namespace
