#include "store/settings.h"

#include "common/scoped_flag.h"

namespace store {

namespace {

// In the store a switch is on only when it is exactly "1": "0", "", "yes" or " 1" are all off.
bool IsOn(const std::string& value) {
    return value == "1";
}

const char* Switch(bool on) {
    return on ? "1" : "0";
}

} // namespace

Settings::Settings(Registry& registry, common::SharedState& state, Options& options, platform::TaskKeys& taskKeys,
                   common::TrayIcon& trayIcon)
    : m_registry(registry), m_state(state), m_options(options), m_taskKeys(taskKeys), m_trayIcon(trayIcon) {}

void Settings::GetSettings() {
    // Every load puts the icon up, not only the first.
    m_trayIcon.AddTrayIcon();

    auto read = [this](const char* name) { return m_registry.ReadValue(RegRoot::LocalMachine, kSettingsKey, name); };

    // An empty or missing Auth1 stands for the default password.
    m_state.Password.LoadStored(read(kPasswordValue));

    for (const OptionInfo& info : kOptions) {
        const bool on = IsOn(read(info.valueName));
        if (info.load == OptionLoad::OnlyTicks) {
            if (!on)
                continue;
            // Raised while the load ticks the box, so that its click handler knows the user did not.
            common::ScopedFlag loading(m_state.PopupLoading);
            m_options.Set(info.option, true);
            continue;
        }
        m_options.Set(info.option, on);
        if (info.option == Option::LockKeys)
            m_taskKeys.SetLocked(on);
    }
}

void Settings::ApplyStored(bool password) {
    if (password)
        m_state.Password.LoadStored(m_registry.ReadValue(RegRoot::LocalMachine, kSettingsKey, kPasswordValue));
    m_taskKeys.SetLocked(ReadStoredOptions(m_registry).Get(Option::LockKeys));
}

Status Settings::SaveSettings() {
    return SaveSettingsValues(m_registry, StoredValues());
}

std::vector<SettingValue> Settings::StoredValues() {
    // The hash form only: the password never reaches the store as plain text.
    std::vector<SettingValue> values = {{kPasswordValue, m_state.Password.StoredForm()}, {kEditionValue, kEdition}};
    for (const OptionInfo& info : kOptions)
        values.emplace_back(info.valueName, Switch(m_options.Get(info.option)));
    return values;
}

OptionSet ReadStoredOptions(Registry& registry) {
    OptionSet stored;
    for (const OptionInfo& info : kOptions)
        stored.Set(info.option, IsOn(registry.ReadValue(RegRoot::LocalMachine, kSettingsKey, info.valueName)));
    return stored;
}

Status SaveSettingsValues(Registry& registry, const std::vector<SettingValue>& values) {
    if (Status created = registry.CreateKey(RegRoot::LocalMachine, kSettingsKey); !created)
        return created;
    for (const auto& [name, text] : values) {
        // A number would take the hash through the number conversion and store "0": the password is text.
        Status written = name == kPasswordValue ? registry.WriteString(RegRoot::LocalMachine, kSettingsKey, name, text)
                                                : registry.WriteValue(RegRoot::LocalMachine, kSettingsKey, name, text);
        // A hand-edited value of another type or of data too large to read must not keep every save from working.
        if (written.code == kRegUnsupportedType || written.code == platform::kRegMoreData)
            written = registry.WriteString(RegRoot::LocalMachine, kSettingsKey, name, text);
        if (!written)
            return written;
    }
    return {};
}

} // namespace store
