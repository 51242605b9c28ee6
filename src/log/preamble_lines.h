// The texts of the diagnostic report's lines, built from plain values (no platform calls).
#pragma once

#include <windows.h>

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>

namespace zid {

// Column where a module's file version starts, and where its company name and signature start.
inline constexpr std::size_t kVersionColumn = 40;
inline constexpr std::size_t kCompanyColumn = 57;

// One WriteLine call: an empty line, then the heading of the module list.
inline constexpr wchar_t kModulesHeading[] = L"\r\nModules loaded:";

// Appends one space, then more until line is column characters long; columns never run together.
void PadToColumn(std::wstring& line, std::size_t column);

// U+FEFF followed by local as "%c" in the C locale ("03/14/24 13:45:07").
std::wstring FormatFirstLine(const std::tm& local);

// "Windows major.minor.build SPn service-pack-text" (the text may be empty).
std::wstring FormatWindowsLine(const OSVERSIONINFOEXW& version);

// "User: domain\account" (a lone backslash when both are empty).
std::wstring FormatUserLine(const std::wstring& domain, const std::wstring& account);

// "AntiVirus: " and the description, even when it is empty.
std::wstring FormatAntivirusLine(const std::wstring& description);

// Four spaces and text: how the package's signature result is indented.
std::wstring FormatIndentedLine(const std::wstring& text);

// "    name: value" for one package property.
std::wstring FormatPropertyLine(const std::wstring& name, const std::wstring& value);

// "a.b.c.d" from the two 32-bit halves of a file version.
std::wstring FormatFileVersion(DWORD mostSignificant, DWORD leastSignificant);

// One language/code-page pair of a version resource's translation table.
struct VersionTranslation {
    WORD Language;
    WORD CodePage;
};

// The first pair whose language is not 0; 0/0 when there is none.
VersionTranslation ChooseTranslation(const VersionTranslation* pairs, std::size_t count);

// "\StringFileInfo\llllcccc\CompanyName" for the pair, in lower-case hexadecimal.
std::wstring CompanyNameQuery(VersionTranslation translation);

// What one module line shows; a missing version resource or company name leaves its column out.
struct ModuleLineParts {
    std::wstring Path;
    std::optional<std::wstring> Version;
    std::optional<std::wstring> Company;
    bool Verified = false;
    std::wstring Signature;  // the signer's name when verified, else the verification sentence
};

// Path, version at column 40, company at 57, then "(verified signer)" or "(sentence)" after at least one space.
std::wstring FormatModuleLine(const ModuleLineParts& parts);

}  // namespace zid
