#include "operations/runner.h"

namespace {
std::wstring& LastPath() {
    static std::wstring path;
    return path;
}
}  // namespace

const std::wstring& LastLogPath() {
    return LastPath();
}

void SetLastLogPath(std::wstring path) {
    LastPath() = std::move(path);
}
