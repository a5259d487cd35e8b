// How long a job still needs, at the rate it has had so far.
#pragma once

#include <QString>

// "m:ss" of the time left for `total` units when `done` took `elapsedMs`; "-:--" while nothing is
// done yet or less than `minElapsedMs` has passed (too early for the rate to say anything).
QString timeLeftText(qint64 elapsedMs, qint64 done, qint64 total, qint64 minElapsedMs = 0);
