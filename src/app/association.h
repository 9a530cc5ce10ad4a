#pragma once
#include <string>

#include "store/registry.h"

namespace app {

// Associates ".loc" documents with the product family's "orv.exe" in the program's folder. Written at every
// start, whatever is stored; each step runs even when an earlier one failed (no rights under HKCR, say).
void CreateAssociation(store::Registry& registry, const std::string& programFolder);

// "<folder>\orv.exe". The folder is taken as the system reports it: a drive root keeps its backslash, so the
// path then has two in a row, which the shell accepts.
std::string CompanionPath(const std::string& programFolder);

} // namespace app
