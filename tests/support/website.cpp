#include "support/website.h"

#include <windows.h>
#include <wincrypt.h>

#include <sstream>
#include <vector>

#include "support/test_util.h"

namespace zid {

namespace {

std::string ReadText(const char* linuxPath) {
    return ReadFileBytes(WinePath(linuxPath));
}

// The index-th decimal number of a text ("37207 37449"), empty when there is none.
std::wstring NumberAt(const std::string& text, size_t index) {
    std::istringstream numbers(text);
    std::string number;
    for (size_t i = 0; i <= index; ++i) {
        if (!(numbers >> number))
            return {};
    }
    return std::wstring(number.begin(), number.end());
}

// The website's authority among the local machine's trusted roots, as an administrator would add it.
void TrustTestAuthority() {
    static const bool trusted = [] {
        const std::string pem = ReadText(ZID_BINARY_DIR "/fixtures/tls-ca.pem");
        DWORD size = 0;
        if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER, nullptr,
                                  &size, nullptr, nullptr))
            return false;
        std::vector<BYTE> der(size);
        if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER, der.data(),
                                  &size, nullptr, nullptr))
            return false;
        HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
        if (!root)
            return false;
        const BOOL added = CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der.data(), size,
                                                            CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
        CertCloseStore(root, 0);
        return added != FALSE;
    }();
    EXPECT_TRUE(trusted) << "the test authority could not be added to the trusted roots";
}

std::wstring TlsBase(size_t listener, const std::wstring& modes) {
    const std::wstring port = NumberAt(ReadText(ZID_WEBSITE_PORT_FILE ".tls"), listener);
    if (port.empty())
        return {};
    TrustTestAuthority();
    return L"https://localhost:" + port + L"/" + modes + L"/";
}

}  // namespace

std::wstring WebsiteBase(const std::wstring& modes) {
    const std::wstring port = NumberAt(ReadText(ZID_WEBSITE_PORT_FILE), 0);
    if (port.empty())
        return {};
    return L"http://127.0.0.1:" + port + L"/" + modes + L"/";
}

std::wstring SecureWebsiteBase(const std::wstring& modes) {
    return TlsBase(0, modes);
}

std::wstring UntrustedWebsiteBase(const std::wstring& modes) {
    return TlsBase(1, modes);
}

std::vector<std::string> WebsiteRequests() {
    std::vector<std::string> lines;
    std::istringstream log(ReadText(ZID_WEBSITE_REQUEST_LOG));
    for (std::string line; std::getline(log, line);)
        lines.push_back(line);
    return lines;
}

std::string LastWebsiteRequest(const std::string& path) {
    std::string last;
    for (const std::string& line : WebsiteRequests()) {
        if (line.compare(0, path.size() + 1, path + " ") == 0)
            last = line;
    }
    return last;
}

size_t CountWebsiteRequests(const std::string& path) {
    size_t count = 0;
    for (const std::string& line : WebsiteRequests()) {
        if (line.compare(0, path.size() + 1, path + " ") == 0)
            ++count;
    }
    return count;
}

std::string PatternBytes(size_t count, int renewal) {
    std::string bytes(count, '\0');
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<char>((i * 7 + 3 + renewal) & 0xFF);
    return bytes;
}

}  // namespace zid
