// The reference parsers of the HTML benchmark, behind one small interface so
// that their C headers stay out of the benchmark's own code.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Parses `page` (UTF-8) into a lexbor document and releases it again.
void LexborParse(const std::string& page);

// The elements the website reader looks at (tr, th, td, a) in document order,
// each as "tag|href|leading text" with the text widened to code units; the
// benchmark compares this with the same digest of our tree.
std::vector<std::wstring> LexborDigest(const std::string& page);

// The website reader's conversion, UTF-8 to UTF-16 (valid input assumed); both benchmarks'.
std::wstring WidenUtf8(std::string_view utf8);
