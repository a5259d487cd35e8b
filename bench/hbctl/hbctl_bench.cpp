// Times "hbctl params read" and "hbctl params write --store" (the whole program run: start, link,
// identity, the sequence, the file) against the parameters page's View all and Set all (the
// sequence alone) for each stove model, on one simulator paced at 9600 baud, in the same run.
// hbctl reads a flags word once where View all reads it once per bit row, so the figures are given
// also per transaction: (time / transactions) over (time / transactions). And hbctl identifies the
// board first, which the window did at the page's first entry: the last figure takes off the time
// of an "hbctl identify" run (program start, link, MODELLO) measured in the same run. Last, each
// hbctl run over the least time its exchanges allow: the first-attempt waits plus the bytes on the
// wire (10 bits a byte at 9600 baud).
// Prints one line per model and operation.
#include "pagetimes.h"
#include "parameters/boardrows.h"

#include <QProcess>

namespace {

// Runs hbctl to its end; the wall time in ms, or a negative value when it failed.
double runHbctl(const QStringList &arguments) {
    QProcess process;
    const auto start = bench::Clock::now();
    process.start(QStringLiteral(HB_HBCTL), arguments);
    if (!process.waitForFinished(600000) || process.exitCode() != 0) {
        std::fprintf(stderr, "hbctl %s: %s\n", qPrintable(arguments.join(' ')),
                     process.readAllStandardError().constData());
        return -1;
    }
    return bench::msSince(start);
}

constexpr double kByteMs = 10.0 * 1000.0 / 9600.0;
// MODELLO CR out, the 23-byte identity back, first wait 75 ms.
constexpr double kIdentifyMs = 75 + 31 * kByteMs;

void print(const QByteArray &model, const char *operation, double hbctlMs, int hbctlTransactions,
           double pageMs, int pageTransactions, double identifyMs, double leastMs) {
    std::printf("%-13s %-16s hbctl %8.0f ms (%3d transactions)  page %8.0f ms (%3d)  ratio %.3f  "
                "per transaction %.3f  without identify %.3f  hbctl over waits+wire %.3f\n",
                model.constData(), operation, hbctlMs, hbctlTransactions, pageMs, pageTransactions,
                hbctlMs / pageMs, (hbctlMs / hbctlTransactions) / (pageMs / pageTransactions),
                (hbctlMs - identifyMs) / pageMs, hbctlMs / leastMs);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv) {
    bench::useOffscreen();
    QApplication app(argc, argv);
    bench::ScratchSettings settings;
    bench::BoxAcceptor boxes;
    for (const StoveModel model : kKnownModels) {
        const QString file = settings.filePath(QStringLiteral("%1.prm").arg(modelIndex(model)));
        double identifyMs = -1, readMs = -1, writeMs = -1;
        const auto t = bench::timePage(model, [&] {
            identifyMs = runHbctl({"identify"});
            readMs = runHbctl({"params", "read", "-o", file});
            writeMs = runHbctl({"params", "write", file, "--store"});
            return identifyMs >= 0 && readMs >= 0 && writeMs >= 0;
        });
        if (!t) return 1;
        // hbctl adds its identity read (MODELLO) to the sequence.
        const QByteArray name = modelName(model, false).toLatin1();
        const int reads = readCount(model, FlagsWords::ReadOnce);
        // Reads: READxxxPii CR out, Pii=vvv CR back, 225 ms; writes: WRxxxPiivvv CR out, Pii=vvv CR back,
        // 300 ms, then SAVEPAR CR both ways, 700 ms.
        print(name, "read / View all", readMs, reads + 1, t->viewMs, t->rows, identifyMs,
              kIdentifyMs + reads * (225 + 19 * kByteMs));
        print(name, "write / Set all", writeMs, t->writes + 2, t->setMs, t->writes + 1, identifyMs,
              kIdentifyMs + t->writes * (300 + 20 * kByteMs) + 700 + 16 * kByteMs);
    }
    return 0;
}
