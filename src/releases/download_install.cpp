#include "releases/download_install.h"

#include <commctrl.h>

#include <cstdio>
#include <cwctype>
#include <memory>

#include "log/installer_log.h"
#include "net/download_engine.h"
#include "net/download_messages.h"
#include "net/local_file.h"
#include "operations/install_flow.h"
#include "releases/download_folder.h"
#include "releases/progress_dialog.h"
#include "releases/website_address.h"
#include "win/errors.h"
#include "win/handles.h"
#include "win/message_pump.h"
#include "win/program.h"
#include "win/untrusted_text.h"

namespace {

constexpr UINT kHideInPlace = SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
constexpr wchar_t kContinueHint[] = L"Download && Install again will continue it.";
constexpr wchar_t kStartOverHint[] = L"Download && Install again will start it over.";

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
        // "packages/..%5Cx.msi" would be saved outside the download folder, "VERSION.dll" loaded by the
        // next program started from it.
        AddLogLine((L"Cannot download " + ShownText(url) + L": the link does not name a package").c_str());
        return false;
    }
    return true;
}

std::wstring Sentence(std::wstring text) {
    while (!text.empty() && (iswspace(text.back()) || text.back() == L'.'))
        text.pop_back();
    return text + L".";
}

// Says once what became of a download that did not bring the whole file.
void ReportFailure(const std::wstring& link, const std::wstring& file, const DownloadResult& result) {
    const std::wstring url = ShownText(link);
    if (result.ErrorCode == 0) {
        wchar_t text[48];
        swprintf(text, 48, L"HTTP Status = %d", static_cast<int>(result.HttpStatus));
        ShowMessage(url, text, MB_ICONWARNING);
        return;
    }
    const std::wstring reason = Sentence(GetErrorText(result.ErrorCode, result.ErrorText));
    const std::string step = result.ErrorStep;
    if (step == kStepRename) {
        ShowMessage(file, reason, MB_ICONERROR);
    } else if (step == kStepSecurity) {
        ShowMessage(url, L"The download was refused: " + reason + L" Nothing was saved.", MB_ICONERROR);
    } else if (step == kStepRange) {
        ShowMessage(url,
                    L"The server's answer does not continue the part already downloaded, which was deleted. " +
                        std::wstring(kStartOverHint),
                    MB_ICONERROR);
    } else if (result.HttpStatus == 0) {
        // No answer at all; a part kept from an earlier attempt is still there to be continued.
        const std::wstring next = result.Resumable ? L" " + std::wstring(kContinueHint) : L"";
        ShowMessage(url, L"The download failed: " + reason + next, MB_ICONERROR);
    } else {
        const wchar_t* next = result.Resumable ? kContinueHint : kStartOverHint;
        ShowMessage(url, L"The download was interrupted: " + reason + L" " + next, MB_ICONERROR);
    }
}

// Runs the started download until it ends or the user cancels (or the program is closed); true when
// it ended by itself.
bool WaitForDownload(CVNInet& engine, CProgressDialog& progress, DWORD_PTR transfer) {
    ShowWindow(progress.Window(), SW_SHOW);
    while (!progress.Done() && !Pump().Quit) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, kWakeOnAnyInput);
        PumpMessages();
    }
    if (progress.Result() == kDownloadEnded)
        return true;
    // Harmless when the download has just ended: it is then no longer found.
    engine.Cancel(transfer);
    return false;
}

// One download of the request with the progress dialog, the main window disabled meanwhile; true when
// it ended by itself (its result is then in progress), false when it could not start (reported) or was
// cancelled.
bool RunDownload(std::unique_ptr<DownloadRequest> request, const std::shared_ptr<DownloadProgress>& progress) {
    const std::wstring name = request->FinalPath.substr(request->FinalPath.find_last_of(L'\\') + 1);
    HWND main = MainWindow();
    EnableWindow(main, FALSE);
    CProgressDialog dialogState;
    zid::UniqueWindow dialog(dialogState.Create(main, progress, name));
    zid::scope_exit restore([&] {
        if (dialog)
            SetWindowPos(dialog.get(), nullptr, 0, 0, 0, 0, kHideInPlace);
        EnableWindow(main, TRUE);
        dialog.reset();
    });
    if (!dialog) {
        ReportLastError(L"CreateDialog");
        return false;
    }
    CVNInet* engine = DownloadEngine();
    DWORD_PTR transfer = 0;
    if (!engine) {
        SetLastError(ERROR_INVALID_HANDLE);
        ReportLastError(L"GetUrl");
        return false;
    }
    if (!engine->StartPackage(std::move(request), dialog.get(), transfer)) {
        ReportLastError(L"GetUrl");
        return false;
    }
    return WaitForDownload(*engine, dialogState, transfer) && progress->Ended.load(std::memory_order_acquire);
}

}  // namespace

// A server that can no longer give the rest of a partial file (416: it is shorter now) is asked once
// more for the whole.
bool DownloadPackage(const std::wstring& url, std::wstring& saved) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::unique_ptr<DownloadRequest> request = MakePackageRequest(url);
        if (!AttachInDownloadFolder(*request)) {
            const DWORD error = GetLastError();  // the last folder's reason
            AddLogLine((L"Unable to create the download file: " + Sentence(GetErrorText(error))).c_str());
            return false;
        }
        const bool resumed = request->ResumeFrom > 0;
        const std::wstring file = request->FinalPath;
        auto progress = std::make_shared<DownloadProgress>();
        request->Progress = progress;
        if (!RunDownload(std::move(request), progress))
            return false;
        const DownloadResult& result = progress->Result;
        if (result.Complete) {
            saved = file;
            return true;
        }
        if (result.Cancelled)
            return false;
        if (!(resumed && result.ErrorCode == 0 && result.HttpStatus == 416)) {
            ReportFailure(url, file, result);
            return false;
        }
    }
    return false;
}

void DownloadAndInstall(HWND owner, HWND list, const std::vector<std::wstring>& links, IInstalledPackages& installed) {
    ClearLogPane();
    std::wstring url;
    std::wstring saved;
    if (SelectedReleaseUrl(list, links, url) && DownloadPackage(url, saved))
        InstallPackage(owner, saved, installed, PackageOrigin::Website);
}
