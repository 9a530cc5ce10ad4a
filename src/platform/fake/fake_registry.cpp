#include "platform/fake/fake_registry.h"

#include <algorithm>
#include <cstring>

#include "platform/ascii_case.h"
#include "platform/utf.h"

namespace platform::fake {

namespace {

constexpr long kInvalidHandle = kRegInvalidHandle;
constexpr long kKeyDeleted = 1018; // ERROR_KEY_DELETED: the key went while a handle to it was open

// Key and value names are compared without regard to case, as the system does.
std::string Fold(std::string text) {
    return AsciiLowered(std::move(text));
}

} // namespace

FakeRegistry::FakeRegistry() {
    m_keys.try_emplace(KeyId(RegRoot::LocalMachine, ""));
    m_keys.try_emplace(KeyId(RegRoot::ClassesRoot, ""));
}

std::string FakeRegistry::KeyId(RegRoot root, const std::string& path) {
    std::string id = root == RegRoot::LocalMachine ? "hklm" : "hkcr";
    // Empty levels ("a\\\\b", a trailing "\") are ignored, as the system does.
    std::string level;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\') {
            if (!level.empty())
                id += "\\" + Fold(level);
            level.clear();
        } else {
            level += path[i];
        }
    }
    return id;
}

bool FakeRegistry::Refused(RegAccess access) const {
    return m_standardUser && access == RegAccess::All;
}

void FakeRegistry::CreatePath(const std::string& keyId) {
    for (std::size_t pos = keyId.find('\\'); pos != std::string::npos; pos = keyId.find('\\', pos + 1)) {
        if (m_keys.try_emplace(keyId.substr(0, pos)).second)
            Touch(keyId.substr(0, pos), m_keys[keyId.substr(0, pos)]);
    }
    if (m_keys.try_emplace(keyId).second)
        Touch(keyId, m_keys[keyId]);
}

bool FakeRegistry::MayChange() {
    if (m_changesLeft == 0)
        return false;
    if (m_changesLeft > 0)
        --m_changesLeft;
    return true;
}

const FakeRegistry::Key* FakeRegistry::KeyOf(RegKey handle) const {
    auto it = m_handles.find(handle);
    return it == m_handles.end() ? nullptr : FindKey(it->second.keyId);
}

FakeRegistry::Key* FakeRegistry::FindKey(const std::string& keyId) {
    auto it = m_keys.find(keyId);
    return it == m_keys.end() ? nullptr : &it->second;
}

const FakeRegistry::Key* FakeRegistry::FindKey(const std::string& keyId) const {
    auto it = m_keys.find(keyId);
    return it == m_keys.end() ? nullptr : &it->second;
}

RegKey FakeRegistry::NewHandle(const std::string& keyId, RegAccess access) {
    const RegKey handle = m_nextHandle++;
    m_handles[handle] = Handle{keyId, access};
    return handle;
}

long FakeRegistry::CreateKey(RegRoot root, const std::string& path, RegKey* key) {
    *key = 0;
    const std::string id = KeyId(root, path);
    m_openRequests.push_back(RegAccess::All);
    if (Refused(RegAccess::All))
        return kRegAccessDenied;
    if (!FindKey(id) && !MayChange())
        return kWritesStopped;
    CreatePath(id);
    *key = NewHandle(id, RegAccess::All);
    return kRegOk;
}

long FakeRegistry::OpenKey(RegRoot root, const std::string& path, RegAccess access, RegKey* key) {
    *key = 0;
    const std::string id = KeyId(root, path);
    m_openRequests.push_back(access);
    if (!FindKey(id))
        return kRegFileNotFound;
    if (Refused(access))
        return kRegAccessDenied;
    *key = NewHandle(id, access);
    return kRegOk;
}

long FakeRegistry::DeleteKey(RegRoot root, const std::string& path) {
    const std::string id = KeyId(root, path);
    if (id.find('\\') == std::string::npos)
        return kRegAccessDenied; // a root cannot go
    if (!FindKey(id))
        return kRegFileNotFound;
    if (Refused(RegAccess::All))
        return kRegAccessDenied;
    const std::string prefix = id + "\\";
    for (const auto& [other, unused] : m_keys) {
        if (other.compare(0, prefix.size(), prefix) == 0)
            return kRegAccessDenied; // has subkeys
    }
    if (!MayChange())
        return kWritesStopped;
    m_keys.erase(id);
    Changed(id);
    return kRegOk;
}

long FakeRegistry::QueryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                              std::uint32_t* size) {
    auto handle = m_handles.find(key);
    if (handle == m_handles.end())
        return kInvalidHandle;
    const Key* k = FindKey(handle->second.keyId);
    if (!k)
        return kKeyDeleted;
    auto it = k->values.find(Fold(name));
    if (it == k->values.end())
        return kRegFileNotFound;
    const Value& value = it->second;
    const auto needed = static_cast<std::uint32_t>(value.data.size());
    if (type)
        *type = value.type;
    if (!data) {
        if (size)
            *size = needed;
        return kRegOk;
    }
    if (!size)
        return kInvalidHandle;
    const std::uint32_t room = *size;
    *size = needed;
    if (needed > room)
        return kRegMoreData;
    if (needed > 0)
        std::memcpy(data, value.data.data(), needed);
    return kRegOk;
}

long FakeRegistry::KeyToChange(RegKey handle, Key*& key) {
    key = nullptr;
    auto it = m_handles.find(handle);
    if (it == m_handles.end())
        return kInvalidHandle;
    if (it->second.access != RegAccess::All)
        return kRegAccessDenied;
    key = FindKey(it->second.keyId);
    return key ? kRegOk : kKeyDeleted;
}

long FakeRegistry::SetValue(RegKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                            std::uint32_t size) {
    Key* k = nullptr;
    if (const long status = KeyToChange(key, k); status != kRegOk)
        return status;
    if (!MayChange())
        return kWritesStopped;
    const std::string folded = Fold(name);
    if (!k->values.count(folded))
        k->order.push_back(name);
    k->values[folded] = Value{type, std::vector<std::uint8_t>(data, data + size)};
    Touch(m_handles.at(key).keyId, *k);
    return kRegOk;
}

long FakeRegistry::DeleteValue(RegKey key, const std::string& name) {
    Key* k = nullptr;
    if (const long status = KeyToChange(key, k); status != kRegOk)
        return status;
    const std::string folded = Fold(name);
    if (!k->values.count(folded))
        return kRegFileNotFound;
    if (!MayChange())
        return kWritesStopped;
    k->values.erase(folded);
    k->order.erase(
        std::find_if(k->order.begin(), k->order.end(), [&](const std::string& n) { return Fold(n) == folded; }));
    Touch(m_handles.at(key).keyId, *k);
    return kRegOk;
}

long FakeRegistry::EnumValueName(RegKey key, std::uint32_t index, std::string* name) {
    if (!m_handles.count(key))
        return kInvalidHandle;
    const Key* k = KeyOf(key);
    if (!k)
        return kKeyDeleted;
    if (index >= k->order.size())
        return kRegNoMoreItems;
    if (name)
        *name = k->order[index];
    return kRegOk;
}

long FakeRegistry::QueryLastWriteTime(RegKey key, std::uint64_t* time) {
    if (!m_handles.count(key))
        return kInvalidHandle;
    const Key* k = KeyOf(key);
    if (!k)
        return kKeyDeleted;
    if (time)
        *time = k->lastWrite;
    return kRegOk;
}

void FakeRegistry::CloseKey(RegKey key) {
    m_handles.erase(key);
}

void FakeRegistry::PutKey(RegRoot root, const std::string& path) {
    CreatePath(KeyId(root, path));
}

void FakeRegistry::PutValue(RegRoot root, const std::string& path, const std::string& name, std::uint32_t type,
                            std::vector<std::uint8_t> data) {
    const std::string id = KeyId(root, path);
    CreatePath(id);
    Key& k = m_keys[id];
    const std::string folded = Fold(name);
    if (!k.values.count(folded))
        k.order.push_back(name);
    k.values[folded] = Value{type, std::move(data)};
    Touch(id, k);
}

std::vector<std::uint8_t> FakeRegistry::StringData(const std::string& text) {
    std::vector<std::uint8_t> data;
    for (char16_t unit : Utf16(text)) {
        data.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        data.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return data;
}

void FakeRegistry::PutString(RegRoot root, const std::string& path, const std::string& name, const std::string& text) {
    PutValue(root, path, name, kRegSz, StringData(text));
}

bool FakeRegistry::KeyExists(RegRoot root, const std::string& path) const {
    return FindKey(KeyId(root, path)) != nullptr;
}

std::optional<FakeRegistry::Value> FakeRegistry::GetValue(RegRoot root, const std::string& path,
                                                          const std::string& name) const {
    const Key* k = FindKey(KeyId(root, path));
    if (!k)
        return std::nullopt;
    auto it = k->values.find(Fold(name));
    if (it == k->values.end())
        return std::nullopt;
    return it->second;
}

std::optional<std::string> FakeRegistry::GetString(RegRoot root, const std::string& path,
                                                   const std::string& name) const {
    auto value = GetValue(root, path, name);
    if (!value)
        return std::nullopt;
    std::u16string units(value->data.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(value->data[2 * i] | (value->data[2 * i + 1] << 8));
    return Utf8(units);
}

std::vector<std::string> FakeRegistry::ValueNames(RegRoot root, const std::string& path) const {
    const Key* k = FindKey(KeyId(root, path));
    return k ? k->order : std::vector<std::string>{};
}

void FakeRegistry::Changed(const std::string& keyId) {
    for (const auto& watch : m_watches) {
        const std::string& root = watch->keyId;
        if (keyId == root ||
            (keyId.size() > root.size() && keyId.compare(0, root.size(), root) == 0 && keyId[root.size()] == '\\'))
            watch->pending = true;
    }
}

Subscription FakeRegistry::WatchTree(RegRoot root, const std::string& path, std::function<void()> changed) {
    auto watch = std::make_shared<Watch>(Watch{KeyId(root, path), std::move(changed), false});
    m_watches.push_back(watch);
    return Subscription([this, watch] { std::erase(m_watches, watch); });
}

int FakeRegistry::DeliverChanges() {
    int called = 0;
    const auto watches = m_watches; // a call may end a watch or start one
    for (const auto& watch : watches) {
        if (!watch->pending || std::find(m_watches.begin(), m_watches.end(), watch) == m_watches.end())
            continue;
        watch->pending = false;
        ++called;
        if (watch->changed)
            watch->changed();
    }
    return called;
}

} // namespace platform::fake
