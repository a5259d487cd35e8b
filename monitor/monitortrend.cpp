#include "monitor/monitortrend.h"

#include <QDateTime>

#include <algorithm>

namespace {

constexpr qint64 kDayMs = 24LL * 60 * 60 * 1000;
constexpr qint64 kSecondMs = 1000;
// The shortest wait of a monitor read (its first attempt): no index is read faster.
constexpr qint64 kFastestReadMs = 75;

qint64 wallClockMs() {
    const QDateTime now = QDateTime::currentDateTime();
    return now.toMSecsSinceEpoch() + qint64(now.offsetFromUtc()) * kSecondMs;
}

} // namespace

MonitorTrend::MonitorTrend(Clock clock) : m_clock(std::move(clock)) {
    if (!m_clock) {
        m_elapsed.start();
        m_clock = [start = wallClockMs(), this] { return start + m_elapsed.elapsed(); };
    }
}

qsizetype MonitorTrend::capacityFor(StoveModel model) {
    const int indexes = monitorIndexCount(model);
    return indexes > 0 ? qsizetype(kDayMs / (indexes * kFastestReadMs)) : 0;
}

void MonitorTrend::start(StoveModel model) {
    m_model = model;
    m_trend.reset();
    m_columnsOfIndex.clear();
    m_seen.clear();
    m_lastIndex = 0;
    m_lastArrival.reset();
    m_silenceBroken = false;
    const int indexes = monitorIndexCount(model);
    if (indexes == 0) return;
    // Which index brings which column: the fields of each index's decoding, in the columns'
    // order of a recording line.
    const QList<MonitorFieldDef> columns = recordedFields(model);
    std::vector<int> groupOfColumn(std::size_t(columns.size()), 0);
    m_columnsOfIndex.resize(std::size_t(indexes));
    for (int index = 1; index <= indexes; ++index) {
        const std::optional<DecodedTriplet> decoded = decodeTriplet(model, index, 0, 0, 0, false);
        for (const RecordedItem &item : decoded->recorded) {
            const auto column = std::find_if(columns.begin(), columns.end(),
                                             [&](const MonitorFieldDef &d) { return d.field == item.field; });
            const int c = int(column - columns.begin());
            groupOfColumn[std::size_t(c)] = index - 1;
            m_columnsOfIndex[std::size_t(index - 1)].emplace_back(item.field, c);
        }
    }
    m_seen.assign(std::size_t(indexes), false);
    // The axis starts at the whole second.
    const qint64 origin = m_clock() / kSecondMs * kSecondMs;
    m_trend = std::make_unique<graphs::LiveTrend>(graphs::RecordedModel(int(model)), groupOfColumn, origin,
                                                  capacityFor(model));
    m_trend->advanceTo(m_clock());
}

void MonitorTrend::endCycle(qint64 time) {
    for (std::size_t i = 0; i < m_seen.size(); ++i)
        if (!m_seen[i]) m_trend->breakGroup(int(i), time);
    std::fill(m_seen.begin(), m_seen.end(), false);
}

void MonitorTrend::add(int index, const DecodedTriplet &decoded) {
    if (m_trend == nullptr || index < 1 || index > int(m_columnsOfIndex.size())) return;
    const qint64 time = m_clock();
    if (m_lastArrival && time - *m_lastArrival > kSilenceMs && !m_silenceBroken) {
        m_trend->breakAll(time);
        std::fill(m_seen.begin(), m_seen.end(), false);
        m_lastIndex = 0;
    } else if (m_lastIndex != 0 && index <= m_lastIndex) {
        endCycle(time);
    }
    // Each value in its own column; a field the index does not bring stays missing.
    const auto &columns = m_columnsOfIndex[std::size_t(index - 1)];
    QStringList values(qsizetype(columns.size()));
    for (const RecordedItem &item : decoded.recorded)
        for (std::size_t k = 0; k < columns.size(); ++k)
            if (columns[k].first == item.field) values[qsizetype(k)] = item.text;
    m_trend->append(index - 1, time, values);
    m_seen[std::size_t(index - 1)] = true;
    m_lastIndex = index;
    m_lastArrival = time;
    m_silenceBroken = false;
}

void MonitorTrend::pause() {
    if (m_trend != nullptr) m_trend->breakAll(m_clock());
    m_running = false;
    m_lastIndex = 0;
    m_lastArrival.reset();
    std::fill(m_seen.begin(), m_seen.end(), false);
}

void MonitorTrend::resume() {
    m_running = true;
    if (m_trend != nullptr) m_trend->advanceTo(m_clock());
}

void MonitorTrend::tick() {
    if (!m_running || m_trend == nullptr) return;
    const qint64 time = m_clock();
    m_trend->advanceTo(time);
    if (m_lastArrival && time - *m_lastArrival > kSilenceMs && !m_silenceBroken) {
        m_trend->breakAll(time);
        std::fill(m_seen.begin(), m_seen.end(), false);
        m_lastIndex = 0;
        m_silenceBroken = true;
    }
}
