// The registry access layer and the locked-item store over the real registry: the bytes that land in it,
// looked at with the raw API. The fake registry in the unit tests only knows what we told it the system does.
#include <memory>
#include <string>
#include <vector>

#include "e2e_framework.h"
#include "engine/lock_engine.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_text_case.h"
#include "store/registry.h"

namespace {

using platform::RegRoot;

constexpr const char* kScratchKey = "Software\\ORV\\Kestrel\\Settings"; // reset before every test
const HKEY kHklm = HKEY_LOCAL_MACHINE;

std::vector<BYTE> BytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

struct Layer {
    platform::win32::Win32Registry api;
    store::Registry registry{api};
};

// ---------------------------------------------------------------------------------------------------------
// Registry access layer

E2E_TEST(WrittenStringsHaveNoTerminatingNul) {
    Layer layer;
    layer.registry.CreateKey(RegRoot::LocalMachine, kScratchKey);
    const std::string texts[] = {"1", "Crime,1", "Poker, Texas,0", ""};
    int index = 0;
    for (const std::string& text : texts) {
        const std::string name = "Value" + std::to_string(index++);
        E2E_CHECK(layer.registry.WriteValue(RegRoot::LocalMachine, kScratchKey, name, text), "write " + name);
        e2e::RawValue raw = e2e::ReadRaw(kHklm, kScratchKey, name);
        E2E_CHECK(raw.exists && raw.type == REG_SZ, name + ": not a REG_SZ");
        E2E_CHECK(raw.data == BytesOf(text), name + ": stored [" + e2e::Hex(raw.data) + "] for \"" + text + "\"");
        E2E_CHECK(layer.registry.ReadValue(RegRoot::LocalMachine, kScratchKey, name) == text, name + ": read back");
    }
}

E2E_TEST(StringStoredWithNulByAnotherProgramReadsWithoutIt) {
    Layer layer;
    e2e::WriteString(kHklm, kScratchKey, "Auth1", "Secret", true);
    E2E_REQUIRE(e2e::ReadRaw(kHklm, kScratchKey, "Auth1").data.size() == 7, "set-up: value with NUL");
    const std::string text = layer.registry.ReadValue(RegRoot::LocalMachine, kScratchKey, "Auth1");
    E2E_CHECK(text == "Secret", "read \"" + text + "\" (" + std::to_string(text.size()) + " chars)");
}

E2E_TEST(WritingToDwordKeepsTypeAndStoresLittleEndian) {
    Layer layer;
    E2E_REQUIRE(e2e::WriteDword(kHklm, kScratchKey, "Popup", 5), "set-up: REG_DWORD");
    E2E_CHECK(layer.registry.WriteValue(RegRoot::LocalMachine, kScratchKey, "Popup", "12"), "write reported failure");
    e2e::RawValue raw = e2e::ReadRaw(kHklm, kScratchKey, "Popup");
    E2E_CHECK(raw.type == REG_DWORD, "type became " + std::to_string(raw.type));
    E2E_CHECK((raw.data == std::vector<BYTE>{0x0C, 0x00, 0x00, 0x00}), "stored [" + e2e::Hex(raw.data) + "]");
    E2E_CHECK(!layer.registry.ReadValue(RegRoot::LocalMachine, kScratchKey, "Popup").empty(), "DWORD reads as \"\"");
}

// The layer reads through a 1024-byte buffer: data that fills it exactly is still readable, one byte more is not.
E2E_TEST(ValuesUpToTheBufferSizeReadBeyondItReadEmpty) {
    Layer layer;
    const std::string fits(1024, 'a');
    const std::string tooLong(1025, 'b');
    E2E_REQUIRE(e2e::WriteString(kHklm, kScratchKey, "Fits", fits), "set-up");
    E2E_REQUIRE(e2e::WriteString(kHklm, kScratchKey, "TooLong", tooLong), "set-up");
    E2E_CHECK(layer.registry.ReadValue(RegRoot::LocalMachine, kScratchKey, "Fits") == fits, "1024 bytes not read");
    E2E_CHECK(layer.registry.ReadValue(RegRoot::LocalMachine, kScratchKey, "TooLong").empty(), "1025 bytes read");
}

E2E_TEST(ValueOverBufferSizeCannotBeOverwritten) {
    Layer layer;
    const std::string big(2000, 'x');
    E2E_REQUIRE(e2e::WriteString(kHklm, kScratchKey, "Big", big), "set-up");
    E2E_CHECK(!layer.registry.WriteValue(RegRoot::LocalMachine, kScratchKey, "Big", "small"), "write succeeded");
    e2e::RawValue raw = e2e::ReadRaw(kHklm, kScratchKey, "Big");
    E2E_CHECK(raw.type == REG_SZ && raw.data == BytesOf(big),
              "value changed to " + std::to_string(raw.data.size()) + " bytes of type " + std::to_string(raw.type));
}

E2E_TEST(MissingKeyReadsEmptyAndIsNotCreatedByWrite) {
    Layer layer;
    const std::string missing = std::string(kScratchKey) + "\\Missing";
    E2E_CHECK(layer.registry.ReadValue(RegRoot::LocalMachine, missing, "Auth1").empty(), "read from missing key");
    E2E_CHECK(!layer.registry.WriteValue(RegRoot::LocalMachine, missing, "Auth1", "x"), "write succeeded");
    E2E_CHECK(!e2e::KeyExists(kHklm, missing), "write created the key");
    E2E_CHECK(!e2e::KeyExists(kHklm, kScratchKey), "write created the parent key");
}

E2E_TEST(KeysAreCreatedWithTheirPathAndDeletedUnderEitherRoot) {
    Layer layer;
    const struct {
        RegRoot root;
        HKEY hkey;
        const char* path;
    } cases[] = {
        {RegRoot::LocalMachine, kHklm, kScratchKey},
        {RegRoot::ClassesRoot, HKEY_CLASSES_ROOT, ".loc"},
        {RegRoot::ClassesRoot, HKEY_CLASSES_ROOT, "ORV.Document\\shell\\open\\command"},
    };
    for (const auto& c : cases) {
        layer.registry.CreateKey(c.root, c.path);
        E2E_CHECK(e2e::KeyExists(c.hkey, c.path), std::string("not created: ") + c.path);
        layer.registry.CreateKey(c.root, c.path); // an existing key is simply opened
        E2E_CHECK(e2e::KeyExists(c.hkey, c.path), std::string("gone after second create: ") + c.path);
        layer.registry.DeleteKey(c.root, c.path);
        E2E_CHECK(!e2e::KeyExists(c.hkey, c.path), std::string("not deleted: ") + c.path);
    }
}

// ---------------------------------------------------------------------------------------------------------
// The locked-item store, through the lock engine's load and save. The engine's desktop, timers and prompt are
// stand-ins: only the registry is real here.

struct QuietDesktop : platform::Desktop {
    platform::WindowId ForegroundWindow() override { return 0; }
    std::string WindowTitle(platform::WindowId, int) override { return ""; }
    std::string ClassName(platform::WindowId, int) override { return ""; }
    void HideWindow(platform::WindowId) override {}
    void ShowWindowNormal(platform::WindowId) override {}
    void ShowWindowNoActivate(platform::WindowId) override {}
    void PostClose(platform::WindowId) override {}
    platform::WindowId FindWindowByTitle(const std::string&) override { return 0; }
    platform::WindowId FindWindowByClass(const std::string&) override { return 0; }
    bool IsOwnWindow(platform::WindowId) override { return false; }
    platform::Subscription SubscribeWindowEvents(std::function<void(platform::WindowId)>) override { return {}; }
    std::vector<platform::TopWindow> TopLevelWindows() override { return {}; }
    std::string ProgramOf(platform::WindowId) override { return ""; }
};

struct StillTimer : platform::Timer {
    void SetEnabled(bool enabled) override { m_enabled = enabled; }
    bool Enabled() const override { return m_enabled; }
    bool m_enabled = false;
};

struct StillTimers : platform::TimerFactory {
    std::unique_ptr<platform::Timer> MakeTimer(unsigned, std::function<void()>) override {
        return std::make_unique<StillTimer>();
    }
};

struct NoPrompt : common::PromptOpener {
    void ShowPrompt() override {}
};

struct NoCrypto : platform::Crypto {
    bool Pbkdf2Sha256(const std::string&, const std::vector<std::uint8_t>&, std::uint32_t, std::size_t,
                      std::vector<std::uint8_t>&) override {
        return false;
    }
    bool RandomBytes(std::size_t, std::vector<std::uint8_t>&) override { return false; }
    bool Sha256(const std::vector<std::uint8_t>&, std::vector<std::uint8_t>&) override { return false; }
};

struct Engine {
    Layer layer;
    QuietDesktop desktop;
    StillTimers timers;
    NoCrypto crypto;
    common::SharedState state{crypto};
    store::Options options;
    NoPrompt prompt;
    platform::NoEventLog events;
    common::DeferredWork later;
    platform::win32::Win32TextCase textCase;
    engine::LockEngine engine{layer.registry, desktop, timers, state, options, prompt, events, later, textCase};
};

std::string Describe(const engine::ItemList& list) {
    std::string out;
    for (const auto& row : list.Rows())
        out += "[" + row.text + (row.checked ? " x]" : " _]");
    return out;
}

// The item values as they lie in the registry, Item0 upwards until the first missing name.
std::vector<std::string> StoredItems() {
    std::vector<std::string> items;
    for (int i = 0;; ++i) {
        e2e::RawValue raw = e2e::ReadRaw(kHklm, e2e::kLockedItemsKey, "Item" + std::to_string(i));
        if (!raw.exists)
            return items;
        items.emplace_back(raw.data.begin(), raw.data.end());
    }
}

std::string Join(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& item : items)
        out += "\"" + item + "\" ";
    return out;
}

E2E_TEST(SavedItemsAreStoredInListOrderAndLoadBack) {
    {
        Engine e;
        e.engine.listwindows().Add("Sex", true);
        e.engine.listwindows().Add("Poker, Texas", false);
        e.engine.listwindows().Add("crime", true);
        e.engine.SaveWindows();
        E2E_CHECK(e.engine.timerorv().Enabled(), "watcher off after save");
    }
    const std::vector<std::string> expected = {"crime,1", "Poker, Texas,0", "Sex,1"};
    E2E_CHECK(StoredItems() == expected, "stored " + Join(StoredItems()));
    for (const char* name : {"Item0", "Item1", "Item2"}) {
        e2e::RawValue raw = e2e::ReadRaw(kHklm, e2e::kLockedItemsKey, name);
        E2E_CHECK(raw.type == REG_SZ && !raw.data.empty() && raw.data.back() != 0,
                  std::string(name) + " not a REG_SZ without NUL: [" + e2e::Hex(raw.data) + "]");
    }

    Engine fresh;
    fresh.engine.GetWindows();
    E2E_CHECK(Describe(fresh.engine.listwindows()) == "[crime x][Poker, Texas _][Sex x]",
              "loaded " + Describe(fresh.engine.listwindows()));
    E2E_CHECK((fresh.engine.ListLockedItems() == std::vector<std::string>{"crime", "Sex"}),
              "rules " + Join(fresh.engine.ListLockedItems()));
}

E2E_TEST(GapsAndForeignValuesLoadAndTheNextSaveClosesUp) {
    e2e::SetLockedItems({{"Item0", "Crime,1"}, {"Item2", "Poker, Texas,1"}, {"Item3", "Foo,x"}, {"Item4", "1"}});
    e2e::WriteString(kHklm, e2e::kLockedItemsKey, "Item5", "Sex,0", true); // stored by another program
    e2e::WriteString(kHklm, e2e::kLockedItemsKey, "Other", "Ignored,1");

    Engine e;
    e.engine.GetWindows();
    E2E_CHECK(Describe(e.engine.listwindows()) == "[Crime x][Poker, Texas x][Sex _]",
              "loaded " + Describe(e.engine.listwindows()));
    E2E_CHECK((e.engine.ListLockedItems() == std::vector<std::string>{"Crime", "Poker, Texas"}),
              "rules " + Join(e.engine.ListLockedItems()));

    e.engine.SaveWindows();
    const std::vector<std::string> expected = {"Crime,1", "Poker, Texas,1", "Sex,0"};
    E2E_CHECK(StoredItems() == expected, "stored " + Join(StoredItems()));
    for (const char* gone : {"Item3", "Item4", "Item5", "Other"})
        E2E_CHECK(!e2e::ReadRaw(kHklm, e2e::kLockedItemsKey, gone).exists, std::string(gone) + " survived the save");
}

E2E_TEST(NoStoredItemsShowSuggestionsWithoutStoringThem) {
    Engine e;
    e.engine.GetWindows();
    E2E_CHECK(Describe(e.engine.listwindows()) == "[Crime _][Porn _][Sex _]",
              "loaded " + Describe(e.engine.listwindows()));
    E2E_CHECK(e.engine.ListLockedItems().empty(), "rules " + Join(e.engine.ListLockedItems()));
    E2E_CHECK(!e2e::KeyExists(kHklm, e2e::kLockedItemsKey), "load created the Locked Items key");
}

} // namespace

E2E_MAIN()
