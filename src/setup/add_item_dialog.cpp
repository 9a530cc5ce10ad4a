#include "setup/add_item_dialog.h"

#include <exception>

#include "common/scoped_flag.h"
#include "engine/lock_engine.h"
#include "platform/utf.h"
#include "setup/title_case.h"
#include "setup/vendor.h"

namespace setup {

static_assert(engine::kMaxItemText == 1022, "the refusal names the limit");

AddItemDialog::AddItemDialog(engine::ItemList& listwindows, platform::Timer& timerorv,
                             platform::MessageBoxes& messageBoxes, const platform::TextCase& textCase,
                             std::function<void(bool)> setOwnerEnabled)
    : m_listwindows(listwindows), m_timerorv(timerorv), m_messageBoxes(messageBoxes), m_textCase(textCase),
      m_modal(std::move(setOwnerEnabled)) {}

void AddItemDialog::Create(std::unique_ptr<AddItemView> view) {
    m_view = std::move(view);
    if (m_view)
        m_modal.Open();
}

void AddItemDialog::SetText(const std::string& text) {
    if (m_modal.IsOpen())
        m_view->SetText(text);
}

void AddItemDialog::ChangeRow(int index) {
    if (index < 0 || index >= m_listwindows.Count())
        return;
    m_changedRow = index;
    m_changedText = m_listwindows.Rows()[static_cast<std::size_t>(index)].text;
}

bool AddItemDialog::ReplaceChangedRow(const std::string& text) {
    // The setup window is disabled while the dialog is open, so the row is where it was; should the list have
    // changed all the same, the text is added as a new row rather than given to another one.
    if (m_changedRow < 0 || m_changedRow >= m_listwindows.Count() ||
        m_listwindows.Rows()[static_cast<std::size_t>(m_changedRow)].text != m_changedText)
        return false;
    m_listwindows.Replace(m_changedRow, text);
    return true;
}

void AddItemDialog::Show() {
    if (m_modal.IsOpen())
        m_view->Show();
}

void AddItemDialog::cmdok_Click() {
    if (!m_modal.IsOpen())
        return;
    const std::string text = m_view->Text();
    // Only the exact caption of the running copy is refused: the watcher finds the setup window by it.
    if (text == engine::kRunningCaption) {
        m_view->SetInstruction(kAddItemRefusal);
        return;
    }
    if (text.empty())
        return;
    // What the store cannot give back as typed is refused: a longer text reads back empty and goes at the next
    // save. The store counts characters as the system does, in UTF-16 units.
    if (platform::Utf16Length(text) > engine::kMaxItemText) {
        m_view->SetInstruction(kAddItemTooLong);
        return;
    }
    {
        engine::WatcherPause pause(m_timerorv);
        if (!ReplaceChangedRow(text))
            m_listwindows.Add(text, false);
    }
    CloseDialog();
}

void AddItemDialog::cmdexit_Click() {
    if (m_modal.IsOpen())
        CloseDialog();
}

void AddItemDialog::chkconvert_Click() {
    if (m_modal.IsOpen())
        ConvertIfTicked();
}

void AddItemDialog::txtwindow_Change() {
    if (m_modal.IsOpen() && !m_converting)
        ConvertIfTicked();
}

void AddItemDialog::ConvertIfTicked() {
    // The two title-case handlers report their own failures; the text stays as it was when one happened.
    try {
        if (m_view->ConvertChecked())
            Convert();
    } catch (const std::exception& e) {
        ReportFailure(e.what());
    }
}

void AddItemDialog::Form_Unload() {
    m_modal.Close();
}

void AddItemDialog::Convert() {
    const common::ScopedFlag converting(m_converting);
    const std::string text = m_view->Text();
    const std::string converted = ToTitleCase(text, m_textCase);
    // Converting converted text gives the same text, so writing it back only when it differs saves a
    // second, empty pass; the caret goes to the end either way.
    if (converted != text)
        m_view->SetText(converted);
    m_view->SetCaretToEnd();
}

void AddItemDialog::ReportFailure(const char* description) {
    const std::string text = std::string(description) + ". Please email this to " + kSupportAddress + ".";
    m_messageBoxes.Show(m_view->Handle(), text, kAppTitle, platform::kMbIconCritical | platform::kMbOk);
}

void AddItemDialog::CloseDialog() {
    // The setup window is enabled before the dialog goes, so that the system activates it, not another program.
    m_modal.Close();
    m_view->Close();
}

} // namespace setup
