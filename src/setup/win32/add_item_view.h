#pragma once
#include <windows.h>

#include "platform/win32/win32_dialog.h"
#include "setup/add_item_dialog.h"

namespace setup::win32 {

// The add-item dialog `frmadd` as a modeless dialog of the one message loop, owned by the setup window.
class AddItemView final : public setup::AddItemView, public platform::win32::ModelessDialog {
public:
    AddItemView(HWND owner, HINSTANCE instance, AddItemDialog& presenter);

    platform::WindowId Handle() const override;
    std::string Text() const override;
    void SetText(const std::string& text) override;
    void SetCaretToEnd() override;
    bool ConvertChecked() const override;
    void SetInstruction(const std::string& text) override;
    void Show() override;
    void Close() override;

private:
    void OnCreated() override;
    bool OnCommand(int id, int code) override;
    void OnCloseBox() override;
    void OnDestroy() override;

    AddItemDialog& m_presenter;
    HWND m_label2 = nullptr; // the children belong to the dialog
    HWND m_txtwindow = nullptr;
    HWND m_chkconvert = nullptr;
};

} // namespace setup::win32
