// Compact text form of a parsed tree, so tests can state a whole shape at once.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "html/html_parser.h"

namespace zid {

// Parses `text` with a fresh parser.
std::unique_ptr<CHtmlParser> ParsePage(const wchar_t* text);

// One element and its subtree: the tag ("#" for an anonymous element), then
// its m_text in quotes when not empty, then its children in parentheses,
// separated by spaces. Example: body(p"a"(br #"b")). Iterative, so it
// works on any depth.
std::wstring Dump(const CHtmlElement* element);

// Dump of the parser's root, or "(none)" without one.
std::wstring DumpRoot(const CHtmlParser& parser);

// Readable test failures: the text with anything but printable ASCII escaped.
void PrintTo(const CHtmlString& text, std::ostream* out);

// The children of an element in order.
std::vector<const CHtmlElement*> Children(const CHtmlElement* element);

}  // namespace zid
