#include "engine/locked_items.h"

#include <algorithm>

#include "platform/ascii_case.h"

namespace engine {

namespace {

// The list's order and the allow list's search ignore the case of the ASCII letters; other characters compare
// by their value.
unsigned char Fold(char c) {
    return static_cast<unsigned char>(platform::AsciiLower(c));
}

int UpperBound(const std::vector<ItemRow>& rows, const std::string& text) {
    auto it = std::upper_bound(rows.begin(), rows.end(), text, [](const std::string& t, const ItemRow& row) {
        return ItemList::SortsBefore(t, row.text);
    });
    return static_cast<int>(it - rows.begin());
}

} // namespace

bool ItemList::SortsBefore(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Fold(x) < Fold(y); });
}

int ItemList::Add(const std::string& text, bool checked) {
    // After every row that compares equal, as a sorted list control inserts.
    const int index = UpperBound(m_rows, text);
    m_rows.insert(m_rows.begin() + index, ItemRow{text, checked});
    // The selection stays on the row it was on.
    if (m_selected >= index)
        ++m_selected;
    Changed();
    return index;
}

void ItemList::Assign(std::vector<ItemRow> rows) {
    // A stable sort orders rows exactly as adding them one after another would.
    std::stable_sort(rows.begin(), rows.end(),
                     [](const ItemRow& a, const ItemRow& b) { return SortsBefore(a.text, b.text); });
    m_rows = std::move(rows);
    m_selected = -1;
    Changed();
}

void ItemList::Remove(int index) {
    if (index < 0 || index >= Count())
        return;
    m_rows.erase(m_rows.begin() + index);
    if (m_selected == index) {
        m_selected = -1;
    } else if (m_selected > index) {
        --m_selected;
    }
    Changed();
}

int ItemList::Replace(int index, const std::string& text) {
    if (index < 0 || index >= Count())
        return -1;
    const bool checked = m_rows[static_cast<std::size_t>(index)].checked;
    const bool wasSelected = m_selected == index;
    m_rows.erase(m_rows.begin() + index);
    if (m_selected > index)
        --m_selected;
    const int newIndex = UpperBound(m_rows, text);
    m_rows.insert(m_rows.begin() + newIndex, ItemRow{text, checked});
    if (wasSelected)
        m_selected = newIndex;
    else if (m_selected >= newIndex)
        ++m_selected;
    Changed();
    return newIndex;
}

void ItemList::Clear() {
    m_rows.clear();
    m_selected = -1;
    Changed();
}

void ItemList::SetChecked(int index, bool checked) {
    if (index < 0 || index >= Count())
        return;
    if (m_rows[static_cast<std::size_t>(index)].checked == checked)
        return;
    m_rows[static_cast<std::size_t>(index)].checked = checked;
    Changed();
}

void ItemList::Select(int index) {
    if (index < -1 || index >= Count())
        index = -1;
    if (index == m_selected)
        return;
    m_selected = index;
    Changed();
}

void ItemList::Changed() {
    m_changed.Notify();
}

void AllowList::RemoveAt(int index) {
    if (index < 0 || index >= Count())
        return;
    m_entries.erase(m_entries.begin() + index);
}

int AllowList::FindString(const std::string& key) const {
    // The list box answers "not found" for an empty search text rather than matching every entry; an empty
    // class name must not let a window pass.
    if (key.empty())
        return -1;
    for (int i = 0; i < Count(); ++i) {
        const std::string& entry = m_entries[static_cast<std::size_t>(i)];
        if (entry.size() < key.size())
            continue;
        if (std::equal(key.begin(), key.end(), entry.begin(), [](char x, char y) { return Fold(x) == Fold(y); })) {
            return i;
        }
    }
    return -1;
}

} // namespace engine
