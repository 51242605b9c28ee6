// The Windows Installer calls that operations and their checks make, behind one interface: the
// program hands msi.dll's down, tests a scripted installer for results the real one rarely gives.
#pragma once

#include <windows.h>
#include <msi.h>

#include <string>

namespace zid {

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
    // MsiQueryProductState.
    virtual INSTALLSTATE QueryProductState(const wchar_t* product) = 0;
    // MsiGetProductInfo, whole whatever its length; empty when the product or property is unknown.
    virtual std::wstring GetProductInfo(const wchar_t* product, const wchar_t* property) = 0;

protected:
    ~IWindowsInstaller() = default;
};

// msi.dll's.
class CMsiInstaller final : public IWindowsInstaller {
public:
    void EnableLog(DWORD mode, const wchar_t* path, DWORD attributes) override;
    void SetInternalUi(INSTALLUILEVEL level) override;
    UINT InstallProduct(const wchar_t* package, const wchar_t* commandLine) override;
    UINT ConfigureProduct(const wchar_t* product, int level, INSTALLSTATE state, const wchar_t* commandLine) override;
    UINT ReinstallProduct(const wchar_t* product, DWORD mode) override;
    INSTALLSTATE QueryProductState(const wchar_t* product) override;
    std::wstring GetProductInfo(const wchar_t* product, const wchar_t* property) override;
};

}  // namespace zid
