#pragma once
// Driving the setup window of a running kestrel.exe from a test program, as e2e_setup and e2e_save do: start it,
// open the setup window through the tray menu's Setup... and the password, press its buttons and links, read its
// locked-item list, and read the store.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "e2e_framework.h"

#include <commctrl.h>
#include <sddl.h>

namespace setup_driver {

using Items = std::vector<std::pair<std::string, std::string>>;

constexpr DWORD kLockWaitMs = 5000;
// Generous: Wine on a shared machine is slow, and the password hash takes a second or two there.
constexpr DWORD kSaveWaitMs = 30000;
constexpr WORD kMenuSetup = 40001; // the tray menu's "Setup..." as the main window receives it
using e2e::kLockedItemsKey;
using e2e::kSettingsKey;

// ---------------------------------------------------------------------------------------------------------
// Kestrel's windows

inline HWND MainWindow(DWORD pid) {
    return e2e::MainWindowOf(pid);
}

inline HWND WaitForPrompt(DWORD pid) {
    return e2e::WaitForPrompt(pid);
}

inline void Answer(HWND prompt, const std::string& password) {
    E2E_REQUIRE(e2e::AnswerPrompt(prompt, password), "could not answer the prompt");
}

// Presses a button of another process and returns once its handler has run (the click is sent, not posted);
// false when the button is missing or the handler did not return within a generous time.
inline bool PressAndWait(HWND button) {
    DWORD_PTR result = 0;
    return button && SendMessageTimeoutA(button, BM_CLICK, 0, 0, SMTO_NORMAL, 60000, &result) != 0;
}

// True once the window's thread has finished what it was doing (a handler of a posted click) and answers.
inline bool Settled(HWND window) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result) != 0;
}

// A visible top-level window of the process with this caption (a dialog); nullptr when none came.
inline HWND WaitForWindow(DWORD pid, const std::string& caption) {
    HWND found = nullptr;
    e2e::WaitUntil([&] { return (found = e2e::FindWindowOf(pid, caption, true)) != nullptr; });
    return found;
}

struct Kestrel {
    DWORD pid = 0;
    HWND main = nullptr;
};

inline Kestrel Start(const Items& items) {
    E2E_REQUIRE(e2e::SetLockedItems(items), "could not write the locked items");
    Kestrel k;
    k.pid = e2e::StartKestrelAndWait();
    E2E_REQUIRE(k.pid != 0, "kestrel.exe did not start as the first instance");
    k.main = MainWindow(k.pid);
    E2E_REQUIRE(k.main != nullptr, "no main window");
    return k;
}

// The tray menu's "Setup...", then the password: the setup window opens.
inline void OpenSetup(const Kestrel& k, const std::string& password = "PASSAGE") {
    E2E_REQUIRE(e2e::PostCommand(k.main, kMenuSetup, 0), "could not choose Setup...");
    HWND prompt = WaitForPrompt(k.pid);
    E2E_REQUIRE(prompt, "Setup... did not ask for the password");
    Answer(prompt, password);
    E2E_REQUIRE(e2e::WaitUntil([&] { return IsWindowVisible(k.main) != FALSE; }), "the setup window did not open");
}

inline HWND Control(HWND main, const char* className, const std::string& text) {
    HWND control = e2e::ChildWithText(main, className, text);
    E2E_REQUIRE(control, std::string("no ") + className + " \"" + text + "\" on the setup window");
    return control;
}

// A click on a button, or on a label that acts as one: its notification as the main window receives it.
inline void Press(HWND main, const char* className, const std::string& text) {
    HWND control = Control(main, className, text);
    const WORD code = e2e::SameText(className, "Static") ? STN_CLICKED : BN_CLICKED;
    E2E_REQUIRE(e2e::PostCommand(main, static_cast<WORD>(GetDlgCtrlID(control)), code, control),
                "could not click \"" + text + "\"");
}

// Selects a tab as a click on it would (the tab control tells the main window).
inline void SelectTab(HWND main, int tab) {
    HWND tabs = e2e::ChildOfClass(main, WC_TABCONTROLA);
    E2E_REQUIRE(tabs, "no tab control");
    SendMessageA(tabs, TCM_SETCURFOCUS, static_cast<WPARAM>(tab), 0);
    e2e::Pause(200);
}

inline bool EnabledNow(HWND window) {
    return IsWindowEnabled(window) != FALSE;
}

// "Add an Item" on the first tab: the add-item dialog that opens.
inline HWND OpenAddItemDialog(const Kestrel& k) {
    Press(k.main, "Static", "Add an Item");
    HWND dialog = WaitForWindow(k.pid, "Add an Item");
    E2E_REQUIRE(dialog, "the add-item dialog did not open");
    return dialog;
}

// An item typed into the add-item dialog and added with its OK: the dialog goes and the setup window takes input
// again.
inline void AddItemThroughDialog(const Kestrel& k, const std::string& text) {
    HWND dialog = OpenAddItemDialog(k);
    E2E_REQUIRE(e2e::SetText(e2e::ChildOfClass(dialog, "Edit"), text), "could not type the item");
    E2E_REQUIRE(e2e::Click(e2e::ChildWithText(dialog, "Button", "OK")), "no OK on the add-item dialog");
    E2E_REQUIRE(e2e::WaitUntil([&] { return !IsWindow(dialog) && EnabledNow(k.main); }), "the dialog stayed");
}

// ---------------------------------------------------------------------------------------------------------
// The locked-item list of another process: a list box, whose rows any program can read (the system carries the
// row texts across), with the tick of each row in its item data (1 = ticked, 0 = not).

inline LRESULT Ask(HWND list, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = static_cast<DWORD_PTR>(LB_ERR);
    if (!SendMessageTimeoutW(list, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result))
        return LB_ERR;
    return static_cast<LRESULT>(result);
}

inline HWND ItemList(HWND main) {
    HWND list = e2e::ChildOfClass(main, "ListBox");
    E2E_REQUIRE(list, "no locked-item list");
    return list;
}

// The rows' texts, asked as a reading tool asks: in UTF-16 (Wine 8 hands the ANSI form of LB_GETTEXT to another
// process as UTF-16 too), then in UTF-8, as the tests write their texts.
inline std::vector<std::string> ListTexts(HWND list) {
    std::vector<std::string> texts;
    const LRESULT count = Ask(list, LB_GETCOUNT);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = Ask(list, LB_GETTEXTLEN, static_cast<WPARAM>(i));
        if (length < 0)
            return texts;
        std::vector<wchar_t> wide(static_cast<std::size_t>(length) + 1, L'\0');
        const LRESULT copied = Ask(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(wide.data()));
        const int chars = static_cast<int>(std::clamp<LRESULT>(copied, 0, length));
        std::string text(static_cast<std::size_t>(chars) * 3, '\0');
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), chars, text.data(),
                                              static_cast<int>(text.size()), nullptr, nullptr);
        text.resize(static_cast<std::size_t>(std::max(bytes, 0)));
        texts.push_back(text);
    }
    return texts;
}

inline int RowOf(HWND list, const std::string& text) {
    const auto texts = ListTexts(list);
    for (std::size_t i = 0; i < texts.size(); ++i)
        if (texts[i] == text)
            return static_cast<int>(i);
    return -1;
}

inline bool RowTicked(HWND list, const std::string& text) {
    const int row = RowOf(list, text);
    return row >= 0 && Ask(list, LB_GETITEMDATA, static_cast<WPARAM>(row)) == 1;
}

// ---------------------------------------------------------------------------------------------------------
// The store

inline std::string Stored(const char* key, const std::string& name) {
    return e2e::ReadText(HKEY_LOCAL_MACHINE, key, name).value_or("(missing)");
}

inline std::vector<std::string> StoredItems() {
    std::vector<std::string> items;
    for (int i = 0;; ++i) {
        const auto value = e2e::ReadText(HKEY_LOCAL_MACHINE, kLockedItemsKey, "Item" + std::to_string(i));
        if (!value)
            return items;
        items.push_back(*value);
    }
}

// ---------------------------------------------------------------------------------------------------------
// Saving where the store refuses

// A deny entry for Everyone on the store's keys: opening them for writing fails with access denied, reading works.
// Lifted when the object goes (or earlier, as the administrator's consent would), so that the next test can reset
// the store.
class StoreRefused {
public:
    explicit StoreRefused(std::vector<const char*> keys = {kLockedItemsKey, kSettingsKey}) : m_keys(std::move(keys)) {
        for (const char* key : m_keys)
            E2E_REQUIRE(e2e::CreateKey(HKEY_LOCAL_MACHINE, key) &&
                            SetAccess(key, "D:P(D;OICI;0x10006;;;WD)(A;OICI;KA;;;WD)"),
                        std::string("could not refuse ") + key);
        m_refused = true;
    }
    ~StoreRefused() { Lift(); }
    StoreRefused(const StoreRefused&) = delete;
    StoreRefused& operator=(const StoreRefused&) = delete;

    void Lift() {
        if (!m_refused)
            return;
        m_refused = false;
        for (const char* key : m_keys)
            SetAccess(key, "D:P(A;OICI;KA;;;WD)");
    }

private:
    static bool SetAccess(const char* path, const char* sddl) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr))
            return false;
        HKEY key = nullptr;
        LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, WRITE_DAC | KEY_WOW64_32KEY, &key);
        if (status == ERROR_SUCCESS) {
            status = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
            RegCloseKey(key);
        }
        LocalFree(descriptor);
        return status == ERROR_SUCCESS;
    }

    std::vector<const char*> m_keys;
    bool m_refused = false;
};

// A message box of Kestrel (caption "Kestrel") that says exactly this (or, with `part`, says this among other
// words); nullptr when none came.
inline HWND WaitForMessage(DWORD pid, const std::string& text, bool part = false) {
    const auto says = [&](HWND box) {
        for (HWND label : e2e::ChildrenOfClass(box, "Static")) {
            const std::string said = e2e::ControlText(label);
            if (part ? said.find(text) != std::string::npos : said == text)
                return true;
        }
        return false;
    };
    HWND box = nullptr;
    e2e::WaitUntil(
        [&] {
            box = e2e::FindWindowOf(pid, "Kestrel", true);
            return box && says(box);
        },
        kSaveWaitMs);
    return box && says(box) ? box : nullptr;
}

inline std::string Joined(const std::vector<std::string>& texts) {
    std::string joined;
    for (const auto& text : texts)
        joined += (joined.empty() ? "" : " | ") + text;
    return "[" + joined + "]";
}

// Opens a test window with this title and tells whether the lock hides it. The prompt that comes for it takes the
// front a moment later: that is waited for, so that the next window of the test opens in front.
inline bool Locks(const std::string& title) {
    HWND window = e2e::CreateTestWindow(title);
    if (!window || !e2e::WaitUntil([&] { return !IsWindowVisible(window); }, kLockWaitMs))
        return false;
    e2e::WaitUntil(
        [] {
            HWND front = GetForegroundWindow();
            return front && e2e::WindowText(front) == e2e::kRunningCaption;
        },
        2000);
    e2e::Pause(300);
    return true;
}

} // namespace setup_driver
