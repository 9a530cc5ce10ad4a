#include "platform/fake/fake_text_case.h"

namespace platform::fake {

namespace {

constexpr unsigned char kMultiplication = 0xD7;
constexpr unsigned char kDivision = 0xF7;

} // namespace

bool FakeTextCase::IsLeadByte(char byte) const {
    const auto u = static_cast<unsigned char>(byte);
    return u >= m_firstLead && u <= m_lastLead;
}

void FakeTextCase::Lower(char* character, std::size_t size) const {
    if (size != 1)
        return;
    const auto u = static_cast<unsigned char>(*character);
    if ((u >= 'A' && u <= 'Z') || (u >= 0xC0 && u <= 0xDE && u != kMultiplication))
        *character = static_cast<char>(u + 0x20);
}

void FakeTextCase::Upper(char* character, std::size_t size) const {
    if (size != 1)
        return;
    const auto u = static_cast<unsigned char>(*character);
    if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != kDivision))
        *character = static_cast<char>(u - 0x20);
}

} // namespace platform::fake
