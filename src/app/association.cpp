#include "app/association.h"

namespace app {

namespace {
constexpr auto kRoot = store::RegRoot::ClassesRoot;
}

std::string CompanionPath(const std::string& programFolder) {
    return programFolder + "\\orv.exe";
}

void CreateAssociation(store::Registry& registry, const std::string& programFolder) {
    const std::string quoted = "\"" + CompanionPath(programFolder) + "\"";
    registry.CreateKey(kRoot, ".loc");
    registry.WriteValue(kRoot, ".loc", "", "ORV.Document");
    registry.CreateKey(kRoot, "ORV.Document\\shell\\open\\command");
    registry.CreateKey(kRoot, "ORV.Document\\DefaultIcon");
    registry.WriteValue(kRoot, "ORV.Document", "", "ORV System Protect");
    registry.WriteValue(kRoot, "ORV.Document\\shell\\open\\command", "", quoted + " %1");
    registry.WriteValue(kRoot, "ORV.Document\\DefaultIcon", "", quoted);
}

} // namespace app
