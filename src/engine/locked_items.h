#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/subscription.h"

namespace engine {

// One row of the visible list: an item's text and its tick (ticked = active).
struct ItemRow {
    std::string text;
    bool checked = false;
    bool operator==(const ItemRow&) const = default;
};

// The visible locked-item list `listwindows`. It keeps its rows sorted alphabetically without regard
// to case, as a sorted list control does: a new row goes after the rows that compare equal to it.
// The view mirrors this model and writes ticks and selection back through it.
class ItemList {
public:
    // Adds a row in sorted place and returns its index.
    int Add(const std::string& text, bool checked = false);
    // Replaces every row at once, ordered exactly as if they were added one by one, with a single change
    // notification (a load of a thousand rows must not redraw the view a thousand times).
    void Assign(std::vector<ItemRow> rows);
    void Remove(int index); // out-of-range index: nothing
    // Gives the row a new text and moves it to that text's sorted place, as Add would; its tick stays, and so
    // does the selection when it was on this row. Returns the new index (out-of-range index: nothing, -1).
    int Replace(int index, const std::string& text);
    void Clear();
    void SetChecked(int index, bool checked);
    const std::vector<ItemRow>& Rows() const { return m_rows; }
    int Count() const { return static_cast<int>(m_rows.size()); }

    // The current row, -1 for none (the list's ListIndex).
    int Selected() const { return m_selected; }
    void Select(int index);

    // Called after every change of rows, ticks or selection, for as long as the token lives.
    [[nodiscard]] platform::Subscription Subscribe(std::function<void()> listener) {
        return m_changed.Subscribe(std::move(listener));
    }

    // The list's order: the UTF-8 text compared by code point, the ASCII letters without regard to case.
    static bool SortsBefore(const std::string& a, const std::string& b);

private:
    void Changed();
    std::vector<ItemRow> m_rows;
    int m_selected = -1;
    platform::Notifier<> m_changed;
};

// The allow list `ListAllow`: class names (and standard-dialog titles) whose windows are never hidden.
// Kept in the order entries were added.
class AllowList {
public:
    void Add(const std::string& entry) { m_entries.push_back(entry); }
    void RemoveAt(int index);
    void Clear() { m_entries.clear(); }
    int Count() const { return static_cast<int>(m_entries.size()); }
    const std::string& At(int index) const { return m_entries[static_cast<std::size_t>(index)]; }
    const std::vector<std::string>& Entries() const { return m_entries; }
    // The list-box prefix search from index 0 over every entry: the index of the first entry that begins
    // with key, compared without regard to case; -1 when none does.
    int FindString(const std::string& key) const;

private:
    std::vector<std::string> m_entries;
};

} // namespace engine
