// Live values as the graph viewer draws them: the columns of a model's recordings, filled row by row
// while they arrive. Columns that arrive together form a group with its own times (in milliseconds),
// so that every value lies at the time it was read. A value that did not arrive is missing, and a
// break ends a group's line: the next row is not joined to the one before. Each group keeps at most
// a given number of rows; the oldest go first.
#pragma once

#include "graphs/recording.h"

#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace graphs {

class LiveTrend {
public:
    // `groupOfColumn[c]` is the group (0, 1, ...) of value column c of the model's recordings;
    // `origin` (milliseconds) is where the time axis starts; each group keeps up to `capacity` rows.
    LiveTrend(RecordedModel model, const std::vector<int> &groupOfColumn, qint64 origin, qsizetype capacity);

    RecordedModel model() const { return m_model; }
    int columnCount() const { return int(m_place.size()); }
    int groupCount() const { return int(m_groups.size()); }
    qint64 origin() const { return m_origin; }
    qsizetype capacity() const { return m_capacity; }

    // The recording of a group, and where a value column lies: its group and its column there.
    std::shared_ptr<const Recording> group(int g) const { return m_groups[std::size_t(g)]; }
    int groupOf(int column) const { return m_place[std::size_t(column)].group; }
    int columnInGroup(int column) const { return m_place[std::size_t(column)].column; }

    // Appends a row to a group at `time`: one text per column of the group, in column order, empty
    // for a value missing. Times of a group never go back: an earlier time is taken as the last.
    void append(int group, qint64 time, const QStringList &values);
    // Ends a group's line (a row with every value missing), unless it has no row or ends already.
    void breakGroup(int group, qint64 time);
    void breakAll(qint64 time);
    // The time the trend has reached: its newest row, or a later moment while nothing arrived.
    void advanceTo(qint64 time);
    std::optional<qint64> end() const { return m_end; }
    // The oldest row of any group.
    std::optional<qint64> start() const;
    // Changes with every row, break and advance.
    quint64 revision() const { return m_revision; }

    // Bytes held for the rows, the room reserved for them included.
    std::size_t bytes() const;

private:
    struct Place {
        int group;
        int column;
    };
    Recording &mutableGroup(int g) { return *m_groups[std::size_t(g)]; }
    void addRow(int group, qint64 time, const QStringList &values);

    RecordedModel m_model;
    qint64 m_origin;
    qsizetype m_capacity;
    std::vector<Place> m_place;
    std::vector<std::shared_ptr<Recording>> m_groups;
    std::optional<qint64> m_end;
    quint64 m_revision = 0;
};

} // namespace graphs
