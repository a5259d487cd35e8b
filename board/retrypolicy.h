// How often a board transaction is tried and how long each attempt waits for its reply.
#pragma once

// Attempts t = first..last, attempt t waiting base + step * t milliseconds; the caller stops at the
// first success. Every retry rule of the program is one of these.
struct RetryPolicy {
    int first;
    int last;
    int base;
    int step;
    constexpr int wait(int t) const { return base + step * t; }
    constexpr int attempts() const { return last - first + 1; }
};
