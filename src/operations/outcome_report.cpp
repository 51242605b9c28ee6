#include "operations/outcome_report.h"

#include "log/installer_diagnosis.h"
#include "win/file_io.h"
#include "win/untrusted_text.h"

namespace zid {

namespace {

// A verbose log can grow to gigabytes, more than a 32-bit process can hold, while the failure is near
// its end: only the byte-order mark and the last part are read.
constexpr size_t kLogHead = 2;
constexpr size_t kDiagnosedLogTail = 16u << 20;

}  // namespace

void ReportOutcome(const OperationRequest& request, const std::wstring& operation, DWORD result, IPrompt& prompt) {
    const int code = static_cast<int>(result);
    if (code == kResultSuccess)
        return;
    InstallerDiagnosis diagnosis;
    diagnosis.Result = code;
    std::string log;
    if (request.LogPath.empty())
        diagnosis.Lines = ExplainResult(code);
    else if (ReadFileHeadAndTail(request.LogPath, kLogHead, kDiagnosedLogTail, log) == ERROR_SUCCESS)
        diagnosis = DiagnoseInstallerLog(log, code);
    if (diagnosis.Lines.empty())
        return;
    for (const std::wstring& line : diagnosis.Lines)
        prompt.Log(line);
    if (!request.LogPath.empty()) {
        const std::wstring subject =
            request.PackagePath ? operation + L" " + ShownText(*request.PackagePath) : operation;
        // The summary is an extra for support: without it the log pane still says everything. One left
        // by an earlier log of the same name goes (a link goes, not its target); the file is made
        // anew, never written through whatever is put there meanwhile.
        const std::wstring summary = SummaryPathFor(request.LogPath);
        DeleteFileW(summary.c_str());
        WriteNewFile(summary, FormatDiagnosisSummary(subject, diagnosis, request.LogPath));
    }
}

}  // namespace zid
