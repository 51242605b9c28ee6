// Download && Install: the selected release is downloaded with the progress dialog and handed to
// the install decision flow.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "operations/installed_packages.h"

// Downloads the release of list's selected row (its link in links, relative to the website) into the
// download folder while the main window is disabled and the progress dialog shows the download, then
// hands the saved file to InstallPackage (owner: owner). Returns when the download has ended or was
// cancelled (its partial file deleted, nothing installed). What fails is told in the log pane or a
// message box.
void DownloadAndInstall(HWND owner, HWND list, const std::vector<std::wstring>& links, IInstalledPackages& installed);
