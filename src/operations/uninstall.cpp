#include "operations/uninstall.h"

#include "operations/leftover_entry.h"
#include "operations/runner.h"
#include "packages/msi_file.h"
#include "win/handles.h"
#include "win/registry.h"
#include "win/untrusted_text.h"

namespace zid {

namespace {

constexpr DWORD kFirstUnaskedVersion = 0x051E0003;       // 5.30.3
constexpr DWORD kFirstUninstallKeyVersion = 0x051A0000;  // 5.26.0
constexpr wchar_t kProductKey[] = L"Software\\Corrabel\\Velonar";
constexpr wchar_t kPreserveValue[] = L"PreservePreferences";

// "UPGRADINGPRODUCTCODE=" and the product code of the package that will be installed (nothing after
// the "=" when the package cannot be read). False, with a message, when its ProductCode is anything
// but one GUID: "{...} REBOOT=Force" would add properties to an elevated removal.
bool UpgradingCommandLine(const std::wstring& package, std::wstring& commandLine, IPrompt& prompt) {
    CMsiFile upgrading;
    upgrading.Open(package);
    const std::wstring productCode = upgrading.GetProperty(L"ProductCode");
    if (!productCode.empty() && !IsBracedGuid(productCode)) {
        prompt.Log(L"Uninstall: Refused");
        TellContext(prompt, ShownText(package),
                    L"Its ProductCode is not a product code: \"" + ShownValue(productCode) +
                        L"\".\r\nNothing was uninstalled or installed.",
                    MB_ICONERROR);
        return false;
    }
    commandLine = L"UPGRADINGPRODUCTCODE=" + productCode;
    return true;
}

}  // namespace

std::optional<std::wstring> PreferencesKeyFor(DWORD version) {
    if (version >= kFirstUnaskedVersion)
        return std::nullopt;
    return std::wstring(kProductKey) + (version < kFirstUninstallKeyVersion ? L"\\Debug" : L"\\Uninstall");
}

bool UninstallPackage(const OperationContext& context, int recordIndex,
                      const std::optional<std::wstring>& upgradingPackage, IInstalledPackages& installed) {
    if (recordIndex < 0 || static_cast<size_t>(recordIndex) >= installed.Records().size()) {
        context.Prompt.Log(L"Cannot uninstall\r\n");
        return false;
    }
    return UninstallRecord(context, installed.Records()[recordIndex], upgradingPackage, installed);
}

bool UninstallRecord(const OperationContext& context, InstalledPackage package,
                     const std::optional<std::wstring>& upgradingPackage, IInstalledPackages& installed) {
    return RunUninstall(context, std::move(package), upgradingPackage, installed) == static_cast<DWORD>(ERROR_SUCCESS);
}

std::optional<DWORD> RunUninstall(const OperationContext& context, InstalledPackage package,
                                  const std::optional<std::wstring>& upgradingPackage, IInstalledPackages& installed) {
    // Windows Installer cannot remove what it does not know (1605): only the entry is left to remove.
    if (IsLeftoverEntry(package, context.Installer)) {
        if (OfferLeftoverRemoval(context, package, OperationCommand::Uninstall, installed) != LeftoverOutcome::Removed)
            return std::nullopt;
        return static_cast<DWORD>(ERROR_SUCCESS);
    }
    OperationRequest request;
    request.Command = OperationCommand::Uninstall;
    request.Package = std::move(package);
    if (upgradingPackage && !UpgradingCommandLine(*upgradingPackage, request.CommandLine, context.Prompt))
        return std::nullopt;

    CRegKey preferences;
    bool haveValue = false;
    // The value is for this removal only: whatever ends it, even an exception, takes the value away.
    zid::scope_exit forgetValue([&] {
        if (haveValue)
            RegDeleteValueW(preferences.get(), kPreserveValue);
    });
    if (const std::optional<std::wstring> keyPath = PreferencesKeyFor(request.Package->Version)) {
        bool keep = true;
        if (!upgradingPackage && context.Prompt.AskUninstallOptions(keep) != IDOK) {
            context.Prompt.Log(L"Uninstall: Canceled");
            return std::nullopt;
        }
        // Without the value the product's uninstall uses its own default; nothing to report.
        haveValue = preferences.CreateKey(HKEY_CURRENT_USER, keyPath->c_str()) == ERROR_SUCCESS &&
                    SetDwordValue(preferences.get(), kPreserveValue, keep ? 1 : 0) == ERROR_SUCCESS;
    }

    const std::optional<DWORD> result = RunOperation(request, context);
    installed.PostRefresh();
    return result;
}

}  // namespace zid
