// Reading the command line: what each form asks for, and what is refused as malformed.
#include <gtest/gtest.h>

#include "shell/command_line.h"

namespace zid {

TEST(CommandLine, EachFormAndEachMistake) {
    using enum CommandAction;
    using enum RunMode;
    struct Case {
        std::vector<std::wstring> arguments;
        CommandAction action;
        RunMode mode;
        int build;  // -1 none, 0 32-bit, 1 64-bit
        std::wstring package, log;
    };
    const Case cases[] = {
        {{}, None, Window, -1, L"", L""},
        {{L"C:\\p\\a.msi"}, Package, Window, -1, L"C:\\p\\a.msi", L""},
        {{L"a.msi", L"b.msi"}, Usage, Window, -1, L"", L""},
        {{L"/QUIET", L"/Repair"}, Repair, Quiet, -1, L"", L""},
        {{L"/passive", L"/uninstall", L"32"}, Uninstall, Passive, 0, L"", L""},
        {{L"/update", L"64", L"/quiet", L"/log", L"C:\\l.txt"}, Update, Quiet, 1, L"", L"C:\\l.txt"},
        {{L"/quiet", L"/log", L"x.txt", L"a.msi"}, Package, Quiet, -1, L"a.msi", L"x.txt"},
        {{L"/repair", L"/log", L"32"}, Repair, Window, -1, L"", L"32"},
        {{L"/LIST"}, List, Window, -1, L"", L""},
        {{L"/?"}, Help, Window, -1, L"", L""},
        {{L"/quiet", L"/?"}, Help, Quiet, -1, L"", L""},
        // Unknown switches, two operations, a repeated or missing value, nothing to do.
        {{L"/frobnicate"}, Malformed, Window, -1, L"", L""},
        {{L"/repair", L"/uninstall"}, Malformed, Window, -1, L"", L""},
        {{L"/repair", L"a.msi"}, Malformed, Window, -1, L"", L""},
        {{L"/quiet", L"/passive", L"/repair"}, Malformed, Quiet, -1, L"", L""},
        {{L"/repair", L"/log"}, Malformed, Window, -1, L"", L""},
        {{L"/quiet"}, Malformed, Quiet, -1, L"", L""},
        {{L"/list", L"/quiet"}, Malformed, Quiet, -1, L"", L""},
        {{L"a.msi", L"/?"}, Malformed, Window, -1, L"a.msi", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.size() > 1 ? std::string(c.arguments[1].begin(), c.arguments[1].end()) : "");
        const CommandLine line = ParseCommandLine(c.arguments);
        EXPECT_EQ(line.Action, c.action);
        EXPECT_EQ(line.Mode, c.mode);
        EXPECT_EQ(line.Is64Bit ? static_cast<int>(*line.Is64Bit) : -1, c.build);
        EXPECT_EQ(line.Problem.empty(), c.action != Malformed);
        EXPECT_EQ(line.Package, c.package);
        EXPECT_EQ(line.LogFile, c.log);
    }
}

}  // namespace zid
