#include "store/registry.h"

#include <array>
#include <cstdint>
#include <limits>

#include "platform/utf.h"

namespace store {

using platform::kRegDword;
using platform::kRegFileNotFound;
using platform::kRegOk;
using platform::kRegSz;
using platform::RegAccess;
using platform::ScopedRegKey;

namespace {

// The leading decimal number of a text, rounded to the nearest integer (halves to even) and clamped to what
// a 32-bit value can hold in either reading, so that -1 and 4294967295 both give FF FF FF FF.
// Leading blanks are skipped; a text without a leading number gives 0.
std::uint32_t LeadingNumber(const std::string& text) {
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kMax = std::numeric_limits<std::uint32_t>::max();
    constexpr std::int64_t kSaturated = kMax + 1; // any larger magnitude clamps the same way

    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    auto isDigit = [&](std::size_t i) { return i < text.size() && text[i] >= '0' && text[i] <= '9'; };

    std::int64_t whole = 0;
    for (; isDigit(pos); ++pos) {
        whole = whole * 10 + (text[pos] - '0');
        if (whole > kSaturated)
            whole = kSaturated;
    }
    // Only the fraction's relation to one half matters for rounding.
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        if (isDigit(pos)) {
            const char first = text[pos++];
            bool restNonZero = false;
            for (; isDigit(pos); ++pos)
                restNonZero = restNonZero || text[pos] != '0';
            const bool above = first > '5' || (first == '5' && restNonZero);
            const bool half = first == '5' && !restNonZero;
            if (above || (half && whole % 2 == 1))
                whole += 1;
        }
    }
    std::int64_t value = negative ? -whole : whole;
    if (value < kMin)
        value = kMin;
    if (value > kMax)
        value = kMax;
    return static_cast<std::uint32_t>(value);
}

// The text as the data of a string value: UTF-16, least significant byte first, without a terminating NUL.
Status SetString(platform::RegistryApi& api, platform::RegKey key, const std::string& name, const std::string& text) {
    const std::u16string units = platform::Utf16(text);
    if (units.size() > std::numeric_limits<std::uint32_t>::max() / 2)
        return {platform::kRegMoreData};
    std::vector<std::uint8_t> data;
    data.reserve(units.size() * 2);
    for (char16_t unit : units) {
        data.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        data.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return {api.SetValue(key, name, kRegSz, data.data(), static_cast<std::uint32_t>(data.size()))};
}

// The text of string data; a trailing NUL (other programs store one, this one does not) is dropped, and an odd last
// byte, which no UTF-16 text has, is ignored.
std::string StringOf(const std::uint8_t* data, std::uint32_t size) {
    std::u16string units(size / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    if (!units.empty() && units.back() == u'\0')
        units.pop_back();
    return platform::Utf8(units);
}

} // namespace

Status Registry::CreateKey(RegRoot root, const std::string& path) {
    ScopedRegKey key(m_api);
    return {m_api.CreateKey(root, path, key.Out())};
}

Status Registry::DeleteKey(RegRoot root, const std::string& path) {
    return {m_api.DeleteKey(root, path)};
}

std::string Registry::ReadValue(RegRoot root, const std::string& path, const std::string& name) {
    // Read access is enough to read, and it is all a standard user gets on the machine-wide keys.
    ScopedRegKey key(m_api);
    if (m_api.OpenKey(root, path, RegAccess::Read, key.Out()) != kRegOk)
        return "";

    std::array<std::uint8_t, kBufferBytes> buffer{};
    std::uint32_t size = kBufferBytes;
    std::uint32_t type = 0;
    if (m_api.QueryValue(key.Get(), name, &type, buffer.data(), &size) != kRegOk)
        return "";
    if (size > kBufferBytes)
        return ""; // a misbehaving system layer; never read past the buffer

    if (type == kRegSz)
        return StringOf(buffer.data(), size);
    if (type == kRegDword) {
        if (size == 0)
            return "";
        std::uint32_t number = 0;
        const std::uint32_t bytes = size < 4 ? size : 4;
        for (std::uint32_t i = 0; i < bytes; ++i)
            number |= static_cast<std::uint32_t>(buffer[i]) << (8 * i);
        return std::to_string(number);
    }
    return "";
}

Status Registry::WriteValue(RegRoot root, const std::string& path, const std::string& name, const std::string& text) {
    ScopedRegKey key(m_api);
    if (const long opened = m_api.OpenKey(root, path, RegAccess::All, key.Out()); opened != kRegOk)
        return {opened};

    // The value keeps the type it has. Data too large for the buffer cannot be looked at, so it is not
    // overwritten either.
    std::array<std::uint8_t, kBufferBytes> buffer{};
    std::uint32_t size = kBufferBytes;
    std::uint32_t type = 0;
    const long status = m_api.QueryValue(key.Get(), name, &type, buffer.data(), &size);
    if (status == kRegFileNotFound) {
        type = kRegSz;
    } else if (status != kRegOk) {
        return {status};
    }

    if (type == kRegSz)
        return SetString(m_api, key.Get(), name, text);
    if (type == kRegDword) {
        std::uint32_t n = LeadingNumber(text);
        std::array<std::uint8_t, 4> data{};
        for (auto& byte : data) {
            byte = static_cast<std::uint8_t>(n % 256);
            n /= 256;
        }
        return {m_api.SetValue(key.Get(), name, kRegDword, data.data(), 4)};
    }
    // A value of any other type is not ours; text would corrupt it.
    return {kRegUnsupportedType};
}

Status Registry::WriteString(RegRoot root, const std::string& path, const std::string& name, const std::string& text) {
    ScopedRegKey key(m_api);
    if (const long opened = m_api.OpenKey(root, path, RegAccess::All, key.Out()); opened != kRegOk)
        return {opened};
    // Setting a value replaces its type and data whatever they were: nothing needs to be read first.
    return SetString(m_api, key.Get(), name, text);
}

Status Registry::DeleteValue(RegRoot root, const std::string& path, const std::string& name) {
    ScopedRegKey key(m_api);
    if (const long opened = m_api.OpenKey(root, path, RegAccess::All, key.Out()); opened != kRegOk)
        return {opened};
    return {m_api.DeleteValue(key.Get(), name)};
}

Status Registry::ValueNames(RegRoot root, const std::string& path, std::vector<std::string>& names) {
    names.clear();
    ScopedRegKey key(m_api);
    if (const long opened = m_api.OpenKey(root, path, RegAccess::Read, key.Out()); opened != kRegOk)
        return {opened};
    for (std::uint32_t index = 0;; ++index) {
        std::string name;
        const long status = m_api.EnumValueName(key.Get(), index, &name);
        if (status == platform::kRegNoMoreItems)
            return {};
        if (status != kRegOk)
            return {status};
        names.push_back(std::move(name));
    }
}

std::optional<std::uint64_t> Registry::LastWriteTime(RegRoot root, const std::string& path) {
    ScopedRegKey key(m_api);
    std::uint64_t time = 0;
    if (m_api.OpenKey(root, path, RegAccess::Read, key.Out()) != kRegOk ||
        m_api.QueryLastWriteTime(key.Get(), &time) != kRegOk)
        return std::nullopt;
    return time;
}

} // namespace store
