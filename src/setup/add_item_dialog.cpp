#include "setup/add_item_dialog.h"

#include <exception>

#include "engine/lock_engine.h"
#include "setup/title_case.h"
#include "setup/vendor.h"

namespace setup {

AddItemDialog::AddItemDialog(engine::ItemList& listwindows, platform::Timer& timerorv,
                             platform::MessageBoxes& messageBoxes, std::function<void(bool)> setOwnerEnabled)
    : m_listwindows(listwindows), m_timerorv(timerorv), m_messageBoxes(messageBoxes),
      m_setOwnerEnabled(std::move(setOwnerEnabled)) {}

AddItemDialog::~AddItemDialog() {
    if (m_open && m_setOwnerEnabled)
        m_setOwnerEnabled(true);
}

void AddItemDialog::Create(std::unique_ptr<AddItemView> view) {
    m_view = std::move(view);
    if (!m_view)
        return;
    m_open = true;
    if (m_setOwnerEnabled)
        m_setOwnerEnabled(false);
}

void AddItemDialog::SetText(const std::string& text) {
    if (m_open)
        m_view->SetText(text);
}

void AddItemDialog::Show() {
    if (m_open)
        m_view->Show();
}

void AddItemDialog::cmdok_Click() {
    if (!m_open)
        return;
    const std::string text = m_view->Text();
    // Only the exact caption of the running copy is refused: the watcher finds the setup window by it.
    if (text == engine::kRunningCaption) {
        m_view->SetInstruction(kAddItemRefusal);
        return;
    }
    if (text.empty())
        return;
    m_timerorv.SetEnabled(false);
    m_listwindows.Add(text, false);
    m_timerorv.SetEnabled(true);
    CloseDialog();
}

void AddItemDialog::cmdexit_Click() {
    if (m_open)
        CloseDialog();
}

void AddItemDialog::chkconvert_Click() {
    if (!m_open)
        return;
    try {
        if (m_view->ConvertChecked())
            Convert();
    } catch (const std::exception& e) {
        ReportFailure(e.what());
    }
}

void AddItemDialog::txtwindow_Change() {
    if (!m_open || m_converting)
        return;
    try {
        if (m_view->ConvertChecked())
            Convert();
    } catch (const std::exception& e) {
        ReportFailure(e.what());
    }
}

void AddItemDialog::Form_Unload() {
    if (!m_open)
        return;
    m_open = false;
    if (m_setOwnerEnabled)
        m_setOwnerEnabled(true);
}

void AddItemDialog::Convert() {
    struct Guard {
        bool& flag;
        explicit Guard(bool& f) : flag(f) { flag = true; }
        ~Guard() { flag = false; }
    } guard(m_converting);
    const std::string text = m_view->Text();
    const std::string converted = ToTitleCase(text);
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
    m_open = false;
    if (m_setOwnerEnabled)
        m_setOwnerEnabled(true);
    m_view->Close();
}

} // namespace setup
