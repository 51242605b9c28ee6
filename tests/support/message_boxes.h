// Records the program's message boxes and answers them from a script, in-process.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "win/message_box.h"

struct RecordedBox {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT style;
};

// While alive, every message box is recorded and answered with the next scripted answer
// (IDOK when the script is empty).
class ScriptedMessageBoxes {
public:
    explicit ScriptedMessageBoxes(std::deque<int> answers = {});
    ~ScriptedMessageBoxes();
    ScriptedMessageBoxes(const ScriptedMessageBoxes&) = delete;
    ScriptedMessageBoxes& operator=(const ScriptedMessageBoxes&) = delete;

    void Answer(int answer) { m_answers.push_back(answer); }
    // Runs as each box is shown, before it is answered: what a message that the box's modal loop
    // dispatches would do meanwhile.
    std::function<void()> WhileShown;
    const std::vector<RecordedBox>& Boxes() const { return m_boxes; }

private:
    std::deque<int> m_answers;
    std::vector<RecordedBox> m_boxes;
    MessageBoxAnswerer m_previous;
};

// While alive, a message box nobody scripted fails the test (and is answered Cancel) instead of
// waiting for a user who is not there.
class UnexpectedMessageBoxes {
public:
    UnexpectedMessageBoxes();
    ~UnexpectedMessageBoxes();
    UnexpectedMessageBoxes(const UnexpectedMessageBoxes&) = delete;
    UnexpectedMessageBoxes& operator=(const UnexpectedMessageBoxes&) = delete;

private:
    MessageBoxAnswerer m_previous;
};
