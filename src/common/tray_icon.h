#pragma once

namespace common {

// Puts the program's icon into the notification area (and takes it away).
class TrayIcon {
public:
    virtual ~TrayIcon() = default;
    virtual void AddTrayIcon() = 0;
    virtual void DeleteTrayIcon() = 0;
};

} // namespace common
