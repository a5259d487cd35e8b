#include "graphs/serieslists.h"

#include "app/messages.h"
#include "app/texts.h"
#include "graphs/brokenline.h"
#include "graphs/seriestable.h"

#include <QBuffer>
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
#include <QToolButton>

#include <algorithm>
#include <optional>

namespace graphs {

const char *const kPlotStyle = "background-color: rgb(0, 0, 0);\ncolor: rgb(255, 255, 255);";

namespace {

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

// The sample of a series nearest to scene x, if it has any.
std::optional<qsizetype> nearestSample(const BrokenLine &line, double sceneX) {
    const std::vector<qint64> &times = line.recording().times();
    if (times.empty()) return std::nullopt;
    const TimeScale scale = line.timeScale();
    const auto after = std::partition_point(times.begin(), times.end(),
                                            [&](qint64 t) { return double(scale.x(t)) < sceneX; });
    qsizetype j = after - times.begin();
    if (j == qsizetype(times.size()) || (j > 0 && sceneX - double(scale.x(times[std::size_t(j - 1)])) <
                                                      double(scale.x(times[std::size_t(j)])) - sceneX))
        --j;
    return j;
}

} // namespace

SeriesLists::SeriesLists(QWidget *parent) : QSplitter(Qt::Vertical, parent) {
    m_viewedLabel = new QLabel(this);
    m_viewedLabel->setObjectName(QStringLiteral("viewedListLabel"));
    m_viewedList = new QListWidget(this);
    m_viewedList->setObjectName(QStringLiteral("viewedList"));
    m_unviewedLabel = new QLabel(this);
    m_unviewedLabel->setObjectName(QStringLiteral("unviewedListLabel"));
    m_unviewedList = new QListWidget(this);
    m_unviewedList->setObjectName(QStringLiteral("unviewedList"));
    auto *buttons = new QWidget(this);
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
    for (int i = 0; i < count(); ++i)
        setStretchFactor(i, listStretch[i]);
    m_viewedList->setStyleSheet(QLatin1String(kPlotStyle));
    m_unviewedList->setStyleSheet(QLatin1String(kPlotStyle));
    connect(m_viewedList, &QListWidget::itemActivated, this, &SeriesLists::updateLists);
    connect(m_unviewedList, &QListWidget::itemActivated, this, &SeriesLists::updateLists);
    applyTexts();
}

void SeriesLists::applyTexts() {
    m_viewedLabel->setText(textAt(Text::GraphsDisplay));
    m_unviewedLabel->setText(textAt(Text::GraphsToHide));
    m_fitAll->setText(textAt(Text::FitAll));
    m_export->setText(textAt(Text::ExportPng));
}

void SeriesLists::setSeries(const QList<BrokenLine *> &series, const std::vector<int> &shown) {
    m_series = series;
    m_viewedList->clear();
    m_unviewedList->clear();
    std::vector<bool> listed(std::size_t(series.size()), false);
    const auto addEntry = [&](int i, QListWidget *list) {
        if (i < 0 || i >= series.size() || listed[std::size_t(i)]) return;
        listed[std::size_t(i)] = true;
        BrokenLine *line = series[i];
        auto *entry = new QListWidgetItem(listEntryText(line->name(), line->unit(), line->kind()), list);
        entry->setForeground(line->colour());
        entry->setData(Qt::UserRole, i);
        line->setListEntry(entry);
        line->setVisible(list == m_viewedList);
    };
    for (int i : shown)
        addEntry(i, m_viewedList);
    for (int i = 0; i < series.size(); ++i)
        addEntry(i, m_unviewedList);
}

std::vector<int> SeriesLists::shownIndexes() const {
    std::vector<int> indexes;
    for (int row = 0; row < m_viewedList->count(); ++row)
        indexes.push_back(m_viewedList->item(row)->data(Qt::UserRole).toInt());
    return indexes;
}

QList<BrokenLine *> SeriesLists::shownSeries() const {
    QList<BrokenLine *> shown;
    for (int i : shownIndexes())
        if (BrokenLine *line = m_series.value(i)) shown.append(line);
    return shown;
}

void SeriesLists::updateLists(QListWidgetItem *item) {
    BrokenLine *line = m_series.value(item->data(Qt::UserRole).toInt());
    QListWidget *from = item->listWidget();
    QListWidget *to = from == m_unviewedList ? m_viewedList : from == m_viewedList ? m_unviewedList : nullptr;
    if (line == nullptr || to == nullptr) return;
    // Hidden series stay with the window, only not drawn.
    line->setVisible(to == m_viewedList);
    to->addItem(from->takeItem(from->row(item)));
    emit changed();
}

void setUpPlotScene(QGraphicsScene &scene) {
    scene.setItemIndexMethod(QGraphicsScene::NoIndex);
    QPalette palette = scene.palette();
    palette.setBrush(QPalette::Window, Qt::black);
    palette.setBrush(QPalette::Text, Qt::white);
    scene.setPalette(palette);
    scene.setBackgroundBrush(Qt::black);
}

double textRowPosition(const QList<BrokenLine *> &series, const BrokenLine *line) {
    return rowPosition(
        series, line, [](const BrokenLine *s) { return s->kind() == SeriesKind::Text; }, 0.01);
}

double flatRowPosition(const QList<BrokenLine *> &series, const BrokenLine *line) {
    return rowPosition(
        series, line, [](const BrokenLine *s) { return s->isFlat(); }, 1.0);
}

void placeRows(const QList<BrokenLine *> &series) {
    for (BrokenLine *line : series) {
        if (line->kind() == SeriesKind::Text) line->setRowPosition(textRowPosition(series, line));
        if (line->isFlat()) line->setRowPosition(flatRowPosition(series, line));
    }
}

CursorReadout readoutAt(const BrokenLine &reference, const QList<BrokenLine *> &shown, double sceneX) {
    CursorReadout readout;
    if (const auto j = nearestSample(reference, sceneX))
        readout.heading = reference.recording().dateTime(*j).toString(QStringLiteral("dd/MM/yyyy h:mm:ss"));
    for (const BrokenLine *line : shown) {
        const auto j = nearestSample(*line, sceneX);
        if (!j) continue;
        const QString value =
            line->name() + QStringLiteral(": ") + line->recording().text(line->column(), *j);
        readout.lines.emplace_back(listEntryText(value, line->unit(), line->kind()), line->colour());
    }
    return readout;
}

bool exportPng(GraphView &view, const QString &fileName) {
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !view.renderViewport().save(&buffer, "PNG")) return false;
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

void exportPngAsked(QWidget *parent, GraphView &view) {
    const QString fileName = QFileDialog::getSaveFileName(
        parent, textAt(Text::SaveAs), QStringLiteral("log%1graph.png").arg(QDir::separator()),
        QStringLiteral("%1 (*.png)").arg(textAt(Text::Files)));
    if (fileName.isEmpty()) return;
    if (!exportPng(view, fileName))
        messages::critical(QCoreApplication::applicationName(),
                           QStringLiteral("%1 %2").arg(textAt(Text::CannotWriteToFile), fileName));
}

} // namespace graphs
