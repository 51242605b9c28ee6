// Diagnoses a generated 50 MB Windows Installer verbose log, in the two forms a log file takes on Windows
// (UTF-16 after the diagnostic report, and ANSI), and reports the time to read the file once and to diagnose
// it: the best of a few runs, since the first run also pays for fresh memory. A log cut before the install's
// end is the slow case: with no failure recorded, the whole log is searched for codes. Exits non-zero when a
// diagnosis is not the expected one.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "log/installer_diagnosis.h"

using namespace zid;

namespace {

constexpr std::size_t kLogBytes = 50u << 20;
constexpr int kRuns = 5;
constexpr int kFailureResult = 1603;
constexpr wchar_t kFailingAction[] = L"RegisterVelonarService";

// The routine part of a repair's verbose log, the immediate actions and the script's file copies, over and
// over; then the deferred custom action that fails at the very end, where the diagnosis has most to read.
std::string InstallerLog(std::size_t bytes) {
    std::string log =
        "=== Verbose logging started: 3/14/2026  12:34:50  Build type: SHIP UNICODE 5.00.10011.00  Calling "
        "process: C:\\Tools\\ZIDezureziv.exe ===\r\n"
        "MSI (s) (A0:B4) [12:34:51:020]: Doing action: INSTALL\r\nAction start 12:34:51: INSTALL.\r\n";
    const std::string tail =
        "MSI (s) (A0:B4) [12:34:52:120]: Executing op: ActionStart(Name=RegisterVelonarService,,)\r\n"
        "Action 12:34:52: RegisterVelonarService. \r\n"
        "MSI (s) (A0:B4) [12:34:53:533]: Note: 1: 1722 2: RegisterVelonarService 3: C:\\Program Files\\Corrabel\\"
        "Velonar\\Velonar.exe 4: --register \r\n"
        "Error 1722. There is a problem with this Windows Installer package. A program run as part of the setup did "
        "not finish as expected. Contact your support personnel or package vendor.  Action RegisterVelonarService, "
        "location: C:\\Program Files\\Corrabel\\Velonar\\Velonar.exe, command: --register \r\n"
        "Action ended 12:34:53: InstallFinalize. Return value 3.\r\n"
        "Action ended 12:34:53: INSTALL. Return value 3.\r\n"
        "=== Logging stopped: 3/14/2026  12:34:53 ===\r\n";
    char block[1024];
    for (unsigned i = 0; log.size() + tail.size() < bytes; ++i) {
        const int length = std::snprintf(
            block, sizeof block,
            "MSI (s) (A0:B4) [12:34:51:%03u]: Doing action: CostFinalize%u\r\n"
            "Action 12:34:51: CostFinalize%u. Computing space requirements\r\n"
            "Action start 12:34:51: CostFinalize%u.\r\n"
            "MSI (s) (A0:B4) [12:34:51:%03u]: Note: 1: 2205 2:  3: Error \r\n"
            "MSI (s) (A0:B4) [12:34:51:%03u]: Executing op: FileCopy(SourceName=File%u.dll,SourceCabKey=File%u.dll,"
            "DestName=File%u.dll,Attributes=512,FileSize=4608,PerTick=65536,,VerifyMedia=1,,,,,CheckCRC=0,,,"
            "InstallMode=58982400,HashOptions=0,HashPart1=0,HashPart2=0,HashPart3=0,HashPart4=0,,)\r\n"
            "MSI (s) (A0:B4) [12:34:51:%03u]: File: C:\\Program Files\\Corrabel\\Velonar\\File%u.dll;\tTo be "
            "installed;\tWon't patch;\tNo existing file\r\n"
            "Property(S): Velonar%u = C:\\Program Files\\Corrabel\\Velonar\\\r\n"
            "Action ended 12:34:51: CostFinalize%u. Return value 1.\r\n",
            i % 1000, i, i, i, i % 1000, i % 1000, i, i, i, i % 1000, i, i, i);
        log.append(block, static_cast<std::size_t>(length));
    }
    return log + "Action start 12:34:52: InstallFinalize.\r\n" + tail;
}

// A file as Windows leaves it: the program's report, then the installer's part, both UTF-16 after one mark.
std::string Utf16File(const std::string& installerLog) {
    const std::string text = "03/14/26 12:34:50\r\nWindows 10.0.19045 SP0 \r\nUser: PC\\Dana\r\n" + installerLog;
    std::string file = "\xFF\xFE";
    file.reserve(2 + 2 * text.size());
    for (char c : text) {
        file += c;
        file += '\0';
    }
    return file;
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The whole file in one read, as the operation runner reads it.
std::string ReadOnce(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::string bytes(std::filesystem::file_size(path), '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

double Milliseconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

bool Measure(const char* form, const std::string& content, const std::wstring& failingAction) {
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "zid-log-diagnosis-bench.txt";
    WriteFile(path, content);
    double bestRead = 1e9;
    double bestDiagnosis = 1e9;
    bool found = true;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const std::string bytes = ReadOnce(path);
        const auto read = std::chrono::steady_clock::now();
        const InstallerDiagnosis diagnosis = DiagnoseInstallerLog(bytes, kFailureResult);
        const auto done = std::chrono::steady_clock::now();
        bestRead = std::min(bestRead, Milliseconds(read - start));
        bestDiagnosis = std::min(bestDiagnosis, Milliseconds(done - read));
        found = found && diagnosis.FailedAction == failingAction && diagnosis.CustomAction == kFailingAction;
    }
    std::filesystem::remove(path);
    const double megabytes = static_cast<double>(content.size()) / (1 << 20);
    std::printf("%-26s %6.1f MB  read %7.1f ms  diagnose %7.1f ms  (%6.0f MB/s)  %s\n", form, megabytes, bestRead,
                bestDiagnosis, megabytes / (bestDiagnosis / 1000), found ? "as expected" : "WRONG DIAGNOSIS");
    return found;
}

}  // namespace

int main() {
    const std::string ansi = InstallerLog(kLogBytes);
    const std::string utf16 = Utf16File(InstallerLog(kLogBytes / 2));
    const std::string cut = ansi.substr(0, ansi.rfind("Action ended 12:34:53: INSTALL."));
    const bool ansiRight = Measure("ANSI installer log", ansi, kFailingAction);
    const bool utf16Right = Measure("UTF-16 report and log", utf16, kFailingAction);
    const bool cutRight = Measure("ANSI, cut before its end", cut, L"");
    return ansiRight && utf16Right && cutRight ? 0 : 1;
}
