// Where the product website is.
#pragma once

#include <string>

namespace zid {

// The product website's base address, "https://" + its host + "/". ZIDEZUREZIV_WEBSITE may replace it
// (staging) with an address that IsAcceptedWebsiteBase takes.
std::wstring GetWebsiteBase();

// True for a base address ending with "/" that is either "https://" with a host, or plain "http://"
// to this machine (127.x.x.x, localhost, [::1]), where nobody on the network can change what comes.
bool IsAcceptedWebsiteBase(const std::wstring& base);

}  // namespace zid
