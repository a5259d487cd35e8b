// The program on the debug page, polling the simulator and recording a line a second, offscreen:
//   bench_monitor [cpu-seconds] [memory-seconds]
// 1. CPU: the simulator paced at 9600 baud in real time; the process's CPU time (window and polling
//    thread) over the wall time, in percent of one core.
// 2. Memory: the simulator's stove running 60 times faster (one simulated hour a real minute by
//    default), burning through ignition, power, cleaning; resident memory sampled along the way.
// Prints the figures, one line per measure.
#include "program.h"
#include "qtbench.h"

#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QTimeEdit>
#include <QToolButton>

#include <functional>

namespace {

qsizetype lineCount(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : -1;
}

// Runs the event loop as the program does (QTest::qWait would add its own polling).
void runEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// One run: the window on the debug page against a fresh simulator, recording into `file`. After the
// first cycles, `started` is called, then `sample` every `sampleMs` for `seconds`.
bool run(const std::vector<std::string> &simulatorArguments, int seconds, const QString &file,
         const std::function<void()> &started, const std::function<void()> &sample, int sampleMs) {
    hbsupport::Program program(simulatorArguments);
    program.simulator().control("start");
    HearthBench &window = program.window();
    window.show();
    QTimer answerer; // the recording's file dialog
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            dialog->selectFile(file);
            static_cast<QDialog *>(dialog)->accept();
        }
    });
    answerer.start(20);
    auto *record = window.findChild<QToolButton *>(QStringLiteral("registrationToolButton"));
    program.click("debugToolButton");
    window.findChild<QTimeEdit *>(QStringLiteral("gapSecondsTimeEdit"))->setTime(QTime(0, 0, 1));
    record->click();
    answerer.stop();
    const bool ok = program.session().model() != StoveModel::Unknown;
    if (!ok) std::fprintf(stderr, "bench_monitor: no board detected\n");
    runEventLoop(5000); // the first cycles and lines: settle before measuring
    started();
    const auto start = bench::Clock::now();
    while (ok && bench::msSince(start) < seconds * 1000.0) {
        runEventLoop(sampleMs);
        sample();
    }
    record->click();
    return ok;
}

} // namespace

int main(int argc, char *argv[]) {
    bench::useOffscreen();
    QApplication application(argc, argv);
    bench::ScratchSettings settings;
    bench::BoxAcceptor boxes(true);
    const int cpuSecondsToRun = argc > 1 ? std::max(10, atoi(argv[1])) : 60;
    const int memorySecondsToRun = argc > 2 ? std::max(10, atoi(argv[2])) : 60;

    // 1. CPU while polling and recording at 1 s, in real time.
    const QString cpuFile = settings.filePath(QStringLiteral("cpu.csv"));
    double cpuStart = 0;
    bench::Clock::time_point wall;
    qsizetype linesAtStart = 0;
    const auto startCpu = [&] {
        cpuStart = bench::processCpuSeconds();
        wall = bench::Clock::now();
        linesAtStart = lineCount(cpuFile);
    };
    if (!run(
            {"--model", "basic"}, cpuSecondsToRun, cpuFile, startCpu, [] {}, 1000))
        return 1;
    const double cpu = bench::processCpuSeconds() - cpuStart, elapsed = bench::msSince(wall) / 1000.0;
    std::printf("cpu: %.2f %% of one core over %.0f s polling BASIC at 9600 baud and recording at 1 s "
                "(%.3f s CPU, %lld lines)\n",
                100.0 * cpu / elapsed, elapsed, cpu,
                static_cast<long long>(lineCount(cpuFile) - linesAtStart));

    // 2. Memory over a simulated hour of the stove, polled and recorded.
    const QString memoryFile = settings.filePath(QStringLiteral("memory.csv"));
    const int speed = 3600 / memorySecondsToRun;
    long first = -1, last = -1, peak = -1;
    QStringList samples;
    const auto sampleMemory = [&] {
        peak = std::max(peak, last = bench::statusKiB());
        samples.append(QString::number(last));
    };
    if (!run(
            {"--model", "water", "--no-pacing", "--speed", std::to_string(speed)}, memorySecondsToRun,
            memoryFile, [&] { first = bench::statusKiB(); }, sampleMemory, memorySecondsToRun * 1000 / 10))
        return 1;
    std::printf("memory: resident %ld KiB after warm-up, %ld KiB at the end (%+ld KiB), peak %ld KiB; "
                "%d s at simulator speed %d (%d simulated minutes), %lld lines\n",
                first, last, last - first, peak, memorySecondsToRun, speed, memorySecondsToRun * speed / 60,
                static_cast<long long>(lineCount(memoryFile)));
    std::printf("memory samples (KiB): %s\n", qPrintable(samples.join(QLatin1Char(' '))));
    return 0;
}
