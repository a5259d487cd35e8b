// What a dead link costs: the window polling on the debug page or the hardware test page after the
// board went away, offscreen:
//   bench_deadlink [seconds]
// Three cases, each measured over `seconds` (default 60) after the failures have set in:
// 1. the debug page, the simulator killed (its pseudo-terminal gone);
// 2. the hardware test page, the simulator killed;
// 3. the debug page entered with a port that does not exist (the board was detected before).
// Prints the process's CPU time (window and polling thread) over the wall time, in percent of one
// core, one line per case.
#include "program.h"
#include "qtbench.h"

#include <QEventLoop>

#include <csignal>

namespace {

void runEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

enum class Death { Killed, NoPort };

// The CPU use in percent of one core while the window polls `page` on a dead link; -1 when the
// board could not be detected first.
double deadLinkCpu(const char *pageButton, const char *homeButton, Death death, int seconds) {
    hbsupport::Program program({"--model", "water"});
    program.window().show();
    program.click(pageButton);
    if (program.session().model() == StoveModel::Unknown) return -1;
    runEventLoop(2000); // live values first
    if (death == Death::NoPort) {
        // The setup page closes the link; the next entry opens a port that is not there.
        program.click(homeButton);
        program.click("setupToolButton");
        setenv("PYROLINK_COM1", "/nonexistent/hb-no-port", 1);
        program.click("homeBSetup");
        program.click(pageButton);
    }
    kill(program.simulator().pid(), SIGKILL);
    runEventLoop(5000); // the transactions in flight end and the failures set in
    const double cpuStart = bench::processCpuSeconds();
    const auto wall = bench::Clock::now();
    runEventLoop(seconds * 1000);
    const double cpu = bench::processCpuSeconds() - cpuStart;
    const double elapsed = bench::msSince(wall) / 1000.0;
    return 100.0 * cpu / elapsed;
}

} // namespace

int main(int argc, char *argv[]) {
    bench::useOffscreen();
    QApplication application(argc, argv);
    bench::ScratchSettings settings;
    bench::BoxAcceptor boxes;
    const int seconds = argc > 1 ? std::max(10, atoi(argv[1])) : 60;
    const struct {
        const char *page;
        const char *home;
        Death death;
        const char *what;
    } cases[] = {
        {"debugToolButton", "homeBDebug", Death::Killed, "debug page, simulator killed"},
        {"testHWToolButton", "homeBTest", Death::Killed, "hardware test page, simulator killed"},
        {"debugToolButton", "homeBDebug", Death::NoPort, "debug page, port that does not exist"},
    };
    int status = 0;
    for (const auto &c : cases) {
        const double percent = deadLinkCpu(c.page, c.home, c.death, seconds);
        if (percent < 0) {
            std::fprintf(stderr, "bench_deadlink: no board detected (%s)\n", c.what);
            status = 1;
            continue;
        }
        std::printf("dead link cpu: %.2f %% of one core over %d s (%s)\n", percent, seconds, c.what);
        std::fflush(stdout);
    }
    return status;
}
