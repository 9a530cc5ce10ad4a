#include "setup/win32/setup_window_view.h"

#include <commctrl.h>
#include <uxtheme.h>
#include <vssym32.h>

#include <algorithm>

#include "gate/win32/set_password_view.h"
#include "platform/win32/win32_ui.h"
#include "resource.h"
#include "setup/vendor.h"
#include "setup/win32/add_item_view.h"

namespace setup::win32 {

namespace {

using platform::win32::CentreOnScreen;
using platform::win32::FromPixels96;
using platform::win32::FromTwips;
using platform::win32::MakeChild;
using platform::win32::MakeFont;
using platform::win32::ScreenDpi;
using platform::win32::TextSize;

using View = SetupWindowView;

constexpr int kCommandRow = -1; // placed in the window's client area rather than on a tab
constexpr int kTabCount = 4;
constexpr const char* kTabCaptions[kTabCount] = {"Kestrel", "Settings", "Advanced", "About"};

// SSTab1, in twips of the client area.
constexpr int kTabLeft = 120;
constexpr int kTabTop = 120;
constexpr int kTabWidth = 6045;
constexpr int kTabHeight = 3615;

constexpr int kIdSSTab1 = 1100;
constexpr int kIdFirstControl = 1101; // control ids run from here in Control order, except OK and Cancel

enum class Kind {
    Plain,     // static text, check box, list or button
    Icon,      // the program's logo
    LinkLabel, // plain text that acts as a button and turns blue under the pointer
    Hyperlink, // always blue and underlined
};

struct ControlLayout {
    View::Control control;
    int tab;
    const char* className;
    const char* text;
    DWORD style;
    DWORD exStyle;
    int left, top, width, height; // twips: from the tab control's corner on a tab, else from the client area's;
                                  // a width of 0 fits the text
    const char* tooltip;
    Kind kind;
};

constexpr DWORD kLabel = SS_LEFT;
constexpr DWORD kLink = SS_LEFT | SS_NOTIFY;
constexpr DWORD kCheckBox = WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kButton = WS_TABSTOP | BS_PUSHBUTTON | BS_NOTIFY;
// No LBS_SORT: the model keeps the rows in their sorted order and the view inserts them in that order.
constexpr DWORD kList =
    WS_TABSTOP | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;

constexpr ControlLayout kLayout[] = {
    {View::Image2, 0, "STATIC", "", SS_ICON, 0, 240, 540, 480, 480, nullptr, Kind::Icon},
    {View::Label1, 0, "STATIC",
     "Your password protected web pages are shown here. To add your own select 'Add an Item'.", kLabel, 0, 840, 540,
     4890, 435, nullptr, Kind::Plain},
    {View::listwindows, 0, "LISTBOX", "", kList, WS_EX_CLIENTEDGE, 240, 1140, 5535, 1890, nullptr, Kind::Plain},
    {View::cmdadd, 0, "STATIC", "Add an Item", kLink, 0, 240, 3180, 0, 195,
     "Click to add a new program for password protection", Kind::LinkLabel},
    {View::cmdremove, 0, "STATIC", "Remove Item", kLink, 0, 1320, 3180, 0, 195,
     "Click to remove a program from the list", Kind::LinkLabel},
    {View::cmdchange, 0, "STATIC", "Change Item", kLink, 0, 2520, 3180, 0, 195, "Click to change a program in the list",
     Kind::LinkLabel},

    {View::cmdsetpassword, 1, "BUTTON", "Set Password...", kButton, 0, 240, 720, 1695, 375, nullptr, Kind::Plain},
    {View::Label2, 1, "STATIC", "This password is used on your password protected web pages and this setup tool.",
     kLabel, 0, 2040, 720, 3735, 495, nullptr, Kind::Plain},

    {View::chklockinstall, 2, "BUTTON", "Lock Software Installations", kCheckBox, 0, 360, 720, 3615, 255,
     "Locks all software install programs", Kind::Plain},
    {View::chkkestrel, 2, "BUTTON", "Lock Internet Explorer", kCheckBox, 0, 360, 1080, 3615, 255,
     "Locks Internet Explorer", Kind::Plain},
    {View::chklockkeys, 2, "BUTTON", "Lock Task Keys", kCheckBox, 0, 360, 1440, 3615, 255,
     "Locks CTRL_ALT+DEL on Win9x and on WinXP Locks Task Manager", Kind::Plain},
    {View::chkpopup, 2, "BUTTON", "Stop Popup Ad's", kCheckBox, 0, 360, 1800, 3615, 255, nullptr, Kind::Plain},

    {View::Image1, 3, "STATIC", "", SS_ICON, 0, 360, 540, 480, 480, nullptr, Kind::Icon},
    {View::lblprogramname, 3, "STATIC", "ProgramName", kLabel, 0, 1200, 540, 4575, 255, nullptr, Kind::Plain},
    {View::lblversion, 3, "STATIC", "Version", kLabel, 0, 1200, 780, 4575, 255, nullptr, Kind::Plain},
    {View::Label10, 3, "STATIC", "Description:", kLabel, 0, 1200, 1140, 4575, 255, nullptr, Kind::Plain},
    {View::Label5, 3, "STATIC", "Password protect your web content. Even stop popup ad's with the optional addon.",
     kLabel, 0, 1200, 1380, 4575, 615, nullptr, Kind::Plain},
    {View::Label7, 3, "STATIC", kVendorWebsite, kLink, 0, 1200, 2340, 0, 195, "Click to visit our website",
     Kind::Hyperlink},
    {View::Label8, 3, "STATIC", kSupportAddress, kLink, 0, 1200, 2610, 0, 195, "Click to email us", Kind::Hyperlink},
    {View::cmdupdate, 3, "STATIC", "Update Check", kLink, 0, 240, 3060, 0, 195, "Click to check for an update",
     Kind::LinkLabel},

    {View::cmdapply, kCommandRow, "BUTTON", "OK", kButton | BS_DEFPUSHBUTTON, 0, 1440, 3840, 1095, 375, nullptr,
     Kind::Plain},
    {View::cmdcancel, kCommandRow, "BUTTON", "Cancel", kButton, 0, 2640, 3840, 1095, 375, nullptr, Kind::Plain},
    {View::cmdapply2, kCommandRow, "BUTTON", "Apply", kButton, 0, 3840, 3840, 1095, 375, nullptr, Kind::Plain},
    {View::cmdhelp, kCommandRow, "BUTTON", "Help", kButton, 0, 5040, 3840, 1095, 375, nullptr, Kind::Plain},
};
static_assert(std::size(kLayout) == View::kControlCount);

const ControlLayout& LayoutOf(int control) {
    return kLayout[control];
}

// Enter and Esc reach OK and Cancel through the dialog manager's standard ids.
int IdOf(int control) {
    if (control == View::cmdapply)
        return IDOK;
    if (control == View::cmdcancel)
        return IDCANCEL;
    return kIdFirstControl + control;
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
    {View::chklockinstall, store::Option::LockInstall},
    {View::chkkestrel, store::Option::Kestrel},
    {View::chklockkeys, store::Option::LockKeys},
    {View::chkpopup, store::Option::Popup},
};

constexpr COLORREF kBlue = RGB(0, 0, 255);

constexpr UINT_PTR kListSubclassId = 1;

// A row, in pixels at 96 dpi: the tick box, a square at the row's left end; a gap; then the text part, which
// carries the selection highlight, with the text a little way in.
constexpr int kTickBoxSize = 13;
constexpr int kTickBoxMargin = 2;
constexpr int kTextGap = 3;
constexpr int kTextIndent = 2;

// Keeps a flag raised for the time of a scope, however the scope ends.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : m_flag(flag) { m_flag = true; }
    ~FlagScope() { m_flag = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& m_flag;
};

// The colour of the tab control's body as it draws itself (button face in the classic look, lighter under a
// theme), taken from a drawing into memory; button face when that cannot be done.
COLORREF TabBodyColour(HWND tab) {
    COLORREF colour = ::GetSysColor(COLOR_BTNFACE);
    RECT client{};
    if (!tab || !::GetClientRect(tab, &client) || client.right <= 0 || client.bottom <= 0)
        return colour;
    HDC screen = ::GetDC(tab);
    if (!screen)
        return colour;
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, client.right, client.bottom);
    if (memory && bitmap) {
        HGDIOBJ old = ::SelectObject(memory, bitmap);
        ::FillRect(memory, &client, ::GetSysColorBrush(COLOR_BTNFACE));
        ::SendMessageA(tab, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT | PRF_ERASEBKGND);
        RECT body = client;
        ::SendMessageA(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&body));
        const COLORREF sampled = ::GetPixel(memory, (body.left + body.right) / 2, (body.top + body.bottom) / 2);
        if (sampled != CLR_INVALID)
            colour = sampled;
        ::SelectObject(memory, old);
    }
    if (bitmap)
        ::DeleteObject(bitmap);
    if (memory)
        ::DeleteDC(memory);
    ::ReleaseDC(tab, screen);
    return colour;
}

} // namespace

SetupWindowView::SetupWindowView(HWND mainWindow, HINSTANCE instance, SetupWindow& presenter)
    : m_main(mainWindow), m_instance(instance), m_presenter(presenter), m_dpi(ScreenDpi()),
      m_font(MakeFont("MS Shell Dlg", 800, m_dpi)), m_linkFont(MakeFont("MS Sans Serif", 825, m_dpi, true)) {
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_TAB_CLASSES | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&classes);
    m_restoreFocusMessage = ::RegisterWindowMessageA("Kestrel.SetupWindow.RestoreFocus");
    const int logoSize = FromTwips(480, m_dpi);
    m_logo.reset(static_cast<HICON>(
        ::LoadImageA(instance, MAKEINTRESOURCEA(IDI_KESTREL), IMAGE_ICON, logoSize, logoSize, LR_DEFAULTCOLOR)));
    CreateControls();
    TakeTabBodyColour();

    std::weak_ptr<bool> alive = m_alive;
    m_presenter.Items().Subscribe([this, alive] {
        if (!alive.expired())
            SyncList();
    });
    m_presenter.Options().Subscribe([this, alive](store::Option) {
        if (!alive.expired())
            SyncOptions();
    });
    SyncList();
    SyncOptions();
    m_presenter.AttachView(this);
}

SetupWindowView::~SetupWindowView() {
    m_alive.reset();
    m_presenter.AttachView(nullptr);
    if (HWND list = m_controls[listwindows]; list && ::IsWindow(list))
        ::RemoveWindowSubclass(list, &ListProc, kListSubclassId);
    for (HWND control : m_controls) {
        if (control && ::IsWindow(control))
            ::DestroyWindow(control);
    }
    if (m_tab && ::IsWindow(m_tab))
        ::DestroyWindow(m_tab);
    if (m_tooltip && ::IsWindow(m_tooltip))
        ::DestroyWindow(m_tooltip);
}

void SetupWindowView::CreateControls() {
    const int tabX = FromTwips(kTabLeft, m_dpi);
    const int tabY = FromTwips(kTabTop, m_dpi);
    m_tab = MakeChild(m_main, m_instance, WC_TABCONTROLA, "", WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, 0, kIdSSTab1,
                      tabX, tabY, FromTwips(kTabWidth, m_dpi), FromTwips(kTabHeight, m_dpi), m_font.get());
    for (int tab = 0; tab < kTabCount; ++tab) {
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(kTabCaptions[tab]);
        ::SendMessageA(m_tab, TCM_INSERTITEMA, static_cast<WPARAM>(tab), reinterpret_cast<LPARAM>(&item));
    }

    m_tooltip = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_main, nullptr,
                                  m_instance, nullptr);

    for (const ControlLayout& c : kLayout) {
        const int originX = c.tab == kCommandRow ? 0 : tabX;
        const int originY = c.tab == kCommandRow ? 0 : tabY;
        HFONT font = c.kind == Kind::Hyperlink ? m_linkFont.get() : m_font.get();
        int width = FromTwips(c.width, m_dpi);
        int height = FromTwips(c.height, m_dpi);
        if (c.width == 0) {
            // Link labels are as wide as their text, so that only the text is clickable.
            // A little spare room: a glyph's overhang (an underlined "m") reaches past the measured width.
            const SIZE size = TextSize(m_main, font, c.text);
            width = size.cx + FromTwips(60, m_dpi);
            height = std::max<int>(height, size.cy);
        }
        const DWORD visible = c.tab == kCommandRow || c.tab == 0 ? WS_VISIBLE : 0;
        HWND control =
            MakeChild(m_main, m_instance, c.className, c.text, visible | c.style, c.exStyle, IdOf(c.control),
                      originX + FromTwips(c.left, m_dpi), originY + FromTwips(c.top, m_dpi), width, height, font);
        m_controls[c.control] = control;
        if (!control)
            continue;
        if (c.kind == Kind::Icon && m_logo)
            ::SendMessageA(control, STM_SETICON, reinterpret_cast<WPARAM>(m_logo.get()), 0);
        if (c.tooltip)
            AddTooltip(control, c.tooltip);
    }
    // The controls lie on the tab control: it goes to the bottom and clips itself around them.
    ::SetWindowPos(m_tab, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    if (HWND list = m_controls[listwindows]) {
        // The list box asked its owner for the row height while it was being made, before this view took the
        // main window's messages; an owner-drawn list box keeps that height through WM_SETFONT, so set it now.
        ::SendMessageA(list, LB_SETITEMHEIGHT, 0, MAKELPARAM(RowHeight(), 0));
        // Ticking by mouse and keyboard happens in the list box itself.
        ::SetWindowSubclass(list, &ListProc, kListSubclassId, reinterpret_cast<DWORD_PTR>(this));
        OpenCheckTheme();
    }
}

void SetupWindowView::AddTooltip(HWND control, const char* text) {
    if (!m_tooltip)
        return;
    TTTOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = m_main;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = const_cast<char*>(text);
    ::SendMessageA(m_tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void SetupWindowView::SelectTab(int tab) {
    HWND focus = ::GetFocus();
    for (const ControlLayout& c : kLayout) {
        if (c.tab == kCommandRow || !m_controls[c.control])
            continue;
        ::ShowWindow(m_controls[c.control], c.tab == tab ? SW_SHOW : SW_HIDE);
    }
    // Focus on a control that was just hidden goes to the tab strip.
    if (focus && focus != m_tab && ::IsChild(m_main, focus) && !::IsWindowVisible(focus))
        ::SetFocus(m_tab);
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
        if (m_controls[control] == window)
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
            return OnCommand(control, HIWORD(wParam));
        }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (!header || header->hwndFrom != m_tab)
                return false;
            result = 0;
            return OnNotify(*header);
        }
        case WM_MEASUREITEM: {
            auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
            if (!item || item->CtlType != ODT_LISTBOX || static_cast<int>(item->CtlID) != IdOf(listwindows))
                return false;
            item->itemHeight = static_cast<UINT>(RowHeight());
            result = TRUE;
            return true;
        }
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (!item || item->CtlType != ODT_LISTBOX || item->hwndItem != m_controls[listwindows])
                return false;
            DrawRow(*item);
            result = TRUE;
            return true;
        }
        case WM_CTLCOLORSTATIC: {
            const int control = ControlOf(reinterpret_cast<HWND>(lParam));
            if (control < 0)
                return false;
            result = OnCtlColorStatic(reinterpret_cast<HDC>(wParam), control);
            return true;
        }
        case WM_THEMECHANGED:
        case WM_SYSCOLORCHANGE:
            // Observed only: the main window and the controls handle these too.
            TakeTabBodyColour();
            OpenCheckTheme();
            return false;
        case WM_SETCURSOR:
            // Only watched: the cursor itself is the main window's default.
            if (static_cast<short>(LOWORD(lParam)) != HTERROR)
                OnSetCursor(reinterpret_cast<HWND>(wParam));
            return false;
        case DM_GETDEFID:
            // Enter presses the focused push button, otherwise OK.
            result = MAKELRESULT(IdOf(m_defaultButton), DC_HASDEFID);
            return true;
        case WM_ACTIVATE:
            // A plain window forgets its focused control when it is deactivated; remember it and put it back once
            // the default activation (which focuses the window itself) is done.
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = ::GetFocus();
                if (focus && ::IsChild(m_main, focus))
                    m_lastFocus = focus;
            } else if (m_lastFocus) {
                ::PostMessageA(m_main, m_restoreFocusMessage, 0, 0);
            }
            return false;
        default:
            if (message == m_restoreFocusMessage && message != 0) {
                if (m_lastFocus && ::IsWindow(m_lastFocus) && ::IsWindowVisible(m_lastFocus) &&
                    ::IsWindowEnabled(m_lastFocus) && ::GetActiveWindow() == m_main && ::GetFocus() == m_main)
                    ::SetFocus(m_lastFocus);
                result = 0;
                return true;
            }
            return false;
        }
    } catch (...) {
        // A failing handler ends quietly; the window keeps working.
        result = 0;
        return message == WM_COMMAND || message == WM_NOTIFY || message == WM_DRAWITEM;
    }
}

bool SetupWindowView::OnCommand(int control, int code) {
    if (control == listwindows) {
        if (code == LBN_SELCHANGE)
            TakeSelectionFromList();
        return true;
    }
    if (IsPushButton(control) && (code == BN_SETFOCUS || code == BN_KILLFOCUS)) {
        SetDefaultButton(code == BN_SETFOCUS ? control : cmdapply);
        return true;
    }
    const bool clicked = code == BN_CLICKED; // the same code as STN_CLICKED of the link labels
    if (!clicked)
        return true;
    switch (control) {
    case cmdapply:
        m_presenter.cmdapply_Click();
        break;
    case cmdcancel:
        m_presenter.cmdcancel_Click();
        break;
    case cmdapply2:
        m_presenter.cmdapply2_Click();
        break;
    case cmdhelp:
        m_presenter.cmdhelp_Click();
        break;
    case cmdadd:
        // The new row moves the selected one down: the model must know which one the list shows selected.
        TakeSelectionFromList();
        m_presenter.cmdadd_Click();
        break;
    case cmdremove:
        // Another program may have selected a row (LB_SETCURSEL), which the list box does not announce: the
        // row that the list shows selected now is the one the command acts on.
        TakeSelectionFromList();
        m_presenter.cmdremove_Click();
        break;
    case cmdchange:
        TakeSelectionFromList();
        m_presenter.cmdchange_Click();
        break;
    case cmdsetpassword:
        m_presenter.cmdsetpassword_Click();
        break;
    case cmdupdate:
        m_presenter.cmdupdate_Click();
        break;
    case Label7:
        m_presenter.Label7_Click();
        break;
    case Label8:
        m_presenter.Label8_Click();
        break;
    default:
        for (const OptionBox& box : kOptionBoxes) {
            if (box.control != control)
                continue;
            const bool checked = ::SendMessageA(m_controls[control], BM_GETCHECK, 0, 0) == BST_CHECKED;
            m_presenter.CheckBox_Click(box.option, checked);
        }
        break;
    }
    return true;
}

bool SetupWindowView::OnNotify(const NMHDR& header) {
    if (header.hwndFrom == m_tab) {
        if (header.code != static_cast<UINT>(TCN_SELCHANGE))
            return false;
        const int tab = static_cast<int>(::SendMessageA(m_tab, TCM_GETCURSEL, 0, 0));
        SelectTab(tab);
        m_presenter.SSTab1_Click(tab);
        return true;
    }
    return false;
}

LRESULT SetupWindowView::OnCtlColorStatic(HDC dc, int control) {
    COLORREF text = ::GetSysColor(COLOR_BTNTEXT);
    const ControlLayout& layout = LayoutOf(control);
    if (layout.kind == Kind::Hyperlink)
        text = kBlue;
    if (layout.kind == Kind::LinkLabel && m_highlighted[static_cast<std::size_t>(LinkIndex(control))])
        text = kBlue;
    ::SetTextColor(dc, text);
    // The command row stands on the window itself, the rest on the tab control's body.
    if (layout.tab == kCommandRow || !m_bodyBrush) {
        ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    }
    ::SetBkColor(dc, m_bodyColour);
    return reinterpret_cast<LRESULT>(m_bodyBrush.get());
}

void SetupWindowView::TakeTabBodyColour() {
    m_bodyColour = TabBodyColour(m_tab);
    m_bodyBrush.reset(::CreateSolidBrush(m_bodyColour));
    for (HWND control : m_controls) {
        if (control)
            ::InvalidateRect(control, nullptr, TRUE);
    }
}

void SetupWindowView::OnSetCursor(HWND under) {
    // The tab control lets the pointer through to the main window wherever it has no tab (its body), and so do
    // plain labels: the tab control's surface is wherever the main window sees the pointer inside its rectangle.
    bool overTabSurface = under == m_tab;
    if (under == m_main && m_tab) {
        POINT point{};
        RECT tabRect{};
        overTabSurface = ::GetCursorPos(&point) && ::GetWindowRect(m_tab, &tabRect) && ::PtInRect(&tabRect, point);
    }
    if (overTabSurface) {
        m_presenter.SSTab1_MouseMove();
        return;
    }
    const int link = LinkIndex(ControlOf(under));
    if (link >= 0)
        m_presenter.LinkLabel_MouseMove(static_cast<LinkLabel>(link));
}

void SetupWindowView::SetDefaultButton(int control) {
    if (control == m_defaultButton)
        return;
    for (int button : {m_defaultButton, control}) {
        HWND window = m_controls[button];
        if (!window)
            continue;
        const auto style = static_cast<DWORD>(::GetWindowLongPtrA(window, GWL_STYLE));
        const DWORD type = button == control ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        ::SendMessageA(window, BM_SETSTYLE, (style & ~static_cast<DWORD>(BS_TYPEMASK)) | type, TRUE);
    }
    m_defaultButton = control;
}

void SetupWindowView::SyncList() {
    HWND list = m_controls[listwindows];
    if (!list || m_syncing)
        return;
    FlagScope syncing(m_syncing);
    const std::vector<engine::ItemRow>& rows = m_presenter.Items().Rows();
    // Rows come and go one at a time (a load adds up to a thousand): keep the rows that are unchanged at both
    // ends and replace only the middle.
    const std::size_t shown = m_shownRows.size();
    const std::size_t wanted = rows.size();
    std::size_t head = 0;
    while (head < shown && head < wanted && m_shownRows[head].text == rows[head].text)
        ++head;
    std::size_t tail = 0;
    while (tail < shown - head && tail < wanted - head &&
           m_shownRows[shown - 1 - tail].text == rows[wanted - 1 - tail].text)
        ++tail;
    // A thousand rows drawn one by one would keep the window busy for seconds under Wine: draw once at the end.
    // Only a list in view is held (WM_SETREDRAW, where a control leaves it to the default handling, turns the
    // window visible again, and the list may stand on a hidden tab).
    const bool reshaping = head + tail < shown || head + tail < wanted;
    const bool holdDrawing = reshaping && ::IsWindowVisible(list);
    if (holdDrawing)
        ::SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    if (wanted == 0) {
        ::SendMessageA(list, LB_RESETCONTENT, 0, 0);
    } else {
        for (std::size_t i = shown - tail; i > head; --i)
            ::SendMessageA(list, LB_DELETESTRING, i - 1, 0);
        for (std::size_t i = head; i < wanted - tail; ++i) {
            const auto index = static_cast<LRESULT>(
                ::SendMessageA(list, LB_INSERTSTRING, i, reinterpret_cast<LPARAM>(rows[i].text.c_str())));
            if (index >= 0)
                ::SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(index), rows[i].checked ? 1 : 0);
        }
    }
    for (std::size_t i = 0; i < wanted; ++i) {
        const bool kept = i < head || i >= wanted - tail;
        if (!kept || m_shownRows[i < head ? i : i + shown - wanted].checked == rows[i].checked)
            continue;
        ::SendMessageA(list, LB_SETITEMDATA, i, rows[i].checked ? 1 : 0);
        RECT row{};
        if (!reshaping && ::SendMessageA(list, LB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&row)) != LB_ERR)
            ::InvalidateRect(list, &row, TRUE);
    }
    m_shownRows = rows;

    const int selected = m_presenter.Items().Selected();
    const auto current = static_cast<int>(::SendMessageA(list, LB_GETCURSEL, 0, 0));
    if (selected != current) {
        // -1 takes the selection away; LB_SETCURSEL also scrolls the row into view.
        const bool inRange = selected >= 0 && selected < static_cast<int>(wanted);
        ::SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(inRange ? selected : -1), 0);
    }
    if (holdDrawing) {
        ::SendMessageA(list, WM_SETREDRAW, TRUE, 0);
        ::InvalidateRect(list, nullptr, TRUE);
    }
}

void SetupWindowView::TakeSelectionFromList() {
    HWND list = m_controls[listwindows];
    if (!list || m_syncing)
        return;
    const auto current = static_cast<int>(::SendMessageA(list, LB_GETCURSEL, 0, 0));
    m_presenter.Items().Select(current >= 0 ? current : -1);
}

void SetupWindowView::ToggleRow(int row) {
    engine::ItemList& items = m_presenter.Items();
    if (m_syncing || row < 0 || row >= items.Count())
        return;
    // The list box moves its selection on the button going down but tells only when it comes up: the model
    // learns it first, or the repaint below would put the model's older selection back.
    TakeSelectionFromList();
    // The model repaints the row through SyncList, which also puts the new tick into the item data.
    items.SetChecked(row, !items.Rows()[static_cast<std::size_t>(row)].checked);
}

int SetupWindowView::RowAt(LPARAM point, bool onTickBoxOnly) const noexcept {
    HWND list = m_controls[listwindows];
    if (!list)
        return -1;
    const POINT at{static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point))};
    const auto found = ::SendMessageA(list, LB_ITEMFROMPOINT, 0, point);
    const int row = LOWORD(found);
    // The list box names the nearest row even for a point below the last one: only a point on the row counts.
    RECT rect{};
    if (HIWORD(found) != 0 || ::SendMessageA(list, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect)) == LB_ERR ||
        !::PtInRect(&rect, at))
        return -1;
    if (onTickBoxOnly) {
        // The box and a little room around it, as a hand aims.
        RECT box = TickBoxRect(rect);
        box.left = rect.left;
        box.right += FromPixels96(kTickBoxMargin, m_dpi);
        box.top = rect.top;
        box.bottom = rect.bottom;
        if (!::PtInRect(&box, at))
            return -1;
    }
    return row;
}

int SetupWindowView::RowHeight() const {
    int textHeight = 0;
    HWND list = m_controls[listwindows];
    if (HDC dc = ::GetDC(list ? list : m_main)) {
        HGDIOBJ old = ::SelectObject(dc, m_font.get());
        TEXTMETRICA metrics{};
        if (::GetTextMetricsA(dc, &metrics))
            textHeight = metrics.tmHeight;
        ::SelectObject(dc, old);
        ::ReleaseDC(list ? list : m_main, dc);
    }
    return std::max(textHeight, FromPixels96(kTickBoxSize, m_dpi)) + FromPixels96(2, m_dpi);
}

RECT SetupWindowView::TickBoxRect(const RECT& row) const noexcept {
    const int height = row.bottom - row.top;
    const int size = std::min(FromPixels96(kTickBoxSize, m_dpi), std::max(height - 2, 1));
    RECT box{};
    box.left = row.left + FromPixels96(kTickBoxMargin, m_dpi);
    box.top = row.top + (height - size) / 2;
    box.right = box.left + size;
    box.bottom = box.top + size;
    return box;
}

void SetupWindowView::DrawRow(const DRAWITEMSTRUCT& item) const {
    HDC dc = item.hDC;
    RECT row = item.rcItem;
    const bool focus = (item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT);
    if (item.itemID == static_cast<UINT>(-1)) {
        // An empty list that has the focus shows only the focus rectangle.
        if (focus)
            ::DrawFocusRect(dc, &row);
        return;
    }
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const bool ticked = item.itemData != 0;

    // The whole row is drawn every time, whatever part of it changed (selection, focus or all of it).
    ::FillRect(dc, &row, ::GetSysColorBrush(COLOR_WINDOW));
    RECT box = TickBoxRect(row);
    if (m_checkTheme) {
        const int state = disabled ? (ticked ? CBS_CHECKEDDISABLED : CBS_UNCHECKEDDISABLED)
                                   : (ticked ? CBS_CHECKEDNORMAL : CBS_UNCHECKEDNORMAL);
        ::DrawThemeBackground(m_checkTheme.get(), dc, BP_CHECKBOX, state, &box, nullptr);
    } else {
        UINT state = DFCS_BUTTONCHECK | DFCS_FLAT;
        if (ticked)
            state |= DFCS_CHECKED;
        if (disabled)
            state |= DFCS_INACTIVE;
        ::DrawFrameControl(dc, &box, DFC_BUTTON, state);
    }

    // The text part carries the selection, as in a list with tick boxes the box itself stays plain.
    RECT label = row;
    label.left = box.right + FromPixels96(kTextGap, m_dpi);
    if (selected)
        ::FillRect(dc, &label, ::GetSysColorBrush(COLOR_HIGHLIGHT));
    std::string text;
    HWND list = item.hwndItem;
    const auto length = ::SendMessageA(list, LB_GETTEXTLEN, item.itemID, 0);
    if (length > 0) {
        text.resize(static_cast<std::size_t>(length) + 1);
        const auto copied = ::SendMessageA(list, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(text.data()));
        text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    }
    HGDIOBJ oldFont = ::SelectObject(dc, m_font.get());
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = ::SetTextColor(
        dc, ::GetSysColor(disabled ? COLOR_GRAYTEXT : (selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT)));
    RECT textRect = label;
    textRect.left += FromPixels96(kTextIndent, m_dpi);
    ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    ::SetTextColor(dc, oldColour);
    ::SetBkMode(dc, oldMode);
    ::SelectObject(dc, oldFont);
    if (focus)
        ::DrawFocusRect(dc, &label);
}

void SetupWindowView::OpenCheckTheme() {
    m_checkTheme.reset();
    HWND list = m_controls[listwindows];
    if (list && ::IsAppThemed())
        m_checkTheme.reset(::OpenThemeData(list, L"BUTTON"));
    if (list)
        ::InvalidateRect(list, nullptr, TRUE);
}

// The list box's own procedure, in front of the standard one: the user's ways of ticking a row.
LRESULT CALLBACK SetupWindowView::ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                           DWORD_PTR data) noexcept {
    auto* self = reinterpret_cast<SetupWindowView*>(data);
    // A tick that fails is lost; the list keeps working.
    auto toggle = [self](int row) noexcept {
        try {
            self->ToggleRow(row);
        } catch (...) {
        }
    };
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        // A click on a row's box ticks or unticks it; a double-click anywhere on a row does too. The list box
        // selects the row first, as for any click.
        const int row = self->RowAt(lParam, message == WM_LBUTTONDOWN);
        const LRESULT result = ::DefSubclassProc(list, message, wParam, lParam);
        if (row >= 0)
            toggle(row);
        return result;
    }
    case WM_KEYDOWN:
        // Space ticks or unticks the selected row; held down, it does so once.
        if (wParam == VK_SPACE) {
            if (!(lParam & (1 << 30)))
                toggle(static_cast<int>(::SendMessageA(list, LB_GETCURSEL, 0, 0)));
            return 0;
        }
        break;
    case WM_CHAR:
        // The list box would take the space as the start of a row's text and jump to such a row.
        if (wParam == ' ')
            return 0;
        break;
    case WM_NCDESTROY:
        ::RemoveWindowSubclass(list, &ListProc, kListSubclassId);
        break;
    default:
        break;
    }
    return ::DefSubclassProc(list, message, wParam, lParam);
}

void SetupWindowView::SyncOptions() {
    const store::Options& options = m_presenter.Options();
    for (const OptionBox& box : kOptionBoxes) {
        if (HWND window = m_controls[box.control])
            ::SendMessageA(window, BM_SETCHECK, options.Get(box.option) ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

platform::WindowId SetupWindowView::Handle() const {
    return platform::win32::ToWindowId(m_main);
}

void SetupWindowView::ShowWindow(bool centre) {
    if (centre) {
        CentreOnScreen(m_main);
        ::SetFocus(m_tab);
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
    if (HWND label = m_controls[lblprogramname])
        ::SetWindowTextA(label, programName.c_str());
    if (HWND label = m_controls[lblversion])
        ::SetWindowTextA(label, version.c_str());
}

void SetupWindowView::SetLinkHighlighted(LinkLabel label, bool highlighted) {
    const auto index = static_cast<std::size_t>(label);
    m_highlighted[index] = highlighted;
    if (HWND window = m_controls[kLinkControls[index]])
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
