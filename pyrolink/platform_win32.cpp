// Clocks, sleeping and diagnostics on Windows.
#include "platform.h"

#include <windows.h>

namespace pyrolink {

void sleepMs(unsigned milliseconds) {
    Sleep(milliseconds);
}

std::uint32_t tickMs() {
    return GetTickCount();
}

std::uint64_t monotonicMs() {
    return GetTickCount64();
}

void showMessage(const char *caption, const char *text) {
    MessageBoxA(nullptr, text, caption, MB_OK);
}

} // namespace pyrolink
