#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace common {

// Lower-case hexadecimal, the one form in which the program writes bytes as text (password hashes and salts,
// the hand-over file's checksum, escaped bytes).
inline constexpr char kHexDigits[] = "0123456789abcdef";

inline std::string ToHex(const std::vector<std::uint8_t>& bytes) {
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        hex.push_back(kHexDigits[b >> 4]);
        hex.push_back(kHexDigits[b & 0x0f]);
    }
    return hex;
}

// The value of one lower-case hex digit; -1 for anything else (upper case is not the form written).
inline int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace common
