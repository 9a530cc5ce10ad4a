#pragma once
#include "platform/task_keys.h"

namespace platform::win32 {

// SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING): on the older Windows family this blocks Ctrl+Alt+Del and
// the task-switching keys; elsewhere it is harmless.
class Win32TaskKeys final : public TaskKeys {
public:
    void SetLocked(bool locked) override;
};

} // namespace platform::win32
