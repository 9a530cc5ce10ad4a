#include "platform/task_key_filter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace platform::keys;
using platform::KeyEvent;

// Events as a low-level hook sees them, named for the table below.
KeyEvent Down(unsigned vk, unsigned flags = 0) {
    return {vk, kWmKeyDown, flags};
}
KeyEvent Up(unsigned vk) {
    return {vk, kWmKeyUp, kFlagUp};
}
KeyEvent SysDown(unsigned vk, unsigned flags = 0) {
    return {vk, kWmSysKeyDown, flags};
}
KeyEvent SysUp(unsigned vk) {
    return {vk, kWmSysKeyUp, kFlagUp};
}
constexpr unsigned kVkA = 'A';

struct Step {
    KeyEvent event;
    bool swallowed;
};

TEST(TaskKeyFilter, KeepsTheTaskSwitchingKeysFromTheSystemAndLetsEverythingElsePass) {
    const struct {
        std::string name;
        std::vector<Step> steps;
    } cases[] = {
        // Windows: Tab pressed with Alt is WM_SYSKEYDOWN with LLKHF_ALTDOWN.
        {"Alt+Tab on Windows",
         {{SysDown(kVkLeftMenu, kFlagAltDown), false},
          {SysDown(kVkTab, kFlagAltDown), true},
          {SysDown(kVkTab, kFlagAltDown), true}, // held: the repeat
          {SysUp(kVkTab), true},
          {Up(kVkLeftMenu), false}}},
        // Wine sets no LLKHF_ALTDOWN, and xdotool releases Alt before Tab.
        {"Alt+Tab under Wine",
         {{SysDown(kVkLeftMenu), false}, {SysDown(kVkTab), true}, {Up(kVkLeftMenu), false}, {Up(kVkTab), true}}},
        // With Ctrl held too the system reports WM_KEYDOWN: Alt is known from its own press.
        {"Ctrl+Alt+Tab",
         {{Down(kVkLeftControl), false},
          {Down(kVkRightMenu), false},
          {Down(kVkTab), true},
          {Up(kVkTab), true},
          {Up(kVkRightMenu), false},
          {Up(kVkLeftControl), false}}},
        {"Alt+Esc", {{SysDown(kVkMenu), false}, {SysDown(kVkEscape), true}, {SysUp(kVkEscape), true}}},
        {"Ctrl+Esc", {{Down(kVkRightControl), false}, {Down(kVkEscape), true}, {Up(kVkEscape), true}}},
        {"Ctrl+Shift+Esc", {{Down(kVkControl), false}, {Down(0x10), false}, {Down(kVkEscape), true}}},
        // The system never sees the Windows key held, so a letter pressed with it is a letter.
        {"the Windows keys",
         {{Down(kVkLeftWindows, 1), true},
          {Down(kVkA), false},
          {Up(kVkLeftWindows), true},
          {Down(kVkRightWindows), true}}},
        {"Tab, Esc and letters alone",
         {{Down(kVkTab), false},
          {Up(kVkTab), false},
          {Down(kVkEscape), false},
          {Up(kVkEscape), false},
          {Down(kVkA), false}}},
        {"released modifiers no longer count",
         {{Down(kVkLeftControl), false},
          {Up(kVkLeftControl), false},
          {Down(kVkEscape), false},
          {SysDown(kVkLeftMenu), false},
          {Up(kVkLeftMenu), false},
          {Down(kVkTab), false}}},
        // Both Ctrl keys pressed, one released: Ctrl is still held.
        {"one of two Ctrl keys released",
         {{Down(kVkLeftControl), false},
          {Down(kVkRightControl), false},
          {Up(kVkLeftControl), false},
          {Down(kVkEscape), true}}},
        // A key whose press passed passes on release, even if Alt came in between.
        {"Tab pressed before Alt", {{Down(kVkTab), false}, {SysDown(kVkLeftMenu), false}, {SysUp(kVkTab), false}}},
    };
    for (const auto& c : cases) {
        platform::TaskKeyFilter filter;
        for (std::size_t i = 0; i < c.steps.size(); ++i)
            EXPECT_EQ(filter.Swallow(c.steps[i].event), c.steps[i].swallowed) << c.name << ", step " << i;
    }
}

} // namespace
