#include "win/message_box.h"

namespace {
MessageBoxAnswerer& Answerer() {
    static MessageBoxAnswerer answerer;
    return answerer;
}
}  // namespace

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style) {
    if (const auto& answerer = Answerer())
        return answerer(owner, text, caption, style);
    return MessageBoxW(owner, text.c_str(), caption.c_str(), style);
}

void SetMessageBoxAnswerer(MessageBoxAnswerer answerer) {
    Answerer() = std::move(answerer);
}
