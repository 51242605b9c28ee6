// Runs without a person, as deployment systems start them, through the real program and Wine's
// Windows Installer: exit codes, the result line on standard output, the log at /log's path, /list's
// JSON, and no window of the program at any time.
#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>

#include <map>
#include <optional>

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
constexpr DWORD kRunTimeout = 120000;

struct Outcome {
    DWORD ExitCode = STILL_ACTIVE;
    std::string Output;
    bool WindowSeen = false;
};

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM param) {
    auto* run = reinterpret_cast<std::pair<DWORD, bool>*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == run->first && IsWindowVisible(window))
        run->second = true;
    return !run->second;
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
    WaitUntil(
        [&] {
            std::pair<DWORD, bool> search{program.ProcessId(), false};
            EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
            run.WindowSeen = run.WindowSeen || search.second;
            return (run.ExitCode = program.WaitForExit(0)) != STILL_ACTIVE;
        },
        kRunTimeout);
    run.Output = ReadFileBytes(outputPath);
    return run;
}

// The objects of a JSON array of flat objects, each as key -> value text (strings unquoted, the
// escapes this program writes undone; numbers and null as written).
std::vector<std::map<std::string, std::string>> ParseObjects(const std::string& json) {
    std::vector<std::map<std::string, std::string>> objects;
    size_t at = 0;
    const auto skip = [&] { at = json.find_first_not_of(" \r\n\t,:", at); };
    const auto scalar = [&] {
        std::string text;
        if (json[at] != '"') {
            const size_t end = json.find_first_of(",}", at);
            text = json.substr(at, end - at);
            at = end;
            return text;
        }
        for (++at; json[at] != '"'; ++at)
            text += json[at] == '\\' ? json[++at] : json[at];
        ++at;
        return text;
    };
    if (json.empty() || json[0] != '[')
        return objects;
    for (at = 1, skip(); at != std::string::npos && json[at] == '{'; skip()) {
        std::map<std::string, std::string>& object = objects.emplace_back();
        for (++at, skip(); json[at] != '}'; skip()) {
            const std::string key = scalar();
            skip();
            object[key] = scalar();
        }
        ++at;
    }
    return objects;
}

bool IsInstalled(const wchar_t* package) {
    return MsiQueryProductStateW(fixtures::PackageInfo(package).productCode.c_str()) == INSTALLSTATE_DEFAULT;
}

void Remove(const wchar_t* package) {
    if (IsInstalled(package)) {
        MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
        MsiConfigureProductW(fixtures::PackageInfo(package).productCode.c_str(), INSTALLLEVEL_DEFAULT,
                             INSTALLSTATE_ABSENT);
    }
}

class Unattended : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(fixtures::PackageInfo(kInstalled).productCode.empty()) << "fixtures missing";
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Fennickworks\\ZIDezureziv");
        Remove(kCurrent);
        MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
        ASSERT_EQ(MsiInstallProductW(fixtures::Path(kInstalled).c_str(), L"ALLUSERS=1"), 0u);
    }
    void TearDown() override {
        Remove(kInstalled);
        Remove(kCurrent);
        DeleteFileW(WebsiteProgram::SavedPath(kCurrent).c_str());
    }
};

}  // namespace

TEST_F(Unattended, ListRepairUninstallRefuseAndUpdateWithoutAWindow) {
    const std::string product = Narrow(fixtures::PackageInfo(kInstalled).productCode);
    const std::wstring log = ScratchFolder(L"unattended") + L"\\run log.txt";

    const Outcome list = RunProgram(L"/list");
    EXPECT_EQ(list.ExitCode, 0u);
    const auto objects = ParseObjects(list.Output);
    ASSERT_EQ(objects.size(), 1u) << list.Output;
    EXPECT_EQ(objects[0].at("version"), "5.45.3");
    EXPECT_EQ(objects[0].at("build"), "64 bit");
    EXPECT_EQ(objects[0].at("productCode"), product);
    EXPECT_EQ(objects[0].count("packageCode") + objects[0].count("installDate") + objects[0].count("sizeKB") +
                  objects[0].count("installLocation"),
              4u)
        << list.Output;

    struct Step {
        std::wstring tail;
        DWORD exitCode;
        std::string output;  // how standard output starts
        bool installedAfter;
        bool otherInstallation;
        bool logged;  // the log at /log's path holds Windows Installer's log
        bool quiet;   // no window of the program may show (/passive shows the installer's progress)
    };
    const std::wstring quotedLog = L" /log \"" + log + L"\"";
    const Step steps[] = {
        {L"/quiet /repair" + quotedLog, 0, "Repair Velonar 5.45.3 (64 bit): 0 ", true, false, true, true},
        {L"/quiet /repair", 1618, "Repair Velonar: 1618 ", true, true, false, true},
        {L"/passive /repair 64", 0, "Repair Velonar 5.45.3 (64 bit): 0 ", true, false, false, false},
        {L"/QUIET /Uninstall 64" + quotedLog, 0, "Uninstall Velonar 5.45.3 (64 bit): 0 ", false, false, true, true},
        {L"/quiet /uninstall", 1605, "Uninstall Velonar: 1605 No Velonar is installed.", false, false, false, true},
        {L"/quiet \"" + fixtures::Path(L"velonar64-5.45.3.msi") + L"\"", 1, "Install Velonar 5.45.3 (64 bit): 1 ",
         false, false, false, true},
        {L"/quiet /frobnicate", 1639, "Unknown switch /frobnicate.", false, false, false, true},
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
            EXPECT_NE(run.Output.find("\r\nLog: " + Narrow(log) + "\r\n"), std::string::npos) << run.Output;
        }
    }

    // The website's current release of the named build, downloaded and installed as Download && Install does.
    EnvironmentOverride website(L"ZIDEZUREZIV_WEBSITE", WebsiteBase(L"ok").c_str());
    const Outcome update = RunProgram(L"/quiet /update 64");
    EXPECT_EQ(update.ExitCode, 0u) << update.Output;
    EXPECT_EQ(update.Output.rfind("Install Velonar 5.46 (64 bit): 0 ", 0), 0u) << update.Output;
    EXPECT_FALSE(update.WindowSeen);
    EXPECT_TRUE(IsInstalled(kCurrent));
}

}  // namespace zid
