// Where the product website is.
#pragma once

#include <string>

// The product website's base address, ending with "/"; ZIDEZUREZIV_WEBSITE may replace it (staging).
std::wstring GetWebsiteBase();
