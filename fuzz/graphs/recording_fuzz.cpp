// Feeds arbitrary bytes to the recording-file readers, and their lines' fields to the live trend's
// rows, and checks that what they build holds together: one value per column and line, lines in time
// order, text boundaries and ranges that agree with the values, and drawing geometry within its
// window.
#include "graphs/livetrend.h"
#include "graphs/plotgeometry.h"
#include "graphs/recording.h"

#include <QBuffer>

#include <cmath>
#include <cstdlib>

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

void checkRecording(const graphs::Recording &r, qsizetype maxRows) {
    check(r.size() <= maxRows);
    check(std::is_sorted(r.times().begin(), r.times().end()));
    for (int c = 0; c < r.columnCount(); ++c) {
        for (qsizetype j = 0; j < r.size(); ++j)
            check(r.present(c, j) == !r.text(c, j).isEmpty());
        if (r.kind(c) == graphs::SeriesKind::Text) {
            const auto &bounds = r.boundaries(c);
            check(r.size() == 0 || (bounds.front() == 0 && bounds.back() == quint32(r.size() - 1)));
            check(std::is_sorted(bounds.begin(), bounds.end()));
            continue;
        }
        // A value missing (an empty field) reads as NaN and is left out of the ranges.
        const std::vector<float> &numbers = r.numbers(c);
        check(qsizetype(numbers.size()) == r.size());
        bool anyPresent = false;
        for (qsizetype j = 0; j < r.size(); ++j) {
            const float v = numbers[std::size_t(j)];
            check(std::isnan(v) ? !r.present(c, j) : r.present(c, j) && std::isfinite(v));
            anyPresent = anyPresent || r.present(c, j);
        }
        if (r.size() > 0) {
            const auto [low, high] = r.ranges(c).query(numbers, 0, r.size());
            check(anyPresent ? low == r.minimum(c) && high == r.maximum(c)
                             : low > high && r.minimum(c) == 0 && r.maximum(c) == 0);
        }
    }
    if (r.size() < 2) return;
    // Draw column 0 the way the viewer does, whole and in a window.
    const graphs::TimeScale scale(r.time(0), std::max<qint64>(1, r.time(1) - r.time(0)), graphs::kStep);
    std::vector<QPointF> points;
    graphs::ColumnIndex index;
    for (double zoom : {1e-6, 1.0, 64.0}) {
        const graphs::ColumnWindow window{100, 900};
        graphs::seriesPolyline(r, 0, scale, {zoom, -50}, {-1, 400}, graphs::Shape::Step, window,
                               graphs::Drawing::Reduced, index, points);
        // Breaks only between points, never two in a row.
        check(points.empty() || (!graphs::isBreak(points.front()) && !graphs::isBreak(points.back())));
        for (std::size_t k = 0; k < points.size(); ++k) {
            const QPointF &p = points[k];
            if (graphs::isBreak(p)) {
                check(!graphs::isBreak(points[k - 1]));
                continue;
            }
            check(p.x() >= window.left - (1 << 22) - 1 && p.x() <= window.right + (1 << 22) + 1);
        }
        std::vector<graphs::Tick> ticks;
        graphs::axisTicks(scale, r.size(), {zoom, -50}, window, 45, 65, graphs::Drawing::Reduced, ticks);
        check(ticks.size() < 4000);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    QByteArray content(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&content);
    buffer.open(QIODevice::ReadOnly);
    if (const std::optional<QString> name = graphs::findModelName(buffer))
        check(name->size() <= graphs::kMaxLineBytes && !name->contains(QLatin1Char(';')));
    for (auto model :
         {graphs::RecordedModel::Basic, graphs::RecordedModel::Water, graphs::RecordedModel::AirDucted}) {
        buffer.seek(0);
        const std::optional<graphs::Recording> recording = graphs::readRecording(buffer, model);
        check(recording.has_value());
        check(recording->columnCount() == graphs::valueColumnCount(model));
        checkRecording(*recording, content.size() / 20); // a data line has a stamp and a separator
    }
    buffer.seek(0);
    const graphs::IntervalReading interval = graphs::readRecordingInterval(buffer);
    check(!interval.seconds || interval.first);
    // Read as a file being written: to the end of its last complete line.
    const qint64 end = graphs::completeLinesEnd(buffer);
    check(end >= 0 && end <= content.size() && (end == 0 || content[end - 1] == '\n') &&
          !content.sliced(end).contains('\n'));
    const graphs::IntervalReading written = graphs::readRecordingInterval(buffer, end);
    check(!written.seconds || written.first);

    // Each line's fields as the values of a live row of all WATER columns, in a trend of 16 rows.
    const int columns = graphs::valueColumnCount(graphs::RecordedModel::Water);
    graphs::LiveTrend live(graphs::RecordedModel::Water, std::vector<int>(std::size_t(columns), 0), 0, 16);
    qint64 time = 0;
    for (const QByteArray &line : content.split('\n')) {
        QStringList values;
        for (const QByteArray &field : line.split(';'))
            values.append(QString::fromUtf8(field));
        time += line.size() % 3 == 0 ? 1000 : -1; // a time that goes back is taken as the last
        live.append(0, time, values);
    }
    checkRecording(*live.group(0), 16);
    return 0;
}
