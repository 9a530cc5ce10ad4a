#pragma once
#include <functional>
#include <utility>

namespace common {

// Whether a dialog that keeps its owner window (the setup window) disabled is open. Opening disables the owner;
// the first way of closing (a button, the window going, the dialog object going while open) enables it again,
// and the later ones find the dialog closed already.
class ModalState {
public:
    explicit ModalState(std::function<void(bool)> setOwnerEnabled) : m_setOwnerEnabled(std::move(setOwnerEnabled)) {}
    ~ModalState() { Close(); }
    ModalState(const ModalState&) = delete;
    ModalState& operator=(const ModalState&) = delete;

    bool IsOpen() const { return m_open; }

    void Open() {
        m_open = true;
        SetOwnerEnabled(false);
    }

    // Enables the owner when the dialog was open; false when it was closed already.
    bool Close() {
        if (!m_open)
            return false;
        m_open = false;
        SetOwnerEnabled(true);
        return true;
    }

private:
    void SetOwnerEnabled(bool enabled) {
        if (m_setOwnerEnabled)
            m_setOwnerEnabled(enabled);
    }

    std::function<void(bool)> m_setOwnerEnabled;
    bool m_open = false;
};

} // namespace common
