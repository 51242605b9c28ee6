#include "operations/leftover_entry.h"

#include "log/installer_log.h"
#include "operations/runner.h"
#include "packages/inventory.h"
#include "win/elevation.h"
#include "win/errors.h"
#include "win/handles.h"
#include "win/registry.h"
#include "win/registry_export.h"
#include "win/untrusted_text.h"

namespace zid {

namespace {

constexpr wchar_t kBackupEnding[] = L"-entry.reg";

REGSAM ViewOf(bool is64Bit) {
    // On 32-bit Windows the flag is ignored: its one view is the one scanned.
    return is64Bit ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
}

std::wstring EntryPath(const std::wstring& productCode) {
    return std::wstring(kUninstallKey) + L"\\" + productCode;
}

// "Uninstall 5.46 (64 bit)": the record as the operation's lines name it.
std::wstring TitleOf(const InstalledPackage& record, OperationCommand command) {
    OperationRequest request;
    request.Command = command;
    request.Package = record;
    return OperationTitle(request);
}

std::wstring QuestionText(const InstalledPackage& record, bool repair) {
    return L"Windows Installer does not know this installation of Velonar (" + ShownValue(record.ProductCode) +
           L"): only its entry in Programs and Features is left, and " + (repair ? L"a repair" : L"an uninstall") +
           L" cannot work.\r\n\r\nRemove the leftover entry from Programs and Features?\r\n\r\nA backup of it is "
           L"saved first; Registry Editor can bring the entry back from it.";
}

// Writes the backup of the entry to a new VNI-...-entry.reg; 0 (path set) or the error.
DWORD WriteBackup(const InstalledPackage& record, bool win64, std::wstring& path) {
    CRegKey entry;
    if (LSTATUS status =
            entry.OpenKey(HKEY_LOCAL_MACHINE, EntryPath(record.ProductCode).c_str(), KEY_READ | ViewOf(record.Is64Bit)))
        return static_cast<DWORD>(status);
    std::wstring body;
    if (LSTATUS status = ExportRegistryKey(entry.get(), EntryKeyName(record.ProductCode, record.Is64Bit, win64), body))
        return static_cast<DWORD>(status);
    UniqueFile file;
    const std::wstring created = CreateLogFile(&file, kBackupEnding);
    if (created.empty())
        return ERROR_CANNOT_MAKE;
    if (const DWORD error = WriteRegFile(file.get(), body)) {
        file.reset();
        DeleteFileW(created.c_str());
        return error;
    }
    path = created;
    return ERROR_SUCCESS;
}

// The removal as this program run elevated does it: its exit code. started is false when it did not
// run (the rights refused), and the result is then why.
DWORD RemoveElevated(const InstalledPackage& record, IWaiter& waiter, bool& started) {
    const std::wstring parameters =
        std::wstring(kRemoveLeftoverSwitch) + (record.Is64Bit ? L" 64 " : L" 32 ") + record.ProductCode;
    UniqueHandle process;
    started = false;
    if (const DWORD error = StartElevated(parameters, process))
        return error;
    started = true;
    waiter.WaitForWorker(process.get());
    DWORD code = 0;
    if (!GetExitCodeProcess(process.get(), &code))
        return GetLastError();
    return code;
}

}  // namespace

bool IsLeftoverEntry(const InstalledPackage& record, IWindowsInstaller& installer) {
    return IsBracedGuid(record.ProductCode) &&
           installer.QueryProductState(record.ProductCode.c_str()) == INSTALLSTATE_UNKNOWN;
}

std::wstring EntryKeyName(const std::wstring& productCode, bool is64Bit, bool win64) {
    std::wstring path = kUninstallKey;
    if (win64 && !is64Bit)
        path.insert(std::wstring_view(L"SOFTWARE\\").size(), L"Wow6432Node\\");
    return L"HKEY_LOCAL_MACHINE\\" + path + L"\\" + productCode;
}

DWORD RemoveLeftoverKey(const std::wstring& productCode, bool is64Bit, IWindowsInstaller& installer) {
    // The name is all that the elevated step is told: one braced GUID, so the key is exactly one entry.
    if (!IsBracedGuid(productCode))
        return kNotAProductCode;
    const REGSAM view = ViewOf(is64Bit);
    CRegKey uninstall;
    if (LSTATUS status = uninstall.OpenKey(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_READ | view))
        return static_cast<DWORD>(status);
    // Opened for deleting first: without the rights nothing is looked at, and the caller elevates.
    CRegKey entry;
    if (LSTATUS status = entry.OpenKey(uninstall.get(), productCode.c_str(), KEY_READ | DELETE | view))
        return static_cast<DWORD>(status);
    if (!IsProductEntry(entry.get()))
        return kNotVelonar;
    if (installer.QueryProductState(productCode.c_str()) != INSTALLSTATE_UNKNOWN)
        return kKnownToInstaller;
    return static_cast<DWORD>(RegDeleteTreeW(uninstall.get(), productCode.c_str()));
}

std::wstring LeftoverRefusalText(DWORD result) {
    switch (result) {
    case kNotAProductCode:
        return L"Its name is not a product code.";
    case kNotVelonar:
        return L"It is not an entry of Velonar.";
    case kKnownToInstaller:
        return L"Windows Installer knows this installation.";
    case ERROR_FILE_NOT_FOUND:
        return L"The entry is no longer there.";
    default:
        return GetErrorPhrase(result);
    }
}

LeftoverOutcome OfferLeftoverRemoval(const OperationContext& context, const InstalledPackage& record,
                                     OperationCommand command, IInstalledPackages& installed) {
    IPrompt& prompt = context.Prompt;
    const bool repair = command == OperationCommand::Repair;
    const std::wstring prefix = TitleOf(record, command) + L": ";
    prompt.Log(L"Check: Windows Installer does not know this installation (" + ShownValue(record.ProductCode) +
               L"): only its entry in Programs and Features is left. Removing that entry, after a backup, is "
               L"offered.");
    // Nobody there to ask: an uninstall wants the installation gone, a repair wants it kept.
    int answer = repair ? IDNO : IDYES;
    if (!context.Options.BasicUi)
        answer = prompt.Ask({repair ? QuestionKind::LeftoverEntryOnRepair : QuestionKind::LeftoverEntry,
                             QuestionText(record, repair), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2});
    if (answer != IDYES) {
        prompt.Log(prefix + L"Leftover entry kept");
        return LeftoverOutcome::Kept;
    }

    const std::wstring shownKey = ShownText(EntryKeyName(record.ProductCode, record.Is64Bit, context.Platform.Win64));
    const auto fail = [&](const std::wstring& line, const std::wstring& text) {
        prompt.Log(prefix + line);
        TellContext(prompt, shownKey, text, MB_ICONERROR);
        return LeftoverOutcome::Failed;
    };
    std::wstring backup;
    if (const DWORD error = WriteBackup(record, context.Platform.Win64, backup))
        return fail(L"Leftover entry not removed",
                    L"No backup of the entry could be written, so it was not removed: " + LeftoverRefusalText(error));
    DWORD result = RemoveLeftoverKey(record.ProductCode, record.Is64Bit, context.Installer);
    if (result == ERROR_ACCESS_DENIED) {
        prompt.Log(prefix + L"Removing the leftover entry needs administrator rights");
        bool started = false;
        result = RemoveElevated(record, context.Waiter, started);
        if (!started) {
            // Nothing was removed, so the backup of it would only mislead.
            DeleteFileW(backup.c_str());
            return fail(L"Leftover entry not removed: administrator rights refused",
                        L"The entry was not removed: administrator rights were refused (" + GetErrorPhrase(result) +
                            L"). Nothing was changed.");
        }
    }
    if (result != ERROR_SUCCESS)
        return fail(L"Leftover entry not removed", L"The entry was not removed: " + LeftoverRefusalText(result) +
                                                       L"\r\n\r\nIts backup: " + ShownText(backup));
    prompt.Log(prefix + L"Removed the leftover entry " + shownKey +
               L" from Programs and Features. Its backup, which Registry Editor imports to bring it back: " +
               ShownText(backup));
    installed.PostRefresh();
    return LeftoverOutcome::Removed;
}

}  // namespace zid
