#include "operations/windows_installer.h"

namespace {

class CMsiInstaller final : public IWindowsInstaller {
public:
    void EnableLog(DWORD mode, const wchar_t* path, DWORD attributes) override {
        MsiEnableLogW(mode, path, attributes);
    }
    void SetInternalUi(INSTALLUILEVEL level) override { MsiSetInternalUI(level, nullptr); }
    UINT InstallProduct(const wchar_t* package, const wchar_t* commandLine) override {
        return MsiInstallProductW(package, commandLine);
    }
    UINT ConfigureProduct(const wchar_t* product, int level, INSTALLSTATE state, const wchar_t* commandLine) override {
        if (commandLine)
            return MsiConfigureProductExW(product, level, state, commandLine);
        return MsiConfigureProductW(product, level, state);
    }
    UINT ReinstallProduct(const wchar_t* product, DWORD mode) override { return MsiReinstallProductW(product, mode); }
};

CMsiInstaller g_msi;
IWindowsInstaller* g_installer = &g_msi;

}  // namespace

IWindowsInstaller& WindowsInstaller() {
    return *g_installer;
}

void SetWindowsInstaller(IWindowsInstaller* replacement) {
    g_installer = replacement ? replacement : &g_msi;
}
