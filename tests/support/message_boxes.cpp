#include "support/message_boxes.h"

#include <gtest/gtest.h>

#include "support/test_util.h"
#include "win/message_box.h"

ScriptedMessageBoxes::ScriptedMessageBoxes(std::deque<int> answers) : m_answers(std::move(answers)) {
    m_previous =
        SetMessageBoxAnswerer([this](HWND owner, const std::wstring& text, const std::wstring& caption, UINT style) {
            m_boxes.push_back({owner, text, caption, style});
            if (WhileShown)
                WhileShown();
            if (m_answers.empty())
                return IDOK;
            int answer = m_answers.front();
            m_answers.pop_front();
            return answer;
        });
}

ScriptedMessageBoxes::~ScriptedMessageBoxes() {
    SetMessageBoxAnswerer(std::move(m_previous));
}

UnexpectedMessageBoxes::UnexpectedMessageBoxes() {
    m_previous = SetMessageBoxAnswerer([](HWND, const std::wstring& text, const std::wstring&, UINT) {
        ADD_FAILURE() << "unexpected message box: " << Narrow(text);
        return IDCANCEL;
    });
}

UnexpectedMessageBoxes::~UnexpectedMessageBoxes() {
    SetMessageBoxAnswerer(std::move(m_previous));
}
