#pragma once
#include <windows.h>

#include "platform/text_case.h"

namespace platform::win32 {

// Letter case by the system's tables for the user's locale (LCMapStringEx, without the linguistic rules that would
// make the mapping depend on the language: the same text folds the same way on every machine).
class Win32TextCase final : public TextCase {
public:
    void Lower(std::u16string& text) const override;
    void Upper(std::u16string& text) const override;
};

} // namespace platform::win32
