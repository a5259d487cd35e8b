#include "app/timeleft.h"

QString timeLeftText(qint64 elapsedMs, qint64 done, qint64 total, qint64 minElapsedMs) {
    if (done <= 0 || elapsedMs < minElapsedMs) return QStringLiteral("-:--");
    const qint64 ms = elapsedMs * std::max<qint64>(total - done, 0) / done;
    const qint64 seconds = (ms + 999) / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
