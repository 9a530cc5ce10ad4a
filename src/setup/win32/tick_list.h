#pragma once
#include <windows.h>

#include <memory>
#include <vector>

#include "engine/locked_items.h"
#include "platform/win32/win32_handles.h"

namespace setup::win32 {

// The style of the list box that a TickList takes over: owner-drawn rows whose strings the list box keeps, so
// that other programs can read them (LB_GETTEXT and the like). No LBS_SORT: the model keeps the rows in their
// sorted order and the list inserts them in that order.
constexpr DWORD kTickListStyle =
    WS_TABSTOP | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;

// A list box with a tick box on each row, showing an engine::ItemList: a row's text is the list box string, its
// tick the item data (1 = ticked, 0 = not). The rows follow the model; the user's selection and ticks (a click
// on the box, a double-click on the row, Space) go back to it. The list box itself is made by its parent, in
// its place in the parent's tab order, and handed over with Attach.
class TickList {
public:
    // owner: the list box's parent, which is asked for the rows' size and drawing; id: the list box's id.
    TickList(engine::ItemList& items, HWND owner, int id, int dpi, HFONT font);
    ~TickList();
    TickList(const TickList&) = delete;
    TickList& operator=(const TickList&) = delete;

    // Takes over the list box (made with kTickListStyle): its row height, ticking by mouse and keyboard, and
    // the model's rows from now on.
    void Attach(HWND list);
    // The owner's WM_MEASUREITEM or WM_DRAWITEM: true when it was this list's (result is then the answer).
    bool HandleOwnerMessage(UINT message, LPARAM lParam, LRESULT& result);
    // A notification of the list box (the code of its WM_COMMAND).
    void OnNotification(int code);
    // Tells the model which row the list box shows selected. Another program may have selected a row
    // (LB_SETCURSEL), which the list box does not announce.
    void TakeSelection();
    // The theme or the system colours changed: the tick boxes are drawn anew in the new look.
    void OnThemeChanged();
    // The list now stands at this resolution, in this font: rows and tick boxes take their sizes again.
    void SetDpi(int dpi, HFONT font);

private:
    void Sync();
    void ToggleRow(int row);
    int RowAt(LPARAM point, bool onTickBoxOnly) const noexcept;
    int RowHeight() const;
    RECT TickBoxRect(const RECT& row) const noexcept;
    void DrawRow(const DRAWITEMSTRUCT& item) const;
    static LRESULT CALLBACK ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR self) noexcept;

    engine::ItemList& m_items;
    HWND m_owner;
    int m_id;
    int m_dpi;
    HFONT m_font;
    HWND m_list = nullptr;                     // a child of the owner, which destroys it
    platform::win32::UniqueTheme m_checkTheme; // the themed tick box; empty in the classic look
    // What the list box shows, row for row; compared with the model to change only what changed.
    std::vector<engine::ItemRow> m_shownRows;
    bool m_syncing = false;        // the list box's own notifications while it is being filled are not the user's
    platform::Subscription m_rows; // the list follows the model
};

} // namespace setup::win32
