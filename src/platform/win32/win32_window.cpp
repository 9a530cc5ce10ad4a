#include "platform/win32/win32_window.h"

#include "platform/win32/win32_trace.h"

namespace platform::win32 {

MessageWindow::~MessageWindow() {
    if (HWND window = m_window.get()) {
        ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        m_window.reset();
    }
}

bool MessageWindow::Create(HINSTANCE instance, const char* className, const Shape& shape) noexcept {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &MessageWindow::WindowProc;
    wc.hInstance = instance;
    wc.hIcon = shape.icon;
    wc.hIconSm = shape.smallIcon;
    wc.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = shape.background;
    wc.lpszClassName = className;
    if (!::RegisterClassExA(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        TraceLastError("RegisterClassExA");
        return false;
    }
    // The window is noted at WM_NCCREATE, before CreateWindowEx returns.
    if (!::CreateWindowExA(shape.exStyle, className, shape.title, shape.style, shape.x, shape.y, shape.width,
                           shape.height, shape.parent, nullptr, instance, this)) {
        TraceLastError("CreateWindowExA");
        return false;
    }
    return true;
}

bool MessageWindow::CreateMessageOnly(const char* className) noexcept {
    Shape shape;
    shape.parent = HWND_MESSAGE;
    return Create(::GetModuleHandleA(nullptr), className, shape);
}

LRESULT MessageWindow::Default(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return ::DefWindowProcA(m_window.get(), message, wParam, lParam);
}

LRESULT CALLBACK MessageWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<MessageWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->m_window.reset(window);
    }
    auto* self = reinterpret_cast<MessageWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self)
        return ::DefWindowProcA(window, message, wParam, lParam);
    LRESULT result = 0;
    try {
        result = self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        TraceException("a window procedure");
        result = self->AfterException(message);
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        (void)self->m_window.release();
    }
    return result;
}

} // namespace platform::win32
