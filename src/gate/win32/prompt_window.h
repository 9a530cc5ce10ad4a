#pragma once
#include <windows.h>

#include <memory>

#include "gate/prompt_view.h"
#include "platform/win32/win32_handles.h"

namespace gate::win32 {

using platform::win32::UniqueHwnd;
using platform::win32::UniqueIcon;

// One position of the layout, in pixels at 96 dots per inch.
struct ControlLayout {
    int id;
    const char* name;
    int left, top, width, height;
};

// The prompt's layout, to be held against its documented table. Client area 402 x 74.
constexpr int kPromptClientWidth = 402;
constexpr int kPromptClientHeight = 74;
constexpr int kIdImage1 = 100;
constexpr int kIdLblwindow = 101;
constexpr int kIdTxtpassword = 102;
constexpr ControlLayout kPromptLayout[] = {
    {kIdImage1, "Image1", 8, 16, 32, 32},
    {kIdLblwindow, "lblwindow", 48, 8, 257, 33},
    {kIdTxtpassword, "txtpassword", 48, 40, 185, 20},
    {IDOK, "OKButton", 312, 8, 81, 25},
    {IDCANCEL, "CancelButton", 312, 38, 81, 25},
};
constexpr const char* kPasswordTooltip = "Password's are case sensitive";
constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kTimer1Ms = 1000;

// The password prompt window: a modeless dialog (so the program's loop gives it Tab, Enter and Escape through
// IsDialogMessage), topmost, kept out of the taskbar by a hidden owner. It lives from the presenter's creation
// of it until Close(); the window itself is destroyed a moment later by a message it posts to itself, so that
// closing from inside one of its own button handlers is safe.
class Win32PromptView final : public PromptView {
public:
    Win32PromptView(HINSTANCE instance, HWND owner, PromptViewEvents& events);
    ~Win32PromptView() override;
    Win32PromptView(const Win32PromptView&) = delete;
    Win32PromptView& operator=(const Win32PromptView&) = delete;

    bool Created() const { return m_dialog != nullptr; }
    HWND Handle() const { return m_dialog.get(); }

    void MakeTopmost() override;
    void SetCaption(const std::string& caption) override;
    void SetLabel(const std::string& text) override;
    std::string PasswordText() override;
    void HideControl(PromptControl control) override;
    void Show() override;
    void RestartRefreshTimer() override;
    void Close() override;

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
    INT_PTR HandleMessage(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
    void OnInitDialog(HWND dialog) noexcept;
    void OnCommand(int id, int code) noexcept;
    void AddTooltip() noexcept;
    void WipePasswordBox() noexcept;
    // Cuts the window off from this object and lets it destroy itself from the message loop.
    void Detach() noexcept;
    HWND Control(PromptControl control) const noexcept;

    HINSTANCE m_instance;
    PromptViewEvents* m_events; // nullptr once closed: no event goes out after Close()
    UniqueIcon m_globe;         // declared before the window: it outlives the picture that shows it
    UniqueHwnd m_dialog;
    UniqueHwnd m_tooltip;
    HWND m_image = nullptr; // the children belong to the dialog
    HWND m_label = nullptr;
    HWND m_password = nullptr;
    HWND m_ok = nullptr;
    HWND m_cancel = nullptr;
    bool m_shown = false;
};

// Makes the prompt windows, and owns the hidden window that keeps them out of the taskbar.
class Win32PromptViewFactory final : public PromptViewFactory {
public:
    explicit Win32PromptViewFactory(HINSTANCE instance);
    ~Win32PromptViewFactory() override;
    Win32PromptViewFactory(const Win32PromptViewFactory&) = delete;
    Win32PromptViewFactory& operator=(const Win32PromptViewFactory&) = delete;

    std::unique_ptr<PromptView> CreatePromptView(PromptViewEvents& events) override;

private:
    HWND Owner();

    HINSTANCE m_instance;
    UniqueHwnd m_owner;
};

} // namespace gate::win32
