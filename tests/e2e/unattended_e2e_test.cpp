// Runs without a person through the real program and Wine's Windows Installer: exit codes, the result
// line on standard output, the log at /log's path, /list's JSON, and no window of the program.
#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>

#include <map>
#include <regex>

#include "e2e/driver.h"
#include "e2e/website_program.h"
#include "fixtures/fixture_files.h"
#include "support/test_util.h"
#include "support/website.h"
#include "win/handles.h"

namespace zid {

namespace {

constexpr wchar_t kInstalled[] = L"velonar64-5.45.3-signed.msi";
constexpr wchar_t kCurrent[] = L"velonar64-5.46-signed.msi";  // the website's current 64-bit release

struct Outcome {
    DWORD ExitCode = STILL_ACTIVE;
    std::string Output;
    bool WindowSeen = false;
};

// Notes in the pair's second whether a visible window belongs to the process of its first.
BOOL CALLBACK NoteWindow(HWND window, LPARAM param) {
    auto& [pid, seen] = *reinterpret_cast<std::pair<DWORD, bool>*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    seen = seen || (owner == pid && IsWindowVisible(window));
    return TRUE;
}

// Runs the program with tail, its standard output a file, watching for any window of it meanwhile.
Outcome RunProgram(const std::wstring& tail) {
    const std::wstring outputPath = ScratchFolder(L"unattended") + L"\\output.txt";
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    UniqueFile output(CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                  CREATE_ALWAYS, 0, nullptr));
    CProgram program(tail, ProgramPath(), output.get());
    output.reset();
    Outcome run;
    std::pair<DWORD, bool> search{program.ProcessId(), false};
    WaitUntil(
        [&] {
            EnumWindows(NoteWindow, reinterpret_cast<LPARAM>(&search));
            return (run.ExitCode = program.WaitForExit(0)) != STILL_ACTIVE;
        },
        120000);
    run.Output = ReadFileBytes(outputPath);
    run.WindowSeen = search.second;
    return run;
}

// The objects of the JSON array that /list writes (flat objects, one a line), as key -> value as written
// (strings without their quotes).
std::vector<std::map<std::string, std::string>> ParseObjects(const std::string& json) {
    std::vector<std::map<std::string, std::string>> objects;
    const std::regex object(R"(\{[^\n]*\})"), pair(R"x("(\w+)": ("((?:[^"\\]|\\.)*)"|[^,}]+))x");
    for (std::sregex_iterator o(json.begin(), json.end(), object), end; o != end; ++o) {
        const std::string text = o->str();
        auto& fields = objects.emplace_back();
        for (std::sregex_iterator p(text.begin(), text.end(), pair); p != end; ++p)
            fields[(*p)[1]] = (*p)[3].matched ? (*p)[3].str() : (*p)[2].str();
    }
    return objects;
}

bool IsInstalled(const wchar_t* package) {
    return MsiQueryProductStateW(fixtures::PackageInfo(package).productCode.c_str()) == INSTALLSTATE_DEFAULT;
}

class Unattended : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(fixtures::PackageInfo(kInstalled).productCode.empty()) << "fixtures missing";
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Fennickworks\\ZIDezureziv");
        TearDown();
        ASSERT_EQ(MsiInstallProductW(fixtures::Path(kInstalled).c_str(), L"ALLUSERS=1"), 0u);
    }
    void TearDown() override {
        MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
        for (const wchar_t* package : {kInstalled, kCurrent}) {
            if (IsInstalled(package))
                MsiInstallProductW(fixtures::Path(package).c_str(), L"REMOVE=ALL");
        }
        DeleteFileW(WebsiteProgram::SavedPath(kCurrent).c_str());
    }
};

}  // namespace

TEST_F(Unattended, ListRepairUninstallRefuseAndUpdateWithoutAWindow) {
    EnvironmentOverride website(L"ZIDEZUREZIV_WEBSITE", WebsiteBase(L"ok").c_str());
    const Outcome list = RunProgram(L"/list");
    EXPECT_EQ(list.ExitCode, 0u);
    const auto objects = ParseObjects(list.Output);
    ASSERT_EQ(objects.size(), 1u) << list.Output;
    EXPECT_EQ(objects[0].at("version") + ", " + objects[0].at("build") + ", " + objects[0].at("productCode"),
              "5.45.3, 64 bit, " + Narrow(fixtures::PackageInfo(kInstalled).productCode));
    EXPECT_EQ(objects[0].size(), 7u) << list.Output;  // packageCode, installDate, sizeKB, installLocation

    struct Step {
        std::wstring tail;
        DWORD exitCode;
        std::string output;  // how standard output starts
        // logged: the log at /log's path holds Windows Installer's; quiet: no window (/passive shows progress)
        bool installedAfter, otherInstallation, logged, quiet;
    };
    const std::wstring log = ScratchFolder(L"unattended") + L"\\run log.txt";
    const std::wstring logSwitch = L" /log \"" + log + L"\"";
    const Step steps[] = {
        {L"/quiet /repair" + logSwitch, 0, "Repair Velonar 5.45.3 (64 bit): 0 ", true, false, true, true},
        {L"/quiet /repair", 1618, "Repair Velonar: 1618 ", true, true, false, true},
        {L"/passive /repair 64", 0, "Repair Velonar 5.45.3 (64 bit): 0 ", true, false, false, false},
        {L"/QUIET /Uninstall 64" + logSwitch, 0, "Uninstall Velonar 5.45.3 (64 bit): 0 ", false, false, true, true},
        {L"/quiet /uninstall", 1605, "Uninstall Velonar: 1605 No Velonar is installed.", false, false, false, true},
        {L"/quiet \"" + fixtures::Path(L"velonar64-5.45.3.msi") + L"\"", 1, "Install Velonar 5.45.3 (64 bit): 1 ",
         false, false, false, true},
        {L"/quiet /frobnicate", 1639, "Unknown switch /frobnicate.", false, false, false, true},
        // The website's current release of the build, downloaded and installed as Download && Install does.
        {L"/quiet /update 64", 0, "Install Velonar 5.46 (64 bit): 0 ", false, false, false, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(Narrow(step.tail));
        WriteFileBytes(log, "an older run's log");
        // Held as a running installation holds it; Wine's Windows Installer itself does not look.
        UniqueHandle other(step.otherInstallation ? CreateMutexW(nullptr, TRUE, L"Global\\_MSIExecute") : nullptr);
        const Outcome run = RunProgram(step.tail);
        EXPECT_EQ(run.ExitCode, step.exitCode);
        EXPECT_EQ(run.Output.rfind(step.output, 0), 0u) << run.Output;
        EXPECT_TRUE(!run.WindowSeen || !step.quiet);
        EXPECT_EQ(IsInstalled(kInstalled), step.installedAfter);
        if (step.logged) {
            EXPECT_NE(ReadFileBytes(log).find("Action start "), std::string::npos);
            EXPECT_EQ(ReadFileBytes(log).find("an older run's log"), std::string::npos);
            EXPECT_NE(ReadFileBytes(log).find(": Exit code 0: "), std::string::npos);  // the program's own lines
            EXPECT_NE(run.Output.find("\r\nLog: " + Narrow(log) + "\r\n"), std::string::npos) << run.Output;
        }
    }
    EXPECT_TRUE(IsInstalled(kCurrent));
}

}  // namespace zid
