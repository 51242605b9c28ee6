#include "log/preamble.h"

#include <ctime>
#include <string>

#include "log/installer_log.h"
#include "log/preamble_lines.h"
#include "log/preamble_sources.h"
#include "log/signer_report.h"
#include "packages/msi_file.h"
#include "packages/signature.h"
#include "win/errors.h"
#include "win/handles.h"
#include "win/module_info.h"
#include "win/platform.h"

namespace {

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

void WriteUserLine(HANDLE file) {
    std::wstring domain;
    std::wstring account;
    if (ReadProcessOwner(domain, account) == ERROR_SUCCESS)
        WriteLine(file, FormatUserLine(domain, account));
}

// The package's path, signature, signer report and identifying properties.
void WritePackageBlock(HANDLE file, const std::wstring& path) {
    WriteLine(file, path);

    std::wstring verification;
    VerifySignature(path, verification);
    WriteLine(file, FormatIndentedLine(verification));

    std::wstring report;
    GetSignerReport(path, report, nullptr);
    WriteLine(file, report);

    CMsiFile package;
    package.Open(path);
    for (const wchar_t* name : {L"Manufacturer", L"UpgradeCode", L"BuildConfiguration", L"ProductVersion"})
        WriteLine(file, FormatPropertyLine(name, package.GetProperty(name)));
    WriteLine(file, FormatPropertyLine(L"PackageCode", package.GetPackageCode()));
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

void WriteDiagnosticPreamble(HANDLE logFile, const std::optional<std::wstring>& packagePath) {
    if (logFile == INVALID_HANDLE_VALUE || !logFile || Platform().Wine)
        return;
    WriteLine(logFile, FirstLine());
    WriteLine(logFile, GetVersionText());
    WriteLine(logFile, WindowsLine());
    WriteUserLine(logFile);
    WriteLine(logFile, FormatAntivirusLine(QueryAntivirusProducts()));
    if (packagePath)
        WritePackageBlock(logFile, *packagePath);
    WriteLine(logFile, kModulesHeading);
    for (HMODULE module : ListProcessModules()) {
        const std::wstring line = ModuleLine(module);
        if (!line.empty())
            WriteLine(logFile, line);
    }
}
