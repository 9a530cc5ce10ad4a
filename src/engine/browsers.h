#pragma once
#include <string>

#include "platform/ascii_case.h"

namespace engine {

// Today's web browsers, as "Lock Web Browsers" recognises their windows: by the program's file name together with
// the window's class. Neither alone will do: every program built on Chromium (chat and office programs on
// Electron among them) makes its windows of the class Chrome_WidgetWin_1, and programs built on Firefox's engine
// (Thunderbird, Zotero) those of MozillaWindowClass; and a program may be renamed to a browser's file name. The
// names are what Windows reports for the installed browsers (Task Manager's Details tab, QueryFullProcessImageName),
// the classes what window-inspection tools (Spy++, automation scripts) show for their top-level windows.
struct Browser {
    const char* program;     // the file name of its program
    const char* windowClass; // the class of its top-level windows
    const char* name;        // what the event log names as the locked item
};

inline constexpr Browser kBrowsers[] = {
    {"msedge.exe", "Chrome_WidgetWin_1", "Microsoft Edge"},
    {"chrome.exe", "Chrome_WidgetWin_1", "Google Chrome"},
    {"firefox.exe", "MozillaWindowClass", "Mozilla Firefox"},
    {"opera.exe", "Chrome_WidgetWin_1", "Opera"},
    {"brave.exe", "Chrome_WidgetWin_1", "Brave"},
    {"vivaldi.exe", "Chrome_WidgetWin_1", "Vivaldi"},
    {"iexplore.exe", "IEFrame", "Internet Explorer"},
};

// The browser whose window this is, by its program's file name and its class (both compared as Windows does,
// without regard to case); nullptr for any other window.
inline const Browser* RecogniseBrowser(const std::string& program, const std::string& windowClass) {
    for (const Browser& browser : kBrowsers)
        if (platform::EqualIgnoringAsciiCase(program, browser.program) &&
            platform::EqualIgnoringAsciiCase(windowClass, browser.windowClass))
            return &browser;
    return nullptr;
}

} // namespace engine
