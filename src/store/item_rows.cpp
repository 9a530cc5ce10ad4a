#include "store/item_rows.h"

#include "platform/ascii_case.h"

namespace store {

namespace {

// True for the name of one of the first count rows, in the exact form ItemName gives ("Item01" is not a row).
bool IsRowName(const std::string& name, std::size_t count) {
    constexpr std::size_t kPrefix = 4; // "Item"
    if (name.size() <= kPrefix || name.size() > kPrefix + 19)
        return false;
    for (std::size_t i = kPrefix; i < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9')
            return false;
    const std::size_t index = std::stoull(name.substr(kPrefix));
    // Value names are compared without regard to case, as the registry does: "ITEM0" is the value Item0.
    return index < count && platform::EqualIgnoringAsciiCase(name, ItemName(index));
}

} // namespace

std::string ItemName(std::size_t index) {
    return "Item" + std::to_string(index);
}

Status SaveItemRows(Registry& registry, const std::vector<std::string>& rows) {
    if (Status created = registry.CreateKey(RegRoot::LocalMachine, kLockedItemsKey); !created)
        return created;
    // Rows are always plain strings, whatever another program left under their names.
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (Status written = registry.WriteString(RegRoot::LocalMachine, kLockedItemsKey, ItemName(r), rows[r]);
            !written)
            return written;
    }
    std::vector<std::string> names;
    if (Status listed = registry.ValueNames(RegRoot::LocalMachine, kLockedItemsKey, names); !listed)
        return listed;
    for (const std::string& name : names) {
        if (IsRowName(name, rows.size()))
            continue;
        const Status deleted = registry.DeleteValue(RegRoot::LocalMachine, kLockedItemsKey, name);
        if (!deleted && deleted.code != platform::kRegFileNotFound) // gone meanwhile is gone
            return deleted;
    }
    return {};
}

} // namespace store
