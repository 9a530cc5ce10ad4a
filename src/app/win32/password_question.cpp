#include "app/win32/password_question.h"

#include "common/secure_wipe.h"
#include "gate/password_prompt.h"
#include "platform/win32/win32_ui.h"

namespace app::win32 {

namespace {

using platform::win32::DialogControl;

constexpr int kIdQuestion = 101;
constexpr int kIdPassword = 102;

// As the password prompt is laid out: pixels at 96 dpi.
constexpr DialogControl kControls[] = {
    {kIdPassword, L"EDIT", "", WS_TABSTOP | ES_AUTOHSCROLL | ES_PASSWORD, WS_EX_CLIENTEDGE, 16, 44, 280, 20},
    {IDOK, L"BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 312, 8, 81, 25},
    {IDCANCEL, L"BUTTON", "Cancel", WS_TABSTOP | BS_PUSHBUTTON, 0, 312, 38, 81, 25},
    {kIdQuestion, L"STATIC", "", SS_LEFT | SS_NOPREFIX, 0, 16, 8, 285, 33},
};

constexpr platform::win32::DialogLayout kLayout{.caption = PasswordQuestion::kCaption,
                                                .unit = platform::win32::LayoutUnit::Pixels96,
                                                .clientWidth = 402,
                                                .clientHeight = 74,
                                                .controls = kControls,
                                                .exStyle = WS_EX_TOPMOST};

} // namespace

PasswordQuestion::PasswordQuestion(HINSTANCE instance, const std::string& question)
    : ModelessDialog(kLayout), m_question(question) {
    Create(nullptr, instance);
}

PasswordQuestion::~PasswordQuestion() {
    Destroy();
}

void PasswordQuestion::OnCreated() {
    platform::win32::SetText(::GetDlgItem(Window(), kIdQuestion), m_question);
    ::SendMessageW(::GetDlgItem(Window(), kIdPassword), EM_SETPASSWORDCHAR, '*', 0);
}

bool PasswordQuestion::Ask(const std::function<bool(const std::string&)>& isRight) {
    if (!Created())
        return false;
    m_isRight = &isRight;
    ShowCentred(::GetDlgItem(Window(), kIdPassword));
    MSG msg;
    while (!m_done && ::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!Created() || !::IsDialogMessageW(Window(), &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    m_isRight = nullptr;
    return m_right;
}

bool PasswordQuestion::OnCommand(int id, int code) {
    if (code != BN_CLICKED || !m_isRight)
        return false;
    if (id == IDCANCEL) {
        m_done = true;
        return true;
    }
    if (id != IDOK)
        return false;
    HWND box = ::GetDlgItem(Window(), kIdPassword);
    std::string typed = platform::win32::WindowText(box);
    m_right = (*m_isRight)(typed);
    common::WipeString(typed);
    if (m_right) {
        m_done = true;
        return true;
    }
    platform::win32::SetText(::GetDlgItem(Window(), kIdQuestion), gate::kWrongPassword);
    ::SetWindowTextW(box, L"");
    FocusControl(box);
    return true;
}

void PasswordQuestion::OnCloseBox() {
    m_done = true;
}

void PasswordQuestion::OnDestroy() {
    m_done = true;
}

} // namespace app::win32
