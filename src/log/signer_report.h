// A readable report of a signed file's signer and time-stamp certificates.
#pragma once

#include <string>

namespace zid {

// Appends the report for path's embedded Authenticode signature to report: publisher information,
// the signer certificate and, when present, the time-stamp certificate and its date; every failure
// becomes a line of the report, every line ends CR LF. Sets *signerName (when given) to the signer
// certificate's subject name; leaves it untouched when the report ends before that name is read.
void GetSignerReport(const std::wstring& path, std::wstring& report, std::wstring* signerName);

}  // namespace zid
