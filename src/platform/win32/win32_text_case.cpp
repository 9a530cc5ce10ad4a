#include "platform/win32/win32_text_case.h"

#include "platform/win32/win32_trace.h"

namespace platform::win32 {

namespace {

void Map(std::u16string& text, DWORD flags) {
    if (text.empty() || text.size() > 0x7FFFFFFF)
        return;
    auto* data = reinterpret_cast<wchar_t*>(text.data());
    const int length = static_cast<int>(text.size());
    // Case mapping keeps the length, so the text is mapped in place.
    if (::LCMapStringEx(LOCALE_NAME_USER_DEFAULT, flags, data, length, data, length, nullptr, nullptr, 0) == 0)
        TraceLastError("LCMapStringEx");
}

} // namespace

void Win32TextCase::Lower(std::u16string& text) const {
    Map(text, LCMAP_LOWERCASE);
}

void Win32TextCase::Upper(std::u16string& text) const {
    Map(text, LCMAP_UPPERCASE);
}

} // namespace platform::win32
