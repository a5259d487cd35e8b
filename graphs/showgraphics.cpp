#include "graphs/showgraphics.h"
#include "app/messages.h"

#include "app/texts.h"
#include "graphs/brokenline.h"
#include "graphs/graphicsdisplayer.h"
#include "graphs/seriestable.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

namespace graphs {
namespace {

constexpr int kProgressSteps = 1000;
constexpr int kProgressShownAfterMs = 1000;
constexpr int kProgressRefreshMs = 100;

} // namespace

// State shared with the worker thread, which may outlive the opener when it is stopped.
struct GraphicsOpener::Shared {
    std::atomic<bool> cancel{false};
    std::atomic<qint64> bytesDone{0};
    LoadResult result;
};

void showGraphics(QWidget *window) {
    const QString fileName = QFileDialog::getOpenFileName(
        window, textAt(Text::SelectFileToOpen), QStringLiteral("log%1debug.csv").arg(QDir::separator()),
        QStringLiteral("%1 (*.csv)").arg(textAt(Text::Files)));
    if (fileName.isEmpty()) return;
    openRecording(window, fileName);
}

GraphicsOpener *openRecording(QWidget *window, const QString &fileName, ReadTo readTo) {
    return new GraphicsOpener(window, fileName, readTo);
}

QList<BrokenLine *> buildSeries(const std::shared_ptr<const Recording> &recording) {
    QList<BrokenLine *> series;
    const auto defs = seriesDefs(recording->model());
    for (int column = 0; column < int(defs.size()); ++column) {
        const SeriesDef &def = defs[std::size_t(column)];
        series.append(new BrokenLine(seriesName(def), recording, column, QColor(QRgb(def.rgb)),
                                     QString::fromUtf8(def.unit), def.kind));
    }
    return series;
}

GraphicsOpener::GraphicsOpener(QWidget *window, const QString &fileName, ReadTo readTo)
    : QObject(window), m_fileName(fileName), m_shared(std::make_shared<Shared>()) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_cursorSet = true;

    m_progress = new QProgressDialog(textAt(Text::LoadingRecording) + QStringLiteral("..."),
                                     textAt(Text::Stop), 0, kProgressSteps, window);
    // Not modal: a modal dialog would run events inside setValue(), where the read may end.
    m_progress->setMinimumDuration(kProgressShownAfterMs);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    connect(m_progress, &QProgressDialog::canceled, this, [shared = m_shared] { shared->cancel = true; });
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &GraphicsOpener::showProgress);
    timer->start(kProgressRefreshMs);

    // The thread deletes itself when done; it may outlive the opener, which then stops it.
    QThread *thread = QThread::create([shared = m_shared, fileName, readTo] {
        shared->result = loadRecordingFile(fileName, {&shared->cancel, &shared->bytesDone}, readTo);
    });
    connect(thread, &QThread::finished, this, &GraphicsOpener::loaded);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

GraphicsOpener::~GraphicsOpener() {
    restoreCursor();
    delete m_progress;
    // Closed while reading: the read stops at its next chunk.
    m_shared->cancel = true;
}

void GraphicsOpener::restoreCursor() {
    if (m_cursorSet) QApplication::restoreOverrideCursor();
    m_cursorSet = false;
}

void GraphicsOpener::showProgress() {
    const qint64 size = QFileInfo(m_fileName).size();
    if (m_progress && size > 0)
        m_progress->setValue(
            int(std::min<qint64>(kProgressSteps, m_shared->bytesDone * kProgressSteps / size)));
}

void GraphicsOpener::loaded() {
    restoreCursor();
    delete m_progress;
    GraphicsDisplayer *displayer = report(m_shared->result);
    emit finished(displayer);
    deleteLater();
}

GraphicsDisplayer *GraphicsOpener::report(const LoadResult &result) {
    const QString applicationName = QCoreApplication::applicationName();
    const QString notCompatible = textAt(Text::FileModifiedNotCompatible) + applicationName;
    switch (result.status) {
    case LoadStatus::CannotOpen:
        messages::information(applicationName,
                              textAt(Text::CannotOpenForParameter).arg(m_fileName, QStringLiteral("MODEL")));
        messages::critical(textAt(Text::Graphics), notCompatible);
        return nullptr;
    case LoadStatus::NoModelLine:
        messages::critical(textAt(Text::Graphics), notCompatible);
        return nullptr;
    case LoadStatus::CannotRead:
        messages::critical(textAt(Text::Graphics),
                           QStringLiteral("%1 %2").arg(textAt(Text::CannotReadFile), m_fileName));
        return nullptr;
    case LoadStatus::UnknownModel:
    case LoadStatus::Cancelled:
        return nullptr;
    case LoadStatus::Loaded:
        break;
    }
    if (!result.interval.opened)
        messages::warning(applicationName, textAt(Text::CannotOpenForReading).arg(m_fileName));
    const Recording &recording = *result.recording;
    // Positions along the time axis need two samples and an interval of at least a second.
    if (recording.size() < 2) {
        messages::information(textAt(Text::Graphics), textAt(Text::TooFewDataLines));
        return nullptr;
    }
    qint64 interval = result.interval.seconds.value_or(0);
    if (interval < 1) interval = std::max<qint64>(1, recording.time(1) - recording.time(0));
    auto *displayer = new GraphicsDisplayer(buildSeries(result.recording), interval);
    const qint64 first = result.interval.first.value_or(recording.time(0));
    displayer->setWindowTitle(viewerTitle(m_fileName, stampDateTime(first)));
    displayer->show();
    return displayer;
}

} // namespace graphs
