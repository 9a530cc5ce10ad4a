#pragma once
#include <windows.h>

#include <map>
#include <memory>

#include "platform/registry_api.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_window.h"

namespace platform::win32 {

// The registry calls over advapi32's wide functions. A RegKey is the HKEY's value; the caller owns it
// (platform::ScopedRegKey closes it).
class Win32Registry final : public RegistryApi {
public:
    Win32Registry();
    ~Win32Registry() override;
    Win32Registry(const Win32Registry&) = delete;
    Win32Registry& operator=(const Win32Registry&) = delete;

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
    // The system's change notification (RegNotifyChangeKeyValue) on the key, or, while it does not exist, on the
    // nearest key above it that does (for a new subkey only); its event is waited for by the thread pool, which
    // posts to a message-only window of this object. Each notification is asked for again before the call.
    Subscription WatchTree(RegRoot root, const std::string& path, std::function<void()> changed) override;

    static HKEY ToHkey(RegKey key) { return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(key)); }
    static RegKey FromHkey(HKEY key) { return static_cast<RegKey>(reinterpret_cast<ULONG_PTR>(key)); }

private:
    struct Watch;
    void Arm(Watch& watch);
    void Fired(int id);

    class NotifyWindow final : public MessageWindow {
    public:
        explicit NotifyWindow(Win32Registry& owner) : m_owner(owner) {}
        bool Make() { return Handle() || CreateMessageOnly(L"KestrelRegistryChanges"); }

    private:
        LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
        Win32Registry& m_owner;
    };

    std::map<int, std::unique_ptr<Watch>> m_watches;
    int m_nextWatch = 1;
    NotifyWindow m_window{*this};
};

} // namespace platform::win32
