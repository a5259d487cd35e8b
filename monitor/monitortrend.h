// The debug page's live trend: the recorded values of every monitor triplet at the moment it arrives,
// one group of columns per monitor index, as the graph viewer draws a recording. Nothing is carried
// forward: a value that did not arrive is missing, and a line breaks wherever a value is missing.
//
// The polling thread reads the indexes in turn; a cycle ends when the indexes wrap around. An index
// that a cycle did not bring breaks its line there. A board that stops answering sends nothing at all,
// so time decides as well: the polling gives up an index only after more than a second and a half of
// waits, and a silence longer than two such failures breaks every line (a whole round of failed
// indexes would look like no failure to the cycles). Leaving the page (the polling stops) breaks every
// line as well.
#pragma once

#include "board/stovemodel.h"
#include "graphs/livetrend.h"
#include "monitor/monitorvalues.h"

#include <QElapsedTimer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class MonitorTrend {
public:
    // Milliseconds of the wall clock (its local date and time counted as if it were UTC, as the
    // recordings' stamps are).
    using Clock = std::function<qint64()>;

    // Longer than the waits of two monitor reads that fail all their attempts (1575 ms each): a
    // silence this long breaks every line.
    static constexpr qint64 kSilenceMs = 3200;

    // Without a clock: the wall clock at construction plus the time elapsed since, which never goes
    // back.
    explicit MonitorTrend(Clock clock = {});
    MonitorTrend(const MonitorTrend &) = delete;
    MonitorTrend &operator=(const MonitorTrend &) = delete;

    // A new, empty trend of the model's values (none for an unknown model).
    void start(StoveModel model);
    StoveModel model() const { return m_model; }
    const graphs::LiveTrend *trend() const { return m_trend.get(); }

    // A triplet of monitor index `index` as decoded for the page.
    void add(int index, const DecodedTriplet &decoded);
    // The polling stops (the page is left), and starts again: the lines break.
    void pause();
    void resume();
    bool isRunning() const { return m_running; }
    // While running, moves the trend's time on to now and breaks every line after a silence; called
    // regularly.
    void tick();
    qint64 now() const { return m_clock(); }

    // Rows kept per index: a day of polling at the fastest cycle (every index at its shortest wait).
    static qsizetype capacityFor(StoveModel model);

private:
    void endCycle(qint64 time);

    Clock m_clock;
    QElapsedTimer m_elapsed;
    StoveModel m_model = StoveModel::Unknown;
    std::unique_ptr<graphs::LiveTrend> m_trend;
    // The index's place in the trend: each recorded field's column and group.
    std::vector<std::vector<std::pair<MonitorField, int>>> m_columnsOfIndex;
    bool m_running = true;
    std::vector<bool> m_seen; // indexes that arrived in the cycle going on
    int m_lastIndex = 0;
    std::optional<qint64> m_lastArrival;
    bool m_silenceBroken = false;
};
