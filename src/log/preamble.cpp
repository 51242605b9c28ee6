#include "log/preamble.h"

#include <ctime>
#include <string>

#include "log/installer_log.h"
#include "log/preamble_lines.h"
#include "log/preamble_sources.h"
#include "log/signer_report.h"
#include "packages/msi_file.h"
#include "packages/signature.h"
#include "win/handles.h"
#include "win/module_info.h"

namespace zid {

namespace {

// Writes lines into the log until one fails; that first failure is kept, and nothing more is tried.
class CLineWriter {
public:
    explicit CLineWriter(HANDLE file) : m_file(file) {}
    void operator()(const std::wstring& line) {
        if (m_error == ERROR_SUCCESS)
            m_error = WriteLine(m_file, line);
    }
    DWORD Error() const { return m_error; }

private:
    HANDLE m_file;
    DWORD m_error = ERROR_SUCCESS;
};

std::wstring FirstLine() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_s(&local, &now);
    return FormatFirstLine(local);
}

std::wstring WindowsLine() {
    OSVERSIONINFOEXW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    // Whatever the call leaves is what the reader gets to see; the record starts zeroed.
    GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version));
    return FormatWindowsLine(version);
}

void WriteUserLine(CLineWriter& write) {
    std::wstring domain;
    std::wstring account;
    if (ReadProcessOwner(domain, account) == ERROR_SUCCESS)
        write(FormatUserLine(domain, account));
}

// The package's path, signature, signer report and identifying properties.
void WritePackageBlock(CLineWriter& write, const std::wstring& path) {
    write(path);

    std::wstring verification;
    VerifySignature(path, verification);
    write(FormatIndentedLine(verification));

    std::wstring report;
    GetSignerReport(path, report, nullptr);
    write(report);

    CMsiFile package;
    package.Open(path);
    for (const wchar_t* name : {L"Manufacturer", L"UpgradeCode", L"BuildConfiguration", L"ProductVersion"})
        write(FormatPropertyLine(name, package.GetProperty(name)));
    write(FormatPropertyLine(L"PackageCode", package.GetPackageCode()));
    package.Close();
}

// The module's line, or empty when its path cannot be read.
std::wstring ModuleLine(HMODULE module) {
    ModuleLineParts parts;
    if (GetModuleFilePath(module, parts.Path) != ERROR_SUCCESS)
        return {};
    std::wstring verification;
    parts.Verified = VerifySignature(parts.Path, verification);
    if (parts.Verified) {
        std::wstring discarded;
        GetSignerReport(parts.Path, discarded, &parts.Signature);
    } else {
        parts.Signature = std::move(verification);
    }
    VersionColumns columns = ReadVersionColumns(parts.Path);
    parts.Version = std::move(columns.Version);
    parts.Company = std::move(columns.Company);
    return FormatModuleLine(parts);
}

}  // namespace

DWORD WriteDiagnosticPreamble(HANDLE logFile, const std::optional<std::wstring>& packagePath, bool underWine) {
    if (logFile == INVALID_HANDLE_VALUE || !logFile || underWine)
        return ERROR_SUCCESS;
    CLineWriter write(logFile);
    write(FirstLine());
    write(GetVersionText());
    write(WindowsLine());
    WriteUserLine(write);
    write(FormatAntivirusLine(QueryAntivirusProducts()));
    if (packagePath)
        WritePackageBlock(write, *packagePath);
    write(kModulesHeading);
    for (HMODULE module : ListProcessModules()) {
        const std::wstring line = ModuleLine(module);
        if (!line.empty())
            write(line);
    }
    return write.Error();
}

}  // namespace zid
