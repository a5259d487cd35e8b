#include "graphs/graphview.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>

namespace graphs {
namespace {

// One wheel step zooms by this factor.
constexpr double kWheelZoom = 1.05;
// A drag narrower than this is a click, not a range.
constexpr int kLeastDrag = 4;
// Read-out box: distance from the cursor and inner padding.
constexpr int kReadoutGap = 12;
constexpr int kReadoutPadding = 6;

} // namespace

GraphView::GraphView(QGraphicsScene *scene, QWidget *parent) : QGraphicsView(scene, parent) {
    setRenderHint(QPainter::Antialiasing);
    setCacheMode(QGraphicsView::CacheNone);
    setViewportUpdateMode(QGraphicsView::BoundingRectViewportUpdate);
    setDragMode(QGraphicsView::ScrollHandDrag);
    // Zooming keeps the point under the mouse in place by itself (zoomTo).
    setTransformationAnchor(QGraphicsView::NoAnchor);
    setResizeAnchor(QGraphicsView::NoAnchor);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The scene is exactly as high as the viewport; a scroll bar that came and went would change that.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    // Only the user's own use of the scroll bar triggers actions; the program's scrolling does not.
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this, &GraphView::navigated);
}

void GraphView::setScaleLimits(double smallest, double largest) {
    m_smallestScale = smallest;
    m_largestScale = std::max(smallest, largest);
    const double scale = horizontalScale();
    if (scale < m_smallestScale || scale > m_largestScale) zoomTo(scale, 0);
}

double GraphView::sceneXAt(double viewportX) const {
    return viewportTransform().inverted().map(QPointF(viewportX, 0)).x();
}

void GraphView::zoomTo(double scale, double anchor) {
    scale = std::clamp(scale, m_smallestScale, m_largestScale);
    const double sceneX = sceneXAt(anchor);
    setTransform(QTransform::fromScale(scale, 1));
    horizontalScrollBar()->setValue(qRound(sceneX * scale - anchor));
}

void GraphView::fitAll() {
    const double width = sceneRect().width();
    if (width <= 0) return;
    zoomTo(viewport()->width() / width, 0);
    horizontalScrollBar()->setValue(horizontalScrollBar()->minimum());
}

void GraphView::zoomToSceneRange(double from, double to) {
    if (to <= from) return;
    const double scale = std::clamp(viewport()->width() / (to - from), m_smallestScale, m_largestScale);
    setTransform(QTransform::fromScale(scale, 1));
    horizontalScrollBar()->setValue(qRound(from * scale));
}

QImage GraphView::renderViewport() {
    m_overlayHidden = true;
    const QImage image = viewport()->grab().toImage();
    m_overlayHidden = false;
    return image;
}

void GraphView::wheelEvent(QWheelEvent *event) {
    const QPoint delta = event->angleDelta();
    if (delta.y() == 0 && delta.x() != 0) {
        QGraphicsView::wheelEvent(event); // a sideways wheel scrolls
        emit navigated();
        return;
    }
    zoomTo(horizontalScale() * (delta.y() > 0 ? kWheelZoom : 1 / kWheelZoom), event->position().x());
    moveCursor(m_cursor);
    event->accept();
    emit navigated();
}

void GraphView::mousePressEvent(QMouseEvent *event) {
    const bool range = event->button() == Qt::RightButton ||
                       (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier));
    if (!range) {
        QGraphicsView::mousePressEvent(event);
        return;
    }
    m_selectionStart = event->position().toPoint().x();
    m_selectionEnd = *m_selectionStart;
    viewport()->update(selectionRect());
    event->accept();
}

void GraphView::mouseMoveEvent(QMouseEvent *event) {
    const int x = event->position().toPoint().x();
    moveCursor(x);
    if (m_selectionStart) {
        const QRect before = selectionRect();
        m_selectionEnd = x;
        viewport()->update(before | selectionRect());
        event->accept();
        return;
    }
    const int scrolled = horizontalScrollBar()->value();
    QGraphicsView::mouseMoveEvent(event);
    if (horizontalScrollBar()->value() != scrolled) emit navigated(); // a drag panned
}

void GraphView::mouseReleaseEvent(QMouseEvent *event) {
    if (!m_selectionStart) {
        QGraphicsView::mouseReleaseEvent(event);
        return;
    }
    const int from = std::min(*m_selectionStart, m_selectionEnd),
              to = std::max(*m_selectionStart, m_selectionEnd);
    viewport()->update(selectionRect());
    m_selectionStart.reset();
    if (to - from >= kLeastDrag) {
        zoomToSceneRange(sceneXAt(from), sceneXAt(to));
        emit navigated();
    }
    moveCursor(m_cursor);
    event->accept();
}

bool GraphView::viewportEvent(QEvent *event) {
    if (event->type() == QEvent::Leave) moveCursor(std::nullopt);
    return QGraphicsView::viewportEvent(event);
}

void GraphView::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Home || event->key() == Qt::Key_F) {
        fitAll();
        moveCursor(m_cursor);
        event->accept();
        emit navigated();
        return;
    }
    if (event->key() == Qt::Key_End) {
        event->accept();
        emit endRequested();
        return;
    }
    const int scrolled = horizontalScrollBar()->value();
    QGraphicsView::keyPressEvent(event);
    if (horizontalScrollBar()->value() != scrolled) emit navigated();
}

void GraphView::resizeEvent(QResizeEvent *event) {
    QGraphicsView::resizeEvent(event);
    emit viewportResized();
}

void GraphView::scrollContentsBy(int dx, int dy) {
    QGraphicsView::scrollContentsBy(dx, dy);
    // The scroll moved the cursor and selection along with the picture: draw them where they belong.
    updateOverlay(dx);
    updateOverlay();
}

void GraphView::updateOverlay(int dx) {
    if (m_cursor) {
        const QRect line(*m_cursor - 1, 0, 3, viewport()->height());
        viewport()->update((line | readoutRect(*m_cursor)).translated(dx, 0));
    }
    if (m_selectionStart) viewport()->update(selectionRect().translated(dx, 0));
}

void GraphView::moveCursor(std::optional<int> x) {
    updateOverlay();
    m_cursor = x;
    if (m_cursor && m_readout) m_shown = m_readout(sceneXAt(*m_cursor));
    updateOverlay();
}

QRect GraphView::selectionRect() const {
    if (!m_selectionStart) return {};
    const int from = std::min(*m_selectionStart, m_selectionEnd),
              to = std::max(*m_selectionStart, m_selectionEnd);
    return {from, 0, to - from + 1, viewport()->height()};
}

QRect GraphView::readoutRect(int x) const {
    if (!m_readout) return {};
    const QFontMetrics metrics(viewport()->font());
    int width = metrics.horizontalAdvance(m_shown.heading);
    for (const auto &line : m_shown.lines)
        width = std::max(width, metrics.horizontalAdvance(line.first));
    width += 2 * kReadoutPadding;
    const int height = int(1 + m_shown.lines.size()) * metrics.lineSpacing() + 2 * kReadoutPadding;
    int left = x + kReadoutGap;
    if (left + width > viewport()->width()) left = x - kReadoutGap - width;
    return {left, kReadoutGap, width + 1, height + 1};
}

void GraphView::drawForeground(QPainter *painter, const QRectF &) {
    if (m_overlayHidden || (!m_cursor && !m_selectionStart)) return;
    painter->save();
    painter->resetTransform();
    if (m_selectionStart) painter->fillRect(selectionRect(), QColor(255, 255, 255, 48));
    if (m_cursor) {
        const double x = *m_cursor + 0.5;
        painter->setPen(QPen(QColor(255, 255, 255, 170), 1));
        painter->drawLine(QPointF(x, 0), QPointF(x, viewport()->height()));
        if (m_readout) {
            const QRect box = readoutRect(*m_cursor).adjusted(0, 0, -1, -1);
            painter->fillRect(box, QColor(0, 0, 0, 200));
            painter->setPen(Qt::gray);
            painter->drawRect(box);
            const QFontMetrics metrics(viewport()->font());
            painter->setFont(viewport()->font());
            int baseline = box.top() + kReadoutPadding + metrics.ascent();
            painter->setPen(Qt::white);
            painter->drawText(box.left() + kReadoutPadding, baseline, m_shown.heading);
            for (const auto &[text, colour] : m_shown.lines) {
                baseline += metrics.lineSpacing();
                painter->setPen(colour);
                painter->drawText(box.left() + kReadoutPadding, baseline, text);
            }
        }
    }
    painter->restore();
}

} // namespace graphs
