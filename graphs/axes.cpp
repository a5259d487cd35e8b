#include "graphs/axes.h"

#include "graphs/paintsupport.h"

#include <QFontMetricsF>
#include <QGraphicsScene>
#include <QPainter>
#include <QPalette>

#include <cmath>

namespace graphs {
namespace {

constexpr double kMargin = 8;
constexpr double kTextRoom = 100;

} // namespace

Axes::Axes(const QString &label, qint64 interval, qint64 start, qint64 count)
    : m_label(label), m_interval(interval), m_start(start), m_count(count) {
    setFlag(QGraphicsItem::ItemUsesExtendedStyleOption);
}

void Axes::setPlotSize(double width, double height) {
    prepareGeometryChange();
    m_width = width;
    m_height = height;
}

QRectF Axes::boundingRect() const {
    return {-kMargin, m_height - kMargin, m_width + kTextRoom + 2 * kMargin, kBand + 2 * kMargin};
}

void Axes::paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *) {
    if (m_interval < 1) return;
    const DevicePainting device(painter, option, kMargin);
    const DevicePaint &map = device.map();
    const QPen textPen(scene() != nullptr ? scene()->palette().color(QPalette::Text) : QColor(Qt::white), 1,
                       Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    // The line and the ticks are a gray 2-pixel pen with square caps: rectangles on whole pixels.
    const double axisY = map.y.device(m_height);
    const double lineLeft = std::max(map.window.left, map.x.device(0)) - 1;
    const double lineRight = std::min(map.window.right, map.x.device(m_width)) + 1;
    std::vector<ColumnSpan> rules;
    if (lineRight > lineLeft)
        rules.push_back({qint64(std::floor(lineLeft)), qint64(std::ceil(lineRight) - std::floor(lineLeft)),
                         axisY - 1, axisY + 1});

    const QFontMetricsF metrics(painter->font());
    std::vector<Tick> ticks;
    axisTicks(TimeScale(m_start, m_interval, m_step), m_count, map.x, map.window,
              metrics.horizontalAdvance(QStringLiteral("00:00:00")),
              metrics.horizontalAdvance(QStringLiteral("00/00/0000")), m_drawing, ticks);
    painter->setRenderHint(QPainter::TextAntialiasing);
    const double dateY = std::round(map.y.device(m_height + kTextLineHeight));
    const double timeY = std::round(map.y.device(m_height + 2 * kTextLineHeight));
    painter->setPen(textPen);
    for (const Tick &tick : ticks) {
        if (tick.labelled) {
            const qint64 time = m_start + tick.index * m_interval;
            if (tick.dated) painter->drawText(QPointF(std::floor(tick.x), dateY), tickDateText(time));
            painter->drawText(QPointF(std::floor(tick.x), timeY), tickTimeText(time));
        }
        rules.push_back({qint64(tick.x) - 1, 2, axisY - kTickHalfLength - 1, axisY + kTickHalfLength + 1});
    }
    fillSpans(painter, rules, Qt::gray);
}

} // namespace graphs
