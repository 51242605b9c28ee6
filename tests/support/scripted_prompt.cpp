#include "support/scripted_prompt.h"

namespace zid {

int CScriptedPrompt::Ask(const Question& question) {
    m_boxes.push_back({question.Text, question.Style, question.Kind});
    if (WhileShown)
        WhileShown();
    if (m_answers.empty())
        return IDOK;
    const int answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

void CScriptedPrompt::Tell(const std::wstring& text, UINT style) {
    m_boxes.push_back({text, style, std::nullopt});
    if (WhileShown)
        WhileShown();
}

void CScriptedPrompt::Log(const std::wstring& line) {
    m_log += line;
    // As the pane: a line that ends with the system's own break gets no second one.
    if (!line.ends_with(L"\r\n"))
        m_log += L"\r\n";
}

int CScriptedPrompt::AskUninstallOptions(bool& keep) {
    ++m_optionsAsked;
    int answer = IDOK;
    if (!UninstallOptions.empty()) {
        answer = UninstallOptions.front();
        UninstallOptions.pop_front();
    }
    if (answer == IDCANCEL)
        return IDCANCEL;
    keep = answer == IDOK;
    return IDOK;
}

}  // namespace zid
