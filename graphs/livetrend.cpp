#include "graphs/livetrend.h"

#include "graphs/seriestable.h"

#include <algorithm>

namespace graphs {
namespace {

// A full group gives up this fraction of its rows at once, so that the rows move rarely.
constexpr qsizetype kDropFraction = 8;

} // namespace

LiveTrend::LiveTrend(RecordedModel model, const std::vector<int> &groupOfColumn, qint64 origin,
                     qsizetype capacity)
    : m_model(model), m_origin(origin), m_capacity(std::max<qsizetype>(capacity, kDropFraction)) {
    const auto defs = seriesDefs(model);
    const int groups =
        groupOfColumn.empty() ? 0 : *std::max_element(groupOfColumn.begin(), groupOfColumn.end()) + 1;
    std::vector<std::vector<SeriesKind>> kinds(std::size_t(std::max(groups, 0)));
    for (std::size_t c = 0; c < groupOfColumn.size() && c < defs.size(); ++c) {
        auto &group = kinds[std::size_t(groupOfColumn[c])];
        m_place.push_back({groupOfColumn[c], int(group.size())});
        group.push_back(defs[c].kind);
    }
    for (auto &group : kinds)
        m_groups.push_back(std::shared_ptr<Recording>(new Recording(model, std::move(group), m_capacity)));
}

void LiveTrend::addRow(int group, qint64 time, const QStringList &values) {
    Recording &recording = mutableGroup(group);
    if (recording.size() > 0) time = std::max(time, recording.time(recording.size() - 1));
    if (recording.size() >= m_capacity) recording.dropFront(m_capacity / kDropFraction);
    recording.appendRow(time, values);
    advanceTo(time);
    ++m_revision;
}

void LiveTrend::append(int group, qint64 time, const QStringList &values) {
    if (group < 0 || group >= groupCount()) return;
    addRow(group, time, values);
}

void LiveTrend::breakGroup(int group, qint64 time) {
    if (group < 0 || group >= groupCount()) return;
    const Recording &recording = *m_groups[std::size_t(group)];
    const qsizetype last = recording.size() - 1;
    if (last < 0) return;
    for (int c = 0; c < recording.columnCount(); ++c)
        if (recording.present(c, last)) {
            addRow(group, time, {});
            return;
        }
}

void LiveTrend::breakAll(qint64 time) {
    for (int g = 0; g < groupCount(); ++g)
        breakGroup(g, time);
}

void LiveTrend::advanceTo(qint64 time) {
    if (m_end && time <= *m_end) return;
    m_end = time;
    ++m_revision;
}

std::optional<qint64> LiveTrend::start() const {
    std::optional<qint64> first;
    for (const auto &group : m_groups)
        if (group->size() > 0) first = std::min(first.value_or(group->time(0)), group->time(0));
    return first;
}

std::size_t LiveTrend::bytes() const {
    std::size_t total = 0;
    for (const auto &group : m_groups)
        total += group->bytes();
    return total;
}

} // namespace graphs
