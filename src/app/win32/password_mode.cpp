#include "app/win32/password_mode.h"

#include <cstring>

#include "app/win32/main_window.h"
#include "app/win32/password_console.h"
#include "gate/win32/set_password_view.h"
#include "platform/win32/win32_crypto.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_message_box.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_text_case.h"
#include "platform/win32/win32_trace.h"
#include "store/registry.h"

namespace app::win32 {

namespace {

using platform::win32::TraceLastError;

constexpr int kClipboardTries = 5;
constexpr DWORD kClipboardRetryMs = 100;

// The set-password dialog on its own, without an owner: the only window of the process, so it has a taskbar button
// and comes up in front of the installer that started it. True once its OK has put a new password in force.
bool AskNewPassword(HINSTANCE instance, common::Password& password, const platform::TextCase& textCase) {
    bool set = false;
    gate::SetPasswordDialog dialog(password, textCase, nullptr, [&set] { set = true; });
    auto view = std::make_unique<gate::win32::SetPasswordView>(nullptr, instance, dialog);
    if (!view->Created())
        return false; // traced where the system refused the window
    dialog.Create(std::move(view));
    dialog.Show();
    common::DeferredWork later; // nothing posts work here; the loop wants one
    int exitCode = 0;
    while (dialog.IsOpen() && PumpOneMessage(later, exitCode)) {
    }
    return set;
}

// Another program (a clipboard viewer, a remote desktop) may hold the clipboard open for a moment.
bool OpenClipboardSoon(HWND owner) noexcept {
    for (int attempt = 1;; ++attempt) {
        if (::OpenClipboard(owner))
            return true;
        if (attempt == kClipboardTries) {
            TraceLastError("OpenClipboard");
            return false;
        }
        ::Sleep(kClipboardRetryMs);
    }
}

// The text on the clipboard as Unicode text. The system takes data only from a clipboard opened by a window: a
// hidden one of ours, whose going leaves the data there.
bool CopyToClipboard(HINSTANCE instance, const std::string& text) {
    const std::wstring wide = platform::win32::Wide(text);
    const std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
    platform::win32::UniqueGlobal memory(::GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!memory) {
        TraceLastError("GlobalAlloc");
        return false;
    }
    void* data = ::GlobalLock(memory.get());
    if (!data) {
        TraceLastError("GlobalLock");
        return false;
    }
    std::memcpy(data, wide.c_str(), bytes);
    ::GlobalUnlock(memory.get());

    const platform::win32::UniqueHwnd owner = platform::win32::MakeHiddenOwner(instance, L"KestrelClipboardOwner");
    if (!owner || !OpenClipboardSoon(owner.get()))
        return false;
    bool copied = false;
    if (!::EmptyClipboard()) {
        TraceLastError("EmptyClipboard");
    } else if (!::SetClipboardData(CF_UNICODETEXT, memory.get())) {
        TraceLastError("SetClipboardData");
    } else {
        (void)memory.release(); // the system's from now on
        copied = true;
    }
    if (!::CloseClipboard())
        TraceLastError("CloseClipboard");
    return copied;
}

} // namespace

int RunPasswordMode(HINSTANCE instance, app::PasswordMode mode) {
    try {
        platform::win32::Win32Crypto crypto;
        platform::win32::Win32TextCase textCase;
        platform::win32::Win32MessageBoxes messageBoxes;
        common::Password password(crypto);
        const auto ask = [&] { return AskNewPassword(instance, password, textCase); };
        switch (mode) {
        case app::PasswordMode::SetPassword:
        case app::PasswordMode::SetPasswordAlways: {
            platform::win32::Win32Registry api;
            store::Registry registry{api};
            return app::SetStoredPassword(mode == app::PasswordMode::SetPasswordAlways, registry, password, ask,
                                          messageBoxes);
        }
        case app::PasswordMode::Hash: {
            Win32PasswordConsole console;
            if (console.Attached())
                return app::HashInConsole(console, password, textCase);
            return app::HashToClipboard(
                password, ask, [instance](const std::string& form) { return CopyToClipboard(instance, form); },
                messageBoxes);
        }
        default:
            return app::kPasswordBadCommandLine;
        }
    } catch (...) {
        platform::win32::TraceException("RunPasswordMode");
        // Whoever typed a password must not take it for stored or copied.
        if (!::MessageBoxW(nullptr, L"Kestrel stopped before it was done: nothing was saved or copied.", L"Kestrel",
                           MB_OK | MB_ICONERROR | MB_SETFOREGROUND))
            TraceLastError("MessageBoxW");
        return app::kPasswordFailed;
    }
}

} // namespace app::win32
