#include "guard/win32/session_copies.h"

#include <aclapi.h>
#include <sddl.h>
#include <tlhelp32.h>
#include <userenv.h>
#include <wtsapi32.h>

#include <memory>
#include <set>

#include "common/program_exit.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_trace.h"

namespace guard::win32 {

using platform::win32::TraceFailure;
using platform::win32::TraceLastError;

namespace {

// What the signed-in user may not do to Kestrel's process: terminate (0x1), create a thread (0x2), change or write
// its memory (0x8, 0x20), suspend or resume it (0x800), change its access rules or owner (WRITE_DAC, WRITE_OWNER).
constexpr DWORD kProcessDenied = PROCESS_TERMINATE | PROCESS_CREATE_THREAD | PROCESS_VM_OPERATION | PROCESS_VM_WRITE |
                                 PROCESS_SUSPEND_RESUME | WRITE_DAC | WRITE_OWNER;
// What it may: see that it runs, wait for it, read its name and rules.
constexpr DWORD kProcessAllowed =
    SYNCHRONIZE | READ_CONTROL | PROCESS_QUERY_INFORMATION | PROCESS_QUERY_LIMITED_INFORMATION;
// Its threads: no terminating, suspending, redirecting (context, information) or changing their rules.
constexpr DWORD kThreadDenied =
    THREAD_TERMINATE | THREAD_SUSPEND_RESUME | THREAD_SET_CONTEXT | THREAD_SET_INFORMATION | WRITE_DAC | WRITE_OWNER;
constexpr DWORD kThreadAllowed =
    SYNCHRONIZE | READ_CONTROL | THREAD_QUERY_INFORMATION | THREAD_QUERY_LIMITED_INFORMATION;

std::wstring Hex(DWORD mask) {
    wchar_t text[16];
    swprintf(text, 16, L"0x%lX", mask);
    return text;
}

// The rules of a protected process or thread: the user is denied first (a deny entry only counts before the allow
// entries), the owner's implicit right to rewrite the rules is replaced by OWNER RIGHTS (OW), the system keeps all.
std::wstring RulesFor(const std::wstring& user, DWORD denied, DWORD allowed, DWORD all) {
    return L"D:P(D;;" + Hex(denied) + L";;;" + user + L")(A;;" + Hex(allowed) + L";;;" + user + L")(A;;" +
           Hex(READ_CONTROL) + L";;;OW)(A;;" + Hex(all) + L";;;SY)";
}

struct LocalFreeDeleter {
    void operator()(void* memory) const noexcept { ::LocalFree(memory); }
};
using LocalDescriptor = std::unique_ptr<void, LocalFreeDeleter>;

LocalDescriptor DescriptorOf(const std::wstring& sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
        TraceLastError("ConvertStringSecurityDescriptorToSecurityDescriptorW");
        return nullptr;
    }
    return LocalDescriptor(descriptor);
}

// The user of a token as a string SID ("S-1-5-21-..."); "" when it cannot be read.
std::wstring UserSidOf(HANDLE token) {
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<std::uint8_t> buffer(size ? size : 1);
    if (!::GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        TraceLastError("GetTokenInformation(TokenUser)");
        return {};
    }
    LPWSTR text = nullptr;
    if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        TraceLastError("ConvertSidToStringSidW");
        return {};
    }
    std::wstring sid = text;
    ::LocalFree(text);
    return sid;
}

// The user's token in a session; nullptr when nobody is signed in there.
UniqueHandle UserToken(std::uint32_t session) {
    HANDLE token = nullptr;
    if (!::WTSQueryUserToken(session, &token))
        return nullptr; // ERROR_NO_TOKEN: the sign-in screen
    return UniqueHandle(token);
}

std::uint64_t SignInOf(HANDLE token) {
    TOKEN_STATISTICS statistics{};
    DWORD size = 0;
    if (!::GetTokenInformation(token, TokenStatistics, &statistics, sizeof statistics, &size)) {
        TraceLastError("GetTokenInformation(TokenStatistics)");
        return 0;
    }
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(statistics.AuthenticationId.HighPart)) << 32) |
           statistics.AuthenticationId.LowPart;
}

std::wstring ImagePath(HANDLE process) {
    wchar_t path[MAX_PATH * 2];
    DWORD size = MAX_PATH * 2;
    if (!::QueryFullProcessImageNameW(process, 0, path, &size))
        return {};
    return std::wstring(path, size);
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

std::wstring FileName(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// Every process of Kestrel's program: its id and session. By name first (cheap), then by the full path, so that a
// program of the user's that calls itself kestrel.exe is neither watched nor ended.
struct Copy {
    DWORD process = 0;
    DWORD session = 0;
};
std::vector<Copy> CopiesOf(const std::wstring& program) {
    std::vector<Copy> copies;
    UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (snapshot.get() == INVALID_HANDLE_VALUE) {
        TraceLastError("CreateToolhelp32Snapshot");
        return copies;
    }
    const std::wstring name = FileName(program);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        if (!SamePath(entry.szExeFile, name))
            continue;
        DWORD session = 0;
        if (!::ProcessIdToSessionId(entry.th32ProcessID, &session))
            continue;
        copies.push_back({entry.th32ProcessID, session});
    }
    return copies;
}

UniqueHandle OpenCopy(DWORD id, DWORD access, const std::wstring& program) {
    UniqueHandle process(::OpenProcess(access | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    if (!process) {
        TraceLastError("OpenProcess (kestrel.exe)");
        return nullptr;
    }
    if (!SamePath(ImagePath(process.get()), program))
        return nullptr;
    return process;
}

bool SetRules(HANDLE object, const std::wstring& sddl) {
    const LocalDescriptor descriptor = DescriptorOf(sddl);
    if (!descriptor)
        return false;
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    if (!::GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted)) {
        TraceLastError("GetSecurityDescriptorDacl");
        return false;
    }
    const DWORD status =
        ::SetSecurityInfo(object, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                          nullptr, nullptr, dacl, nullptr);
    if (status != ERROR_SUCCESS) {
        TraceFailure("SetSecurityInfo (kestrel.exe)", status);
        return false;
    }
    return true;
}

// The environment block of a user (their variables, their profile's folders), freed with the block's owner.
class UserEnvironment {
public:
    explicit UserEnvironment(HANDLE token) {
        if (!::CreateEnvironmentBlock(&m_block, token, FALSE)) {
            TraceLastError("CreateEnvironmentBlock");
            m_block = nullptr;
        }
    }
    ~UserEnvironment() {
        if (m_block)
            ::DestroyEnvironmentBlock(m_block);
    }
    UserEnvironment(const UserEnvironment&) = delete;
    UserEnvironment& operator=(const UserEnvironment&) = delete;
    void* get() const { return m_block; }

private:
    void* m_block = nullptr;
};

BOOL CALLBACK CloseIfOf(HWND window, LPARAM process) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == static_cast<DWORD>(process))
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

void CloseWindowsOf(DWORD process) {
    ::EnumWindows(&CloseIfOf, static_cast<LPARAM>(process));
}

void EnableDebugPrivilege() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) {
        TraceLastError("OpenProcessToken");
        return;
    }
    const UniqueHandle token(raw);
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!::LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &privileges.Privileges[0].Luid) ||
        !::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr))
        TraceLastError("AdjustTokenPrivileges(SeDebugPrivilege)");
}

} // namespace

std::vector<SignedInSession> SignedInSessions() {
    std::set<std::uint32_t> candidates;
    PWTS_SESSION_INFOW sessions = nullptr;
    DWORD count = 0;
    if (::WTSEnumerateSessionsW(WTS_CURRENT_SERVER_HANDLE, 0, 1, &sessions, &count)) {
        for (DWORD i = 0; i < count; ++i)
            if (sessions[i].State == WTSActive || sessions[i].State == WTSConnected ||
                sessions[i].State == WTSDisconnected)
                candidates.insert(sessions[i].SessionId);
        ::WTSFreeMemory(sessions);
    } else {
        TraceLastError("WTSEnumerateSessionsW");
    }
    const DWORD console = ::WTSGetActiveConsoleSessionId();
    if (console != 0xFFFFFFFF)
        candidates.insert(console);
    candidates.erase(0); // the services' own session has no user
    std::vector<SignedInSession> signedIn;
    for (const std::uint32_t session : candidates)
        if (const UniqueHandle token = UserToken(session))
            signedIn.push_back({session, SignInOf(token.get())});
    return signedIn;
}

std::string UserNameOf(std::uint32_t session) {
    LPWSTR name = nullptr;
    DWORD bytes = 0;
    if (!::WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, session, WTSUserName, &name, &bytes)) {
        TraceLastError("WTSQuerySessionInformationW(WTSUserName)");
        return {};
    }
    std::string result = platform::win32::Utf8Of(name);
    ::WTSFreeMemory(name);
    return result;
}

std::vector<UniqueHandle> RunningCopies(std::uint32_t session, const std::wstring& program) {
    std::vector<UniqueHandle> found;
    for (const Copy& copy : CopiesOf(program)) {
        if (copy.session != session)
            continue;
        // With the right to end it, for the uninstaller, while it is not yet protected; to wait on it at least.
        UniqueHandle process = OpenCopy(copy.process, SYNCHRONIZE | PROCESS_TERMINATE, program);
        if (!process)
            process = OpenCopy(copy.process, SYNCHRONIZE, program);
        if (process)
            found.push_back(std::move(process));
    }
    return found;
}

void Protect(HANDLE watched) noexcept {
    try {
        const DWORD id = ::GetProcessId(watched);
        const UniqueHandle process(::OpenProcess(WRITE_DAC | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
        if (!process) {
            TraceLastError("OpenProcess (kestrel.exe, to protect it)");
            return;
        }
        HANDLE raw = nullptr;
        if (!::OpenProcessToken(process.get(), TOKEN_QUERY, &raw)) {
            TraceLastError("OpenProcessToken (kestrel.exe)");
            return;
        }
        const UniqueHandle token(raw);
        const std::wstring user = UserSidOf(token.get());
        if (user.empty())
            return;
        SetRules(process.get(), RulesFor(user, kProcessDenied, kProcessAllowed, PROCESS_ALL_ACCESS));
        UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
        if (snapshot.get() == INVALID_HANDLE_VALUE) {
            TraceLastError("CreateToolhelp32Snapshot(threads)");
            return;
        }
        const std::wstring threadRules = RulesFor(user, kThreadDenied, kThreadAllowed, THREAD_ALL_ACCESS);
        THREADENTRY32 entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = ::Thread32First(snapshot.get(), &entry); more; more = ::Thread32Next(snapshot.get(), &entry)) {
            if (entry.th32OwnerProcessID != id)
                continue;
            if (const UniqueHandle thread(::OpenThread(WRITE_DAC, FALSE, entry.th32ThreadID)); thread)
                SetRules(thread.get(), threadRules);
        }
    } catch (...) {
        platform::win32::TraceException("Protect");
    }
}

UniqueHandle StartCopy(std::uint32_t session, const std::wstring& program) {
    const UniqueHandle userToken = UserToken(session);
    if (!userToken) {
        TraceLastError("WTSQueryUserToken");
        return nullptr;
    }
    HANDLE raw = nullptr;
    if (!::DuplicateTokenEx(userToken.get(), MAXIMUM_ALLOWED, nullptr, SecurityIdentification, TokenPrimary, &raw)) {
        TraceLastError("DuplicateTokenEx");
        return nullptr;
    }
    const UniqueHandle token(raw);
    const std::wstring user = UserSidOf(token.get());
    if (user.empty())
        return nullptr;
    const LocalDescriptor processRules =
        DescriptorOf(RulesFor(user, kProcessDenied, kProcessAllowed, PROCESS_ALL_ACCESS));
    const LocalDescriptor threadRules = DescriptorOf(RulesFor(user, kThreadDenied, kThreadAllowed, THREAD_ALL_ACCESS));
    if (!processRules || !threadRules)
        return nullptr;
    SECURITY_ATTRIBUTES processAttributes{sizeof processAttributes, processRules.get(), FALSE};
    SECURITY_ATTRIBUTES threadAttributes{sizeof threadAttributes, threadRules.get(), FALSE};

    const UserEnvironment environment(token.get());
    std::wstring commandLine = L"\"" + program + L"\" " + platform::win32::Wide(std::string(common::kGuardedSwitch));
    const std::wstring folder = program.substr(0, program.find_last_of(L'\\') + 1);
    wchar_t desktop[] = L"winsta0\\default";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.lpDesktop = desktop;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessAsUserW(token.get(), program.c_str(), commandLine.data(), &processAttributes, &threadAttributes,
                                FALSE,
                                CREATE_UNICODE_ENVIRONMENT | CREATE_NEW_PROCESS_GROUP | CREATE_DEFAULT_ERROR_MODE,
                                environment.get(), folder.empty() ? nullptr : folder.c_str(), &startup, &started)) {
        TraceLastError("CreateProcessAsUserW");
        return nullptr;
    }
    ::CloseHandle(started.hThread);
    return UniqueHandle(started.hProcess);
}

int EndEveryCopy(const std::wstring& program) {
    EnableDebugPrivilege();
    std::vector<UniqueHandle> ending;
    for (const Copy& copy : CopiesOf(program)) {
        UniqueHandle process = OpenCopy(copy.process, PROCESS_TERMINATE | SYNCHRONIZE, program);
        if (process && ::TerminateProcess(process.get(), 0)) {
            ending.push_back(std::move(process));
            continue;
        }
        TraceLastError("TerminateProcess (kestrel.exe)");
        // Protected against this user and no debug privilege to pass that (a system that does not grant it): the
        // copy is asked to close, as taskkill without /F does. Its windows are reachable in this session only.
        CloseWindowsOf(copy.process);
        if ((process = OpenCopy(copy.process, SYNCHRONIZE, program)))
            ending.push_back(std::move(process));
    }
    // Ending is asynchronous: the files are free only once the processes are gone.
    for (const UniqueHandle& process : ending)
        ::WaitForSingleObject(process.get(), 5000);
    return static_cast<int>(ending.size());
}

} // namespace guard::win32
