#include "graphs/graphicsdisplayer.h"
#include "app/messages.h"

#include "app/texts.h"
#include "graphs/axes.h"
#include "graphs/brokenline.h"
#include "graphs/graphview.h"
#include "graphs/seriestable.h"

#include <QBuffer>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QSaveFile>
#include <QShowEvent>
#include <QToolButton>

#include <algorithm>

namespace graphs {
namespace {

constexpr int kWindowWidth = 920;
constexpr int kWindowHeight = 560;
// The view's scroll range is an int: the scene scaled to the view stays below this width.
constexpr double kLargestScaledWidth = double(1 << 30);
// Deepest zoom: 64 times the first scale, one interval over 64 x 53 pixels.
constexpr double kLargestZoom = 64;
constexpr double kLeastPlotHeight = 40;
constexpr char kStyle[] = "background-color: rgb(0, 0, 0);\ncolor: rgb(255, 255, 255);";

// Entries of the text table.
enum Text {
    kFiles = 90,
    kSaveAs = 91,
    kCannotWrite = 93,
    kGraphsDisplay = 254,
    kGraphsToHide = 255,
    kFitAll = 300,
    kExportPng = 301,
};

// Position (i + 1) / (k + 1) of `line` among the k series that `belongs` picks, or `none`.
template <typename Predicate>
double rowPosition(const QList<BrokenLine *> &series, const BrokenLine *line, Predicate belongs,
                   double none) {
    int count = 0, index = -1;
    for (const BrokenLine *s : series) {
        if (!belongs(s)) continue;
        if (s == line) index = count;
        ++count;
    }
    return count == 0 || index < 0 ? none : double(index + 1) / double(count + 1);
}

} // namespace

GraphicsDisplayer::GraphicsDisplayer(const QList<BrokenLine *> &series, qint64 interval, QWidget *parent)
    : QSplitter(Qt::Horizontal, parent), m_series(series), m_interval(std::max<qint64>(interval, 1)) {
    setObjectName(QStringLiteral("GraphicsDisplayer"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto *lists = new QSplitter(Qt::Vertical, this);
    m_viewedLabel = new QLabel(lists);
    m_viewedLabel->setObjectName(QStringLiteral("viewedListLabel"));
    m_viewedList = new QListWidget(lists);
    m_viewedList->setObjectName(QStringLiteral("viewedList"));
    m_unviewedLabel = new QLabel(lists);
    m_unviewedLabel->setObjectName(QStringLiteral("unviewedListLabel"));
    m_unviewedList = new QListWidget(lists);
    m_unviewedList->setObjectName(QStringLiteral("unviewedList"));
    auto *buttons = new QWidget(lists);
    auto *buttonRow = new QHBoxLayout(buttons);
    buttonRow->setContentsMargins(0, 0, 0, 0);
    m_fitAll = new QToolButton(buttons);
    m_fitAll->setObjectName(QStringLiteral("fitAllButton"));
    m_export = new QToolButton(buttons);
    m_export->setObjectName(QStringLiteral("exportButton"));
    buttonRow->addWidget(m_fitAll);
    buttonRow->addWidget(m_export);
    buttonRow->addStretch();
    const int listStretch[] = {0, 4, 0, 4, 0};
    for (int i = 0; i < lists->count(); ++i)
        lists->setStretchFactor(i, listStretch[i]);

    for (int i = 0; i < m_series.size(); ++i) {
        BrokenLine *line = m_series[i];
        auto *entry =
            new QListWidgetItem(listEntryText(line->name(), line->unit(), line->kind()), m_viewedList);
        entry->setForeground(line->colour());
        entry->setData(Qt::UserRole, i);
        line->setListEntry(entry);
    }

    // Ticks one interval apart over the whole recording; with no gap in the recording one per sample.
    const Recording &recording = m_series.first()->recording();
    const qint64 span = recording.time(recording.size() - 1) - recording.time(0);
    m_ticks = std::max<qint64>(recording.size(), span / m_interval + 1);
    m_scene = new QGraphicsScene(this);
    m_scene->setObjectName(QStringLiteral("graphScene"));
    m_scene->setItemIndexMethod(QGraphicsScene::NoIndex);
    const auto index = std::make_shared<ColumnIndex>();
    for (BrokenLine *line : m_series) {
        line->setColumnIndex(index);
        line->setStep(kStep);
        line->setInterval(m_interval);
        if (line->kind() == SeriesKind::Text) line->setRowPosition(textRowPosition(line));
        if (line->isFlat()) line->setRowPosition(flatRowPosition(line));
        m_scene->addItem(line);
    }
    m_axes = new Axes(QStringLiteral("t"), m_interval, recording.time(0), m_ticks);
    m_axes->setStep(kStep);
    m_scene->addItem(m_axes);

    m_view = new GraphView(m_scene, this);
    m_view->setObjectName(QStringLiteral("graphView"));
    setStretchFactor(0, 1);
    setStretchFactor(1, 5);

    m_viewedList->setStyleSheet(QLatin1String(kStyle));
    m_unviewedList->setStyleSheet(QLatin1String(kStyle));
    setStyleSheet(QLatin1String(kStyle));
    QPalette palette = m_scene->palette();
    palette.setBrush(QPalette::Window, Qt::black);
    palette.setBrush(QPalette::Text, Qt::white);
    m_scene->setPalette(palette);
    m_scene->setBackgroundBrush(Qt::black);

    connect(m_viewedList, &QListWidget::itemActivated, this, &GraphicsDisplayer::updateLists);
    connect(m_unviewedList, &QListWidget::itemActivated, this, &GraphicsDisplayer::updateLists);
    connect(m_fitAll, &QToolButton::clicked, m_view, &GraphView::fitAll);
    connect(m_export, &QToolButton::clicked, this, &GraphicsDisplayer::exportToPng);
    connect(m_view, &GraphView::viewportResized, this, &GraphicsDisplayer::layoutScene);
    m_view->setReadout([this](double sceneX) { return readout(sceneX); });

    applyTexts();
    m_view->setTransform(QTransform::fromScale(std::min(1.0, kLargestScaledWidth / sceneWidth()), 1));
    layoutScene();
}

double GraphicsDisplayer::sceneWidth() const {
    return double(kStep) * double(m_ticks);
}

double GraphicsDisplayer::textRowPosition(const BrokenLine *line) const {
    return rowPosition(
        m_series, line, [](const BrokenLine *s) { return s->kind() == SeriesKind::Text; }, 0.01);
}

double GraphicsDisplayer::flatRowPosition(const BrokenLine *line) const {
    return rowPosition(
        m_series, line, [](const BrokenLine *s) { return s->isFlat(); }, 1.0);
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

void GraphicsDisplayer::applyTexts() {
    m_viewedLabel->setText(textAt(kGraphsDisplay));
    m_unviewedLabel->setText(textAt(kGraphsToHide));
    m_fitAll->setText(textAt(kFitAll));
    m_export->setText(textAt(kExportPng));
}

CursorReadout GraphicsDisplayer::readout(double sceneX) const {
    const Recording &recording = m_series.first()->recording();
    const TimeScale scale(recording.time(0), m_interval, kStep);
    const std::vector<qint64> &times = recording.times();
    // The sample nearest to x.
    const auto after = std::partition_point(times.begin(), times.end(),
                                            [&](qint64 t) { return double(scale.x(t)) < sceneX; });
    qsizetype j = after - times.begin();
    if (j == recording.size() || (j > 0 && sceneX - double(scale.x(times[std::size_t(j - 1)])) <
                                               double(scale.x(times[std::size_t(j)])) - sceneX))
        --j;
    CursorReadout readout;
    readout.heading = stampDateTime(times[std::size_t(j)]).toString(QStringLiteral("dd/MM/yyyy h:mm:ss"));
    for (int row = 0; row < m_viewedList->count(); ++row) {
        const BrokenLine *line = m_series.value(m_viewedList->item(row)->data(Qt::UserRole).toInt());
        const QString value = line->name() + QStringLiteral(": ") + line->recording().text(line->column(), j);
        readout.lines.emplace_back(listEntryText(value, line->unit(), line->kind()), line->colour());
    }
    return readout;
}

void GraphicsDisplayer::updateLists(QListWidgetItem *item) {
    BrokenLine *line = m_series.value(item->data(Qt::UserRole).toInt());
    QListWidget *from = item->listWidget();
    QListWidget *to = from == m_unviewedList ? m_viewedList : from == m_viewedList ? m_unviewedList : nullptr;
    if (line == nullptr || to == nullptr) return;
    // Hidden series stay in the window, only not drawn.
    line->setVisible(to == m_viewedList);
    to->addItem(from->takeItem(from->row(item)));
    m_view->viewport()->update();
}

void GraphicsDisplayer::setDrawing(Drawing drawing) {
    for (BrokenLine *line : m_series)
        line->setDrawing(drawing);
    m_axes->setDrawing(drawing);
    m_view->viewport()->update();
}

bool GraphicsDisplayer::exportPng(const QString &fileName) {
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !m_view->renderViewport().save(&buffer, "PNG")) return false;
    // A file is replaced only once the picture is complete; anything else (a device) is written
    // directly, and every write is checked, so a full disk is reported rather than a cut picture.
    const QFileInfo target(fileName);
    if (!target.exists() || target.isFile()) {
        QSaveFile file(fileName);
        if (file.open(QIODevice::WriteOnly) && file.write(png) == png.size() && file.commit()) return true;
        file.cancelWriting();
        return false;
    }
    QFile device(fileName);
    return device.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && device.write(png) == png.size();
}

void GraphicsDisplayer::exportToPng() {
    const QString fileName = QFileDialog::getSaveFileName(
        this, textAt(kSaveAs), QStringLiteral("log%1graph.png").arg(QDir::separator()),
        QStringLiteral("%1 (*.png)").arg(textAt(kFiles)));
    if (fileName.isEmpty()) return;
    if (!exportPng(fileName))
        messages::critical(QCoreApplication::applicationName(),
                           QStringLiteral("%1 %2").arg(textAt(kCannotWrite), fileName));
}

void GraphicsDisplayer::showEvent(QShowEvent *event) {
    if (!event->spontaneous()) {
        applyTexts();
        resize(kWindowWidth, kWindowHeight);
    }
    QSplitter::showEvent(event);
}

void GraphicsDisplayer::closeEvent(QCloseEvent *event) {
    event->accept();
}

} // namespace graphs
