#pragma once
#include <windows.h>

#include <functional>

#include "platform/elevation.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_window.h"

namespace platform::win32 {

// The hand-over file in the user's temporary folder and the copy started with the shell's "runas" verb. The
// start and the wait run on a thread of their own (the consent prompt can keep ShellExecuteEx busy for as long
// as the user takes), which posts the outcome to a message-only window of this object; the completion then runs
// from the user-interface thread's message loop.
class Win32Elevation final : public Elevation {
public:
    Win32Elevation() = default;
    ~Win32Elevation() override;
    Win32Elevation(const Win32Elevation&) = delete;
    Win32Elevation& operator=(const Win32Elevation&) = delete;

    std::string CreateHandOver(const std::vector<std::uint8_t>& data) override;
    void DeleteHandOver(const std::string& path) override;
    bool TakeHandOver(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& data) override;
    Subscription StartElevated(WindowId owner, const std::string& arguments,
                               std::function<void(const ElevatedRun&)> done) override;

private:
    struct Job;
    static DWORD WINAPI RunJob(void* job) noexcept;
    void Done(Job& job);

    // Receives the outcome from the waiting thread.
    class DoneWindow final : public MessageWindow {
    public:
        explicit DoneWindow(Win32Elevation& owner) : m_owner(owner) {}
        bool Make() { return Handle() || CreateMessageOnly(L"KestrelElevationWindow"); }

    private:
        LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
        Win32Elevation& m_owner;
    };

    DoneWindow m_window{*this};
    UniqueHandle m_thread;
    std::function<void(const ElevatedRun&)> m_done;
    int m_runs = 0; // which start the completion belongs to
};

} // namespace platform::win32
