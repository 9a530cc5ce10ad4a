// Saving from the setup window when the store refuses: what the user is told, what stays in memory, the save by
// a copy with administrator rights, and changes of the store made elsewhere.
#include <gtest/gtest.h>

#include "guard/guard_requests.h"
#include "setup_fake_views.h"
#include "store/save_request.h"

namespace {

using platform::ElevatedRun;
using platform::RegRoot;
using setuptest::kMainWindow;
using store::Option;
using Outcome = ElevatedRun::Outcome;
using Strings = std::vector<std::string>;

enum class Command { Ok, Apply, Remove, NewPasswordAndOk };

// The parent's store, loaded at start-up; then the window is open and edited as in the report: "Poker" added and
// ticked, an option ticked (and, for one command, a new password).
struct EditedSetup : setuptest::SetupWorld {
    EditedSetup() {
        world.StoreItem(0, "Crime,1");
        world.StoreItem(1, "Dice,0");
        settings.GetSettings();
        world.engine.GetWindows();
        presenter.Show();
        Items().SetChecked(Items().Add("Poker"), true);
        world.options.Set(Option::LockKeys, true);
        storedBefore = StoredItems();
    }

    void Run(Command command) {
        switch (command) {
        case Command::Ok:
            presenter.cmdapply_Click();
            break;
        case Command::Apply:
            presenter.cmdapply2_Click();
            break;
        case Command::Remove:
            Items().Select(IndexOf("Dice"));
            presenter.cmdremove_Click();
            break;
        case Command::NewPasswordAndOk:
            presenter.cmdsetpassword_Click();
            view.setPassword->text1 = view.setPassword->text2 = "Kite9";
            presenter.SetPassword()->OKButton_Click();
            presenter.cmdapply_Click();
            break;
        }
    }
    Strings StoredItems() const {
        Strings items;
        for (int i = 0; auto item = StoredItem(i); ++i)
            items.push_back(*item);
        return items;
    }
    // Every edit still in memory, and nothing loaded over them.
    void ExpectEditsKept(Command command) {
        EXPECT_TRUE(view.visible);
        EXPECT_TRUE(view.enabled);
        const Strings rows = command == Command::Remove ? Strings{"Crime", "Poker"} : Strings{"Crime", "Dice", "Poker"};
        EXPECT_EQ(world.RowTexts(), rows);
        EXPECT_TRUE(Items().Rows()[static_cast<std::size_t>(IndexOf("Poker"))].checked);
        EXPECT_TRUE(world.options.Get(store::Option::LockKeys));
        EXPECT_FALSE(taskKeys.Locked()); // not applied: nothing was loaded
        if (command == Command::NewPasswordAndOk) {
            EXPECT_TRUE(world.state.Password.Matches("Kite9"));
            EXPECT_FALSE(world.state.Password.Matches("PASSAGE"));
        }
    }
    void ExpectStoreUnchanged() {
        EXPECT_EQ(StoredItems(), storedBefore);
        EXPECT_FALSE(Stored(store::kSettingsKey, "LockKeys"));
        EXPECT_FALSE(Stored(store::kSettingsKey, "Auth1"));
    }
    // Refused as a standard user, the user answers Yes: the copy with administrator rights is waited for.
    void RefuseAndAcceptTheOffer(Command command) {
        world.api.SetStandardUser(true);
        messageBoxes.Answer(platform::kIdYes);
        Run(command);
        ASSERT_EQ(elevation.starts.size(), 1u);
    }
    // The copy with administrator rights, as the consent lets it write.
    unsigned RunTheAdministratorCopy() {
        world.api.SetStandardUser(false);
        return store::SaveFromHandOver(elevation.starts.back().arguments, elevation, world.crypto, world.registry,
                                       [] { return true; });
    }
    std::string LastMessage() const { return messageBoxes.Asked().empty() ? "" : messageBoxes.Asked().back().text; }

    Strings storedBefore;
};

TEST(SetupSaving, ARefusedSaveAsksToSaveAsAdministratorAndKeepsEveryEdit) {
    for (Command command : {Command::Ok, Command::Apply, Command::Remove, Command::NewPasswordAndOk}) {
        SCOPED_TRACE(static_cast<int>(command));
        EditedSetup s;
        s.world.api.SetStandardUser(true);
        s.messageBoxes.Answer(platform::kIdNo);

        s.Run(command);

        ASSERT_EQ(s.messageBoxes.Asked().size(), 1u);
        const auto& message = s.messageBoxes.Asked().back();
        EXPECT_EQ(message.text, setup::kAdministratorQuestion);
        EXPECT_EQ(message.caption, "Kestrel");
        EXPECT_EQ(message.style, 0x34u); // Yes/No, warning, Yes the default
        EXPECT_EQ(message.owner, kMainWindow);
        s.ExpectEditsKept(command);
        s.ExpectStoreUnchanged();
        EXPECT_TRUE(s.elevation.starts.empty());
        // The rules in force stay: the store still holds what they were built from.
        EXPECT_TRUE(s.LocksWindowTitled("Crime Stories"));
        EXPECT_TRUE(s.world.engine.timerorv().Enabled());
        // The next Apply stores everything once it may; the log has the refusal and then the save.
        s.world.api.SetStandardUser(false);
        s.presenter.cmdapply2_Click();
        EXPECT_EQ(s.StoredItem(s.IndexOf("Poker")), "Poker,1");
        using platform::EventKind;
        EXPECT_EQ(s.world.events.Kinds().front(), EventKind::SaveRefused);
        EXPECT_EQ(s.world.events.Kinds().back(), EventKind::SettingsSaved);
        EXPECT_EQ(s.world.events.Events()[0].inserts,
                  Strings{"the locked items could not be written (error 5: access denied)."});
    }
}

TEST(SetupSaving, OtherFailuresSayWhatWasNotSavedAndWhy) {
    for (bool itemsSaved : {false, true}) {
        EditedSetup s;
        // Every row is written again; the failure comes with the first write after them, or at once.
        s.world.api.StopWritingAfter(itemsSaved ? s.Items().Count() : 0);
        s.presenter.cmdapply_Click();
        const std::string what =
            itemsSaved ? "Your changes were not all saved: the locked items were saved, but the password and the "
                         "settings could not be written to the registry (error 1016)."
                       : "Your changes could not be saved: the locked items could not be written to the registry "
                         "(error 1016).";
        EXPECT_EQ(s.LastMessage(), what + "\n\n" + setup::kChangesKept);
        EXPECT_EQ(s.messageBoxes.Asked().back().style, platform::kMbOk | platform::kMbIconCritical);
        s.ExpectEditsKept(Command::Ok);
        EXPECT_TRUE(s.elevation.starts.empty());
    }
}

// Where a guard runs, a save the store refuses goes to it with the password that opened the window: no administrator,
// no second copy; a password changed meanwhile, or too many wrong ones, keep the edits and say why.
TEST(SetupSaving, WhereAGuardRunsARefusedSaveGoesThroughItWithThePasswordThatOpenedTheWindow) {
    EditedSetup s;
    std::uint64_t now = 1000;
    // The guard writes as the system does, where the user may not.
    guard::GuardRequests guard(s.world.registry, s.world.crypto, nullptr, nullptr);
    s.guard.answer = [&](const std::vector<std::uint8_t>& request) {
        s.world.api.SetStandardUser(false);
        const auto answer = guard.Handle(1, request, now);
        s.world.api.SetStandardUser(true);
        return std::optional(common::EncodeResponse(answer));
    };
    s.world.api.SetStandardUser(true);
    s.presenter.Show("PASSAGE");
    s.presenter.cmdapply_Click();
    EXPECT_TRUE(s.messageBoxes.Asked().empty()) << s.LastMessage();
    EXPECT_TRUE(s.elevation.starts.empty());
    EXPECT_FALSE(s.view.visible);
    EXPECT_EQ(s.StoredItem(s.IndexOf("Poker")), "Poker,1");
    EXPECT_EQ(s.Stored(store::kSettingsKey, "LockKeys"), "1");
    EXPECT_TRUE(s.LocksWindowTitled("Texas Poker"));

    s.presenter.Show("guess");
    s.Items().Add("Dice Online");
    s.presenter.cmdapply2_Click();
    EXPECT_EQ(s.LastMessage(), "Your changes are not saved: Kestrel Guard did not take the password this window was "
                               "opened with (it was changed meanwhile).\n\n" +
                                   std::string(setup::kChangesKept));
    EXPECT_NE(s.IndexOf("Dice Online"), -1) << "the edit is kept";
}

TEST(SetupSaving, TheAdministratorCopyWritesExactlyWhatTheWindowWouldHaveWritten) {
    const struct {
        Command command;
        bool settingsSaved;
        bool visibleAfter;
    } cases[] = {{Command::Ok, true, false}, {Command::Apply, true, true}, {Command::Remove, false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.command));
        EditedSetup s;
        s.RefuseAndAcceptTheOffer(c.command);
        // Waiting: the window takes no input, and a second save cannot start.
        EXPECT_TRUE(s.presenter.Saving());
        EXPECT_TRUE(s.view.visible);
        EXPECT_FALSE(s.view.enabled);
        EXPECT_EQ(s.elevation.starts[0].owner, kMainWindow);
        s.presenter.cmdapply2_Click();
        EXPECT_EQ(s.elevation.starts.size(), 1u);
        EXPECT_EQ(s.messageBoxes.Asked().size(), 1u);
        const Strings rows = s.world.engine.RowsToStore();
        const auto values = s.settings.StoredValues();

        EXPECT_EQ(s.RunTheAdministratorCopy(), store::kSaved);
        s.elevation.Finish({Outcome::Exited, store::kSaved});

        EXPECT_TRUE(s.elevation.files.empty());
        EXPECT_TRUE(s.view.enabled);
        EXPECT_EQ(s.LastMessage(), setup::kChangesSaved);
        EXPECT_EQ(s.view.visible, c.visibleAfter);
        EXPECT_EQ(s.StoredItems(), rows);
        for (const auto& [name, text] : values) {
            EXPECT_EQ(s.Stored(store::kSettingsKey, name), c.settingsSaved ? std::optional(text) : std::nullopt)
                << name;
        }
        EXPECT_EQ(s.world.events.Kinds().back(), platform::EventKind::SettingsSaved);
        // Loaded again from the store: the new row locks.
        EXPECT_TRUE(s.LocksWindowTitled("Texas Poker Online"));
    }
}

TEST(SetupSaving, DeclinedConsentOrAFailedCopyKeepsTheEditsAndDeletesTheHandOver) {
    const struct {
        ElevatedRun run;
        bool copyRan;
        std::string text;
    } cases[] = {
        {{Outcome::Declined, platform::kErrorCancelled},
         false,
         "Saving as an administrator was cancelled, so your changes are not saved."},
        {{Outcome::NotStarted, 2},
         false,
         "Kestrel could not be started as an administrator (error 2), so your changes are not saved."},
        {{Outcome::Exited, store::kStoreFailedBase + 5},
         false,
         "Your changes are not saved: Kestrel with administrator rights could not save them (the registry refused "
         "the change, error 5)."},
        {{Outcome::Exited, store::kChecksumMismatch},
         true,
         "Your changes are not saved: Kestrel with administrator rights could not save them (another program "
         "changed what was handed over to it)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EditedSetup s;
        s.RefuseAndAcceptTheOffer(Command::Apply);
        ASSERT_EQ(s.elevation.files.size(), 1u);
        if (c.copyRan) {
            s.elevation.files.begin()->second.push_back('\n'); // changed by another program meanwhile
            EXPECT_EQ(s.RunTheAdministratorCopy(), c.run.code);
        }
        s.elevation.Finish(c.run);

        EXPECT_TRUE(s.elevation.files.empty());
        EXPECT_EQ(s.LastMessage(), c.text + "\n\n" + setup::kChangesKept);
        s.ExpectEditsKept(Command::Apply);
        s.ExpectStoreUnchanged();
    }
}

// The parent's store loaded at start-up, the store watched from then on.
struct WatchedSetup : setuptest::SetupWorld {
    WatchedSetup() {
        world.StoreItem(0, "Crime,1");
        world.StoreItem(1, "Dice,0");
        settings.GetSettings();
        world.engine.GetWindows();
        presenter.WatchStore();
    }
    // An administrator's tools add a ticked item and switch the installer lock on.
    void ChangeElsewhere() {
        world.StoreItem(2, "Casino,1");
        world.api.PutString(RegRoot::LocalMachine, store::kSettingsKey, "LockInstall", "1");
        world.api.DeliverChanges();
    }
    // The parent's edits, left in the window with Cancel: a ticked row, a ticked box and a new password.
    void EditAndCancel() {
        presenter.Show();
        Items().SetChecked(Items().Add("Poker"), true);
        presenter.CheckBox_Click(Option::LockKeys, true);
        presenter.cmdsetpassword_Click();
        view.setPassword->text1 = view.setPassword->text2 = "Kite9";
        presenter.SetPassword()->OKButton_Click();
        presenter.cmdcancel_Click();
    }
    std::size_t Told() const {
        std::size_t told = 0;
        for (const auto& asked : messageBoxes.Asked())
            told += asked.text == setup::kChangedElsewhere ? 1 : 0;
        return told;
    }
};

TEST(StoreChangedElsewhere, IsLoadedIntoAHiddenWindowWithoutEditsAndOurOwnSavesAreNoChange) {
    WatchedSetup s;
    EXPECT_EQ(s.world.api.DeliverChanges(), 0) << "nothing changed since start-up";
    s.ChangeElsewhere();
    EXPECT_TRUE(s.LocksWindowTitled("Casino Royale"));
    EXPECT_TRUE(s.LocksWindowTitled("Setup - Foo"));
    EXPECT_EQ(s.world.RowTexts(), (Strings{"Casino", "Crime", "Dice"}));
    EXPECT_TRUE(s.world.options.Get(Option::LockInstall));
    EXPECT_FALSE(s.presenter.HasUnsavedEdits());
    EXPECT_EQ(s.Told(), 0u);

    // Our own save is no change made elsewhere.
    s.presenter.Show();
    s.presenter.cmdapply_Click();
    const auto loads = s.taskKeys.Calls().size();
    s.world.api.DeliverChanges();
    EXPECT_EQ(s.taskKeys.Calls().size(), loads);
    EXPECT_EQ(s.Told(), 0u);
}

TEST(StoreChangedElsewhere, TheLockObeysAtOnceAndTheWindowKeepsEditsLeftWithCancel) {
    WatchedSetup s;
    s.EditAndCancel();
    ASSERT_TRUE(s.presenter.HasUnsavedEdits());
    s.ChangeElsewhere();

    // The lock: the store as it is now.
    EXPECT_TRUE(s.LocksWindowTitled("Casino Royale"));
    EXPECT_TRUE(s.LocksWindowTitled("Setup - Foo"));
    EXPECT_FALSE(s.LocksWindowTitled("Texas Poker")) << "an edit not saved takes no effect";
    EXPECT_FALSE(s.taskKeys.Locked()) << "nor does a box ticked but not saved";
    // The window: every edit as it was left, and the new password still in force.
    EXPECT_EQ(s.world.RowTexts(), (Strings{"Crime", "Dice", "Poker"}));
    EXPECT_TRUE(s.world.options.Get(Option::LockKeys));
    EXPECT_FALSE(s.world.options.Get(Option::LockInstall));
    EXPECT_TRUE(s.world.state.Password.Matches("Kite9"));
    EXPECT_EQ(s.Told(), 0u) << "said when the window is next shown";

    s.presenter.Show();
    EXPECT_EQ(s.Told(), 1u);
    EXPECT_EQ(s.messageBoxes.Asked().back().owner, kMainWindow);
    s.presenter.cmdcancel_Click();
    s.presenter.Show();
    EXPECT_EQ(s.Told(), 1u) << "said once";

    // OK stores what the window shows.
    s.presenter.cmdapply_Click();
    EXPECT_EQ(s.StoredItem(2), "Poker,1");
    EXPECT_FALSE(s.StoredItem(3));
    EXPECT_TRUE(s.LocksWindowTitled("Texas Poker"));
    EXPECT_TRUE(s.world.state.Password.Matches("Kite9"));
}

TEST(StoreChangedElsewhere, AnOpenWindowSaysSoAtOnce) {
    WatchedSetup s;
    s.presenter.Show();
    s.ChangeElsewhere();
    EXPECT_TRUE(s.LocksWindowTitled("Casino Royale"));
    EXPECT_EQ(s.world.RowTexts(), (Strings{"Crime", "Dice"}));
    EXPECT_EQ(s.Told(), 1u);
}

TEST(SetupSaving, APartialSaveLeavesTheLockWorkingFromWhatTheStoreHolds) {
    // Items stored, settings refused (or the reverse): the rules come from the store as it now is, never none.
    for (bool itemsFirst : {true, false}) {
        SCOPED_TRACE(itemsFirst);
        EditedSetup s;
        s.world.api.PutString(RegRoot::LocalMachine, store::kSettingsKey, "LockInstall", "1");
        s.settings.GetSettings();
        s.world.engine.GetWindows();
        s.Items().SetChecked(s.Items().Add("Poker"), true);
        s.world.api.StopWritingAfter(itemsFirst ? s.Items().Count() : 1);
        s.presenter.cmdapply_Click();
        EXPECT_TRUE(s.LocksWindowTitled("Crime Stories"));
        EXPECT_TRUE(s.LocksWindowTitled("Setup - Foo")) << "the built-in rules of the stored options";
        EXPECT_EQ(s.LocksWindowTitled("Texas Poker"), itemsFirst) << "the rows as stored";
    }
}

TEST(SetupSaving, RemoveTakesAwayOnlyTheRowAndKeepsTheAllowListAndTheStoredOptions) {
    EditedSetup s; // LockKeys ticked, not saved
    s.world.engine.Allow(0, "IEFrame", "");
    s.Items().Select(s.IndexOf("Crime"));
    s.presenter.cmdremove_Click();
    EXPECT_EQ(s.StoredItems(), (Strings{"Dice,0", "Poker,1"}));
    EXPECT_EQ(s.world.engine.ListAllow().Entries(), Strings{"IEFrame"}) << "a window given back stays given back";
    EXPECT_FALSE(s.LocksWindowTitled("Crime Stories"));
    EXPECT_TRUE(s.LocksWindowTitled("Texas Poker"));
    EXPECT_FALSE(s.LocksWindowTitled("Task Manager")) << "a box ticked but not saved takes no effect";
    EXPECT_TRUE(s.world.options.Get(Option::LockKeys)) << "and stays ticked in the window";
}

} // namespace
