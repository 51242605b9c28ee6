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

// The installed record a repair or uninstall acts on, or the program's own code with its reason.
std::optional<InstalledPackage> ChooseRecord(const CommandLine& command, IInstalledPackages& installed,
                                             CommandResult& refusal) {
    installed.Refresh();
    const InstalledPackage* chosen = nullptr;
    bool both = false;
    for (const InstalledPackage& record : installed.Records()) {
        if (command.Is64Bit && record.Is64Bit != *command.Is64Bit)
            continue;
        if (chosen && chosen->Is64Bit != record.Is64Bit)
            both = true;
        if (!chosen || (chosen->Is64Bit == record.Is64Bit && CompareVersions(record.Version, chosen->Version) > 0))
            chosen = &record;
    }
    const wchar_t* name = command.Action == CommandAction::Repair ? L"/repair" : L"/uninstall";
    if (both) {
        refusal = {
            ERROR_INVALID_COMMAND_LINE, refusal.Title,
            std::wstring(L"Both builds of Velonar are installed: name one, ") + name + L" 32 or " + name + L" 64."};
        return std::nullopt;
    }
    if (!chosen) {
        refusal = {ERROR_UNKNOWN_PRODUCT, refusal.Title,
                   command.Is64Bit ? std::wstring(L"No ") + BuildLabel(*command.Is64Bit) + L" Velonar is installed."
                                   : L"No Velonar is installed."};
        return std::nullopt;
    }
    return *chosen;
}

CommandResult RepairOrUninstall(const CommandLine& command, const OperationContext& context,
                                IInstalledPackages& installed) {
    const bool repair = command.Action == CommandAction::Repair;
    OperationRequest request;
    request.Command = repair ? OperationCommand::Repair : OperationCommand::Uninstall;
    CommandResult result{std::nullopt, CommandTitle(command), L""};
    if (command.Is64Bit)
        result.Title += std::wstring(L" (") + BuildLabel(*command.Is64Bit) + L")";
    std::optional<InstalledPackage> record = ChooseRecord(command, installed, result);
    if (!record)
        return result;
    request.Package = *record;
    result.Title = ProductTitle(request);
    result.Code = repair ? RunOperation(request, context) : RunUninstall(context, *record, std::nullopt, installed);
    return result;
}

// The build of an update that names none: the installed one's, else the system's.
bool UpdateBuild(const CommandLine& command, const OperationContext& context, IInstalledPackages& installed) {
    if (command.Is64Bit)
        return *command.Is64Bit;
    installed.Refresh();
    int builds = 0;
    bool is64Bit = context.Platform.Win64;
    for (bool build : {false, true}) {
        for (const InstalledPackage& record : installed.Records()) {
            if (record.Is64Bit == build) {
                ++builds;
                is64Bit = build;
                break;
            }
        }
    }
    return builds == 1 ? is64Bit : context.Platform.Win64;
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
