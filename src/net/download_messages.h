// The two window messages of the download engine, shared by the engine and the windows it talks to.
#pragma once

#include <windows.h>

// Sent to the engine's owner window once per download, lParam = the finished DownloadRequest.
inline constexpr UINT kDownloadFinished = WM_APP;

// Sent to a download's notify window, lParam = the transfer's progress record.
inline constexpr UINT kDownloadProgress = WM_APP + 1;
