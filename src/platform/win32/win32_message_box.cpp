#include "platform/win32/win32_message_box.h"

#include <windows.h>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace platform::win32 {

int Win32MessageBoxes::Show(WindowId owner, const std::string& text, const std::string& caption, unsigned style) {
    return ::MessageBoxW(ToHwnd(owner), Wide(text).c_str(), Wide(caption).c_str(), style);
}

} // namespace platform::win32
