#include "app/password_modes.h"

#include <vector>

#include "common/secure_wipe.h"
#include "gate/set_password_dialog.h"
#include "platform/ascii_case.h"
#include "store/settings.h"

namespace app {

namespace {

constexpr const char* kSetPasswordSwitch = "/setpassword";
constexpr const char* kAlwaysSwitch = "/always";
constexpr const char* kHashSwitch = "/hash";
constexpr const char* kPasswordKept = "Kestrel's password is as it was.";
// The boxes come after the dialog has gone: the process has no window left that would bring them to the front.
constexpr unsigned kFailureStyle = platform::kMbOk | platform::kMbIconCritical | platform::kMbSetForeground;
constexpr unsigned kDoneStyle = platform::kMbOk | platform::kMbIconInformation | platform::kMbSetForeground;

std::vector<std::string> Words(const std::string& commandLine) {
    std::vector<std::string> words;
    std::string word;
    for (char c : commandLine + " ") {
        if (c != ' ' && c != '\t') {
            word += c;
        } else if (!word.empty()) {
            words.push_back(platform::AsciiLowered(word));
            word.clear();
        }
    }
    return words;
}

// A typed password that is wiped when the step that read it ends, whichever way it ends.
class Typed {
public:
    explicit Typed(std::optional<std::string> text) : m_text(std::move(text)) {}
    ~Typed() {
        if (m_text)
            common::WipeString(*m_text);
    }
    Typed(const Typed&) = delete;
    Typed& operator=(const Typed&) = delete;
    bool Given() const { return m_text.has_value(); }
    const std::string& operator*() const { return *m_text; }

private:
    std::optional<std::string> m_text;
};

// The stored form of the password just put in force; nullopt when the system would not hash it. The plain text
// that Password::StoredForm falls back to then must reach neither the store nor a deployment.
std::optional<std::string> HashedForm(common::Password& password) {
    std::string form = password.StoredForm();
    if (common::Password::Parse(form))
        return form;
    common::WipeString(form);
    return std::nullopt;
}

// The stored Auth1 stands for the default password: nothing, PASSAGE in plain text, or a hash of PASSAGE (what
// the setup window's OK stores when nobody set a password).
bool StoredPasswordIsDefault(store::Registry& registry, common::Password& password) {
    password.LoadStored(
        registry.ReadValue(platform::RegRoot::LocalMachine, store::kSettingsKey, store::kPasswordValue));
    return password.IsDefault();
}

std::string NotSaved(const std::string& why) {
    return "The new password is not saved: " + why + ".\n\n" + kPasswordKept;
}

} // namespace

PasswordMode ParsePasswordMode(const std::string& commandLine) {
    const std::vector<std::string> words = Words(commandLine);
    if (words.empty())
        return PasswordMode::None;
    if (words[0] == kSetPasswordSwitch) {
        if (words.size() == 1)
            return PasswordMode::SetPassword;
        return words.size() == 2 && words[1] == kAlwaysSwitch ? PasswordMode::SetPasswordAlways
                                                              : PasswordMode::Malformed;
    }
    if (words[0] == kHashSwitch)
        return words.size() == 1 ? PasswordMode::Hash : PasswordMode::Malformed;
    return PasswordMode::None;
}

std::string StoredFormPlace() {
    std::string key = store::kSettingsKey; // "Software\..."
    key.insert(key.find('\\'), "\\WOW6432Node");
    return "HKEY_LOCAL_MACHINE\\" + key + ", value " + store::kPasswordValue + ", type REG_SZ";
}

int SetStoredPassword(bool always, store::Registry& registry, common::Password& password,
                      const NewPasswordQuestion& ask, platform::MessageBoxes& messageBoxes) {
    // A reinstall over a machine whose parent set a password leaves it alone.
    if (!always && !StoredPasswordIsDefault(registry, password))
        return kPasswordAlreadySet;
    if (!ask())
        return kPasswordCancelled;
    const std::optional<std::string> form = HashedForm(password);
    std::string why;
    if (!form) {
        why = "Kestrel could not hash it";
    } else if (const store::Status saved = store::SaveSettingsValues(registry, {{store::kPasswordValue, *form}});
               !saved) {
        why = "the registry refused the change (error " + std::to_string(saved.code) + ")";
        if (saved.code == platform::kRegAccessDenied)
            why += "; only an administrator can set it";
    }
    if (why.empty())
        return kPasswordDone;
    messageBoxes.Show(0, NotSaved(why), kPasswordModeCaption, kFailureStyle);
    return kPasswordFailed;
}

int HashInConsole(PasswordConsole& console, common::Password& password, const platform::TextCase& textCase) {
    const std::string enter = std::string(gate::kEnterNewPassword) + " ";
    const std::string confirm = std::string(gate::kConfirmNewPassword) + " ";
    for (;;) {
        const Typed first(console.ReadHidden(enter));
        if (!first.Given())
            return kPasswordCancelled;
        if ((*first).empty())
            continue; // as the dialog refuses an empty password
        const Typed second(console.ReadHidden(confirm));
        if (!second.Given())
            return kPasswordCancelled;
        if (!gate::ConfirmationMatches(textCase, *first, *second)) {
            console.Write(std::string(gate::kPasswordsDoNotMatch) + "\n");
            continue;
        }
        password.Set(*first);
        break;
    }
    const std::optional<std::string> form = HashedForm(password);
    if (!form) {
        console.Write("Kestrel could not hash the password.\n");
        return kPasswordFailed;
    }
    console.Write(*form + "\n" + "Registry: " + StoredFormPlace() + "\n");
    return kPasswordDone;
}

int HashToClipboard(common::Password& password, const NewPasswordQuestion& ask,
                    const std::function<bool(const std::string&)>& copy, platform::MessageBoxes& messageBoxes) {
    if (!ask())
        return kPasswordCancelled;
    const std::optional<std::string> form = HashedForm(password);
    if (!form || !copy(*form)) {
        const std::string what = form ? "put on the clipboard" : "hashed";
        messageBoxes.Show(0, "The password could not be " + what + ".", kPasswordModeCaption, kFailureStyle);
        return kPasswordFailed;
    }
    messageBoxes.Show(0,
                      "The stored form of the password is on the clipboard.\n\nIt goes into the registry at " +
                          StoredFormPlace() + ".",
                      kPasswordModeCaption, kDoneStyle);
    return kPasswordDone;
}

} // namespace app
