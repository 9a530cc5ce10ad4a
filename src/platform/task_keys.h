#pragma once

namespace platform {

// The system-wide task-key lock (SystemParametersInfoW, SPI_SETSCREENSAVERRUNNING).
class TaskKeys {
public:
    virtual ~TaskKeys() = default;
    virtual void SetLocked(bool locked) = 0;
};

} // namespace platform
