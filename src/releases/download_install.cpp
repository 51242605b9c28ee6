#include "releases/download_install.h"

#include <commctrl.h>

#include "log/installer_log.h"
#include "net/download_engine.h"
#include "net/local_file.h"
#include "operations/install_flow.h"
#include "releases/download_folder.h"
#include "releases/progress_dialog.h"
#include "releases/website_address.h"
#include "win/errors.h"
#include "win/handles.h"
#include "win/message_pump.h"
#include "win/program.h"

namespace {

constexpr UINT kHideInPlace = SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;

// The address of the selected row's release; false (after the log line) when there is none to take.
bool SelectedReleaseUrl(HWND list, const std::vector<std::wstring>& links, std::wstring& url) {
    const int row = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    if (row < 0 || static_cast<size_t>(row) >= links.size() || links[row].empty()) {
        AddLogLine(L"Cannot download");
        return false;
    }
    url = GetWebsiteBase() + links[row];
    std::wstring name;
    if (!DownloadFileName(url, name)) {
        // A link like "packages/..%5Cx.msi" would be saved outside the download folder.
        AddLogLine((L"Cannot download " + url + L": the link does not name a file").c_str());
        return false;
    }
    return true;
}

// Runs the started download until it ends or the user cancels; true when it ended.
bool WaitForDownload(CVNInet& engine, CProgressDialog& progress, DWORD_PTR transfer) {
    ShowWindow(progress.Window(), SW_SHOW);
    while (!progress.Done() && !Pump().Quit) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, kWakeOnAnyInput);
        PumpMessages();
    }
    if (progress.Result() == kDownloadComplete)
        return true;
    // After its last progress message the request may already be freed by the main window; before
    // it, the download cannot end while this thread does not pump.
    if (!progress.Ended())
        engine.Cancel(transfer);
    return false;
}

}  // namespace

void DownloadAndInstall(HWND owner, HWND list, const std::vector<std::wstring>& links, IInstalledPackages& installed) {
    ClearLogPane();
    std::wstring url;
    if (!SelectedReleaseUrl(list, links, url))
        return;
    std::unique_ptr<DownloadRequest> request = MakePackageRequest(url);
    if (!AttachInDownloadFolder(*request)) {
        AddLogLine(L"Unable to create the download file");
        return;
    }
    const std::wstring path = request->LocalPath;
    HWND main = MainWindow();
    bool complete = false;
    {
        EnableWindow(main, FALSE);
        CProgressDialog progress;
        zid::UniqueWindow dialog(progress.Create(main));
        zid::scope_exit restore([&] {
            if (dialog)
                SetWindowPos(dialog.get(), nullptr, 0, 0, 0, 0, kHideInPlace);
            EnableWindow(main, TRUE);
            dialog.reset();
        });
        if (!dialog) {
            ReportLastError(L"CreateDialog");
            return;
        }
        CVNInet* engine = DownloadEngine();
        DWORD_PTR transfer = 0;
        if (!engine) {
            SetLastError(ERROR_INVALID_HANDLE);
            ReportLastError(L"GetUrl");
            return;
        }
        if (!engine->StartPackage(std::move(request), dialog.get(), transfer)) {
            ReportLastError(L"GetUrl");
            return;
        }
        complete = WaitForDownload(*engine, progress, transfer);
    }
    if (complete)
        InstallPackage(owner, path, installed);
}
