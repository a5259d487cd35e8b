// What the plot items share when they paint: the device mapping of the painter's transform and the
// window of device columns to draw.
#pragma once

#include "graphs/plotgeometry.h"

#include <QPainter>
#include <QStyleOptionGraphicsItem>

namespace graphs {

struct DevicePaint {
    AxisMap x;
    AxisMap y;
    ColumnWindow window;
};

// Reads the mapping from the painter, then paints in device pixels until destroyed.
class DevicePainting {
public:
    DevicePainting(QPainter *painter, const QStyleOptionGraphicsItem *option, double margin);
    ~DevicePainting();
    DevicePainting(const DevicePainting &) = delete;
    DevicePainting &operator=(const DevicePainting &) = delete;
    const DevicePaint &map() const { return m_map; }

private:
    QPainter *m_painter;
    DevicePaint m_map;
};

// Fills column spans with whole-pixel rectangles and blends the partly covered pixel at each end by
// its coverage (without antialiasing: takes the pixels whose centre is covered). This gives what
// the painter's own antialiased fill gives, several times faster.
void fillSpans(QPainter *painter, const std::vector<ColumnSpan> &spans, const QColor &colour);

} // namespace graphs
