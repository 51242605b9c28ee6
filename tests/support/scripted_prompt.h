// The prompt of the tests: records what the program asks, tells and logs, and answers from a script.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "operations/prompt.h"

namespace zid {

// A question or a notice as the prompt saw it: what a message box would have shown.
struct RecordedBox {
    std::wstring text;
    UINT style = 0;
    std::optional<QuestionKind> kind;  // none for a notice (Tell)
};

class CScriptedPrompt final : public IPrompt {
public:
    // Questions are answered with the next scripted answer, IDOK when the script is empty.
    explicit CScriptedPrompt(std::deque<int> answers = {}) : m_answers(std::move(answers)) {}

    void Answer(int answer) { m_answers.push_back(answer); }
    // Runs as each question or notice is shown, before it is answered: what a message that the box's
    // modal loop dispatches would do meanwhile.
    std::function<void()> WhileShown;
    // The answers of the uninstall-options dialog: IDOK keeps the settings, IDNO stands for OK with
    // REMOVE chosen, IDCANCEL cancels; IDOK when the script is empty.
    std::deque<int> UninstallOptions;

    // Questions and notices in the order shown.
    const std::vector<RecordedBox>& Boxes() const { return m_boxes; }
    // The log pane's lines without their times, each ending CR LF as the pane ends them.
    const std::wstring& LogText() const { return m_log; }
    // How often the uninstall-options dialog was asked for.
    int UninstallOptionsAsked() const { return m_optionsAsked; }
    // The installer logs handed over to be shown, in order.
    const std::vector<std::wstring>& ShownLogs() const { return m_shownLogs; }

    int Ask(const Question& question) override;
    void Tell(const std::wstring& text, UINT style) override;
    void Log(const std::wstring& line) override;
    void ClearLog() override { m_log.clear(); }
    int AskUninstallOptions(bool& keep) override;
    void ShowInstallerLog(const std::wstring& path) override { m_shownLogs.push_back(path); }

private:
    std::deque<int> m_answers;
    std::vector<RecordedBox> m_boxes;
    std::wstring m_log;
    int m_optionsAsked = 0;
    std::vector<std::wstring> m_shownLogs;
};

}  // namespace zid
