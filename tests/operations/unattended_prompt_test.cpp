// The fixed answers of a run without a person.
#include <gtest/gtest.h>

#include "operations/unattended_prompt.h"

namespace zid {

// Each kind as the questions ask it (their buttons): what guards against a wrong or unsafe package is
// refused, what stands between the command and its completion agreed to.
TEST(UnattendedPrompt, AnswersEachKindOfQuestionByItsKind) {
    struct Case {
        QuestionKind kind;
        UINT buttons;
        int answer;
    };
    const Case cases[] = {
        {QuestionKind::UntrustedPackage, MB_OKCANCEL, IDCANCEL},
        {QuestionKind::DebugBuild, MB_OKCANCEL, IDCANCEL},
        {QuestionKind::ConflictingInstallation, MB_YESNOCANCEL, IDYES},
        {QuestionKind::AnotherInstallation, MB_OKCANCEL, IDCANCEL},
        {QuestionKind::UnknownInstallation, MB_OKCANCEL, IDOK},
        {QuestionKind::NoPackageLeft, MB_OKCANCEL, IDOK},
        {QuestionKind::FetchStandIn, MB_YESNOCANCEL, IDYES},
    };
    EXPECT_EQ(UnattendedAnswers().size(), std::size(cases));
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind));
        CUnattendedPrompt prompt;
        EXPECT_EQ(prompt.Ask({c.kind, L"First line\r\nsecond", c.buttons | MB_ICONWARNING}), c.answer);
        EXPECT_EQ(prompt.LastNotice(), c.answer == IDCANCEL ? L"First line" : L"");
    }
}

TEST(UnattendedPrompt, KeepsTheSettingsAndWhatWasLastToldAndTheLog) {
    CUnattendedPrompt prompt;
    bool keep = false;
    EXPECT_EQ(prompt.AskUninstallOptions(keep), IDOK);
    EXPECT_TRUE(keep);
    prompt.Tell(L"Refused: why\r\n\r\nmore", MB_ICONERROR);
    prompt.Log(L"Check: a line");
    prompt.ShowInstallerLog(L"C:\\log.txt");
    EXPECT_EQ(prompt.LastNotice(), L"Refused: why");
    EXPECT_EQ(prompt.InstallerLog(), L"C:\\log.txt");
}

}  // namespace zid
