#pragma once
#include "app/shared_state.h"
#include "platform/task_keys.h"
#include "store/options.h"
#include "store/registry.h"
#include "tray/tray_icon.h"

namespace store {

constexpr const char* kSettingsKey = "Software\\ORV\\Kestrel\\Settings";
constexpr const char* kEdition = "Premium";

// Moves the password and the four options between the store and memory (GetSettings / SaveSettings).
class Settings {
public:
    Settings(Registry& registry, app::SharedState& state, Options& options, platform::TaskKeys& taskKeys,
             tray::TrayIcon& trayIcon);
    void GetSettings();
    void SaveSettings();

private:
    Registry& m_registry;
    app::SharedState& m_state;
    Options& m_options;
    platform::TaskKeys& m_taskKeys;
    tray::TrayIcon& m_trayIcon;
};

} // namespace store
