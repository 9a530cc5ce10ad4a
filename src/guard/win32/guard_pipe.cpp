#include "guard/win32/guard_pipe.h"

#include <sddl.h>

#include "platform/guard_link.h"
#include "platform/win32/win32_guard_link.h"
#include "platform/win32/win32_trace.h"

namespace guard::win32 {

using platform::win32::TraceException;
using platform::win32::TraceFailure;
using platform::win32::TraceLastError;

namespace {

// Who may open the pipe: users signed in at this machine (INTERACTIVE) may read and write; network logons are
// refused outright; the system (the guard itself) may make its instances.
constexpr const wchar_t* kPipeRules = L"D:P(D;;GA;;;NU)(A;;GA;;;SY)(A;;GRGW;;;IU)";

} // namespace

GuardPipe::GuardPipe(Handler handler)
    : m_handler(std::move(handler)), m_stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (!m_stop)
        TraceLastError("CreateEventW (pipe stop)");
}

GuardPipe::~GuardPipe() {
    if (m_stop)
        ::SetEvent(m_stop.get());
    for (const UniqueHandle& thread : m_threads)
        ::WaitForSingleObject(thread.get(), INFINITE);
}

bool GuardPipe::Start() {
    if (Serving())
        return true;
    if (!m_stop)
        return false;
    PSECURITY_DESCRIPTOR rules = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kPipeRules, SDDL_REVISION_1, &rules, nullptr)) {
        TraceLastError("ConvertStringSecurityDescriptorToSecurityDescriptorW (pipe)");
        return false;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, rules, FALSE};
    std::vector<Instance> instances(kInstances);
    bool made = true;
    for (int i = 0; i < kInstances && made; ++i) {
        // The first instance must be the first of its name: otherwise a program that made the pipe before the guard
        // would be served by its own instances, and the guard's would only add to them.
        const DWORD first = i == 0 ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0;
        instances[i].pipe.reset(::CreateNamedPipeW(
            platform::win32::Win32GuardLink::kPipeName, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | first,
            PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, kInstances,
            static_cast<DWORD>(platform::kMaxGuardMessage), static_cast<DWORD>(platform::kMaxGuardMessage), 0,
            &attributes));
        instances[i].event.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        instances[i].owner = this;
        if (instances[i].pipe.get() == INVALID_HANDLE_VALUE || !instances[i].event) {
            TraceLastError("CreateNamedPipeW (guard)");
            made = false;
        }
    }
    ::LocalFree(rules);
    if (!made)
        return false;
    m_instances = std::move(instances);
    for (Instance& instance : m_instances) {
        UniqueHandle thread(::CreateThread(nullptr, 0, &GuardPipe::Serve, &instance, 0, nullptr));
        if (!thread) {
            TraceLastError("CreateThread (guard pipe)");
            continue;
        }
        m_threads.push_back(std::move(thread));
    }
    return Serving();
}

DWORD WINAPI GuardPipe::Serve(void* instance) {
    auto& served = *static_cast<Instance*>(instance);
    try {
        served.owner->ServeClients(served);
    } catch (...) {
        TraceException("the guard's pipe");
    }
    return 0;
}

bool GuardPipe::Finish(Instance& instance, OVERLAPPED& io, BOOL started, DWORD& transferred, DWORD timeoutMs) {
    if (!started && ::GetLastError() != ERROR_IO_PENDING)
        return false;
    if (!started) {
        const HANDLE waits[] = {io.hEvent, m_stop.get()};
        if (::WaitForMultipleObjects(2, waits, FALSE, timeoutMs) != WAIT_OBJECT_0) {
            // Out of time or stopping: the operation is called off, and waited for, since it writes into our buffers.
            ::CancelIoEx(instance.pipe.get(), &io);
            ::GetOverlappedResult(instance.pipe.get(), &io, &transferred, TRUE);
            ::SetLastError(ERROR_TIMEOUT);
            return false;
        }
    }
    return ::GetOverlappedResult(instance.pipe.get(), &io, &transferred, FALSE) != FALSE;
}

void GuardPipe::ServeClients(Instance& instance) {
    const HANDLE pipe = instance.pipe.get();
    while (::WaitForSingleObject(m_stop.get(), 0) == WAIT_TIMEOUT) {
        OVERLAPPED io{};
        io.hEvent = instance.event.get();
        ::ResetEvent(io.hEvent);
        DWORD ignored = 0;
        const BOOL connected = ::ConnectNamedPipe(pipe, &io);
        const bool already = !connected && ::GetLastError() == ERROR_PIPE_CONNECTED;
        if (already || Finish(instance, io, connected, ignored, INFINITE))
            Answer(instance);
        else if (::GetLastError() != ERROR_TIMEOUT)
            TraceLastError("ConnectNamedPipe (guard)");
        if (!::DisconnectNamedPipe(pipe) && ::GetLastError() != ERROR_PIPE_NOT_CONNECTED)
            TraceLastError("DisconnectNamedPipe (guard)");
    }
}

void GuardPipe::Answer(Instance& instance) {
    const HANDLE pipe = instance.pipe.get();
    const ULONGLONG deadline = ::GetTickCount64() + kIoTimeoutMs;
    const auto left = [deadline] {
        const ULONGLONG now = ::GetTickCount64();
        return now >= deadline ? DWORD{0} : static_cast<DWORD>(deadline - now);
    };

    // The request: one message of at most kMaxGuardMessage bytes. A longer one (ERROR_MORE_DATA), a slow one or
    // none at all is dropped unanswered.
    std::vector<std::uint8_t> message(platform::kMaxGuardMessage);
    OVERLAPPED io{};
    io.hEvent = instance.event.get();
    ::ResetEvent(io.hEvent);
    DWORD read = 0;
    const BOOL readDone = ::ReadFile(pipe, message.data(), static_cast<DWORD>(message.size()), &read, &io);
    if (!Finish(instance, io, readDone, read, left()))
        return;
    message.resize(read);

    // The caller's session, from the pipe: the message has no say in it.
    ULONG session = 0;
    if (!::GetNamedPipeClientSessionId(pipe, &session)) {
        ULONG client = 0;
        DWORD clientSession = 0;
        if (!::GetNamedPipeClientProcessId(pipe, &client) || !::ProcessIdToSessionId(client, &clientSession)) {
            TraceLastError("GetNamedPipeClientProcessId (guard)");
            return;
        }
        session = clientSession;
    }

    const std::vector<std::uint8_t> answer = m_handler(session, std::move(message));
    io = OVERLAPPED{};
    io.hEvent = instance.event.get();
    ::ResetEvent(io.hEvent);
    DWORD written = 0;
    const BOOL writeDone = ::WriteFile(pipe, answer.data(), static_cast<DWORD>(answer.size()), &written, &io);
    if (!Finish(instance, io, writeDone, written, left()))
        return;

    // The answer is read once the client has it: wait for the client to close (or to send more, which is no
    // request), no longer than the rest of its time, before the instance is taken for the next client.
    std::uint8_t more = 0;
    io = OVERLAPPED{};
    io.hEvent = instance.event.get();
    ::ResetEvent(io.hEvent);
    DWORD extra = 0;
    const BOOL moreDone = ::ReadFile(pipe, &more, 1, &extra, &io);
    Finish(instance, io, moreDone, extra, left());
}

} // namespace guard::win32
