#include "setup/win32/setup_window_view.h"

#include <commctrl.h>

#include <algorithm>

#include "gate/win32/set_password_view.h"
#include "platform/win32/win32_dialog.h"
#include "platform/win32/win32_trace.h"
#include "platform/win32/win32_ui.h"
#include "resource.h"
#include "setup/vendor.h"
#include "setup/win32/add_item_view.h"

namespace setup::win32 {

namespace {

using platform::win32::CentreOnScreen;
using platform::win32::DialogControl;
using platform::win32::FromTwips;
using platform::win32::LayoutScale;
using platform::win32::LayoutUnit;
using platform::win32::MakeChild;
using platform::win32::MakeFont;
using platform::win32::ScreenDpi;
using platform::win32::SelectedObject;
using platform::win32::TraceLastError;
using platform::win32::UniqueBitmap;
using platform::win32::UniqueDc;
using platform::win32::WindowDc;
using Kind = platform::win32::ControlKind;

using View = SetupWindowView;

constexpr int kCommandRow = -1; // placed in the window's client area rather than on a tab
constexpr const char* kTabCaptions[] = {"Kestrel", "Settings", "Advanced", "About"};

// The main window's client area, and SSTab1 in it, in twips.
constexpr int kClientWidthTwips = 6300;
constexpr int kClientHeightTwips = 4335;
constexpr int kTabLeft = 120;
constexpr int kTabTop = 120;
constexpr int kTabWidth = 6045;
constexpr int kTabHeight = 3615;

constexpr int kIdSSTab1 = 1100;
constexpr int kIdFirstControl = 1101; // control ids run from here in Control order, except OK and Cancel

// Enter and Esc reach OK and Cancel through the dialog manager's standard ids.
constexpr int IdOf(int control) {
    if (control == View::cmdapply)
        return IDOK;
    if (control == View::cmdcancel)
        return IDCANCEL;
    return kIdFirstControl + control;
}

constexpr DWORD kLabel = SS_LEFT;
constexpr DWORD kLink = SS_LEFT | SS_NOTIFY;
constexpr DWORD kCheckBox = WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kButton = WS_TABSTOP | BS_PUSHBUTTON | BS_NOTIFY;

// Row for row in Control order. Twips: from the tab control's corner on a tab, else (kCommandRow) from the
// client area's. After the position: the tooltip, the tab and the kind.
constexpr DialogControl kLayout[] = {
    {IdOf(View::Image2), L"STATIC", "", SS_ICON, 0, 240, 540, 480, 480, nullptr, 0, Kind::Icon},
    {IdOf(View::Label1), L"STATIC",
     "Your password protected web pages are shown here. To add your own select 'Add an Item'.", kLabel, 0, 840, 540,
     4890, 435},
    {IdOf(View::listwindows), L"LISTBOX", "", kTickListStyle, WS_EX_CLIENTEDGE, 240, 1140, 5535, 1890},
    {IdOf(View::cmdadd), L"STATIC", "Add an Item", kLink, 0, 240, 3180, 0, 195,
     "Click to add a new program for password protection", 0, Kind::LinkLabel},
    {IdOf(View::cmdremove), L"STATIC", "Remove Item", kLink, 0, 1320, 3180, 0, 195,
     "Click to remove a program from the list", 0, Kind::LinkLabel},
    {IdOf(View::cmdchange), L"STATIC", "Change Item", kLink, 0, 2520, 3180, 0, 195,
     "Click to change a program in the list", 0, Kind::LinkLabel},

    {IdOf(View::cmdsetpassword), L"BUTTON", "Set Password...", kButton, 0, 240, 720, 1695, 375, nullptr, 1},
    {IdOf(View::Label2), L"STATIC", "This password is used on your password protected web pages and this setup tool.",
     kLabel, 0, 2040, 720, 3735, 495, nullptr, 1},

    {IdOf(View::chklockinstall), L"BUTTON", "Lock Software Installations", kCheckBox, 0, 360, 720, 3615, 255,
     "Locks all software install programs", 2},
    {IdOf(View::chkkestrel), L"BUTTON", "Lock Internet Explorer", kCheckBox, 0, 360, 1080, 3615, 255,
     "Locks Internet Explorer", 2},
    {IdOf(View::chklockkeys), L"BUTTON", "Lock Task Keys", kCheckBox, 0, 360, 1440, 3615, 255,
     "Locks CTRL_ALT+DEL on Win9x and on WinXP Locks Task Manager", 2},
    {IdOf(View::chkpopup), L"BUTTON", "Stop Popup Ad's", kCheckBox, 0, 360, 1800, 3615, 255, nullptr, 2},
    {IdOf(View::chkanycase), L"BUTTON", "Lock items in any letter case", kCheckBox, 0, 360, 2160, 4815, 255,
     "Locks \"poker\" and \"POKER\" as well as \"Poker\", in every language", 2},
    {IdOf(View::chkonewindow), L"BUTTON", "Give back one window at a time", kCheckBox, 0, 360, 2520, 4815, 255,
     "The password gives back the one window, not every window of its program", 2},
    {IdOf(View::chklockbrowsers), L"BUTTON", "Lock web browsers", kCheckBox, 0, 360, 2880, 4815, 255,
     "Locks every window of Edge, Chrome, Firefox, Opera, Brave and Vivaldi", 2},

    {IdOf(View::Image1), L"STATIC", "", SS_ICON, 0, 360, 540, 480, 480, nullptr, 3, Kind::Icon},
    {IdOf(View::lblprogramname), L"STATIC", "ProgramName", kLabel, 0, 1200, 540, 4575, 255, nullptr, 3},
    {IdOf(View::lblversion), L"STATIC", "Version", kLabel, 0, 1200, 780, 4575, 255, nullptr, 3},
    {IdOf(View::Label10), L"STATIC", "Description:", kLabel, 0, 1200, 1140, 4575, 255, nullptr, 3},
    {IdOf(View::Label5), L"STATIC", "Password protect your web content. Even stop popup ad's with the optional addon.",
     kLabel, 0, 1200, 1380, 4575, 615, nullptr, 3},
    {IdOf(View::Label7), L"STATIC", kVendorWebsite, kLink, 0, 1200, 2340, 0, 195, "Click to visit our website", 3,
     Kind::Hyperlink},
    {IdOf(View::Label8), L"STATIC", kSupportAddress, kLink, 0, 1200, 2610, 0, 195, "Click to email us", 3,
     Kind::Hyperlink},
    {IdOf(View::cmdupdate), L"STATIC", "Update Check", kLink, 0, 240, 3060, 0, 195, "Click to check for an update", 3,
     Kind::LinkLabel},

    {IdOf(View::cmdapply), L"BUTTON", "OK", kButton | BS_DEFPUSHBUTTON, 0, 1440, 3840, 1095, 375, nullptr, kCommandRow},
    {IdOf(View::cmdcancel), L"BUTTON", "Cancel", kButton, 0, 2640, 3840, 1095, 375, nullptr, kCommandRow},
    {IdOf(View::cmdapply2), L"BUTTON", "Apply", kButton, 0, 3840, 3840, 1095, 375, nullptr, kCommandRow},
    {IdOf(View::cmdhelp), L"BUTTON", "Help", kButton, 0, 5040, 3840, 1095, 375, nullptr, kCommandRow},
};
static_assert(std::size(kLayout) == View::kControlCount);

constexpr bool RowsFollowControlOrder() {
    for (int control = 0; control < View::kControlCount; ++control) {
        if (kLayout[control].id != IdOf(control))
            return false;
    }
    return true;
}
static_assert(RowsFollowControlOrder());

const DialogControl& LayoutOf(int control) {
    return kLayout[control];
}

bool IsPushButton(int control) {
    return control == View::cmdsetpassword || control == View::cmdapply || control == View::cmdcancel ||
           control == View::cmdapply2 || control == View::cmdhelp;
}

int LinkIndex(int control) {
    switch (control) {
    case View::cmdadd:
        return static_cast<int>(LinkLabel::Add);
    case View::cmdremove:
        return static_cast<int>(LinkLabel::Remove);
    case View::cmdchange:
        return static_cast<int>(LinkLabel::Change);
    case View::cmdupdate:
        return static_cast<int>(LinkLabel::Update);
    default:
        return -1;
    }
}

constexpr int kLinkControls[kLinkLabelCount] = {View::cmdadd, View::cmdremove, View::cmdchange, View::cmdupdate};

struct OptionBox {
    int control;
    store::Option option;
};
constexpr OptionBox kOptionBoxes[] = {
    {View::chklockinstall, store::Option::LockInstall},   {View::chkkestrel, store::Option::LockInternetExplorer},
    {View::chklockkeys, store::Option::LockKeys},         {View::chkpopup, store::Option::Popup},
    {View::chkanycase, store::Option::AnyCase},           {View::chkonewindow, store::Option::OneWindow},
    {View::chklockbrowsers, store::Option::LockBrowsers},
};

constexpr COLORREF kBlue = RGB(0, 0, 255);

// What a click on a control does: the presenter's handler, and whether the list's selection is taken first (another
// program may have selected a row, LB_SETCURSEL, which the list box does not announce; a new row moves the
// selected one down).
struct CommandRoute {
    int control;
    void (SetupWindow::*click)();
    bool takesSelection = false;
};
constexpr CommandRoute kCommandRoutes[] = {
    {View::cmdapply, &SetupWindow::cmdapply_Click},
    {View::cmdcancel, &SetupWindow::cmdcancel_Click},
    {View::cmdapply2, &SetupWindow::cmdapply2_Click},
    {View::cmdhelp, &SetupWindow::cmdhelp_Click},
    {View::cmdadd, &SetupWindow::cmdadd_Click, true},
    {View::cmdremove, &SetupWindow::cmdremove_Click, true},
    {View::cmdchange, &SetupWindow::cmdchange_Click, true},
    {View::cmdsetpassword, &SetupWindow::cmdsetpassword_Click},
    {View::cmdupdate, &SetupWindow::cmdupdate_Click},
    {View::Label7, &SetupWindow::Label7_Click},
    {View::Label8, &SetupWindow::Label8_Click},
};

} // namespace

SetupWindowView::SetupWindowView(HWND mainWindow, HINSTANCE instance, SetupWindow& presenter)
    : m_main(mainWindow), m_instance(instance), m_presenter(presenter), m_dpi(platform::win32::WindowDpi(mainWindow)),
      m_font(MakeFont(L"MS Shell Dlg", 800, m_dpi)), m_linkFont(MakeFont(L"MS Sans Serif", 825, m_dpi, true)),
      m_listwindows(presenter.Items(), mainWindow, IdOf(listwindows), m_dpi, m_font.get()), m_focus(mainWindow) {
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_TAB_CLASSES | ICC_BAR_CLASSES};
    if (!::InitCommonControlsEx(&classes))
        TraceLastError("InitCommonControlsEx");
    CreateControls();
    SetLogo();

    m_optionBoxes = m_presenter.Options().Subscribe([this](store::Option) { SyncOptions(); });
    SyncOptions();
    m_presenter.AttachView(this);
}

SetupWindowView::~SetupWindowView() {
    m_optionBoxes.Reset();
    m_presenter.AttachView(nullptr);
    // The controls go with their owners below, before the main window: they are its children.
}

void SetupWindowView::CreateControls() {
    const int tabX = FromTwips(kTabLeft, m_dpi);
    const int tabY = FromTwips(kTabTop, m_dpi);
    m_tab.Create(m_main, m_instance, kIdSSTab1,
                 RECT{tabX, tabY, tabX + FromTwips(kTabWidth, m_dpi), tabY + FromTwips(kTabHeight, m_dpi)},
                 m_font.get(), kTabCaptions);
    m_tooltip.reset(platform::win32::MakeTooltips(m_main, m_instance));

    const LayoutScale scale(LayoutUnit::Twips, m_dpi);
    for (int index = 0; index < kControlCount; ++index) {
        const DialogControl& c = kLayout[index];
        const POINT origin = c.tab == kCommandRow ? POINT{0, 0} : POINT{tabX, tabY};
        HFONT font = c.kind == Kind::Hyperlink ? m_linkFont.get() : m_font.get();
        const bool visible = c.tab == kCommandRow || c.tab == 0;
        m_controls[index].reset(platform::win32::MakeControl(m_main, m_instance, c, scale, origin, visible, font));
        HWND control = m_controls[index].get();
        if (!control)
            continue;
        if (c.tooltip)
            platform::win32::AddTooltip(m_tooltip.get(), m_main, control, c.tooltip);
    }
    // The controls lie on the tab control: it goes to the bottom and clips itself around them.
    ::SetWindowPos(m_tab.Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    m_listwindows.Attach(m_controls[listwindows].get());
}

void SetupWindowView::SelectTab(int tab) {
    HWND focus = ::GetFocus();
    for (int index = 0; index < kControlCount; ++index) {
        if (kLayout[index].tab == kCommandRow || !m_controls[index])
            continue;
        ::ShowWindow(m_controls[index].get(), kLayout[index].tab == tab ? SW_SHOW : SW_HIDE);
    }
    // Focus on a control that was just hidden goes to the tab strip.
    if (focus && focus != m_tab.Handle() && ::IsChild(m_main, focus) && !::IsWindowVisible(focus))
        ::SetFocus(m_tab.Handle());
}

int SetupWindowView::ControlOfId(int id) const {
    for (int control = 0; control < kControlCount; ++control) {
        if (IdOf(control) == id)
            return control;
    }
    return -1;
}

int SetupWindowView::ControlOf(HWND window) const {
    if (!window)
        return -1;
    for (int control = 0; control < kControlCount; ++control) {
        if (m_controls[control].get() == window)
            return control;
    }
    return -1;
}

bool SetupWindowView::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept {
    try {
        switch (message) {
        case WM_COMMAND: {
            // Our controls' notifications, and a command that names one of our controls by its id alone (as a
            // menu or accelerator would, e.g. IDOK); every other command belongs to the main window.
            int control = ControlOf(reinterpret_cast<HWND>(lParam));
            if (control < 0 && lParam == 0)
                control = ControlOfId(LOWORD(wParam));
            if (control < 0)
                return false;
            result = 0;
            OnCommand(control, HIWORD(wParam));
            return true;
        }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (!header || header->hwndFrom != m_tab.Handle() || header->code != static_cast<UINT>(TCN_SELCHANGE))
                return false;
            const int tab = m_tab.Selected();
            SelectTab(tab);
            m_presenter.SSTab1_Click(tab);
            result = 0;
            return true;
        }
        case WM_MEASUREITEM:
        case WM_DRAWITEM:
            return m_listwindows.HandleOwnerMessage(message, lParam, result);
        case WM_CTLCOLORSTATIC: {
            const int control = ControlOf(reinterpret_cast<HWND>(lParam));
            if (control < 0)
                return false;
            result = OnCtlColorStatic(reinterpret_cast<HDC>(wParam), control);
            return true;
        }
        case WM_DPICHANGED:
            if (const RECT* suggested = platform::win32::DpiChangeFromTheSystem(lParam))
                OnDpiChanged(HIWORD(wParam), *suggested);
            result = 0;
            return true;
        case WM_THEMECHANGED:
        case WM_SYSCOLORCHANGE:
            // Observed only: the main window and the controls handle these too.
            OnLookChanged();
            return false;
        case WM_SETCURSOR:
            // Only watched: the cursor itself is the main window's default.
            if (static_cast<short>(LOWORD(lParam)) != HTERROR)
                OnSetCursor(reinterpret_cast<HWND>(wParam));
            return false;
        case DM_GETDEFID:
            result = m_defaultButton.DefId();
            return true;
        default:
            return m_focus.Handle(message, wParam, result);
        }
    } catch (...) {
        // A failing handler ends quietly; the window keeps working.
        platform::win32::TraceException("SetupWindowView::HandleMessage");
        result = 0;
        return message == WM_COMMAND || message == WM_NOTIFY || message == WM_DRAWITEM;
    }
}

void SetupWindowView::OnCommand(int control, int code) {
    if (control == listwindows) {
        m_listwindows.OnNotification(code);
        return;
    }
    if (IsPushButton(control) && (code == BN_SETFOCUS || code == BN_KILLFOCUS)) {
        m_defaultButton.FocusChanged(m_main, IdOf(control), code == BN_SETFOCUS);
        return;
    }
    if (code != BN_CLICKED) // the same code as STN_CLICKED of the link labels
        return;
    for (const CommandRoute& route : kCommandRoutes) {
        if (route.control != control)
            continue;
        if (route.takesSelection)
            m_listwindows.TakeSelection();
        (m_presenter.*route.click)();
        return;
    }
    for (const OptionBox& box : kOptionBoxes) {
        if (box.control != control)
            continue;
        const bool checked = ::SendMessageW(m_controls[control].get(), BM_GETCHECK, 0, 0) == BST_CHECKED;
        m_presenter.CheckBox_Click(box.option, checked);
        return;
    }
}

LRESULT SetupWindowView::OnCtlColorStatic(HDC dc, int control) {
    COLORREF text = ::GetSysColor(COLOR_BTNTEXT);
    const DialogControl& layout = LayoutOf(control);
    if (layout.kind == Kind::Hyperlink)
        text = kBlue;
    if (layout.kind == Kind::LinkLabel && m_highlighted[static_cast<std::size_t>(LinkIndex(control))])
        text = kBlue;
    ::SetTextColor(dc, text);
    // The command row stands on the window itself, the rest on the tab control's body.
    if (layout.tab == kCommandRow || !m_tab.BodyBrush()) {
        ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    }
    ::SetBkColor(dc, m_tab.BodyColour());
    return reinterpret_cast<LRESULT>(m_tab.BodyBrush());
}

void SetupWindowView::OnLookChanged() {
    m_tab.TakeBodyColour();
    for (const auto& control : m_controls) {
        if (control)
            ::InvalidateRect(control.get(), nullptr, TRUE);
    }
    m_listwindows.OnThemeChanged();
}

void SetupWindowView::SetLogo() {
    const int logoSize = FromTwips(480, m_dpi);
    platform::win32::UniqueIcon logo(static_cast<HICON>(
        ::LoadImageW(m_instance, MAKEINTRESOURCEW(IDI_KESTREL), IMAGE_ICON, logoSize, logoSize, LR_DEFAULTCOLOR)));
    if (!logo) {
        TraceLastError("LoadImageW");
        return;
    }
    const LayoutScale scale(LayoutUnit::Twips, m_dpi);
    for (int index = 0; index < kControlCount; ++index) {
        HWND control = m_controls[index].get();
        if (kLayout[index].kind != Kind::Icon || !control)
            continue;
        ::SendMessageW(control, STM_SETICON, reinterpret_cast<WPARAM>(logo.get()), 0);
        // Setting an icon may resize the picture: put it back.
        platform::win32::PlaceControl(control, kLayout[index], scale, TabOrigin(), nullptr);
    }
    m_logo = std::move(logo); // the pictures show the new one before the old one goes
}

void SetupWindowView::OnDpiChanged(int dpi, const RECT& suggested) {
    m_dpi = dpi;
    // The old fonts go only once every control has the new ones.
    platform::win32::UniqueFont font = MakeFont(L"MS Shell Dlg", 800, dpi);
    platform::win32::UniqueFont linkFont = MakeFont(L"MS Sans Serif", 825, dpi, true);
    const int tabX = FromTwips(kTabLeft, dpi);
    const int tabY = FromTwips(kTabTop, dpi);
    ::SendMessageW(m_tab.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    ::SetWindowPos(m_tab.Handle(), nullptr, tabX, tabY, FromTwips(kTabWidth, dpi), FromTwips(kTabHeight, dpi),
                   SWP_NOZORDER | SWP_NOACTIVATE);
    const LayoutScale scale(LayoutUnit::Twips, dpi);
    for (int index = 0; index < kControlCount; ++index) {
        const DialogControl& c = kLayout[index];
        const POINT origin = c.tab == kCommandRow ? POINT{0, 0} : TabOrigin();
        platform::win32::PlaceControl(m_controls[index].get(), c, scale, origin,
                                      c.kind == Kind::Hyperlink ? linkFont.get() : font.get());
    }
    m_listwindows.SetDpi(dpi, font.get());
    m_font = std::move(font);
    m_linkFont = std::move(linkFont);
    SetLogo();
    ::SetWindowPos(m_main, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    platform::win32::SetClientSize(m_main, FromTwips(kClientWidthTwips, dpi), FromTwips(kClientHeightTwips, dpi));
    OnLookChanged();
}

POINT SetupWindowView::TabOrigin() const {
    return POINT{FromTwips(kTabLeft, m_dpi), FromTwips(kTabTop, m_dpi)};
}

void SetupWindowView::OnSetCursor(HWND under) {
    // The tab control lets the pointer through to the main window wherever it has no tab (its body), and so do
    // plain labels: the tab control's surface is wherever the main window sees the pointer inside its rectangle.
    bool overTabSurface = under == m_tab.Handle();
    if (under == m_main && m_tab.Handle()) {
        POINT point{};
        overTabSurface = ::GetCursorPos(&point) && m_tab.Contains(point);
    }
    if (overTabSurface) {
        m_presenter.SSTab1_MouseMove();
        return;
    }
    const int link = LinkIndex(ControlOf(under));
    if (link >= 0)
        m_presenter.LinkLabel_MouseMove(static_cast<LinkLabel>(link));
}

void SetupWindowView::SyncOptions() {
    const store::Options& options = m_presenter.Options();
    for (const OptionBox& box : kOptionBoxes) {
        if (HWND window = m_controls[box.control].get())
            ::SendMessageW(window, BM_SETCHECK, options.Get(box.option) ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

platform::WindowId SetupWindowView::Handle() const {
    return platform::win32::ToWindowId(m_main);
}

void SetupWindowView::ShowWindow(bool centre) {
    if (centre) {
        CentreOnScreen(m_main);
        ::SetFocus(m_tab.Handle());
    }
    ::ShowWindow(m_main, SW_SHOW);
    ::SetForegroundWindow(m_main);
}

void SetupWindowView::HideWindow() {
    ::ShowWindow(m_main, SW_HIDE);
}

bool SetupWindowView::IsWindowVisible() const {
    return ::IsWindowVisible(m_main) != FALSE;
}

void SetupWindowView::SetEnabled(bool enabled) {
    ::EnableWindow(m_main, enabled ? TRUE : FALSE);
}

void SetupWindowView::SetAboutTexts(const std::string& programName, const std::string& version) {
    if (HWND label = m_controls[lblprogramname].get())
        platform::win32::SetText(label, programName);
    if (HWND label = m_controls[lblversion].get())
        platform::win32::SetText(label, version);
}

void SetupWindowView::SetLinkHighlighted(LinkLabel label, bool highlighted) {
    const auto index = static_cast<std::size_t>(label);
    m_highlighted[index] = highlighted;
    if (HWND window = m_controls[kLinkControls[index]].get())
        ::InvalidateRect(window, nullptr, TRUE);
}

std::unique_ptr<setup::AddItemView> SetupWindowView::CreateAddItemView(AddItemDialog& presenter) {
    auto view = std::make_unique<AddItemView>(m_main, m_instance, presenter);
    if (!view->Created())
        return nullptr;
    return view;
}

std::unique_ptr<gate::SetPasswordView> SetupWindowView::CreateSetPasswordView(gate::SetPasswordDialog& presenter) {
    auto view = std::make_unique<gate::win32::SetPasswordView>(m_main, m_instance, presenter);
    if (!view->Created())
        return nullptr;
    return view;
}

} // namespace setup::win32
