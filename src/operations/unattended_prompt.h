// The prompt of a run without a person (/quiet, /passive): each question gets the fixed answer of its
// kind and nothing is shown; what the log pane would show is kept for the log file, and why the run
// ended when nothing was run for its result line.
#pragma once

#include <string>
#include <vector>

#include "operations/prompt.h"

namespace zid {

// One row of the answers of a run without a person.
struct UnattendedAnswer {
    QuestionKind Kind;
    bool Agree;          // true: Yes (OK), the run goes on; false: No, the run ends there (Cancel)
    const wchar_t* Why;  // the reason, as the README's table gives it
};

// Every kind of question with its answer; a kind missing here is answered No.
const std::vector<UnattendedAnswer>& UnattendedAnswers();

// The button a run without a person chooses for question: IDOK or IDYES to agree, IDCANCEL otherwise.
int AnswerUnattended(const Question& question);

class CUnattendedPrompt final : public IPrompt {
public:
    int Ask(const Question& question) override;
    void Tell(const std::wstring& text, UINT style) override;
    void Log(const std::wstring& line) override { m_lines.push_back(line); }
    void ClearLog() override {}
    // Keeps the settings.
    int AskUninstallOptions(bool& keep) override;
    void ShowInstallerLog(const std::wstring& path) override;

    // The log pane's lines: what was logged, told and answered, in order.
    const std::vector<std::wstring>& Lines() const { return m_lines; }
    // The first line of the last notice or refused question, or empty: why a run ended with nothing done.
    const std::wstring& LastNotice() const { return m_lastNotice; }
    // The installer log of the last operation, or empty.
    const std::wstring& InstallerLog() const { return m_installerLog; }

private:
    std::vector<std::wstring> m_lines;
    std::wstring m_lastNotice;
    std::wstring m_installerLog;
};

}  // namespace zid
