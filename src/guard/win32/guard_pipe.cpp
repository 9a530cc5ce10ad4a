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

GuardPipe::~GuardPipe() {
    // An operation still under way writes into our buffers: it is called off and waited for.
    for (Instance& instance : m_instances) {
        if (!instance.pipe || instance.pipe.get() == INVALID_HANDLE_VALUE)
            continue;
        DWORD ignored = 0;
        if (::CancelIoEx(instance.pipe.get(), &instance.io))
            ::GetOverlappedResult(instance.pipe.get(), &instance.io, &ignored, TRUE);
    }
}

bool GuardPipe::Start() {
    if (m_serving)
        return true;
    PSECURITY_DESCRIPTOR rules = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kPipeRules, SDDL_REVISION_1, &rules, nullptr)) {
        TraceLastError("ConvertStringSecurityDescriptorToSecurityDescriptorW (pipe)");
        return false;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, rules, FALSE};
    bool made = true;
    for (std::size_t i = 0; i < kInstances && made; ++i) {
        // The first instance must be the first of its name: otherwise a program that made the pipe before the guard
        // would be served by its own instances, and the guard's would only add to them.
        const DWORD first = i == 0 ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0;
        Instance& instance = m_instances[i];
        instance.pipe.reset(::CreateNamedPipeW(
            platform::win32::Win32GuardLink::kPipeName, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | first,
            PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, kInstances,
            static_cast<DWORD>(platform::kMaxGuardMessage), static_cast<DWORD>(platform::kMaxGuardMessage), 0,
            &attributes));
        instance.event.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (instance.pipe.get() == INVALID_HANDLE_VALUE || !instance.event) {
            TraceLastError("CreateNamedPipeW (guard)");
            made = false;
        }
    }
    ::LocalFree(rules);
    if (!made) {
        for (Instance& instance : m_instances)
            instance = Instance{};
        return false;
    }
    m_serving = true;
    for (Instance& instance : m_instances)
        Listen(instance);
    return true;
}

void GuardPipe::AddEvents(std::vector<HANDLE>& waits) const {
    if (!m_serving)
        return;
    for (const Instance& instance : m_instances)
        waits.push_back(instance.event.get());
}

std::optional<ULONGLONG> GuardPipe::NextDeadline() const {
    std::optional<ULONGLONG> next;
    if (!m_serving)
        return next;
    for (const Instance& instance : m_instances)
        if (instance.stage != Stage::Listening && (!next || instance.deadline < *next))
            next = instance.deadline;
    return next;
}

void GuardPipe::Serve() {
    if (!m_serving)
        return;
    for (Instance& instance : m_instances) {
        try {
            if (::WaitForSingleObject(instance.event.get(), 0) == WAIT_OBJECT_0)
                Step(instance);
            else if (instance.stage != Stage::Listening && ::GetTickCount64() >= instance.deadline)
                Drop(instance); // too slow: the others go on
        } catch (...) {
            TraceException("the guard's pipe");
            Drop(instance);
        }
    }
}

bool GuardPipe::Pending(BOOL started) {
    // With an overlapped handle the event is set when the operation completes, at once or later.
    return started || ::GetLastError() == ERROR_IO_PENDING;
}

void GuardPipe::Listen(Instance& instance) {
    instance.stage = Stage::Listening;
    instance.io = OVERLAPPED{};
    instance.io.hEvent = instance.event.get();
    ::ResetEvent(instance.event.get());
    const BOOL connected = ::ConnectNamedPipe(instance.pipe.get(), &instance.io);
    if (!connected && ::GetLastError() == ERROR_PIPE_CONNECTED) {
        // A client came between the instance's making (or last disconnection) and this call.
        ::SetEvent(instance.event.get());
        return;
    }
    if (!Pending(connected))
        TraceLastError("ConnectNamedPipe (guard)");
}

void GuardPipe::Step(Instance& instance) {
    DWORD transferred = 0;
    const bool done = ::GetOverlappedResult(instance.pipe.get(), &instance.io, &transferred, FALSE) != FALSE;
    const DWORD error = done ? ERROR_SUCCESS : ::GetLastError();
    switch (instance.stage) {
    case Stage::Listening:
        if (!done && error != ERROR_PIPE_CONNECTED) {
            TraceFailure("ConnectNamedPipe (guard)", error);
            Drop(instance);
            return;
        }
        instance.deadline = ::GetTickCount64() + kIoTimeoutMs;
        Read(instance);
        return;
    case Stage::Reading:
        // Longer than a message may be (ERROR_MORE_DATA), or broken off: dropped unanswered.
        if (!done) {
            Drop(instance);
            return;
        }
        Answer(instance, transferred);
        return;
    case Stage::Writing:
        if (!done) {
            Drop(instance);
            return;
        }
        // The answer is read once the client has it: wait for the client to close (or to send more, which is no
        // request) before the instance takes the next client.
        instance.stage = Stage::Closing;
        instance.io = OVERLAPPED{};
        instance.io.hEvent = instance.event.get();
        instance.buffer.resize(1);
        if (!Pending(::ReadFile(instance.pipe.get(), instance.buffer.data(), 1, nullptr, &instance.io)))
            Drop(instance);
        return;
    case Stage::Closing:
        Drop(instance);
        return;
    }
}

void GuardPipe::Read(Instance& instance) {
    instance.stage = Stage::Reading;
    instance.io = OVERLAPPED{};
    instance.io.hEvent = instance.event.get();
    instance.buffer.assign(platform::kMaxGuardMessage, 0);
    if (!Pending(::ReadFile(instance.pipe.get(), instance.buffer.data(), static_cast<DWORD>(instance.buffer.size()),
                            nullptr, &instance.io)))
        Drop(instance);
}

void GuardPipe::Answer(Instance& instance, DWORD read) {
    // The caller's session, from the pipe: the message has no say in it.
    ULONG session = 0;
    if (!::GetNamedPipeClientSessionId(instance.pipe.get(), &session)) {
        ULONG client = 0;
        DWORD clientSession = 0;
        if (!::GetNamedPipeClientProcessId(instance.pipe.get(), &client) ||
            !::ProcessIdToSessionId(client, &clientSession)) {
            TraceLastError("GetNamedPipeClientProcessId (guard)");
            Drop(instance);
            return;
        }
        session = clientSession;
    }
    instance.buffer.resize(read);
    instance.buffer = m_handler(session, std::move(instance.buffer));
    instance.stage = Stage::Writing;
    instance.io = OVERLAPPED{};
    instance.io.hEvent = instance.event.get();
    if (!Pending(::WriteFile(instance.pipe.get(), instance.buffer.data(), static_cast<DWORD>(instance.buffer.size()),
                             nullptr, &instance.io)))
        Drop(instance);
}

void GuardPipe::Drop(Instance& instance) {
    if (instance.stage != Stage::Listening || ::WaitForSingleObject(instance.event.get(), 0) != WAIT_OBJECT_0) {
        DWORD ignored = 0;
        if (::CancelIoEx(instance.pipe.get(), &instance.io))
            ::GetOverlappedResult(instance.pipe.get(), &instance.io, &ignored, TRUE);
    }
    if (!::DisconnectNamedPipe(instance.pipe.get()) && ::GetLastError() != ERROR_PIPE_NOT_CONNECTED)
        TraceLastError("DisconnectNamedPipe (guard)");
    instance.buffer.clear();
    instance.buffer.shrink_to_fit();
    Listen(instance);
}

} // namespace guard::win32
