#include "platform/win32/win32_shell.h"

#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_trace.h"

namespace platform::win32 {

// The later record versions have a longer tip field; the first version's 64 characters sit at its start.
static_assert(sizeof(NOTIFYICONDATAA{}.szTip) >= sizeof(TrayIconData::szTip), "the tip fits the record");
static_assert(Win32Shell::kIconDataSize == offsetof(NOTIFYICONDATAA, szTip) + sizeof(TrayIconData::szTip),
              "the first version ends with the 64-character tip");

bool Win32Shell::NotifyIcon(std::uint32_t message, const TrayIconData& data) {
    // The whole structure is zeroed: the tip may fill all 64 characters without a NUL, and the zero bytes
    // after it then end it for the shell.
    NOTIFYICONDATAA nid{};
    nid.cbSize = kIconDataSize;
    nid.hWnd = ToHwnd(data.hWnd);
    nid.uID = data.uID;
    nid.uFlags = data.uFlags;
    nid.uCallbackMessage = data.uCallbackMessage;
    nid.hIcon = reinterpret_cast<HICON>(static_cast<std::uintptr_t>(data.hIcon));
    std::memcpy(nid.szTip, data.szTip.data(), data.szTip.size());
    const bool done = ::Shell_NotifyIconA(message, &nid) != FALSE;
    const auto icon = std::make_pair(data.hWnd, data.uID);
    if (!done && !(message == NIM_ADD && m_iconsUp.count(icon)))
        TraceLastError("Shell_NotifyIconA");
    if (done && message == NIM_ADD)
        m_iconsUp.insert(icon);
    if (done && message == NIM_DELETE)
        m_iconsUp.erase(icon);
    return done;
}

void Win32Shell::OpenAddress(WindowId owner, const std::string& address) {
    // Not a real handle: a value above 32 means success, anything else is the error.
    const auto result =
        reinterpret_cast<INT_PTR>(::ShellExecuteA(ToHwnd(owner), "Open", address.c_str(), nullptr, "", SW_SHOWNORMAL));
    if (result <= 32)
        TraceFailure("ShellExecuteA", static_cast<unsigned long>(result));
}

void Win32Shell::OpenHelp(WindowId owner, const std::string& file, unsigned command) {
    if (!::WinHelpA(ToHwnd(owner), file.c_str(), command, 0))
        TraceLastError("WinHelpA");
}

bool Win32Shell::FileExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            TraceFailure("GetFileAttributesA", error); // e.g. access denied: counts as not there
        return false;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32Shell::StartHidden(const std::string& file) {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    // The command line is the quoted program path alone: no arguments. CreateProcessA may write to it.
    std::string commandLine = "\"" + file + "\"";
    if (!::CreateProcessA(file.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info)) {
        TraceLastError("CreateProcessA");
        return false;
    }
    // Not waited for: the handles are only closed.
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    return true;
}

std::string ProgramPath() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        DWORD length = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            TraceLastError("GetModuleFileNameA");
            return "";
        }
        if (length < buffer.size())
            return std::string(buffer.data(), length);
        if (buffer.size() >= 32768)
            return ""; // longer than any path the system allows
        buffer.resize(buffer.size() * 2);
    }
}

std::string Win32Shell::ProgramFolder() {
    const std::string path = ProgramPath();
    return path.empty() ? "" : FolderOf(path);
}

std::string Win32Shell::FolderOf(const std::string& path) {
    std::size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos)
        return "";
    std::string folder = path.substr(0, slash);
    if (folder.size() == 2 && folder[1] == ':')
        folder += '\\'; // a drive root keeps its backslash
    return folder;
}

} // namespace platform::win32
