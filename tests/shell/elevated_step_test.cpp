// The step the program runs elevated: only its exact command line, only a leftover entry of Velonar.
#include <gtest/gtest.h>

#include <windows.h>

#include "operations/leftover_entry.h"
#include "shell/elevated_step.h"
#include "support/installer_stand_ins.h"
#include "support/registry_key.h"
#include "win/registry.h"

namespace zid {

TEST(ElevatedStep, RefusesAllButExactlyOneLeftoverEntryOfVelonar) {
    constexpr wchar_t kCode[] = L"{0000D000-0000-0000-0000-00000000000A}";
    const std::wstring step = L"/remove-leftover-entry ";
    const std::tuple<std::wstring, const wchar_t*, const wchar_t*, bool, std::optional<int>> cases[] = {
        // command line, entry made, its DisplayName, known to Windows Installer, exit code (none: not the step)
        {L"\"C:\\Velonar.msi\"", kCode, L"Velonar", false, std::nullopt},
        {step + L"64", kCode, L"Velonar", false, ERROR_INVALID_PARAMETER},
        {step + L"86 " + kCode, kCode, L"Velonar", false, ERROR_INVALID_PARAMETER},
        {step + L"64 " + kCode + L" 32", kCode, L"Velonar", false, ERROR_INVALID_PARAMETER},
        {step + L"64 0000D000-0000-0000-0000-00000000000A", L"0000D000-0000-0000-0000-00000000000A", L"Velonar", false,
         kNotAProductCode},
        {step + L"64 \"" + kCode + L"\\..\"", kCode, L"Velonar", false, kNotAProductCode},
        {step + L"64 " + kCode, kCode, L"VelonarX", false, kNotVelonar},
        {step + L"64 " + kCode, kCode, L"Velonar", true, kKnownToInstaller},
        {step + L"32 " + kCode, kCode, L"Velonar", false, ERROR_FILE_NOT_FOUND},  // not in that view
        {step + L"64 " + kCode, kCode, L"Velonar 5.46", false, 0},
    };
    for (const auto& [tail, name, displayName, known, exitCode] : cases) {
        SCOPED_TRACE(Narrow(tail));
        UninstallEntry entry(KEY_WOW64_64KEY, name);
        entry.String(L"DisplayName", displayName);
        CScriptedInstaller installer;
        if (!known)
            installer.UnknownProducts = {name};
        EXPECT_EQ(RunElevatedStep(tail.c_str(), installer), exitCode);
        CRegKey left;  // every refusal leaves the entry where it was
        EXPECT_EQ(left.OpenKey(HKEY_LOCAL_MACHINE, entry.Path().c_str(), KEY_READ | KEY_WOW64_64KEY),
                  exitCode == 0 ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS);
    }
}

}  // namespace zid
