#include "operations/unattended_prompt.h"

namespace zid {

namespace {

std::wstring FirstLine(const std::wstring& text) {
    return text.substr(0, text.find_first_of(L"\r\n"));
}

}  // namespace

const std::vector<UnattendedAnswer>& UnattendedAnswers() {
    // What guards against a wrong or unsafe package is refused; what stands between the command and
    // its completion is agreed to.
    static const std::vector<UnattendedAnswer> answers = {
        {QuestionKind::UntrustedPackage, false, L"not the maker's verified package"},
        {QuestionKind::DebugBuild, false, L"a Debug build does not install correctly everywhere"},
        {QuestionKind::ConflictingInstallation, true, L"the installed one of the same build is uninstalled first"},
        {QuestionKind::AnotherInstallation, false, L"the run ends at once with 1618, to be retried"},
        {QuestionKind::UnknownInstallation, true, L"Windows Installer's own result says what became of it"},
        {QuestionKind::NoPackageLeft, true, L"Windows Installer's own result says what became of it"},
        {QuestionKind::FetchStandIn, true, L"the same release is downloaded from the website and checked"},
        {QuestionKind::LeftoverEntry, true, L"only the entry is left: it is backed up, then removed"},
        {QuestionKind::LeftoverEntryOnRepair, false, L"there is nothing to repair: the entry stays"},
    };
    return answers;
}

int AnswerUnattended(const Question& question) {
    bool agree = false;
    for (const UnattendedAnswer& answer : UnattendedAnswers()) {
        if (answer.Kind == question.Kind)
            agree = answer.Agree;
    }
    const UINT buttons = question.Style & MB_TYPEMASK;
    if (!agree)
        return buttons == MB_YESNO ? IDNO : IDCANCEL;  // a question without Cancel is refused by its No
    return buttons == MB_OKCANCEL || buttons == MB_OK ? IDOK : IDYES;
}

int CUnattendedPrompt::Ask(const Question& question) {
    const int answer = AnswerUnattended(question);
    const std::wstring line = FirstLine(question.Text);
    const bool refused = answer == IDCANCEL || answer == IDNO;
    m_lines.push_back(line + (refused ? L" Answered No." : L" Answered Yes."));
    if (refused)
        m_lastNotice = line;
    return answer;
}

void CUnattendedPrompt::Tell(const std::wstring& text, UINT) {
    m_lastNotice = FirstLine(text);
    m_lines.push_back(m_lastNotice);
}

int CUnattendedPrompt::AskUninstallOptions(bool& keep) {
    keep = true;
    return IDOK;
}

void CUnattendedPrompt::ShowInstallerLog(const std::wstring& path) {
    m_installerLog = path;
}

}  // namespace zid
