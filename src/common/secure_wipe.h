#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace common {

// Overwrites memory that held a password (typed text, derived keys) so that it does not linger in freed
// heap blocks or stack frames. The volatile stores keep the compiler from dropping the writes as dead.
inline void SecureZero(void* data, std::size_t size) noexcept {
    volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i)
        p[i] = 0;
}

// Wipes the whole buffer (up to its capacity, where older, longer contents may remain) and empties it.
inline void WipeString(std::string& text) noexcept {
    text.resize(text.capacity()); // never reallocates: the size only grows up to the capacity
    SecureZero(text.data(), text.size());
    text.clear();
}

inline void WipeBytes(std::vector<std::uint8_t>& bytes) noexcept {
    bytes.resize(bytes.capacity());
    SecureZero(bytes.data(), bytes.size());
    bytes.clear();
}

} // namespace common
