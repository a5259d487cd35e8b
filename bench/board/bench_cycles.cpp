// The polling thread's cycles, as the hardware test page (inputs) and the debug page (monitor) run
// them, and a click on an output of the hardware test page, against the simulator of each stove
// model paced at 9600 and 38400 baud. Each figure is the median measured time over the least time
// the exchanges allow: the first-attempt waits plus the bytes on the wire (10 bits a byte).
//   bench_cycles [cycles]
// Prints one line per model, baud rate and measure.
#include "bench.h"
#include "board/boardlink.h"
#include "board/commands.h"
#include "board/detection.h"
#include "board/serialthread.h"
#include "hwtest/outputs.h"

#include <QCoreApplication>

#include <mutex>
#include <thread>

namespace {

using bench::Clock;

constexpr int kBauds[] = {9600, 38400};
constexpr int kReplyBytes = 7;        // an input reply: "T1=" and three characters, or "SET=" and two, CR
constexpr int kDebugBytes = 8 + 12;   // "DEBUGii" CR out, index, nine characters and CR back
constexpr int kChannelReplyBytes = 8; // "Oii=" and three characters and one more byte
constexpr int kFirstInputWait = 100;  // the polling thread's first-attempt waits
constexpr int kFirstMonitorWait = 75;

// The median time between successive reports of the cycle's first item while `mode` polls, over
// `cycles` cycles after a first one.
double medianCycleMs(BoardLink &link, StoveModel model, PollMode mode, int cycles) {
    SerialThread thread(link);
    std::mutex mutex;
    std::vector<Clock::time_point> starts;
    const auto mark = [&](short item, short first) {
        if (item != first) return;
        std::lock_guard lock(mutex);
        starts.push_back(Clock::now());
    };
    const short firstInput = static_cast<short>(polledInputs(model).value(0));
    QObject::connect(
        &thread, &SerialThread::testhwinputRead, &thread,
        [&](short input, short) { mark(input, firstInput); }, Qt::DirectConnection);
    QObject::connect(
        &thread, &SerialThread::debugRead, &thread, [&](short index, short, short, short) { mark(index, 1); },
        Qt::DirectConnection);
    thread.setModel(model);
    thread.setMode(mode);
    thread.start();
    const auto deadline = Clock::now() + std::chrono::seconds(10) * (cycles + 2);
    for (;;) {
        {
            std::lock_guard lock(mutex);
            if (starts.size() > std::size_t(cycles + 1) || Clock::now() > deadline) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    thread.requestStop();
    thread.wait();
    std::vector<double> gaps;
    for (std::size_t i = 2; i < starts.size(); ++i)
        gaps.push_back(std::chrono::duration<double, std::milli>(starts[i] - starts[i - 1]).count());
    return bench::percentile(gaps, 0.5);
}

// The least input cycle: each input's command and reply on the wire inside its first wait.
double leastInputCycleMs(StoveModel model, double byteMs) {
    double ms = 0;
    for (unsigned short input : polledInputs(model)) {
        board::Command command;
        board::inputCommand(input, command);
        ms += kFirstInputWait + (command.length + kReplyBytes) * byteMs;
    }
    return ms;
}

// Bytes of a manual output command and its reply.
int clickBytes(const hwtest::OutputCommand &c) {
    board::Command command;
    if (c.kind == hwtest::OutputCommand::Kind::Channel) {
        board::channelCommand(c.target, c.value, command);
        return command.length + kChannelReplyBytes;
    }
    board::loadCommand(c.target, c.value, command);
    return 2 * command.length; // echoed
}

void print(const char *model, int baud, const char *what, double measured, double least) {
    std::printf("%-13s %5d baud  %-22s measured %7.1f ms  waits+wire %7.1f ms  ratio %.3f\n", model, baud,
                what, measured, least, measured / least);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int cycles = argc > 1 ? std::max(3, atoi(argv[1])) : 6;
    const char *arguments[] = {"", "basic", "water", "air"};
    for (const int baud : kBauds) {
        const double byteMs = 10.0 * 1000.0 / baud;
        for (const StoveModel model : kKnownModels) {
            const QByteArray name = modelName(model, false).toLatin1();
            bench::Simulator sim({"--model", arguments[modelIndex(model)], "--baud", std::to_string(baud)});
            BoardLink link;
            LinkSettings settings;
            settings.baudRate = baud;
            if (!sim.ok() || link.open(settings) != 0 || !readBoardIdentity(link)) {
                std::fprintf(stderr, "%s not detected\n", name.constData());
                return 1;
            }
            // The hardware test page: test mode, the inputs polled, then a digital output clicked.
            link.transact(hwtest::retry::testOn, [](int wait) {
                return hwtest::sendTestModeCommand(hwtest::TestModeCommand::Enter, wait);
            });
            print(name, baud, "input cycle", medianCycleMs(link, model, PollMode::Inputs, cycles),
                  leastInputCycleMs(model, byteMs));
            const hwtest::OutputRow row = hwtest::outputRows(model).value(0); // the resistance
            std::vector<double> clicks;
            for (int i = 0; i < 2 * cycles; ++i) {
                const hwtest::OutputCommand command = hwtest::outputCommand(model, row, (i + 1) % 2);
                const auto start = Clock::now();
                link.transact(hwtest::manualPolicy(row.control),
                              [&](int wait) { return hwtest::sendOutputCommand(command, wait); });
                clicks.push_back(bench::msSince(start));
            }
            const hwtest::OutputCommand on = hwtest::outputCommand(model, row, 1);
            print(name, baud, "output click", bench::percentile(clicks, 0.5),
                  hwtest::manualPolicy(row.control).wait(hwtest::manualPolicy(row.control).first) +
                      clickBytes(on) * byteMs);
            link.transact(hwtest::retry::testOff, [](int wait) {
                return hwtest::sendTestModeCommand(hwtest::TestModeCommand::Leave, wait);
            });
            // The debug page.
            const int indexes = monitorIndexCount(model);
            print(name, baud, "monitor cycle", medianCycleMs(link, model, PollMode::Monitor, cycles),
                  indexes * (kFirstMonitorWait + kDebugBytes * byteMs));
        }
    }
    return 0;
}
