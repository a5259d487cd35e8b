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
#include "graphs/graphicsdisplayer.h"
#include "graphs/graphview.h"
#include "graphs/loadrecording.h"
#include "graphs/showgraphics.h"
#include "plain_drawing.h"
#include "qtbench.h"
#include "recordings.h"

#include <QDir>
#include <QEventLoop>
#include <QGraphicsView>
#include <QProcess>
#include <QScrollBar>
#include <QThread>
#include <QWindow>

#include <map>

namespace {

using bench::percentile;
using bench::statusKiB;
using bench::threadCpuMs;

constexpr double kBudgetMs = 60000;
constexpr int kPanSteps = 20;

// Times repaints while zooming from the whole recording in to one pixel a step, then while panning
// at five zoom levels, until `deadlineMs` after `start` runs out. Prints the percentiles.
void measureRepaints(QGraphicsView *view, const std::function<void(double, double)> &zoomTo,
                     const std::function<void()> &fitAll, bench::Clock::time_point start, double deadlineMs) {
    std::vector<double> all, cpu;
    std::map<int, std::vector<double>> decades; // by floor(log10(scale))
    bool stopped = false;
    const auto timed = [&] {
        if (bench::msSince(start) > deadlineMs) return stopped = true, false;
        const double cpuBefore = threadCpuMs();
        const auto repaint = bench::Clock::now();
        view->viewport()->repaint();
        all.push_back(bench::msSince(repaint));
        cpu.push_back(threadCpuMs() - cpuBefore);
        decades[int(std::floor(std::log10(view->transform().m11())))].push_back(cpu.back());
        return true;
    };
    fitAll();
    const double width = view->viewport()->width(), fit = view->transform().m11();
    for (double scale = fit; scale < 1.0 / 53 * 1.05; scale *= 1.05) {
        zoomTo(scale, width / 2);
        if (!timed()) break;
    }
    fitAll();
    for (double scale : {fit * 4, 0.001, 0.01, 0.1, 1.0}) {
        if (stopped || scale < fit) continue;
        zoomTo(scale, 0);
        QScrollBar *bar = view->horizontalScrollBar();
        bar->setValue(bar->minimum() + (bar->maximum() - bar->minimum()) / 3);
        for (int step = 0; step < kPanSteps && !stopped; ++step) {
            bar->setValue(bar->value() + int(width / 3));
            timed();
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

// One case in this process: "viewer", "plain" or "junk" (the reader alone) on `file`. Prints its
// figures as name=value words (times in ms, memory in kB).
int runCase(const QString &mode, const QString &file) {
    std::printf("base=%ld ", statusKiB());
    const auto start = bench::Clock::now();
    if (mode == QLatin1String("junk")) {
        std::printf("status=%d peak=%ld\n", int(graphs::loadRecordingFile(file).status), statusKiB("VmHWM:"));
        return 0;
    }
    if (mode == QLatin1String("viewer")) {
        graphs::GraphicsOpener *opener = graphs::openRecording(nullptr, file);
        graphs::GraphicsDisplayer *window = nullptr;
        QEventLoop loop;
        QObject::connect(opener, &graphs::GraphicsOpener::finished, &loop, [&](graphs::GraphicsDisplayer *d) {
            window = d;
            loop.quit();
        });
        loop.exec();
        if (window == nullptr) return 1;
        std::printf("loaded=%.1f ", bench::msSince(start));
        window->grab();
        std::printf("first=%.1f peak=%ld ", bench::msSince(start), statusKiB("VmHWM:"));
        bench::waitExposed(window);
        graphs::GraphView *view = window->view();
        measureRepaints(
            view, [&](double scale, double anchor) { view->zoomTo(scale, anchor); }, [&] { view->fitAll(); },
            start, 1e12);
        std::printf("peak=%ld\n", statusKiB("VmHWM:"));
        return 0;
    }
    const auto defs = graphs::seriesDefs(graphs::RecordedModel::Water);
    const std::vector<plain::Series> series = plain::read(file, int(defs.size()));
    std::printf("loaded=%.1f peak=%ld ", bench::msSince(start), statusKiB("VmHWM:"));
    std::fflush(stdout);
    const qint64 interval = series[0][0].time.secsTo(series[0][1].time);
    QGraphicsScene scene(0, 0, 53.0 * double(series[0].size()), 480);
    scene.setBackgroundBrush(Qt::black);
    int texts = 0;
    for (std::size_t c = 0; c < defs.size(); ++c) {
        const double row = defs[c].kind == graphs::SeriesKind::Text ? ++texts / 3.0 : 1;
        scene.addItem(new plain::Line(series[c], QColor(QRgb(defs[c].rgb)), defs[c].kind, row, interval));
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
    std::printf("first=%.1f peak=%ld ", bench::msSince(start), statusKiB("VmHWM:"));
    std::fflush(stdout);
    bench::waitExposed(&view);
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
        start, kBudgetMs);
    std::printf("peak=%ld\n", statusKiB("VmHWM:"));
    return 0;
}

// The best of three plain line-by-line reads.
double plainReadMs(const QString &file) {
    double best = 1e12;
    for (int round = 0; round < 3; ++round) {
        const auto start = bench::Clock::now();
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) return 0;
        while (!f.atEnd())
            f.readLine();
        best = std::min(best, bench::msSince(start));
    }
    return best;
}

// Runs one case in a child process; its figures by name ("killed" when it ran out of time). A
// figure it did not print reads as NaN.
struct Figures : std::map<QString, double> {
    double operator()(const char *key) const {
        const auto found = find(QLatin1String(key));
        return found == end() ? std::nan("") : found->second;
    }
};
Figures runChild(const QString &mode, const QString &file, int timeoutMs) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), mode, file});
    Figures figures;
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

// A figure with `format`, or "-" when there is none.
QByteArray shown(double value, const char *format = "%.2f") {
    return std::isnan(value) ? QByteArray("-") : QString::asprintf(format, value).toLatin1();
}

} // namespace

int main(int argc, char **argv) {
    bench::useOffscreen();
    QApplication application(argc, argv);
    setApplicationIdentity();
    useDefaultTexts();
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 4 && arguments[1] == QLatin1String("--child"))
        return runCase(arguments[2], arguments[3]);

    QTemporaryDir temporary;
    const QString folder =
        arguments.size() == 3 && arguments[1] == QLatin1String("--keep") ? arguments[2] : temporary.path();
    // The children would wait on the viewer's message box about an unreadable file for ever.
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "bench_graphs: cannot create the folder %s\n", qPrintable(folder));
        return 2;
    }
    std::printf("Graph viewer on %d cores, %s; files in %s\n", QThread::idealThreadCount(),
                qPrintable(QSysInfo::prettyProductName()), qPrintable(folder));
    std::printf("%-4s %-7s %7s %6s %7s %8s %6s %8s %8s %6s | %7s %7s | %7s %7s %8s\n", "file", "drawing",
                "lines", "MB", "read ms", "first ms", "x read", "load ms", "peak MB", "x file", "p50", "p95",
                "cpu p50", "cpu p95", "repaints");
    const std::pair<const char *, qint64> sizes[] = {{"1h", 3600}, {"1d", 86400}, {"7d", 7 * 86400}};
    std::map<QString, Figures> viewer;
    for (const auto &[size, lines] : sizes) {
        const QString file = folder + QStringLiteral("/water_%1.csv").arg(QLatin1String(size));
        if (!QFile::exists(file) && !hbsupport::writeRecording(file, {graphs::RecordedModel::Water,
                                                                      hbsupport::kDefaultStart, lines, 1})) {
            std::fprintf(stderr, "bench_graphs: cannot write %s\n", qPrintable(file));
            return 2;
        }
        const double megabytes = double(QFileInfo(file).size()) / 1e6;
        const double readMs = plainReadMs(file);
        for (const char *how : {"viewer", "plain"}) {
            const bool ours = how[0] == 'v';
            const Figures f = runChild(QLatin1String(how), file, ours ? 600000 : int(kBudgetMs) + 90000);
            const double grown = (f("peak") - f("base")) / 1000;
            std::printf("%-4s %-7s %7lld %6.1f %7.1f %8s %6s %8s %8s %6s | %7s %7s | %7s %7s %8s%s\n", size,
                        how, lines, megabytes, readMs, shown(f("first"), "%.1f").data(),
                        shown(f("first") / readMs).data(), shown(f("loaded"), "%.1f").data(),
                        shown(grown, "%.1f").data(), shown(grown / megabytes).data(), shown(f("p50")).data(),
                        shown(f("p95")).data(), shown(f("cpu50")).data(), shown(f("cpu95")).data(),
                        shown(f("repaints"), "%.0f").data(),
                        f("killed") == 1    ? "  stopped: over the time budget"
                        : f("stopped") == 1 ? "  stopped after 60 s"
                                            : "");
            std::fflush(stdout);
            if (ours) viewer[QLatin1String(size)] = f;
        }
    }
    std::printf("\nviewer, repaint cpu p95 (ms) by zoom (pixels per sample = 53 x scale):\n%-4s", "file");
    for (int decade = -5; decade <= 0; ++decade)
        std::printf(" %9s", qPrintable(QStringLiteral("scale 1e%1").arg(decade)));
    for (const auto &[size, lines] : sizes) {
        std::printf("\n%-4s", size);
        for (int decade = -5; decade <= 0; ++decade)
            std::printf(
                " %9s",
                shown(viewer[QLatin1String(size)](qPrintable(QStringLiteral("d%1").arg(decade)))).data());
    }
    const auto ratio = [&](const char *key) {
        return viewer[QStringLiteral("7d")](key) / viewer[QStringLiteral("1h")](key);
    };
    std::printf(
        "\nviewer repaint p95, 7 days over 1 hour: wall %.2f, cpu %.2f; at scale 1e-2 .. 1: %.2f %.2f %.2f\n",
        ratio("p95"), ratio("cpu95"), ratio("d-2"), ratio("d-1"), ratio("d0"));

    // Not a recording: one line of 200 MB.
    const QString junk = folder + QStringLiteral("/junk.csv");
    QFile file(junk);
    if (file.open(QIODevice::WriteOnly))
        for (int i = 0; i < 200; ++i)
            file.write(QByteArray(1 << 20, 'x'));
    file.close();
    const Figures j = runChild(QStringLiteral("junk"), junk, 120000);
    std::printf("not a recording, one line of 200 MB: read as %s, peak memory grew by %.1f MB\n",
                j("status") == double(graphs::LoadStatus::NoModelLine) ? "no model line" : "?",
                (j("peak") - j("base")) / 1000);
    QFile::remove(junk);
    return 0;
}
