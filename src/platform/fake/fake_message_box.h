#pragma once
#include <deque>
#include <string>
#include <vector>

#include "platform/message_box.h"

namespace platform::fake {

// Message boxes that record what was asked and answer from a script. Without a scripted answer they answer
// with defaultAnswer (OK unless a test says otherwise).
class FakeMessageBoxes final : public MessageBoxes {
public:
    struct Shown {
        WindowId owner = 0;
        std::string text;
        std::string caption;
        unsigned style = 0;
    };

    int Show(WindowId owner, const std::string& text, const std::string& caption, unsigned style) override;

    // The next answers, in order.
    void Answer(int answer) { m_answers.push_back(answer); }

    const std::vector<Shown>& Asked() const { return m_asked; }
    int defaultAnswer = kIdOk;

private:
    std::deque<int> m_answers;
    std::vector<Shown> m_asked;
};

} // namespace platform::fake
