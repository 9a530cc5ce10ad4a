#include "store/save_request.h"

#include "common/hex.h"
#include "common/line_escape.h"
#include "store/item_rows.h"

namespace store {

namespace {

constexpr const char* kHeader = "kestrel-save 1";
constexpr const char* kSwitch = "/save";
constexpr std::size_t kDigestHex = 64;

// The settings values a save writes, in its order: the password, the edition, then every option.
std::vector<const char*> SettingNames() {
    std::vector<const char*> names = {kPasswordValue, kEditionValue};
    for (const OptionInfo& info : kOptions)
        names.push_back(info.valueName);
    return names;
}

std::vector<std::string> Lines(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::string> lines;
    std::string line;
    for (std::uint8_t b : bytes) {
        if (b == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += static_cast<char>(b);
        }
    }
    if (!line.empty())
        lines.push_back(line); // an unfinished last line: never the "end" that a whole file closes with
    return lines;
}

// "Name value" -> the value, when the line carries exactly this name.
std::optional<std::string> ValueOf(const std::string& line, const std::string& name) {
    if (line.size() <= name.size() || line.compare(0, name.size(), name) != 0 || line[name.size()] != ' ')
        return std::nullopt;
    return common::UnescapeLine(line.substr(name.size() + 1));
}

bool IsRow(const std::string& row) {
    return row.size() >= 2 && row[row.size() - 2] == ',' && (row.back() == '0' || row.back() == '1');
}

// The text a save gives the setting: Auth1 any text, Version the edition, the switches "0" or "1".
bool IsSettingText(const std::string& name, const std::string& text) {
    if (name == kPasswordValue)
        return true;
    if (name == kEditionValue)
        return text == kEdition;
    return text == "0" || text == "1";
}

bool IsLowerHex(const std::string& text) {
    for (char c : text)
        if (common::HexValue(c) < 0)
            return false;
    return true;
}

struct SaveCommand {
    std::string file;
    std::string sha256Hex;
};

// Where the switch ends when the command line starts with it (blanks before it allowed), else npos.
std::size_t AfterSwitch(const std::string& commandLine) {
    const std::string sw = kSwitch;
    const std::size_t pos = commandLine.find_first_not_of(' ');
    if (pos == std::string::npos || commandLine.compare(pos, sw.size(), sw) != 0)
        return std::string::npos;
    const std::size_t end = pos + sw.size();
    return end == commandLine.size() || commandLine[end] == ' ' ? end : std::string::npos;
}

// /save "<file>" <hex>, blanks between the parts, nothing after.
std::optional<SaveCommand> ParseSaveCommand(const std::string& commandLine) {
    std::size_t pos = AfterSwitch(commandLine);
    if (pos == std::string::npos)
        return std::nullopt;
    pos = commandLine.find_first_not_of(' ', pos);
    if (pos == std::string::npos || commandLine[pos] != '"')
        return std::nullopt;
    const std::size_t close = commandLine.find('"', pos + 1);
    if (close == std::string::npos || close == pos + 1)
        return std::nullopt;
    SaveCommand command{commandLine.substr(pos + 1, close - pos - 1), ""};
    pos = commandLine.find_first_not_of(' ', close + 1);
    if (pos == std::string::npos)
        return std::nullopt;
    const std::size_t end = commandLine.find_last_not_of(' ');
    command.sha256Hex = commandLine.substr(pos, end + 1 - pos);
    if (command.sha256Hex.size() != kDigestHex || !IsLowerHex(command.sha256Hex))
        return std::nullopt;
    return command;
}

// Only a file named as the running copy names its hand-overs is ever opened (and so deleted).
bool IsHandOverName(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string prefix = platform::kHandOverPrefix;
    const std::string suffix = platform::kHandOverSuffix;
    return name.size() > prefix.size() + suffix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

} // namespace

Status Save(Registry& registry, const SaveRequest& request) {
    if (request.items) {
        if (Status saved = SaveItemRows(registry, *request.items); !saved)
            return saved;
    }
    if (request.settings)
        return SaveSettingsValues(registry, *request.settings);
    return {};
}

std::vector<std::uint8_t> Serialize(const SaveRequest& request) {
    std::string text = std::string(kHeader) + "\n";
    if (request.items) {
        text += "items\n";
        for (std::size_t r = 0; r < request.items->size(); ++r)
            text += ItemName(r) + " " + common::EscapeLine((*request.items)[r]) + "\n";
    }
    if (request.settings) {
        text += "settings\n";
        for (const auto& [name, value] : *request.settings)
            text += name + " " + common::EscapeLine(value) + "\n";
    }
    text += "end\n";
    return {text.begin(), text.end()};
}

std::optional<SaveRequest> ParseSaveRequest(const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty() || bytes.back() != '\n')
        return std::nullopt;
    const std::vector<std::string> lines = Lines(bytes);
    std::size_t at = 0;
    auto next = [&]() -> const std::string* { return at < lines.size() ? &lines[at] : nullptr; };
    if (!next() || *next() != kHeader)
        return std::nullopt;
    ++at;

    SaveRequest request;
    if (next() && *next() == "items") {
        ++at;
        request.items.emplace();
        while (next()) {
            auto row = ValueOf(*next(), ItemName(request.items->size()));
            if (!row)
                break;
            if (!IsRow(*row))
                return std::nullopt;
            request.items->push_back(*row);
            ++at;
        }
    }
    if (next() && *next() == "settings") {
        ++at;
        request.settings.emplace();
        for (const char* name : SettingNames()) {
            auto text = next() ? ValueOf(*next(), name) : std::nullopt;
            if (!text || !IsSettingText(name, *text))
                return std::nullopt;
            request.settings->emplace_back(name, *text);
            ++at;
        }
    }
    if (!next() || *next() != "end" || at + 1 != lines.size())
        return std::nullopt;
    return request;
}

std::string SaveCommandLine(const std::string& file, const std::string& sha256Hex) {
    return std::string(kSwitch) + " \"" + file + "\" " + sha256Hex;
}

bool IsSaveCommand(const std::string& commandLine) {
    return AfterSwitch(commandLine) != std::string::npos;
}

unsigned SaveFromHandOver(const std::string& commandLine, platform::Elevation& elevation, platform::Crypto& crypto,
                          Registry& registry, const std::function<bool()>& passwordGiven) {
    const auto command = ParseSaveCommand(commandLine);
    if (!command || !IsHandOverName(command->file))
        return kBadCommandLine;
    std::vector<std::uint8_t> bytes;
    if (!elevation.TakeHandOver(command->file, kMaxHandOverBytes, bytes))
        return kHandOverUnreadable;
    // An administrator's consent is not the parent's: whoever prepared the change must also know Kestrel's password.
    if (!passwordGiven || !passwordGiven())
        return kPasswordNotGiven;
    // Another program of the user could have changed the file between its writing and now: only the very bytes
    // that the setup window wrote are saved.
    std::vector<std::uint8_t> digest;
    if (!crypto.Sha256(bytes, digest) || common::ToHex(digest) != command->sha256Hex)
        return kChecksumMismatch;
    const auto request = ParseSaveRequest(bytes);
    if (!request)
        return kBadHandOver;
    const Status saved = Save(registry, *request);
    return saved ? kSaved : kStoreFailedBase + static_cast<unsigned>(saved.code);
}

} // namespace store
