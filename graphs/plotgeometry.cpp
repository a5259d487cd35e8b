#include "graphs/plotgeometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace graphs {
namespace {

// Points further outside the window than this are moved along their segment to this distance, so
// that the rasterizer never sees the far coordinates of a deep zoom (it works to about 2^23).
constexpr double kFarPixels = 1 << 22;
constexpr qint64 kPixelLimit = qint64(1) << 52;
// Least room between two labels, and between two tick marks.
constexpr double kLabelGap = 8;
constexpr double kMarkGap = 4;
constexpr qint64 kDay = 86400;

qint64 floorMod(qint64 a, qint64 b) {
    const qint64 r = a % b;
    return r < 0 ? r + b : r;
}

qint64 floorDiv(qint64 a, qint64 b) {
    return (a - floorMod(a, b)) / b;
}

// First index in [from, to) whose pixel column `columnOf(index)` is at or right of `pixel`; the
// columns do not decrease with the index.
template <typename ColumnOf>
qsizetype firstReaching(qsizetype from, qsizetype to, qint64 pixel, const ColumnOf &columnOf) {
    while (from < to) {
        const qsizetype middle = from + (to - from) / 2;
        if (columnOf(middle) < pixel)
            from = middle + 1;
        else
            to = middle;
    }
    return from;
}

// The pixel column of each sample; never decreasing with the index.
class SamplePixels {
public:
    SamplePixels(const Recording &recording, const TimeScale &scale, AxisMap map)
        : m_times(recording.times()), m_scale(scale), m_map(map) {}
    qint64 operator()(qsizetype j) const { return m_map.pixel(double(m_scale.x(m_times[std::size_t(j)]))); }
    // First index in [from, to) whose column is at least `pixel`: the first scene x of that column
    // turned into a time, then looked for from `from` on in growing steps, so that the search stays
    // in memory near `from` when columns are visited in order.
    qsizetype firstAtOrAfter(qsizetype from, qsizetype to, qint64 pixel) const {
        if (from >= to) return from;
        if (!(m_map.scale > 0)) return bisect(from, to, pixel);
        const qint64 lowest = m_scale.x(m_times[std::size_t(from)]), highest = m_scale.x(m_times.back());
        if (m_map.pixel(double(lowest)) >= pixel) return from;
        if (m_map.pixel(double(highest)) < pixel) return to;
        // The least scene x in [lowest, highest] whose column is at least `pixel`; the estimate is
        // corrected against the exact column function.
        const double estimate = std::ceil((double(pixel) - m_map.offset) / m_map.scale);
        qint64 x = qint64(std::clamp(estimate, double(lowest), double(highest)));
        for (int step = 0; x > lowest && m_map.pixel(double(x - 1)) >= pixel; ++step, --x)
            if (step == kMaxCorrection) return bisect(from, to, pixel);
        for (int step = 0; m_map.pixel(double(x)) < pixel; ++step, ++x)
            if (step == kMaxCorrection) return bisect(from, to, pixel);
        // x(t) = (t - start) x step / interval truncated reaches x from this time on.
        const qint64 time =
            m_scale.start() + (x <= 0 ? 0 : (x * m_scale.interval() + m_scale.step() - 1) / m_scale.step());
        qsizetype below = from, step = 1; // m_times[below] < time
        while (below + step < to && m_times[std::size_t(below + step)] < time) {
            below += step;
            step *= 2;
        }
        const auto first = m_times.begin() + below + 1, last = m_times.begin() + std::min(below + step, to);
        return qsizetype(std::lower_bound(first, last, time) - m_times.begin());
    }

private:
    static constexpr int kMaxCorrection = 4;

    qsizetype bisect(qsizetype from, qsizetype to, qint64 pixel) const {
        return firstReaching(from, to, pixel, *this);
    }

    const std::vector<qint64> &m_times;
    const TimeScale &m_scale;
    AxisMap m_map;
};

qint64 leftPixel(ColumnWindow window) {
    return qint64(std::floor(std::clamp(window.left, -double(kPixelLimit), double(kPixelLimit))));
}

qint64 rightPixel(ColumnWindow window) {
    return qint64(std::ceil(std::clamp(window.right, -double(kPixelLimit), double(kPixelLimit))));
}

void addPoint(std::vector<QPointF> &out, QPointF point) {
    if (out.empty() || out.back() != point) out.push_back(point);
}

// Ends the polyline's run: the next point starts a new one.
void addBreak(std::vector<QPointF> &out) {
    if (!out.empty() && !isBreak(out.back())) out.push_back(kBreak);
}

bool present(const std::vector<float> &values, qsizetype j) {
    return !std::isnan(values[std::size_t(j)]);
}

// Moves `far` towards `near` until it is at x = limit.
QPointF pulledIn(QPointF far, QPointF near, double limit) {
    const double t = (limit - near.x()) / (far.x() - near.x());
    return {limit, near.y() + t * (far.y() - near.y())};
}

// Durations, in seconds, whose multiples are round times of the day (or days, or weeks).
constexpr qint64 kRoundPeriods[] = {1,   2,    5,    10,   15,    30,    60,    120,   300,    600,
                                    900, 1800, 3600, 7200, 10800, 21600, 43200, 86400, 172800, 604800};

bool isRound(qint64 period) {
    return std::find(std::begin(kRoundPeriods), std::end(kRoundPeriods), period) != std::end(kRoundPeriods);
}

// The periods, in seconds, at which ticks may be marked or labelled: round durations that are
// multiples of the interval, and 1, 2, 5, 10, 20, 50 ... intervals. Ascending.
std::vector<qint64> candidatePeriods(qint64 interval, qint64 span) {
    std::vector<qint64> periods;
    for (qint64 period : kRoundPeriods)
        if (period % interval == 0) periods.push_back(period);
    for (qint64 multiple = 1; multiple / 10 * interval <= span; multiple *= 10)
        for (qint64 factor : {1, 2, 5})
            periods.push_back(multiple * factor * interval);
    std::sort(periods.begin(), periods.end());
    periods.erase(std::unique(periods.begin(), periods.end()), periods.end());
    return periods;
}

// The shortest candidate period whose ticks are at least `room` pixels apart and that divides
// `multipleOf` (0: any).
qint64 periodFor(const std::vector<qint64> &periods, qint64 interval, double pixelsPerTick, double room,
                 qint64 multipleOf) {
    for (qint64 period : periods)
        if (double(period / interval) * pixelsPerTick >= room &&
            (multipleOf == 0 || multipleOf % period == 0))
            return period;
    return multipleOf != 0 ? multipleOf : periods.back();
}

// First tick index of a period's grid. Round periods fall on round times (start + i x interval =
// start mod interval, mod period); other periods count from the first tick.
qint64 phaseOf(qint64 start, qint64 interval, qint64 period) {
    if (!isRound(period)) return 0;
    const qint64 ticks = period / interval;
    return floorMod(-(floorMod(start, period) / interval), ticks);
}

} // namespace

qint64 AxisMap::pixel(double scene) const {
    return qint64(std::floor(std::clamp(device(scene), -double(kPixelLimit), double(kPixelLimit))));
}

const std::vector<qsizetype> &ColumnIndex::starts(const Recording &recording, const TimeScale &scale,
                                                  AxisMap map, ColumnWindow window) {
    const qint64 left = leftPixel(window), right = rightPixel(window);
    qint64 key[8] = {
        scale.start(), scale.interval(), scale.step(), left, right, 0, 0, qint64(recording.revision())};
    std::memcpy(&key[5], &map.scale, sizeof(double));
    std::memcpy(&key[6], &map.offset, sizeof(double));
    if (m_recording == &recording && std::equal(std::begin(key), std::end(key), std::begin(m_key)))
        return m_starts;
    m_recording = &recording;
    std::copy(std::begin(key), std::end(key), std::begin(m_key));
    const SamplePixels pixel(recording, scale, map);
    const qsizetype n = recording.size();
    m_starts.assign(std::size_t(std::max<qint64>(right - left, 0) + 1), n);
    qsizetype from = 0;
    for (qint64 c = left; c <= right; ++c)
        m_starts[std::size_t(c - left)] = from = pixel.firstAtOrAfter(from, n, c);
    return m_starts;
}

void seriesPolyline(const Recording &recording, int column, const TimeScale &scale, AxisMap map,
                    ValueMap value, Shape shape, ColumnWindow window, Drawing drawing, ColumnIndex &index,
                    std::vector<QPointF> &out) {
    out.clear();
    const qsizetype n = recording.size();
    if (n == 0) return;
    const std::vector<float> &values = recording.numbers(column);
    const SamplePixels pixel(recording, scale, map);
    // Two samples are joined only when both are present: a missing value leaves a gap.
    const auto joined = [&](qsizetype j) { return j > 0 && present(values, j - 1) && present(values, j); };

    if (drawing == Drawing::Full) {
        for (qsizetype j = 0; j < n; ++j) {
            if (!present(values, j)) {
                addBreak(out);
                continue;
            }
            const double y = value.y(values[std::size_t(j)]);
            if (shape == Shape::Step && joined(j) && values[std::size_t(j)] != values[std::size_t(j - 1)])
                addPoint(out, {double(pixel(j - 1)), y});
            addPoint(out, {double(pixel(j)), y});
        }
        if (!out.empty() && isBreak(out.back())) out.pop_back();
        return;
    }

    // Samples [from, to) share column c. A step line also reaches, at c, the value of sample to.
    // Within a column the points are joined whatever lies between them (they share their x, so the
    // column's pixels are the same); between columns the line breaks where the full drawing would.
    const auto addColumn = [&](qint64 c, qsizetype from, qsizetype to) {
        const qsizetype lastValue = shape == Shape::Step && to < n && joined(to) ? to : to - 1;
        const auto [low, high] = recording.ranges(column).query(values, from, lastValue + 1);
        if (!(low <= high)) return; // nothing present: the break comes with the next column
        if (!joined(from)) addBreak(out);
        qsizetype first = from, last = lastValue;
        while (!present(values, first))
            ++first;
        while (!present(values, last))
            --last;
        const float firstY = values[std::size_t(first)];
        const float lastY = values[std::size_t(last)];
        const double x = double(c);
        addPoint(out, {x, value.y(firstY)});
        // The far extreme first, so that no part of the column is drawn twice.
        addPoint(out, {x, value.y(lastY >= firstY ? low : high)});
        addPoint(out, {x, value.y(lastY >= firstY ? high : low)});
        addPoint(out, {x, value.y(lastY)});
    };
    // The samples in the window column by column, and one on each side for the segments that
    // enter and leave it.
    const std::vector<qsizetype> &starts = index.starts(recording, scale, map, window);
    const qint64 left = leftPixel(window);
    out.reserve(4 * starts.size() + 2);
    if (starts.front() > 0) addColumn(pixel(starts.front() - 1), starts.front() - 1, starts.front());
    for (std::size_t i = 0; i + 1 < starts.size(); ++i)
        if (starts[i] < starts[i + 1]) addColumn(left + qint64(i), starts[i], starts[i + 1]);
    if (starts.back() < n) addColumn(pixel(starts.back()), starts.back(), starts.back() + 1);
    // The samples on each side may give several points (a step's rise): those beyond the limit are
    // invisible but for the segment that crosses it, which ends at the limit. Breaks have no place:
    // a segment is never pulled in from one.
    const double leftLimit = double(left) - kFarPixels, rightLimit = double(rightPixel(window)) + kFarPixels;
    const auto inside =
        std::find_if(out.begin(), out.end(), [&](QPointF p) { return !isBreak(p) && p.x() >= leftLimit; });
    if (inside == out.end() || out.front().x() > rightLimit) {
        out.clear(); // all of it far off to one side (points are in x order)
        return;
    }
    if (inside != out.begin()) {
        if (isBreak(*(inside - 1))) {
            out.erase(out.begin(), inside);
        } else {
            *(inside - 1) = pulledIn(*(inside - 1), *inside, leftLimit);
            out.erase(out.begin(), inside - 1);
        }
    }
    const auto last =
        std::find_if(out.rbegin(), out.rend(), [&](QPointF p) { return !isBreak(p) && p.x() <= rightLimit; });
    if (last != out.rbegin()) {
        if (isBreak(*(last - 1))) {
            out.erase(last.base(), out.end());
        } else {
            *(last - 1) = pulledIn(*(last - 1), *last, rightLimit);
            out.erase(last.base() + 1, out.end());
        }
    }
}

void columnSpans(const std::vector<QPointF> &points, ColumnWindow window, std::vector<ColumnSpan> &out) {
    out.clear();
    const qint64 left = leftPixel(window), right = rightPixel(window);
    if (right <= left || points.empty()) return;
    std::vector<double> top(std::size_t(right - left), std::numeric_limits<double>::infinity());
    std::vector<double> bottom(std::size_t(right - left), -std::numeric_limits<double>::infinity());
    const auto cover = [&](qint64 column, double y0, double y1) {
        const auto i = std::size_t(column - left);
        top[i] = std::min({top[i], y0, y1});
        bottom[i] = std::max({bottom[i], y0, y1});
    };
    // Column c takes the line's points with x in [c - 0.5, c + 1.5].
    const auto segment = [&](QPointF a, QPointF b) {
        const qint64 from = std::max(left, qint64(std::ceil(a.x() - 1.5)));
        const qint64 to = std::min(right - 1, qint64(std::floor(b.x() + 0.5)));
        for (qint64 c = from; c <= to; ++c) {
            if (a.x() == b.x()) {
                cover(c, a.y(), b.y());
                continue;
            }
            const double x0 = std::max(a.x(), double(c) - 0.5), x1 = std::min(b.x(), double(c) + 1.5);
            const double slope = (b.y() - a.y()) / (b.x() - a.x());
            cover(c, a.y() + slope * (x0 - a.x()), a.y() + slope * (x1 - a.x()));
        }
    };
    // Each run of the polyline; a run of one point is a dot.
    for (std::size_t k = 0; k < points.size(); ++k) {
        if (isBreak(points[k])) continue;
        const bool joinedToNext = k + 1 < points.size() && !isBreak(points[k + 1]);
        if (joinedToNext)
            segment(points[k], points[k + 1]);
        else if (k == 0 || isBreak(points[k - 1]))
            segment(points[k], points[k]);
    }
    for (qint64 c = left; c < right; ++c) {
        const auto i = std::size_t(c - left);
        if (top[i] > bottom[i]) continue;
        if (!out.empty() && out.back().left + out.back().width == c && out.back().top == top[i] - 1 &&
            out.back().bottom == bottom[i] + 1)
            ++out.back().width;
        else
            out.push_back({c, 1, top[i] - 1, bottom[i] + 1});
    }
}

qsizetype labelStride(double pixelsPerSample, double labelWidth) {
    qsizetype stride = 1;
    while (double(stride) * pixelsPerSample < labelWidth + kLabelGap && stride < (qsizetype(1) << 40))
        stride *= 2;
    return stride;
}

void labelledSamples(const Recording &recording, const TimeScale &scale, AxisMap map, ColumnWindow window,
                     double labelWidth, qsizetype stride, Drawing drawing, std::vector<qsizetype> &out) {
    out.clear();
    const qsizetype n = recording.size();
    qsizetype from = 0, to = n;
    if (drawing == Drawing::Reduced) {
        const SamplePixels pixel(recording, scale, map);
        from = pixel.firstAtOrAfter(0, n, leftPixel({window.left - labelWidth, window.right}));
        to = pixel.firstAtOrAfter(from, n, rightPixel(window));
    }
    for (qsizetype j = (from + stride - 1) / stride * stride; j < to; j += stride)
        out.push_back(j);
}

void textSeries(const Recording &recording, int column, const TimeScale &scale, AxisMap map,
                ColumnWindow window, Drawing drawing, std::vector<double> &lines,
                std::vector<TextRun> &runs) {
    lines.clear();
    runs.clear();
    const std::vector<quint32> &bounds = recording.boundaries(column);
    const qsizetype count = qsizetype(bounds.size());
    const SamplePixels samplePixel(recording, scale, map);
    const auto pixel = [&](qsizetype k) { return samplePixel(qsizetype(bounds[std::size_t(k)])); };
    // First boundary in [from, to) at or right of `p`.
    const auto firstAtOrAfter = [&](qsizetype from, qsizetype to, qint64 p) {
        return firstReaching(from, to, p, pixel);
    };
    const auto addLine = [&](qint64 c) {
        if (lines.empty() || lines.back() != double(c) + 0.5) lines.push_back(double(c) + 0.5);
    };
    const auto addRun = [&](qsizetype k, qint64 c) {
        if (k + 1 < count)
            runs.push_back({double(c) + 0.5, qsizetype(bounds[std::size_t(k)]), double(pixel(k + 1) - c)});
    };

    if (drawing == Drawing::Full) {
        for (qsizetype k = 0; k < count; ++k) {
            const qint64 c = pixel(k);
            if (k > 0) addLine(c);
            addRun(k, c);
        }
        return;
    }
    // Per pixel column one line; of the runs that start in it only the last can be wider than it.
    const qint64 left = leftPixel(window), right = rightPixel(window);
    for (qsizetype k = std::max<qsizetype>(firstAtOrAfter(0, count, left) - 1, 0); k < count;) {
        const qint64 c = pixel(k);
        if (c >= right) break;
        const qsizetype next = firstAtOrAfter(k + 1, count, c + 1);
        if (next - 1 > 0 && c >= left) addLine(c);
        addRun(next - 1, c);
        k = next;
    }
}

void axisTicks(const TimeScale &scale, qint64 count, AxisMap map, ColumnWindow window, double timeWidth,
               double dateWidth, Drawing drawing, std::vector<Tick> &out) {
    out.clear();
    if (count <= 0) return;
    const qint64 interval = scale.interval();
    const double pixelsPerTick = map.scale * scale.step();
    const std::vector<qint64> periods = candidatePeriods(interval, count * interval);
    qint64 labelPeriod = periodFor(periods, interval, pixelsPerTick, timeWidth + kLabelGap, 0);
    // Dates are written at day changes: when these come closer than a date is wide, space labels for dates.
    if (double(kDay) / double(interval) * pixelsPerTick < dateWidth + kLabelGap)
        labelPeriod =
            std::max(labelPeriod, periodFor(periods, interval, pixelsPerTick, dateWidth + kLabelGap, 0));
    const qint64 markPeriod = periodFor(periods, interval, pixelsPerTick, kMarkGap, labelPeriod);
    const qint64 labelTicks = labelPeriod / interval, markTicks = markPeriod / interval;
    const qint64 labelPhase = phaseOf(scale.start(), interval, labelPeriod);
    const qint64 markPhase = labelPhase % markTicks; // marks include every label

    qint64 from = 0, to = count;
    if (drawing == Drawing::Reduced && pixelsPerTick > 0) {
        const double widest = std::max(timeWidth, dateWidth);
        from = std::clamp<qint64>(qint64(std::ceil((window.left - widest - map.offset) / pixelsPerTick)), 0,
                                  count);
        to = std::clamp<qint64>(qint64(std::ceil((window.right - map.offset) / pixelsPerTick)), 0, count);
    }
    from += floorMod(markPhase - from, markTicks);
    for (qint64 i = from; i < to; i += markTicks) {
        Tick tick;
        tick.index = i;
        tick.x = double(map.pixel(double(i) * scale.step()));
        tick.labelled = i >= labelPhase && (i - labelPhase) % labelTicks == 0;
        const qint64 time = scale.start() + i * interval;
        tick.dated =
            tick.labelled && (i == labelPhase || floorDiv(time, kDay) != floorDiv(time - labelPeriod, kDay));
        out.push_back(tick);
    }
}

QString tickTimeText(qint64 time) {
    const qint64 second = floorMod(time, kDay);
    return QStringLiteral("%1:%2:%3")
        .arg(second / 3600)
        .arg(second / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(second % 60, 2, 10, QLatin1Char('0'));
}

QString tickDateText(qint64 time) {
    return stampDateTime(time).date().toString(QStringLiteral("dd/MM/yyyy"));
}

} // namespace graphs
