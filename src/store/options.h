#pragma once
#include <array>
#include <cstddef>
#include <functional>
#include <vector>

#include "platform/subscription.h"

namespace store {

// The optional locks and switches of the Advanced tab. Each is stored as "1" or "0" under the settings key, by
// the value name that the table below gives it.
enum class Option { Popup, LockKeys, LockInternetExplorer, LockInstall, AnyCase, OneWindow, LockBrowsers };

// How a load treats a stored value other than "1".
enum class OptionLoad {
    Follows,   // the option follows the store: anything but "1" switches it off
    OnlyTicks, // only "1" changes the option (it ticks it); anything else leaves it as it is
};

struct OptionInfo {
    Option option;
    const char* valueName; // the name under the settings key; never renamed, stored data relies on it
    OptionLoad load;
};

// Every option, in the order the save writes them. Adding an option: a row here, its built-in rules (if any) in
// the engine's table, and its check box on the Advanced tab.
inline constexpr OptionInfo kOptions[] = {
    {Option::Popup, "Popup", OptionLoad::OnlyTicks},
    {Option::LockKeys, "LockKeys", OptionLoad::Follows},
    {Option::LockInternetExplorer, "Kestrel", OptionLoad::Follows},
    {Option::LockInstall, "LockInstall", OptionLoad::Follows},
    // Stricter matching; a missing value is off, as before they existed.
    {Option::AnyCase, "AnyCase", OptionLoad::Follows},           // items match in any letter case
    {Option::OneWindow, "OneWindow", OptionLoad::Follows},       // the password gives back one window, not its class
    {Option::LockBrowsers, "LockBrowsers", OptionLoad::Follows}, // every window of today's web browsers
};
inline constexpr std::size_t kOptionCount = std::size(kOptions);

constexpr std::size_t IndexOf(Option option) {
    return static_cast<std::size_t>(option);
}

constexpr bool TableFollowsTheEnum() {
    for (std::size_t i = 0; i < kOptionCount; ++i)
        if (IndexOf(kOptions[i].option) != i)
            return false;
    return true;
}
static_assert(TableFollowsTheEnum(), "kOptions lists every option once, in the enum's order");

// One value of every option: what the check boxes show, or what the store holds.
class OptionSet {
public:
    bool Get(Option option) const { return m_values[IndexOf(option)]; }
    void Set(Option option, bool on) { m_values[IndexOf(option)] = on; }
    bool operator==(const OptionSet&) const = default;

private:
    std::array<bool, kOptionCount> m_values{};
};

// The check boxes of the Advanced tab: the working copy of the options. The settings load and the setup window
// both change them; whoever shows them subscribes to changes.
class Options {
public:
    bool Get(Option option) const { return m_values.Get(option); }
    const OptionSet& Values() const { return m_values; }
    // Sets a box; listeners hear of every real change (like a check box's click notification).
    void Set(Option option, bool checked) {
        if (m_values.Get(option) == checked)
            return;
        m_values.Set(option, checked);
        m_changed.Notify(option);
    }
    [[nodiscard]] platform::Subscription Subscribe(std::function<void(Option)> listener) {
        return m_changed.Subscribe(std::move(listener));
    }

private:
    OptionSet m_values;
    platform::Notifier<Option> m_changed;
};

} // namespace store
