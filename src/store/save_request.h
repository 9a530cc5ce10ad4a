#pragma once
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/crypto.h"
#include "platform/elevation.h"
#include "store/registry.h"
#include "store/settings.h"

namespace store {

// What one save of the setup window writes: the locked-item rows and, for OK and Apply, the settings values. The
// program writes it itself; when the system refuses a user who is no administrator, the same request goes to a
// copy of the program that runs with administrator rights.
struct SaveRequest {
    std::optional<std::vector<std::string>> items;     // rows as stored ("Crime,1"); absent: not saved
    std::optional<std::vector<SettingValue>> settings; // Settings::StoredValues(); absent: not saved
};

// Writes the request through the same store code as the program's own saves: the items, then the settings.
// Stops at the first failure and returns it.
Status Save(Registry& registry, const SaveRequest& request);

// The request as the bytes of a hand-over file, and back. Parsing accepts exactly what Serialize writes with the
// store's own values only (Item0, Item1, ... in order; Auth1, Version and the options' values in the order of
// kOptions, with the texts a save gives them): a hand-over cannot reach any other key or value.
std::vector<std::uint8_t> Serialize(const SaveRequest& request);
std::optional<SaveRequest> ParseSaveRequest(const std::vector<std::uint8_t>& bytes);

// The command line of the elevated copy: /save "<hand-over file>" <its SHA-256 in 64 lower-case hex digits>.
std::string SaveCommandLine(const std::string& file, const std::string& sha256Hex);
// True when the command line asks for a save (whether or not it is well formed): the copy then shows no window.
bool IsSaveCommand(const std::string& commandLine);

// How the elevated copy ends: kSaved, one of the refusals, or kStoreFailedBase plus the registry's status.
enum SaveExit : unsigned {
    kSaved = 0,
    kBadCommandLine = 1,
    kHandOverUnreadable = 2,
    kChecksumMismatch = 3,
    kBadHandOver = 4,
    kPasswordNotGiven = 5,
    kStoreFailedBase = 0x10000,
};
constexpr std::size_t kMaxHandOverBytes = 16 * 1024 * 1024;

// The elevated copy's whole work: asks for Kestrel's password (passwordGiven: true once the stored password was
// typed), takes the hand-over file named on the command line (deleting it), checks its SHA-256 against the one on
// the command line, and saves what it holds. Returns the exit code.
unsigned SaveFromHandOver(const std::string& commandLine, platform::Elevation& elevation, platform::Crypto& crypto,
                          Registry& registry, const std::function<bool()>& passwordGiven);

} // namespace store
