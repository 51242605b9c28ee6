#include "log/installer_diagnosis.h"

#include "log/log_findings.h"
#include "log/log_text.h"

namespace zid {

namespace {

// Notepad of every Windows this program supports reads UTF-8 by its byte-order mark (without one, Windows 7's
// takes the file for ANSI), and a UTF-8 file travels through mail and support tickets as plain text.
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::wstring_view kLineEnd = L"\r\n";
constexpr std::wstring_view kLogExtension = L".txt";
constexpr std::wstring_view kSummaryExtension = L".summary.txt";

std::wstring ResultText(int result) {
    const std::wstring number = std::to_wstring(result);
    if (!IsFailedResult(result))
        return number + (result == kResultSuccess ? L" (succeeded)" : L" (succeeded, restart needed)");
    return number + L" (failed)";
}

std::wstring CodeList(const std::vector<int>& codes) {
    std::wstring list;
    for (int code : codes)
        list += (list.empty() ? L"" : L", ") + std::to_wstring(code);
    return list;
}

std::wstring FileName(const std::wstring& path) {
    const std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

void AddLine(std::wstring& text, std::wstring_view label, const std::wstring& value) {
    if (value.empty())
        return;
    text.append(label).append(value).append(kLineEnd);
}

}  // namespace

InstallerDiagnosis DiagnoseInstallerLog(std::string_view fileBytes, int result) {
    InstallerDiagnosis diagnosis;
    diagnosis.Result = result;
    if (!IsFailedResult(result)) {
        diagnosis.Lines = ExplainResult(result);
        return diagnosis;
    }
    const LogFindings findings = FindInstallerFailure(DecodeLogText(fileBytes));
    diagnosis.FailedAction = WidenLatin1(findings.FailedAction);
    diagnosis.CustomAction = WidenLatin1(findings.CustomAction);
    diagnosis.LoggedCodes = findings.Codes;
    diagnosis.Lines = ExplainFindings(result, findings);
    return diagnosis;
}

std::string FormatDiagnosisSummary(const std::wstring& operation, const InstallerDiagnosis& diagnosis,
                                   const std::wstring& logPath) {
    std::wstring text;
    AddLine(text, L"Operation: ", operation);
    AddLine(text, L"Result: ", ResultText(diagnosis.Result));
    for (const std::wstring& line : diagnosis.Lines)
        AddLine(text, L"", line);
    AddLine(text, L"Failing action: ", diagnosis.FailedAction);
    AddLine(text, L"Custom action: ", diagnosis.CustomAction);
    AddLine(text, L"Codes in the log: ", CodeList(diagnosis.LoggedCodes));
    AddLine(text, L"Log file: ", FileName(logPath));
    return std::string(kUtf8Bom) + EncodeUtf8(text);
}

std::wstring SummaryPathFor(const std::wstring& logPath) {
    if (logPath.ends_with(kLogExtension))
        return logPath.substr(0, logPath.size() - kLogExtension.size()).append(kSummaryExtension);
    return logPath + std::wstring(kSummaryExtension);
}

}  // namespace zid
