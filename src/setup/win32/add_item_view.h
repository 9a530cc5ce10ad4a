#pragma once
#include <windows.h>

#include "setup/add_item_dialog.h"

namespace setup::win32 {

// The add-item dialog `frmadd` as a modeless dialog of the one message loop, owned by the setup window.
class AddItemView final : public setup::AddItemView {
public:
    AddItemView(HWND owner, HINSTANCE instance, AddItemDialog& presenter);
    ~AddItemView() override;
    AddItemView(const AddItemView&) = delete;
    AddItemView& operator=(const AddItemView&) = delete;

    bool Created() const { return m_window != nullptr; }

    platform::WindowId Handle() const override;
    std::string Text() const override;
    void SetText(const std::string& text) override;
    void SetCaretToEnd() override;
    bool ConvertChecked() const override;
    void SetInstruction(const std::string& text) override;
    void Show() override;
    void Close() override;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void CreateControls() noexcept;

    HINSTANCE m_instance;
    AddItemDialog* m_presenter; // null once the view lets go of it
    HWND m_window = nullptr;    // destroyed by Close or by the owner; this object outlives it
    HWND m_label2 = nullptr;
    HWND m_txtwindow = nullptr;
    HWND m_chkconvert = nullptr;
};

} // namespace setup::win32
