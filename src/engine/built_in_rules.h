#pragma once
#include <span>

#include "store/options.h"

namespace engine {

// What an option adds to the lock when it is on: rules that lock every title holding them, and allow entries
// that keep windows passing which those rules would otherwise catch. Allow entries of this table are never pruned.
struct BuiltInRules {
    store::Option option;
    std::span<const char* const> rules;
    std::span<const char* const> allow;
};

namespace detail {
inline constexpr const char* kTaskManager[] = {"Task Manager"};
inline constexpr const char* kInternetExplorer[] = {"Internet Explorer"};
// Words that the windows of software installers carry in their titles.
inline constexpr const char* kInstallers[] = {"Setup", "Install", "License Agreement"};
// The common page-setup and print-setup dialogs of other programs carry "Setup" in their titles; a standard
// dialog is looked up in the allow list by its title.
inline constexpr const char* kPrintDialogs[] = {"Page Setup", "Print Setup"};
} // namespace detail

// In the order their rules follow the ticked items.
inline constexpr BuiltInRules kBuiltInRules[] = {
    {store::Option::LockKeys, detail::kTaskManager, {}},
    {store::Option::LockInternetExplorer, detail::kInternetExplorer, {}},
    {store::Option::LockInstall, detail::kInstallers, detail::kPrintDialogs},
};

} // namespace engine
