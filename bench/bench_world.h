#pragma once
// The lock engine wired to the fake platform, as the main window wires it to the real one, for measuring.
#include <algorithm>
#include <string>

#include "common/prompt_opener.h"
#include "common/shared_state.h"
#include "engine/lock_engine.h"
#include "platform/fake/fake_desktop.h"
#include "platform/fake/fake_registry.h"
#include "platform/fake/fake_timer.h"
#include "platform/native/native_text_case.h"
#include "platform/native/openssl_crypto.h"
#include "store/options.h"
#include "store/registry.h"

namespace bench {

// The prompt only counts how often it was asked for: showing it is not the watcher's cost.
class CountingPrompt : public common::PromptOpener {
public:
    void ShowPrompt() override { ++shown; }
    long shown = 0;
};

struct EngineWorld {
    EngineWorld() { engine.timerorv().SetEnabled(true); }

    // Stores count active items "Locked item 0000" ... as Item0 ... (what a load turns into rules).
    void StoreItems(int count) {
        for (int i = 0; i < count; ++i)
            api.PutString(platform::RegRoot::LocalMachine, engine::kLockedItemsKey, "Item" + std::to_string(i),
                          ItemText(i) + ",1");
    }
    static std::string ItemText(int i) {
        std::string number = std::to_string(i);
        return "Locked item " + std::string(4 - std::min<std::size_t>(4, number.size()), '0') + number;
    }

    platform::fake::FakeRegistry api;
    store::Registry registry{api};
    platform::fake::FakeDesktop desktop;
    platform::fake::FakeTimerFactory timers;
    platform::native::OpenSslCrypto crypto;
    common::SharedState state{common::Password(crypto, 1000)};
    store::Options options;
    CountingPrompt prompt;
    platform::NoEventLog events;
    common::DeferredWork later;
    platform::native::NativeTextCase textCase;
    engine::LockEngine engine{registry, desktop, timers, state, options, prompt, events, later, textCase};
};

} // namespace bench
