// Reading the command line: what each form asks for, and what is refused as malformed.
#include <gtest/gtest.h>

#include "shell/command_line.h"

namespace zid {

namespace {

constexpr auto kNone = CommandAction::None;
constexpr auto kPackage = CommandAction::Package;
constexpr auto kRepair = CommandAction::Repair;
constexpr auto kUninstall = CommandAction::Uninstall;
constexpr auto kUpdate = CommandAction::Update;
constexpr auto kList = CommandAction::List;
constexpr auto kHelp = CommandAction::Help;
constexpr auto kUsage = CommandAction::Usage;
constexpr auto kBad = CommandAction::Malformed;
constexpr auto kWindow = RunMode::Window;
constexpr auto kQuiet = RunMode::Quiet;
constexpr auto kPassive = RunMode::Passive;
constexpr int kAny = -1;

}  // namespace

TEST(CommandLine, EachFormAndEachMistake) {
    struct Case {
        std::vector<std::wstring> arguments;
        CommandAction action;
        RunMode mode;
        int build;  // -1 none, 0 32-bit, 1 64-bit
        std::wstring package;
        std::wstring log;
    };
    const Case cases[] = {
        {{}, kNone, kWindow, kAny, L"", L""},
        {{L"C:\\p\\a.msi"}, kPackage, kWindow, kAny, L"C:\\p\\a.msi", L""},
        {{L"a.msi", L"b.msi"}, kUsage, kWindow, kAny, L"", L""},
        {{L"/QUIET", L"/Repair"}, kRepair, kQuiet, kAny, L"", L""},
        {{L"/passive", L"/uninstall", L"32"}, kUninstall, kPassive, 0, L"", L""},
        {{L"/update", L"64", L"/quiet", L"/log", L"C:\\l.txt"}, kUpdate, kQuiet, 1, L"", L"C:\\l.txt"},
        {{L"/quiet", L"/log", L"x.txt", L"a.msi"}, kPackage, kQuiet, kAny, L"a.msi", L"x.txt"},
        {{L"/repair", L"/log", L"32"}, kRepair, kWindow, kAny, L"", L"32"},
        {{L"/LIST"}, kList, kWindow, kAny, L"", L""},
        {{L"/?"}, kHelp, kWindow, kAny, L"", L""},
        {{L"/quiet", L"/?"}, kHelp, kQuiet, kAny, L"", L""},
        // Malformed: unknown switches, two operations, a repeated or missing value, nothing to do.
        {{L"/frobnicate"}, kBad, kWindow, kAny, L"", L""},
        {{L"/quiet", L"/repair", L"/x"}, kBad, kQuiet, kAny, L"", L""},
        {{L"/repair", L"/uninstall"}, kBad, kWindow, kAny, L"", L""},
        {{L"/repair", L"a.msi"}, kBad, kWindow, kAny, L"", L""},
        {{L"/repair", L"86"}, kBad, kWindow, kAny, L"", L""},
        {{L"/quiet", L"/passive", L"/repair"}, kBad, kQuiet, kAny, L"", L""},
        {{L"/repair", L"/log"}, kBad, kWindow, kAny, L"", L""},
        {{L"/log", L"/repair"}, kBad, kWindow, kAny, L"", L""},
        {{L"/quiet"}, kBad, kQuiet, kAny, L"", L""},
        {{L"/list", L"/quiet"}, kBad, kQuiet, kAny, L"", L""},
        {{L"a.msi", L"/?"}, kBad, kWindow, kAny, L"", L""},
    };
    for (const Case& c : cases) {
        std::wstring joined;
        for (const std::wstring& argument : c.arguments)
            joined += argument + L" ";
        SCOPED_TRACE(std::string(joined.begin(), joined.end()));
        const CommandLine line = ParseCommandLine(c.arguments);
        EXPECT_EQ(line.Action, c.action);
        EXPECT_EQ(line.Mode, c.mode);
        EXPECT_EQ(line.Is64Bit ? static_cast<int>(*line.Is64Bit) : kAny, c.build);
        if (c.action == kBad) {
            EXPECT_FALSE(line.Problem.empty());
        } else {
            EXPECT_EQ(line.Package, c.package);
            EXPECT_EQ(line.LogFile, c.log);
        }
    }
}

}  // namespace zid
