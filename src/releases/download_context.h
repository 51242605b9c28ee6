// What the download of a package is handed from above: the operations it hands the package to, the
// download engine, and the view that shows the download's progress.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "net/download_engine.h"
#include "net/download_messages.h"
#include "operations/operation_context.h"

namespace zid {

// How the wait for a download ended.
enum class DownloadWait { Ended, Cancelled, TooLate, Closing };

// A wait without a deadline.
inline constexpr ULONGLONG kNoDeadline = 0;

// Shows one download's progress at a time, and tells when it has ended or the user cancelled.
class IDownloadView {
public:
    // Shows the progress of the download that publishes progress and saves fileName; false (the user
    // told why) when it cannot be shown. Nothing else can be started while it shows.
    virtual bool Show(const std::shared_ptr<DownloadProgress>& progress, const std::wstring& fileName) = 0;
    // The window that the download tells of its progress (kDownloadProgress), or null.
    virtual HWND NotifyWindow() const = 0;
    // Waits until the download has ended, the user cancelled, deadline (a GetTickCount64 value, or
    // kNoDeadline) has passed or the program is closing.
    virtual DownloadWait WaitForEnd(ULONGLONG deadline) = 0;
    // Takes the progress away.
    virtual void Hide() = 0;

protected:
    ~IDownloadView() = default;
};

struct DownloadContext {
    const OperationContext& Operations;
    CVNInet& Engine;
    IDownloadView& View;
};

}  // namespace zid
