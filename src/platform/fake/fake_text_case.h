#pragma once
#include "platform/text_case.h"

namespace platform::fake {

// Letter case by the rules of the Western European code page: ASCII letters and the accented Latin letters
// (0xC0-0xDE with 0xE0-0xFE, not the multiplication and division signs); other bytes stay as they are. A test
// may declare a range of lead bytes to play a double-byte code page, whose double-byte characters have no case.
class FakeTextCase : public TextCase {
public:
    void SetLeadBytes(unsigned char first, unsigned char last) {
        m_firstLead = first;
        m_lastLead = last;
    }

    bool IsLeadByte(char byte) const override;
    void Lower(char* character, std::size_t size) const override;
    void Upper(char* character, std::size_t size) const override;

private:
    unsigned char m_firstLead = 1; // no lead bytes: an empty range
    unsigned char m_lastLead = 0;
};

} // namespace platform::fake
