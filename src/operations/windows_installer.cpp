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
    INSTALLSTATE QueryProductState(const wchar_t* product) override { return MsiQueryProductStateW(product); }
    std::wstring GetProductInfo(const wchar_t* product, const wchar_t* property) override {
        DWORD length = 0;
        wchar_t probe[1] = L"";
        const UINT result = MsiGetProductInfoW(product, property, probe, &length);
        if (result != ERROR_SUCCESS && result != ERROR_MORE_DATA)
            return {};
        std::wstring value(static_cast<size_t>(length) + 1, L'\0');
        DWORD capacity = length + 1;
        if (MsiGetProductInfoW(product, property, value.data(), &capacity) != ERROR_SUCCESS)
            return {};
        value.resize(capacity);
        return value;
    }
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
