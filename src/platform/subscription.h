#pragma once
#include <cstddef>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

// Tokens and notifiers are the one way the layers subscribe to one another; they live at the bottom so that every
// layer, the platform interfaces included, can hand them out.
namespace platform {

// A registration that ends when its token goes (or is reset): a listener, a posted piece of work, a completion
// waited for. The token may outlive what it was registered with; it then cancels nothing.
class Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::function<void()> cancel) : m_cancel(std::move(cancel)) {}
    ~Subscription() { Reset(); }
    Subscription(Subscription&& other) noexcept : m_cancel(std::exchange(other.m_cancel, nullptr)) {}
    Subscription& operator=(Subscription&& other) noexcept {
        if (this != &other) {
            Reset();
            m_cancel = std::exchange(other.m_cancel, nullptr);
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;

    void Reset() {
        if (auto cancel = std::exchange(m_cancel, nullptr))
            cancel();
    }
    explicit operator bool() const { return static_cast<bool>(m_cancel); }

private:
    std::function<void()> m_cancel;
};

// Listeners of one kind of change. Notify calls a copy of the list, so that a listener may subscribe, unsubscribe
// (itself or another) or destroy the notifier while it runs; one that has been unsubscribed meanwhile is skipped.
template <class... Args> class Notifier {
public:
    Notifier() = default;
    Notifier(const Notifier&) = delete;
    Notifier& operator=(const Notifier&) = delete;

    [[nodiscard]] Subscription Subscribe(std::function<void(Args...)> listener) {
        auto entry = std::make_shared<Entry>(Entry{std::move(listener), true});
        m_state->entries.push_back(entry);
        std::weak_ptr<State> state = m_state;
        return Subscription([state, entry] {
            entry->active = false;
            if (auto alive = state.lock())
                std::erase(alive->entries, entry);
        });
    }

    void Notify(Args... args) const {
        const std::shared_ptr<State> keep = m_state;
        const std::vector<std::shared_ptr<Entry>> entries = keep->entries;
        for (const auto& entry : entries) {
            if (entry->active)
                entry->listener(args...);
        }
    }

    std::size_t Count() const { return m_state->entries.size(); }

private:
    struct Entry {
        std::function<void(Args...)> listener;
        bool active;
    };
    struct State {
        std::vector<std::shared_ptr<Entry>> entries;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

} // namespace platform
