// The straightforward viewer, for comparison: every line read with a text stream and a regular
// expression into lists of samples holding date-times and variants, and items that rebuild each
// series' path over all its samples and write every value text on each repaint, in scene
// coordinates under the view's transform.
#pragma once

#include "graphs/seriestable.h"

#include <QDateTime>
#include <QFile>
#include <QGraphicsPathItem>
#include <QGraphicsScene>
#include <QPainter>
#include <QRegularExpression>
#include <QTextStream>
#include <QVariant>

#include <vector>

namespace plain {

struct Sample {
    QDateTime time;
    QVariant value;
    bool present;
};
using Series = std::vector<Sample>;

inline std::vector<Series> read(const QString &fileName, int columns) {
    std::vector<Series> series(static_cast<std::size_t>(columns));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return series;
    QTextStream in(&file);
    const QRegularExpression dataLine(
        QStringLiteral("^[\\d]{2}[/][\\d]{2}[/][\\d]{4}[@][\\d]{2}[:][\\d]{2}[:][\\d]{2}[;]"),
        QRegularExpression::CaseInsensitiveOption);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (!dataLine.match(line).hasMatch()) continue;
        const QStringList parts = line.split(QLatin1Char(';'));
        const QDateTime time = QDateTime::fromString(parts[0], QStringLiteral("dd/MM/yyyy@hh:mm:ss"));
        for (int j = 1; j <= columns; ++j) {
            if (parts.size() == columns + 2)
                series[std::size_t(j - 1)].push_back({time, QVariant(parts[j]), !parts[j].isEmpty()});
            else
                series[std::size_t(j - 1)].push_back({time, QVariant(QStringLiteral("0")), true});
        }
    }
    return series;
}

class Line : public QGraphicsPathItem {
public:
    Line(const Series &samples, const QColor &colour, graphs::SeriesKind kind, double row, qint64 interval)
        : m_samples(samples), m_colour(colour), m_kind(kind), m_row(row), m_interval(double(interval)) {
        setZValue(1);
        if (m_kind == graphs::SeriesKind::Analogue) {
            m_min = m_max = samples.front().value.toDouble();
            for (const Sample &s : samples) {
                m_min = std::min(m_min, s.value.toDouble());
                m_max = std::max(m_max, s.value.toDouble());
            }
        }
    }
    QRectF boundingRect() const override { return scene()->sceneRect(); }
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *) override {
        const double height = scene()->sceneRect().height();
        const auto x = [&](std::size_t j) {
            return std::trunc(double(m_samples.front().time.secsTo(m_samples[j].time)) / m_interval * 53);
        };
        QPainterPath path;
        const QPen white(Qt::white, 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
        switch (m_kind) {
        case graphs::SeriesKind::Text: {
            painter->setPen(QPen(m_colour, 3, Qt::DashLine, Qt::FlatCap, Qt::BevelJoin));
            path.moveTo(1, height);
            path.lineTo(1, 0);
            QString text = m_samples[0].value.toString();
            double from = 0;
            for (std::size_t j = 1; j < m_samples.size(); ++j) {
                if (m_samples[j].value.toString() != text || j + 1 == m_samples.size()) {
                    path.moveTo(x(j), height);
                    path.lineTo(x(j), 0);
                    painter->drawText(QPointF(from, std::trunc(height * m_row)), text);
                    text = m_samples[j].value.toString();
                    from = x(j);
                }
            }
            break;
        }
        case graphs::SeriesKind::OnOff: {
            const auto y = [&](std::size_t j) { return m_samples[j].value.toBool() ? 0.0 : height; };
            painter->setPen(QPen(m_colour, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
            path.moveTo(0, y(0));
            for (std::size_t j = 1; j < m_samples.size(); ++j) {
                if (m_samples[j].value != m_samples[j - 1].value) path.lineTo(53.0 * double(j - 1), y(j));
                path.lineTo(53.0 * double(j), y(j));
            }
            break;
        }
        case graphs::SeriesKind::Analogue: {
            const auto y = [&](std::size_t j) {
                if (m_min == m_max) return height * m_row;
                const double t = (m_samples[j].value.toDouble() - m_min) / (m_max - m_min);
                return (1 - ((1 - 2 * 0.03) * t + 0.03)) * height;
            };
            painter->setPen(white);
            path.moveTo(0, y(0));
            painter->drawText(QPointF(0, y(0)), m_samples[0].value.toString());
            for (std::size_t j = 1; j < m_samples.size(); ++j) {
                painter->setPen(white);
                painter->drawText(QPointF(x(j), y(j)), m_samples[j].value.toString());
                path.lineTo(x(j), y(j));
            }
            painter->setPen(QPen(m_colour, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            break;
        }
        }
        setPath(path);
        painter->drawPath(path);
    }

private:
    const Series &m_samples;
    QColor m_colour;
    graphs::SeriesKind m_kind;
    double m_row;
    double m_interval;
    double m_min = 0, m_max = 0;
};

class Axes : public QGraphicsItem {
public:
    Axes(QDateTime start, qint64 interval, qint64 count)
        : m_start(start), m_interval(interval), m_count(count) {}
    QRectF boundingRect() const override {
        const QRectF r = scene()->sceneRect();
        return {0, r.height() - 50, r.width(), 100};
    }
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *) override {
        const QRectF r = scene()->sceneRect();
        const double height = r.height();
        painter->setPen(QPen(Qt::gray, 2, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
        painter->drawLine(QPointF(r.left(), height), QPointF(r.right(), height));
        QDate printed;
        for (qint64 i = 0; i < m_count; ++i) {
            const double x = 53.0 * double(i);
            const QDateTime time = m_start.addSecs(i * m_interval);
            painter->setPen(QPen(Qt::white, 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
            if (i == 0 || time.date() > printed) {
                painter->drawText(QPointF(x, height + 13), time.toString(QStringLiteral("dd/MM/yyyy")));
                printed = time.date();
            }
            painter->drawText(QPointF(x, height + 26), time.toString(QStringLiteral("h:mm:ss")));
            painter->setPen(QPen(Qt::gray, 2, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
            painter->drawLine(QPointF(x, height - 2), QPointF(x, height + 2));
        }
    }

private:
    QDateTime m_start;
    qint64 m_interval;
    qint64 m_count;
};

} // namespace plain
