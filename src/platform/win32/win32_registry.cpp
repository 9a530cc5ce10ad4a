#include "platform/win32/win32_registry.h"

#include <vector>

#include "platform/win32/win32_text.h"
#include "platform/win32/win32_trace.h"

namespace platform::win32 {

namespace {

// Returns the status of a registry call, traced when it failed. A key or value that is not there is how the
// program learns that nothing is stored: that is no failure.
LONG Traced(const char* call, LONG status) noexcept {
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        TraceFailure(call, static_cast<unsigned long>(status));
    return status;
}

HKEY RootKey(RegRoot root) {
    return root == RegRoot::ClassesRoot ? HKEY_CLASSES_ROOT : HKEY_LOCAL_MACHINE;
}

// The store's keys under HKLM are opened in the 32-bit view, where the earlier 32-bit releases kept them and
// the 32-bit companion program reads them; HKCR is the same in both views and is opened as it is.
REGSAM View(RegRoot root) {
    return root == RegRoot::LocalMachine ? KEY_WOW64_32KEY : 0;
}

REGSAM Sam(RegRoot root, RegAccess access) {
    return (access == RegAccess::Read ? KEY_READ : KEY_ALL_ACCESS) | View(root);
}

constexpr UINT kChangedMessage = WM_APP + 0x52; // wParam: the watch's id

// What the thread pool's wait hands back: where to post, and for which watch.
struct WaitContext {
    HWND window;
    int id;
};

void CALLBACK OnKeyChanged(void* parameter, BOOLEAN) noexcept {
    const auto* context = static_cast<const WaitContext*>(parameter);
    if (!::PostMessageW(context->window, kChangedMessage, static_cast<WPARAM>(context->id), 0))
        TraceLastError("PostMessageW");
}

} // namespace

struct Win32Registry::Watch {
    RegRoot root;
    std::wstring path;
    std::function<void()> changed;
    UniqueHkey key;
    UniqueHandle event;
    HANDLE wait = nullptr;
    WaitContext context{};

    // Lets go of the pool's wait, waiting for a callback under way when told to (the context must outlive it).
    void StopWaiting(bool waitForCallback) {
        if (wait && !::UnregisterWaitEx(wait, waitForCallback ? INVALID_HANDLE_VALUE : nullptr) &&
            ::GetLastError() != ERROR_IO_PENDING)
            TraceLastError("UnregisterWaitEx");
        wait = nullptr;
    }
};

Win32Registry::Win32Registry() = default;

Win32Registry::~Win32Registry() {
    for (auto& [id, watch] : m_watches)
        watch->StopWaiting(true);
}

Subscription Win32Registry::WatchTree(RegRoot root, const std::string& path, std::function<void()> changed) {
    if (!m_window.Make())
        return {};
    auto watch = std::make_unique<Watch>();
    watch->root = root;
    watch->path = Wide(path);
    watch->changed = std::move(changed);
    watch->event.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!watch->event) {
        TraceLastError("CreateEventW");
        return {};
    }
    const int id = m_nextWatch++;
    watch->context = WaitContext{m_window.Handle(), id};
    Arm(*watch);
    m_watches.emplace(id, std::move(watch));
    return Subscription([this, id] {
        auto it = m_watches.find(id);
        if (it == m_watches.end())
            return;
        it->second->StopWaiting(true);
        m_watches.erase(it);
    });
}

void Win32Registry::Arm(Watch& watch) {
    watch.StopWaiting(false);
    watch.key.reset();
    ::ResetEvent(watch.event.get());
    // The key itself with everything below it; while it is missing, the nearest key above it for the subkey that
    // leads to it (a change of names only, no subtree: the rest of the registry stays quiet).
    std::wstring path = watch.path;
    bool target = true;
    for (;;) {
        HKEY opened = nullptr;
        const LONG status =
            ::RegOpenKeyExW(RootKey(watch.root), path.c_str(), 0, KEY_NOTIFY | View(watch.root), &opened);
        if (status == ERROR_SUCCESS) {
            watch.key.reset(opened);
            break;
        }
        const std::size_t slash = path.find_last_of(L'\\');
        if (path.empty() || slash == std::wstring::npos) {
            if (path.empty())
                return; // not even the root: nothing to watch
            path.clear();
        } else {
            path.resize(slash);
        }
        target = false;
    }
    const DWORD filter = target ? REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET : REG_NOTIFY_CHANGE_NAME;
    const LONG status =
        ::RegNotifyChangeKeyValue(watch.key.get(), target ? TRUE : FALSE, filter, watch.event.get(), TRUE);
    if (status != ERROR_SUCCESS) {
        TraceFailure("RegNotifyChangeKeyValue", static_cast<unsigned long>(status));
        return;
    }
    if (!::RegisterWaitForSingleObject(&watch.wait, watch.event.get(), &OnKeyChanged, &watch.context, INFINITE,
                                       WT_EXECUTEONLYONCE)) {
        TraceLastError("RegisterWaitForSingleObject");
        watch.wait = nullptr;
    }
}

void Win32Registry::Fired(int id) {
    auto it = m_watches.find(id);
    if (it == m_watches.end())
        return; // ended meanwhile
    // Asked for again before the call: a change made by the call itself, or right after it, is not missed.
    Arm(*it->second);
    const std::function<void()> changed = it->second->changed; // the call may end the watch
    if (changed)
        changed();
}

LRESULT Win32Registry::NotifyWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kChangedMessage)
        return Default(message, wParam, lParam);
    m_owner.Fired(static_cast<int>(wParam));
    return 0;
}

long Win32Registry::CreateKey(RegRoot root, const std::string& path, RegKey* key) {
    *key = 0;
    HKEY created = nullptr;
    DWORD disposition = 0;
    const LONG status = Traced("RegCreateKeyExW",
                               ::RegCreateKeyExW(RootKey(root), Wide(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                                 Sam(root, RegAccess::All), nullptr, &created, &disposition));
    if (status == ERROR_SUCCESS)
        *key = FromHkey(created);
    return status;
}

long Win32Registry::OpenKey(RegRoot root, const std::string& path, RegAccess access, RegKey* key) {
    *key = 0;
    HKEY opened = nullptr;
    const LONG status =
        Traced("RegOpenKeyExW", ::RegOpenKeyExW(RootKey(root), Wide(path).c_str(), 0, Sam(root, access), &opened));
    if (status == ERROR_SUCCESS)
        *key = FromHkey(opened);
    return status;
}

long Win32Registry::DeleteKey(RegRoot root, const std::string& path) {
    // RegDeleteKeyW would look in the native view only.
    return Traced("RegDeleteKeyExW", ::RegDeleteKeyExW(RootKey(root), Wide(path).c_str(), View(root), 0));
}

long Win32Registry::QueryValue(RegKey key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                               std::uint32_t* size) {
    DWORD valueType = 0;
    DWORD valueSize = size ? *size : 0;
    const LONG status = Traced("RegQueryValueExW", ::RegQueryValueExW(ToHkey(key), Wide(name).c_str(), nullptr,
                                                                      &valueType, data, size ? &valueSize : nullptr));
    if (type)
        *type = valueType;
    if (size)
        *size = valueSize;
    return status;
}

long Win32Registry::SetValue(RegKey key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                             std::uint32_t size) {
    // For string types the system counts one more character when the character after the data is a NUL ("the
    // caller forgot the terminator"). Our strings are to be stored without one, so the data goes in a copy followed
    // by a character that is not NUL.
    const bool stringType = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
    const std::wstring wideName = Wide(name);
    if (stringType && size >= 2 && (data[size - 1] != 0 || data[size - 2] != 0)) {
        std::vector<std::uint8_t> guarded(data, data + size);
        guarded.insert(guarded.end(), {0xFF, 0xFF});
        return Traced("RegSetValueExW", ::RegSetValueExW(ToHkey(key), wideName.c_str(), 0, type, guarded.data(), size));
    }
    return Traced("RegSetValueExW", ::RegSetValueExW(ToHkey(key), wideName.c_str(), 0, type, data, size));
}

long Win32Registry::DeleteValue(RegKey key, const std::string& name) {
    const LONG status = ::RegDeleteValueW(ToHkey(key), Wide(name).c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        TraceFailure("RegDeleteValueW", static_cast<unsigned long>(status));
    return status;
}

long Win32Registry::EnumValueName(RegKey key, std::uint32_t index, std::string* name) {
    // A value name has at most 16383 characters.
    std::vector<wchar_t> buffer(16384);
    DWORD length = static_cast<DWORD>(buffer.size());
    const LONG status = ::RegEnumValueW(ToHkey(key), index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS) {
        if (name)
            *name = Utf8Of(buffer.data(), length);
    } else if (status != ERROR_NO_MORE_ITEMS) {
        TraceFailure("RegEnumValueW", static_cast<unsigned long>(status));
    }
    return status;
}

long Win32Registry::QueryLastWriteTime(RegKey key, std::uint64_t* time) {
    FILETIME written{};
    const LONG status = ::RegQueryInfoKeyW(ToHkey(key), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                           nullptr, nullptr, nullptr, &written);
    if (status != ERROR_SUCCESS)
        TraceFailure("RegQueryInfoKeyW", static_cast<unsigned long>(status));
    else if (time)
        *time = (static_cast<std::uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    return status;
}

void Win32Registry::CloseKey(RegKey key) {
    if (key != 0)
        Traced("RegCloseKey", ::RegCloseKey(ToHkey(key)));
}

} // namespace platform::win32
