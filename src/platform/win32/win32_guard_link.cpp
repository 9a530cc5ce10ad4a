#include "platform/win32/win32_guard_link.h"

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_trace.h"

namespace platform::win32 {

namespace {

// The process of the running guard service; 0 when it is not installed or does not run.
DWORD GuardProcess() {
    const UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) {
        TraceLastError("OpenSCManagerW");
        return 0;
    }
    const UniqueServiceHandle service(
        ::OpenServiceW(manager.get(), Win32GuardLink::kServiceName, SERVICE_QUERY_STATUS));
    if (!service)
        return 0; // not installed: no guard, which is no failure
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!::QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                                &needed)) {
        TraceLastError("QueryServiceStatusEx");
        return 0;
    }
    return status.dwCurrentState == SERVICE_RUNNING ? status.dwProcessId : 0;
}

} // namespace

std::optional<std::vector<std::uint8_t>> Win32GuardLink::Call(const std::vector<std::uint8_t>& request) {
    const DWORD guard = GuardProcess();
    if (guard == 0)
        return std::nullopt;
    UniqueHandle pipe;
    for (int attempt = 0; attempt < 2; ++attempt) {
        pipe.reset(::CreateFileW(kPipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        if (pipe.get() != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_PIPE_BUSY)
            break;
        ::WaitNamedPipeW(kPipeName, kBusyWaitMs);
    }
    if (pipe.get() == INVALID_HANDLE_VALUE) {
        TraceLastError("CreateFileW(guard pipe)");
        return std::nullopt;
    }
    ULONG server = 0;
    if (!::GetNamedPipeServerProcessId(pipe.get(), &server) || server != guard) {
        TraceFailure("GetNamedPipeServerProcessId (not the guard's pipe)", ::GetLastError());
        return std::nullopt;
    }
    DWORD mode = PIPE_READMODE_MESSAGE;
    if (!::SetNamedPipeHandleState(pipe.get(), &mode, nullptr, nullptr)) {
        TraceLastError("SetNamedPipeHandleState");
        return std::nullopt;
    }
    std::vector<std::uint8_t> answer(kMaxGuardMessage);
    DWORD read = 0;
    if (!::TransactNamedPipe(pipe.get(), const_cast<std::uint8_t*>(request.data()), static_cast<DWORD>(request.size()),
                             answer.data(), static_cast<DWORD>(answer.size()), &read, nullptr)) {
        TraceLastError("TransactNamedPipe");
        return std::nullopt;
    }
    answer.resize(read);
    return answer;
}

} // namespace platform::win32
