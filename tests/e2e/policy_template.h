#pragma once
// Reads the administrative template policy/kestrel.admx and tells what each of its policies writes to the
// registry when it is enabled or disabled, as reg.exe command lines: a test applies the very template that
// administrators deploy (under Wine, where there is no Group Policy) and then watches Kestrel obey it.
//
//     using namespace policy_template;
//     const auto policies = Parse(ReadFile(e2e::ExeDir() + "policy\\kestrel.admx"));
//     for (const std::string& command : RegCommands(policies, "LockedItems", State::Enabled, {"Crime,1"}))
//         RunAndWait(command); // reg add "HKLM\Software\WOW6432Node\ORV\Kestrel\Locked Items" /v Item1 ...
//
// Plain string handling over the few elements the template uses (policy, enabledValue, disabledValue and a list
// element; string, decimal and delete values), no XML library: the e2e programs are built for Windows with
// nothing but the system's libraries. The windows build copies the template next to the programs.
#include <cstddef>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace policy_template {

enum class State { Enabled, Disabled };

// What a policy writes in one of its states.
struct Write {
    enum class Kind { None, String, Dword, Delete } kind = Kind::None;
    std::string data;
};

struct Policy {
    std::string name;
    std::string root; // "HKLM" for machine policies, "HKCU" for user policies
    std::string key;
    std::string valueName;
    Write enabled;
    Write disabled;
    // A list: one string value per entry, named listPrefix followed by 1, 2, ...
    bool isList = false;
    std::string listKey;
    std::string listPrefix;
    bool listAdditive = false; // false: the entries replace every value the key held
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

namespace detail {

inline std::string Unescape(std::string text) {
    static const std::pair<const char*, char> kEntities[] = {
        {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}, {"&amp;", '&'}};
    for (const auto& [entity, character] : kEntities) {
        const std::string name = entity;
        for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1))
            text.replace(at, name.size(), 1, character);
    }
    return text;
}

// The value of an attribute in a start tag; "" when it has none.
inline std::string Attribute(const std::string& tag, const std::string& name) {
    const std::string pattern = name + "=\"";
    for (std::size_t at = tag.find(pattern); at != std::string::npos; at = tag.find(pattern, at + 1)) {
        // "name" must not match the end of "valueName".
        if (at == 0 || (tag[at - 1] != ' ' && tag[at - 1] != '\n' && tag[at - 1] != '\r' && tag[at - 1] != '\t'))
            continue;
        const std::size_t begin = at + pattern.size();
        const std::size_t end = tag.find('"', begin);
        return end == std::string::npos ? "" : Unescape(tag.substr(begin, end - begin));
    }
    return "";
}

// The text between <name ...> and </name> (or "" for <name/>), from position `from`; npos when there is none.
// `startTag` receives the start tag itself.
inline std::size_t Element(const std::string& xml, const std::string& name, std::size_t from, std::string* startTag,
                           std::string* body) {
    for (std::size_t at = xml.find("<" + name, from); at != std::string::npos; at = xml.find("<" + name, at + 1)) {
        const char next = at + 1 + name.size() < xml.size() ? xml[at + 1 + name.size()] : '\0';
        if (next != ' ' && next != '>' && next != '/' && next != '\n' && next != '\r' && next != '\t')
            continue; // <policyNamespaces> is no <policy>
        const std::size_t tagEnd = xml.find('>', at);
        if (tagEnd == std::string::npos)
            return std::string::npos;
        *startTag = xml.substr(at, tagEnd + 1 - at);
        if (xml[tagEnd - 1] == '/') {
            body->clear();
            return tagEnd + 1;
        }
        const std::string close = "</" + name + ">";
        const std::size_t closeAt = xml.find(close, tagEnd);
        if (closeAt == std::string::npos)
            return std::string::npos;
        *body = xml.substr(tagEnd + 1, closeAt - tagEnd - 1);
        return closeAt + close.size();
    }
    return std::string::npos;
}

// <enabledValue><string>1</string></enabledValue> and the like.
inline Write ValueIn(const std::string& policyBody, const std::string& element) {
    std::string tag, body, inner;
    if (Element(policyBody, element, 0, &tag, &body) == std::string::npos)
        return {};
    if (Element(body, "string", 0, &tag, &inner) != std::string::npos)
        return {Write::Kind::String, Unescape(inner)};
    if (Element(body, "decimal", 0, &tag, &inner) != std::string::npos)
        return {Write::Kind::Dword, Attribute(tag, "value")};
    if (Element(body, "delete", 0, &tag, &inner) != std::string::npos)
        return {Write::Kind::Delete, ""};
    return {};
}

// A command-line argument as the C runtime splits command lines: quoted, with quotes and the backslashes before
// them escaped.
inline std::string Quote(const std::string& argument) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

} // namespace detail

// Every policy of the template, in its order.
inline std::vector<Policy> Parse(std::string admx) {
    // Comments may mention anything.
    for (std::size_t at = admx.find("<!--"); at != std::string::npos; at = admx.find("<!--", at)) {
        const std::size_t end = admx.find("-->", at);
        admx.erase(at, end == std::string::npos ? std::string::npos : end + 3 - at);
    }
    std::vector<Policy> policies;
    std::string tag, body;
    for (std::size_t at = detail::Element(admx, "policy", 0, &tag, &body); at != std::string::npos;
         at = detail::Element(admx, "policy", at, &tag, &body)) {
        Policy policy;
        policy.name = detail::Attribute(tag, "name");
        policy.root = detail::Attribute(tag, "class") == "User" ? "HKCU" : "HKLM";
        policy.key = detail::Attribute(tag, "key");
        policy.valueName = detail::Attribute(tag, "valueName");
        policy.enabled = detail::ValueIn(body, "enabledValue");
        policy.disabled = detail::ValueIn(body, "disabledValue");
        std::string listTag, listBody;
        if (detail::Element(body, "list", 0, &listTag, &listBody) != std::string::npos) {
            policy.isList = true;
            policy.listKey = detail::Attribute(listTag, "key");
            if (policy.listKey.empty())
                policy.listKey = policy.key;
            policy.listPrefix = detail::Attribute(listTag, "valuePrefix");
            policy.listAdditive = detail::Attribute(listTag, "additive") == "true";
        }
        policies.push_back(policy);
    }
    return policies;
}

// The reg.exe command lines that do what Group Policy does for the policy in that state; a list policy takes its
// entries when enabled. Nothing for a state that writes nothing.
inline std::vector<std::string> RegCommands(const Policy& policy, State state,
                                            const std::vector<std::string>& entries = {}) {
    using detail::Quote;
    const bool enabled = state == State::Enabled;
    std::vector<std::string> commands;
    const std::string key = Quote(policy.root + "\\" + policy.key);
    const Write& write = enabled ? policy.enabled : policy.disabled;
    switch (write.kind) {
    case Write::Kind::String:
        commands.push_back("reg add " + key + " /v " + Quote(policy.valueName) + " /t REG_SZ /d " + Quote(write.data) +
                           " /f");
        break;
    case Write::Kind::Dword:
        commands.push_back("reg add " + key + " /v " + Quote(policy.valueName) + " /t REG_DWORD /d " + write.data +
                           " /f");
        break;
    case Write::Kind::Delete:
        commands.push_back("reg delete " + key + " /v " + Quote(policy.valueName) + " /f");
        break;
    case Write::Kind::None:
        break;
    }
    if (policy.isList) {
        const std::string listKey = Quote(policy.root + "\\" + policy.listKey);
        // A list that replaces, and a disabled list, first empty the key (Group Policy's "**delvals.").
        if (!enabled || !policy.listAdditive) {
            commands.push_back("reg add " + listKey + " /f");
            commands.push_back("reg delete " + listKey + " /va /f");
        }
        for (std::size_t i = 0; enabled && i < entries.size(); ++i)
            commands.push_back("reg add " + listKey + " /v " + Quote(policy.listPrefix + std::to_string(i + 1)) +
                               " /t REG_SZ /d " + Quote(entries[i]) + " /f");
    }
    return commands;
}

// The same by the policy's name; nothing when the template has no such policy.
inline std::vector<std::string> RegCommands(const std::vector<Policy>& policies, const std::string& name, State state,
                                            const std::vector<std::string>& entries = {}) {
    for (const Policy& policy : policies)
        if (policy.name == name)
            return RegCommands(policy, state, entries);
    return {};
}

} // namespace policy_template
