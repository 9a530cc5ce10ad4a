#pragma once
#include <windows.h>

#include <memory>

#include "gate/prompt_view.h"
#include "platform/win32/win32_dialog.h"
#include "platform/win32/win32_handles.h"

namespace gate::win32 {

// The password prompt window `frmpassword`: a modeless dialog of the one message loop, topmost, kept out of the
// taskbar by a hidden owner. It lives from the presenter's creation of it until Close(); Close() lets go of the
// window, which destroys itself a moment later from the message loop, so that closing from inside one of its
// own button handlers is safe.
class Win32PromptView final : public PromptView, public platform::win32::ModelessDialog {
public:
    Win32PromptView(HINSTANCE instance, HWND owner, PromptViewEvents& events);
    ~Win32PromptView() override;

    void MakeTopmost() override;
    void SetCaption(const std::string& caption) override;
    void SetLabel(const std::string& text) override;
    std::string PasswordText() override;
    void HideControl(PromptControl control) override;
    void FocusControl(PromptControl control) override;
    bool Show() override;
    void CentreOn(platform::WindowId window) override;
    void Flash() override;
    void RestartRefreshTimer() override;
    void Close() override;

private:
    void OnCreated() override;
    bool OnCommand(int id, int code) override;
    void OnCloseBox() override;
    bool OnTimer(UINT_PTR id) override;
    bool OnActivated() override;
    void OnDestroy() override;
    void OnDpiChanged(int dpi) override;
    // The globe at the window's resolution, in its place.
    void ShowGlobe();
    void WipePasswordBox() noexcept;
    // Wipes the box and lets go of the window, which goes from the message loop.
    void Discard() noexcept;
    void ForgetControls() noexcept;
    HWND Control(PromptControl control) const noexcept;

    HINSTANCE m_instance;
    PromptViewEvents* m_events; // nullptr once closed: no event goes out after Close()
    // Taken off the picture before the window is let go of: it may go with this object while the window stays a
    // moment longer.
    platform::win32::UniqueIcon m_globe;
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
    platform::win32::UniqueHwnd m_owner;
};

} // namespace gate::win32
