#include "platform/win32/win32_elevation.h"

#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <memory>

#include "platform/win32/win32_shell.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_trace.h"

namespace platform::win32 {

namespace {

constexpr UINT kDoneMessage = WM_APP + 0x4B5; // lParam: the finished Job

std::string RandomHex(std::size_t bytes) {
    std::vector<UCHAR> random(bytes);
    if (::BCryptGenRandom(nullptr, random.data(), static_cast<ULONG>(random.size()), BCRYPT_USE_SYSTEM_PREFERRED_RNG) <
        0)
        return "";
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (UCHAR b : random) {
        out += kHex[b >> 4];
        out += kHex[b & 0xF];
    }
    return out;
}

bool WriteAll(HANDLE file, const std::vector<std::uint8_t>& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1 << 20));
        DWORD written = 0;
        if (!::WriteFile(file, data.data() + done, chunk, &written, nullptr) || written == 0) {
            TraceLastError("WriteFile");
            return false;
        }
        done += written;
    }
    return true;
}

} // namespace

// What the waiting thread owns: the copy to start, and then how it ended.
struct Win32Elevation::Job {
    HWND notify = nullptr;
    HWND owner = nullptr;
    std::string program;
    std::string arguments;
    ElevatedRun run;
};

// A thread still waiting goes on alone: its job is its own, and its message finds no window and is dropped.
Win32Elevation::~Win32Elevation() = default;

std::string Win32Elevation::CreateHandOver(const std::vector<std::uint8_t>& data) {
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) {
        TraceLastError("GetTempPathW");
        return "";
    }
    for (int attempt = 0; attempt < 4; ++attempt) {
        const std::string unique = RandomHex(16);
        if (unique.empty()) {
            TraceFailure("BCryptGenRandom", 0);
            return "";
        }
        const std::string path = Utf8Of(folder, length) + kHandOverPrefix + unique + kHandOverSuffix;
        UniqueHandle file(::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_TEMPORARY, nullptr));
        if (file.get() == INVALID_HANDLE_VALUE) {
            if (::GetLastError() == ERROR_FILE_EXISTS)
                continue;
            TraceLastError("CreateFileW");
            return "";
        }
        const bool written = WriteAll(file.get(), data);
        file.reset();
        if (written)
            return path;
        DeleteHandOver(path);
        return "";
    }
    return "";
}

void Win32Elevation::DeleteHandOver(const std::string& path) {
    if (!::DeleteFileW(Wide(path).c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND)
        TraceLastError("DeleteFileW");
}

bool Win32Elevation::TakeHandOver(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& data) {
    data.clear();
    // One open, shared with nobody while it is read, of the file itself (a link is not followed), deleted when
    // the handle closes whatever it held.
    UniqueHandle file(
        ::CreateFileW(Wide(path).c_str(), GENERIC_READ | DELETE, 0, nullptr, OPEN_EXISTING,
                      FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        TraceLastError("CreateFileA");
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.get(), &info)) {
        TraceLastError("GetFileInformationByHandle");
        return false;
    }
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))
        return false;
    const std::uint64_t size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > maxBytes)
        return false;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        if (!::ReadFile(file.get(), bytes.data() + done, chunk, &read, nullptr) || read == 0) {
            TraceLastError("ReadFile");
            return false;
        }
        done += read;
    }
    data = std::move(bytes);
    return true;
}

Subscription Win32Elevation::StartElevated(WindowId owner, const std::string& arguments,
                                           std::function<void(const ElevatedRun&)> done) {
    m_done = std::move(done);
    const int run = ++m_runs;
    Subscription token([this, run] {
        if (run == m_runs)
            m_done = nullptr;
    });
    auto job = std::make_unique<Job>();
    job->owner = ToHwnd(owner);
    job->program = ProgramPath();
    job->arguments = arguments;
    if (!m_window.Make()) {
        // Without the window no outcome could come back: the copy is not started, and that is the outcome.
        auto finished = std::move(m_done);
        m_done = nullptr;
        if (finished)
            finished(ElevatedRun{ElevatedRun::Outcome::NotStarted, ::GetLastError()});
        return token;
    }
    job->notify = m_window.Handle();
    // The job belongs to the thread once it runs; a thread that cannot be made reports through the window too.
    HANDLE thread = ::CreateThread(nullptr, 0, &Win32Elevation::RunJob, job.get(), 0, nullptr);
    if (!thread) {
        TraceLastError("CreateThread");
        job->run = ElevatedRun{ElevatedRun::Outcome::NotStarted, ::GetLastError()};
        if (::PostMessageW(m_window.Handle(), kDoneMessage, 0, reinterpret_cast<LPARAM>(job.get())))
            job.release();
        return token;
    }
    job.release();
    m_thread.reset(thread);
    return token;
}

DWORD WINAPI Win32Elevation::RunJob(void* param) noexcept {
    std::unique_ptr<Job> job(static_cast<Job*>(param));
    try {
        // The shell's verbs want COM on the calling thread.
        const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        const std::wstring program = Wide(job->program);
        const std::wstring arguments = Wide(job->arguments);
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof(info);
        // No SEE_MASK_FLAG_NO_UI: nothing may keep the consent prompt from showing. The setup window as owner
        // puts the prompt in front rather than blinking in the taskbar.
        info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
        info.hwnd = job->owner;
        info.lpVerb = L"runas";
        info.lpFile = program.c_str();
        info.lpParameters = arguments.c_str();
        info.nShow = SW_HIDE;
        if (!::ShellExecuteExW(&info)) {
            const DWORD error = ::GetLastError();
            TraceFailure("ShellExecuteExW", error);
            job->run = ElevatedRun{
                error == kErrorCancelled ? ElevatedRun::Outcome::Declined : ElevatedRun::Outcome::NotStarted, error};
        } else if (!info.hProcess) {
            job->run = ElevatedRun{ElevatedRun::Outcome::NotStarted, 0};
        } else {
            UniqueHandle process(info.hProcess);
            DWORD code = 0;
            if (::WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
                !::GetExitCodeProcess(process.get(), &code)) {
                TraceLastError("GetExitCodeProcess");
                code = STILL_ACTIVE;
            }
            job->run = ElevatedRun{ElevatedRun::Outcome::Exited, code};
        }
        if (SUCCEEDED(com))
            ::CoUninitialize();
    } catch (...) {
        TraceException("Win32Elevation::RunJob");
    }
    if (::PostMessageW(job->notify, kDoneMessage, 0, reinterpret_cast<LPARAM>(job.get())))
        job.release();
    else
        TraceLastError("PostMessageW");
    return 0;
}

LRESULT Win32Elevation::DoneWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kDoneMessage)
        return Default(message, wParam, lParam);
    std::unique_ptr<Job> job(reinterpret_cast<Job*>(lParam));
    if (job)
        m_owner.Done(*job);
    return 0;
}

void Win32Elevation::Done(Job& job) {
    m_thread.reset(); // it has posted its last word
    auto done = std::move(m_done);
    m_done = nullptr;
    if (done)
        done(job.run);
}

} // namespace platform::win32
