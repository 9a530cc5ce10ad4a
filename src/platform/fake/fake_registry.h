#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry_api.h"

namespace platform::fake {

// An in-memory registry: keys (names compared without regard to case, as the system does), typed values with
// their exact bytes, missing keys, and a user who may not change them.
class FakeRegistry : public RegistryApi {
public:
    struct Value {
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
    };

    FakeRegistry();

    // RegistryApi
    long CreateKey(RegRoot root, const std::string& path, RegKey* key) override;
    long OpenKey(RegRoot root, const std::string& path, RegAccess access, RegKey* key) override;
    long DeleteKey(RegRoot root, const std::string& path) override;
    long QueryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override;
    long SetValue(RegKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override;
    long DeleteValue(RegKey key, const std::string& name) override;
    long EnumValueName(RegKey key, std::uint32_t index, std::string* name) override;
    long QueryLastWriteTime(RegKey key, std::uint64_t* time) override;
    void CloseKey(RegKey key) override;
    Subscription WatchTree(RegRoot root, const std::string& path, std::function<void()> changed) override;

    // The watches' calls, as the system's notifications arrive: once for every watch whose tree changed since the
    // last delivery. Returns how many were called.
    int DeliverChanges();

    // Setting up the world (no access checks). PutValue creates the key and its parents.
    void PutKey(RegRoot root, const std::string& path);
    void PutValue(RegRoot root, const std::string& path, const std::string& name, std::uint32_t type,
                  std::vector<std::uint8_t> data);
    // A string value as the wide calls store it: the text in UTF-16, without a terminating NUL.
    void PutString(RegRoot root, const std::string& path, const std::string& name, const std::string& text);
    static std::vector<std::uint8_t> StringData(const std::string& text);

    // Looking at the world.
    bool KeyExists(RegRoot root, const std::string& path) const;
    std::optional<Value> GetValue(RegRoot root, const std::string& path, const std::string& name) const;
    // The data of a string value as text, every UTF-16 unit kept (a stored NUL stays); nullopt when the value is
    // missing.
    std::optional<std::string> GetString(RegRoot root, const std::string& path, const std::string& name) const;
    // Value names of a key in the order they were first written.
    std::vector<std::string> ValueNames(RegRoot root, const std::string& path) const;

    // A user who may read the machine-wide keys but not change them: full access, creation and deletion are
    // refused with access denied; read access still works.
    void SetStandardUser(bool standardUser) { m_standardUser = standardUser; }
    // A process that ends after this many more changes (a value set or deleted, a key created or deleted):
    // every later change fails with kWritesStopped and changes nothing. Negative: never stops.
    void StopWritingAfter(int changes) { m_changesLeft = changes; }
    static constexpr long kWritesStopped = 1016; // ERROR_REGISTRY_IO_FAILED

    // Handles handed out and not yet closed; every layer call should leave this at 0.
    int OpenHandles() const { return static_cast<int>(m_handles.size()); }
    // Every access asked for by OpenKey, in order.
    const std::vector<RegAccess>& OpenRequests() const { return m_openRequests; }

private:
    struct Key {
        std::map<std::string, Value> values; // by folded name
        std::vector<std::string> order;      // names as first written
        std::uint64_t lastWrite = 0;
    };
    struct Handle {
        std::string keyId;
        RegAccess access;
    };

    static std::string KeyId(RegRoot root, const std::string& path);
    // Whether the user may not open a key so (the standard user's refusals).
    bool Refused(RegAccess access) const;
    void CreatePath(const std::string& keyId);
    Key* FindKey(const std::string& keyId);
    const Key* FindKey(const std::string& keyId) const;
    RegKey NewHandle(const std::string& keyId, RegAccess access);
    // Counts one change against StopWritingAfter; false when no more may happen.
    bool MayChange();
    void Touch(const std::string& keyId, Key& key) {
        key.lastWrite = ++m_clock;
        Changed(keyId);
    }
    // A change at keyId: the watches of it and of its parents have something to tell.
    void Changed(const std::string& keyId);
    struct Watch {
        std::string keyId;
        std::function<void()> changed;
        bool pending = false;
    };
    const Key* KeyOf(RegKey handle) const;
    // The key behind a handle opened for changes; otherwise the status the system would give.
    long KeyToChange(RegKey handle, Key*& key);

    std::map<std::string, Key> m_keys; // by folded "root\path"
    std::map<RegKey, Handle> m_handles;
    std::vector<RegAccess> m_openRequests;
    RegKey m_nextHandle = 0x100;
    bool m_standardUser = false;
    int m_changesLeft = -1;
    std::uint64_t m_clock = 0;
    std::vector<std::shared_ptr<Watch>> m_watches;
};

} // namespace platform::fake
