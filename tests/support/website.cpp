#include "support/website.h"

#include <sstream>

#include "support/test_util.h"

namespace {

std::string ReadText(const char* linuxPath) {
    return ReadFileBytes(WinePath(linuxPath));
}

}  // namespace

std::wstring WebsiteBase(const std::wstring& modes) {
    const std::string port = ReadText(ZID_WEBSITE_PORT_FILE);
    if (port.empty())
        return {};
    std::wstring base = L"http://127.0.0.1:";
    for (char c : port) {
        if (c >= '0' && c <= '9')
            base += static_cast<wchar_t>(c);
    }
    return base + L"/" + modes + L"/";
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

std::string PatternBytes(size_t count) {
    std::string bytes(count, '\0');
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    return bytes;
}
