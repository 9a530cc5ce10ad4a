#include "guard/win32/guard_service.h"

#include <sddl.h>
#include <wtsapi32.h>

#include <algorithm>
#include <atomic>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/guard_protocol.h"
#include "common/program_exit.h"
#include "guard/guard_requests.h"
#include "guard/session_supervisor.h"
#include "guard/win32/guard_pipe.h"
#include "guard/win32/session_copies.h"
#include "platform/win32/win32_crypto.h"
#include "platform/win32/win32_event_log.h"
#include "platform/win32/win32_guard_link.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_shell.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_trace.h"
#include "store/registry.h"

namespace guard::win32 {

using platform::win32::TraceException;
using platform::win32::TraceFailure;
using platform::win32::TraceLastError;
using platform::win32::Win32GuardLink;

namespace {

// How often the sessions are looked at besides the system's notices of sign-ins, which can be missed.
constexpr ULONGLONG kLookEveryMs = 3000;

// One lock held for a scope.
class Exclusive {
public:
    explicit Exclusive(SRWLOCK& lock) : m_lock(lock) { ::AcquireSRWLockExclusive(&m_lock); }
    ~Exclusive() { ::ReleaseSRWLockExclusive(&m_lock); }
    Exclusive(const Exclusive&) = delete;
    Exclusive& operator=(const Exclusive&) = delete;

private:
    SRWLOCK& m_lock;
};

std::wstring ThisProgram() {
    return platform::win32::Wide(platform::win32::ProgramPath());
}

// kestrel.exe beside this program.
std::wstring KestrelProgram() {
    const std::wstring self = ThisProgram();
    return self.substr(0, self.find_last_of(L'\\') + 1) + L"kestrel.exe";
}

using platform::win32::UniqueServiceHandle;

// The service: its status with the service control manager, the sessions it keeps Kestrel running in, and the
// channel Kestrel asks it through. One thread does it all, waiting on Kestrel's copies, the channel's I/O and its
// own events together (every thread costs memory, under Wine a megabyte); the control handler, on the dispatcher's
// thread, meets it under m_sessionsLock.
class GuardService {
public:
    GuardService()
        : m_stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_wake(::CreateEventW(nullptr, FALSE, FALSE, nullptr)),
          m_requests(m_registry, m_crypto, &m_codePage,
                     [this](std::uint32_t session) {
                         Exclusive held(m_sessionsLock);
                         m_supervisor.GrantExit(session, ::GetTickCount64());
                     }),
          m_pipe([this](std::uint32_t session, std::vector<std::uint8_t> message) {
              return common::EncodeResponse(m_requests.Handle(session, message, ::GetTickCount64()));
          }) {}

    void Main() {
        m_status = ::RegisterServiceCtrlHandlerExW(Win32GuardLink::kServiceName, &GuardService::Control, this);
        if (!m_status) {
            TraceLastError("RegisterServiceCtrlHandlerExW");
            return;
        }
        if (!m_stop || !m_wake || m_program.empty()) {
            Report(SERVICE_STOPPED, ERROR_NOT_ENOUGH_MEMORY);
            return;
        }
        Report(SERVICE_RUNNING);
        Supervise();
        if (m_endCopies)
            EndCopies();
        Report(SERVICE_STOPPED);
    }

private:
    static DWORD WINAPI Control(DWORD control, DWORD type, void* data, void* context) {
        auto& service = *static_cast<GuardService*>(context);
        switch (control) {
        case SERVICE_CONTROL_INTERROGATE:
            return NO_ERROR;
        case kControlEndCopies:
            service.m_endCopies = true;
            [[fallthrough]];
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
            service.Report(SERVICE_STOP_PENDING, NO_ERROR, 15000);
            ::SetEvent(service.m_stop.get());
            return NO_ERROR;
        case SERVICE_CONTROL_SESSIONCHANGE: {
            const auto* change = static_cast<const WTSSESSION_NOTIFICATION*>(data);
            if (type == WTS_SESSION_LOGOFF && change) {
                // The session's programs are ended by the system now: none is started again in it.
                Exclusive held(service.m_sessionsLock);
                service.m_supervisor.SessionEnding(change->dwSessionId);
            }
            // A sign-in, a sign-out, an unlock: look at the sessions now rather than at the next look.
            ::SetEvent(service.m_wake.get());
            return NO_ERROR;
        }
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
        }
    }

    void Report(DWORD state, DWORD exitCode = NO_ERROR, DWORD waitHint = 0) {
        SERVICE_STATUS status{};
        status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
        status.dwCurrentState = state;
        status.dwControlsAccepted =
            state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_SESSIONCHANGE : 0;
        status.dwWin32ExitCode = exitCode;
        status.dwWaitHint = waitHint;
        status.dwCheckPoint = state == SERVICE_RUNNING || state == SERVICE_STOPPED ? 0 : ++m_checkPoint;
        if (!::SetServiceStatus(m_status, &status))
            TraceLastError("SetServiceStatus");
    }

    void Look(ULONGLONG now) {
        const std::vector<SignedInSession> sessions = SignedInSessions();
        Exclusive held(m_sessionsLock);
        m_supervisor.SignedIn(sessions, now);
    }

    void StartDue(ULONGLONG now) {
        std::vector<std::uint32_t> due;
        {
            Exclusive held(m_sessionsLock);
            due = m_supervisor.DueStarts(now);
        }
        for (const std::uint32_t session : due) {
            // A copy that runs already (the installer's, one started before the guard) is watched, not doubled.
            std::vector<UniqueHandle> found = RunningCopies(session, m_program);
            if (!found.empty()) {
                for (const UniqueHandle& copy : found)
                    Protect(copy.get());
                auto& watched = m_copies[session];
                std::move(found.begin(), found.end(), std::back_inserter(watched));
                Exclusive held(m_sessionsLock);
                m_supervisor.Adopted(session);
                continue;
            }
            UniqueHandle started = StartCopy(session, m_program);
            bool again = false;
            {
                Exclusive held(m_sessionsLock);
                if (!started) {
                    m_supervisor.StartFailed(session, now);
                    continue;
                }
                again = m_supervisor.Started(session, now);
            }
            m_copies[session].push_back(std::move(started));
            if (again)
                m_events.Report(platform::EventKind::RestartedByGuard, {UserNameOf(session)});
        }
    }

    // Forgets the copies that have ended; a session whose last copy ended is told to the supervisor.
    void CollectEnded(ULONGLONG now) {
        for (auto it = m_copies.begin(); it != m_copies.end();) {
            auto& copies = it->second;
            CopyEnd how = CopyEnd::Other;
            for (auto copy = copies.begin(); copy != copies.end();) {
                if (::WaitForSingleObject(copy->get(), 0) != WAIT_OBJECT_0) {
                    ++copy;
                    continue;
                }
                DWORD code = 0;
                if (::GetExitCodeProcess(copy->get(), &code) && code == static_cast<DWORD>(common::kExitSessionEnded))
                    how = CopyEnd::SessionEnding;
                copy = copies.erase(copy);
            }
            if (!copies.empty()) {
                ++it;
                continue;
            }
            {
                Exclusive held(m_sessionsLock);
                m_supervisor.Ended(it->first, how, now);
            }
            it = m_copies.erase(it);
        }
    }

    void Supervise() {
        ULONGLONG nextLook = 0;
        for (;;) {
            ULONGLONG now = ::GetTickCount64();
            if (now >= nextLook) {
                Look(now);
                nextLook = now + kLookEveryMs;
                // The channel's name may have been taken by another program before the guard; it is tried again.
                m_pipe.Start();
            }
            CollectEnded(now);
            StartDue(now);

            std::vector<HANDLE> waits{m_stop.get(), m_wake.get()};
            m_pipe.AddEvents(waits);
            for (const auto& [session, copies] : m_copies)
                for (const UniqueHandle& copy : copies)
                    if (waits.size() < MAXIMUM_WAIT_OBJECTS)
                        waits.push_back(copy.get());
            ULONGLONG until = nextLook;
            {
                Exclusive held(m_sessionsLock);
                if (const auto due = m_supervisor.NextDueMs())
                    until = std::min<ULONGLONG>(until, *due);
            }
            if (const auto deadline = m_pipe.NextDeadline())
                until = std::min<ULONGLONG>(until, *deadline);
            now = ::GetTickCount64();
            DWORD timeout = until > now ? static_cast<DWORD>(until - now) : 0;
            // More copies than one wait can hold (many sessions): the rest are looked at twice a second.
            if (waits.size() == MAXIMUM_WAIT_OBJECTS)
                timeout = std::min<DWORD>(timeout, 500);
            const DWORD woke = ::WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), FALSE, timeout);
            if (woke == WAIT_OBJECT_0)
                return;
            if (woke == WAIT_OBJECT_0 + 1)
                nextLook = 0;
            m_pipe.Serve();
            if (woke == WAIT_FAILED) {
                TraceLastError("WaitForMultipleObjects (guard)");
                ::Sleep(500);
            }
        }
    }

    // For the uninstaller: the copies the guard watches first (it holds the right to end them, from their start),
    // then any other.
    void EndCopies() {
        for (const auto& [session, copies] : m_copies)
            for (const UniqueHandle& copy : copies)
                if (!::TerminateProcess(copy.get(), 0))
                    TraceLastError("TerminateProcess (guard's copy)");
        EndEveryCopy(m_program);
    }

    SERVICE_STATUS_HANDLE m_status = nullptr;
    DWORD m_checkPoint = 0;
    UniqueHandle m_stop;
    UniqueHandle m_wake;
    std::atomic<bool> m_endCopies{false};
    const std::wstring m_program = KestrelProgram();

    platform::win32::Win32Registry m_rawRegistry;
    store::Registry m_registry{m_rawRegistry};
    platform::win32::Win32Crypto m_crypto;
    platform::win32::Win32AnsiCodePage m_codePage;
    platform::win32::Win32EventLog m_events;

    SRWLOCK m_sessionsLock = SRWLOCK_INIT;
    SessionSupervisor m_supervisor;
    GuardRequests m_requests;
    std::map<std::uint32_t, std::vector<UniqueHandle>> m_copies;

    GuardPipe m_pipe; // last: its I/O is called off before anything it answers with goes
};

void WINAPI ServiceMain(DWORD, LPWSTR*) {
    try {
        GuardService service;
        service.Main();
    } catch (...) {
        TraceException("the guard service");
    }
}

bool WaitForState(SC_HANDLE service, DWORD state, DWORD timeoutMs) {
    const ULONGLONG until = ::GetTickCount64() + timeoutMs;
    for (;;) {
        SERVICE_STATUS_PROCESS status{};
        DWORD needed = 0;
        if (!::QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                                    &needed)) {
            TraceLastError("QueryServiceStatusEx");
            return false;
        }
        if (status.dwCurrentState == state)
            return true;
        if (::GetTickCount64() >= until)
            return false;
        ::Sleep(100);
    }
}

// The service's own rules: the service control manager's usual ones, but without user-defined controls for
// signed-in users (the end-every-copy control is the uninstaller's).
constexpr const wchar_t* kServiceRules = L"D:(A;;CCLCSWRPWPDTLOCRRC;;;SY)(A;;CCDCLCSWRPWPDTLOCRSDRCWDWO;;;BA)"
                                         L"(A;;CCLCSWLORC;;;IU)(A;;CCLCSWLORC;;;SU)";

void SetServiceRules(SC_HANDLE service) {
    PSECURITY_DESCRIPTOR rules = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kServiceRules, SDDL_REVISION_1, &rules, nullptr)) {
        TraceLastError("ConvertStringSecurityDescriptorToSecurityDescriptorW (service)");
        return;
    }
    if (!::SetServiceObjectSecurity(service, DACL_SECURITY_INFORMATION, rules))
        TraceLastError("SetServiceObjectSecurity");
    ::LocalFree(rules);
}

void Configure(SC_HANDLE service) {
    std::wstring description = kDescription;
    SERVICE_DESCRIPTIONW text{description.data()};
    if (!::ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &text))
        TraceLastError("ChangeServiceConfig2W(description)");
    // Should the guard itself end, Windows starts it again: at once twice, then after 5 s; the count starts afresh
    // after a day.
    SC_ACTION actions[] = {{SC_ACTION_RESTART, 1000}, {SC_ACTION_RESTART, 1000}, {SC_ACTION_RESTART, 5000}};
    SERVICE_FAILURE_ACTIONSW failure{};
    failure.dwResetPeriod = 24 * 60 * 60;
    failure.cActions = 3;
    failure.lpsaActions = actions;
    if (!::ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, &failure))
        TraceLastError("ChangeServiceConfig2W(failure actions)");
    // Also when it ends with an error code of its own rather than a crash.
    SERVICE_FAILURE_ACTIONS_FLAG always{TRUE};
    if (!::ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &always))
        TraceLastError("ChangeServiceConfig2W(failure actions flag)");
    SetServiceRules(service);
}

} // namespace

int RunService() {
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(Win32GuardLink::kServiceName), &ServiceMain},
                                    {nullptr, nullptr}};
    if (::StartServiceCtrlDispatcherW(table))
        return 0;
    const DWORD error = ::GetLastError();
    if (error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
        ::MessageBoxW(nullptr,
                      L"Kestrel Guard is a Windows service: Windows starts it. The installer of Kestrel sets it up.",
                      kDisplayName, MB_OK | MB_ICONINFORMATION);
        return static_cast<int>(error);
    }
    TraceFailure("StartServiceCtrlDispatcherW", error);
    return static_cast<int>(error);
}

DWORD InstallService() {
    const std::wstring self = ThisProgram();
    if (self.empty())
        return ERROR_FILE_NOT_FOUND;
    const std::wstring command = L"\"" + self + L"\" /service";
    const UniqueServiceHandle manager(
        ::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
    if (!manager) {
        const DWORD error = ::GetLastError();
        TraceFailure("OpenSCManagerW", error);
        return error;
    }
    UniqueServiceHandle service(::CreateServiceW(
        manager.get(), Win32GuardLink::kServiceName, kDisplayName, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
        SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    if (!service && ::GetLastError() == ERROR_SERVICE_EXISTS) {
        // A reinstall: the same service, brought up to date (its folder may have changed).
        service.reset(::OpenServiceW(manager.get(), Win32GuardLink::kServiceName, SERVICE_ALL_ACCESS));
        if (service &&
            !::ChangeServiceConfigW(service.get(), SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                    command.c_str(), nullptr, nullptr, nullptr, L"LocalSystem", nullptr, kDisplayName))
            TraceLastError("ChangeServiceConfigW");
    }
    if (!service) {
        const DWORD error = ::GetLastError();
        TraceFailure("CreateServiceW", error);
        return error;
    }
    Configure(service.get());
    if (!::StartServiceW(service.get(), 0, nullptr) && ::GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) {
        const DWORD error = ::GetLastError();
        TraceFailure("StartServiceW", error);
        return error;
    }
    return WaitForState(service.get(), SERVICE_RUNNING, 15000) ? 0 : ERROR_SERVICE_REQUEST_TIMEOUT;
}

DWORD UninstallService() {
    DWORD result = 0;
    const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        result = ::GetLastError();
        TraceFailure("OpenSCManagerW", result);
    }
    const UniqueServiceHandle service(
        manager ? ::OpenServiceW(manager.get(), Win32GuardLink::kServiceName,
                                 SERVICE_STOP | DELETE | SERVICE_QUERY_STATUS | SERVICE_USER_DEFINED_CONTROL)
                : nullptr);
    if (service) {
        // The guard ends the copies it keeps (it may; the user may not), then stops; a plain stop if it will not.
        SERVICE_STATUS status{};
        if (!::ControlService(service.get(), kControlEndCopies, &status) &&
            !::ControlService(service.get(), SERVICE_CONTROL_STOP, &status) &&
            ::GetLastError() != ERROR_SERVICE_NOT_ACTIVE)
            TraceLastError("ControlService (guard)");
        if (!WaitForState(service.get(), SERVICE_STOPPED, 15000))
            TraceFailure("the guard did not stop", ERROR_SERVICE_REQUEST_TIMEOUT);
        if (!::DeleteService(service.get()) && ::GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE) {
            result = ::GetLastError();
            TraceFailure("DeleteService", result);
        }
    } else if (manager && ::GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST) {
        result = ::GetLastError();
        TraceFailure("OpenServiceW (guard)", result);
    }
    // Copies the guard did not keep (it was not running, or an older Kestrel's) end all the same.
    EndEveryCopy(KestrelProgram());
    return result;
}

} // namespace guard::win32
