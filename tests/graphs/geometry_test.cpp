// Where the viewer draws: tick times and dates, labels when zoomed out, range minimum/maximum, and
// the boundaries and runs of a text series.
#include "graphs/plotgeometry.h"
#include "graphs/rangeminmax.h"
#include "recordings.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <cmath>
#include <limits>
#include <random>

namespace {

using namespace graphs;
using hbsupport::stamp;

constexpr double kTimeWidth = 45, kDateWidth = 65;

struct Label {
    qint64 index;
    QString date;
    QString time;
    bool operator==(const Label &) const = default;
};

std::vector<Label> labels(const TimeScale &scale, qint64 count, AxisMap map, ColumnWindow window,
                          Drawing drawing) {
    std::vector<Tick> ticks;
    axisTicks(scale, count, map, window, kTimeWidth, kDateWidth, drawing, ticks);
    std::vector<Label> out;
    for (const Tick &tick : ticks) {
        EXPECT_EQ(tick.x, double(map.pixel(double(tick.index * scale.step()))));
        const qint64 time = scale.start() + tick.index * scale.interval();
        if (tick.labelled)
            out.push_back({tick.index, tick.dated ? tickDateText(time) : QString(), tickTimeText(time)});
    }
    return out;
}

TEST(Axis, EveryTickLabelledAtTheDefaultScale) {
    // 90 s interval: 0:00:00, 0:01:30, 0:03:00 ... and the date under the first tick only.
    const TimeScale scale(stamp(2024, 3, 9, 0, 0, 0), 90, kStep);
    const std::vector<Label> shown = labels(scale, 40, {1, 0}, {0, 800}, Drawing::Reduced);
    ASSERT_GE(shown.size(), 15u);
    EXPECT_EQ(shown[0], (Label{0, "09/03/2024", "0:00:00"}));
    EXPECT_EQ(shown[1], (Label{1, "", "0:01:30"}));
    EXPECT_EQ(shown[2], (Label{2, "", "0:03:00"}));
    EXPECT_EQ(shown[14], (Label{14, "", "0:21:00"}));
    // The window shows the ticks from its left edge (less a label's width) to its right edge.
    const std::vector<Label> scrolled = labels(scale, 40, {1, -530}, {0, 800}, Drawing::Reduced);
    EXPECT_EQ(scrolled.front().index, 9);
    EXPECT_EQ(scrolled.back().index, 25);
    EXPECT_EQ(scrolled.front().date, "");
}

TEST(Axis, DateAtTheFirstTickOfANewDay) {
    const TimeScale scale(stamp(2024, 3, 9, 23, 58, 30), 30, kStep);
    const std::vector<Label> shown = labels(scale, 8, {1, 0}, {0, 800}, Drawing::Full);
    ASSERT_EQ(shown.size(), 8u);
    EXPECT_EQ(shown[0], (Label{0, "09/03/2024", "23:58:30"}));
    EXPECT_EQ(shown[2], (Label{2, "", "23:59:30"}));
    EXPECT_EQ(shown[3], (Label{3, "10/03/2024", "0:00:00"}));
    EXPECT_EQ(shown[4], (Label{4, "", "0:00:30"}));
}

TEST(Axis, ZoomedOutLabelsFallOnRoundTimes) {
    // A week at 1 s seen 1000 pixels wide: labels at round hours, dates at midnight, and the same
    // labels whether the window or the whole axis is computed.
    const qint64 count = 7 * 86400;
    const TimeScale scale(stamp(2024, 3, 9, 10, 17, 43), 1, kStep);
    const AxisMap map{1000.0 / (double(count) * kStep), 0};
    const std::vector<Label> all = labels(scale, count, map, {-1e9, 1e9}, Drawing::Full);
    ASSERT_GE(all.size(), 7u);
    ASSERT_LE(all.size(), 1000 / (kDateWidth + 8) + 1);
    for (const Label &label : all) {
        EXPECT_TRUE(label.time == "0:00:00" || label.time == "12:00:00") << label.time.toStdString();
        EXPECT_EQ(label.date.isEmpty(), label.time != "0:00:00" && label.index != all[0].index);
    }
    EXPECT_EQ(all[0], (Label{6137, "09/03/2024", "12:00:00"}));
    EXPECT_EQ(labels(scale, count, map, {300, 600}, Drawing::Reduced),
              std::vector<Label>(std::find_if(all.begin(), all.end(),
                                              [&](const Label &l) {
                                                  return double(map.pixel(double(l.index * kStep))) >=
                                                         300 - kDateWidth;
                                              }),
                                 std::find_if(all.begin(), all.end(), [&](const Label &l) {
                                     return double(map.pixel(double(l.index * kStep))) >= 600;
                                 })));
    // A 7 s interval has no round times: labels every few intervals from the start.
    const TimeScale odd(stamp(2024, 3, 9, 10, 0, 1), 7, kStep);
    const std::vector<Label> oddLabels = labels(odd, 500, {0.2, 0}, {0, 2000}, Drawing::Full);
    ASSERT_GE(oddLabels.size(), 2u);
    EXPECT_EQ(oddLabels[0].index, 0);
    EXPECT_EQ(oddLabels[1].index, 5);
}

TEST(Polyline, FarPointsEndAtTheLimit) {
    // Deep in a zoom, the samples beside the window lie millions of pixels away, a step's rise giving
    // two points there: the line keeps its course but ends 2^22 pixels beyond the window.
    QByteArray content = "MODEL=WATER\n";
    for (qint64 time : {0, 1, 200000})
        content += hbsupport::waterLine(
            time, [&](int c) -> QByteArray { return c == 8 ? (time == 1 ? "1" : "0") : "5"; });
    QBuffer buffer(&content);
    buffer.open(QIODevice::ReadOnly);
    const Recording r = *readRecording(buffer, RecordedModel::Water);
    const TimeScale scale(0, 1, kStep);
    const double limit = double(1 << 22);
    std::vector<QPointF> points;
    ColumnIndex index;
    for (const ColumnWindow window : {ColumnWindow{100000, 100800}, ColumnWindow{-1e9, -1e9 + 800}}) {
        seriesPolyline(r, 8, scale, {64, 0}, {-100, 400}, Shape::Step, window, Drawing::Reduced, index,
                       points);
        if (window.left < 0) {
            EXPECT_TRUE(points.empty()); // nothing near
            continue;
        }
        ASSERT_GE(points.size(), 2u);
        for (const QPointF &p : points)
            EXPECT_TRUE(p.x() >= window.left - limit && p.x() <= window.right + limit) << p.x();
        EXPECT_EQ(points.back(), QPointF(window.right + limit, 400)); // level at the last value
        EXPECT_EQ(points.front().x(), double(64 * 53)); // sample 1, on the near side of the limit
    }
}

// A polyline as text, breaks as "|", so that it can be compared.
std::string polylineText(const std::vector<QPointF> &points) {
    std::string text;
    for (const QPointF &p : points)
        text += isBreak(p) ? std::string("| ") : std::to_string(p.x()) + "," + std::to_string(p.y()) + " ";
    return text;
}

TEST(Polyline, MissingValuesLeaveGaps) {
    // 5, missing, 7, 8, missing, 9: the line breaks at each gap, in the full and the reduced drawing.
    QByteArray small = "MODEL=WATER\n";
    const char *values[] = {"5", "", "7", "8", "", "9"};
    for (int j = 0; j < 6; ++j)
        small += hbsupport::waterLine(j, [&](int c) -> QByteArray { return c == 0 ? values[j] : "1"; });
    QBuffer smallBuffer(&small);
    smallBuffer.open(QIODevice::ReadOnly);
    const Recording few = *readRecording(smallBuffer, RecordedModel::Water);
    const TimeScale scale(0, 1, kStep);
    std::vector<QPointF> points;
    ColumnIndex index;
    for (Drawing drawing : {Drawing::Full, Drawing::Reduced}) {
        seriesPolyline(few, 0, scale, {1, 0}, {-1, 100}, Shape::Linear, {0, 400}, drawing, index, points);
        EXPECT_EQ(polylineText(points), "0.000000,95.000000 | 106.000000,93.000000 159.000000,92.000000 | "
                                        "265.000000,91.000000 ");
    }
    // A lone sample is a dot: its column and the one before it, a pixel above and below.
    std::vector<ColumnSpan> spans;
    columnSpans(points, {250, 300}, spans);
    EXPECT_EQ(spans, (std::vector<ColumnSpan>{{264, 2, 90, 92}}));

    // Many samples with single gaps, long ones and lone samples between them: the reduced drawing
    // covers the same pixels as the full one at every zoom, values and steps alike.
    std::mt19937 random(11);
    QByteArray content = "MODEL=WATER\n";
    for (qint64 j = 0; j < 5000; ++j) {
        const bool missing = (j / 40) % 7 == 3 || random() % 5 == 0;
        content += hbsupport::waterLine(j, [&](int c) -> QByteArray {
            if (missing && (c == 0 || c == 8)) return "";
            return c == 8 ? QByteArray::number(j / 3 % 2) : QByteArray::number(int(random() % 100));
        });
    }
    QBuffer buffer(&content);
    buffer.open(QIODevice::ReadOnly);
    const Recording r = *readRecording(buffer, RecordedModel::Water);
    const auto spansOf = [&](int column, Shape shape, AxisMap map, ColumnWindow window, Drawing drawing) {
        ColumnIndex own;
        seriesPolyline(r, column, scale, map, {-3, 400}, shape, window, drawing, own, points);
        // The window's last column also takes the next column's points, of which the reduced
        // drawing keeps the first only: the viewer draws a margin beyond what it shows.
        std::vector<ColumnSpan> out;
        columnSpans(points, {window.left, window.right - 1}, out);
        return out;
    };
    for (double zoom : {2.0, 1.0 / 53, 0.004, 0.0005})
        for (double offset : {0.0, -1234.0})
            for (const auto &[column, shape] : {std::pair{0, Shape::Linear}, std::pair{8, Shape::Step}}) {
                const ColumnWindow window{0, 900};
                const auto reduced = spansOf(column, shape, {zoom, offset}, window, Drawing::Reduced);
                EXPECT_TRUE(!reduced.empty() || offset != 0);
                EXPECT_TRUE(reduced == spansOf(column, shape, {zoom, offset}, window, Drawing::Full))
                    << zoom << " " << offset << " " << column;
            }
}

TEST(RangeMinMax, AgreesWithAScanOverAnyRange) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-100, 100);
    // Missing values (NaN) are left out: a range of them alone is empty (minimum above maximum).
    const float missing = std::numeric_limits<float>::quiet_NaN();
    std::vector<float> gaps(40, missing);
    gaps[33] = 4;
    RangeMinMax gapRanges;
    gapRanges.build(gaps);
    EXPECT_EQ(gapRanges.query(gaps, 0, 40), (std::pair<float, float>(4, 4)));
    const auto [none, nothing] = gapRanges.query(gaps, 0, 33);
    EXPECT_GT(none, nothing);
    for (std::size_t size : {1u, 15u, 16u, 17u, 300u, 5000u, 70000u}) {
        std::vector<float> values(size);
        for (float &v : values)
            v = random() % 3 == 0 ? missing : value(random);
        RangeMinMax ranges;
        ranges.build(values);
        std::uniform_int_distribution<std::size_t> index(0, size - 1);
        for (int trial = 0; trial < 300; ++trial) {
            std::size_t a = index(random), b = index(random);
            if (a > b) std::swap(a, b);
            const auto [low, high] = ranges.query(values, qsizetype(a), qsizetype(b + 1));
            float scanLow = std::numeric_limits<float>::infinity(), scanHigh = -scanLow;
            for (std::size_t i = a; i <= b; ++i) {
                if (std::isnan(values[i])) continue;
                scanLow = std::min(scanLow, values[i]);
                scanHigh = std::max(scanHigh, values[i]);
            }
            EXPECT_EQ(low, scanLow);
            EXPECT_EQ(high, scanHigh);
        }
    }
}

TEST(TextSeries, BoundariesRunsAndLines) {
    // States A A B B B C: lines at the changes and at the last sample, texts A, B, C's run ends at
    // the last sample so C is never written (the last sample starts no run).
    QByteArray content = "MODEL=WATER\n";
    const char *states[] = {"A", "A", "B", "B", "B", "C"};
    for (int j = 0; j < 6; ++j)
        content +=
            hbsupport::waterLine(100 + j, [&](int c) -> QByteArray { return c == 7 ? states[j] : "1"; });
    QBuffer buffer(&content);
    buffer.open(QIODevice::ReadOnly);
    const Recording r = *readRecording(buffer, RecordedModel::Water);
    EXPECT_EQ(r.boundaries(7), (std::vector<quint32>{0, 2, 5}));
    std::vector<double> lines;
    std::vector<TextRun> runs;
    const TimeScale scale(100, 1, kStep);
    for (Drawing drawing : {Drawing::Full, Drawing::Reduced}) {
        textSeries(r, 7, scale, {1, 0.25}, {0, 1000}, drawing, lines, runs);
        EXPECT_EQ(lines, (std::vector<double>{106.5, 265.5}));
        ASSERT_EQ(runs.size(), 2u);
        EXPECT_EQ(runs[0].sample, 0);
        EXPECT_EQ(runs[0].width, 106);
        EXPECT_EQ(runs[1].x, 106.5);
        EXPECT_EQ(runs[1].sample, 2);
    }
    // Squeezed into a few pixels, one line per pixel column and no run wide enough for a text.
    textSeries(r, 7, scale, {0.01, 0}, {0, 1000}, Drawing::Reduced, lines, runs);
    EXPECT_EQ(lines, (std::vector<double>{1.5, 2.5}));
    for (const TextRun &run : runs)
        EXPECT_LT(run.width, 2);
}

} // namespace
