// Which installation /repair and /uninstall act on.
#include <gtest/gtest.h>

#include "shell/command_run.h"
#include "support/installer_stand_ins.h"

namespace zid {

TEST(ChooseInstalled, TheNamedBuildOrTheOnlyOneInstalledNewestFirst) {
    const InstalledPackage old64 = Record(L"{OLD64}", 0x051E0002, true);
    const InstalledPackage new64 = Record(L"{NEW64}", 0x052E0000, true);
    const InstalledPackage only32 = Record(L"{ONLY32}", 0x052D0003, false);
    struct Case {
        std::vector<InstalledPackage> installed;
        std::optional<bool> is64Bit;
        std::wstring chosen;  // the product code; empty: none, refused with the code
        DWORD refusal;
    };
    const Case cases[] = {
        {{}, std::nullopt, L"", ERROR_UNKNOWN_PRODUCT},
        {{only32}, true, L"", ERROR_UNKNOWN_PRODUCT},
        {{only32, new64}, std::nullopt, L"", ERROR_INVALID_COMMAND_LINE},
        {{only32, new64}, true, L"{NEW64}", 0},
        {{new64, old64}, std::nullopt, L"{NEW64}", 0},
        {{old64, new64, only32}, true, L"{NEW64}", 0},
    };
    for (const Case& c : cases) {
        DWORD refusal = 0;
        const InstalledPackage* chosen = ChooseInstalled(c.installed, c.is64Bit, refusal);
        EXPECT_EQ(chosen ? chosen->ProductCode : L"", c.chosen) << c.installed.size() << " installed";
        EXPECT_EQ(refusal, c.refusal) << c.installed.size() << " installed";
    }
}

}  // namespace zid
