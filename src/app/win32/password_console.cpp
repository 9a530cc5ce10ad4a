#include "app/win32/password_console.h"

#include <iterator>

#include "common/secure_wipe.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_trace.h"

namespace app::win32 {

namespace {

using platform::win32::TraceLastError;

// How long a read that Ctrl+C ended waits for the break's handler, which the system calls on a thread of its own,
// a moment after the read returns.
constexpr DWORD kBreakWaitMs = 100;

// Ctrl+C and Ctrl+Break end a console's programs by default, which would leave the console without its echo. They
// end the question instead. The handler gets no context: hence the one event of the process, made on the
// user-interface thread before the handler can run.
HANDLE BreakEvent() noexcept {
    static const platform::win32::UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    return event.get();
}

BOOL WINAPI OnConsoleBreak(DWORD event) noexcept {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    if (!::SetEvent(BreakEvent()))
        TraceLastError("SetEvent");
    return TRUE;
}

bool BrokenOff(DWORD waitMs) noexcept {
    return BreakEvent() && ::WaitForSingleObject(BreakEvent(), waitMs) == WAIT_OBJECT_0;
}

platform::win32::UniqueHandle OpenConsoleBuffer(const wchar_t* name) {
    HANDLE handle = ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        TraceLastError("CreateFileW(console)");
        return nullptr;
    }
    return platform::win32::UniqueHandle(handle);
}

// The input's mode for a scope: typed characters are not shown, the console still edits the line.
class EchoOff {
public:
    explicit EchoOff(HANDLE input) noexcept : m_input(input) {
        m_changed = ::GetConsoleMode(input, &m_mode) &&
                    ::SetConsoleMode(input, (m_mode | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) & ~ENABLE_ECHO_INPUT);
        if (!m_changed)
            TraceLastError("SetConsoleMode");
    }
    ~EchoOff() {
        if (m_changed && !::SetConsoleMode(m_input, m_mode))
            TraceLastError("SetConsoleMode(restore)");
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;
    // Without it the password would show as it is typed: better not asked at all.
    bool Hidden() const { return m_changed; }

private:
    HANDLE m_input;
    DWORD m_mode = 0;
    bool m_changed = false;
};

// Wipes what was read of a password when the read ends, whichever way it ends.
template <std::size_t N> class WipedOnExit {
public:
    WipedOnExit(std::wstring& line, wchar_t (&buffer)[N]) noexcept : m_line(line), m_buffer(buffer) {}
    ~WipedOnExit() {
        m_line.resize(m_line.capacity());
        common::SecureZero(m_line.data(), m_line.size() * sizeof(wchar_t));
        common::SecureZero(m_buffer, sizeof m_buffer);
    }
    WipedOnExit(const WipedOnExit&) = delete;
    WipedOnExit& operator=(const WipedOnExit&) = delete;

private:
    std::wstring& m_line;
    wchar_t (&m_buffer)[N];
};

} // namespace

Win32PasswordConsole::Win32PasswordConsole() {
    if (!::AttachConsole(ATTACH_PARENT_PROCESS))
        return; // no console to attach to: not worth a trace
    m_ownConsole = true;
    m_input = OpenConsoleBuffer(L"CONIN$");
    m_output = OpenConsoleBuffer(L"CONOUT$");
    if (!BreakEvent())
        TraceLastError("CreateEventW");
    if (!::SetConsoleCtrlHandler(&OnConsoleBreak, TRUE))
        TraceLastError("SetConsoleCtrlHandler");
}

Win32PasswordConsole::~Win32PasswordConsole() {
    if (!m_ownConsole)
        return;
    ::SetConsoleCtrlHandler(&OnConsoleBreak, FALSE);
    m_input.reset();
    m_output.reset();
    ::FreeConsole();
}

std::optional<std::string> Win32PasswordConsole::ReadHidden(const std::string& prompt) {
    if (!Attached() || BrokenOff(0))
        return std::nullopt;
    Write(prompt);
    const EchoOff echoOff(m_input.get());
    if (!echoOff.Hidden())
        return std::nullopt;
    // One line, read in pieces until its end: the console hands out no more than the buffer holds at a time.
    wchar_t buffer[256];
    std::wstring line;
    // Room enough that no password of a sane length moves the line, leaving an unwiped copy behind.
    line.reserve(1024);
    const WipedOnExit wiped(line, buffer);
    bool ended = false;
    for (;;) {
        DWORD read = 0;
        if (!::ReadConsoleW(m_input.get(), buffer, static_cast<DWORD>(std::size(buffer)), &read, nullptr)) {
            TraceLastError("ReadConsoleW");
            break;
        }
        if (read == 0)
            break; // Ctrl+C on Windows
        line.append(buffer, read);
        if (line.back() == L'\n') {
            ended = true;
            break;
        }
    }
    // The Enter that ended the line was not shown either.
    Write("\n");
    std::size_t length = line.size();
    while (length > 0 && (line[length - 1] == L'\n' || line[length - 1] == L'\r'))
        --length;
    // A read that Ctrl+C ended gives nothing, or an empty line (Wine): only then is the handler waited for.
    if (BrokenOff(length == 0 ? kBreakWaitMs : 0))
        return std::nullopt;
    // Ctrl+Z at the start of a line is the end of the input.
    if (!ended || line.front() == L'\x1a')
        return std::nullopt;
    return platform::win32::Utf8Of(line.data(), length);
}

void Win32PasswordConsole::Write(const std::string& text) {
    if (!m_output)
        return;
    std::wstring wide;
    for (wchar_t c : platform::win32::Wide(text)) {
        if (c == L'\n')
            wide += L'\r';
        wide += c;
    }
    DWORD written = 0;
    if (!::WriteConsoleW(m_output.get(), wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr))
        TraceLastError("WriteConsoleW");
}

} // namespace app::win32
