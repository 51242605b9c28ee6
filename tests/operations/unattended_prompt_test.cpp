// The fixed answers of a run without a person.
#include <gtest/gtest.h>

#include "operations/unattended_prompt.h"

namespace zid {

// Each kind as the questions ask it (their buttons): what guards against a wrong or unsafe package is
// refused, what stands between the command and its completion agreed to; the settings are kept.
TEST(UnattendedPrompt, AnswersEachKindOfQuestionByItsKind) {
    using enum QuestionKind;
    const std::tuple<QuestionKind, UINT, int> cases[] = {
        {UntrustedPackage, MB_OKCANCEL, IDCANCEL},
        {DebugBuild, MB_OKCANCEL, IDCANCEL},
        {ConflictingInstallation, MB_YESNOCANCEL, IDYES},
        {AnotherInstallation, MB_OKCANCEL, IDCANCEL},
        {UnknownInstallation, MB_OKCANCEL, IDOK},
        {NoPackageLeft, MB_OKCANCEL, IDOK},
        {FetchStandIn, MB_YESNOCANCEL, IDYES},
        {LeftoverEntry, MB_YESNO, IDYES},
        {LeftoverEntryOnRepair, MB_YESNO, IDNO},
    };
    EXPECT_EQ(UnattendedAnswers().size(), std::size(cases));
    for (const auto& [kind, buttons, answer] : cases) {
        SCOPED_TRACE(static_cast<int>(kind));
        CUnattendedPrompt prompt;
        EXPECT_EQ(prompt.Ask({kind, L"First line\r\nsecond", buttons | MB_ICONWARNING}), answer);
        EXPECT_EQ(prompt.LastNotice(), answer == IDCANCEL || answer == IDNO ? L"First line" : L"");
    }
    bool keep = false;
    EXPECT_TRUE(CUnattendedPrompt().AskUninstallOptions(keep) == IDOK && keep);
}

}  // namespace zid
