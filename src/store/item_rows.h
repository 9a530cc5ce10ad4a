#pragma once
#include <string>
#include <vector>

#include "store/registry.h"

namespace store {

constexpr const char* kLockedItemsKey = "Software\\ORV\\Kestrel\\Locked Items";

// "Item" and the row's index in decimal: Item0, Item1, ... Item10.
std::string ItemName(std::size_t index);

// Stores the locked-item rows (each its text and ",1" or ",0") as Item0, Item1, ... and then deletes every
// other value of the key, so that it holds nothing but the rows. The key is never emptied first: a save that
// stops half-way (a failure, the process ended) leaves each name with its old row or its new one.
// Stops at the first failure and returns it.
Status SaveItemRows(Registry& registry, const std::vector<std::string>& rows);

} // namespace store
