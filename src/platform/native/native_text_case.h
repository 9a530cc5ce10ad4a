#pragma once
#include <locale.h>

#include "platform/text_case.h"

namespace platform::native {

// The C library's Unicode case mapping (the C.UTF-8 locale), one code point for another: the unit tests' stand-in
// for the system's rules.
class NativeTextCase final : public TextCase {
public:
    NativeTextCase();
    ~NativeTextCase() override;
    NativeTextCase(const NativeTextCase&) = delete;
    NativeTextCase& operator=(const NativeTextCase&) = delete;

    void Lower(std::u16string& text) const override;
    void Upper(std::u16string& text) const override;

private:
    locale_t m_locale;
};

} // namespace platform::native
