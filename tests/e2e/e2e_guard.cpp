// Kestrel Guard, the service that keeps Kestrel running, as the NSIS installer sets it up (kestrel-setup /S): it
// starts Kestrel in the session, starts it again when it is ended from outside, leaves it ended after Exit with the
// password, checks passwords itself on its channel and writes the store for Kestrel.
//
// What Wine can show: it runs the service, enforces the process's access rules when another program opens it, and
// starts what the guard starts on the desktop "Default" (scripts/lib.sh names the virtual desktop so). It never
// restarts a service, has one session and one user (an administrator), so the store refused to Kestrel is refused
// to the guard too: the guard's own writing is shown through its channel, and Kestrel's way to it by the answer
// it brings back. Run by scripts/e2e.sh with the event channels on, which the service inherits.
#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "common/guard_protocol.h"
#include "e2e_framework.h"
#include "installation.h"
#include "platform/win32/win32_guard_link.h"
#include "setup_driver.h"
#include "store/save_request.h"

namespace {

using namespace installation;
using common::GuardAnswer;
using common::GuardVerb;

constexpr WORD kMenuExit = 40003;
constexpr DWORD kRestartEventId = 302;

// Installs with the guard and waits for its copy of Kestrel; the guard and everything else goes at the end.
struct Guarded {
    CleanInstallation clean;
    DWORD pid = 0;
    Guarded() {
        InstallSilently();
        E2E_REQUIRE(GuardRunning(), "the guard's service does not run after the install");
        pid = WaitForGuardsCopy();
    }
};

std::optional<common::GuardResponse> Ask(GuardVerb verb, const std::string& password,
                                         std::vector<std::uint8_t> payload = {}) {
    platform::win32::Win32GuardLink link;
    return common::AskGuard(link, {verb, password, std::move(payload)});
}

// The user this program runs as, as a string SID.
std::string OwnUserSid() {
    HANDLE raw = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw);
    const platform::win32::UniqueHandle token(raw);
    BYTE buffer[256];
    DWORD size = 0;
    char* text = nullptr;
    if (!token || !GetTokenInformation(token.get(), TokenUser, buffer, sizeof buffer, &size) ||
        !ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text))
        return "";
    std::string sid = text;
    LocalFree(text);
    return sid;
}

// The access rules of the process, as SDDL; "" when they cannot be read.
std::string ProcessRules(DWORD pid) {
    const platform::win32::UniqueHandle process(OpenProcess(READ_CONTROL, FALSE, pid));
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!process || GetSecurityInfo(process.get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                    nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return "";
    char* text = nullptr;
    ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text,
                                                         nullptr);
    std::string rules = text ? text : "";
    LocalFree(text);
    LocalFree(descriptor);
    return rules;
}

// Sends raw bytes on the guard's channel: the answer, or nullopt when the guard dropped the message unanswered.
std::optional<std::vector<std::uint8_t>> SendRaw(const std::vector<std::uint8_t>& bytes) {
    const platform::win32::UniqueHandle pipe(CreateFileW(platform::win32::Win32GuardLink::kPipeName,
                                                         GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                                         nullptr));
    if (pipe.get() == INVALID_HANDLE_VALUE)
        return std::nullopt;
    DWORD mode = PIPE_READMODE_MESSAGE;
    SetNamedPipeHandleState(pipe.get(), &mode, nullptr, nullptr);
    std::vector<std::uint8_t> answer(platform::kMaxGuardMessage);
    DWORD read = 0;
    if (!TransactNamedPipe(pipe.get(), const_cast<std::uint8_t*>(bytes.data()), static_cast<DWORD>(bytes.size()),
                           answer.data(), static_cast<DWORD>(answer.size()), &read, nullptr))
        return std::nullopt;
    answer.resize(read);
    return answer;
}

E2E_TEST(TheGuardStartsKestrelAgainUntilExitWithThePasswordAndProtectsIt) {
    e2e::SetLockedItems({{"Item0", "Crime,1"}});
    // Another program's window with Kestrel's title, there before Kestrel: no second copy is taken for it.
    E2E_REQUIRE(e2e::CreateTestWindow(e2e::kRunningCaption) != nullptr, "could not make the decoy window");
    const e2e::EventTrace events;
    Guarded guarded;
    const DWORD first = guarded.pid;
    E2E_CHECK(!ValueExists(HKEY_LOCAL_MACHINE, kRunKey, kRunValue), "a Run entry beside the guard");
    {
        const auto service = OpenGuardService(SERVICE_QUERY_CONFIG);
        BYTE buffer[8192];
        DWORD needed = 0;
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer);
        E2E_CHECK(service && QueryServiceConfigA(service.get(), config, sizeof buffer, &needed) &&
                      config->dwStartType == SERVICE_AUTO_START &&
                      std::string(config->lpDisplayName) == "Kestrel Guard" &&
                      std::string(config->lpServiceStartName) == "LocalSystem",
                  "the service is not the automatic LocalSystem service \"Kestrel Guard\"");
    }

    // The user may see the copy run, not end or change it.
    const std::string user = OwnUserSid();
    const std::string rules = ProcessRules(first);
    E2E_CHECK(rules.find("(D;;0xc082b;;;" + user + ")") != std::string::npos ||
                  rules.find("(D;;0xC082B;;;" + user + ")") != std::string::npos,
              "no deny entry for the user in " + rules);
    E2E_CHECK(rules.find(";;;OW)") != std::string::npos, "no OWNER RIGHTS entry in " + rules);
    SetLastError(0);
    const platform::win32::UniqueHandle terminate(OpenProcess(PROCESS_TERMINATE, FALSE, first));
    E2E_CHECK(!terminate && GetLastError() == ERROR_ACCESS_DENIED, "another program may terminate the copy");
    // A posted end of session is no end of session.
    HWND main = e2e::MainWindowOf(first);
    PostMessageA(main, WM_ENDSESSION, TRUE, 0);
    E2E_CHECK(e2e::StaysTrue([&] { return e2e::IsRunning(first); }, 1500), "a posted WM_ENDSESSION ended Kestrel");

    // Ended from outside (a Unix kill, as nothing of the user's may): a new copy locks again.
    E2E_REQUIRE(e2e::UnixKill("kestrel.exe /guarded"), "could not kill kestrel.exe");
    E2E_REQUIRE(e2e::WaitUntil([&] { return !e2e::IsRunning(first); }), "the kill did not end Kestrel");
    const DWORD second = WaitForGuardsCopy(first);
    HWND browser = e2e::CreateTestWindow("Crime Stories - Browser");
    E2E_CHECK(e2e::WaitUntil([&] { return !IsWindowVisible(browser); }, 10000), "the copy started again did not lock");
    if (events.Available()) {
        bool reported = false;
        for (const auto& event : events.Events())
            reported = reported || (event.id == kRestartEventId && !event.inserts.empty() && !event.inserts[0].empty());
        E2E_CHECK(reported, "no event of the restart with the user's name");
    }

    // Exit with the password: the guard grants it and leaves the copy ended (past the 5 s between starts).
    main = e2e::MainWindowOf(second);
    E2E_REQUIRE(e2e::PostCommand(main, kMenuExit, 0), "could not choose Exit");
    const HWND prompt = setup_driver::WaitForPrompt(second);
    E2E_REQUIRE(prompt, "Exit did not ask for the password");
    setup_driver::Answer(prompt, "PASSAGE");
    E2E_CHECK(e2e::WaitUntil([&] { return !e2e::IsRunning(second); }), "Exit with the password did not end Kestrel");
    E2E_CHECK(e2e::StaysTrue([] { return e2e::KestrelProcessTree().empty(); }, 7000),
              "the guard started Kestrel again after Exit with the password");
}

E2E_TEST(TheGuardChecksPasswordsItselfWritesTheStoreAndTakesNoJunk) {
    Guarded guarded;
    const DWORD pid = guarded.pid;

    // Junk, a message too long and a client that sends nothing are dropped or refused; the guard answers on.
    const auto junk = SendRaw({'h', 'e', 'l', 'l', 'o'});
    const common::GuardResponse refusal{GuardAnswer::Refused, 0};
    E2E_CHECK(!junk || common::ParseResponse(*junk) == refusal, "junk was not refused");
    E2E_CHECK(!SendRaw(std::vector<std::uint8_t>(platform::kMaxGuardMessage + 1000, 'x')),
              "a message over the limit was answered");
    const platform::win32::UniqueHandle silent(CreateFileW(platform::win32::Win32GuardLink::kPipeName,
                                                           GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                                           nullptr));

    // A change with the right password is written by the guard with the store's own code.
    store::SaveRequest change;
    change.items = std::vector<std::string>{"Poker,1"};
    const auto saved = Ask(GuardVerb::Save, "PASSAGE", store::Serialize(change));
    E2E_CHECK(saved && saved->answer == GuardAnswer::Done, "the guard did not store a change with the password");
    E2E_CHECK(setup_driver::StoredItems() == std::vector<std::string>{"Poker,1"},
              "the store holds " + setup_driver::Joined(setup_driver::StoredItems()));

    // Kestrel's own save, refused by the store, goes to the guard with the password the setup window was opened
    // with: no administrator's copy is offered or started. (Under Wine the guard is refused the same keys, and says
    // so.)
    {
        setup_driver::Kestrel k{pid, e2e::MainWindowOf(pid)};
        setup_driver::OpenSetup(k);
        setup_driver::AddItemThroughDialog(k, "Dice");
        setup_driver::StoreRefused refused;
        setup_driver::Press(k.main, "Button", "OK");
        const HWND box =
            setup_driver::WaitForMessage(pid, "Your changes are not saved: the registry refused the change", true);
        E2E_CHECK(box, "the refused save was not answered by the guard");
        E2E_CHECK(e2e::KestrelProcessTree().size() == 1, "a second kestrel.exe was started");
        if (box)
            e2e::Click(GetDlgItem(box, IDOK));
    }

    // Wrong passwords: five are answered "wrong", the sixth "wait"; Exit is not granted.
    for (int i = 0; i < 5; ++i) {
        const auto answer = Ask(GuardVerb::Exit, "guess" + std::to_string(i));
        E2E_CHECK(answer && answer->answer == GuardAnswer::WrongPassword, "a wrong password was not refused");
    }
    const auto sixth = Ask(GuardVerb::Exit, "PASSAGE");
    E2E_CHECK(sixth && sixth->answer == GuardAnswer::Wait && sixth->value >= 1 && sixth->value <= 30,
              "the sixth password was not told to wait");
    E2E_CHECK(e2e::IsRunning(pid), "Kestrel ended");

    // The uninstall takes the service away and ends the copy it kept.
    UninstallSilently();
    E2E_CHECK(e2e::WaitUntil([pid] { return !e2e::IsRunning(pid); }), "the uninstall did not end Kestrel");
    E2E_CHECK(!OpenGuardService(), "the guard's service is still there");
    ExpectNothingInstalled();
}

} // namespace

E2E_MAIN()
