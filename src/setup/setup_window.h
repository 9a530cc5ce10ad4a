#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "common/guard_protocol.h"
#include "common/shared_state.h"
#include "engine/lock_engine.h"
#include "gate/set_password_dialog.h"
#include "platform/crypto.h"
#include "platform/elevation.h"
#include "platform/event_log.h"
#include "platform/guard_link.h"
#include "platform/message_box.h"
#include "platform/shell.h"
#include "platform/text_case.h"
#include "platform/timer.h"
#include "setup/add_item_dialog.h"
#include "store/options.h"
#include "store/registry.h"
#include "store/save_request.h"
#include "store/settings.h"

namespace setup {

// The four link-style labels that turn blue under the pointer.
enum class LinkLabel { Add, Remove, Change, Update };
constexpr int kLinkLabelCount = 4;

constexpr int kAboutTab = 3;
constexpr const char* kAddOnQuestion = "You need to download an addon for this feature. Would you like to do this now?";
constexpr unsigned kAddOnQuestionStyle = platform::kMbOkCancel | platform::kMbIconInformation; // 65
constexpr unsigned kHelpFinder = 11;
// Help: the help file in the program's folder where there is one; otherwise the user's guide beside the program,
// opened in the web browser (current Windows has no viewer for help files of the old kind).
constexpr const char* kHelpFile = "kestrel.hlp";
constexpr const char* kGuideFile = "kestrel-guide.html";

// A save that the system refused because the user is no administrator: the offer to save as one (Yes is default).
constexpr const char* kAdministratorQuestion =
    "Your changes could not be saved: changing Kestrel's settings needs administrator rights on this computer.\n\n"
    "Save them as an administrator now?";
constexpr unsigned kAdministratorQuestionStyle =
    platform::kMbYesNo | platform::kMbIconWarning | platform::kMbDefButton1;
// The end of every message about changes that are not saved.
constexpr const char* kChangesKept =
    "They are kept in the setup window until Kestrel ends, so that you can try again with OK or Apply.";
constexpr const char* kChangesSaved = "Your changes are saved.";
// Shown with the setup window when the store changed elsewhere while it kept edits of its own.
constexpr const char* kChangedElsewhere =
    "Kestrel's stored settings were changed elsewhere meanwhile; OK stores what this window shows.";

// "Kestrel 2004 - Premium Edition" and "Version 2.0.2", the About tab's two lines.
std::string AboutProgramName(const std::string& edition);
std::string AboutVersion(int major, int minor, int patch);

// The setup window `frmorv`, as its presenter sees it. The view mirrors `listwindows` (through Items()) and
// the Advanced tab's check boxes (through Options()) by itself and writes the user's changes back to them.
class SetupWindowView {
public:
    virtual ~SetupWindowView() = default;
    virtual platform::WindowId Handle() const = 0;
    // Makes the window visible and brings it to the front; centred on the screen when centre is true,
    // otherwise where it was. The selected tab is left as it is.
    virtual void ShowWindow(bool centre) = 0;
    virtual void HideWindow() = 0;
    virtual bool IsWindowVisible() const = 0;
    virtual void SetEnabled(bool enabled) = 0;
    virtual void SetAboutTexts(const std::string& programName, const std::string& version) = 0;
    virtual void SetLinkHighlighted(LinkLabel label, bool highlighted) = 0;
    // The dialogs' windows, created hidden and bound to their presenters; null when they cannot be made.
    virtual std::unique_ptr<AddItemView> CreateAddItemView(AddItemDialog& presenter) = 0;
    virtual std::unique_ptr<gate::SetPasswordView> CreateSetPasswordView(gate::SetPasswordDialog& presenter) = 0;
};

// What the setup window asks of the system besides the store and the lock engine.
struct SetupServices {
    platform::Shell& shell;
    platform::MessageBoxes& messageBoxes;
    const platform::TextCase& textCase;
    platform::Crypto& crypto;
    platform::Elevation& elevation;
    platform::TimerFactory& timers;
    platform::EventLog& events;
    platform::GuardLink& guard;
};

// The setup window `frmorv` made visible: the four-tab setup tool with its commands, the editing of the
// locked items, help and links, and the popup add-on offer.
class SetupWindow {
public:
    SetupWindow(engine::LockEngine& engine, store::Settings& settings, store::Options& options,
                common::SharedState& state, store::Registry& registry, const SetupServices& services);
    ~SetupWindow();
    SetupWindow(const SetupWindow&) = delete;
    SetupWindow& operator=(const SetupWindow&) = delete;

    // The view binds itself when it is made and lets go when it goes.
    void AttachView(SetupWindowView* view) { m_view = view; }

    // The password prompt's Setup action: visible, centred the first time, later where it was. The password that
    // opened it is kept while it is open (wiped when it is left), for saving through the guard.
    void Show(const std::string& openingPassword = "");
    bool IsVisible() const;

    // The models the view mirrors.
    engine::ItemList& Items() { return m_engine.listwindows(); }
    store::Options& Options() { return m_options; }

    // Command row.
    void cmdapply_Click();  // OK
    void cmdcancel_Click(); // Cancel
    void cmdapply2_Click(); // Apply
    void cmdhelp_Click();

    // Tab control: the newly selected tab.
    void SSTab1_Click(int selectedTab);
    // Hover highlight: the pointer over a link-style label, or over the tab control's bare surface.
    void LinkLabel_MouseMove(LinkLabel label);
    void SSTab1_MouseMove();

    // Locked-item editing (first tab).
    void cmdadd_Click();
    void cmdchange_Click();
    void cmdremove_Click();

    // Settings tab.
    void cmdsetpassword_Click();

    // Advanced tab: a check box clicked by the user.
    void CheckBox_Click(store::Option option, bool checked);
    // "Stop Popup Ad's": also runs when the program changes the box.
    void chkpopup_Click();

    // About tab links.
    void cmdupdate_Click();
    void Label7_Click();
    void Label8_Click();

    // The dialogs currently made (for the views' owners and tests); null when none was opened yet.
    AddItemDialog* AddItem() { return m_addItem.get(); }
    gate::SetPasswordDialog* SetPassword() { return m_setPassword.get(); }

    // From the first instance's start-up on: a change of the store made elsewhere (the administrator's copy, Kestrel
    // in another user's session, an administrator's tools), which the system reports, is in force at once. The
    // window takes it too while it is hidden without edits of its own; otherwise it keeps what it shows, says so the
    // next time it is shown, and its next save writes what it shows.
    void WatchStore();
    // True when the window shows something that is not stored: rows, ticks, boxes, or a new password.
    bool HasUnsavedEdits() const;
    // True while a copy with administrator rights saves; the window takes no input meanwhile.
    bool Saving() const { return m_saving; }

private:
    enum class SaveKind { Ok, Apply, Remove };
    // Which part of a save failed, and the system's status.
    struct SaveFailure {
        bool itemsSaved = false;
        long code = 0;
    };
    // The last-write times of the items key and the settings key (nullopt: missing).
    struct StoreStamps {
        std::optional<std::uint64_t> items;
        std::optional<std::uint64_t> settings;
        bool operator==(const StoreStamps&) const = default;
    };

    void SaveAndReload(SaveKind kind);
    // Loads again what the store holds: the settings (unless only the items were saved), then the items.
    void Reload(bool settingsToo);
    // A save that did not happen: the window (again) visible with every edit, and the user told.
    void ReportFailure(SaveKind kind, const SaveFailure& failure);
    void SaveAsAdministrator(SaveKind kind);
    // What this window's save writes, for a copy that saves for it.
    store::SaveRequest ChangeToSave(SaveKind kind);
    // The guard's answer to this window's change; nullopt when no guard runs.
    std::optional<common::GuardResponse> SaveThroughGuard(SaveKind kind);
    void GuardAnswered(SaveKind kind, const common::GuardResponse& answer);
    void ForgetOpeningPassword();
    void AdministratorDone(SaveKind kind, const std::string& handOver, const platform::ElevatedRun& run);
    void Tell(const std::string& text, unsigned style);
    StoreStamps ReadStoreStamps();
    void OnStoreChanged();
    // The lock follows the store as it is now, while the window keeps its edits: the rules, the task-key lock and
    // the password (unless a new one waits in the window).
    void ApplyStoreToLock();
    void TellChangedElsewhere();
    void ReloadAfterRemove();
    // What the window showed when it last matched the store.
    void TakeSnapshot();
    // changedRow: the row that Change opens it on, -1 to add a row.
    void OpenAddItemDialog(const std::string& text, int changedRow, bool skipFailures);
    std::function<void(bool)> OwnerEnabler();
    platform::WindowId Owner() const;

    engine::LockEngine& m_engine;
    store::Settings& m_settings;
    store::Options& m_options;
    common::SharedState& m_state;
    store::Registry& m_registry;
    platform::Shell& m_shell;
    platform::MessageBoxes& m_messageBoxes;
    const platform::TextCase& m_textCase;
    platform::Crypto& m_crypto;
    platform::Elevation& m_elevation;
    platform::EventLog& m_events;
    platform::GuardLink& m_guard;
    std::string m_openingPassword;
    platform::Subscription m_storeWatch;
    StoreStamps m_stamps;
    struct Snapshot {
        std::vector<engine::ItemRow> rows;
        store::OptionSet options;
    };
    Snapshot m_stored;
    bool m_passwordEdited = false;   // a password set in the window and not stored yet
    bool m_changedElsewhere = false; // to be told when the window is next shown
    bool m_saving = false;
    SetupWindowView* m_view = nullptr;
    bool m_shownBefore = false;
    bool m_highlighted[kLinkLabelCount] = {false, false, false, false};
    std::unique_ptr<AddItemDialog> m_addItem;
    std::unique_ptr<gate::SetPasswordDialog> m_setPassword;
    platform::Subscription m_popupBox;    // the add-on offer follows the popup box
    platform::Subscription m_elevatedRun; // the administrator's copy that saves, while it runs
};

} // namespace setup
