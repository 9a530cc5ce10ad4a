#pragma once
#include <functional>
#include <vector>

namespace store {

// The four check boxes of the Advanced tab: the working copy of the optional locks. The settings load
// and the setup window both change them; whoever shows them subscribes to changes.
enum class Option { Popup, LockKeys, Kestrel, LockInstall };

class Options {
public:
    bool Get(Option option) const { return m_values[Index(option)]; }
    // Sets a box; listeners hear of every real change (like a check box's click notification).
    void Set(Option option, bool checked) {
        if (m_values[Index(option)] == checked)
            return;
        m_values[Index(option)] = checked;
        for (auto& listener : m_listeners)
            listener(option);
    }
    void Subscribe(std::function<void(Option)> listener) { m_listeners.push_back(std::move(listener)); }

    bool chkpopup() const { return Get(Option::Popup); }
    bool chklockkeys() const { return Get(Option::LockKeys); }
    bool chkkestrel() const { return Get(Option::Kestrel); }
    bool chklockinstall() const { return Get(Option::LockInstall); }

private:
    static int Index(Option option) { return static_cast<int>(option); }
    bool m_values[4] = {false, false, false, false};
    std::vector<std::function<void(Option)>> m_listeners;
};

} // namespace store
