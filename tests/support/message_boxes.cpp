#include "support/message_boxes.h"

#include "win/message_box.h"

ScriptedMessageBoxes::ScriptedMessageBoxes(std::deque<int> answers) : m_answers(std::move(answers)) {
    SetMessageBoxAnswerer([this](HWND owner, const std::wstring& text, const std::wstring& caption, UINT style) {
        m_boxes.push_back({owner, text, caption, style});
        if (m_answers.empty())
            return IDOK;
        int answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    });
}

ScriptedMessageBoxes::~ScriptedMessageBoxes() {
    SetMessageBoxAnswerer(nullptr);
}
