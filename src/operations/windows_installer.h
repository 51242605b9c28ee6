// The Windows Installer calls that operations make, behind one replaceable object: tests put a
// scripted installer in its place for results the real one rarely gives.
#pragma once

#include <windows.h>
#include <msi.h>

class IWindowsInstaller {
public:
    // MsiEnableLog; path null: no log file.
    virtual void EnableLog(DWORD mode, const wchar_t* path, DWORD attributes) = 0;
    // MsiSetInternalUI with no owner window.
    virtual void SetInternalUi(INSTALLUILEVEL level) = 0;
    // MsiInstallProduct.
    virtual UINT InstallProduct(const wchar_t* package, const wchar_t* commandLine) = 0;
    // MsiConfigureProductEx when commandLine is not null, else MsiConfigureProduct.
    virtual UINT ConfigureProduct(const wchar_t* product, int level, INSTALLSTATE state,
                                  const wchar_t* commandLine) = 0;
    // MsiReinstallProduct.
    virtual UINT ReinstallProduct(const wchar_t* product, DWORD mode) = 0;

protected:
    ~IWindowsInstaller() = default;
};

// The installer that operations use: msi.dll unless replaced.
IWindowsInstaller& WindowsInstaller();

// Puts replacement in the place of msi.dll (null: msi.dll again). Not while an operation runs.
void SetWindowsInstaller(IWindowsInstaller* replacement);
