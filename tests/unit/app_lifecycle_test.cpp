// Start-up, the single-instance handshake, the close reasons and the file-type association.
#include <gtest/gtest.h>

#include "app/association.h"
#include "app/lifecycle.h"
#include "common/program_exit.h"
#include "platform/fake/fake_session_instance.h"
#include "platform/fake/fake_shell.h"
#include "platform/fake/fake_task_keys.h"
#include "store/settings.h"
#include "test_world.h"
#include "tray/sys_tray_module.h"

namespace {

using platform::RegRoot;

class FakeMainWindow : public app::MainWindowView {
public:
    explicit FakeMainWindow(std::function<bool()> onPump) : onPump(std::move(onPump)) {}
    void SetCaption(const std::string& caption) override { captions.push_back(caption); }
    void RemoveCloseFromSystemMenu() override { closeRemoved = true; }
    bool ProcessMessages() override {
        ++pumped;
        return onPump();
    }
    void Unload() override { unloaded = true; }
    void EndProcess(int code) override {
        ended = true;
        exitCode = code;
    }

    std::vector<std::string> captions;
    bool closeRemoved = false;
    int pumped = 0;
    bool unloaded = false;
    bool ended = false;
    int exitCode = -1;
    // The message that each pump dispatches; false: it was the quit.
    std::function<bool()> onPump;
};

class FakeNotice : public common::LoadingNotice {
public:
    void ShowLoadingNotice() override { events.push_back("show"); }
    void CloseNotice() override { events.push_back("close"); }
    std::vector<std::string> events;
};

struct LifecycleWorld : testworld::World {
    LifecycleWorld() {
        engine.timerorv().SetEnabled(false); // off when the main window is created
        shell.SetProgramFolder("C:\\Guard");
    }
    platform::fake::FakeTimer& Delay() { return static_cast<platform::fake::FakeTimer&>(lifecycle.timerdelay()); }

    platform::fake::FakeShell shell;
    platform::fake::FakeTaskKeys taskKeys;
    tray::SysTrayModule trayIcon{shell, 0x4242, 7};
    store::Settings settings{registry, state, options, taskKeys, trayIcon};
    FakeNotice notice;
    platform::fake::FakeSessionInstance instance;
    // The second instance's wait: every pumped message is, at last, the delay timer's tick.
    FakeMainWindow window{[this] { return Delay().Fire(), true; }};
    app::Lifecycle lifecycle{registry, instance, shell, timers, engine, settings, notice, window, events};
};

TEST(Lifecycle, FirstInstanceRenamesItselfStartsTheWatcherAndLoadsSettingsAndItems) {
    LifecycleWorld world;
    world.StoreItem(0, "Crime,1");
    const platform::WindowId inFront = world.desktop.OpenForeground("Crime Stories", "Browser");

    EXPECT_TRUE(world.lifecycle.Form_Load());
    EXPECT_FALSE(world.desktop.IsVisible(inFront)) << "the window in front is checked at once, before any tick";

    EXPECT_TRUE(world.window.closeRemoved);
    EXPECT_EQ(world.window.captions, std::vector<std::string>{"Kestrel 2004"});
    EXPECT_TRUE(world.engine.timerorv().Enabled());
    EXPECT_FALSE(world.lifecycle.timerdelay().Enabled());
    EXPECT_TRUE(world.shell.HasIcon(0x4242, 1)); // the settings load put the icon up
    EXPECT_EQ(world.engine.ListLockedItems(), std::vector<std::string>{"Crime"});
    EXPECT_TRUE(world.notice.events.empty());
    EXPECT_FALSE(world.window.unloaded);
}

TEST(Lifecycle, SecondInstanceShowsItsNoticeForOneDelayThenUnloadsWithoutLoadingAnything) {
    LifecycleWorld world;
    world.instance.heldElsewhere = true; // a copy runs in this session
    world.StoreItem(0, "Crime,1");

    EXPECT_FALSE(world.lifecycle.Form_Load());

    EXPECT_EQ(world.notice.events, (std::vector<std::string>{"show", "close"}));
    EXPECT_EQ(world.Delay().Interval(), 2000u);
    EXPECT_EQ(world.Delay().Switches(), (std::vector<bool>{true, false}));
    EXPECT_GE(world.window.pumped, 1);
    EXPECT_TRUE(world.window.unloaded);
    // Its caption stays "*** Kestrel ***" all its life: that is how the running copy recognises it.
    EXPECT_TRUE(world.window.captions.empty());
    EXPECT_FALSE(world.engine.timerorv().Enabled());
    EXPECT_EQ(world.shell.IconCount(), 0u);
    EXPECT_TRUE(world.engine.ListLockedItems().empty());
    // The association is written in both kinds of instance.
    EXPECT_EQ(world.api.GetString(RegRoot::ClassesRoot, ".loc", ""), "ORV.Document");
}

TEST(Lifecycle, SecondInstanceClosedFromOutsideDuringItsNoticeEndsAndStartsNothing) {
    LifecycleWorld world;
    world.instance.heldElsewhere = true;
    world.shell.AddFile("C:\\Guard\\orv.exe");
    // A WM_CLOSE: the close handler runs and the main window goes, which leaves a quit that every later wait for a
    // message returns again, before the delay timer's tick.
    world.window.onPump = [&] {
        if (world.window.pumped == 1)
            world.lifecycle.Form_Unload(app::CloseReason::Other);
        if (world.window.pumped > 100)
            world.Delay().Fire(); // ends a wait that would spin, so that the test can fail
        return false;
    };

    EXPECT_FALSE(world.lifecycle.Form_Load());

    EXPECT_EQ(world.window.pumped, 1);
    EXPECT_TRUE(world.shell.StartedHidden().empty());
    EXPECT_EQ(world.notice.events, (std::vector<std::string>{"show", "close"}));
    EXPECT_EQ(world.window.captions, std::vector<std::string>{"crumbs!"});
    EXPECT_EQ(world.shell.IconCount(), 0u);
    EXPECT_FALSE(world.engine.timerorv().Enabled());
    EXPECT_TRUE(world.events.Events().empty()); // the running copy still guards
}

TEST(Lifecycle, TheSessionsLockNotAWindowTitleTellsTheFirstInstance) {
    // A window of another program that calls itself "Kestrel 2004" does not keep the lock from starting.
    LifecycleWorld decoy;
    decoy.desktop.AddWindow("Kestrel 2004", "ConsoleWindowClass");
    EXPECT_TRUE(decoy.lifecycle.Form_Load());
    EXPECT_TRUE(decoy.instance.held);

    // The running copy lets go as its window closes: a copy started meanwhile (its window says "crumbs!") is a
    // first instance.
    decoy.lifecycle.Form_Unload(app::CloseReason::Other);
    EXPECT_FALSE(decoy.instance.held);
    LifecycleWorld next;
    next.desktop.AddWindow("crumbs!", "KestrelMainWindow");
    EXPECT_TRUE(next.lifecycle.Form_Load());
}

TEST(Lifecycle, OwnUnloadAndWindowsShutdownEndAtOnceStartingNothing) {
    for (auto reason : {app::CloseReason::OwnCode, app::CloseReason::WindowsShutdown}) {
        LifecycleWorld world;
        world.shell.AddFile("C:\\Guard\\orv.exe");
        world.lifecycle.Form_Unload(reason);
        EXPECT_EQ(world.window.captions, std::vector<std::string>{"crumbs!"});
        EXPECT_TRUE(world.window.ended);
        // The guard tells the session's end by the code: a copy ended so is not started again.
        EXPECT_EQ(world.window.exitCode, reason == app::CloseReason::WindowsShutdown ? common::kExitSessionEnded : 0);
        EXPECT_TRUE(world.shell.StartedHidden().empty());
        EXPECT_TRUE(world.events.Events().empty());
    }
}

TEST(Lifecycle, AnyOtherCloseStartsTheCompanionHiddenAndLetsTheCloseGoAhead) {
    LifecycleWorld world;
    world.shell.AddFile("C:\\Guard\\orv.exe");
    ASSERT_TRUE(world.lifecycle.Form_Load());
    world.lifecycle.Form_Unload(app::CloseReason::Other);
    EXPECT_EQ(world.window.captions, (std::vector<std::string>{"Kestrel 2004", "crumbs!"}));
    EXPECT_EQ(world.shell.StartedHidden(), std::vector<std::string>{"C:\\Guard\\orv.exe"});
    EXPECT_FALSE(world.window.ended);
    EXPECT_EQ(world.events.Kinds(), std::vector<platform::EventKind>{platform::EventKind::ClosedFromOutside});

    LifecycleWorld missing; // no orv.exe: the failed start is ignored
    ASSERT_TRUE(missing.lifecycle.Form_Load());
    missing.lifecycle.Form_Unload(app::CloseReason::Other);
    EXPECT_EQ(missing.shell.StartedHidden().size(), 1u);
    EXPECT_FALSE(missing.window.ended);
}

struct AssociationCase {
    std::string folder;
    std::string command;
    std::string icon;
};

class Association : public ::testing::TestWithParam<AssociationCase> {};

TEST_P(Association, WritesExactlyTheFourDefaultValues) {
    const auto& param = GetParam();
    platform::fake::FakeRegistry api;
    store::Registry registry(api);
    app::CreateAssociation(registry, param.folder);
    app::CreateAssociation(registry, param.folder); // a second start leaves the same bytes

    EXPECT_EQ(api.GetString(RegRoot::ClassesRoot, ".loc", ""), "ORV.Document");
    EXPECT_EQ(api.GetString(RegRoot::ClassesRoot, "ORV.Document", ""), "ORV System Protect");
    EXPECT_EQ(api.GetString(RegRoot::ClassesRoot, "ORV.Document\\shell\\open\\command", ""), param.command);
    EXPECT_EQ(api.GetString(RegRoot::ClassesRoot, "ORV.Document\\DefaultIcon", ""), param.icon);
    for (const char* bare : {"ORV.Document\\shell", "ORV.Document\\shell\\open"}) {
        EXPECT_TRUE(api.KeyExists(RegRoot::ClassesRoot, bare));
        EXPECT_TRUE(api.ValueNames(RegRoot::ClassesRoot, bare).empty());
    }
    auto value = api.GetValue(RegRoot::ClassesRoot, ".loc", "");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, platform::kRegSz);
    EXPECT_EQ(value->data.size(), 2 * std::string("ORV.Document").size()); // UTF-16, no terminating NUL
}

INSTANTIATE_TEST_SUITE_P(
    Folders, Association,
    ::testing::Values(AssociationCase{"C:\\Guard", "\"C:\\Guard\\orv.exe\" %1", "\"C:\\Guard\\orv.exe\""},
                      AssociationCase{"C:\\Program Files\\Kestrel", "\"C:\\Program Files\\Kestrel\\orv.exe\" %1",
                                      "\"C:\\Program Files\\Kestrel\\orv.exe\""},
                      AssociationCase{"D:\\", "\"D:\\\\orv.exe\" %1", "\"D:\\\\orv.exe\""}));

TEST(AssociationFailure, WithoutRightsUnderClassesRootStartUpStillCompletes) {
    LifecycleWorld world;
    world.api.SetStandardUser(true); // may read, may not write
    world.StoreItem(0, "Crime,1");
    EXPECT_TRUE(world.lifecycle.Form_Load());
    EXPECT_FALSE(world.api.KeyExists(RegRoot::ClassesRoot, ".loc"));
    EXPECT_TRUE(world.engine.timerorv().Enabled());
    EXPECT_EQ(world.engine.ListLockedItems(), std::vector<std::string>{"Crime"});
}

} // namespace
