#include "operations/windows_installer.h"

namespace zid {

void CMsiInstaller::EnableLog(DWORD mode, const wchar_t* path, DWORD attributes) {
    MsiEnableLogW(mode, path, attributes);
}

void CMsiInstaller::SetInternalUi(INSTALLUILEVEL level) {
    MsiSetInternalUI(level, nullptr);
}

UINT CMsiInstaller::InstallProduct(const wchar_t* package, const wchar_t* commandLine) {
    return MsiInstallProductW(package, commandLine);
}

UINT CMsiInstaller::ConfigureProduct(const wchar_t* product, int level, INSTALLSTATE state,
                                     const wchar_t* commandLine) {
    if (commandLine)
        return MsiConfigureProductExW(product, level, state, commandLine);
    return MsiConfigureProductW(product, level, state);
}

UINT CMsiInstaller::ReinstallProduct(const wchar_t* product, DWORD mode) {
    return MsiReinstallProductW(product, mode);
}

INSTALLSTATE CMsiInstaller::QueryProductState(const wchar_t* product) {
    return MsiQueryProductStateW(product);
}

std::wstring CMsiInstaller::GetProductInfo(const wchar_t* product, const wchar_t* property) {
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

}  // namespace zid
