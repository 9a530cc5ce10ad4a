#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "platform/win32/win32_dialog.h"

namespace app::win32 {

// The question for Kestrel's password that a copy asks for itself before it does what only the password holder may
// (saving with administrator rights, setting up a password for deployment): a small modal window of its own message
// loop. A wrong password says so and asks again; Cancel or the close box gives up.
class PasswordQuestion final : public platform::win32::ModelessDialog {
public:
    static constexpr const char* kCaption = "Kestrel - Password";

    PasswordQuestion(HINSTANCE instance, const std::string& question);
    ~PasswordQuestion();

    // Shows the question until a password that isRight accepts is typed (true) or the user gives up (false).
    bool Ask(const std::function<bool(const std::string&)>& isRight);

private:
    void OnCreated() override;
    bool OnCommand(int id, int code) override;
    void OnCloseBox() override;
    void OnDestroy() override;

    std::string m_question;
    const std::function<bool(const std::string&)>* m_isRight = nullptr;
    bool m_done = false;
    bool m_right = false;
};

} // namespace app::win32
