#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "platform/subscription.h"

namespace platform {

// The registry roots this program touches. The store under LocalMachine lives in the 32-bit view of the
// registry (Software\WOW6432Node on 64-bit Windows), where the earlier 32-bit releases and the 32-bit companion
// program keep it; ClassesRoot is shared by both views.
enum class RegRoot { LocalMachine, ClassesRoot };

// How a key is opened. Reads ask for read access only, so that a user who may not write
// the machine-wide keys still reads what the parent stored.
enum class RegAccess { Read, All };

// Status codes, the same numbers the system uses.
constexpr long kRegOk = 0;
constexpr long kRegFileNotFound = 2;
constexpr long kRegAccessDenied = 5;
constexpr long kRegInvalidHandle = 6;
constexpr long kRegMoreData = 234;
constexpr long kRegNoMoreItems = 259;

constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegDword = 4;

using RegKey = std::uint64_t; // opaque open key, 0 = none

// The raw registry calls, one to one with the system's wide functions. Key paths and value names are UTF-8 here
// (converted at the call); value data is the bytes as stored, strings in UTF-16 (least significant byte first).
class RegistryApi {
public:
    virtual ~RegistryApi() = default;
    // Creates the key and every missing key on its path (full access); an existing key is opened.
    virtual long CreateKey(RegRoot root, const std::string& path, RegKey* key) = 0;
    virtual long OpenKey(RegRoot root, const std::string& path, RegAccess access, RegKey* key) = 0;
    // Deletes a key that has no subkeys.
    virtual long DeleteKey(RegRoot root, const std::string& path) = 0;
    // *size is the buffer's size on entry and the data's size on return (also on kRegMoreData).
    virtual long QueryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                            std::uint32_t* size) = 0;
    virtual long SetValue(RegKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                          std::uint32_t size) = 0;
    virtual long DeleteValue(RegKey key, const std::string& name) = 0;
    // The name of the value at this index; kRegNoMoreItems past the last one.
    virtual long EnumValueName(RegKey key, std::uint32_t index, std::string* name) = 0;
    // When the key or one of its values last changed, in the system's units (only compared, never shown).
    virtual long QueryLastWriteTime(RegKey key, std::uint64_t* time) = 0;
    virtual void CloseKey(RegKey key) = 0;
    // Calls changed, from a message of this thread's loop, soon after the key, a value of it or anything below it
    // changes, created and deleted included (the key need not exist yet), for as long as the token lives; one
    // call may stand for several changes. The program's own writes are changes too. Systems that cannot tell
    // give no calls.
    [[nodiscard]] virtual Subscription WatchTree(RegRoot root, const std::string& path,
                                                 std::function<void()> changed) = 0;
};

// Owns one open key of a RegistryApi and closes it when it goes.
class ScopedRegKey {
public:
    explicit ScopedRegKey(RegistryApi& api) : m_api(api) {}
    ~ScopedRegKey() { Reset(); }
    ScopedRegKey(const ScopedRegKey&) = delete;
    ScopedRegKey& operator=(const ScopedRegKey&) = delete;
    RegKey* Out() {
        Reset();
        return &m_key;
    }
    RegKey Get() const { return m_key; }
    void Reset() {
        if (m_key != 0)
            m_api.CloseKey(m_key);
        m_key = 0;
    }

private:
    RegistryApi& m_api;
    RegKey m_key = 0;
};

} // namespace platform
