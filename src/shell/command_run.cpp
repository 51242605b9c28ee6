#include "shell/command_run.h"

#include "operations/install_flow.h"
#include "operations/known_builds.h"
#include "operations/runner.h"
#include "operations/uninstall.h"
#include "packages/inventory.h"
#include "win/file_io.h"
#include "win/untrusted_text.h"

namespace zid {

namespace {

// "Repair 5.45.3 (64 bit)" as "Repair Velonar 5.45.3 (64 bit)".
std::wstring ProductTitle(const OperationRequest& request) {
    const std::wstring title = OperationTitle(request);
    const size_t verb = title.find(L' ');
    if (verb == std::wstring::npos)
        return title + L" Velonar";
    return title.substr(0, verb) + L" Velonar" + title.substr(verb);
}

std::wstring PackageTitle(const std::wstring& path) {
    OperationRequest request;
    request.Command = OperationCommand::Install;
    request.PackagePath = path;
    return ProductTitle(request);
}

CommandResult InstallFile(const std::wstring& given, const OperationContext& context, IInstalledPackages& installed,
                          PackageOrigin origin) {
    // Made absolute before anything else: the recent list keeps it, and a relative path would later
    // name a file of whatever folder is current then.
    std::wstring path;
    if (const DWORD error = FullPathName(given, path)) {
        TellError(context.Prompt, ShownText(given), error);
        return {std::nullopt, L"Install Velonar", L""};
    }
    const std::wstring title = PackageTitle(path);
    return {InstallPackage(context, path, installed, origin), title, L""};
}

CommandResult RepairOrUninstall(const CommandLine& command, const OperationContext& context,
                                IInstalledPackages& installed) {
    const bool repair = command.Action == CommandAction::Repair;
    OperationRequest request;
    request.Command = repair ? OperationCommand::Repair : OperationCommand::Uninstall;
    CommandResult result{std::nullopt, CommandTitle(command), L""};
    if (command.Is64Bit)
        result.Title += std::wstring(L" (") + BuildLabel(*command.Is64Bit) + L")";
    installed.Refresh();
    DWORD refusal = 0;
    const InstalledPackage* chosen = ChooseInstalled(installed.Records(), command.Is64Bit, refusal);
    if (!chosen) {
        const std::wstring name = repair ? L"/repair" : L"/uninstall";
        result.Code = refusal;
        result.Text = refusal == ERROR_INVALID_COMMAND_LINE
                          ? L"Both builds of Velonar are installed: name one, " + name + L" 32 or " + name + L" 64."
                      : command.Is64Bit
                          ? std::wstring(L"No ") + BuildLabel(*command.Is64Bit) + L" Velonar is installed."
                          : L"No Velonar is installed.";
        return result;
    }
    const InstalledPackage record = *chosen;  // the list is rescanned while the operation runs
    request.Package = record;
    result.Title = ProductTitle(request);
    result.Code = repair ? RunOperation(request, context) : RunUninstall(context, record, std::nullopt, installed);
    return result;
}

// The build of an update that names none: the installed one's, else the system's.
bool UpdateBuild(const CommandLine& command, const OperationContext& context, IInstalledPackages& installed) {
    if (command.Is64Bit)
        return *command.Is64Bit;
    installed.Refresh();
    DWORD refusal = 0;
    const InstalledPackage* only = ChooseInstalled(installed.Records(), std::nullopt, refusal);
    return only ? only->Is64Bit : context.Platform.Win64;
}

CommandResult Update(const CommandLine& command, const OperationContext& context, IInstalledPackages& installed,
                     CWebsitePackageSource& website) {
    const bool is64Bit = UpdateBuild(command, context, installed);
    CommandResult result{std::nullopt, std::wstring(L"Update Velonar (") + BuildLabel(is64Bit) + L")", L""};
    const PackageOffer offer = website.FindCurrent(is64Bit);
    if (offer.Url.empty()) {
        context.Prompt.Tell(offer.Problem, MB_ICONERROR);
        return result;
    }
    context.Prompt.Log(L"Update: the product website's current release is " + ShownText(offer.Url));
    const std::wstring saved = website.Download(offer.Url);
    if (saved.empty())
        return result;
    return InstallFile(saved, context, installed, PackageOrigin::Website);
}

}  // namespace

const InstalledPackage* ChooseInstalled(const std::vector<InstalledPackage>& records, std::optional<bool> is64Bit,
                                        DWORD& refusal) {
    const InstalledPackage* chosen = nullptr;
    for (const InstalledPackage& record : records) {
        if (is64Bit && record.Is64Bit != *is64Bit)
            continue;
        if (chosen && chosen->Is64Bit != record.Is64Bit) {
            refusal = ERROR_INVALID_COMMAND_LINE;
            return nullptr;
        }
        if (!chosen || CompareVersions(record.Version, chosen->Version) > 0)
            chosen = &record;
    }
    if (!chosen)
        refusal = ERROR_UNKNOWN_PRODUCT;
    return chosen;
}

std::wstring CommandTitle(const CommandLine& command) {
    switch (command.Action) {
    case CommandAction::Repair:
        return L"Repair Velonar";
    case CommandAction::Uninstall:
        return L"Uninstall Velonar";
    case CommandAction::Update:
        return L"Update Velonar";
    default:
        return L"Install Velonar";
    }
}

CommandResult RunCommand(const CommandLine& command, const OperationContext& context, IInstalledPackages& installed,
                         CWebsitePackageSource& website) {
    switch (command.Action) {
    case CommandAction::Package:
        return InstallFile(command.Package, context, installed, PackageOrigin::ChosenFile);
    case CommandAction::Repair:
    case CommandAction::Uninstall:
        return RepairOrUninstall(command, context, installed);
    case CommandAction::Update:
        return Update(command, context, installed, website);
    default:
        return {ERROR_INVALID_COMMAND_LINE, L"", L"Not an operation."};
    }
}

}  // namespace zid
