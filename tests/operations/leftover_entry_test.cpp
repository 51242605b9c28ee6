// Entries that Windows Installer does not know: offered for removal in place of an uninstall or a
// repair that cannot work, backed up first, removed from either registry view, and never a genuine one.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "operations/leftover_entry.h"
#include "operations/uninstall.h"
#include "support/installer_stand_ins.h"
#include "support/registry_key.h"
#include "win/handles.h"

namespace zid {

namespace {

constexpr wchar_t kLeftover[] = L"{0000C000-0000-0000-0000-00000000000A}";
constexpr DWORD k5_46 = 0x052E0000;
constexpr UINT kQuestionStyle = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2;
constexpr wchar_t kBackupMark[] = L"Registry Editor imports to bring it back: ";

bool EntryExists(REGSAM view, const std::wstring& name) {
    UniqueHKey key;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kUninstallPath) + L"\\" + name).c_str(), 0, KEY_READ | view,
                         key.put()) == ERROR_SUCCESS;
}

// The backup named in the log pane's last line, or empty.
std::wstring BackupIn(const std::wstring& log) {
    const size_t mark = log.rfind(kBackupMark);
    if (mark == std::wstring::npos)
        return {};
    const size_t start = mark + std::size(kBackupMark) - 1;
    return log.substr(start, log.find(L"\r\n", start) - start);
}

class LeftoverEntry : public OperationsTest {
protected:
    // A leftover entry of Velonar 5.46 in view, with a subkey, that the installer does not know.
    std::unique_ptr<UninstallEntry> MakeLeftover(REGSAM view, const std::wstring& name = kLeftover) {
        auto entry = std::make_unique<UninstallEntry>(view, name);
        entry->String(L"DisplayName", L"Velonar")
            .String(L"DisplayVersion", L"5.46")
            .Dword(L"Version", k5_46)
            .String(L"UninstallString", L"MsiExec.exe /X" + name);
        UniqueHKey extra;  // removed with the entry
        RegCreateKeyExW(entry->get(), L"Extra", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, extra.put(), nullptr);
        const DWORD kept = 1;
        RegSetValueExW(extra.get(), L"Kept", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&kept), sizeof(kept));
        m_installer.UnknownProducts = {name};
        m_list.Packages = {Record(name, k5_46, view == KEY_WOW64_64KEY)};
        return entry;
    }
    bool Uninstall() { return UninstallPackage(Context(m_prompt, m_installer), 0, std::nullopt, m_list); }

    CScriptedPrompt m_prompt;
    CScriptedInstaller m_installer;
    CInstalledList m_list;
};

}  // namespace

TEST_F(LeftoverEntry, OnlyAnUnknownProductCodeIsALeftover) {
    m_installer.UnknownProducts = {kLeftover, L"Velonar"};
    EXPECT_TRUE(IsLeftoverEntry(Record(kLeftover, k5_46, true), m_installer));
    EXPECT_FALSE(IsLeftoverEntry(Record(L"{0000C000-0000-0000-0000-00000000000B}", k5_46, true), m_installer));
    EXPECT_FALSE(IsLeftoverEntry(Record(L"Velonar", k5_46, true), m_installer));
}

// In each view: No changes nothing; Yes writes the backup, removes exactly the entry and says so.
TEST_F(LeftoverEntry, UninstallAsksNoKeepsYesBacksUpAndRemoves) {
    const std::pair<REGSAM, const wchar_t*> views[] = {
        {KEY_WOW64_64KEY, L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"},
        {KEY_WOW64_32KEY,
         L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"}};
    for (const auto& [view, keyName] : views) {
        SCOPED_TRACE(view);
        auto entry = MakeLeftover(view);
        UninstallEntry neighbour(view, L"{0000C000-0000-0000-0000-00000000000B}");
        neighbour.String(L"DisplayName", L"Velonar");
        m_prompt = CScriptedPrompt({IDNO, IDYES});

        EXPECT_FALSE(Uninstall());
        ASSERT_EQ(m_prompt.Boxes().size(), 1u);
        EXPECT_EQ(m_prompt.Boxes()[0].kind, QuestionKind::LeftoverEntry);
        EXPECT_EQ(m_prompt.Boxes()[0].style, kQuestionStyle);
        EXPECT_NE(m_prompt.Boxes()[0].text.find(L"Remove the leftover entry from Programs and Features?"),
                  std::wstring::npos);
        EXPECT_TRUE(EntryExists(view, kLeftover));
        EXPECT_EQ(m_prompt.UninstallOptionsAsked(), 0);
        EXPECT_NE(m_prompt.LogText().find(L"Check: Windows Installer does not know this installation (" +
                                          std::wstring(kLeftover) +
                                          L"): only its entry in Programs and Features "
                                          L"is left. Removing that entry, after a backup, is offered.\r\n"),
                  std::wstring::npos)
            << Narrow(m_prompt.LogText());
        EXPECT_NE(m_prompt.LogText().find(L"Uninstall 5.46 (" + std::wstring(view == KEY_WOW64_64KEY ? L"64" : L"32") +
                                          L" bit): Leftover entry kept\r\n"),
                  std::wstring::npos);

        EXPECT_TRUE(Uninstall());
        EXPECT_FALSE(EntryExists(view, kLeftover));
        EXPECT_TRUE(EntryExists(view, L"{0000C000-0000-0000-0000-00000000000B}"));
        EXPECT_TRUE(m_installer.Calls().empty());
        EXPECT_NE(m_prompt.LogText().find(L"Removed the leftover entry " + std::wstring(keyName) + kLeftover +
                                          L" from Programs and Features."),
                  std::wstring::npos)
            << Narrow(m_prompt.LogText());
        const std::wstring backup = BackupIn(m_prompt.LogText());
        EXPECT_TRUE(backup.ends_with(L"-entry.reg")) << Narrow(backup);
        const std::string bytes = ReadFileBytes(backup);
        EXPECT_EQ(bytes.rfind("\xFF\xFE" + Utf16LeBytes(u"Windows Registry Editor Version 5.00\r\n\r\n["), 0), 0u);
        const std::u16string key(keyName, keyName + wcslen(keyName));
        EXPECT_NE(
            bytes.find(Utf16LeBytes(key + u"{0000C000-0000-0000-0000-00000000000A}]\r\n\"DisplayName\"=\"Velonar\"")),
            std::string::npos);
        EXPECT_NE(bytes.find(Utf16LeBytes(u"-00000000000A}\\Extra]\r\n\"Kept\"=dword:00000001\r\n")),
                  std::string::npos);
        DeleteFileW(backup.c_str());
        EXPECT_EQ(m_list.PostedRefreshes, 1);
        m_list.PostedRefreshes = 0;
    }
}

// Nobody to ask: an uninstall removes, a repair keeps.
TEST_F(LeftoverEntry, BasicUiModeRemovesForAnUninstallAndKeepsForARepair) {
    m_options.BasicUi = true;
    auto entry = MakeLeftover(KEY_WOW64_64KEY);
    EXPECT_EQ(
        OfferLeftoverRemoval(Context(m_prompt, m_installer), m_list.Packages[0], OperationCommand::Repair, m_list),
        LeftoverOutcome::Kept);
    EXPECT_TRUE(EntryExists(KEY_WOW64_64KEY, kLeftover));
    EXPECT_TRUE(Uninstall());
    EXPECT_FALSE(EntryExists(KEY_WOW64_64KEY, kLeftover));
    EXPECT_TRUE(m_prompt.Boxes().empty());
    DeleteFileW(BackupIn(m_prompt.LogText()).c_str());
}

// The checks are made again at the removal: what changed since the question is refused and kept.
TEST_F(LeftoverEntry, EntryThatChangedMeanwhileIsNotRemoved) {
    auto entry = MakeLeftover(KEY_WOW64_64KEY);
    m_prompt = CScriptedPrompt({IDYES});
    m_prompt.WhileShown = [&] { m_installer.UnknownProducts.clear(); };  // installed meanwhile
    EXPECT_FALSE(Uninstall());
    EXPECT_TRUE(EntryExists(KEY_WOW64_64KEY, kLeftover));
    ASSERT_EQ(m_prompt.Boxes().size(), 2u);
    EXPECT_NE(m_prompt.Boxes()[1].text.find(L"The entry was not removed: Windows Installer knows this installation."),
              std::wstring::npos)
        << Narrow(m_prompt.Boxes()[1].text);
    const size_t backup = m_prompt.Boxes()[1].text.find(L"Its backup: ");
    ASSERT_NE(backup, std::wstring::npos);
    DeleteFileW(m_prompt.Boxes()[1].text.substr(backup + 12).c_str());
}

TEST_F(LeftoverEntry, AGenuineInstallationIsUninstalledNotOffered) {
    auto entry = MakeLeftover(KEY_WOW64_64KEY);
    m_installer.UnknownProducts.clear();
    EXPECT_TRUE(Uninstall());
    EXPECT_TRUE(m_prompt.Boxes().empty());
    ASSERT_EQ(m_installer.Calls().size(), 1u);
    EXPECT_EQ(m_installer.Calls()[0].Call, L"Configure");
    EXPECT_TRUE(EntryExists(KEY_WOW64_64KEY, kLeftover));
}

}  // namespace zid
