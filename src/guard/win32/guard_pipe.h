#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/win32/win32_handles.h"

namespace guard::win32 {

using platform::win32::UniqueHandle;

// The guard's end of the channel Kestrel asks it through: the named pipe \\.\pipe\KestrelGuard, of messages, for
// users signed in at this machine only (no network logons, no remote clients). A few instances are served by
// threads of their own, so that a client that sends nothing, or slowly, holds one of them for at most kIoTimeoutMs
// and never the others. One request, one answer, then the client closes.
class GuardPipe {
public:
    // The answer to one request from a session: the session comes from the pipe (the client's process), never
    // from the message. Called on the pipe's threads, one call at a time per thread.
    using Handler = std::function<std::vector<std::uint8_t>(std::uint32_t session, std::vector<std::uint8_t> message)>;

    static constexpr int kInstances = 4;
    static constexpr DWORD kIoTimeoutMs = 5000;

    explicit GuardPipe(Handler handler);
    ~GuardPipe();
    GuardPipe(const GuardPipe&) = delete;
    GuardPipe& operator=(const GuardPipe&) = delete;

    // Makes the pipe and starts serving it. False (traced) when the name is taken: a pipe of that name made by
    // anyone else first is never served by the guard, and the caller tries again later.
    bool Start();
    bool Serving() const { return !m_threads.empty(); }

private:
    struct Instance {
        GuardPipe* owner = nullptr;
        UniqueHandle pipe;
        UniqueHandle event; // the instance's overlapped I/O
    };
    static DWORD WINAPI Serve(void* instance);
    void ServeClients(Instance& instance);
    // Waits for one overlapped operation until it is done, the time is up or the guard stops (then cancels it).
    bool Finish(Instance& instance, OVERLAPPED& io, BOOL started, DWORD& transferred, DWORD timeoutMs);
    void Answer(Instance& instance);

    Handler m_handler;
    UniqueHandle m_stop;
    std::vector<Instance> m_instances;
    std::vector<UniqueHandle> m_threads;
};

} // namespace guard::win32
