#pragma once
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>

#include "platform/subscription.h"

namespace common {

// Work for the program's own message loop. Our messages are also dispatched by loops that one of our handlers
// opened and is still waiting in: a message box's, the tray menu's, the system's loop while a window is moved.
// Work that must not cut into a handler is posted here instead; it runs once the program's loop has control
// again, with no handler of ours in progress, in the order it was posted.
class DeferredWork {
public:
    DeferredWork() = default;
    DeferredWork(const DeferredWork&) = delete;
    DeferredWork& operator=(const DeferredWork&) = delete;

    void Post(std::function<void()> work) { m_work.push_back({std::move(work), nullptr}); }
    // The same, for work that must not run once its token has gone (work that calls into an object that may go
    // before the loop comes round).
    [[nodiscard]] platform::Subscription PostCancellable(std::function<void()> work) {
        auto wanted = std::make_shared<bool>(true);
        m_work.push_back({std::move(work), wanted});
        return platform::Subscription([wanted] { *wanted = false; });
    }

    // The program's loop holds one of these for the time it dispatches a message.
    class Dispatch {
    public:
        explicit Dispatch(DeferredWork& work) : m_owner(work) { ++m_owner.m_depth; }
        ~Dispatch() { --m_owner.m_depth; }
        Dispatch(const Dispatch&) = delete;
        Dispatch& operator=(const Dispatch&) = delete;

    private:
        DeferredWork& m_owner;
    };

    // Runs the posted work, and what it posts in turn, unless a dispatch is in progress. Running work counts as
    // a dispatch: a loop that it opens runs none of the rest.
    void RunIfIdle();

    std::size_t Waiting() const { return m_work.size(); }

private:
    struct Work {
        std::function<void()> run;
        std::shared_ptr<bool> wanted; // nullptr: always wanted
    };
    std::deque<Work> m_work;
    int m_depth = 0;
};

} // namespace common
