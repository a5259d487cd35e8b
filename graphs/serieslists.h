// What the graph viewer and the live trend share around their plot: the lists of the series shown
// and hidden (activating an entry moves its series to the other list), the fit-all and PNG buttons,
// where text and constant series write their rows, the cursor read-out and the PNG export.
#pragma once

#include "graphs/graphview.h"

#include <QList>
#include <QSplitter>

#include <vector>

class QGraphicsScene;
class QHBoxLayout;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QToolButton;

namespace graphs {

class BrokenLine;

// Black background and white text, as the plot.
extern const char *const kPlotStyle;
// The view's scroll range is an int: a scene scaled to the view stays below this width.
inline constexpr double kLargestScaledWidth = double(1 << 30);
// Deepest zoom: 64 times scale 1, one interval (or second) over 64 x 53 pixels.
inline constexpr double kLargestZoom = 64;
// Least height of the plot area; the axis texts lie below it.
inline constexpr double kLeastPlotHeight = 40;

// A plot's scene: no item index (the items span the scene), white on black.
void setUpPlotScene(QGraphicsScene &scene);

class SeriesLists : public QSplitter {
    Q_OBJECT
public:
    explicit SeriesLists(QWidget *parent = nullptr);

    // One entry per series, in the shown list those of `shown` (indexes into `series`, in that
    // order), in the hidden list the others; hidden series are made invisible. The series are not
    // owned.
    void setSeries(const QList<BrokenLine *> &series, const std::vector<int> &shown);
    // Indexes of the series shown, in list order.
    std::vector<int> shownIndexes() const;
    QList<BrokenLine *> shownSeries() const;

    QListWidget *viewedList() const { return m_viewedList; }
    QListWidget *unviewedList() const { return m_unviewedList; }
    QToolButton *fitAllButton() const { return m_fitAll; }
    QToolButton *exportButton() const { return m_export; }
    void applyTexts();

public slots:
    void updateLists(QListWidgetItem *item);

signals:
    // A series was moved to the other list.
    void changed();

private:
    QList<BrokenLine *> m_series;
    QLabel *m_viewedLabel;
    QListWidget *m_viewedList;
    QLabel *m_unviewedLabel;
    QListWidget *m_unviewedList;
    QToolButton *m_fitAll;
    QToolButton *m_export;
};

// Where a text series writes its texts: (i + 1) / (k + 1) for the i-th of k text series, 0.01 when
// there are none. Where a constant series lies: likewise among the constant series, 1.0 when there
// are none.
double textRowPosition(const QList<BrokenLine *> &series, const BrokenLine *line);
double flatRowPosition(const QList<BrokenLine *> &series, const BrokenLine *line);
// Sets both on every series.
void placeRows(const QList<BrokenLine *> &series);

// The cursor read-out at scene x: the time of `reference`'s sample nearest to x, then per shown
// series its name and the text of its own sample nearest to x. Series without a sample are left out.
CursorReadout readoutAt(const BrokenLine &reference, const QList<BrokenLine *> &shown, double sceneX);

// Writes the view as shown to a PNG file; false when it cannot be written.
bool exportPng(GraphView &view, const QString &fileName);
// Asks for a file name and writes the PNG, reporting a failure.
void exportPngAsked(QWidget *parent, GraphView &view);

} // namespace graphs
