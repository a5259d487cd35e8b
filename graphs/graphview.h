// The view of the viewer's scene: the wheel zooms the time axis only, a left drag pans, a right drag
// (or shift and left drag) zooms to the dragged time range, Home or F fits the whole recording, and
// a vertical cursor follows the mouse with the time and the shown series' values at that point.
// What the user does to the view is reported (navigated), so that a live view can stop following
// its newest values; End asks to follow them again.
#pragma once

#include <QColor>
#include <QGraphicsView>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace graphs {

// What the cursor shows at one scene x: a heading line (the time) and one coloured line per series.
struct CursorReadout {
    QString heading;
    std::vector<std::pair<QString, QColor>> lines;
};

class GraphView : public QGraphicsView {
    Q_OBJECT
public:
    GraphView(QGraphicsScene *scene, QWidget *parent = nullptr);

    void setReadout(std::function<CursorReadout(double sceneX)> readout) { m_readout = std::move(readout); }
    // Horizontal scale limits; the current scale is brought within them.
    void setScaleLimits(double smallest, double largest);
    double horizontalScale() const { return transform().m11(); }
    // Scales the time axis, keeping the scene point under viewport x `anchor` in place.
    void zoomTo(double scale, double anchor);
    void fitAll();
    void zoomToSceneRange(double from, double to);
    // Scene x shown at viewport x.
    double sceneXAt(double viewportX) const;
    // The viewport without cursor or selection, as shown.
    QImage renderViewport();
    // Where the cursor is (viewport x) and what it shows.
    std::optional<int> cursorX() const { return m_cursor; }
    const CursorReadout &cursorReadout() const { return m_shown; }

signals:
    void viewportResized();
    // The user panned or zoomed (wheel, drag, range, fit, keys or scroll bar).
    void navigated();
    // The End key.
    void endRequested();

protected:
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void drawForeground(QPainter *painter, const QRectF &rect) override;

private:
    void moveCursor(std::optional<int> x);
    QRect readoutRect(int x) const;
    QRect selectionRect() const;
    void updateOverlay(int dx = 0);

    std::function<CursorReadout(double)> m_readout;
    std::optional<int> m_cursor;
    CursorReadout m_shown;
    std::optional<int> m_selectionStart;
    int m_selectionEnd = 0;
    double m_smallestScale = 1e-9;
    double m_largestScale = 1e9;
    bool m_overlayHidden = false;
};

} // namespace graphs
