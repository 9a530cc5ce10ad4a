#pragma once
#include <functional>
#include <memory>
#include <string>

#include "common/modal_state.h"
#include "engine/locked_items.h"
#include "platform/message_box.h"
#include "platform/text_case.h"
#include "platform/timer.h"

namespace setup {

// The instruction line of the add-item dialog, and what it says when the program's own caption is refused.
constexpr const char* kAddItemInstruction =
    "Type a keyword for web pages you want to password protect, e.g. Crime, Drugs, Sex.";
constexpr const char* kAddItemRefusal = "Sorry, you cannot lock this, it's used by this program.";
// And what it says to a text that the store could not give back as it was typed.
constexpr const char* kAddItemTooLong = "Sorry, you cannot lock this, it's longer than 1022 characters.";

// The window of the add-item dialog `frmadd`, as its presenter sees it.
class AddItemView {
public:
    virtual ~AddItemView() = default;
    virtual platform::WindowId Handle() const = 0;            // owner of the dialog's message boxes
    virtual std::string Text() const = 0;                     // txtwindow, exactly as shown
    virtual void SetText(const std::string& text) = 0;        // raises txtwindow_Change like typing does
    virtual void SetCaretToEnd() = 0;                         // insertion point at the text's length, nothing selected
    virtual bool ConvertChecked() const = 0;                  // chkconvert
    virtual void SetInstruction(const std::string& text) = 0; // Label2
    virtual void Show() = 0;                                  // centred, focus in txtwindow
    // Destroys the window; the view then reports Form_Unload (which finds the dialog already closed).
    virtual void Close() = 0;
};

// The add-item dialog `frmadd`: one locked item typed (optionally in title case) and added as a new, unticked
// row of `listwindows`, or, opened on a row to change it, given to that row. It disables the setup window while it
// exists and enables it on every way it closes.
class AddItemDialog {
public:
    AddItemDialog(engine::ItemList& listwindows, platform::Timer& timerorv, platform::MessageBoxes& messageBoxes,
                  const platform::TextCase& textCase, std::function<void(bool)> setOwnerEnabled);
    AddItemDialog(const AddItemDialog&) = delete;
    AddItemDialog& operator=(const AddItemDialog&) = delete;

    // Creating the dialog disables the setup window. The view starts hidden with an empty text box, an
    // unticked check box and the instruction line.
    void Create(std::unique_ptr<AddItemView> view);
    void SetText(const std::string& text);
    // Opened to change this row of listwindows: OK gives the row the text and it keeps its tick; Cancel leaves it.
    void ChangeRow(int index);
    void Show();
    bool IsOpen() const { return m_modal.IsOpen(); }

    // Handlers of the dialog's controls.
    void cmdok_Click();
    void cmdexit_Click();
    void chkconvert_Click();
    void txtwindow_Change();
    // The window closes or is destroyed by any way (close box, owner going away).
    void Form_Unload();

private:
    void ConvertIfTicked();
    void Convert();
    void ReportFailure(const char* description);
    void CloseDialog();
    // Gives the changed row the text; false when the dialog changes no row, or that row is no longer there.
    bool ReplaceChangedRow(const std::string& text);

    engine::ItemList& m_listwindows;
    platform::Timer& m_timerorv;
    platform::MessageBoxes& m_messageBoxes;
    const platform::TextCase& m_textCase;
    std::unique_ptr<AddItemView> m_view;
    // After the view: a dialog destroyed while open still gives the setup window back, before its window goes.
    common::ModalState m_modal;
    bool m_converting = false; // writing the converted text back raises the change handler again
    int m_changedRow = -1;     // the row being changed, -1 when adding
    std::string m_changedText; // its text when the dialog opened
};

} // namespace setup
