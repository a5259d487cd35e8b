// Where the viewer draws: sample and tick positions in scene and device coordinates, and the lines
// and labels of one series restricted to the visible pixel columns. When samples are denser than
// pixels, each pixel column is reduced to its first, smallest, greatest and last value; drawn as
// column spans (below) this gives the same pixels as the line through every sample. Points lie on
// the left edge of their pixel column, so that a 2-pixel line covers whole pixels.
#pragma once

#include "graphs/recording.h"

#include <QPointF>
#include <QString>

#include <cmath>
#include <limits>
#include <vector>

namespace graphs {

// Pixels per recording interval along the time axis.
constexpr int kStep = 53;

// Scene x of a time: truncate((time - start) / interval x step), computed in whole numbers.
class TimeScale {
public:
    TimeScale(qint64 start, qint64 interval, int step) : m_start(start), m_interval(interval), m_step(step) {}
    qint64 x(qint64 time) const { return (time - m_start) * m_step / m_interval; }
    qint64 start() const { return m_start; }
    qint64 interval() const { return m_interval; }
    int step() const { return m_step; }

private:
    qint64 m_start;
    qint64 m_interval;
    int m_step;
};

// Scene to device along one axis: device = scale x scene + offset.
struct AxisMap {
    double scale = 1;
    double offset = 0;
    double device(double scene) const { return scale * scene + offset; }
    // The pixel column (or row) holding a scene coordinate.
    qint64 pixel(double scene) const;
};

// Device y of a value: factor x value + offset.
struct ValueMap {
    double factor = 0;
    double offset = 0;
    double y(double value) const { return factor * value + offset; }
};

// How a series' points are joined: straight lines, or steps where each segment shows the value of
// the sample it ends at (the change is drawn at the previous sample's x).
enum class Shape { Linear, Step };

// Reduced draws only the pixel columns of the window; Full goes through every sample, as a plain
// drawing would, and is kept to check the reduced one and for comparison.
enum class Drawing { Reduced, Full };

// Device columns to draw, [left, right).
struct ColumnWindow {
    double left = 0;
    double right = 0;
};

// The first sample of every pixel column of a window: the same for every series of a recording,
// which share their times, so computed once per repaint and kept until the view, the window or the
// recording's rows change.
class ColumnIndex {
public:
    // starts()[i] is the first sample whose column is at least left + i, for i in [0, right - left].
    const std::vector<qsizetype> &starts(const Recording &recording, const TimeScale &scale, AxisMap map,
                                         ColumnWindow window);

private:
    const Recording *m_recording = nullptr;
    qint64 m_key[8] = {};
    std::vector<qsizetype> m_starts;
};

// A break in a polyline: the points on either side of it are not joined, because a value between
// them is missing. A polyline never starts or ends with a break, nor holds two in a row.
inline constexpr QPointF kBreak{std::numeric_limits<double>::quiet_NaN(),
                                std::numeric_limits<double>::quiet_NaN()};
inline bool isBreak(QPointF point) {
    return std::isnan(point.x());
}

// The device polyline of a numeric series (analogue or on/off), points at the left edge of their
// pixel column; a missing value leaves a gap (breaks around it; a present sample between two missing
// ones is a run of one point).
void seriesPolyline(const Recording &recording, int column, const TimeScale &scale, AxisMap map,
                    ValueMap value, Shape shape, ColumnWindow window, Drawing drawing, ColumnIndex &index,
                    std::vector<QPointF> &out);

// A polyline drawn with a 2-pixel pen, as one filled span per pixel column: the column covers the
// points of the polyline within half a pixel beyond its edges, and a pixel above and below them (a
// 2 x 2 brush swept along the line). Qt strokes wide polylines at tens of microseconds a vertex;
// spans cost one rectangle a column whatever the number of samples behind it. Adjacent columns with
// the same span are merged. Only columns in the window are produced. The polyline's breaks are kept:
// a run of one point is drawn as a dot.
struct ColumnSpan {
    qint64 left = 0;
    qint64 width = 0;
    double top = 0;
    double bottom = 0;
    bool operator==(const ColumnSpan &) const = default;
};
void columnSpans(const std::vector<QPointF> &points, ColumnWindow window, std::vector<ColumnSpan> &out);

// Samples whose value label is written: every stride-th sample, a power of two chosen so that
// labels `labelWidth` pixels wide do not overlap; labels therefore keep their place while panning
// and zooming. Indexes in order, from the samples whose label may reach into the window.
qsizetype labelStride(double pixelsPerSample, double labelWidth);
void labelledSamples(const Recording &recording, const TimeScale &scale, AxisMap map, ColumnWindow window,
                     double labelWidth, qsizetype stride, Drawing drawing, std::vector<qsizetype> &out);

// A text series: device x (column centre) of the vertical line at every boundary after the first
// (one per pixel column), and each run of equal texts with the device x of its start and its width
// up to the next boundary. Only runs wider than a pixel column can show a text.
struct TextRun {
    double x = 0;
    qsizetype sample = 0;
    double width = 0;
};
void textSeries(const Recording &recording, int column, const TimeScale &scale, AxisMap map,
                ColumnWindow window, Drawing drawing, std::vector<double> &lines, std::vector<TextRun> &runs);

// Time-axis ticks: every tick (one per interval) while labels `timeWidth` wide fit; further out,
// ticks and labels at round multiples of the interval, spaced for dates (`dateWidth`) when days
// pass faster than dates fit. A labelled tick shows its date when it is the first label or when its
// day differs from the previous label's.
struct Tick {
    qint64 index = 0;
    double x = 0; // left edge of the tick's pixel column
    bool labelled = false;
    bool dated = false;
};
void axisTicks(const TimeScale &scale, qint64 count, AxisMap map, ColumnWindow window, double timeWidth,
               double dateWidth, Drawing drawing, std::vector<Tick> &out);
QString tickTimeText(qint64 time); // "h:mm:ss"
QString tickDateText(qint64 time); // "dd/MM/yyyy"

} // namespace graphs
