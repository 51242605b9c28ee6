// Which installation /repair and /uninstall act on, and the interface Windows Installer gets without a
// person.
#include <gtest/gtest.h>

#include "operations/unattended_prompt.h"
#include "shell/command_run.h"
#include "support/installer_stand_ins.h"

namespace zid {

namespace {

constexpr wchar_t kOld64[] = L"{11111111-1111-1111-1111-111111111111}";
constexpr wchar_t kNew64[] = L"{22222222-2222-2222-2222-222222222222}";
constexpr wchar_t kOnly32[] = L"{33333333-3333-3333-3333-333333333333}";

// Nothing is downloaded here: a repair or uninstall never asks.
class CNoView final : public IDownloadView {
public:
    bool Show(const std::shared_ptr<DownloadProgress>&, const std::wstring&) override { return false; }
    HWND NotifyWindow() const override { return nullptr; }
    DownloadWait WaitForEnd(ULONGLONG) override { return DownloadWait::Cancelled; }
    void Hide() override {}
};

class CommandRun : public OperationsTest {};

}  // namespace

TEST_F(CommandRun, RepairAndUninstallActOnTheNamedOrOnlyBuildWithoutAskingAnything) {
    struct Case {
        std::vector<std::wstring> arguments;
        std::vector<InstalledPackage> installed;
        DWORD code;
        std::wstring target;  // the product Windows Installer was called for; empty: none
        std::wstring call;
    };
    const InstalledPackage old64 = Record(kOld64, 0x051E0002, true);
    const InstalledPackage new64 = Record(kNew64, 0x052E0000, true);
    const InstalledPackage only32 = Record(kOnly32, 0x052D0003, false);
    const Case cases[] = {
        {{L"/quiet", L"/repair"}, {}, ERROR_UNKNOWN_PRODUCT, L"", L""},
        {{L"/quiet", L"/repair", L"64"}, {only32}, ERROR_UNKNOWN_PRODUCT, L"", L""},
        {{L"/quiet", L"/uninstall"}, {only32, new64}, ERROR_INVALID_COMMAND_LINE, L"", L""},
        {{L"/quiet", L"/repair", L"64"}, {only32, new64}, 0, kNew64, L"Reinstall"},
        {{L"/quiet", L"/repair"}, {old64, new64}, 0, kNew64, L"Reinstall"},
        {{L"/quiet", L"/uninstall", L"32"}, {only32, new64}, 0, kOnly32, L"Configure"},
        // 5.30.2 asks about the settings: without a person they are kept.
        {{L"/quiet", L"/uninstall"}, {old64}, 0, kOld64, L"Configure"},
    };
    CNoView view;
    CVNInet engine;
    m_options.UnattendedUi = INSTALLUILEVEL_NONE;
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.arguments[1]) + " " + std::to_string(c.installed.size()) + " installed");
        CUnattendedPrompt prompt;
        CScriptedInstaller installer;
        const OperationContext context = Context(prompt, installer);
        const DownloadContext downloads{context, engine, view};
        CWebsitePackageSource website(downloads);
        CInstalledList installed;
        installed.Packages = c.installed;
        const CommandResult result = RunCommand(ParseCommandLine(c.arguments), context, installed, website);
        EXPECT_EQ(result.Code, std::optional<DWORD>(c.code));
        ASSERT_EQ(installer.Calls().size(), c.target.empty() ? 0u : 1u);
        if (c.target.empty()) {
            EXPECT_FALSE(result.Text.empty());
            continue;
        }
        EXPECT_EQ(installer.Calls()[0].Target, c.target);
        EXPECT_EQ(installer.Calls()[0].Call, c.call);
        EXPECT_EQ(installer.Calls()[0].UiLevel, INSTALLUILEVEL_NONE);
    }
}

}  // namespace zid
