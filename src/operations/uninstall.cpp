#include "operations/uninstall.h"

#include "log/installer_log.h"
#include "operations/runner.h"
#include "packages/msi_file.h"
#include "resource.h"
#include "win/dialog.h"
#include "win/errors.h"
#include "win/handles.h"
#include "win/list_view.h"
#include "win/platform.h"
#include "win/registry.h"
#include "win/untrusted_text.h"

namespace {

constexpr DWORD kFirstUnaskedVersion = 0x051E0003;       // 5.30.3
constexpr DWORD kFirstUninstallKeyVersion = 0x051A0000;  // 5.26.0
constexpr wchar_t kProductKey[] = L"Software\\Corrabel\\Velonar";
constexpr wchar_t kPreserveValue[] = L"PreservePreferences";

// The uninstall-options dialog (130): which radio button of its group was checked when it closed.
class CUninstallOptionsDialog {
public:
    int Show(HWND owner) {
        return static_cast<int>(DialogBoxParamW(Platform().Instance, MAKEINTRESOURCEW(IDD_UNINSTALL_OPTIONS), owner,
                                                DialogThunk<CUninstallOptionsDialog>, reinterpret_cast<LPARAM>(this)));
    }
    int CheckedButton() const { return m_checked; }

    INT_PTR OnMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
        switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog(dialog);
        case WM_COMMAND:
            return OnCommand(dialog, LOWORD(wParam));
        default:
            return FALSE;
        }
    }

private:
    INT_PTR OnInitDialog(HWND dialog) {
        CheckDlgButton(dialog, IDC_KEEP_SETTINGS, BST_CHECKED);
        return TRUE;
    }

    INT_PTR OnCommand(HWND dialog, WORD id) {
        if (id != IDOK && id != IDCANCEL)
            return FALSE;
        m_checked = FindCheckedInGroup(dialog);
        EndDialog(dialog, id);
        return TRUE;
    }

    // The group starts at the REMOVE button and runs to the next control that starts a group.
    static int FindCheckedInGroup(HWND dialog) {
        HWND first = GetDlgItem(dialog, IDC_REMOVE_SETTINGS);
        for (HWND control = first; control; control = GetWindow(control, GW_HWNDNEXT)) {
            if (control != first && (GetWindowLongW(control, GWL_STYLE) & WS_GROUP))
                break;
            if (SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED)
                return GetDlgCtrlID(control);
        }
        return 0;
    }

    int m_checked = 0;
};

// "UPGRADINGPRODUCTCODE=" and the product code of the package that will be installed (nothing after
// the "=" when the package cannot be read). False, with a message, when its ProductCode is anything
// but one GUID: "{...} REBOOT=Force" would add properties to an elevated removal.
bool UpgradingCommandLine(const std::wstring& package, std::wstring& commandLine) {
    CMsiFile upgrading;
    upgrading.Open(package);
    const std::wstring productCode = upgrading.GetProperty(L"ProductCode");
    if (!productCode.empty() && !IsBracedGuid(productCode)) {
        AddLogLine(L"Uninstall: Refused");
        ShowMessage(package,
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

int AskUninstallOptions(HWND owner, bool& keep) {
    CUninstallOptionsDialog dialog;
    const int answer = dialog.Show(owner);
    if (answer == IDOK)
        keep = dialog.CheckedButton() != IDC_REMOVE_SETTINGS;
    return answer;
}

void UninstallSelected(HWND owner, HWND list, IInstalledPackages& installed) {
    ClearLogPane();
    const auto index = static_cast<int>(ListRowData(list, FirstSelectedRow(list), -1));
    UninstallPackage(owner, index, std::nullopt, installed);
}

bool UninstallPackage(HWND owner, int recordIndex, const std::optional<std::wstring>& upgradingPackage,
                      IInstalledPackages& installed) {
    if (recordIndex < 0 || static_cast<size_t>(recordIndex) >= installed.Records().size()) {
        AddLogLine(L"Cannot uninstall\r\n");
        return false;
    }
    return UninstallRecord(owner, installed.Records()[recordIndex], upgradingPackage, installed);
}

bool UninstallRecord(HWND owner, InstalledPackage package, const std::optional<std::wstring>& upgradingPackage,
                     IInstalledPackages& installed) {
    OperationRequest request;
    request.Command = OperationCommand::Uninstall;
    request.Package = std::move(package);
    if (upgradingPackage && !UpgradingCommandLine(*upgradingPackage, request.CommandLine))
        return false;

    CRegKey preferences;
    bool haveValue = false;
    // The value is for this removal only: whatever ends it, even an exception, takes the value away.
    zid::scope_exit forgetValue([&] {
        if (haveValue)
            RegDeleteValueW(preferences.get(), kPreserveValue);
    });
    if (const std::optional<std::wstring> keyPath = PreferencesKeyFor(request.Package->Version)) {
        bool keep = true;
        if (!upgradingPackage && AskUninstallOptions(owner, keep) != IDOK) {
            AddLogLine(L"Uninstall: Canceled");
            return false;
        }
        // Without the value the product's uninstall uses its own default; nothing to report.
        haveValue = preferences.CreateKey(HKEY_CURRENT_USER, keyPath->c_str()) == ERROR_SUCCESS &&
                    SetDwordValue(preferences.get(), kPreserveValue, keep ? 1 : 0) == ERROR_SUCCESS;
    }

    const std::optional<DWORD> result = RunOperation(request);
    installed.PostRefresh();
    return result == static_cast<DWORD>(ERROR_SUCCESS);
}
