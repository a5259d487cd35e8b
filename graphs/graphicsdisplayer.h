// The graph viewer window: the recorded series against a common time axis, with a list of the
// series shown and a list of those hidden (activating an entry moves the series to the other list),
// fit-all and PNG export. Each window deletes itself when closed.
#pragma once

#include "graphs/graphview.h"
#include "graphs/plotgeometry.h"
#include "graphs/serieslists.h"

#include <QList>
#include <QSplitter>

class QGraphicsScene;
class QListWidget;
class QListWidgetItem;
class QToolButton;

namespace graphs {

class Axes;
class BrokenLine;

class GraphicsDisplayer : public QSplitter {
    Q_OBJECT
public:
    // Takes the series (all of one recording, at least two samples) and the interval in seconds (at
    // least 1).
    GraphicsDisplayer(const QList<BrokenLine *> &series, qint64 interval, QWidget *parent = nullptr);

    const QList<BrokenLine *> &series() const { return m_series; }
    GraphView *view() const { return m_view; }
    Axes *axes() const { return m_axes; }
    QListWidget *viewedList() const { return m_lists->viewedList(); }
    QListWidget *unviewedList() const { return m_lists->unviewedList(); }
    QToolButton *fitAllButton() const { return m_lists->fitAllButton(); }
    QToolButton *exportButton() const { return m_lists->exportButton(); }
    // Height of the plot area in scene units; the axis texts lie below it.
    double plotHeight() const { return m_plotHeight; }

    // Where a text series writes its texts: (i + 1) / (k + 1) for the i-th of k text series; 0.01
    // when the window has none. Where a constant series lies: likewise among the constant series;
    // 1.0 when there are none.
    double textRowPosition(const BrokenLine *line) const;
    double flatRowPosition(const BrokenLine *line) const;

    // Draws every item the plain way (every sample, no culling), to check and measure the usual way.
    void setDrawing(Drawing drawing);
    // Writes the graph as shown to a PNG file; false when it cannot be written.
    bool exportPng(const QString &fileName);

public slots:
    void updateLists(QListWidgetItem *item);
    void exportToPng();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void layoutScene();
    double sceneWidth() const;

    QList<BrokenLine *> m_series;
    qint64 m_interval;
    qint64 m_ticks;
    double m_plotHeight = 0;
    QGraphicsScene *m_scene;
    Axes *m_axes;
    GraphView *m_view;
    SeriesLists *m_lists;
};

} // namespace graphs
