#include "log/signer_report.h"

#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstring>
#include <cwchar>
#include <optional>
#include <string_view>

#include "win/handles.h"
#include "win/untrusted_text.h"

namespace zid {

namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

// Appends messages to the report; every LF becomes CR LF.
class ReportWriter {
public:
    explicit ReportWriter(std::wstring& report) : m_report(report) {}

    void Write(std::wstring_view text) {
        for (wchar_t c : text) {
            if (c == L'\n')
                m_report += L'\r';
            m_report += c;
        }
    }

    // "<step> failed with <error in lower-case hexadecimal>".
    void Failure(const wchar_t* step, DWORD error) {
        wchar_t code[16];
        swprintf(code, 16, L"%lx", static_cast<unsigned long>(error));
        Write(std::wstring(step) + L" failed with " + code + L"\n");
    }

private:
    std::wstring& m_report;
};

// The first attribute with this identifier that carries a value, or null.
const CRYPT_ATTRIBUTE* FindAttribute(const CRYPT_ATTRIBUTES& attributes, const char* oid) {
    for (DWORD i = 0; i < attributes.cAttr; ++i) {
        const CRYPT_ATTRIBUTE& attribute = attributes.rgAttr[i];
        if (attribute.pszObjId && std::strcmp(attribute.pszObjId, oid) == 0 && attribute.cValue > 0)
            return &attribute;
    }
    return nullptr;
}

// Decodes value as type into a zero-filled block; on failure writes why and returns no block.
zid::UniqueLocal Decode(ReportWriter& out, LPCSTR type, const CRYPT_ATTR_BLOB& value, const wchar_t* memoryMessage) {
    DWORD size = 0;
    if (!CryptDecodeObject(kEncoding, type, value.pbData, value.cbData, 0, nullptr, &size)) {
        out.Failure(L"CryptDecodeObject", GetLastError());
        return {};
    }
    zid::UniqueLocal block(LocalAlloc(LPTR, size));
    if (!block) {
        out.Write(memoryMessage);
        return {};
    }
    if (!CryptDecodeObject(kEncoding, type, value.pbData, value.cbData, 0, block.get(), &size)) {
        out.Failure(L"CryptDecodeObject", GetLastError());
        return {};
    }
    return block;
}

// The signer information of the message's first signer, or no block after writing why.
zid::UniqueLocal ReadSignerInfo(ReportWriter& out, HCRYPTMSG message) {
    DWORD size = 0;
    if (!CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size)) {
        out.Failure(L"CryptMsgGetParam", GetLastError());
        return {};
    }
    zid::UniqueLocal block(LocalAlloc(LPTR, size));
    if (!block) {
        out.Write(L"Unable to allocate memory for Signer Info.\n");
        return {};
    }
    if (!CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, 0, block.get(), &size)) {
        out.Failure(L"CryptMsgGetParam", GetLastError());
        return {};
    }
    return block;
}

// The text of a URL or file link; a moniker or a missing link has none.
std::optional<std::wstring> LinkText(const SPC_LINK* link) {
    if (!link)
        return std::nullopt;
    if (link->dwLinkChoice == SPC_URL_LINK_CHOICE && link->pwszUrl)
        return std::wstring(link->pwszUrl);
    if (link->dwLinkChoice == SPC_FILE_LINK_CHOICE && link->pwszFile)
        return std::wstring(link->pwszFile);
    return std::nullopt;
}

void WritePublisherInfo(ReportWriter& out, const CMSG_SIGNER_INFO& signer) {
    const CRYPT_ATTRIBUTE* attribute = FindAttribute(signer.AuthAttrs, SPC_SP_OPUS_INFO_OBJID);
    if (!attribute)
        return;
    zid::UniqueLocal block =
        Decode(out, SPC_SP_OPUS_INFO_OBJID, attribute->rgValue[0], L"Unable to allocate memory for Publisher Info.\n");
    if (!block)
        return;
    const auto* info = static_cast<const SPC_SP_OPUS_INFO*>(block.get());
    if (info->pwszProgramName)
        out.Write(L"Program Name : " + ShownText(info->pwszProgramName) + L"\n");
    if (auto link = LinkText(info->pPublisherInfo))
        out.Write(L"Publisher Link : " + ShownText(*link) + L"\n");
    if (auto link = LinkText(info->pMoreInfo))
        out.Write(L"MoreInfo Link : " + ShownText(*link) + L"\n");
}

zid::UniqueCertContext FindCertificate(HCERTSTORE store, const CERT_NAME_BLOB& issuer,
                                       const CRYPT_INTEGER_BLOB& serialNumber) {
    CERT_INFO wanted{};
    wanted.Issuer = issuer;
    wanted.SerialNumber = serialNumber;
    return zid::UniqueCertContext(
        CertFindCertificateInStore(store, kEncoding, 0, CERT_FIND_SUBJECT_CERT, &wanted, nullptr));
}

// The issuer's (CERT_NAME_ISSUER_FLAG) or subject's (0) display name; false after writing why.
bool ReadName(ReportWriter& out, PCCERT_CONTEXT certificate, DWORD flags, const wchar_t* memoryMessage,
              std::wstring& name) {
    DWORD length = CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, flags, nullptr, nullptr, 0);
    if (length == 0) {
        out.Write(L"CertGetNameString failed.\n");
        return false;
    }
    zid::UniqueLocal buffer(LocalAlloc(LPTR, length * sizeof(wchar_t)));
    if (!buffer) {
        out.Write(memoryMessage);
        return false;
    }
    auto* text = static_cast<wchar_t*>(buffer.get());
    if (CertGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, flags, nullptr, text, length) == 0) {
        out.Write(L"CertGetNameString failed.\n");
        return false;
    }
    // Whoever made the certificate chose the name: it must not forge lines of the log.
    name = ShownText(std::wstring_view(text, wcsnlen(text, length)));
    return true;
}

// Serial number (most significant byte first), issuer and subject; a failure ends the description.
void DescribeCertificate(ReportWriter& out, PCCERT_CONTEXT certificate, std::wstring* subjectName) {
    // CryptoAPI keeps the serial number least significant byte first.
    const CRYPT_INTEGER_BLOB& serial = certificate->pCertInfo->SerialNumber;
    std::wstring line = L"Serial Number: ";
    for (DWORD i = serial.cbData; i > 0; --i) {
        wchar_t digits[4];
        swprintf(digits, 4, L"%02x ", serial.pbData[i - 1]);
        line += digits;
    }
    out.Write(line + L"\n");

    std::wstring issuer;
    if (!ReadName(out, certificate, CERT_NAME_ISSUER_FLAG, L"Unable to allocate memory for issuer name.\n", issuer))
        return;
    out.Write(L"Issuer Name: " + issuer + L"\n");

    std::wstring subject;
    if (!ReadName(out, certificate, 0, L"Unable to allocate memory for subject name.\n", subject))
        return;
    out.Write(L"Subject Name: " + subject + L"\n");
    if (subjectName)
        *subjectName = subject;
}

// The counter-signer's signing time in local time; a missing attribute gives none silently.
std::optional<SYSTEMTIME> ReadSigningTime(ReportWriter& out, const CMSG_SIGNER_INFO& counterSigner) {
    const CRYPT_ATTRIBUTE* attribute = FindAttribute(counterSigner.AuthAttrs, szOID_RSA_signingTime);
    if (!attribute)
        return std::nullopt;
    FILETIME stamped{};
    DWORD size = sizeof(stamped);
    if (!CryptDecodeObject(kEncoding, szOID_RSA_signingTime, attribute->rgValue[0].pbData, attribute->rgValue[0].cbData,
                           0, &stamped, &size)) {
        out.Failure(L"CryptDecodeObject", GetLastError());
        return std::nullopt;
    }
    FILETIME local{};
    SYSTEMTIME time{};
    if (!FileTimeToLocalFileTime(&stamped, &local) || !FileTimeToSystemTime(&local, &time))
        return std::nullopt;
    return time;
}

void WriteTimeStamp(ReportWriter& out, HCERTSTORE store, const CMSG_SIGNER_INFO& signer) {
    const CRYPT_ATTRIBUTE* attribute = FindAttribute(signer.UnauthAttrs, szOID_RSA_counterSign);
    if (!attribute)
        return;
    zid::UniqueLocal block =
        Decode(out, PKCS7_SIGNER_INFO, attribute->rgValue[0], L"Unable to allocate memory for timestamp info.\n");
    if (!block)
        return;
    const auto* counterSigner = static_cast<const CMSG_SIGNER_INFO*>(block.get());
    zid::UniqueCertContext certificate = FindCertificate(store, counterSigner->Issuer, counterSigner->SerialNumber);
    if (!certificate) {
        out.Failure(L"CertFindCertificateInStore", GetLastError());
        return;
    }
    out.Write(L"TimeStamp Certificate:\n\n");
    DescribeCertificate(out, certificate.get(), nullptr);
    out.Write(L"\n");
    if (auto time = ReadSigningTime(out, *counterSigner)) {
        wchar_t line[64];
        swprintf(line, 64, L"Date of TimeStamp : %02d/%02d/%04d %02d:%02d\n", time->wMonth, time->wDay, time->wYear,
                 time->wHour, time->wMinute);
        out.Write(line);
    }
    out.Write(L"\n");
}

}  // namespace

void GetSignerReport(const std::wstring& path, std::wstring& report, std::wstring* signerName) {
    ReportWriter out(report);
    // The whole path is queried: a shortened one would name another file, or none.
    DWORD encoding = 0;
    DWORD contentType = 0;
    DWORD formatType = 0;
    zid::UniqueCertStore store;
    zid::UniqueCryptMsg message;
    if (!CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                          CERT_QUERY_FORMAT_FLAG_BINARY, 0, &encoding, &contentType, &formatType, store.put(),
                          message.put(), nullptr)) {
        out.Failure(L"CryptQueryObject", GetLastError());
        return;
    }

    zid::UniqueLocal signerBlock = ReadSignerInfo(out, message.get());
    if (!signerBlock)
        return;
    const auto& signer = *static_cast<const CMSG_SIGNER_INFO*>(signerBlock.get());

    WritePublisherInfo(out, signer);
    out.Write(L"\n");

    zid::UniqueCertContext certificate = FindCertificate(store.get(), signer.Issuer, signer.SerialNumber);
    if (!certificate) {
        out.Failure(L"CertFindCertificateInStore", GetLastError());
        return;
    }
    out.Write(L"Signer Certificate:\n\n");
    DescribeCertificate(out, certificate.get(), signerName);
    out.Write(L"\n");

    WriteTimeStamp(out, store.get(), signer);
}

}  // namespace zid
