// The time axis along the bottom of the plot: a line, tick marks, times and, at day changes, dates.
#pragma once

#include "graphs/plotgeometry.h"

#include <QGraphicsItem>
#include <QString>

namespace graphs {

class Axes : public QGraphicsItem {
public:
    // `count` ticks, one per interval from `start`.
    Axes(const QString &label, qint64 interval, qint64 start, qint64 count);

    void setStep(int step) { m_step = step; }
    // A live axis grows: `count` ticks from now on.
    void setCount(qint64 count) { m_count = count; }
    void setPlotSize(double width, double height);
    void setDrawing(Drawing drawing) { m_drawing = drawing; }

    const QString &label() const { return m_label; }
    qint64 count() const { return m_count; }
    // Room the tick texts need below the axis line.
    static constexpr int kTickHalfLength = 2;
    static constexpr int kTextLineHeight = 13;
    static constexpr int kBand = 3 * kTextLineHeight;

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

private:
    QString m_label;
    qint64 m_interval;
    qint64 m_start;
    qint64 m_count;
    int m_step = kStep;
    double m_width = 0;
    double m_height = 0;
    Drawing m_drawing = Drawing::Reduced;
};

} // namespace graphs
