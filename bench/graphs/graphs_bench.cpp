// Graph viewer figures on generated WATER recordings (20 series) of 1 hour, 1 day and 7 days at one
// line a second, for the viewer and for the straightforward reading and drawing, side by side:
//   plain read   the file read line by line (QFile::readLine), nothing interpreted;
//   first paint  from asking for the file to the window painted;
//   peak memory  the process's peak resident size over what it had before the file, against the file size;
//   repaint      a full repaint of the view while zooming with the wheel from the whole recording to
//                one pixel a step, then panning at five zoom levels: p50 and p95 over all repaints, in
//                wall time and in the thread's CPU time (which other work on the machine does not
//                inflate), and the CPU p95 per zoom decade.
// Each case runs in its own process (peak memory is per process); the straightforward drawing stops
// after 60 s and shows what it reached. A file that is not a recording (one line of 200 MB) shows the
// reader's memory bound. Run a Release build: bench/graphs/bench_graphs [--keep folder] (the
// folder keeps the generated files for the next run).
#include "app/settings.h"
#include "app/texts.h"
#include "graphs/graphicsdisplayer.h"
#include "graphs/graphview.h"
#include "graphs/loadrecording.h"
#include "graphs/showgraphics.h"
#include "plain_drawing.h"
#include "recordings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGraphicsView>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QThread>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>

namespace {

constexpr double kBudgetMs = 60000;
constexpr int kPanSteps = 20;

qint64 statusKb(const char *key) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(std::strlen(key))).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// Offscreen windows paint only once the event loop has shown them.
void waitExposed(QWidget *window) {
    QElapsedTimer clock;
    clock.start();
    while ((window->windowHandle() == nullptr || !window->windowHandle()->isExposed()) &&
           clock.elapsed() < 5000) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
}

// CPU time of this thread: what a repaint costs whatever else runs on the machine.
double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return std::nan("");
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(p * double(values.size())))];
}

// Times repaints while zooming from the whole recording in to one pixel a step, then while panning
// at five zoom levels, until `deadline` runs out. Prints the percentiles.
template <typename Zoom, typename Fit>
void measureRepaints(QGraphicsView *view, Zoom zoomTo, Fit fitAll, const QElapsedTimer &clock,
                     double deadline) {
    std::vector<double> all, cpu;
    std::map<int, std::vector<double>> decades; // by floor(log10(scale))
    QElapsedTimer repaint;
    bool stopped = false;
    const auto timed = [&](double scale) {
        if (clock.elapsed() > deadline) return stopped = true, false;
        const double cpuBefore = threadCpuMs();
        repaint.start();
        view->viewport()->repaint();
        const double ms = double(repaint.nsecsElapsed()) / 1e6;
        all.push_back(ms);
        cpu.push_back(threadCpuMs() - cpuBefore);
        decades[int(std::floor(std::log10(scale)))].push_back(cpu.back());
        return true;
    };
    fitAll();
    const double width = view->viewport()->width();
    for (double scale = view->transform().m11(); scale < 1.0 / 53 * 1.05; scale *= 1.05) {
        zoomTo(scale, width / 2);
        if (!timed(view->transform().m11())) break;
    }
    const double fit = [&] {
        fitAll();
        return view->transform().m11();
    }();
    for (double scale : {fit * 4, 0.001, 0.01, 0.1, 1.0}) {
        if (stopped || scale < fit) continue;
        zoomTo(scale, 0);
        QScrollBar *bar = view->horizontalScrollBar();
        bar->setValue(bar->minimum() + (bar->maximum() - bar->minimum()) / 3);
        for (int step = 0; step < kPanSteps && !stopped; ++step) {
            bar->setValue(bar->value() + int(width / 3));
            timed(view->transform().m11());
        }
    }
    double worst = 0;
    for (const auto &[decade, times] : decades) {
        worst = std::max(worst, percentile(times, 0.95));
        std::printf("d%d=%.2f ", decade, percentile(times, 0.95));
    }
    std::printf("repaints=%zu p50=%.2f p95=%.2f cpu50=%.2f cpu95=%.2f worst=%.2f stopped=%d\n", all.size(),
                percentile(all, 0.5), percentile(all, 0.95), percentile(cpu, 0.5), percentile(cpu, 0.95),
                worst, int(stopped));
}

int runViewer(const QString &file) {
    const qint64 baseline = statusKb("VmRSS:");
    QElapsedTimer clock;
    clock.start();
    graphs::GraphicsOpener *opener = graphs::openRecording(nullptr, file);
    graphs::GraphicsDisplayer *window = nullptr;
    QEventLoop loop;
    QObject::connect(opener, &graphs::GraphicsOpener::finished, &loop, [&](graphs::GraphicsDisplayer *d) {
        window = d;
        loop.quit();
    });
    loop.exec();
    if (window == nullptr) return 1;
    const double loaded = double(clock.nsecsElapsed()) / 1e6;
    window->grab();
    const double painted = double(clock.nsecsElapsed()) / 1e6;
    std::printf("loaded=%.1f first=%.1f base=%lld peak=%lld ", loaded, painted, baseline, statusKb("VmHWM:"));
    waitExposed(window);
    graphs::GraphView *view = window->view();
    measureRepaints(
        view, [&](double scale, double anchor) { view->zoomTo(scale, anchor); }, [&] { view->fitAll(); },
        clock, 1e12);
    std::printf("peak=%lld\n", statusKb("VmHWM:"));
    return 0;
}

int runPlain(const QString &file) {
    const qint64 baseline = statusKb("VmRSS:");
    QElapsedTimer clock;
    clock.start();
    const auto specs = graphs::seriesSpecs(graphs::RecordedModel::Water);
    const std::vector<plain::Series> series = plain::read(file, int(specs.size()));
    const double loaded = double(clock.nsecsElapsed()) / 1e6;
    std::printf("loaded=%.1f base=%lld peak=%lld ", loaded, baseline, statusKb("VmHWM:"));
    std::fflush(stdout);
    const qint64 interval = series[0][0].time.secsTo(series[0][1].time);
    QGraphicsScene scene;
    scene.setSceneRect(0, 0, 53.0 * double(series[0].size()), 480);
    scene.setBackgroundBrush(Qt::black);
    int texts = 0;
    for (std::size_t c = 0; c < specs.size(); ++c) {
        double row = 1;
        if (specs[c].kind == graphs::SeriesKind::Text) row = ++texts / 3.0;
        scene.addItem(new plain::Line(series[c], QColor(QRgb(specs[c].rgb)), specs[c].kind, row, interval));
    }
    scene.addItem(new plain::Axes(series[0][0].time, interval, qint64(series[0].size())));
    QGraphicsView view(&scene);
    view.setRenderHint(QPainter::Antialiasing);
    view.setCacheMode(QGraphicsView::CacheNone);
    view.setViewportUpdateMode(QGraphicsView::BoundingRectViewportUpdate);
    view.setTransformationAnchor(QGraphicsView::NoAnchor);
    view.resize(760, 545);
    view.show();
    view.grab();
    const double painted = double(clock.nsecsElapsed()) / 1e6;
    std::printf("first=%.1f peak=%lld ", painted, statusKb("VmHWM:"));
    std::fflush(stdout);
    waitExposed(&view);
    measureRepaints(
        &view,
        [&](double scale, double anchor) {
            const double sceneX = view.mapToScene(QPoint(int(anchor), 0)).x();
            view.setTransform(QTransform::fromScale(scale, 1));
            view.horizontalScrollBar()->setValue(qRound(sceneX * scale - anchor));
        },
        [&] {
            view.setTransform(QTransform::fromScale(view.viewport()->width() / scene.width(), 1));
            view.horizontalScrollBar()->setValue(0);
        },
        clock, kBudgetMs);
    std::printf("peak=%lld\n", statusKb("VmHWM:"));
    return 0;
}

int runJunk(const QString &file) {
    const qint64 baseline = statusKb("VmRSS:");
    const graphs::LoadResult result = graphs::loadRecordingFile(file);
    std::printf("status=%d base=%lld peak=%lld\n", int(result.status), baseline, statusKb("VmHWM:"));
    return 0;
}

double plainReadMs(const QString &file) {
    double best = 1e12;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer clock;
        clock.start();
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) return 0;
        qint64 lines = 0;
        while (!f.atEnd())
            lines += f.readLine().isEmpty() ? 0 : 1;
        best = std::min(best, double(clock.nsecsElapsed()) / 1e6);
    }
    return best;
}

std::map<QString, double> runChild(const QString &mode, const QString &file, int timeoutMs) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), mode, file});
    std::map<QString, double> figures;
    if (!child.waitForFinished(timeoutMs)) {
        child.kill();
        child.waitForFinished(5000);
        figures[QStringLiteral("killed")] = 1;
    }
    for (const QByteArray &word : child.readAllStandardOutput().simplified().split(' ')) {
        const QList<QByteArray> pair = word.split('=');
        if (pair.size() == 2) figures[QString::fromLatin1(pair[0])] = pair[1].toDouble();
    }
    return figures;
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    setApplicationIdentity();
    useDefaultTexts();
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 4 && arguments[1] == QLatin1String("--child")) {
        if (arguments[2] == QLatin1String("viewer")) return runViewer(arguments[3]);
        if (arguments[2] == QLatin1String("plain")) return runPlain(arguments[3]);
        return runJunk(arguments[3]);
    }

    QTemporaryDir temporary;
    const QString folder =
        arguments.size() == 3 && arguments[1] == QLatin1String("--keep") ? arguments[2] : temporary.path();
    std::printf("Graph viewer on %d cores, %s; files in %s\n", QThread::idealThreadCount(),
                qPrintable(QSysInfo::prettyProductName()), qPrintable(folder));
    std::printf("%-4s %-7s %7s %6s %7s %8s %6s %8s %8s %6s | %7s %7s | %7s %7s %8s\n", "file", "drawing",
                "lines", "MB", "read ms", "first ms", "x read", "load ms", "peak MB", "x file", "p50", "p95",
                "cpu p50", "cpu p95", "repaints");
    const struct {
        const char *name;
        qint64 lines;
    } sizes[] = {{"1h", 3600}, {"1d", 86400}, {"7d", 7 * 86400}};
    std::map<QString, std::map<QString, double>> viewer;
    for (const auto &size : sizes) {
        const QString file = folder + QStringLiteral("/water_%1.csv").arg(QLatin1String(size.name));
        if (!QFile::exists(file))
            graphstest::writeRecording(
                file, {graphs::RecordedModel::Water, graphstest::kDefaultStart, size.lines, 1});
        const double megabytes = double(QFileInfo(file).size()) / 1e6;
        const double readMs = plainReadMs(file);
        for (const char *how : {"viewer", "plain"}) {
            const bool ours = how[0] == 'v';
            auto f = runChild(QString::fromLatin1(how), file, ours ? 600000 : int(kBudgetMs) + 90000);
            const auto value = [&](const char *key) {
                const auto found = f.find(QString::fromLatin1(key));
                return found == f.end() ? std::nan("") : found->second;
            };
            const auto text = [](double v, const char *format) {
                return std::isnan(v) ? QStringLiteral("-") : QString::asprintf(format, v);
            };
            const double grown = (value("peak") - value("base")) / 1000;
            std::printf("%-4s %-7s %7lld %6.1f %7.1f %8s %6s %8s %8s %6s | %7s %7s | %7s %7s %8s%s\n",
                        size.name, how, size.lines, megabytes, readMs,
                        qPrintable(text(value("first"), "%.1f")),
                        qPrintable(text(value("first") / readMs, "%.2f")),
                        qPrintable(text(value("loaded"), "%.1f")), qPrintable(text(grown, "%.1f")),
                        qPrintable(text(grown / megabytes, "%.2f")), qPrintable(text(value("p50"), "%.2f")),
                        qPrintable(text(value("p95"), "%.2f")), qPrintable(text(value("cpu50"), "%.2f")),
                        qPrintable(text(value("cpu95"), "%.2f")), qPrintable(text(value("repaints"), "%.0f")),
                        !std::isnan(value("killed")) ? "  stopped: over the time budget"
                        : value("stopped") == 1      ? "  stopped after 60 s"
                                                     : "");
            std::fflush(stdout);
            if (ours) viewer[QLatin1String(size.name)] = f;
        }
    }
    std::printf("\nviewer, repaint cpu p95 (ms) by zoom (pixels per sample = 53 x scale):\n%-4s", "file");
    for (int decade = -5; decade <= 0; ++decade)
        std::printf(" %9s", qPrintable(QStringLiteral("scale 1e%1").arg(decade)));
    std::printf("\n");
    for (const auto &size : sizes) {
        std::printf("%-4s", size.name);
        for (int decade = -5; decade <= 0; ++decade) {
            const auto &f = viewer[QLatin1String(size.name)];
            const auto found = f.find(QStringLiteral("d%1").arg(decade));
            std::printf(" %9s",
                        found == f.end() ? "-" : qPrintable(QString::asprintf("%.2f", found->second)));
        }
        std::printf("\n");
    }
    const auto ratio = [&](const char *key) {
        return viewer[QStringLiteral("7d")][QLatin1String(key)] /
               viewer[QStringLiteral("1h")][QLatin1String(key)];
    };
    std::printf(
        "viewer repaint p95, 7 days over 1 hour: wall %.2f, cpu %.2f; at scale 1e-2 .. 1: %.2f %.2f %.2f\n",
        ratio("p95"), ratio("cpu95"), ratio("d-2"), ratio("d-1"), ratio("d0"));

    // Not a recording: one line of 200 MB.
    const QString junk = folder + QStringLiteral("/junk.csv");
    {
        QFile file(junk);
        if (file.open(QIODevice::WriteOnly)) {
            const QByteArray block(1 << 20, 'x');
            for (int i = 0; i < 200; ++i)
                file.write(block);
        }
    }
    auto j = runChild(QStringLiteral("junk"), junk, 120000);
    std::printf("not a recording, one line of 200 MB: read as %s, peak memory grew by %.1f MB\n",
                j[QStringLiteral("status")] == double(graphs::LoadStatus::NoModelLine) ? "no model line"
                                                                                       : "?",
                (j[QStringLiteral("peak")] - j[QStringLiteral("base")]) / 1000);
    QFile::remove(junk);
    return 0;
}
