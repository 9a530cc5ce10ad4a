#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry_api.h"

namespace store {

using platform::RegRoot;

// The key under HKEY_LOCAL_MACHINE that holds everything the program stores (its Settings and Locked Items).
constexpr const char* kStoreKey = "Software\\ORV\\Kestrel";

// What became of a create, delete or write: the system's status (platform::kRegOk, 0, when it worked).
// True when it worked, so that callers that only care may test it like a flag.
struct Status {
    long code = platform::kRegOk;
    explicit operator bool() const { return code == platform::kRegOk; }
};

// The layer's own refusal to write text over a value whose type holds no text (neither a string nor a number).
constexpr long kRegUnsupportedType = 1630; // ERROR_UNSUPPORTED_TYPE

// The registry access layer: text in, text out. Text is the program's UTF-8; strings are stored in UTF-16, as the
// system's wide calls keep them, so that every program (an earlier release reading them in its code page
// included) reads the same characters. Reads give "" on any failure; creates, deletes and writes pass
// the system's status up, which most callers may ignore but a save must not.
class Registry {
public:
    // Value data is read through a buffer of this many characters (UTF-16 units, 2 bytes each); larger data
    // cannot be read, nor overwritten by WriteValue.
    static constexpr std::size_t kBufferSize = 1024;
    static constexpr std::size_t kBufferBytes = kBufferSize * 2;

    explicit Registry(platform::RegistryApi& api) : m_api(api) {}

    Status CreateKey(RegRoot root, const std::string& path);
    Status DeleteKey(RegRoot root, const std::string& path);
    std::string ReadValue(RegRoot root, const std::string& path, const std::string& name);
    // Writes text into the value in the type it has (a number stays a number); a new value is a string.
    Status WriteValue(RegRoot root, const std::string& path, const std::string& name, const std::string& text);
    // Stores the text as a string whatever the value held before: another type, or data too large to read.
    Status WriteString(RegRoot root, const std::string& path, const std::string& name, const std::string& text);
    Status DeleteValue(RegRoot root, const std::string& path, const std::string& name);
    // The names of the key's values, in the system's order.
    Status ValueNames(RegRoot root, const std::string& path, std::vector<std::string>& names);
    // When the key last changed, a value of it included; nullopt when the key is missing or cannot be read.
    std::optional<std::uint64_t> LastWriteTime(RegRoot root, const std::string& path);
    // Calls changed soon after anything at or below the key changes (platform::RegistryApi::WatchTree).
    [[nodiscard]] platform::Subscription WatchTree(RegRoot root, const std::string& path,
                                                   std::function<void()> changed) {
        return m_api.WatchTree(root, path, std::move(changed));
    }

private:
    platform::RegistryApi& m_api;
};

} // namespace store
