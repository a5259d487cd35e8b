// One recorded series drawn in the viewer's scene: a curve of values with their texts, an on/off
// step line, or dashed lines at each change of a text with the text written between them. Only the
// exposed pixel columns are drawn, in device pixels, so that lines and texts keep their size at
// every zoom.
#pragma once

#include "graphs/plotgeometry.h"
#include "graphs/recording.h"

#include <QColor>
#include <QGraphicsItem>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>

class QListWidgetItem;

namespace graphs {

class BrokenLine : public QGraphicsItem {
public:
    BrokenLine(const QString &name, std::shared_ptr<const Recording> recording, int column,
               const QColor &colour, const QString &unit, SeriesKind kind);

    // Time between two steps of the axis, in the recording's time unit.
    void setInterval(qint64 interval) { m_interval = interval; }
    // The time at scene x 0: the recording's first time unless set (series of several recordings
    // share one axis).
    void setTimeOrigin(qint64 time) { m_origin = time; }
    void setStep(int step) { m_step = step; }
    void setListEntry(QListWidgetItem *entry) { m_listEntry = entry; }
    // Scene width of the time axis and height of the plot area (the axis runs along its bottom).
    void setPlotSize(double width, double height);
    // Fraction of the height where a text series writes its texts, or a constant series its line.
    void setRowPosition(double fraction) { m_rowPosition = fraction; }
    void setDrawing(Drawing drawing) { m_drawing = drawing; }
    // Where each pixel column's samples start, shared with the other series of the recording.
    void setColumnIndex(std::shared_ptr<ColumnIndex> index) { m_index = std::move(index); }

    SeriesKind kind() const { return m_kind; }
    const QString &name() const { return m_name; }
    const QString &unit() const { return m_unit; }
    const QColor &colour() const { return m_colour; }
    // Value range: numbers for an analogue series, false/true for an on/off series, none for texts.
    QVariant minimum() const { return rangeEnd(false); }
    QVariant maximum() const { return rangeEnd(true); }
    // An analogue series whose values are all equal: drawn as a row of texts at its row position.
    bool isFlat() const;
    QListWidgetItem *listEntry() const { return m_listEntry; }

    qsizetype sampleCount() const { return m_recording->size(); }
    GraphSample sample(qsizetype j) const { return m_recording->sample(m_column, j); }
    const Recording &recording() const { return *m_recording; }
    int column() const { return m_column; }

    // Where the series' times lie along the scene's x.
    TimeScale timeScale() const;

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

private:
    QVariant rangeEnd(bool greatest) const;
    void paintValues(QPainter *painter, AxisMap x, AxisMap y, ColumnWindow window) const;
    void paintStates(QPainter *painter, AxisMap x, AxisMap y, ColumnWindow window) const;
    void paintTexts(QPainter *painter, AxisMap x, AxisMap y, ColumnWindow window) const;
    QColor textColour() const;

    QString m_name;
    std::shared_ptr<const Recording> m_recording;
    int m_column;
    QColor m_colour;
    QString m_unit;
    SeriesKind m_kind;
    qint64 m_interval = 1;
    std::optional<qint64> m_origin;
    int m_step = kStep;
    QListWidgetItem *m_listEntry = nullptr;
    double m_width = 0;
    double m_height = 0;
    double m_rowPosition = 1.0;
    Drawing m_drawing = Drawing::Reduced;
    std::shared_ptr<ColumnIndex> m_index = std::make_shared<ColumnIndex>();
};

} // namespace graphs
