#include "releases/download_install.h"

#include <cstdio>
#include <cwctype>
#include <memory>

#include "net/download_engine.h"
#include "net/download_messages.h"
#include "net/local_file.h"
#include "operations/install_flow.h"
#include "operations/prompt.h"
#include "releases/download_folder.h"
#include "releases/website_address.h"
#include "win/errors.h"
#include "win/handles.h"
#include "win/untrusted_text.h"

namespace zid {

namespace {

constexpr wchar_t kContinueHint[] = L"Download && Install again will continue it.";
constexpr wchar_t kStartOverHint[] = L"Download && Install again will start it over.";
// Requests one download may take: a partial file found of no use, or one whose end only the server
// can prove, is asked for again at once.
constexpr int kAttempts = 3;

// The address of a release's link; false (after the log line) when there is none to take.
bool ReleaseUrl(const std::wstring& link, std::wstring& url, IPrompt& prompt) {
    if (link.empty()) {
        prompt.Log(L"Cannot download");
        return false;
    }
    url = GetWebsiteBase() + link;
    std::wstring name;
    if (!DownloadFileName(url, name)) {
        // "packages/..%5Cx.msi" would be saved outside the download folder, "VERSION.dll" loaded by the
        // next program started from it.
        prompt.Log(L"Cannot download " + ShownText(url) + L": the link does not name a package");
        return false;
    }
    return true;
}

std::wstring Sentence(std::wstring text) {
    while (!text.empty() && (iswspace(text.back()) || text.back() == L'.'))
        text.pop_back();
    return text + L".";
}

// Bytes as the progress dialog counts them: thousands.
std::wstring Kilobytes(unsigned long long bytes) {
    return std::to_wstring(bytes / 1000) + L" KB";
}

// Says once what became of a download that did not bring the whole file.
void ReportFailure(const std::wstring& link, const std::wstring& file, const DownloadResult& result, IPrompt& prompt) {
    const std::wstring url = ShownText(link);
    if (result.ErrorCode == 0) {
        wchar_t text[48];
        swprintf(text, 48, L"HTTP Status = %d", static_cast<int>(result.HttpStatus));
        TellContext(prompt, url, text, MB_ICONWARNING);
        return;
    }
    const std::wstring reason = Sentence(GetErrorText(result.ErrorCode, result.ErrorText));
    const std::string step = result.ErrorStep;
    if (step == kStepRename) {
        TellContext(prompt, file, reason, MB_ICONERROR);
    } else if (step == kStepSpace) {
        TellContext(prompt, file,
                    L"There is not enough free space for the download: it needs " + Kilobytes(result.NeededBytes) +
                        L", and the drive has " + Kilobytes(result.FreeBytes) + L" free. Nothing was written.",
                    MB_ICONERROR);
    } else if (step == kStepEnd) {
        const wchar_t* next = result.Resumable ? kContinueHint : kStartOverHint;
        TellContext(prompt, url,
                    L"The download ended, but the server did not say how long the package is, so it cannot be known "
                    L"to be whole. It was not saved under its name. " +
                        std::wstring(next),
                    MB_ICONERROR);
    } else if (step == kStepSecurity) {
        TellContext(prompt, url, L"The download was refused: " + reason + L" Nothing was saved.", MB_ICONERROR);
    } else if (step == kStepRange) {
        TellContext(prompt, url,
                    L"The server's answer does not continue the part already downloaded, which was deleted. " +
                        std::wstring(kStartOverHint),
                    MB_ICONERROR);
    } else if (result.HttpStatus == 0) {
        // No answer at all; a part kept from an earlier attempt is still there to be continued.
        const std::wstring next = result.Resumable ? L" " + std::wstring(kContinueHint) : L"";
        TellContext(prompt, url, L"The download failed: " + reason + next, MB_ICONERROR);
    } else {
        const wchar_t* next = result.Resumable ? kContinueHint : kStartOverHint;
        TellContext(prompt, url, L"The download was interrupted: " + reason + L" " + next, MB_ICONERROR);
    }
}

// One download of the request with its progress shown, nothing else to be started meanwhile; true
// when it ended by itself (its result is then in progress), false when it could not start (told) or
// was cancelled.
bool RunDownload(const DownloadContext& context, std::unique_ptr<DownloadRequest> request,
                 const std::shared_ptr<DownloadProgress>& progress) {
    const std::wstring name = request->FinalPath.substr(request->FinalPath.find_last_of(L'\\') + 1);
    IDownloadView& view = context.View;
    if (!view.Show(progress, name))
        return false;
    scope_exit hide([&view] { view.Hide(); });
    DWORD_PTR transfer = 0;
    if (!context.Engine.StartPackage(std::move(request), view.NotifyWindow(), transfer)) {
        const DWORD error = GetLastError();
        TellError(context.Operations.Prompt, L"GetUrl", error);
        return false;
    }
    if (view.WaitForEnd(kNoDeadline) != DownloadWait::Ended) {
        // Harmless when the download has just ended: it is then no longer found.
        context.Engine.Cancel(transfer);
        return false;
    }
    return progress->Ended.load(std::memory_order_acquire);
}

}  // namespace

// A partial file the server's answer shows to be of no use is deleted and the whole file asked for;
// one whose end nothing proved is asked about once more (the rest of it, or a 416 that it is whole).
bool DownloadPackage(const DownloadContext& context, const std::wstring& url, std::wstring& saved) {
    IPrompt& prompt = context.Operations.Prompt;
    bool askedAboutEnd = false;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::unique_ptr<DownloadRequest> request = MakePackageRequest(url);
        if (!AttachInDownloadFolder(*request, prompt)) {
            const DWORD error = GetLastError();  // the last folder's reason
            const std::wstring reason = error == ERROR_SHARING_VIOLATION
                                            ? L"its partial file is in use: another download of this package may be "
                                              L"under way."
                                            : Sentence(GetErrorText(error));
            prompt.Log(L"Unable to create the download file: " + reason);
            return false;
        }
        const std::wstring file = request->FinalPath;
        // Every byte came last time; only the rename failed (the earlier file was held open).
        if (IsWhole(request->Partial)) {
            if (const DWORD error = TakeFinalName(*request)) {
                TellContext(prompt, file, Sentence(GetErrorText(error)), MB_ICONERROR);
                return false;
            }
            saved = file;
            return true;
        }
        auto progress = std::make_shared<DownloadProgress>();
        request->Progress = progress;
        if (!RunDownload(context, std::move(request), progress))
            return false;
        const DownloadResult& result = progress->Result;
        if (result.Complete) {
            saved = file;
            return true;
        }
        if (result.Cancelled)
            return false;
        // A server whose ends prove nothing twice will not prove the next one either.
        const bool unproven = std::string(result.ErrorStep) == kStepEnd;
        if (!result.AskAgain || attempt + 1 == kAttempts || (unproven && askedAboutEnd)) {
            ReportFailure(url, file, result, prompt);
            return false;
        }
        askedAboutEnd = askedAboutEnd || unproven;
    }
    return false;
}

void DownloadAndInstall(const DownloadContext& context, const std::wstring& link, IInstalledPackages& installed) {
    context.Operations.Prompt.ClearLog();
    std::wstring url;
    std::wstring saved;
    if (ReleaseUrl(link, url, context.Operations.Prompt) && DownloadPackage(context, url, saved))
        InstallPackage(context.Operations, saved, installed, PackageOrigin::Website);
}

}  // namespace zid
