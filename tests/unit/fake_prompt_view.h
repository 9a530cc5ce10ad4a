#pragma once
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "gate/prompt_host.h"
#include "gate/prompt_view.h"

namespace testing_support {

// What one prompt window went through. Kept by the factory, so it can be looked at after the window is gone.
struct PromptWindowRecord {
    std::string caption;
    std::string label;
    std::string typed; // the text box
    std::set<gate::PromptControl> hidden;
    int topmostCalls = 0;
    int showCalls = 0;
    int timerRestarts = 0;
    int flashCalls = 0;
    std::vector<platform::WindowId> centredOn; // the windows whose monitor it was centred on (0: the primary)
    bool foregroundRefused = false;            // what Windows answers when the window asks for the foreground
    std::vector<gate::PromptControl> focused;  // every focus request, in order
    bool closed = false;
    bool destroyed = false;
    gate::PromptViewEvents* events = nullptr;
};

class FakePromptView final : public gate::PromptView {
public:
    FakePromptView(PromptWindowRecord& record, std::vector<std::string>& log) : m_record(record), m_log(log) {}
    ~FakePromptView() override { m_record.destroyed = true; }

    void MakeTopmost() override { ++m_record.topmostCalls; }
    void SetCaption(const std::string& caption) override { m_record.caption = caption; }
    void SetLabel(const std::string& text) override { m_record.label = text; }
    std::string PasswordText() override { return m_record.typed; }
    void HideControl(gate::PromptControl control) override { m_record.hidden.insert(control); }
    void FocusControl(gate::PromptControl control) override { m_record.focused.push_back(control); }
    bool Show() override {
        ++m_record.showCalls;
        return !m_record.foregroundRefused;
    }
    void Flash() override { ++m_record.flashCalls; }
    void CentreOn(platform::WindowId window) override { m_record.centredOn.push_back(window); }
    void RestartRefreshTimer() override { ++m_record.timerRestarts; }
    void Close() override {
        m_record.closed = true;
        m_record.events = nullptr;
        m_log.push_back("close prompt");
    }

private:
    PromptWindowRecord& m_record;
    std::vector<std::string>& m_log;
};

class FakePromptViewFactory final : public gate::PromptViewFactory {
public:
    explicit FakePromptViewFactory(std::vector<std::string>& log) : m_log(log) {}

    std::unique_ptr<gate::PromptView> CreatePromptView(gate::PromptViewEvents& events) override {
        m_windows.push_back(std::make_unique<PromptWindowRecord>());
        m_windows.back()->events = &events;
        m_windows.back()->foregroundRefused = m_refuseForeground;
        return std::make_unique<FakePromptView>(*m_windows.back(), m_log);
    }

    int Created() const { return static_cast<int>(m_windows.size()); }
    PromptWindowRecord& Last() { return *m_windows.back(); }

    // The user's side of the newest window: typing, pressing, the close box and the timer.
    void Type(const std::string& text) { Last().typed = text; }
    void PressOk() { Last().events->OKButton_Click(); }
    void PressCancel() { Last().events->CancelButton_Click(); }
    void PressCloseBox() { Last().events->CloseBox_Click(); }
    void Tick() { Last().events->Timer1_Timer(); }
    // The window becomes the active one (a click on it, Alt+Tab).
    void Activate() { Last().events->Form_Activate(); }
    // Windows refuses the foreground to the windows made from now on.
    void RefuseForeground(bool refuse) { m_refuseForeground = refuse; }

private:
    std::vector<std::string>& m_log;
    bool m_refuseForeground = false;
    std::vector<std::unique_ptr<PromptWindowRecord>> m_windows;
};

// Records what the prompt asks of the rest of the program, in order, in the shared log.
class FakePromptHost final : public gate::PromptHost {
public:
    explicit FakePromptHost(std::vector<std::string>& log) : m_log(log) {}
    void StopWatcher() override { m_log.push_back("stop watcher"); }
    void AllowGivenBack(platform::WindowId, const std::string& allowKey, const std::string&) override {
        m_log.push_back("allow " + allowKey);
    }
    void DeleteTrayIcon() override { m_log.push_back("delete tray icon"); }
    std::optional<std::string> ConfirmExit(const std::string&) override {
        m_log.push_back("confirm exit");
        return exitRefusal;
    }
    void ShowSetupWindow(const std::string& password) override {
        openedWith = password;
        m_log.push_back("show setup window");
        if (const std::function<void()> also = onShowSetupWindow) // a copy: it may replace itself
            also();
    }
    void EndProcess() override { m_log.push_back("end process"); }

    // What else happens when the setup window is shown (a handler that opens the prompt again, say).
    std::function<void()> onShowSetupWindow;
    std::optional<std::string> exitRefusal; // what a guard answers to Exit
    std::string openedWith;                 // the password the setup window was opened with

private:
    std::vector<std::string>& m_log;
};

} // namespace testing_support
