#include "platform/fake/fake_desktop.h"

#include <algorithm>

#include "platform/ascii_case.h"
#include "platform/utf.h"

namespace platform::fake {

namespace {

// Window searches compare titles and class names without regard to case, as the system does.
bool SameText(const std::string& a, const std::string& b) {
    return EqualIgnoringAsciiCase(a, b);
}

// What a read into a buffer of maxCount characters gives: at most maxCount - 1 UTF-16 units.
std::string Truncated(const std::string& text, int maxCount) {
    if (maxCount <= 0)
        return "";
    return CutToUtf16Units(text, static_cast<std::size_t>(maxCount - 1));
}

} // namespace

const FakeDesktop::Window* FakeDesktop::Find(WindowId window) const {
    auto it = std::find_if(m_windows.begin(), m_windows.end(), [&](const Window& w) { return w.id == window; });
    return it == m_windows.end() ? nullptr : &*it;
}

FakeDesktop::Window* FakeDesktop::FindMutable(WindowId window) {
    return const_cast<Window*>(Find(window));
}

std::string FakeDesktop::WindowTitle(WindowId window, int maxCount) {
    const Window* w = Find(window);
    std::string title = w ? Truncated(w->title, maxCount) : "";
    if (m_afterTitleRead)
        m_afterTitleRead(window);
    return title;
}

std::string FakeDesktop::ClassName(WindowId window, int maxCount) {
    const Window* w = Find(window);
    return w ? Truncated(w->className, maxCount) : "";
}

void FakeDesktop::HideWindow(WindowId window) {
    m_hideRequests.push_back(window);
    if (Window* w = FindMutable(window))
        w->visible = false;
}

void FakeDesktop::ShowWindowNormal(WindowId window) {
    if (Window* w = FindMutable(window))
        w->visible = true;
}

void FakeDesktop::ShowWindowNoActivate(WindowId window) {
    m_noActivateShows.push_back(window);
    ShowWindowNormal(window);
}

void FakeDesktop::PostClose(WindowId window) {
    m_closeRequests.push_back(window);
}

WindowId FakeDesktop::FindWindowByTitle(const std::string& title) {
    for (const Window& w : m_windows) {
        if (SameText(w.title, title))
            return w.id;
    }
    return 0;
}

WindowId FakeDesktop::FindWindowByClass(const std::string& className) {
    if (className.empty())
        return 0; // no class has an empty name
    for (const Window& w : m_windows) {
        if (SameText(w.className, className))
            return w.id;
    }
    return 0;
}

bool FakeDesktop::IsOwnWindow(WindowId window) {
    const Window* w = Find(window);
    return w && w->own;
}

WindowId FakeDesktop::AddWindow(const std::string& title, const std::string& className, bool own) {
    const WindowId id = m_nextId;
    m_nextId += 0x10;
    m_windows.push_back(Window{id, title, className, true, own, ""});
    return id;
}

WindowId FakeDesktop::OpenForeground(const std::string& title, const std::string& className, bool own) {
    const WindowId id = AddWindow(title, className, own);
    m_foreground = id;
    return id;
}

void FakeDesktop::DestroyWindow(WindowId window) {
    m_windows.erase(std::remove_if(m_windows.begin(), m_windows.end(), [&](const Window& w) { return w.id == window; }),
                    m_windows.end());
    if (m_foreground == window)
        m_foreground = 0;
}

void FakeDesktop::SetTitle(WindowId window, const std::string& title) {
    if (Window* w = FindMutable(window))
        w->title = title;
}

bool FakeDesktop::IsVisible(WindowId window) const {
    const Window* w = Find(window);
    return w && w->visible;
}

std::vector<TopWindow> FakeDesktop::TopLevelWindows() {
    ++m_enumerations;
    std::vector<TopWindow> windows;
    for (const Window& w : m_windows)
        windows.push_back({w.id, w.className});
    return windows;
}

std::string FakeDesktop::ProgramOf(WindowId window) {
    const Window* w = Find(window);
    return w ? w->program : "";
}

void FakeDesktop::SetProgram(WindowId window, const std::string& program) {
    if (Window* w = FindMutable(window))
        w->program = program;
}

} // namespace platform::fake
