#pragma once
#include <functional>
#include <optional>
#include <string>

#include "common/password.h"
#include "platform/message_box.h"
#include "platform/text_case.h"
#include "store/registry.h"

namespace app {

// The modes of kestrel.exe that set Kestrel's password, or make its stored form, for whoever installs or deploys
// Kestrel. They run no lock: no main window, no tray icon, no instance check, no watcher; only the set-password
// dialog (or the console) and the store. The password itself never passes on a command line.
enum class PasswordMode {
    None,              // no such switch: the lock starts
    SetPassword,       // /setpassword: a new password stored, unless one other than the default is stored already
    SetPasswordAlways, // /setpassword /always: a new password stored, whatever is stored
    Hash,              // /hash: a password's stored form handed out for deployment; nothing is stored
    Malformed,         // one of those switches followed by words it does not take
};

// The mode a command line (the arguments after the program's name) asks for. The switches are words of their own,
// in any letter case, with blanks around them.
PasswordMode ParsePasswordMode(const std::string& commandLine);

// How a password mode ends: what the installer, or a script, reads from it.
enum PasswordExit : int {
    kPasswordDone = 0,          // stored; for /hash: printed or copied
    kPasswordCancelled = 1,     // the user gave up: nothing changed, the default password stays if it was in force
    kPasswordAlreadySet = 2,    // /setpassword without /always found a password other than the default: asked nothing
    kPasswordFailed = 3,        // not stored (the registry refused), not hashed, or not copied; the user was told
    kPasswordBadCommandLine = 4 // Malformed
};

constexpr const char* kPasswordModeCaption = "Kestrel";

// Where the stored form goes, as a 64-bit program (the registry editor, Group Policy Preferences) names the place:
// the store lies in the 32-bit view of the registry, which 64-bit Windows keeps below WOW6432Node.
// "HKEY_LOCAL_MACHINE\Software\WOW6432Node\ORV\Kestrel\Settings, value Auth1, type REG_SZ".
std::string StoredFormPlace();

// Asks for a new password: shows the set-password dialog over `password` and returns true once its OK has put one
// in force, false when it was cancelled.
using NewPasswordQuestion = std::function<bool()>;

// /setpassword: unless `always`, a stored password other than the default (PASSAGE, in plain text or hashed, or
// nothing stored) ends the mode at once with kPasswordAlreadySet. Otherwise asks for a new password and stores its
// hash as the setup window's save would. A refusal is told in a message box: whoever typed the new password must
// not leave believing it in force.
int SetStoredPassword(bool always, store::Registry& registry, common::Password& password,
                      const NewPasswordQuestion& ask, platform::MessageBoxes& messageBoxes);

// The console that /hash asks in when it was started from one.
class PasswordConsole {
public:
    virtual ~PasswordConsole() = default;
    // Shows the prompt and reads one line without showing what is typed; nullopt when the input ends or the user
    // breaks off (Ctrl+C).
    virtual std::optional<std::string> ReadHidden(const std::string& prompt) = 0;
    virtual void Write(const std::string& text) = 0;
};

// /hash in a console: the password twice (asked again while the two differ or are empty), then its stored form on
// one line and StoredFormPlace on the next.
int HashInConsole(PasswordConsole& console, common::Password& password, const platform::TextCase& textCase);

// /hash without a console: the set-password dialog, then the stored form on the clipboard (copy: true once it is
// there), and a message box that says so and where it goes.
int HashToClipboard(common::Password& password, const NewPasswordQuestion& ask,
                    const std::function<bool(const std::string&)>& copy, platform::MessageBoxes& messageBoxes);

} // namespace app
