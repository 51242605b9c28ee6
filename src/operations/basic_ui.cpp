#include "operations/basic_ui.h"

#include <atomic>

namespace {
std::atomic<bool> g_basicUi{false};
}

bool IsBasicUiMode() {
    return g_basicUi.load();
}

void SetBasicUiMode(bool on) {
    g_basicUi.store(on);
}
