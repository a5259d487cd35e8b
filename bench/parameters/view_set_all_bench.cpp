// Times View all and Set all of each stove model against the simulator with wire pacing at 9600 and
// 38400 baud, and compares them with the least time the exchanges allow: the first-attempt wait of
// every transaction plus its bytes on the wire (10 bits a byte). Then both again at 9600 baud
// through pyroproxy on loopback, over the direct figures of the same run.
//   bench_parameters [--no-proxy]
// Prints one line per model, line and operation.
#include "pagetimes.h"
#include "pyrolink.h"

#include <QProcess>
#include <QRegularExpression>

#include <cstring>
#include <map>

namespace {

constexpr int kBauds[] = {9600, 38400};

double byteMs(int baud) {
    return 10.0 * 1000.0 / baud;
}

// The least times: READxxxPii CR out, Pii=vvv CR back, first wait 225 ms, per row; WRxxxPiivvv CR
// out, Pii=vvv CR back, first wait 300 ms, per write, then SAVEPAR CR both ways with 700 ms.
double leastViewMs(const bench::PageTimes &t, int baud) {
    return t.rows * (225 + 19 * byteMs(baud));
}
double leastSetMs(const bench::PageTimes &t, int baud) {
    return t.writes * (300 + 20 * byteMs(baud)) + 700 + 16 * byteMs(baud);
}

void print(const QByteArray &model, int baud, const char *operation, int transactions, double measured,
           double least) {
    std::printf("%-13s %5d baud  %-8s %3d transactions  measured %8.0f ms  waits+wire %8.0f ms  ratio %.3f\n",
                model.constData(), baud, operation, transactions, measured, least, measured / least);
    std::fflush(stdout);
}

// The page timed through pyroproxy, started on the simulator's pty; the library is pointed at it.
std::optional<bench::PageTimes> timeThroughProxy(StoveModel model) {
    QProcess server;
    bench::PageLine line;
    line.beforeOpen = [&server](const bench::Simulator &sim) {
        server.setReadChannel(QProcess::StandardError);
        server.start(QStringLiteral(PYROPROXY_PATH),
                     {"--device", QString::fromStdString(sim.path()), "--port", "0"});
        // It names its port on standard error once it listens.
        const QRegularExpression listening(QStringLiteral(" on 127\\.0\\.0\\.1:(\\d+)"));
        QByteArray log;
        QRegularExpressionMatch found;
        while (!(found = listening.match(QString::fromLatin1(log))).hasMatch() &&
               server.waitForReadyRead(5000))
            log += server.readAllStandardError();
        if (!found.hasMatch()) return false;
        qputenv("PYROLINK_PROXY_PORT", found.captured(1).toLatin1());
        SetActiveComm(0);
        SetRemoteIP(127, 0, 0, 1);
        return true;
    };
    const auto times = bench::timePage(model, {}, line);
    SetRemoteIP(255, 255, 255, 255); // the page's link is closed by now
    server.terminate();
    server.waitForFinished(5000);
    return times;
}

} // namespace

int main(int argc, char **argv) {
    const bool proxy = !(argc > 1 && std::strcmp(argv[1], "--no-proxy") == 0);
    bench::useOffscreen();
    QApplication app(argc, argv);
    bench::ScratchSettings settings;
    bench::BoxAcceptor boxes;
    std::map<StoveModel, bench::PageTimes> direct9600;
    for (const int baud : kBauds) {
        for (const StoveModel model : kKnownModels) {
            const std::optional<bench::PageTimes> t = bench::timePage(model, {}, {baud, {}});
            if (!t) return 1;
            if (baud == 9600) direct9600[model] = *t;
            const QByteArray name = modelName(model, false).toLatin1();
            print(name, baud, "View all", t->rows, t->viewMs, leastViewMs(*t, baud));
            print(name, baud, "Set all", t->writes + 1, t->setMs, leastSetMs(*t, baud));
        }
    }
    if (!proxy) return 0;
    for (const StoveModel model : kKnownModels) {
        const std::optional<bench::PageTimes> t = timeThroughProxy(model);
        if (!t) return 1;
        const bench::PageTimes &d = direct9600[model];
        std::printf("%-13s  9600 baud  through pyroproxy: View all %8.0f ms (direct %8.0f ms, ratio %.3f)  "
                    "Set all %8.0f ms (direct %8.0f ms, ratio %.3f)\n",
                    modelName(model, false).toLatin1().constData(), t->viewMs, d.viewMs, t->viewMs / d.viewMs,
                    t->setMs, d.setMs, t->setMs / d.setMs);
        std::fflush(stdout);
    }
    return 0;
}
