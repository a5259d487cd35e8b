// The program on the debug page, polling the simulator and recording a line a second, offscreen:
//   bench_monitor [cpu-seconds] [memory-seconds]
// 1. CPU: the simulator paced at 9600 baud in real time; the process's CPU time (window and polling
//    thread) over the wall time, in percent of one core.
// 2. Memory: the simulator's stove running 60 times faster (one simulated hour a real minute by
//    default), burning through ignition, power, cleaning; resident memory sampled along the way.
// Prints the figures, one line per measure.
#include "app/session.h"
#include "app/settings.h"
#include "app/texts.h"
#include "board/boardlink.h"
#include "board/serialthread.h"
#include "ui/hearthbench.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>

#include <sys/resource.h>

#include <cstdio>

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    const QByteArray text = status.readAll();
    return text.mid(text.indexOf("VmRSS:") + 6).simplified().split(' ').value(0).toLong();
}

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

// One run: the window on the debug page against a fresh simulator, recording into `file`.
// `sample` is called every `sampleMs` while it runs for `seconds`.
bool run(const QStringList &simulatorArguments, int seconds, const QString &file,
         const std::function<void()> &started, const std::function<void()> &sample, int sampleMs) {
    QProcess simulator;
    simulator.start(QStringLiteral(HB_STOVESIM), simulatorArguments);
    if (!simulator.waitForStarted(5000) || !simulator.waitForReadyRead(5000)) {
        std::fprintf(stderr, "bench_monitor: the simulator did not start\n");
        return false;
    }
    qputenv("PYROLINK_COM1", simulator.readLine().trimmed());
    simulator.write("start\n");

    BoardLink link;
    Session session(link);
    SerialThread thread(link);
    HearthBench window(session, &thread);
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
    window.findChild<QToolButton *>(QStringLiteral("debugToolButton"))->click();
    window.findChild<QTimeEdit *>(QStringLiteral("gapSecondsTimeEdit"))->setTime(QTime(0, 0, 1));
    record->click();
    answerer.stop();
    const bool ok = session.model() != StoveModel::Unknown;
    if (!ok) std::fprintf(stderr, "bench_monitor: no board detected\n");
    runEventLoop(5000); // the first cycles and lines: settle before measuring
    started();
    QElapsedTimer clock;
    clock.start();
    while (ok && clock.elapsed() < seconds * 1000LL) {
        runEventLoop(sampleMs);
        sample();
    }
    record->click();
    thread.requestStop();
    thread.wait();
    simulator.kill();
    simulator.waitForFinished(3000);
    return ok;
}

} // namespace

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    setApplicationIdentity();
    const int cpuSecondsToRun = argc > 1 ? std::max(10, atoi(argv[1])) : 60;
    const int memorySecondsToRun = argc > 2 ? std::max(10, atoi(argv[2])) : 60;
    QTemporaryDir scratch;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, scratch.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, scratch.path());
    useDefaultTexts();
    QTimer boxCloser;
    QObject::connect(&boxCloser, &QTimer::timeout, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "bench_monitor: closed a message box: %s\n", qPrintable(box->text()));
            box->reject();
        }
    });
    boxCloser.start(100);

    // 1. CPU while polling and recording at 1 s, in real time.
    const QString cpuFile = QDir(scratch.path()).filePath(QStringLiteral("cpu.csv"));
    double cpuStart = 0;
    QElapsedTimer wall;
    qsizetype linesAtStart = 0;
    const auto startCpu = [&] {
        cpuStart = cpuSeconds();
        wall.start();
        linesAtStart = lineCount(cpuFile);
    };
    if (!run(
            {"--model", "basic"}, cpuSecondsToRun, cpuFile, startCpu, [] {}, 1000))
        return 1;
    const double cpu = cpuSeconds() - cpuStart;
    const double elapsed = double(wall.elapsed()) / 1000.0;
    std::printf("cpu: %.2f %% of one core over %.0f s polling BASIC at 9600 baud and recording at 1 s "
                "(%.3f s CPU, %lld lines)\n",
                100.0 * cpu / elapsed, elapsed, cpu,
                static_cast<long long>(lineCount(cpuFile) - linesAtStart));

    // 2. Memory over a simulated hour of the stove, polled and recorded.
    const QString memoryFile = QDir(scratch.path()).filePath(QStringLiteral("memory.csv"));
    const int speed = 3600 / memorySecondsToRun;
    long first = -1, last = -1, peak = -1;
    QStringList samples;
    const auto sampleMemory = [&] {
        last = residentKiB();
        peak = std::max(peak, last);
        samples.append(QString::number(last));
    };
    if (!run(
            {"--model", "water", "--no-pacing", "--speed", QString::number(speed)}, memorySecondsToRun,
            memoryFile, [&] { first = residentKiB(); }, sampleMemory, memorySecondsToRun * 1000 / 10))
        return 1;
    std::printf("memory: resident %ld KiB after warm-up, %ld KiB at the end (%+ld KiB), peak %ld KiB; "
                "%d s at simulator speed %d (%d simulated minutes), %lld lines\n",
                first, last, last - first, peak, memorySecondsToRun, speed, memorySecondsToRun * speed / 60,
                static_cast<long long>(lineCount(memoryFile)));
    std::printf("memory samples (KiB): %s\n", qPrintable(samples.join(QLatin1Char(' '))));
    return 0;
}
