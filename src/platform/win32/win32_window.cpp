#include "platform/win32/win32_window.h"

#include "platform/win32/win32_text.h"
#include "platform/win32/win32_trace.h"

namespace platform::win32 {

MessageWindow::~MessageWindow() {
    if (HWND window = m_window.get()) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        m_window.reset();
    }
}

bool MessageWindow::Create(HINSTANCE instance, const wchar_t* className, const Shape& shape) noexcept {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &MessageWindow::WindowProc;
    wc.hInstance = instance;
    wc.hIcon = shape.icon;
    wc.hIconSm = shape.smallIcon;
    wc.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = shape.background;
    wc.lpszClassName = className;
    if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        TraceLastError("RegisterClassExW");
        return false;
    }
    try {
        // The window is noted at WM_NCCREATE, before CreateWindowEx returns.
        if (!::CreateWindowExW(shape.exStyle, className, Wide(shape.title).c_str(), shape.style, shape.x, shape.y,
                               shape.width, shape.height, shape.parent, nullptr, instance, this)) {
            TraceLastError("CreateWindowExW");
            return false;
        }
    } catch (...) {
        TraceException("MessageWindow::Create");
        return false;
    }
    return true;
}

bool MessageWindow::CreateMessageOnly(const wchar_t* className) noexcept {
    Shape shape;
    shape.parent = HWND_MESSAGE;
    return Create(::GetModuleHandleW(nullptr), className, shape);
}

LRESULT MessageWindow::Default(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    return ::DefWindowProcW(m_window.get(), message, wParam, lParam);
}

LRESULT CALLBACK MessageWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<MessageWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->m_window.reset(window);
    }
    auto* self = reinterpret_cast<MessageWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return ::DefWindowProcW(window, message, wParam, lParam);
    LRESULT result = 0;
    try {
        result = self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        TraceException("a window procedure");
        result = self->AfterException(message);
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        (void)self->m_window.release();
    }
    return result;
}

} // namespace platform::win32
