#pragma once
#include "platform/message_box.h"

namespace platform::win32 {

class Win32MessageBoxes final : public MessageBoxes {
public:
    int Show(WindowId owner, const std::string& text, const std::string& caption, unsigned style) override;
};

} // namespace platform::win32
