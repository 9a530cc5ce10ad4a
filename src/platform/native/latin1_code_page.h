#pragma once
#include "platform/ansi_code_page.h"

namespace platform::native {

// ISO 8859-1, the code page of the unit tests: every character up to U+00FF is its own byte.
class Latin1CodePage final : public AnsiCodePage {
public:
    std::optional<std::string> Encode(const std::string& utf8) const override;
};

} // namespace platform::native
