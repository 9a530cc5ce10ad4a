#pragma once
#include "common/shared_state.h"
#include "common/tray_icon.h"
#include "platform/task_keys.h"
#include "store/options.h"
#include "store/registry.h"

namespace store {

constexpr const char* kSettingsKey = "Software\\ORV\\Kestrel\\Settings";
constexpr const char* kEdition = "Premium";

// Moves the password and the four options between the store and memory (GetSettings / SaveSettings).
class Settings {
public:
    Settings(Registry& registry, common::SharedState& state, Options& options, platform::TaskKeys& taskKeys,
             common::TrayIcon& trayIcon);
    void GetSettings();
    void SaveSettings();

private:
    Registry& m_registry;
    common::SharedState& m_state;
    Options& m_options;
    platform::TaskKeys& m_taskKeys;
    common::TrayIcon& m_trayIcon;
};

} // namespace store
