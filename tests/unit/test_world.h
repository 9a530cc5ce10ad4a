#pragma once
// A small world for the lock engine and the settings: the fake platform, the shared state and the engine,
// wired together as the main window wires the real ones.
#include <functional>
#include <string>
#include <vector>

#include "common/prompt_opener.h"
#include "common/shared_state.h"
#include "engine/lock_engine.h"
#include "platform/fake/fake_desktop.h"
#include "platform/fake/fake_event_log.h"
#include "platform/fake/fake_registry.h"
#include "platform/fake/fake_timer.h"
#include "platform/native/native_text_case.h"
#include "platform/native/openssl_crypto.h"
#include "store/options.h"
#include "store/registry.h"

namespace testworld {

// The password prompt as the watcher sees it: how often it was asked to show, and for which pending action.
class PromptSpy : public common::PromptOpener {
public:
    explicit PromptSpy(const common::SharedState& state) : m_state(state) {}
    void ShowPrompt() override {
        actions.push_back(m_state.PendingAction);
        if (const std::function<void()> also = onShow) // a copy: it may replace itself
            also();
    }
    std::vector<common::PendingAction> actions;
    std::function<void()> onShow; // what else happens while the prompt comes up

private:
    const common::SharedState& m_state;
};

struct World {
    World() { engine.timerorv().SetEnabled(true); } // as the first instance's start-up does

    // One tick of timerorv, delivered as the system would (only while it is on).
    bool Tick() { return static_cast<platform::fake::FakeTimer&>(engine.timerorv()).Fire(); }

    void StoreItem(int index, const std::string& data) {
        api.PutString(platform::RegRoot::LocalMachine, engine::kLockedItemsKey, "Item" + std::to_string(index), data);
    }
    std::vector<std::string> RowTexts() const {
        std::vector<std::string> texts;
        for (const auto& row : engine.listwindows().Rows())
            texts.push_back(row.text);
        return texts;
    }
    // Loads the given checked items as rules, as the start-up load does.
    void LoadRules(const std::vector<std::string>& rules) {
        for (std::size_t i = 0; i < rules.size(); ++i)
            StoreItem(static_cast<int>(i), rules[i] + ",1");
        engine.GetWindows();
    }

    platform::fake::FakeRegistry api;
    store::Registry registry{api};
    platform::fake::FakeDesktop desktop;
    platform::fake::FakeTimerFactory timers;
    platform::native::OpenSslCrypto crypto;
    common::SharedState state{common::Password(crypto, 1000)};
    store::Options options;
    PromptSpy prompt{state};
    platform::fake::FakeEventLog events;
    common::DeferredWork later; // the main loop's work, run by the tests themselves
    platform::native::NativeTextCase textCase;
    engine::LockEngine engine{registry, desktop, timers, state, options, prompt, events, later, textCase};
};

} // namespace testworld
