#include "platform/native/latin1_code_page.h"

#include "platform/utf.h"

namespace platform::native {

std::optional<std::string> Latin1CodePage::Encode(const std::string& utf8) const {
    std::string bytes;
    for (char16_t unit : Utf16(utf8)) {
        if (unit > 0xFF)
            return std::nullopt;
        bytes += static_cast<char>(unit);
    }
    return bytes;
}

} // namespace platform::native
