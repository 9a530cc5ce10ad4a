#include "setup/win32/tick_list.h"

#include <commctrl.h>
#include <uxtheme.h>
#include <vssym32.h>

#include <algorithm>
#include <string>

#include "common/scoped_flag.h"
#include "platform/win32/win32_trace.h"
#include "platform/win32/win32_ui.h"

namespace setup::win32 {

namespace {

using platform::win32::FromPixels96;
using platform::win32::SelectedObject;
using platform::win32::TraceLastError;
using platform::win32::WindowDc;

constexpr UINT_PTR kListSubclassId = 1;

// A row, in pixels at 96 dpi: the tick box, a square at the row's left end; a gap; then the text part, which
// carries the selection highlight, with the text a little way in.
constexpr int kTickBoxSize = 13;
constexpr int kTickBoxMargin = 2;
constexpr int kTextGap = 3;
constexpr int kTextIndent = 2;

} // namespace

TickList::TickList(engine::ItemList& items, HWND owner, int id, int dpi, HFONT font)
    : m_items(items), m_owner(owner), m_id(id), m_dpi(dpi), m_font(font) {
    m_rows = m_items.Subscribe([this] { Sync(); });
}

TickList::~TickList() {
    m_rows.Reset();
    if (m_list && ::IsWindow(m_list))
        ::RemoveWindowSubclass(m_list, &ListProc, kListSubclassId);
}

void TickList::Attach(HWND list) {
    m_list = list;
    if (!list)
        return;
    // The list box asked its owner for the row height while it was being made, before this list took the
    // owner's messages; an owner-drawn list box keeps that height through WM_SETFONT, so set it now.
    ::SendMessageW(list, LB_SETITEMHEIGHT, 0, MAKELPARAM(RowHeight(), 0));
    // Ticking by mouse and keyboard happens in the list box itself.
    if (!::SetWindowSubclass(list, &ListProc, kListSubclassId, reinterpret_cast<DWORD_PTR>(this)))
        TraceLastError("SetWindowSubclass");
    OnThemeChanged();
    Sync();
}

bool TickList::HandleOwnerMessage(UINT message, LPARAM lParam, LRESULT& result) {
    if (message == WM_MEASUREITEM) {
        auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (!item || item->CtlType != ODT_LISTBOX || static_cast<int>(item->CtlID) != m_id)
            return false;
        item->itemHeight = static_cast<UINT>(RowHeight());
        result = TRUE;
        return true;
    }
    if (message == WM_DRAWITEM) {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (!item || item->CtlType != ODT_LISTBOX || !m_list || item->hwndItem != m_list)
            return false;
        DrawRow(*item);
        result = TRUE;
        return true;
    }
    return false;
}

void TickList::SetDpi(int dpi, HFONT font) {
    m_dpi = dpi;
    m_font = font;
    if (!m_list)
        return;
    ::SendMessageW(m_list, LB_SETITEMHEIGHT, 0, MAKELPARAM(RowHeight(), 0));
    OnThemeChanged();
    ::InvalidateRect(m_list, nullptr, TRUE);
}

void TickList::OnNotification(int code) {
    if (code == LBN_SELCHANGE)
        TakeSelection();
}

void TickList::Sync() {
    HWND list = m_list;
    if (!list || m_syncing)
        return;
    common::ScopedFlag syncing(m_syncing);
    const std::vector<engine::ItemRow>& rows = m_items.Rows();
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
        ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    if (wanted == 0) {
        ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
    } else {
        for (std::size_t i = shown - tail; i > head; --i)
            ::SendMessageW(list, LB_DELETESTRING, i - 1, 0);
        for (std::size_t i = head; i < wanted - tail; ++i) {
            const auto index = static_cast<LRESULT>(::SendMessageW(
                list, LB_INSERTSTRING, i, reinterpret_cast<LPARAM>(platform::win32::Wide(rows[i].text).c_str())));
            if (index >= 0)
                ::SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(index), rows[i].checked ? 1 : 0);
        }
    }
    for (std::size_t i = 0; i < wanted; ++i) {
        const bool kept = i < head || i >= wanted - tail;
        if (!kept || m_shownRows[i < head ? i : i + shown - wanted].checked == rows[i].checked)
            continue;
        ::SendMessageW(list, LB_SETITEMDATA, i, rows[i].checked ? 1 : 0);
        RECT row{};
        if (!reshaping && ::SendMessageW(list, LB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&row)) != LB_ERR)
            ::InvalidateRect(list, &row, TRUE);
    }
    m_shownRows = rows;

    const int selected = m_items.Selected();
    const auto current = static_cast<int>(::SendMessageW(list, LB_GETCURSEL, 0, 0));
    if (selected != current) {
        // -1 takes the selection away; LB_SETCURSEL also scrolls the row into view.
        const bool inRange = selected >= 0 && selected < static_cast<int>(wanted);
        ::SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(inRange ? selected : -1), 0);
    }
    if (holdDrawing) {
        ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
        ::InvalidateRect(list, nullptr, TRUE);
    }
}

void TickList::TakeSelection() {
    if (!m_list || m_syncing)
        return;
    const auto current = static_cast<int>(::SendMessageW(m_list, LB_GETCURSEL, 0, 0));
    m_items.Select(current >= 0 ? current : -1);
}

void TickList::ToggleRow(int row) {
    if (m_syncing || row < 0 || row >= m_items.Count())
        return;
    // The list box moves its selection on the button going down but tells only when it comes up: the model
    // learns it first, or the repaint below would put the model's older selection back.
    TakeSelection();
    // The model repaints the row through Sync, which also puts the new tick into the item data.
    m_items.SetChecked(row, !m_items.Rows()[static_cast<std::size_t>(row)].checked);
}

int TickList::RowAt(LPARAM point, bool onTickBoxOnly) const noexcept {
    if (!m_list)
        return -1;
    const POINT at{static_cast<short>(LOWORD(point)), static_cast<short>(HIWORD(point))};
    const auto found = ::SendMessageW(m_list, LB_ITEMFROMPOINT, 0, point);
    const int row = LOWORD(found);
    // The list box names the nearest row even for a point below the last one: only a point on the row counts.
    RECT rect{};
    if (HIWORD(found) != 0 || ::SendMessageW(m_list, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect)) == LB_ERR ||
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

int TickList::RowHeight() const {
    int textHeight = 0;
    if (const WindowDc dc(m_list ? m_list : m_owner); dc) {
        const SelectedObject font(dc.get(), m_font);
        TEXTMETRICW metrics{};
        if (::GetTextMetricsW(dc.get(), &metrics))
            textHeight = metrics.tmHeight;
    } else {
        TraceLastError("GetDC");
    }
    return std::max(textHeight, FromPixels96(kTickBoxSize, m_dpi)) + FromPixels96(2, m_dpi);
}

RECT TickList::TickBoxRect(const RECT& row) const noexcept {
    const int height = row.bottom - row.top;
    const int size = std::min(FromPixels96(kTickBoxSize, m_dpi), std::max(height - 2, 1));
    RECT box{};
    box.left = row.left + FromPixels96(kTickBoxMargin, m_dpi);
    box.top = row.top + (height - size) / 2;
    box.right = box.left + size;
    box.bottom = box.top + size;
    return box;
}

void TickList::DrawRow(const DRAWITEMSTRUCT& item) const {
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
    std::wstring text;
    HWND list = item.hwndItem;
    const auto length = ::SendMessageW(list, LB_GETTEXTLEN, item.itemID, 0);
    if (length > 0) {
        text.resize(static_cast<std::size_t>(length) + 1);
        const auto copied = ::SendMessageW(list, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(text.data()));
        text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    }
    {
        const SelectedObject font(dc, m_font);
        const int oldMode = ::SetBkMode(dc, TRANSPARENT);
        const COLORREF oldColour = ::SetTextColor(
            dc, ::GetSysColor(disabled ? COLOR_GRAYTEXT : (selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT)));
        RECT textRect = label;
        textRect.left += FromPixels96(kTextIndent, m_dpi);
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
                    DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
        ::SetTextColor(dc, oldColour);
        ::SetBkMode(dc, oldMode);
    }
    if (focus)
        ::DrawFocusRect(dc, &label);
}

void TickList::OnThemeChanged() {
    m_checkTheme.reset();
    if (!m_list)
        return;
    if (::IsAppThemed()) {
        m_checkTheme.reset(::OpenThemeData(m_list, L"BUTTON"));
        if (!m_checkTheme)
            TraceLastError("OpenThemeData");
    }
    ::InvalidateRect(m_list, nullptr, TRUE);
}

// The list box's own procedure, in front of the standard one: the user's ways of ticking a row.
LRESULT CALLBACK TickList::ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR data) noexcept {
    auto* self = reinterpret_cast<TickList*>(data);
    // A tick that fails is lost; the list keeps working.
    auto toggle = [self](int row) noexcept {
        try {
            self->ToggleRow(row);
        } catch (...) {
            platform::win32::TraceException("TickList::ListProc");
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
                toggle(static_cast<int>(::SendMessageW(list, LB_GETCURSEL, 0, 0)));
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

} // namespace setup::win32
