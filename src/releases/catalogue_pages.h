// The two pages of the product website that list the releases.
#pragma once

#include <string>

// Address of catalogue page 0 ("Download.htm") or 1 ("Archive.htm").
const std::wstring& CataloguePageUrl(int index);

// Puts the website base address in front of both page names; called once at start-up.
void MakeCataloguePagesAbsolute();
