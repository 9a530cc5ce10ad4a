// Saving from the setup window: OK and Apply, what happens when the store refuses, the save by a copy of the
// program with administrator rights, and the loading of changes that were made elsewhere.
#include "common/hex.h"
#include "setup/setup_window.h"
#include "setup/vendor.h"
#include "store/save_request.h"

namespace setup {

namespace {

std::string ErrorNumber(unsigned long code) {
    return "error " + std::to_string(code);
}

// Why the administrator's copy did not save, from its exit code.
std::string CopyFailure(std::uint32_t exitCode) {
    switch (exitCode) {
    case store::kChecksumMismatch:
        return "another program changed what was handed over to it";
    case store::kPasswordNotGiven:
        return "Kestrel's password was not given to it";
    case store::kHandOverUnreadable:
    case store::kBadHandOver:
        return "it could not read what was handed over to it";
    default:
        if (exitCode > store::kStoreFailedBase)
            return "the registry refused the change, " + ErrorNumber(exitCode - store::kStoreFailedBase);
        return "it ended with code " + std::to_string(exitCode);
    }
}

} // namespace

void SetupWindow::SaveAndReload(SaveKind kind) {
    // Both stores before both loads, so the window and the lock engine are rebuilt from exactly what was stored.
    std::optional<SaveFailure> failure;
    if (const store::Status items = m_engine.SaveWindows(); !items) {
        failure = SaveFailure{false, items.code};
    } else if (const store::Status settings = m_settings.SaveSettings(); !settings) {
        failure = SaveFailure{true, settings.code};
    }
    if (failure) {
        // What did get written is ours, not a change made elsewhere to be loaded over the edits.
        m_stamps = ReadStoreStamps();
        ReportFailure(kind, *failure);
        return;
    }
    m_events.Report(platform::EventKind::SettingsSaved);
    Reload(true);
}

void SetupWindow::Reload(bool settingsToo) {
    m_stamps = ReadStoreStamps();
    if (settingsToo)
        m_settings.GetSettings();
    m_engine.GetWindows();
    TakeSnapshot();
    if (settingsToo)
        m_passwordEdited = false;
    m_changedElsewhere = false;
}

void SetupWindow::TakeSnapshot() {
    m_stored = Snapshot{Items().Rows(), m_options.Values()};
}

bool SetupWindow::HasUnsavedEdits() const {
    return m_passwordEdited || m_engine.listwindows().Rows() != m_stored.rows || m_options.Values() != m_stored.options;
}

void SetupWindow::ReportFailure(SaveKind kind, const SaveFailure& failure) {
    // A save that stopped half-way left the store partly new (the items stored, the settings not, or some rows):
    // the lock works from what it holds now, never from nothing.
    m_engine.ReloadFromStore();
    if (!m_view)
        return;
    // Where a guard keeps Kestrel, the user may not write the store but the guard may: with the password this
    // window was opened with, and no administrator.
    if (failure.code == platform::kRegAccessDenied) {
        if (const auto answer = SaveThroughGuard(kind)) {
            GuardAnswered(kind, *answer);
            return;
        }
    }
    // OK hid the window: it comes back with every edit as it was, and nothing is loaded over them.
    if (!m_view->IsWindowVisible())
        m_view->ShowWindow(false);
    m_events.Report(platform::EventKind::SaveRefused,
                    {std::string(failure.itemsSaved ? "the settings" : "the locked items") + " could not be written (" +
                     ErrorNumber(static_cast<unsigned long>(failure.code)) +
                     (failure.code == platform::kRegAccessDenied ? ": access denied)." : ").")});
    if (failure.code == platform::kRegAccessDenied) {
        if (m_messageBoxes.Show(Owner(), kAdministratorQuestion, kAppTitle, kAdministratorQuestionStyle) ==
            platform::kIdYes)
            SaveAsAdministrator(kind);
        return;
    }
    const std::string what = failure.itemsSaved
                                 ? "Your changes were not all saved: the locked items were saved, "
                                   "but the password and the settings could not be written"
                                 : "Your changes could not be saved: the locked items could not be written";
    Tell(what + " to the registry (" + ErrorNumber(static_cast<unsigned long>(failure.code)) + ").\n\n" + kChangesKept,
         platform::kMbOk | platform::kMbIconCritical);
}

store::SaveRequest SetupWindow::ChangeToSave(SaveKind kind) {
    // Exactly what this copy's own save would write, through the same store code in the other copy.
    store::SaveRequest request;
    request.items = m_engine.RowsToStore();
    if (kind != SaveKind::Remove)
        request.settings = m_settings.StoredValues();
    return request;
}

std::optional<common::GuardResponse> SetupWindow::SaveThroughGuard(SaveKind kind) {
    return common::AskGuard(m_guard,
                            {common::GuardVerb::Save, m_openingPassword, store::Serialize(ChangeToSave(kind))});
}

void SetupWindow::GuardAnswered(SaveKind kind, const common::GuardResponse& answer) {
    using common::GuardAnswer;
    if (answer.answer == GuardAnswer::Done) {
        // Stored, as by this copy's own save.
        m_events.Report(platform::EventKind::SettingsSaved);
        if (kind == SaveKind::Remove)
            ReloadAfterRemove();
        else
            Reload(true);
        return;
    }
    std::string why;
    switch (answer.answer) {
    case GuardAnswer::WrongPassword:
        why = "Kestrel Guard did not take the password this window was opened with (it was changed meanwhile)";
        break;
    case GuardAnswer::Wait:
        why = "too many wrong passwords were tried here; wait " + std::to_string(answer.value) +
              " seconds, then try again";
        break;
    case GuardAnswer::Failed:
        why = "the registry refused the change, " + ErrorNumber(answer.value);
        break;
    default:
        why = "Kestrel Guard refused the change";
        break;
    }
    if (!m_view->IsWindowVisible())
        m_view->ShowWindow(false);
    const std::string text = "Your changes are not saved: " + why + ".";
    m_events.Report(platform::EventKind::SaveRefused, {text});
    Tell(text + "\n\n" + kChangesKept, platform::kMbOk | platform::kMbIconWarning);
}

void SetupWindow::SaveAsAdministrator(SaveKind kind) {
    const std::vector<std::uint8_t> bytes = store::Serialize(ChangeToSave(kind));
    std::vector<std::uint8_t> digest;
    std::string handOver;
    if (!m_crypto.Sha256(bytes, digest) || (handOver = m_elevation.CreateHandOver(bytes)).empty()) {
        Tell(std::string("Your changes are not saved: Kestrel could not hand them over to a copy with "
                         "administrator rights.\n\n") +
                 kChangesKept,
             platform::kMbOk | platform::kMbIconCritical);
        return;
    }
    // No edits while the copy saves, so that loading what it stored loses none.
    m_saving = true;
    if (m_view)
        m_view->SetEnabled(false);
    m_elevatedRun = m_elevation.StartElevated(
        Owner(), store::SaveCommandLine(handOver, common::ToHex(digest)),
        [this, kind, handOver](const platform::ElevatedRun& run) { AdministratorDone(kind, handOver, run); });
}

void SetupWindow::AdministratorDone(SaveKind kind, const std::string& handOver, const platform::ElevatedRun& run) {
    m_saving = false;
    // The copy deletes the file as it takes it; one that never started did not.
    m_elevation.DeleteHandOver(handOver);
    if (m_view)
        m_view->SetEnabled(true);

    using Outcome = platform::ElevatedRun::Outcome;
    if (run.outcome == Outcome::Exited && run.code == store::kSaved) {
        m_events.Report(platform::EventKind::SettingsSaved);
        if (kind == SaveKind::Remove)
            ReloadAfterRemove();
        else
            Reload(true);
        Tell(kChangesSaved, platform::kMbOk | platform::kMbIconInformation);
        if (kind == SaveKind::Ok && m_view)
            m_view->HideWindow();
        return;
    }
    m_stamps = ReadStoreStamps();
    // The copy may have stopped half-way.
    m_engine.ReloadFromStore();
    std::string why;
    if (run.outcome == Outcome::Declined) {
        why = "Saving as an administrator was cancelled, so your changes are not saved.";
    } else if (run.outcome == Outcome::NotStarted) {
        why = "Kestrel could not be started as an administrator (" + ErrorNumber(run.code) +
              "), so your changes are not saved.";
    } else {
        why = "Your changes are not saved: Kestrel with administrator rights could not save them (" +
              CopyFailure(run.code) + ").";
    }
    m_events.Report(platform::EventKind::SaveRefused, {why});
    Tell(why + "\n\n" + kChangesKept, platform::kMbOk | platform::kMbIconWarning);
}

void SetupWindow::Tell(const std::string& text, unsigned style) {
    m_messageBoxes.Show(Owner(), text, kAppTitle, style);
}

void SetupWindow::WatchStore() {
    TakeSnapshot();
    m_storeWatch =
        m_registry.WatchTree(platform::RegRoot::LocalMachine, store::kStoreKey, [this] { OnStoreChanged(); });
    // A change that landed while start-up loaded the store.
    OnStoreChanged();
}

SetupWindow::StoreStamps SetupWindow::ReadStoreStamps() {
    return {m_registry.LastWriteTime(platform::RegRoot::LocalMachine, store::kLockedItemsKey),
            m_registry.LastWriteTime(platform::RegRoot::LocalMachine, store::kSettingsKey)};
}

void SetupWindow::OnStoreChanged() {
    // The administrator's copy that saves for us is waited for; what it stored is loaded when it ends.
    if (m_saving)
        return;
    // Our own saves change the store too; they are no change made elsewhere.
    const StoreStamps now = ReadStoreStamps();
    if (now == m_stamps)
        return;
    if (!IsVisible() && !HasUnsavedEdits()) {
        // Settings first, then the items, as OK loads them.
        Reload(true);
        return;
    }
    m_stamps = now;
    ApplyStoreToLock();
    m_changedElsewhere = true;
    if (IsVisible())
        TellChangedElsewhere();
}

void SetupWindow::ApplyStoreToLock() {
    m_settings.ApplyStored(!m_passwordEdited);
    m_engine.ReloadFromStore();
}

void SetupWindow::TellChangedElsewhere() {
    m_changedElsewhere = false;
    Tell(kChangedElsewhere, platform::kMbOk | platform::kMbIconInformation);
}

void SetupWindow::ReloadAfterRemove() {
    // Remove stores the rows alone: the rules follow the stored rows and the stored options (not boxes ticked but
    // not saved), and the allow list stays, so that a window given back stays given back.
    m_stamps = ReadStoreStamps();
    m_engine.ReloadFromStore();
    m_stored.rows = Items().Rows();
}

} // namespace setup
