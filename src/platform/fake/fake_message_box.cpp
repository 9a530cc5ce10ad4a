#include "platform/fake/fake_message_box.h"

namespace platform::fake {

int FakeMessageBoxes::Show(WindowId owner, const std::string& text, const std::string& caption, unsigned style) {
    m_asked.push_back({owner, text, caption, style});
    if (m_answers.empty())
        return defaultAnswer;
    const int answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

} // namespace platform::fake
