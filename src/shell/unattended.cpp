#include "shell/unattended.h"

#include <cwchar>
#include <memory>

#include "log/installer_log.h"
#include "log/log_text.h"
#include "log/result_explanations.h"
#include "net/download_engine.h"
#include "operations/known_builds.h"
#include "operations/preflight.h"
#include "operations/unattended_prompt.h"
#include "releases/download_context.h"
#include "releases/release_lookup.h"
#include "shell/command_run.h"
#include "ui/owner_window.h"
#include "ui/progress_view.h"
#include "win/elevation.h"
#include "win/errors.h"
#include "win/file_io.h"
#include "win/handles.h"
#include "win/message_pump.h"

namespace zid {

namespace {

constexpr DWORD kDownloadSlice = 100;  // milliseconds between looks at a download without a window
// Windows Installer's basic interface with nothing to answer: progress only.
constexpr auto kPassiveUi = static_cast<INSTALLUILEVEL>(INSTALLUILEVEL_BASIC | INSTALLUILEVEL_PROGRESSONLY);

// Waits with the message pump alone: there is no window to disable.
class CPlainWaiter final : public IWaiter {
public:
    explicit CPlainWaiter(CMessagePump& pump) : m_pump(pump) {}
    void WaitForWorker(HANDLE thread) override { m_pump.RunUntilSignalled(thread); }
    bool WaitUntil(const std::function<bool()>& done, DWORD slice) override { return m_pump.RunUntil(done, slice); }

private:
    CMessagePump& m_pump;
};

// A download's progress with nothing shown: its end is read from the record it publishes.
class CSilentDownloadView final : public IDownloadView {
public:
    explicit CSilentDownloadView(CMessagePump& pump) : m_pump(pump) {}
    bool Show(const std::shared_ptr<DownloadProgress>& progress, const std::wstring&) override {
        m_progress = progress;
        return true;
    }
    HWND NotifyWindow() const override { return nullptr; }
    DownloadWait WaitForEnd(ULONGLONG deadline) override {
        const auto ended = [this] { return m_progress->Ended.load(std::memory_order_acquire); };
        m_pump.RunUntil([&] { return ended() || (deadline != kNoDeadline && GetTickCount64() >= deadline); },
                        kDownloadSlice);
        if (ended())
            return DownloadWait::Ended;
        return m_pump.Quit() ? DownloadWait::Closing : DownloadWait::TooLate;
    }
    void Hide() override { m_progress.reset(); }

private:
    CMessagePump& m_pump;
    std::shared_ptr<DownloadProgress> m_progress;
};

// The keys of /passive's progress dialog (Esc cancels, Tab moves) are the dialog manager's.
class CDialogKeys final : public IMessageFilter {
public:
    bool PreTranslate(MSG& msg) override {
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        return root && IsDialogMessageW(root, &msg);
    }
};

// The progress dialog of /passive has no main window to belong to.
class CNoOwner final : public IOwnerWindow {
public:
    HWND Window() const override { return nullptr; }
};

// The installed packages read from the registry as the This PC page reads them, without the page.
class CInventoryList final : public IInstalledPackages {
public:
    explicit CInventoryList(const PlatformFacts& platform) : m_platform(platform) {}
    const std::vector<InstalledPackage>& Records() const override { return m_records; }
    int Count32() const override { return m_count32; }
    int Count64() const override { return static_cast<int>(m_records.size()) - m_count32; }
    void Refresh() override {
        m_scan = {};
        m_count32 = ScanEveryView(m_platform.Win64, m_scan);
        m_records.clear();
        for (const InventoryEntry& entry : m_scan.Entries)
            m_records.push_back(entry.Record);
    }
    void PostRefresh() override { Refresh(); }
    const std::vector<InventoryEntry>& Entries() const { return m_scan.Entries; }

private:
    const PlatformFacts& m_platform;
    InventoryScan m_scan;
    std::vector<InstalledPackage> m_records;
    int m_count32 = 0;
};

std::wstring JsonString(const std::wstring& text) {
    std::wstring quoted = L"\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            quoted += L'\\';
            quoted += c;
        } else if (c < 0x20) {
            wchar_t escaped[8];
            swprintf(escaped, 8, L"\\u%04x", static_cast<unsigned>(c));
            quoted += escaped;
        } else {
            quoted += c;
        }
    }
    return quoted + L"\"";
}

std::wstring JsonOrNull(const std::wstring& text) {
    return text.empty() ? L"null" : JsonString(text);
}

}  // namespace

std::wstring PrepareLogFile(const std::wstring& given, IPrompt& prompt) {
    std::wstring path;
    DWORD error = FullPathName(given, path);
    if (!error) {
        DeleteFileW(path.c_str());
        error = WriteNewFile(path, "");
    }
    if (!error)
        return path;
    prompt.Tell(given + L": " + GetErrorPhrase(error) + L" The log goes to the temporary folder.", MB_ICONWARNING);
    return {};
}

std::wstring InstalledPackagesJson(const std::vector<InventoryEntry>& entries) {
    std::wstring json = L"[";
    for (size_t i = 0; i < entries.size(); ++i) {
        const InventoryEntry& entry = entries[i];
        const InstalledPackage& record = entry.Record;
        json += i == 0 ? L"\r\n  {" : L",\r\n  {";
        json += L"\"version\": " + JsonString(FormatVersion(record.Version));
        json += L", \"build\": " + JsonString(BuildLabel(record.Is64Bit));
        json += L", \"productCode\": " + JsonString(record.ProductCode);
        json += L", \"packageCode\": " + JsonOrNull(record.PackageCode);
        json += L", \"installDate\": " + JsonOrNull(entry.IsoDate);
        json += L", \"sizeKB\": " + (entry.Kilobytes ? std::to_wstring(*entry.Kilobytes) : std::wstring(L"null"));
        json += L", \"installLocation\": " + JsonOrNull(record.InstallLocation) + L"}";
    }
    return json + (entries.empty() ? L"]\r\n" : L"\r\n]\r\n");
}

int RunList(const PlatformFacts& platform) {
    CInventoryList installed(platform);
    installed.Refresh();
    WriteStandardOutput(InstalledPackagesJson(installed.Entries()));
    return 0;
}

void WriteStandardOutput(const std::wstring& text) {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    const bool inherited = output && output != INVALID_HANDLE_VALUE && GetFileType(output) != FILE_TYPE_UNKNOWN;
    UniqueFile console;
    if (!inherited) {
        // A program of the Windows subsystem started from a console gets no handles of it.
        static const bool attached = AttachConsole(ATTACH_PARENT_PROCESS) != FALSE;
        if (!attached)
            return;
        console.reset(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
        output = console.get();
        if (!console)
            return;
    }
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(output, &mode)) {
        WriteConsoleW(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const std::string bytes = EncodeUtf8(text);
    WriteFile(output, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

int RunUnattended(const CommandLine& command, const PlatformFacts& platform, CSettingsStore& settings,
                  IWindowsInstaller& installer) {
    const bool quiet = command.Mode == RunMode::Quiet;
    CUnattendedPrompt prompt;
    OperationOptions options;
    options.Logging = true;
    options.UnattendedUi = quiet ? INSTALLUILEVEL_NONE : kPassiveUi;
    if (!command.LogFile.empty())
        options.LogFile = PrepareLogFile(command.LogFile, prompt);

    // The engine is declared after the views: its session closes first.
    CDialogKeys keys;
    CMessagePump pump;
    pump.SetFilter(quiet ? nullptr : &keys);
    CPlainWaiter waiter(pump);
    CInventoryList installed(platform);
    CSilentDownloadView silent(pump);
    CNoOwner noOwner;
    CProgressView progress(platform, noOwner, pump, prompt);
    CVNInet engine;
    OperationContext operations{prompt, waiter, installer, options, settings, platform};
    const DownloadContext downloads{operations, engine, quiet ? static_cast<IDownloadView&>(silent) : progress};
    CWebsitePackageSource website(downloads);
    operations.Source = &website;
    if (const DWORD error = engine.Open(nullptr))
        prompt.Log(L"InternetOpen: " + GetErrorPhrase(error));

    CommandResult result;
    if (AnotherInstallationRuns()) {
        // Nothing is started while another installation runs; the caller retries.
        result = {ERROR_INSTALL_ALREADY_RUNNING, CommandTitle(command), L""};
    } else {
        result = RunCommand(command, operations, installed, website);
    }

    // What the log pane would have shown, after Windows Installer's log: the checks, the answers, why.
    if (!prompt.InstallerLog().empty())
        AppendLines(prompt.InstallerLog(), prompt.Lines());
    const DWORD code = result.Code.value_or(ERROR_INVALID_FUNCTION);  // 1: refused, or answered No
    std::wstring text = result.Text;
    if (text.empty())
        text = result.Code ? GetErrorPhrase(code)
                           : (prompt.LastNotice().empty() ? L"Nothing was run." : prompt.LastNotice());
    // Only what Windows Installer ran can have failed for want of rights.
    if (quiet && !prompt.InstallerLog().empty() && result.Text.empty() && IsFailedResult(static_cast<int>(code)) &&
        !IsElevated())
        text += L" The caller is not elevated: a quiet per-machine operation needs administrator rights.";
    std::wstring report = result.Title + L": " + std::to_wstring(code) + L" " + text + L"\r\n";
    if (!prompt.InstallerLog().empty())
        report += L"Log: " + prompt.InstallerLog() + L"\r\n";
    WriteStandardOutput(report);
    return static_cast<int>(code);
}

}  // namespace zid
