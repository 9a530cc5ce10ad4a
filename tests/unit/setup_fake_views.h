#pragma once
// The setup window's views as small simulations: a text box that raises its change handler when its text is
// set, a check box, and windows that report their destruction to their presenters as the real ones do.
#include <memory>
#include <stdexcept>
#include <string>

#include "gate/set_password_dialog.h"
#include "platform/fake/fake_desktop.h"
#include "platform/fake/fake_elevation.h"
#include "platform/fake/fake_guard_link.h"
#include "platform/fake/fake_message_box.h"
#include "platform/fake/fake_registry.h"
#include "platform/fake/fake_shell.h"
#include "platform/fake/fake_task_keys.h"
#include "platform/native/native_text_case.h"
#include "setup/add_item_dialog.h"
#include "setup/setup_window.h"
#include "store/settings.h"
#include "test_world.h"
#include "tray/sys_tray_module.h"

namespace setuptest {

constexpr platform::WindowId kMainWindow = 0x5E7;
constexpr platform::WindowId kDialogWindow = 0xD1A;

class FakeAddItemView final : public setup::AddItemView {
public:
    explicit FakeAddItemView(setup::AddItemDialog& presenter) : m_presenter(presenter) {}

    platform::WindowId Handle() const override { return kDialogWindow; }
    std::string Text() const override {
        if (failure)
            throw std::runtime_error(failure);
        return text;
    }
    void SetText(const std::string& newText) override {
        text = newText;
        caret = 0; // a new text puts the caret at the start, as a text box does
        ++setTextCalls;
        m_presenter.txtwindow_Change();
    }
    void SetCaretToEnd() override { caret = text.size(); }
    bool ConvertChecked() const override { return convert; }
    void SetInstruction(const std::string& newText) override { instruction = newText; }
    void Show() override { shown = true; }
    void Close() override {
        if (closed)
            return;
        closed = true;
        m_presenter.Form_Unload(); // the window's destruction
    }

    // The user at work.
    void Type(const std::string& typed) {
        text = typed;
        caret = typed.size();
        m_presenter.txtwindow_Change();
    }
    void TickConvert(bool ticked) {
        convert = ticked;
        m_presenter.chkconvert_Click();
    }

    std::string text;
    std::size_t caret = 0;
    bool convert = false;
    std::string instruction = setup::kAddItemInstruction;
    bool shown = false;
    bool closed = false;
    int setTextCalls = 0;
    const char* failure = nullptr; // when set, reading the text fails with this description

private:
    setup::AddItemDialog& m_presenter;
};

class FakeSetPasswordView final : public gate::SetPasswordView {
public:
    explicit FakeSetPasswordView(gate::SetPasswordDialog& presenter) : m_presenter(presenter) {}

    std::string Text1() const override { return text1; }
    std::string Text2() const override { return text2; }
    void ClearTexts() override { text1.clear(), text2.clear(); }
    void SetLabel1(const std::string& text) override { label1 = text; }
    void FocusText1() override { focusInText1 = true; }
    void Show() override {
        shown = true;
        focusInText1 = true;
    }
    void Close() override {
        if (closed)
            return;
        closed = true;
        m_presenter.Form_Unload();
    }

    std::string text1, text2;
    std::string label1 = gate::kEnterNewPassword;
    bool focusInText1 = false;
    bool shown = false;
    bool closed = false;

private:
    gate::SetPasswordDialog& m_presenter;
};

class FakeSetupWindowView final : public setup::SetupWindowView {
public:
    platform::WindowId Handle() const override { return kMainWindow; }
    void ShowWindow(bool centre) override {
        visible = true;
        if (centre)
            ++centred;
    }
    void HideWindow() override { visible = false; }
    bool IsWindowVisible() const override { return visible; }
    void SetEnabled(bool isEnabled) override { enabled = isEnabled; }
    void SetAboutTexts(const std::string& name, const std::string& version) override {
        lblprogramname = name;
        lblversion = version;
    }
    void SetLinkHighlighted(setup::LinkLabel label, bool highlighted) override {
        blue[static_cast<int>(label)] = highlighted;
        ++highlightCalls;
    }
    std::unique_ptr<setup::AddItemView> CreateAddItemView(setup::AddItemDialog& presenter) override {
        auto view = std::make_unique<FakeAddItemView>(presenter);
        addItem = view.get();
        return view;
    }
    std::unique_ptr<gate::SetPasswordView> CreateSetPasswordView(gate::SetPasswordDialog& presenter) override {
        auto view = std::make_unique<FakeSetPasswordView>(presenter);
        setPassword = view.get();
        return view;
    }

    bool visible = false;
    bool enabled = true;
    int centred = 0;
    std::string lblprogramname = "ProgramName";
    std::string lblversion = "Version";
    bool blue[setup::kLinkLabelCount] = {false, false, false, false};
    int highlightCalls = 0;
    // The dialog views last made; they belong to their presenters.
    FakeAddItemView* addItem = nullptr;
    FakeSetPasswordView* setPassword = nullptr;
};

// The lock engine and the settings of the test world with the setup window on top, wired as the main
// window wires them, after a first-instance start-up (settings, then items).
struct SetupWorld {
    SetupWorld() {
        settings.GetSettings();
        world.engine.GetWindows();
        presenter.AttachView(&view);
    }

    std::optional<std::string> Stored(const char* key, const std::string& name) const {
        return world.api.GetString(platform::RegRoot::LocalMachine, key, name);
    }
    std::optional<std::string> StoredItem(int index) const {
        return Stored(engine::kLockedItemsKey, "Item" + std::to_string(index));
    }
    engine::ItemList& Items() { return world.engine.listwindows(); }
    int IndexOf(const std::string& text) {
        for (int i = 0; i < Items().Count(); ++i)
            if (Items().Rows()[static_cast<std::size_t>(i)].text == text)
                return i;
        return -1;
    }
    platform::fake::FakeTimer& Timer() { return static_cast<platform::fake::FakeTimer&>(world.engine.timerorv()); }
    // A foreground window with this title, then one watcher tick: was it hidden?
    bool LocksWindowTitled(const std::string& title) {
        const platform::WindowId window = world.desktop.OpenForeground(title, "SomeAppClass");
        world.Tick();
        return !world.desktop.IsVisible(window);
    }

    testworld::World world;
    platform::fake::FakeShell shell;
    platform::fake::FakeTaskKeys taskKeys;
    platform::fake::FakeMessageBoxes messageBoxes;
    platform::fake::FakeElevation elevation;
    tray::SysTrayModule tray{shell, kMainWindow, 0x1C0};
    store::Settings settings{world.registry, world.state, world.options, taskKeys, tray};
    platform::native::NativeTextCase textCase;
    platform::fake::FakeGuardLink guard;
    setup::SetupWindow presenter{world.engine,
                                 settings,
                                 world.options,
                                 world.state,
                                 world.registry,
                                 setup::SetupServices{shell, messageBoxes, textCase, world.crypto, elevation,
                                                      world.timers, world.events, guard}};
    FakeSetupWindowView view;
};

} // namespace setuptest
