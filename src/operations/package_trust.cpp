#include "operations/package_trust.h"

#include "win/untrusted_text.h"

namespace zid {

std::wstring SignerPhrase(const SignatureCheck& check) {
    if (check.Publisher.empty())
        return L"a certificate that names no organisation";
    return L"\"" + ShownValue(check.Publisher) + L"\"";
}

std::wstring NotTheMakersSignature(const SignatureCheck& check) {
    if (!check.Verified)
        return check.Text;
    if (check.Publisher == kProductMaker)
        return {};
    return L"The file is signed by " + SignerPhrase(check) + L", not by " + kProductMaker + L", the maker of Velonar.";
}

}  // namespace zid
