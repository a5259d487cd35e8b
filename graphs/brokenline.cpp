#include "graphs/brokenline.h"

#include "graphs/paintsupport.h"

#include <algorithm>

#include <QFontMetricsF>
#include <QGraphicsScene>
#include <QHash>
#include <QPainter>
#include <QPalette>

#include <cmath>

namespace graphs {
namespace {

// Device pixels drawn beyond the exposed area: the widest pen and its caps.
constexpr double kMargin = 8;
// Room for the texts written right of the last sample.
constexpr double kTextRoom = 200;
// Fraction of the height kept free above and below an analogue curve.
constexpr double kCurveMargin = 0.03;
// Texts of a text series start this far right of their dashed line.
constexpr double kTextOffset = 2;
// Samples at least this far apart are joined by the stroked pen; closer, the line is drawn as column
// spans, which look the same at a fraction of the cost.
constexpr double kStrokedSpacing = 32;

// Qt's dash line of a 3-pixel pen: 12 pixels drawn, 6 left out.
constexpr double kDash = 12;
constexpr double kDashPeriod = 18;
constexpr int kTextPenWidth = 3;

void fillLine(QPainter *painter, const std::vector<QPointF> &points, ColumnWindow window,
              const QColor &colour) {
    std::vector<ColumnSpan> spans;
    columnSpans(points, window, spans);
    fillSpans(painter, spans, colour);
}

} // namespace

BrokenLine::BrokenLine(const QString &name, std::shared_ptr<const Recording> recording, int column,
                       const QColor &colour, const QString &unit, SeriesKind kind)
    : m_name(name), m_recording(std::move(recording)), m_column(column), m_colour(colour), m_unit(unit),
      m_kind(kind) {
    setZValue(1);
    setFlag(QGraphicsItem::ItemUsesExtendedStyleOption);
}

void BrokenLine::setPlotSize(double width, double height) {
    prepareGeometryChange();
    m_width = width;
    m_height = height;
}

QVariant BrokenLine::rangeEnd(bool greatest) const {
    switch (m_kind) {
    case SeriesKind::Analogue:
        return double(greatest ? m_recording->maximum(m_column) : m_recording->minimum(m_column));
    case SeriesKind::OnOff:
        return greatest;
    case SeriesKind::Text:
        break;
    }
    return {};
}

bool BrokenLine::isFlat() const {
    return m_kind == SeriesKind::Analogue && m_recording->minimum(m_column) == m_recording->maximum(m_column);
}

QRectF BrokenLine::boundingRect() const {
    return {-kMargin, -kMargin, m_width + kTextRoom + 2 * kMargin, m_height + 2 * kMargin};
}

TimeScale BrokenLine::timeScale() const {
    return {m_origin.value_or(m_recording->time(0)), m_interval, m_step};
}

QColor BrokenLine::textColour() const {
    return scene() != nullptr ? scene()->palette().color(QPalette::Text) : QColor(Qt::white);
}

void BrokenLine::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *) {
    if (m_recording->size() == 0 || m_interval < 1) return;
    const DevicePainting device(painter, option, kMargin);
    const DevicePaint &map = device.map();
    switch (m_kind) {
    case SeriesKind::Analogue:
        paintValues(painter, map.x, map.y, map.window);
        break;
    case SeriesKind::OnOff:
        paintStates(painter, map.x, map.y, map.window);
        break;
    case SeriesKind::Text:
        paintTexts(painter, map.x, map.y, map.window);
        break;
    }
}

void BrokenLine::paintValues(QPainter *painter, AxisMap x, AxisMap y, ColumnWindow window) const {
    const Recording &r = *m_recording;
    const TimeScale scale = timeScale();
    // Scene y of a value: (1 - ((1 - 2 m) t + m)) H with t its place between minimum and maximum, so
    // the curve keeps between m H and (1 - m) H; a constant series lies on its row.
    ValueMap value;
    if (isFlat()) {
        value = {0, y.device(m_height * m_rowPosition)};
    } else {
        const double low = r.minimum(m_column), range = double(r.maximum(m_column)) - low;
        const double factor = -(1 - 2 * kCurveMargin) * m_height / range;
        value = {y.scale * factor, y.device((1 - kCurveMargin) * m_height - factor * low)};
    }

    painter->setPen(QPen(textColour(), 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    const QFontMetricsF metrics(painter->font());
    const double labelWidth = metrics.horizontalAdvance(QString(r.widestText(m_column), QLatin1Char('0')));
    std::vector<qsizetype> labelled;
    labelledSamples(r, scale, x, window, labelWidth, labelStride(std::abs(x.scale) * m_step, labelWidth),
                    m_drawing, labelled);
    const std::vector<float> &numbers = r.numbers(m_column);
    for (qsizetype j : labelled) {
        const QString text = r.text(m_column, j);
        if (text.isEmpty()) continue;
        const double left = double(x.pixel(double(scale.x(r.time(j))))) + 1;
        painter->drawText(QPointF(left, std::round(value.y(numbers[std::size_t(j)]))), text);
    }

    std::vector<QPointF> points;
    seriesPolyline(r, m_column, scale, x, value, Shape::Linear, window, m_drawing, *m_index, points);
    if (std::abs(x.scale) * m_step < kStrokedSpacing) {
        fillLine(painter, points, window, m_colour);
        return;
    }
    painter->setPen(QPen(m_colour, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    // Each run between the gaps of missing values; a run of one sample is a dot.
    for (auto run = points.begin(); run != points.end();) {
        const auto end = std::find_if(run, points.end(), isBreak);
        if (end - run == 1)
            painter->drawPoint(*run);
        else
            painter->drawPolyline(&*run, int(end - run));
        run = end == points.end() ? end : end + 1;
    }
}

void BrokenLine::paintStates(QPainter *painter, AxisMap x, AxisMap y, ColumnWindow window) const {
    // On at the top of the plot, off at the bottom.
    const ValueMap value{-y.scale * m_height, y.device(m_height)};
    // Steps are level and upright lines: their spans are the pixels of a square-capped, mitred pen.
    std::vector<QPointF> points;
    seriesPolyline(*m_recording, m_column, timeScale(), x, value, Shape::Step, window, m_drawing, *m_index,
                   points);
    fillLine(painter, points, window, m_colour);
}

void BrokenLine::paintTexts(QPainter *painter, AxisMap x, AxisMap y, ColumnWindow window) const {
    const Recording &r = *m_recording;
    std::vector<double> lines;
    std::vector<TextRun> runs;
    textSeries(r, m_column, timeScale(), x, window, m_drawing, lines, runs);
    painter->setPen(m_colour);

    // Each text where it fits before the next change. A series has few distinct texts: each is
    // measured once.
    const QFontMetricsF metrics(painter->font());
    const double baseline = std::round(y.device(std::trunc(m_height * m_rowPosition)));
    QHash<quint32, double> widths;
    for (const TextRun &run : runs) {
        if (run.width <= kTextOffset || !r.present(m_column, run.sample)) continue;
        const quint32 code = r.code(m_column, run.sample);
        auto width = widths.constFind(code);
        if (width == widths.constEnd())
            width = widths.insert(code, metrics.horizontalAdvance(r.text(m_column, run.sample)));
        if (*width + kTextOffset > run.width) continue;
        painter->drawText(QPointF(run.x - 0.5 + kTextOffset, baseline), r.text(m_column, run.sample));
    }

    // A dashed line at the start of the plot and at every change, each dashed from the bottom up,
    // as a 3-pixel dash-line pen draws it. Lines that touch share their dashes.
    lines.push_back(double(x.pixel(1)) + 0.5);
    std::sort(lines.begin(), lines.end());
    const double bottom = y.device(m_height), top = y.device(0);
    std::vector<ColumnSpan> dashes;
    for (std::size_t i = 0; i < lines.size();) {
        const auto left = qint64(std::floor(lines[i] - kTextPenWidth / 2.0));
        qint64 right = left + kTextPenWidth;
        for (++i; i < lines.size() && qint64(std::floor(lines[i] - kTextPenWidth / 2.0)) <= right; ++i)
            right = qint64(std::floor(lines[i] - kTextPenWidth / 2.0)) + kTextPenWidth;
        for (double from = bottom; from > top; from -= kDashPeriod)
            dashes.push_back({left, right - left, std::max(top, from - kDash), from});
    }
    fillSpans(painter, dashes, m_colour);
}

} // namespace graphs
