// How the program talks to whoever runs it: the window's message boxes and log pane, a test's
// script, or fixed answers when nobody is there. The layers below the user interface ask, tell and
// log only through it.
#pragma once

#include <windows.h>

#include <string>

namespace zid {

// What a question is about: a run without a person answers each kind in one fixed way.
enum class QuestionKind {
    UntrustedPackage,         // the package is not the maker's verified one: install it anyway?
    DebugBuild,               // the package is a Debug build: install it anyway?
    ConflictingInstallation,  // uninstall the installed one of the same build first?
    AnotherInstallation,      // another installation is in progress: continue anyway?
    UnknownInstallation,      // Windows Installer does not know the installation: continue anyway?
    LeftoverEntry,            // remove the leftover entry of an unknown installation (uninstall, install)?
    LeftoverEntryOnRepair,    // the same, asked for a repair: nobody there means the entry stays
    NoPackageLeft,            // no package of the installation is left: continue anyway?
    FetchStandIn,             // download the same release from the website to work from?
};

struct Question {
    QuestionKind Kind;
    std::wstring Text;
    UINT Style;  // the buttons, icon and default button, as a message box's (MB_...)
};

class IPrompt {
public:
    // The answer to question: the button chosen (IDOK, IDCANCEL, IDYES, IDNO).
    virtual int Ask(const Question& question) = 0;
    // Tells text with style's icon (MB_ICONERROR, MB_ICONWARNING, ...); returns once it was seen.
    virtual void Tell(const std::wstring& text, UINT style) = 0;
    // Appends one line to the log pane; the time is put before it there.
    virtual void Log(const std::wstring& line) = 0;
    virtual void ClearLog() = 0;
    // Whether to keep the user settings of a product that is removed: IDOK with keep set, or IDCANCEL.
    virtual int AskUninstallOptions(bool& keep) = 0;
    // The operation's installer log at path (empty: none) is done: shown to its reader, offered to copy.
    virtual void ShowInstallerLog(const std::wstring& path) = 0;

protected:
    ~IPrompt() = default;
};

// Tells "context: detail" (the detail alone for an empty context).
void TellContext(IPrompt& prompt, const std::wstring& context, const std::wstring& detail, UINT style);

// Tells the text of a Win32, WinINet or HRESULT code after its context, with the error icon.
void TellError(IPrompt& prompt, const std::wstring& context, DWORD code);

}  // namespace zid
