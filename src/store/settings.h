#pragma once
#include <string>
#include <utility>
#include <vector>

#include "common/shared_state.h"
#include "common/tray_icon.h"
#include "platform/task_keys.h"
#include "store/options.h"
#include "store/registry.h"

namespace store {

constexpr const char* kSettingsKey = "Software\\ORV\\Kestrel\\Settings";
constexpr const char* kEdition = "Premium";
// The two values of the settings key besides the options (store/options.h).
constexpr const char* kPasswordValue = "Auth1";
constexpr const char* kEditionValue = "Version";

// A value of the settings key as the save writes it: its name and its text.
using SettingValue = std::pair<std::string, std::string>;

// Writes the settings values into the settings key, creating it when needed. Auth1 is always stored as a
// string, whatever type it had; the switches keep a number's type, and a value that cannot take text becomes a
// string. Stops at the first failure and returns it.
Status SaveSettingsValues(Registry& registry, const std::vector<SettingValue>& values);

// What the store holds for every option (only "1" is on), without touching the check boxes: what the lock works
// from while the setup window keeps edits of its own.
OptionSet ReadStoredOptions(Registry& registry);

// Moves the password and the options between the store and memory (GetSettings / SaveSettings).
class Settings {
public:
    Settings(Registry& registry, common::SharedState& state, Options& options, platform::TaskKeys& taskKeys,
             common::TrayIcon& trayIcon);
    void GetSettings();
    Status SaveSettings();
    // What a load applies to the lock, without touching the check boxes: the task-key lock and, when asked, the
    // password as stored.
    void ApplyStored(bool password);
    // What SaveSettings writes, in its order: Auth1 (the password's stored form), Version and the options' switches.
    std::vector<SettingValue> StoredValues();

private:
    Registry& m_registry;
    common::SharedState& m_state;
    Options& m_options;
    platform::TaskKeys& m_taskKeys;
    common::TrayIcon& m_trayIcon;
};

} // namespace store
