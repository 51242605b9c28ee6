// The installer operation runner and the log it leaves behind.
#pragma once

#include <string>

// Path of the installer log of the last operation, or empty; what Copy Path copies.
const std::wstring& LastLogPath();
void SetLastLogPath(std::wstring path);
