// Download && Install: the selected release is downloaded with the progress dialog and handed to
// the install decision flow.
#pragma once

#include <windows.h>

#include <string>

#include "operations/installed_packages.h"
#include "releases/download_context.h"

namespace zid {

// Download && Install of the release whose link (relative to the website) is link; empty when no row
// is chosen (then only "Cannot download" is logged). The package is downloaded into the download
// folder with its progress shown, written as <name>.partial, and takes its name only when every byte
// has arrived; then it is handed to InstallPackage as a package from the website. An interrupted
// download keeps its partial file, which the next Download && Install of the same link continues.
// Returns when the download has ended or was cancelled (its partial file deleted, earlier files
// untouched, nothing installed). What fails is told once, in the log pane or a message.
void DownloadAndInstall(const DownloadContext& context, const std::wstring& link, IInstalledPackages& installed);

// The download of Download && Install without the install: url into the download folder with its
// progress shown (partial file, resume, cancel). True with saved set when every byte arrived; false
// when it did not start, failed (told once) or was cancelled.
bool DownloadPackage(const DownloadContext& context, const std::wstring& url, std::wstring& saved);

}  // namespace zid
