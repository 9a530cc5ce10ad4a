#include "platform/win32/win32_shell.h"

#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_trace.h"

namespace platform::win32 {

// The later record versions have a longer tip field; the first version's 64 characters sit at its start.
static_assert(std::size(NOTIFYICONDATAW{}.szTip) >= std::size(TrayIconData{}.szTip), "the tip fits the record");
static_assert(Win32Shell::kIconDataSize == offsetof(NOTIFYICONDATAW, szTip) + sizeof(wchar_t) * 64,
              "the first version ends with the 64-character tip");

bool Win32Shell::NotifyIcon(std::uint32_t message, const TrayIconData& data) {
    // The whole structure is zeroed: the tip may fill all 64 characters without a NUL, and the zero bytes
    // after it then end it for the shell.
    NOTIFYICONDATAW nid{};
    nid.cbSize = kIconDataSize;
    nid.hWnd = ToHwnd(data.hWnd);
    nid.uID = data.uID;
    nid.uFlags = data.uFlags;
    nid.uCallbackMessage = data.uCallbackMessage;
    nid.hIcon = reinterpret_cast<HICON>(static_cast<std::uintptr_t>(data.hIcon));
    // The tip's characters are ASCII ("Kestrel 2004" and its padding): each becomes the same wide character.
    for (std::size_t i = 0; i < data.szTip.size(); ++i)
        nid.szTip[i] = static_cast<wchar_t>(static_cast<unsigned char>(data.szTip[i]));
    const bool done = ::Shell_NotifyIconW(message, &nid) != FALSE;
    const auto icon = std::make_pair(data.hWnd, data.uID);
    if (!done && !(message == NIM_ADD && m_iconsUp.count(icon)))
        TraceLastError("Shell_NotifyIconW");
    if (done && message == NIM_ADD)
        m_iconsUp.insert(icon);
    if (done && message == NIM_DELETE)
        m_iconsUp.erase(icon);
    return done;
}

void Win32Shell::OpenAddress(WindowId owner, const std::string& address) {
    // Not a real handle: a value above 32 means success, anything else is the error.
    const auto result = reinterpret_cast<INT_PTR>(
        ::ShellExecuteW(ToHwnd(owner), L"Open", Wide(address).c_str(), nullptr, L"", SW_SHOWNORMAL));
    if (result <= 32)
        TraceFailure("ShellExecuteW", static_cast<unsigned long>(result));
}

void Win32Shell::OpenHelp(WindowId owner, const std::string& file, unsigned command) {
    if (!::WinHelpW(ToHwnd(owner), Wide(file).c_str(), command, 0))
        TraceLastError("WinHelpW");
}

bool Win32Shell::FileExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            TraceFailure("GetFileAttributesW", error); // e.g. access denied: counts as not there
        return false;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32Shell::StartHidden(const std::string& file) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    // The command line is the quoted program path alone: no arguments. CreateProcessW may write to it.
    const std::wstring program = Wide(file);
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info)) {
        TraceLastError("CreateProcessW");
        return false;
    }
    // Not waited for: the handles are only closed.
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    return true;
}

std::string ProgramPath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            TraceLastError("GetModuleFileNameW");
            return "";
        }
        if (length < buffer.size())
            return Utf8Of(buffer.data(), length);
        if (buffer.size() >= 32768)
            return ""; // longer than any path the system allows
        buffer.resize(buffer.size() * 2);
    }
}

std::string CommandLineArguments() {
    const wchar_t* line = ::GetCommandLineW();
    if (!line)
        return "";
    // The program's name ends at the closing quote when it starts with one, otherwise at the first blank.
    if (*line == L'"') {
        ++line;
        while (*line && *line != L'"')
            ++line;
        if (*line == L'"')
            ++line;
    } else {
        while (*line && *line != L' ' && *line != L'\t')
            ++line;
    }
    while (*line == L' ' || *line == L'\t')
        ++line;
    return Utf8Of(line, wcslen(line));
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
