// Reading the release catalogue's pages into the website page's list.
#pragma once

#include <string>

namespace zid {

class CHtmlParser;
class ICatalogueView;

// A page body (UTF-8) as UTF-16, up to its first zero byte.
std::wstring PageText(const std::string& body);

// "Velonar 5.70" from a link text like "Velonar 5.70 for Windows": from "Velonar " through the digits
// and dots after it. False when the text has no "Velonar ".
bool PackageNameOf(const std::wstring& linkText, std::wstring& name);

// Download.htm: inserts the current release of the checked build as row 0 ("Current release") and
// fits the columns. False, adding nothing, when an element it needs is missing.
bool ReadCurrentRelease(const CHtmlParser& parser, ICatalogueView& page);

// Archive.htm: appends a row per data row of the checked build's table (a first row of "th" cells is
// the header) and a link per first-cell link, then fits the columns. False when the table is missing.
bool ReadArchive(const CHtmlParser& parser, ICatalogueView& page);

}  // namespace zid
