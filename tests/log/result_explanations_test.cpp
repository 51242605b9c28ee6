// The plain-words lines for result codes, alone and with what a log yielded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/result_explanations.h"

namespace zid {

namespace {

bool Contains(const std::wstring& line, const wchar_t* part) {
    return line.find(part) != std::wstring::npos;
}

}  // namespace

TEST(ExplainResult, OneLinePerKnownCodeNoneOtherwise) {
    const struct {
        int Result;
        const wchar_t* Part;  // null: no line
    } cases[] = {
        {0, nullptr},
        {3010, L"The operation succeeded; restart Windows to complete it (3010)."},
        {1641, L"The operation succeeded; Windows Installer has started a restart of Windows"},
        {1602, L"Why: the operation was cancelled before it ended (1602). Run it again"},
        {1603, L"Why: a fatal error ended the operation (1603)."},
        {1627, L"Why: a step of the operation failed while it ran (1627)."},
        {1612, L"Why: the package this version of Velonar was installed from is no longer available (1612)."},
        {1618, L"Why: another installation was in progress (1618). Wait until it ends, then try again."},
        {1619, L"Why: the package file could not be opened (1619)."},
        {1620, L"Why: the file is not a valid Windows Installer package (1620)."},
        {1625, L"Why: a system policy forbids this installation (1625)."},
        {1638, L"Why: another version of Velonar is already installed (1638). Uninstall it first"},
        {1639, L"Why: Windows Installer did not accept the options of this operation (1639)."},
        {1706, L"Why: Windows Installer could not find a valid package for this product (1706)."},
        {1722, L"Why: a program run as part of the setup did not finish as expected (1722)."},
        {1925, L"for all users of this PC (1925). Run ZIDezureziv as an administrator"},
        {2502, L"could not run its installation script, usually because it may not use the temporary folder (2502)."},
        {2503, L"could not run its installation script, usually because it may not use the temporary folder (2503)."},
        {1601, nullptr},
        {1234, nullptr},
        {-1, nullptr},
    };
    for (const auto& c : cases) {
        const std::vector<std::wstring> lines = ExplainResult(c.Result);
        ASSERT_EQ(lines.size(), c.Part ? 1u : 0u) << c.Result;
        if (c.Part) {
            EXPECT_TRUE(Contains(lines[0], c.Part)) << c.Result;
        }
    }
}

TEST(IsFailedResult, OnlySuccessAndRestartAreNot) {
    for (int result : {0, 3010, 1641})
        EXPECT_FALSE(IsFailedResult(result)) << result;
    for (int result : {1, 1602, 1603, 1627, 3011, -1})
        EXPECT_TRUE(IsFailedResult(result)) << result;
}

TEST(ExplainFindings, NamesTheFailingStepAndAddsWhatTheLogSays) {
    const struct {
        const char* Name;
        int Result;
        LogFindings Findings;
        std::vector<const wchar_t*> Parts;  // one per expected line
    } cases[] = {
        {"1603 names the step", 1603, {"InstallFiles", {}, ""}, {L"failed in its step InstallFiles (1603)"}},
        {"1627 names the step", 1627, {"RegisterVelonarService", {}, ""}, {L"step RegisterVelonarService (1627)"}},
        {"1602 does not", 1602, {"InstallFiles", {}, ""}, {L"cancelled before it ended (1602)"}},
        {"first known code after unknown ones",
         1603,
         {"InstallFinalize", {2205, 1925, 2503}, ""},
         {L"step InstallFinalize (1603)", L"(1925)"}},
        {"1722 names the custom action from its message",
         1603,
         {"InstallFinalize", {1722}, "RegisterVelonarService"},
         {L"step InstallFinalize (1603)",
          L"the custom action RegisterVelonarService, did not finish as expected (1722)."}},
        {"1722 without a name in its message names the failing action",
         1603,
         {"StartVelonar", {1722}, ""},
         {L"step StartVelonar (1603)", L"the custom action StartVelonar, did not finish"}},
        {"1722 with no name at all",
         1603,
         {"", {1722}, ""},
         {L"(1603)", L"the setup did not finish as expected (1722)."}},
        {"a result that says why keeps to itself", 1612, {"", {2203, 1706}, ""}, {L"no longer available (1612)"}},
        {"an unknown result with a known code", 4321, {"", {2205, 2503}, ""}, {L"temporary folder (2503)"}},
        {"an unknown result and nothing known", 4321, {"InstallFiles", {2205}, ""}, {}},
        {"success says nothing of the log", 0, {"InstallFiles", {1722}, "A"}, {}},
        {"restart needed says only that", 3010, {"InstallFiles", {1722}, "A"}, {L"succeeded; restart Windows"}},
    };
    for (const auto& c : cases) {
        const std::vector<std::wstring> lines = ExplainFindings(c.Result, c.Findings);
        ASSERT_EQ(lines.size(), c.Parts.size()) << c.Name;
        for (std::size_t i = 0; i < lines.size(); ++i)
            EXPECT_TRUE(Contains(lines[i], c.Parts[i])) << c.Name << ": " << lines[i];
    }
}

}  // namespace zid
