// Whose package a file is: only the product maker's signed packages are installed without a
// question, and a package from the website is installed only when it is the maker's.
#pragma once

#include <string>

#include "packages/signature.h"

namespace zid {

// The organisation (O=) that Velonar's maker's signing certificate names.
inline constexpr wchar_t kProductMaker[] = L"Corrabel";

// Who signed a verified package, for a sentence: "\"Mallory\"" (shown safely), or "a certificate that
// names no organisation".
std::wstring SignerPhrase(const SignatureCheck& check);

// Empty when check shows a verified signature of the maker; else why not, as one sentence: the
// verification's own sentence, or who signed it in the maker's place.
std::wstring NotTheMakersSignature(const SignatureCheck& check);

}  // namespace zid
