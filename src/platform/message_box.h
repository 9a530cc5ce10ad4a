#pragma once
#include <string>

#include "platform/types.h"

namespace platform {

constexpr unsigned kMbOk = 0x0;
constexpr unsigned kMbOkCancel = 0x1;
constexpr unsigned kMbYesNo = 0x4;
constexpr unsigned kMbIconCritical = 0x10;
constexpr unsigned kMbIconWarning = 0x30;
constexpr unsigned kMbIconInformation = 0x40;
constexpr unsigned kMbDefButton1 = 0x0;
// In front even when the program has no other window left to be active (MB_SETFOREGROUND).
constexpr unsigned kMbSetForeground = 0x10000;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// MessageBoxW: blocks the caller's handler until answered (a nested message loop keeps other windows alive).
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual int Show(WindowId owner, const std::string& text, const std::string& caption, unsigned style) = 0;
};

} // namespace platform
