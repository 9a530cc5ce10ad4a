#pragma once
#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/win32/win32_handles.h"

namespace guard::win32 {

using platform::win32::UniqueHandle;

// The guard's end of the channel Kestrel asks it through: the named pipe \\.\pipe\KestrelGuard, of messages, for
// users signed in at this machine only (no network logons, no remote clients). A few instances are served by the
// guard's one thread, each one step at a time as its overlapped I/O completes, so that a client that sends nothing,
// or slowly, holds its instance for at most kIoTimeoutMs and never the others. One request, one answer, then the
// client closes. The owner waits on Events() with the rest of its work and calls Serve() after every wait.
class GuardPipe {
public:
    // The answer to one request from a session: the session comes from the pipe (the client's process), never
    // from the message.
    using Handler = std::function<std::vector<std::uint8_t>(std::uint32_t session, std::vector<std::uint8_t> message)>;

    static constexpr std::size_t kInstances = 4;
    static constexpr ULONGLONG kIoTimeoutMs = 5000;

    explicit GuardPipe(Handler handler) : m_handler(std::move(handler)) {}
    ~GuardPipe();
    GuardPipe(const GuardPipe&) = delete;
    GuardPipe& operator=(const GuardPipe&) = delete;

    // Makes the pipe and starts listening. False (traced) when the name is taken: a pipe of that name made by
    // anyone else first is never served by the guard, and the caller tries again later.
    bool Start();
    bool Serving() const { return m_serving; }

    // One event per instance, signalled when its I/O has completed.
    void AddEvents(std::vector<HANDLE>& waits) const;
    // Takes every instance whose I/O has completed one step further, and drops the clients whose time is up.
    void Serve();
    // When the next client's time is up; nullopt when no client is being served.
    std::optional<ULONGLONG> NextDeadline() const;

private:
    enum class Stage {
        Listening, // waiting for a client
        Reading,   // its request
        Writing,   // the answer
        Closing,   // waiting for the client to close, having read the answer
    };
    struct Instance {
        UniqueHandle pipe;
        UniqueHandle event;
        OVERLAPPED io{};
        Stage stage = Stage::Listening;
        ULONGLONG deadline = 0;
        std::vector<std::uint8_t> buffer;
    };

    // Starts an overlapped operation's wait: false when it failed at once.
    static bool Pending(BOOL started);
    void Listen(Instance& instance);
    void Step(Instance& instance);
    void Read(Instance& instance);
    void Answer(Instance& instance, DWORD read);
    void Drop(Instance& instance);

    Handler m_handler;
    std::array<Instance, kInstances> m_instances;
    bool m_serving = false;
};

} // namespace guard::win32
