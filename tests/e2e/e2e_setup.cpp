// The setup window through the real windows of kestrel.exe: opened with the tray menu's Setup... and the
// password, its tabs, the add-item and set-password dialogs, OK, Apply, Cancel and Remove, and what each leaves
// in the store and in the running lock. Screenshots of every tab and dialog go to build/e2e-artifacts/.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "e2e_framework.h"
#include "setup_driver.h"

#include <commctrl.h>
#include <tlhelp32.h>

namespace {

using namespace setup_driver;

// ---------------------------------------------------------------------------------------------------------
// The selection of the locked-item list, and real input on it

int SelectedRow(HWND list) {
    return static_cast<int>(Ask(list, LB_GETCURSEL));
}

// Selects a row as a test tool does: LB_SETCURSEL, which the list box announces to nobody.
void SelectRow(HWND list, const std::string& text) {
    const int row = RowOf(list, text);
    E2E_REQUIRE(row >= 0, "no row \"" + text + "\"");
    E2E_REQUIRE(Ask(list, LB_SETCURSEL, static_cast<WPARAM>(row)) == row, "could not select " + text);
}

// Real input, as the user's hand gives it.

// The screen point of a row of the list: on its tick box (a square about a row high at the row's left end),
// or on its text.
enum class RowPart { TickBox, Text };
POINT PointOn(HWND list, const std::string& text, RowPart part) {
    const int row = RowOf(list, text);
    E2E_REQUIRE(row >= 0, "no row \"" + text + "\"");
    const auto top = static_cast<int>(Ask(list, LB_GETTOPINDEX));
    const auto height = static_cast<int>(Ask(list, LB_GETITEMHEIGHT));
    RECT client{};
    GetClientRect(list, &client);
    E2E_REQUIRE(height > 0 && row >= top && (row - top + 1) * height <= client.bottom,
                "row " + text + " is not in view");
    POINT point{part == RowPart::TickBox ? height / 2 : height * 3, (row - top) * height + height / 2};
    ClientToScreen(list, &point);
    return point;
}

// Clicks (clicks = 2: a double-click) at a screen point. Under Wine a button event sent right after the cursor
// was moved can still go off where the cursor was before; so the cursor is first brought there and seen to stay,
// and every event carries the point itself.
void MouseClicks(POINT at, int clicks) {
    INPUT event{};
    event.type = INPUT_MOUSE;
    event.mi.dx = MulDiv(at.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    event.mi.dy = MulDiv(at.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    event.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    auto there = [&] {
        POINT now{};
        return GetCursorPos(&now) && now.x == at.x && now.y == at.y;
    };
    SetCursorPos(at.x, at.y);
    SendInput(1, &event, sizeof(INPUT));
    E2E_REQUIRE(e2e::WaitUntil([&] { return there() && e2e::StaysTrue(there, 200); }),
                "the mouse pointer did not stay on the point");
    std::vector<INPUT> inputs;
    for (int i = 0; i < clicks; ++i) {
        for (DWORD button : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}) {
            event.mi.dwFlags = button | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
            inputs.push_back(event);
        }
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void PressKey(WORD key) {
    INPUT keys[2]{};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = key;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
}

// The setup window in front, so that the real input reaches it.
void BringSetupToFront(const Kestrel& k) {
    E2E_REQUIRE(e2e::WaitUntil([&] { return EnabledNow(k.main) && GetForegroundWindow() == k.main; }),
                "the setup window is not in front");
}

// Ticks (or unticks) a row with a real click on its tick box.
void ClickTickBox(const Kestrel& k, const std::string& text) {
    HWND list = ItemList(k.main);
    BringSetupToFront(k);
    const bool before = RowTicked(list, text);
    MouseClicks(PointOn(list, text, RowPart::TickBox), 1);
    E2E_REQUIRE(e2e::WaitUntil([&] { return RowTicked(list, text) != before; }),
                "a click on the box of " + text + " did not change its tick");
}

// ---------------------------------------------------------------------------------------------------------
// What Help starts

// helper_browser.exe registered as the program that opens .html files while this lives; it records what it was
// asked to open.
class BrowserStandIn {
public:
    BrowserStandIn() : m_html(e2e::ReadRaw(HKEY_CLASSES_ROOT, ".html", "")) {
        Forget();
        const std::string command = "\"" + e2e::ExeDir() + "helper_browser.exe\" \"%1\"";
        E2E_REQUIRE(
            e2e::WriteString(HKEY_CLASSES_ROOT, std::string(kProgId) + "\\shell\\open\\command", "", command, true) &&
                e2e::WriteString(HKEY_CLASSES_ROOT, ".html", "", kProgId, true),
            "could not register a stand-in browser");
    }
    ~BrowserStandIn() {
        if (m_html.exists)
            e2e::WriteRaw(HKEY_CLASSES_ROOT, ".html", "", m_html.type, m_html.data.data(),
                          static_cast<DWORD>(m_html.data.size()));
        e2e::DeleteTree(HKEY_CLASSES_ROOT, kProgId);
        Forget();
    }
    BrowserStandIn(const BrowserStandIn&) = delete;
    BrowserStandIn& operator=(const BrowserStandIn&) = delete;

    // Its command line; empty while it has not run.
    std::string Opened() const {
        const e2e::RawValue value = e2e::ReadRaw(HKEY_LOCAL_MACHINE, "Software\\KestrelE2E", "Browser");
        return value.exists ? std::string(value.data.begin(), value.data.end()).c_str() : "";
    }
    static void Forget() { e2e::DeleteTree(HKEY_LOCAL_MACHINE, "Software\\KestrelE2E"); }

private:
    static constexpr const char* kProgId = "KestrelE2E.Browser";
    e2e::RawValue m_html; // what opened .html before
};

// A kestrel.hlp in the program's folder while this lives (not a real help file: the viewer's start is what counts).
class HelpFileStandIn {
public:
    HelpFileStandIn() {
        const platform::win32::UniqueHandle file(
            CreateFileA(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        E2E_REQUIRE(file && file.get() != INVALID_HANDLE_VALUE, "could not place kestrel.hlp");
    }
    ~HelpFileStandIn() {
        e2e::KillKestrel(); // the viewer too, which holds the file open
        DeleteFileA(m_path.c_str());
    }
    HelpFileStandIn(const HelpFileStandIn&) = delete;
    HelpFileStandIn& operator=(const HelpFileStandIn&) = delete;

private:
    std::string m_path = e2e::ExeDir() + "kestrel.hlp";
};

// Whether a program that kestrel.exe started runs, by its file name.
bool StartedByKestrel(const char* image) {
    const platform::win32::UniqueHandle snap(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    const std::vector<DWORD> tree = e2e::KestrelProcessTree();
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snap.get(), &entry); snap && more; more = Process32Next(snap.get(), &entry))
        if (e2e::SameText(entry.szExeFile, image) &&
            std::find(tree.begin(), tree.end(), entry.th32ProcessID) != tree.end())
            return true;
    return false;
}

// ---------------------------------------------------------------------------------------------------------
// Tests

E2E_TEST(EveryTabShowsItsControlsAndAboutNamesTheEditionAndVersion) {
    Kestrel k = Start({});
    OpenSetup(k);
    RECT client{};
    GetClientRect(k.main, &client);
    E2E_CHECK(client.right == 420 && client.bottom == 289, "client area is not 420 x 289 at 96 dpi");
    const char* names[] = {"kestrel", "settings", "advanced", "about"};
    for (int tab = 0; tab < 4; ++tab) {
        SelectTab(k.main, tab);
        e2e::SaveScreenshot(std::string("setup-tab") + std::to_string(tab) + "-" + names[tab], k.main);
    }
    // About, selected last: the texts were put in when it was selected.
    E2E_CHECK(e2e::ChildWithText(k.main, "Static", "Kestrel 2004 - Premium Edition"), "no program name line");
    E2E_CHECK(e2e::ChildWithText(k.main, "Static", "Version 2.0.2"), "no version line");
    HWND update = Control(k.main, "Static", "Update Check");
    E2E_CHECK(IsWindowVisible(update), "Update Check is not shown on the About tab");
    E2E_CHECK(!IsWindowVisible(Control(k.main, "Button", "Set Password...")), "a Settings control shows on About");
    SelectTab(k.main, 0);
    E2E_CHECK(!IsWindowVisible(update), "Update Check shows on the first tab");
    E2E_CHECK(IsWindowVisible(ItemList(k.main)), "the locked-item list is not on the first tab");
}

// Help: without kestrel.hlp in the program's folder the user's guide beside the program opens in the web browser;
// with one, the help viewer starts.
E2E_TEST(HelpOpensTheGuideInTheBrowserOrTheHelpFileWhereThereIsOne) {
    BrowserStandIn browser;
    Kestrel k = Start({});
    OpenSetup(k);
    const std::string guide = e2e::ExeDir() + "kestrel-guide.html";
    E2E_CHECK(GetFileAttributesA(guide.c_str()) != INVALID_FILE_ATTRIBUTES, "no " + guide);
    Press(k.main, "Button", "Help");
    E2E_CHECK(e2e::WaitUntil([&] { return browser.Opened().find(guide) != std::string::npos; }),
              "the browser was started with: " + browser.Opened());
    E2E_CHECK(!StartedByKestrel("winhlp32.exe"), "the help viewer started without a help file");

    HelpFileStandIn helpFile;
    BrowserStandIn::Forget();
    Press(k.main, "Button", "Help");
    E2E_CHECK(e2e::WaitUntil([] { return StartedByKestrel("winhlp32.exe"); }), "the help viewer did not start");
    E2E_CHECK(e2e::StaysTrue([&] { return browser.Opened().empty(); }, 1000), "the guide opened as well");
}

E2E_TEST(AddedAndTickedItemLocksAtOnceAfterOk) {
    Kestrel k = Start({{"Item0", "Crime,1"}});
    OpenSetup(k);
    HWND dialog = OpenAddItemDialog(k);
    E2E_CHECK(!EnabledNow(k.main), "the setup window is enabled while the dialog is open");
    HWND text = e2e::ChildOfClass(dialog, "Edit");
    E2E_REQUIRE(e2e::SetText(text, "online GAMBLING"), "could not type the item");
    E2E_REQUIRE(e2e::Click(e2e::ChildWithText(dialog, "Button", "Convert text to Title Case")), "no title-case box");
    E2E_CHECK(e2e::WaitUntil([&] { return e2e::ControlText(text) == "Online Gambling"; }, 3000),
              "title case gave \"" + e2e::ControlText(text) + "\"");
    e2e::SaveScreenshot("setup-add-item-dialog", dialog);
    E2E_REQUIRE(e2e::Click(e2e::ChildWithText(dialog, "Button", "OK")), "no OK on the dialog");
    E2E_CHECK(e2e::WaitUntil([&] { return !IsWindow(dialog); }), "the dialog stayed");
    E2E_CHECK(e2e::WaitUntil([&] { return EnabledNow(k.main); }), "the setup window stayed disabled");

    HWND list = ItemList(k.main);
    E2E_CHECK(ListTexts(list) == (std::vector<std::string>{"Crime", "Online Gambling"}),
              "rows are " + Joined(ListTexts(list)));
    E2E_CHECK(!RowTicked(list, "Online Gambling"), "the new row came ticked");
    ClickTickBox(k, "Online Gambling");
    E2E_CHECK(StoredItems() == (std::vector<std::string>{"Crime,1"}), "stored before OK: " + Joined(StoredItems()));

    Press(k.main, "Button", "OK");
    E2E_CHECK(e2e::WaitUntil([&] { return !IsWindowVisible(k.main); }), "OK did not hide the setup window");
    E2E_CHECK(e2e::WaitUntil([] {
                  return StoredItems() == std::vector<std::string>{"Crime,1", "Online Gambling,1"};
              }),
              "stored after OK: " + Joined(StoredItems()));
    E2E_CHECK(Locks("Online Gambling - Browser"), "the new item does not lock");
}

E2E_TEST(OwnCaptionIsRefusedAndTheDialogStaysOpen) {
    Kestrel k = Start({});
    OpenSetup(k);
    HWND dialog = OpenAddItemDialog(k);
    E2E_REQUIRE(e2e::SetText(e2e::ChildOfClass(dialog, "Edit"), "Kestrel 2004"), "could not type");
    E2E_REQUIRE(e2e::Click(e2e::ChildWithText(dialog, "Button", "OK")), "no OK on the dialog");
    E2E_CHECK(e2e::WaitUntil(
                  [&] {
                      return e2e::ChildWithText(dialog, "Static",
                                                "Sorry, you cannot lock this, it's used by this program.");
                  },
                  3000),
              "no refusal");
    e2e::SaveScreenshot("setup-add-item-refused", dialog);
    E2E_CHECK(IsWindow(dialog) && !EnabledNow(k.main), "the dialog closed on the refusal");
    // The close box gives the setup window back.
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    E2E_CHECK(e2e::WaitUntil([&] { return !IsWindow(dialog) && EnabledNow(k.main); }), "closing left it disabled");
    E2E_CHECK(RowOf(ItemList(k.main), "Kestrel 2004") < 0, "the caption was added");
}

E2E_TEST(RemoveStoresAtOnceAndLockingGoesOn) {
    Kestrel k = Start({{"Item0", "Crime,1"}, {"Item1", "Poker,0"}});
    OpenSetup(k);
    HWND list = ItemList(k.main);
    E2E_REQUIRE(e2e::WaitUntil([&] { return ListTexts(list).size() == 2; }), "rows are " + Joined(ListTexts(list)));
    SelectRow(list, "Poker");
    Press(k.main, "Static", "Remove Item");
    E2E_CHECK(e2e::WaitUntil([] { return StoredItems() == std::vector<std::string>{"Crime,1"}; }),
              "stored after Remove: " + Joined(StoredItems()));
    E2E_CHECK(ListTexts(list) == std::vector<std::string>{"Crime"}, "rows are " + Joined(ListTexts(list)));
    E2E_CHECK(IsWindowVisible(k.main), "Remove hid the setup window");
    E2E_CHECK(Locks("Crime Stories - Browser"), "nothing locks after Remove");
}

// The user's three ways of turning a tick over: a click on the row's box, Space on the selected row and a
// double-click on the row. A click on the text only selects. What the list shows is what Apply stores.
E2E_TEST(RowsAreTickedByTheirBoxBySpaceAndByADoubleClick) {
    Kestrel k = Start({{"Item0", "Crime,0"}, {"Item1", "Poker,1"}, {"Item2", "Dice,0"}});
    OpenSetup(k);
    HWND list = ItemList(k.main);
    E2E_REQUIRE(e2e::WaitUntil([&] { return ListTexts(list).size() == 3; }), "rows are " + Joined(ListTexts(list)));
    E2E_CHECK(ListTexts(list) == (std::vector<std::string>{"Crime", "Dice", "Poker"}),
              "rows are " + Joined(ListTexts(list)));
    E2E_CHECK(!RowTicked(list, "Crime") && RowTicked(list, "Poker"), "the ticks were not loaded");
    E2E_CHECK(SelectedRow(list) == -1, "a row is selected before any click");

    ClickTickBox(k, "Crime");
    E2E_CHECK(RowTicked(list, "Crime"), "the click on the box did not tick Crime");
    E2E_CHECK(SelectedRow(list) == RowOf(list, "Crime"), "the click on the box did not select Crime");
    PressKey(VK_SPACE);
    E2E_CHECK(e2e::WaitUntil([&] { return !RowTicked(list, "Crime"); }), "Space did not untick the selected row");
    PressKey(VK_SPACE);
    E2E_CHECK(e2e::WaitUntil([&] { return RowTicked(list, "Crime"); }), "Space did not tick it again");
    E2E_CHECK(SelectedRow(list) == RowOf(list, "Crime"), "Space moved the selection");

    MouseClicks(PointOn(list, "Dice", RowPart::Text), 1);
    E2E_CHECK(e2e::WaitUntil([&] { return SelectedRow(list) == RowOf(list, "Dice"); }), "a click did not select Dice");
    // Longer than a double-click's time, so that the next click starts afresh.
    E2E_CHECK(e2e::StaysTrue([&] { return !RowTicked(list, "Dice"); }, 1000), "a click on the text ticked Dice");
    MouseClicks(PointOn(list, "Poker", RowPart::Text), 2);
    E2E_CHECK(e2e::WaitUntil([&] { return !RowTicked(list, "Poker"); }), "a double-click did not untick Poker");
    E2E_CHECK(SelectedRow(list) == RowOf(list, "Poker"), "the double-click did not select Poker");
    e2e::Pause(300);
    // Crime ticked, Dice not, Poker not and selected.
    e2e::SaveScreenshot("setup-tab0-ticks", k.main);

    Press(k.main, "Button", "Apply");
    E2E_CHECK(e2e::WaitUntil([] {
                  return StoredItems() == std::vector<std::string>{"Crime,1", "Dice,0", "Poker,0"};
              }),
              "stored after Apply: " + Joined(StoredItems()));
}

E2E_TEST(NewPasswordIsInForceAtOnceAndStoredAsAHashByOk) {
    Kestrel k = Start({});
    OpenSetup(k);
    SelectTab(k.main, 1);
    Press(k.main, "Button", "Set Password...");
    HWND dialog = WaitForWindow(k.pid, "Set Password");
    E2E_REQUIRE(dialog, "the set-password dialog did not open");
    E2E_CHECK(!EnabledNow(k.main), "the setup window is enabled while the dialog is open");
    auto boxes = e2e::ChildrenOfClass(dialog, "Edit");
    E2E_REQUIRE(boxes.size() == 2, "the dialog has no two boxes");
    RECT client{};
    GetClientRect(dialog, &client);
    E2E_CHECK(client.right == 354 && client.bottom == 137, "client area is not 354 x 137 at 96 dpi");

    e2e::SetText(boxes[0], "Kite9");
    e2e::SetText(boxes[1], "kite");
    e2e::SaveScreenshot("setup-set-password-dialog", dialog);
    e2e::Click(e2e::ChildWithText(dialog, "Button", "OK"));
    E2E_CHECK(e2e::WaitUntil([&] { return e2e::ChildWithText(dialog, "Static", "Passwords do not match!"); }, 3000),
              "no mismatch message");
    E2E_CHECK(e2e::ControlText(boxes[0]).empty() && e2e::ControlText(boxes[1]).empty(), "the boxes were not emptied");
    e2e::SetText(boxes[0], "Kite9");
    e2e::SetText(boxes[1], "KITE9"); // the confirmation ignores letter case
    e2e::Click(e2e::ChildWithText(dialog, "Button", "OK"));
    E2E_REQUIRE(e2e::WaitUntil([&] { return !IsWindow(dialog); }, 20000), "the dialog stayed");
    E2E_CHECK(e2e::WaitUntil([&] { return EnabledNow(k.main); }), "the setup window stayed disabled");
    E2E_CHECK(Stored(kSettingsKey, "Auth1") == "(missing)", "stored before OK");

    Press(k.main, "Button", "OK");
    E2E_CHECK(e2e::WaitUntil([] { return Stored(kSettingsKey, "Auth1").rfind("pbkdf2-sha256$", 0) == 0; }, 20000),
              "Auth1 holds no hash after OK: " + Stored(kSettingsKey, "Auth1"));
    E2E_CHECK(Stored(kSettingsKey, "Auth1").find("Kite9") == std::string::npos, "Auth1 holds the plain password");

    // The prompt now takes only the new password, in its own letter case.
    E2E_REQUIRE(e2e::PostCommand(k.main, kMenuSetup, 0), "could not choose Setup...");
    HWND prompt = WaitForPrompt(k.pid);
    E2E_REQUIRE(prompt, "no prompt");
    HWND box = e2e::ChildOfClass(prompt, "Edit");
    for (const std::string wrong : {"PASSAGE", "KITE9"}) {
        // Checking a typed text against the hash takes about a second under Wine. A refresh tick that falls due
        // meanwhile runs as soon as the check is done and takes "Wrong Password!" away at once, so that label
        // is no sign to wait for. The sign is what OK's handler leaves: once it has run, a refused password
        // leaves the prompt open with the text in its box, and the setup window closed.
        E2E_REQUIRE(e2e::SetText(box, wrong), "could not type into the prompt");
        E2E_REQUIRE(PressAndWait(e2e::ChildWithText(prompt, "Button", "OK")), "could not press OK on the prompt");
        E2E_CHECK(IsWindowVisible(prompt) && e2e::ControlText(box) == wrong, wrong + " was not refused");
        E2E_CHECK(!IsWindowVisible(k.main), wrong + " opened the setup window");
    }
    Answer(prompt, "Kite9");
    E2E_CHECK(e2e::WaitUntil([&] { return IsWindowVisible(k.main) != FALSE; }, 20000), "the new password was refused");
}

E2E_TEST(CancelKeepsEditsInMemoryButNotInTheStore) {
    Kestrel k = Start({});
    OpenSetup(k);
    SelectTab(k.main, 2);
    HWND lockKeys = Control(k.main, "Button", "Lock Task Keys");
    e2e::Click(lockKeys);
    E2E_REQUIRE(e2e::WaitUntil([&] { return SendMessageA(lockKeys, BM_GETCHECK, 0, 0) == BST_CHECKED; }, 3000),
                "could not tick Lock Task Keys");
    Press(k.main, "Button", "Cancel");
    E2E_CHECK(e2e::WaitUntil([&] { return !IsWindowVisible(k.main); }), "Cancel did not hide the setup window");
    E2E_CHECK(e2e::StaysTrue([] { return Stored(kSettingsKey, "LockKeys") == "(missing)"; }, 1500),
              "Cancel stored LockKeys = " + Stored(kSettingsKey, "LockKeys"));
    E2E_CHECK(!Locks("Task Manager"), "Cancel applied the Task Manager rule");

    OpenSetup(k);
    E2E_CHECK(SendMessageA(lockKeys, BM_GETCHECK, 0, 0) == BST_CHECKED, "the tick was lost");
    E2E_CHECK(IsWindowVisible(lockKeys), "the window did not reopen on the tab last shown");
    Press(k.main, "Button", "Apply");
    E2E_CHECK(e2e::WaitUntil([] { return Stored(kSettingsKey, "LockKeys") == "1"; }), "Apply did not store LockKeys");
    E2E_CHECK(Settled(k.main), "the setup window does not answer");
    E2E_CHECK(IsWindowVisible(k.main), "Apply hid the setup window");
    E2E_CHECK(!IsWindowVisible(ItemList(k.main)), "the reload brought the item list onto the Advanced tab");
}

E2E_TEST(PopupAddOnIsOfferedAndCancelUnticks) {
    Kestrel k = Start({});
    OpenSetup(k);
    SelectTab(k.main, 2);
    HWND popup = Control(k.main, "Button", "Stop Popup Ad's");
    e2e::Click(popup);
    HWND question = WaitForWindow(k.pid, "Kestrel");
    E2E_REQUIRE(question, "no add-on question");
    E2E_CHECK(e2e::ChildWithText(question, "Static",
                                 "You need to download an addon for this feature. Would you like to do this now?"),
              "the question reads otherwise");
    e2e::SaveScreenshot("setup-popup-addon-question", question);
    E2E_REQUIRE(e2e::Click(e2e::ChildWithText(question, "Button", "Cancel")), "no Cancel on the question");
    E2E_CHECK(e2e::WaitUntil([&] { return !IsWindow(question); }), "the question stayed");
    E2E_CHECK(e2e::WaitUntil([&] { return SendMessageA(popup, BM_GETCHECK, 0, 0) == BST_UNCHECKED; }),
              "Cancel left the box ticked");
}

// An item in another script, typed into the real add-item dialog, is stored as typed and locks; the prompt shows
// the title as it is.
E2E_TEST(AnItemInAnyScriptAddedThroughTheDialogLocks) {
    Kestrel k = Start({});
    OpenSetup(k);
    AddItemThroughDialog(k, "Казино");
    ClickTickBox(k, "Казино");
    Press(k.main, "Button", "OK");
    E2E_CHECK(e2e::WaitUntil([] {
                  const auto items = StoredItems();
                  return std::find(items.begin(), items.end(), "Казино,1") != items.end();
              }),
              "stored: " + Joined(StoredItems()));
    HWND window = e2e::CreateTestWindow("Онлайн Казино - Browser");
    E2E_CHECK(e2e::WaitUntil([&] { return !IsWindowVisible(window); }, kLockWaitMs), "the Cyrillic item did not lock");
    HWND prompt = WaitForPrompt(k.pid);
    E2E_REQUIRE(prompt, "no prompt");
    E2E_CHECK(e2e::WaitUntil([&] {
                  return e2e::ChildWithText(prompt, "Static", "Онлайн Казино - Browser") ||
                         e2e::ControlText(GetDlgItem(prompt, 101)).rfind("Онлайн Казино - Browser", 0) == 0;
              }),
              "the prompt shows \"" + e2e::ControlText(GetDlgItem(prompt, 101)) + "\"");
    e2e::SaveScreenshot("setup-cyrillic-item-locked", prompt);
}

// The three stricter options, ticked on the real Advanced tab and saved, each do what they say. The browsers are
// stand-ins: a window of a program of this test, copied to a browser's file name, with the browser's class.
E2E_TEST(StricterOptionsTickedOnTheAdvancedTabDoWhatTheySay) {
    const std::string folder = e2e::ExeDir() + "browsers\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    for (const char* name : {"chrome.exe", "slack.exe"})
        E2E_REQUIRE(CopyFileA((e2e::ExeDir() + "helper_hung.exe").c_str(), (folder + name).c_str(), FALSE),
                    std::string("could not make the stand-in ") + name);
    Kestrel k = Start({{"Item0", "Poker,1"}});
    OpenSetup(k);
    SelectTab(k.main, 2);
    for (const char* box : {"Lock items in any letter case", "Give back one window at a time", "Lock web browsers"}) {
        HWND control = Control(k.main, "Button", box);
        E2E_REQUIRE(e2e::Click(control), std::string("could not tick ") + box);
        E2E_REQUIRE(e2e::WaitUntil([&] { return SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED; }),
                    std::string(box) + " did not tick");
    }
    e2e::SaveScreenshot("setup-tab2-advanced-stricter", k.main);
    Press(k.main, "Button", "OK");
    E2E_REQUIRE(e2e::WaitUntil([] { return Stored(kSettingsKey, "LockBrowsers") == "1"; }), "OK did not store them");
    E2E_CHECK(Stored(kSettingsKey, "AnyCase") == "1" && Stored(kSettingsKey, "OneWindow") == "1",
              "AnyCase " + Stored(kSettingsKey, "AnyCase") + ", OneWindow " + Stored(kSettingsKey, "OneWindow"));

    // Any letter case, and one window given back: its sibling of the same class is still locked.
    HWND given = e2e::CreateTestWindow("POKER night - Browser", "E2ESameClass");
    E2E_CHECK(e2e::WaitUntil([&] { return !IsWindowVisible(given); }, kLockWaitMs), "POKER in capitals did not lock");
    Answer(WaitForPrompt(k.pid), "PASSAGE");
    E2E_CHECK(e2e::WaitUntil([&] { return IsWindowVisible(given) != FALSE; }), "the window was not given back");
    E2E_CHECK(Locks("poker stars - Browser"), "another window of the class given back was not locked");
    Answer(WaitForPrompt(k.pid), "PASSAGE");

    // A browser by its program and class; the same class in another program is no browser.
    auto run = [&](const char* program, const char* title) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        std::string line = "\"" + folder + program + "\" \"" + title + "\" 0 Chrome_WidgetWin_1";
        E2E_REQUIRE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info),
                    std::string("could not start ") + program);
        CloseHandle(info.hThread);
        HWND window = nullptr;
        e2e::WaitUntil([&] { return (window = FindWindowA("Chrome_WidgetWin_1", title)) != nullptr; });
        return std::make_pair(platform::win32::UniqueHandle(info.hProcess), window);
    };
    auto chat = run("slack.exe", "Weather - Chat");
    E2E_CHECK(chat.second && e2e::StaysTrue([&] { return IsWindowVisible(chat.second) != FALSE; }, 3000),
              "a program sharing the browsers' class was locked");
    TerminateProcess(chat.first.get(), 0);
    auto browser = run("chrome.exe", "Weather - Google Chrome");
    E2E_CHECK(browser.second && e2e::WaitUntil([&] { return !IsWindowVisible(browser.second); }, kLockWaitMs),
              "the browser stand-in was not locked");
    TerminateProcess(browser.first.get(), 0);
}

} // namespace

E2E_MAIN()
