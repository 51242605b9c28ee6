#include "win/message_box.h"

#include <utility>

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

MessageBoxAnswerer SetMessageBoxAnswerer(MessageBoxAnswerer answerer) {
    return std::exchange(Answerer(), std::move(answerer));
}
