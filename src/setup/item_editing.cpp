// The editing commands under the locked-item list of the setup window: Add, Change and Remove.
#include "setup/setup_window.h"

#include <optional>

namespace setup {

namespace {

// Change and Remove run step by step: a step that fails is skipped and the next one runs.
template <class Step> void SkipOnFailure(Step&& step) {
    try {
        step();
    } catch (...) {
    }
}

} // namespace

void SetupWindow::cmdadd_Click() {
    OpenAddItemDialog("", -1, false);
}

void SetupWindow::cmdchange_Click() {
    engine::ItemList& items = Items();
    int selected = -1;
    std::string text;
    SkipOnFailure([&] {
        selected = items.Selected();
        if (selected >= 0 && selected < items.Count())
            text = items.Rows()[static_cast<std::size_t>(selected)].text;
    });
    // The row stays in the list while the dialog is open: its OK gives the row the new text and keeps the tick,
    // its Cancel leaves the row as it was.
    OpenAddItemDialog(text, selected, true);
}

void SetupWindow::cmdremove_Click() {
    if (m_saving)
        return;
    engine::ItemList& items = Items();
    std::optional<engine::WatcherPause> pause;
    SkipOnFailure([&] { pause.emplace(m_engine.timerorv()); });
    SkipOnFailure([&] {
        const int selected = items.Selected();
        if (selected >= 0)
            items.Remove(selected);
    });
    store::Status saved;
    SkipOnFailure([&] { saved = m_engine.SaveWindows(); });
    SkipOnFailure([&] { m_stamps = ReadStoreStamps(); });
    if (saved) {
        SkipOnFailure([&] { m_events.Report(platform::EventKind::SettingsSaved); });
        // The save empties the rule list; building it again straight away keeps locking going.
        SkipOnFailure([&] { ReloadAfterRemove(); });
        return; // the watcher runs again when the pause ends, whichever steps failed
    }
    // Not stored: the row stays out of the list, nothing is loaded over it, and the watcher runs again before
    // the user is asked.
    pause.reset();
    ReportFailure(SaveKind::Remove, SaveFailure{false, saved.code});
}

void SetupWindow::OpenAddItemDialog(const std::string& text, int changedRow, bool skipFailures) {
    if (!m_view)
        return;
    auto create = [&] {
        m_addItem.reset();
        m_addItem =
            std::make_unique<AddItemDialog>(Items(), m_engine.timerorv(), m_messageBoxes, m_textCase, OwnerEnabler());
        m_addItem->Create(m_view->CreateAddItemView(*m_addItem));
    };
    auto fill = [&] {
        if (!m_addItem)
            return;
        m_addItem->ChangeRow(changedRow);
        if (!text.empty())
            m_addItem->SetText(text);
    };
    auto show = [&] {
        if (m_addItem)
            m_addItem->Show();
    };
    if (!skipFailures) {
        create();
        show();
        return;
    }
    SkipOnFailure(create);
    SkipOnFailure(fill);
    SkipOnFailure(show);
}

} // namespace setup
