// Clocks, sleeping and diagnostics on POSIX systems.
#include "platform.h"

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace pyrolink {

void sleepMs(unsigned milliseconds) {
    timespec left{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

std::uint64_t monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec / 1000000);
}

std::uint32_t tickMs() {
    return static_cast<std::uint32_t>(monotonicMs());
}

// There is no message box on a POSIX system without a window: one line on standard error
// ("caption: text") carries the same information to whoever started the program.
void showMessage(const char *caption, const char *text) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
}

} // namespace pyrolink
