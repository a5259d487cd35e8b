// Times View all and Set all of each stove model against the simulator with wire pacing at 9600
// baud, and compares them with the least time the exchanges allow:
//   waits + wire: the first-attempt wait of every transaction plus its bytes on the wire
//                 (10 bits a byte);
//   waits + drain: the first-attempt waits plus the drain of the receive side before each
//                 command, which on a quiet line lasts the port's whole read time-out (delay +
//                 2 ms x 255 bytes); the bytes on the wire fit inside the wait and add nothing.
// Prints one line per model and operation.
#include "pagetimes.h"

namespace {

constexpr double kByteMs = 10.0 * 1000.0 / 9600.0;
constexpr double kDrainMs = LinkSettings{}.delay + 2.0 * 255;

void print(const QByteArray &model, const char *operation, int transactions, double measured, double minimum,
           double withDrain) {
    std::printf("%-13s %-8s %3d transactions  measured %8.0f ms  min %8.0f ms  ratio %.3f  "
                "waits+drain %8.0f ms  ratio %.3f\n",
                model.constData(), operation, transactions, measured, minimum, measured / minimum, withDrain,
                measured / withDrain);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv) {
    bench::useOffscreen();
    QApplication app(argc, argv);
    bench::ScratchSettings settings;
    bench::BoxAcceptor boxes;
    for (const StoveModel model : kKnownModels) {
        const std::optional<bench::PageTimes> t = bench::timePage(model);
        if (!t) return 1;
        const QByteArray name = modelName(model, false).toLatin1();
        // READxxxPii CR out, Pii=vvv CR back; first wait 225 ms.
        print(name, "View all", t->rows, t->viewMs, t->rows * (225 + 19 * kByteMs),
              t->rows * (225 + kDrainMs));
        // WRxxxPiivvv CR out, Pii=vvv CR back, first wait 300 ms; then SAVEPAR CR both ways, 700 ms.
        print(name, "Set all", t->writes + 1, t->setMs, t->writes * (300 + 20 * kByteMs) + 700 + 16 * kByteMs,
              t->writes * 300.0 + 700 + (t->writes + 1) * kDrainMs);
    }
    return 0;
}
