#include "graphs/graphicsdisplayer.h"

#include "graphs/axes.h"
#include "graphs/brokenline.h"
#include "graphs/graphview.h"
#include "graphs/seriestable.h"

#include <QCloseEvent>
#include <QGraphicsScene>
#include <QShowEvent>
#include <QToolButton>

#include <algorithm>
#include <numeric>

namespace graphs {
namespace {

constexpr int kWindowWidth = 920;
constexpr int kWindowHeight = 560;
} // namespace

GraphicsDisplayer::GraphicsDisplayer(const QList<BrokenLine *> &series, qint64 interval, QWidget *parent)
    : QSplitter(Qt::Horizontal, parent), m_series(series), m_interval(std::max<qint64>(interval, 1)) {
    setObjectName(QStringLiteral("GraphicsDisplayer"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_lists = new SeriesLists(this);
    std::vector<int> all(std::size_t(m_series.size()));
    std::iota(all.begin(), all.end(), 0);
    m_lists->setSeries(m_series, all);

    // Ticks one interval apart over the whole recording; with no gap in the recording one per sample.
    const Recording &recording = m_series.first()->recording();
    const qint64 span = recording.time(recording.size() - 1) - recording.time(0);
    m_ticks = std::max<qint64>(recording.size(), span / m_interval + 1);
    m_scene = new QGraphicsScene(this);
    m_scene->setObjectName(QStringLiteral("graphScene"));
    setUpPlotScene(*m_scene);
    const auto index = std::make_shared<ColumnIndex>();
    for (BrokenLine *line : m_series) {
        line->setColumnIndex(index);
        line->setStep(kStep);
        line->setInterval(m_interval);
        m_scene->addItem(line);
    }
    placeRows(m_series);
    m_axes = new Axes(QStringLiteral("t"), m_interval, recording.time(0), m_ticks);
    m_axes->setStep(kStep);
    m_scene->addItem(m_axes);

    m_view = new GraphView(m_scene, this);
    m_view->setObjectName(QStringLiteral("graphView"));
    setStretchFactor(0, 1);
    setStretchFactor(1, 5);

    setStyleSheet(QLatin1String(kPlotStyle));

    connect(m_lists, &SeriesLists::changed, m_view->viewport(), qOverload<>(&QWidget::update));
    connect(fitAllButton(), &QToolButton::clicked, m_view, &GraphView::fitAll);
    connect(exportButton(), &QToolButton::clicked, this, &GraphicsDisplayer::exportToPng);
    connect(m_view, &GraphView::viewportResized, this, &GraphicsDisplayer::layoutScene);
    m_view->setReadout(
        [this](double sceneX) { return readoutAt(*m_series.first(), m_lists->shownSeries(), sceneX); });

    m_view->setTransform(QTransform::fromScale(std::min(1.0, kLargestScaledWidth / sceneWidth()), 1));
    layoutScene();
}

double GraphicsDisplayer::sceneWidth() const {
    return double(kStep) * double(m_ticks);
}

double GraphicsDisplayer::textRowPosition(const BrokenLine *line) const {
    return graphs::textRowPosition(m_series, line);
}

double GraphicsDisplayer::flatRowPosition(const BrokenLine *line) const {
    return graphs::flatRowPosition(m_series, line);
}

void GraphicsDisplayer::layoutScene() {
    const double viewportHeight = m_view->viewport()->height();
    m_plotHeight = std::max(kLeastPlotHeight, viewportHeight - Axes::kBand);
    const double width = sceneWidth();
    m_scene->setSceneRect(0, 0, width, m_plotHeight + Axes::kBand);
    for (BrokenLine *line : m_series)
        line->setPlotSize(width, m_plotHeight);
    m_axes->setPlotSize(width, m_plotHeight);
    // From the whole recording in the view to the deepest zoom the scroll range allows.
    const double fit = m_view->viewport()->width() / width;
    const double smallest = std::min({1.0, fit, kLargestScaledWidth / width});
    m_view->setScaleLimits(smallest, std::min(kLargestZoom, kLargestScaledWidth / width));
}

void GraphicsDisplayer::updateLists(QListWidgetItem *item) {
    m_lists->updateLists(item);
}

void GraphicsDisplayer::setDrawing(Drawing drawing) {
    for (BrokenLine *line : m_series)
        line->setDrawing(drawing);
    m_axes->setDrawing(drawing);
    m_view->viewport()->update();
}

bool GraphicsDisplayer::exportPng(const QString &fileName) {
    return graphs::exportPng(*m_view, fileName);
}

void GraphicsDisplayer::exportToPng() {
    exportPngAsked(this, *m_view);
}

void GraphicsDisplayer::showEvent(QShowEvent *event) {
    if (!event->spontaneous()) {
        m_lists->applyTexts();
        resize(kWindowWidth, kWindowHeight);
    }
    QSplitter::showEvent(event);
}

void GraphicsDisplayer::closeEvent(QCloseEvent *event) {
    event->accept();
}

} // namespace graphs
