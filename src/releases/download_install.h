// Download && Install: the selected release is downloaded with the progress dialog and handed to
// the install decision flow.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "operations/installed_packages.h"

// Downloads the release of list's selected row (its link in links, relative to the website) into the
// download folder while the main window is disabled and the progress dialog shows the download. The
// file is written as <name>.partial and takes its name only when every byte has arrived; then it is
// handed to InstallPackage (owner: owner). An interrupted download keeps its partial file, which the
// next Download && Install of the same link continues. Returns when the download has ended or was
// cancelled (its partial file deleted, earlier files untouched, nothing installed). What fails is told
// once, in the log pane or a message box.
void DownloadAndInstall(HWND owner, HWND list, const std::vector<std::wstring>& links, IInstalledPackages& installed);

// The download of Download && Install without the install: url into the download folder with the
// progress dialog (partial file, resume, cancel). True with saved set when every byte arrived;
// false when it did not start, failed (told once) or was cancelled.
bool DownloadPackage(const std::wstring& url, std::wstring& saved);
