#include "app/win32/main_window.h"

#include "platform/win32/win32_trace.h"
#include "platform/win32/win32_ui.h"
#include "resource.h"

namespace app::win32 {

namespace {

using platform::win32::TraceException;
using platform::win32::TraceLastError;

// The window's client area in twips, scaled to the screen's resolution.
constexpr int kClientWidthTwips = 6300;
constexpr int kClientHeightTwips = 4335;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

// The program's icon at the given size (0: the system's default size); shared, never destroyed.
HICON LoadProgramIcon(HINSTANCE instance, int size, UINT flags) {
    auto icon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_KESTREL), IMAGE_ICON, size, size, flags | LR_SHARED));
    if (!icon)
        TraceLastError("LoadImageW");
    return icon;
}

} // namespace

MainWindow::MainWindow(HINSTANCE instance) {
    m_icon = LoadProgramIcon(instance, 0, LR_DEFAULTSIZE);
    const int dpi = platform::win32::ScreenDpi();
    RECT rect{0, 0, platform::win32::FromTwips(kClientWidthTwips, dpi),
              platform::win32::FromTwips(kClientHeightTwips, dpi)};
    AdjustWindowRectEx(&rect, kStyle, FALSE, kExStyle);
    Shape shape;
    shape.title = engine::kStartingCaption; // start-up renames the first instance's
    shape.style = kStyle;
    shape.exStyle = kExStyle;
    shape.x = shape.y = CW_USEDEFAULT;
    shape.width = rect.right - rect.left;
    shape.height = rect.bottom - rect.top;
    shape.icon = m_icon;
    shape.smallIcon = LoadProgramIcon(instance, 16, 0);
    shape.background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    Create(instance, kClassName, shape);
}

MainWindow::~MainWindow() = default;

void MainWindow::SetCaption(const std::string& caption) {
    if (Handle())
        platform::win32::SetText(Handle(), caption);
}

void MainWindow::RemoveCloseFromSystemMenu() {
    HMENU menu = GetSystemMenu(Handle(), FALSE);
    if (!menu) {
        TraceLastError("GetSystemMenu");
        return;
    }
    // By its command, not its place: the shape of the window menu is the system's to choose.
    if (!RemoveMenu(menu, SC_CLOSE, MF_BYCOMMAND))
        TraceLastError("RemoveMenu");
}

bool MainWindow::ProcessMessages() {
    int exitCode = 0;
    if (PumpOneMessage(m_later, exitCode))
        return true;
    PostQuitMessage(exitCode); // keep the quit for the outer loop
    return false;
}

void MainWindow::Unload() {
    Close(app::CloseReason::OwnCode);
}

void MainWindow::EndProcess(int exitCode) {
    ExitProcess(static_cast<UINT>(exitCode));
}

void MainWindow::Close(app::CloseReason reason) noexcept {
    if (m_closing)
        return;
    m_closing = true;
    try {
        if (m_programReady)
            OnClose(reason);
    } catch (...) {
        TraceException("the main window's close");
    }
    // The close goes ahead: with the main window the program ends.
    if (Handle())
        DestroyWindow(Handle());
}

LRESULT MainWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (m_programReady && OnProgramMessage(msg, wParam, lParam, result))
        return result;
    switch (msg) {
    case WM_CLOSE:
        // The user's close command, the task manager, an owner closing.
        Close(app::CloseReason::Other);
        return 0;
    case WM_QUERYENDSESSION:
        // Windows asks every top-level window, by sending; a message merely posted by a program is no question.
        if ((InSendMessageEx(nullptr) & ISMEX_SEND) != 0)
            m_sessionEnding = true;
        return TRUE;
    case WM_ENDSESSION:
        // The session ends only after Windows asked, or while it shuts down: any program may post this message.
        if (!wParam)
            m_sessionEnding = false; // called off
        else if (m_sessionEnding || GetSystemMetrics(SM_SHUTTINGDOWN) != 0)
            Close(app::CloseReason::WindowsShutdown);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return Default(msg, wParam, lParam);
    }
}

bool PumpOneMessage(common::DeferredWork& later, int& exitCode) {
    MSG msg;
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1)
        TraceLastError("GetMessageW");
    if (got == 0 || got == -1) {
        exitCode = got == 0 ? static_cast<int>(msg.wParam) : 1;
        return false;
    }
    // The system sends WM_DPICHANGED, never posts it: a posted one comes from another program, with a pointer that
    // means nothing here.
    if (msg.message == WM_DPICHANGED)
        return true;
    {
        // Whatever this message's handler posts, or a loop it opens dispatches, waits until it is done.
        common::DeferredWork::Dispatch dispatching(later);
        HWND active = GetActiveWindow();
        if (!active || !IsDialogMessageW(active, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    try {
        later.RunIfIdle();
    } catch (...) {
        TraceException("the main loop's posted work");
    }
    return true;
}

} // namespace app::win32
