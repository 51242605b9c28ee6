#include "log/preamble_lines.h"

#include <cwchar>

#include "win/untrusted_text.h"

namespace zid {

void PadToColumn(std::wstring& line, std::size_t column) {
    line += L' ';
    if (line.size() < column)
        line.append(column - line.size(), L' ');
}

std::wstring FormatFirstLine(const std::tm& local) {
    wchar_t text[128];
    const std::size_t length = std::wcsftime(text, 128, L"%c", &local);
    return L"\xFEFF" + std::wstring(text, length);
}

std::wstring FormatWindowsLine(const OSVERSIONINFOEXW& version) {
    wchar_t numbers[96];
    std::swprintf(numbers, 96, L"Windows %lu.%lu.%lu SP%u ", version.dwMajorVersion, version.dwMinorVersion,
                  version.dwBuildNumber, static_cast<unsigned>(version.wServicePackMajor));
    // The service-pack text comes from the system; bounded by its fixed array in case it lacks an end.
    return numbers + std::wstring(version.szCSDVersion, wcsnlen(version.szCSDVersion, 128));
}

std::wstring FormatUserLine(const std::wstring& domain, const std::wstring& account) {
    return L"User: " + domain + L"\\" + account;
}

std::wstring FormatAntivirusLine(const std::wstring& description) {
    return L"AntiVirus: " + description;
}

std::wstring FormatIndentedLine(const std::wstring& text) {
    return L"    " + text;
}

std::wstring FormatPropertyLine(const std::wstring& name, const std::wstring& value) {
    return L"    " + name + L": " + ShownText(value);
}

std::wstring FormatFileVersion(DWORD mostSignificant, DWORD leastSignificant) {
    wchar_t text[48];
    std::swprintf(text, 48, L"%u.%u.%u.%u", HIWORD(mostSignificant), LOWORD(mostSignificant), HIWORD(leastSignificant),
                  LOWORD(leastSignificant));
    return text;
}

VersionTranslation ChooseTranslation(const VersionTranslation* pairs, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (pairs[i].Language != 0)
            return pairs[i];
    }
    return {0, 0};
}

std::wstring CompanyNameQuery(VersionTranslation translation) {
    wchar_t query[64];
    std::swprintf(query, 64, L"\\StringFileInfo\\%04x%04x\\CompanyName", static_cast<unsigned>(translation.Language),
                  static_cast<unsigned>(translation.CodePage));
    return query;
}

std::wstring FormatModuleLine(const ModuleLineParts& parts) {
    std::wstring line = parts.Path;
    if (parts.Version) {
        PadToColumn(line, kVersionColumn);
        line += *parts.Version;
    }
    if (parts.Company) {
        PadToColumn(line, kCompanyColumn);
        line += *parts.Company;
    }
    PadToColumn(line, kCompanyColumn);
    line += parts.Verified ? L"(verified " + parts.Signature + L")" : L"(" + parts.Signature + L")";
    return line;
}

}  // namespace zid
