// A readable report of a signed file's signer and time-stamp certificates.
#pragma once

#include <string>

// Appends the report for path to report; sets *signerName (when given) to the signer's name.
void GetSignerReport(const std::wstring& path, std::wstring& report, std::wstring* signerName);
