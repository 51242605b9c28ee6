// Diagnosis of real Wine logs and Windows-form excerpts in each encoding a log file can have, of damaged and
// foreign input, and the summary file beside the log.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "log/installer_diagnosis.h"
#include "support/test_util.h"

namespace zid {

namespace {

constexpr char kBom[] = "\xFF\xFE";

std::string LogBytes(const std::string& name) {
    return ReadFileBytes(WinePath(std::string(ZID_SOURCE_DIR) + "/tests/log/logs/" + name));
}

// UTF-16LE bytes of one-byte text, each byte one character.
std::string Utf16(std::string_view text) {
    std::u16string units;
    for (char c : text)
        units += static_cast<char16_t>(static_cast<unsigned char>(c));
    return Utf16LeBytes(units);
}

// The diagnostic report as the program writes it, with characters beyond ASCII in names and paths.
std::string Report() {
    return kBom + Utf16LeBytes(
                      u"\uFEFF03/14/26 12:34:50\r\n"
                      u"Windows 10.0.19045 SP0 \r\n"
                      u"User: PC\\Zo\u00EB \u4E0A\u6D77\r\n"
                      u"AntiVirus: Windows Defender\r\n"
                      u"\r\nModules loaded:\r\n"
                      u"C:\\Users\\\u4E0A\u6D77\\ZIDezureziv.exe 1.11.0.0 Fennickworks (verified Fennickworks)\r\n"
                      u"\u4E0A\u6D77.dll (No signature was present in the subject.)\r\n");
}

// The forms a log file takes: what Windows Installer appends (ANSI or UTF-16) after the report or alone.
struct Form {
    const char* Name;
    std::string (*Make)(const std::string& installerLog);
};

const Form kForms[] = {
    {"ANSI only", [](const std::string& log) { return log; }},
    {"UTF-16 throughout", [](const std::string& log) { return Report() + Utf16(std::string_view(log)); }},
    {"UTF-16 installer part with its own mark",
     [](const std::string& log) { return Report() + kBom + Utf16(std::string_view(log)); }},
    {"UTF-16 report, then ANSI", [](const std::string& log) { return Report() + log; }},
};

struct LogCase {
    const char* File;
    int Result;
    const wchar_t* FailedAction;
    const wchar_t* CustomAction;
    std::vector<int> Codes;
    std::vector<std::wstring> LineParts;  // one fragment per expected line
};

const LogCase kLogCases[] = {
    {"wine-failing-action.log", 1627, L"RegisterVelonarService", L"", {}, {L"step RegisterVelonarService (1627)"}},
    {"wine-missing-cache.log", 1612, L"", L"", {}, {L"no longer available (1612)"}},
    {"wine-missing-cache-source-present.log", 0, L"", L"", {}, {}},
    {"wine-missing-cache-source-present.log", 1603, L"", L"", {}, {L"fatal error ended the operation (1603)"}},
    {"windows-custom-action-1722.log",
     1603,
     L"RegisterVelonarService",
     L"RegisterVelonarService",
     {1722, 2205, 2228, 2265},
     {L"step RegisterVelonarService (1603)",
      L"custom action RegisterVelonarService, did not finish as expected (1722)"}},
    {"windows-privileges-1925.log",
     1603,
     L"InstallFinalize",
     L"",
     {1925, 2265},
     {L"step InstallFinalize (1603)", L"sufficient privileges to install Velonar for all users of this PC (1925)"}},
    {"windows-script-2503.log",
     1603,
     L"InstallFinalize",
     L"",
     {2503, 2502, 2205, 2228},
     {L"step InstallFinalize (1603)", L"could not run its installation script, usually because"}},
    {"windows-missing-source-1612.log", 1612, L"", L"", {2203, 1706}, {L"no longer available (1612)"}},
    {"windows-in-progress-1618.log", 1618, L"", L"", {1500}, {L"another installation was in progress (1618)"}},
};

void ExpectDiagnosis(const InstallerDiagnosis& diagnosis, const LogCase& c, const std::string& label) {
    EXPECT_EQ(diagnosis.Result, c.Result) << label;
    EXPECT_EQ(diagnosis.FailedAction, c.FailedAction) << label;
    EXPECT_EQ(diagnosis.CustomAction, c.CustomAction) << label;
    EXPECT_EQ(diagnosis.LoggedCodes, c.Codes) << label;
    ASSERT_EQ(diagnosis.Lines.size(), c.LineParts.size()) << label;
    for (std::size_t i = 0; i < c.LineParts.size(); ++i)
        EXPECT_NE(diagnosis.Lines[i].find(c.LineParts[i]), std::wstring::npos) << label << " line " << i;
}

// What a log with nothing readable in it gives: the result code's own lines.
void ExpectNothingFound(const InstallerDiagnosis& diagnosis, int result, const std::string& label) {
    EXPECT_EQ(diagnosis.FailedAction, L"") << label;
    EXPECT_EQ(diagnosis.CustomAction, L"") << label;
    EXPECT_TRUE(diagnosis.LoggedCodes.empty()) << label;
    EXPECT_EQ(diagnosis.Lines, ExplainResult(result)) << label;
}

}  // namespace

TEST(DiagnoseInstallerLog, RealAndRecordedLogsInEveryEncoding) {
    for (const LogCase& c : kLogCases) {
        const std::string log = LogBytes(c.File);
        ASSERT_EQ(log.empty(), std::string(c.File) == "wine-missing-cache.log") << c.File << " unreadable";
        for (const Form& form : kForms)
            ExpectDiagnosis(DiagnoseInstallerLog(form.Make(log), c.Result), c, std::string(c.File) + ", " + form.Name);
    }
}

TEST(DiagnoseInstallerLog, FailingActionAndCustomActionFromTheStructure) {
    const struct {
        const char* Name;
        const char* Log;
        const wchar_t* FailedAction;
        const wchar_t* CustomAction;
    } cases[] = {
        {"an immediate action fails",
         "Action start 1:00:00: INSTALL.\nAction start 1:00:00: InstallValidate.\n"
         "Action ended 1:00:00: InstallValidate. Return value 3.\nAction ended 1:00:00: INSTALL. Return value 3.\n",
         L"InstallValidate", L""},
        {"the action started last had ended well: the one whose end carries the failure",
         "Action start 1:00:00: INSTALL.\nAction start 1:00:00: CostFinalize.\n"
         "Action ended 1:00:00: CostFinalize. Return value 1.\nAction ended 1:00:00: INSTALL. Return value 3.\n",
         L"INSTALL", L""},
        {"a cancel is a failure too",
         "Action start 1:00:00: INSTALL.\nAction start 1:00:00: InstallFiles.\n"
         "Action ended 1:00:00: InstallFiles. Return value 2.\nAction ended 1:00:00: INSTALL. Return value 2.\n",
         L"InstallFiles", L""},
        {"a session that succeeded before does not count",
         "Action start 1:00:00: INSTALL.\nAction start 1:00:00: Probe.\nAction ended 1:00:00: Probe. Return value 3.\n"
         "Action ended 1:00:00: INSTALL. Return value 1.\n"
         "Action start 1:00:01: INSTALL.\nAction start 1:00:01: WriteRegistryValues.\n"
         "Action ended 1:00:01: WriteRegistryValues. Return value 3.\nAction ended 1:00:01: INSTALL. Return value 3.\n",
         L"WriteRegistryValues", L""},
        {"an end of an action never started changes nothing",
         "Action start 1:00:00: INSTALL.\nAction ended 1:00:00: Stray. Return value 1.\n"
         "Action 1:00:00: CAInstallPlugin.x86. \nAction ended 1:00:00: INSTALL. Return value 3.\n",
         L"CAInstallPlugin.x86", L""},
        {"newer Windows writes \"Action: Name,\" in the 1722 message",
         "Action start 1:00:00: INSTALL.\nAction 1:00:00: StartService.\n"
         "Error 1722. There is a problem with this Windows Installer package.  Action: StartService, location: C:\\, "
         "command: x\nAction ended 1:00:00: INSTALL. Return value 3.\n",
         L"StartService", L"StartService"},
        {"only the engine's note names the custom action",
         "Action start 1:00:00: INSTALL.\nAction 1:00:00: StartService.\nNote: 1: 1722 2: StartService 3: C:\\ \n"
         "Action ended 1:00:00: INSTALL. Return value 3.\n",
         L"StartService", L"StartService"},
        {"no outermost end: no failing action",
         "Action start 1:00:00: INSTALL.\nAction start 1:00:00: InstallFiles.\n"
         "Action ended 1:00:00: InstallFiles. Return value 3.\n",
         L"", L""},
    };
    for (const auto& c : cases) {
        const InstallerDiagnosis diagnosis = DiagnoseInstallerLog(c.Log, 1603);
        EXPECT_EQ(diagnosis.FailedAction, c.FailedAction) << c.Name;
        EXPECT_EQ(diagnosis.CustomAction, c.CustomAction) << c.Name;
    }
}

TEST(DiagnoseInstallerLog, SuccessResultsDoNotReadTheLog) {
    const std::string failing = LogBytes("windows-custom-action-1722.log");
    for (int result : {0, 3010, 1641}) {
        const InstallerDiagnosis diagnosis = DiagnoseInstallerLog(failing, result);
        EXPECT_EQ(diagnosis.FailedAction, L"") << result;
        EXPECT_TRUE(diagnosis.LoggedCodes.empty()) << result;
        EXPECT_EQ(diagnosis.Lines, ExplainResult(result)) << result;
    }
}

TEST(DiagnoseInstallerLog, FailingActionOnlyOnceTheOutermostActionEndedInFailure) {
    const std::string log = LogBytes("windows-custom-action-1722.log");
    const std::string outermostEnd = "Action ended 12:34:53: INSTALL. Return value 3";
    const std::size_t complete = log.rfind(outermostEnd) + outermostEnd.size();
    ASSERT_NE(log.rfind(outermostEnd), std::string::npos);
    for (std::size_t length = 0; length <= log.size(); ++length) {
        const InstallerDiagnosis diagnosis = DiagnoseInstallerLog(log.substr(0, length), 1603);
        EXPECT_EQ(diagnosis.FailedAction, length >= complete ? L"RegisterVelonarService" : L"") << length;
        if (HasFailure())
            return;
    }
}

TEST(DiagnoseInstallerLog, TruncatedUtf16AtOddLengths) {
    const std::string log = Report() + Utf16(std::string_view(LogBytes("wine-failing-action.log")));
    // Wine's outermost INSTALL ends (its second end line) just before the rollback's first action.
    const std::string outermostEnd = Utf16(std::string_view("INSTALL. Return value 0.\nAction 3:15:10: RemoveFiles"));
    ASSERT_NE(log.find(outermostEnd), std::string::npos);
    const std::size_t valueAt = log.find(outermostEnd) + 2 * std::string_view("INSTALL. Return value ").size();
    // Every odd length near where the value's character is cut, and a sample of the rest.
    std::vector<std::size_t> lengths;
    for (std::size_t length = valueAt - 63; length <= valueAt + 65; length += 2)
        lengths.push_back(length);
    for (std::size_t length = 1; length <= log.size(); length += 514)
        lengths.push_back(length);
    for (std::size_t length : lengths) {
        const InstallerDiagnosis diagnosis = DiagnoseInstallerLog(log.substr(0, length), 1627);
        EXPECT_EQ(diagnosis.FailedAction, length >= valueAt + 2 ? L"RegisterVelonarService" : L"") << length;
    }
}

TEST(DiagnoseInstallerLog, DamagedOrForeignInputFindsNothing) {
    std::string noise;
    std::mt19937 random(20260314);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 1 << 16; ++i)
        noise += static_cast<char>(byte(random));
    const struct {
        const char* Name;
        std::string Bytes;
    } cases[] = {
        {"empty", ""},
        {"byte-order mark alone", kBom},
        {"one byte", "A"},
        {"byte-order mark and half a character", kBom + std::string("A")},
        {"zero bytes", std::string(4096, '\0')},
        {"random bytes", noise},
        {"random bytes after a byte-order mark", kBom + noise},
        {"random bytes after a report", Report() + noise},
        {"odd-length report", Report() + "A"},
        {"an action line without its end", "Action start 1:2:3: Install"},
        {"an action end without a value", "Action start 1:2:3: A.\nAction ended 1:2:3: A. Return value "},
        {"an action end without a name", "Action start 1:2:3: A.\nAction ended 1:2:3: . Return value 3."},
    };
    for (const auto& c : cases) {
        for (int result : {1603, 1612, 1627, 4321})
            ExpectNothingFound(DiagnoseInstallerLog(c.Bytes, result), result, c.Name);
    }
}

TEST(FormatDiagnosisSummary, FieldsInOrderAsUtf8WithMarkAndCrLf) {
    InstallerDiagnosis diagnosis;
    diagnosis.Result = 1603;
    diagnosis.FailedAction = L"RegisterVelonarService";
    diagnosis.CustomAction = L"RegisterVelonarService";
    diagnosis.LoggedCodes = {1722, 2205};
    diagnosis.Lines = {L"Why: one.", L"Why: two."};
    EXPECT_EQ(FormatDiagnosisSummary(L"Install C:\\Users\\Zo\u00EB\\velonar64-5.47.msi", diagnosis,
                                     L"C:\\Users\\Zo\u00EB\\AppData\\Local\\Temp\\VNI-260314-123450.txt"),
              "\xEF\xBB\xBF"
              "Operation: Install C:\\Users\\Zo\xC3\xAB\\velonar64-5.47.msi\r\n"
              "Result: 1603 (failed)\r\n"
              "Why: one.\r\n"
              "Why: two.\r\n"
              "Failing action: RegisterVelonarService\r\n"
              "Custom action: RegisterVelonarService\r\n"
              "Codes in the log: 1722, 2205\r\n"
              "Log file: VNI-260314-123450.txt\r\n");
}

TEST(FormatDiagnosisSummary, LeavesOutWhatIsNotKnown) {
    const struct {
        int Result;
        const char* ResultLine;
    } cases[] = {
        {0, "Result: 0 (succeeded)\r\n"},
        {3010, "Result: 3010 (succeeded, restart needed)\r\n"},
        {1641, "Result: 1641 (succeeded, restart needed)\r\n"},
        {1618, "Result: 1618 (failed)\r\n"},
    };
    for (const auto& c : cases) {
        const InstallerDiagnosis diagnosis = DiagnoseInstallerLog("", c.Result);
        std::string expected = std::string("\xEF\xBB\xBF") + "Operation: Repair\r\n" + c.ResultLine;
        for (const std::wstring& line : diagnosis.Lines)
            expected += std::string(line.begin(), line.end()) + "\r\n";
        EXPECT_EQ(FormatDiagnosisSummary(L"Repair", diagnosis, L"VNI-260314-123450-2.txt"),
                  expected + "Log file: VNI-260314-123450-2.txt\r\n")
            << c.Result;
    }
}

TEST(SummaryPathFor, BesideTheLog) {
    const struct {
        const wchar_t* Log;
        const wchar_t* Summary;
    } cases[] = {
        {L"C:\\Temp\\VNI-260314-123450.txt", L"C:\\Temp\\VNI-260314-123450.summary.txt"},
        {L"C:\\Temp\\VNI-260314-123450-12.txt", L"C:\\Temp\\VNI-260314-123450-12.summary.txt"},
        {L"C:\\Temp\\installer.log", L"C:\\Temp\\installer.log.summary.txt"},
        {L"", L".summary.txt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SummaryPathFor(c.Log), c.Summary) << c.Log;
}

}  // namespace zid
