// The debug page's live trend:   bench_trend [cpu-seconds]   (run a Release build; each day runs in a
// process of its own, "bench_trend day basic|water|air" runs one)
// 1. A day at the fastest cycle, per model. The simulator's board engine runs in this process on a
//    simulated clock and answers every monitor index after the shortest wait a monitor read has
//    (75 ms: 375 ms a cycle of five indexes, 450 ms of six); its stove is started, stopped and set to
//    other powers along the day, and every six hours the board is silent for a minute (each index
//    then fails after its 1.6 s of waits). The triplets go through the page's decoding into the trend
//    and, every simulated second, into a recording line as the page's recorder writes them (its
//    latest values as they stand). Prints the trend's memory (its own count and the growth of the
//    resident size) and the trend view's refresh and repaint time at every span after the day, a
//    cycle arriving between repaints, in wall and thread CPU time.
// 2. The recording read back as the graph viewer reads it, every value of every line compared with
//    the trend at the line's stamp: the value of the trend's newest row of that index at or before it.
// 3. CPU of the program on the debug page, polling the simulator at 115200 baud (the link's fastest)
//    with its stove 60 times faster (a simulated hour in a minute), the trend window shown and
//    following, then hidden; the process's CPU time over the wall time.
#include "app/session.h"
#include "app/settings.h"
#include "board/commands.h"
#include "board/serialthread.h"
#include "control.h"
#include "engine.h"
#include "graphs/livetrend.h"
#include "graphs/recording.h"
#include "graphs/trendview.h"
#include "monitor/debugpage.h"
#include "monitor/monitortrend.h"
#include "monitor/recording.h"
#include "monitor/trendwindow.h"
#include "program.h"
#include "qtbench.h"
#include "ui/hearthbench.h"

#include <QEventLoop>
#include <QProcess>
#include <QPushButton>
#include <QThread>
#include <QToolButton>
#include <QWindow>

#include <functional>

namespace {

using bench::percentile;

constexpr qint64 kDayMs = 24LL * 3600 * 1000;
constexpr qint64 kReadMs = 75;         // the shortest wait of a monitor read
constexpr qint64 kFailedReadMs = 1575; // the waits of a read whose seven attempts all fail
constexpr qint64 kTickMs = 500;        // the trend window's tick
constexpr int kRepaints = 40;

// The simulated board and clock: one monitor read after another, as the polling thread makes them.
class SimulatedPolling {
public:
    SimulatedPolling(StoveModel model, qint64 start)
        : m_model(model), m_engine(config(model)), m_base(stovesim::Clock::now()), m_start(start) {}

    qint64 now() const { return m_start + m_elapsed; }
    // The next read: nothing while the board is silent.
    std::optional<std::array<short, 4>> read(int index) {
        const qint64 hour = m_elapsed / 3600000, minute = m_elapsed / 60000 % 60;
        schedule(hour, minute);
        if (hour % 6 == 5 && minute == 30) { // silent for that minute
            m_elapsed += kFailedReadMs;
            return std::nullopt;
        }
        m_elapsed += kReadMs;
        board::Command command;
        board::debugCommand(static_cast<unsigned short>(index), command);
        std::vector<stovesim::Exchange> exchanges;
        m_engine.receive(
            std::span(reinterpret_cast<const std::uint8_t *>(command.bytes), std::size_t(command.length)),
            clock(), exchanges);
        std::array<short, 4> triplet{short(index), 0, 0, 0};
        if (exchanges.empty() || !exchanges.back().reply) return std::nullopt;
        const stovesim::Bytes &reply = *exchanges.back().reply;
        if (!board::parseDebugReply(command, reply.data(), unsigned(reply.size()), &triplet[1], &triplet[2],
                                    &triplet[3]))
            return std::nullopt;
        return triplet;
    }

private:
    static stovesim::EngineConfig config(StoveModel model) {
        stovesim::EngineConfig c;
        c.model = model == StoveModel::Basic   ? stovesim::Model::Basic
                  : model == StoveModel::Water ? stovesim::Model::Water
                                               : stovesim::Model::AirDucted;
        return c;
    }
    stovesim::Clock::time_point clock() const { return m_base + std::chrono::milliseconds(m_elapsed); }
    // The stove's day: on at once, powers changed, off for the evening, on again for the night.
    void schedule(qint64 hour, qint64 minute) {
        const qint64 at = hour * 60 + minute;
        if (at == m_lastEvent) return;
        m_lastEvent = at;
        const char *action = at == 0      ? "start"
                             : at == 180  ? "power 5"
                             : at == 420  ? "power 2"
                             : at == 720  ? "stop"
                             : at == 900  ? "start"
                             : at == 1200 ? "power 4"
                                          : nullptr;
        if (action != nullptr) stovesim::control(m_engine, action, clock());
    }

    StoveModel m_model;
    stovesim::Engine m_engine;
    stovesim::Clock::time_point m_base;
    qint64 m_start;
    qint64 m_elapsed = 0;
    qint64 m_lastEvent = -1;
};

QString modelWord(StoveModel model) {
    return model == StoveModel::Basic   ? QStringLiteral("basic")
           : model == StoveModel::Water ? QStringLiteral("water")
                                        : QStringLiteral("air");
}

// One simulated cycle into the trend and the recording; `line` writes the recording's lines due.
void cycle(SimulatedPolling &polling, MonitorTrend &trend, RecordFields &fields, StoveModel model,
           qint64 &nextTick, const std::function<void(qint64)> &line) {
    for (int index = 1; index <= monitorIndexCount(model); ++index) {
        const auto triplet = polling.read(index);
        line(polling.now());
        while (nextTick <= polling.now()) {
            trend.tick();
            nextTick += kTickMs;
        }
        if (!triplet) continue;
        const auto decoded = decodeTriplet(model, index, (*triplet)[1], (*triplet)[2], (*triplet)[3], true);
        if (!decoded) continue;
        fields.set(index, *decoded);
        trend.add(index, *decoded);
    }
}

// The recording read back, compared line by line with the trend at each stamp.
void compare(const QString &csvPath, StoveModel model, const graphs::LiveTrend &trend) {
    QFile file(csvPath);
    if (!file.open(QIODevice::ReadOnly)) return;
    const auto csv = graphs::readRecordingFile(file, graphs::RecordedModel(int(model)));
    if (!csv) return;
    qint64 equal = 0, bothMissing = 0, carried = 0, different = 0, before = 0;
    const qint64 firstRow = trend.start().value_or(0);
    for (qsizetype n = 0; n < csv->size(); ++n) {
        const qint64 stamp = csv->time(n) * 1000;
        if (stamp < firstRow) {
            ++before;
            continue;
        }
        for (int c = 0; c < csv->columnCount(); ++c) {
            const graphs::Recording &group = *trend.group(trend.groupOf(c));
            const int column = trend.columnInGroup(c);
            const auto after = std::upper_bound(group.times().begin(), group.times().end(), stamp);
            const qsizetype j = (after - group.times().begin()) - 1;
            const bool trendHas = j >= 0 && group.present(column, j);
            const bool csvHas = csv->present(c, n);
            if (trendHas && csvHas && group.text(column, j) == csv->text(c, n))
                ++equal;
            else if (!trendHas && !csvHas)
                ++bothMissing;
            else if (!trendHas && csvHas)
                ++carried;
            else
                ++different;
        }
    }
    std::printf(
        "  trend vs recording: %lld lines, %lld values: %lld equal, %lld missing in both, %lld carried by "
        "the recorder over a gap of the trend, %lld different (%lld lines before the trend's oldest row)\n",
        static_cast<long long>(csv->size()),
        static_cast<long long>(equal + bothMissing + carried + different), static_cast<long long>(equal),
        static_cast<long long>(bothMissing), static_cast<long long>(carried),
        static_cast<long long>(different), static_cast<long long>(before));
}

void day(StoveModel model, const QString &folder) {
    const qint64 start = QDateTime(QDate(2024, 3, 9), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
    // Reads fall between whole seconds, as they do on a board: no read shares a recording stamp.
    SimulatedPolling polling(model, start + 30);
    MonitorTrend trend([&] { return polling.now(); });
    const long residentBefore = bench::statusKiB();
    trend.start(model);
    RecordFields fields;
    const QString csvPath = folder + QStringLiteral("/") + modelWord(model) + QStringLiteral(".csv");
    QFile csv(csvPath);
    if (!csv.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
    csv.write(recordingHeader(model).toUtf8());
    qint64 nextLine = start + 1000, nextTick = start + kTickMs;
    const auto line = [&](qint64 now) {
        for (; nextLine <= now; nextLine += 1000)
            csv.write(
                recordingLine(QDateTime::fromMSecsSinceEpoch(nextLine, Qt::UTC), fields, model).toUtf8());
    };
    const double cpuBefore = bench::threadCpuMs();
    while (polling.now() < start + kDayMs)
        cycle(polling, trend, fields, model, nextTick, line);
    const double cpuMs = bench::threadCpuMs() - cpuBefore;
    csv.close();
    const graphs::LiveTrend &live = *trend.trend();
    qsizetype rows = 0;
    for (int g = 0; g < live.groupCount(); ++g)
        rows += live.group(g)->size();
    std::printf(
        "%s: a day at %lld ms a cycle: %lld rows in %d groups (room for %lld each); trend memory %.1f MB "
        "counted, resident +%.1f MB; %.2f us CPU per row (decoding, trend and recording line)\n",
        qPrintable(modelName(model, false)), static_cast<long long>(kReadMs * monitorIndexCount(model)),
        static_cast<long long>(rows), live.groupCount(), static_cast<long long>(live.capacity()),
        double(live.bytes()) / 1e6, double(bench::statusKiB() - residentBefore) / 1024.0,
        cpuMs * 1000.0 / double(std::max<qsizetype>(rows, 1)));
    compare(csvPath, model, live);

    // The view after the day: a refresh and a full repaint per cycle, every span, all series shown.
    graphs::TrendView view;
    view.setTrend(&live, QString());
    view.resize(920, 560);
    view.show();
    bench::waitExposed(&view);
    for (int s = 0; s < graphs::TrendView::kSpans; ++s) {
        view.setSpan(graphs::TrendView::Span(s));
        std::vector<double> wall, cpu;
        for (int i = 0; i < kRepaints; ++i) {
            cycle(polling, trend, fields, model, nextTick, [](qint64) {});
            const double cpuStart = bench::threadCpuMs();
            const auto wallStart = bench::Clock::now();
            view.refresh();
            view.view()->viewport()->repaint();
            wall.push_back(bench::msSince(wallStart));
            cpu.push_back(bench::threadCpuMs() - cpuStart);
        }
        const char *names[] = {"5 min", "30 min", "2 h", "all (a day)"};
        std::printf("  span %-11s refresh and repaint: p50 %.2f ms, p95 %.2f ms wall; p95 %.2f ms CPU\n",
                    names[s], percentile(wall, 0.5), percentile(wall, 0.95), percentile(cpu, 0.95));
    }
}

// Runs the event loop as the program does.
void runEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void cpu(int seconds, bool shown) {
    QSettings().setValue(settingkeys::baudRate, 115200);
    hbsupport::Program program({"--model", "water", "--baud", "115200", "--speed", "60"});
    program.simulator().control("start");
    HearthBench &window = program.window();
    window.show();
    program.click("debugToolButton");
    TrendWindow *trend = window.findChild<DebugPage *>()->trendWindow();
    if (shown) trend->pageButton()->click();
    runEventLoop(5000); // the first cycles: settle before measuring
    const graphs::LiveTrend *live = trend->monitorTrend().trend();
    const auto rows = [&] {
        qsizetype n = 0;
        for (int g = 0; live != nullptr && g < live->groupCount(); ++g)
            n += live->group(g)->size();
        return n;
    };
    const qsizetype rowsBefore = rows();
    const double cpuStart = bench::processCpuSeconds();
    const auto wall = bench::Clock::now();
    runEventLoop(seconds * 1000);
    const double used = bench::processCpuSeconds() - cpuStart, elapsed = bench::msSince(wall) / 1000.0;
    const qsizetype read = rows() - rowsBefore;
    std::printf(
        "cpu: %.2f %% of one core over %.0f s (%.0f simulated minutes) polling WATER at 115200 baud, trend "
        "window %s: %lld triplets, one cycle every %.0f ms\n",
        100.0 * used / elapsed, elapsed, elapsed, shown ? "shown and following" : "hidden",
        static_cast<long long>(read), read > 0 ? elapsed * 1000.0 * 5 / double(read) : 0.0);
}

} // namespace

int main(int argc, char *argv[]) {
    bench::useOffscreen();
    QApplication application(argc, argv);
    bench::ScratchSettings settings;
    bench::BoxAcceptor boxes(true);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() > 2 && arguments.at(1) == QLatin1String("day")) {
        day(modelFromName(arguments.at(2)), settings.filePath(QString()));
        return 0;
    }
    // Each day in a process of its own: the resident growth is the trend's alone.
    for (const char *model : {"BASIC", "WATER", "AIR - DUCTED"}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("day"), QLatin1String(model)});
        child.waitForFinished(-1);
    }
    const int cpuSeconds = arguments.size() > 1 ? std::max(10, arguments.at(1).toInt()) : 60;
    cpu(cpuSeconds, true);
    cpu(cpuSeconds, false);
    return 0;
}
