// The step the program runs elevated: only its exact command line, and only an entry that is still a
// leftover of Velonar.
#include <gtest/gtest.h>

#include <windows.h>

#include "operations/leftover_entry.h"
#include "shell/elevated_step.h"
#include "support/installer_stand_ins.h"
#include "support/registry_key.h"
#include "win/handles.h"

namespace zid {

namespace {

constexpr wchar_t kCode[] = L"{0000D000-0000-0000-0000-00000000000A}";

bool EntryExists(const std::wstring& name) {
    UniqueHKey key;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kUninstallPath) + L"\\" + name).c_str(), 0,
                         KEY_READ | KEY_WOW64_64KEY, key.put()) == ERROR_SUCCESS;
}

}  // namespace

TEST(ElevatedStep, OtherCommandLinesAreNotIt) {
    CScriptedInstaller installer;
    for (const wchar_t* tail : {L"", L"\"C:\\Velonar.msi\"", L"/remove-leftover-entryx 64 {0}", L"/REMOVE-LEFTOVER"})
        EXPECT_EQ(RunElevatedStep(tail, installer), std::nullopt) << Narrow(tail);
}

// Every refusal leaves the entry where it is; only Velonar's leftover goes.
TEST(ElevatedStep, RefusesAllButExactlyOneLeftoverOfVelonar) {
    struct Case {
        std::wstring tail;
        const wchar_t* entry;        // the entry made for it
        const wchar_t* displayName;  // its DisplayName
        bool known;                  // Windows Installer knows the product
        int exitCode;
    };
    const std::wstring zid = L"/remove-leftover-entry ";
    const Case cases[] = {
        {zid + L"64", kCode, L"Velonar", false, ERROR_INVALID_PARAMETER},
        {zid + L"86 " + kCode, kCode, L"Velonar", false, ERROR_INVALID_PARAMETER},
        {zid + L"64 " + kCode + L" 32", kCode, L"Velonar", false, ERROR_INVALID_PARAMETER},
        {zid + L"64 0000D000-0000-0000-0000-00000000000A", L"0000D000-0000-0000-0000-00000000000A", L"Velonar", false,
         static_cast<int>(kNotAProductCode)},
        {zid + L"64 \"" + kCode + L"\\..\"", kCode, L"Velonar", false, static_cast<int>(kNotAProductCode)},
        {zid + L"64 " + kCode, kCode, L"VelonarX", false, static_cast<int>(kNotVelonar)},
        {zid + L"64 " + kCode, kCode, L"Velonar", true, static_cast<int>(kKnownToInstaller)},
        {zid + L"32 " + kCode, kCode, L"Velonar", false, ERROR_FILE_NOT_FOUND},  // not in that view
        {zid + L"64 " + kCode, kCode, L"Velonar 5.46", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.tail));
        UninstallEntry entry(KEY_WOW64_64KEY, c.entry);
        entry.String(L"DisplayName", c.displayName);
        CScriptedInstaller installer;
        if (!c.known)
            installer.UnknownProducts = {c.entry};
        EXPECT_EQ(RunElevatedStep(c.tail.c_str(), installer), c.exitCode);
        EXPECT_EQ(EntryExists(c.entry), c.exitCode != 0);
    }
}

}  // namespace zid
