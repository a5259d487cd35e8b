// Times "hbctl params read" and "hbctl params write --store" (the whole program run: start, link,
// identity, the sequence, the file) against the parameters page's View all and Set all (the
// sequence alone) for each stove model, on one simulator paced at 9600 baud, in the same run.
// hbctl reads a flags word once where View all reads it once per bit row, so the figures are given
// also per transaction: (time / transactions) over (time / transactions). And hbctl identifies the
// board first, which the window did at the page's first entry: the last figure takes off the time
// of an "hbctl identify" run (program start, link, MODELLO) measured in the same run.
// Run with QT_QPA_PLATFORM=offscreen. Prints one line per model and operation.
#include "app/session.h"
#include "app/settings.h"
#include "app/texts.h"
#include "board/boardlink.h"
#include "board/detection.h"
#include "parameters/boardrows.h"
#include "parameters/catalogue.h"
#include "parameters/parameterspage.h"
#include "parameters/setall.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

// Accepts every message box as soon as it shows, so that boxes cost next to no time.
class Acceptor : public QObject {
protected:
    bool eventFilter(QObject *object, QEvent *event) override {
        if (event->type() == QEvent::Show)
            if (auto *box = qobject_cast<QMessageBox *>(object))
                QTimer::singleShot(0, box, [box] { box->button(QMessageBox::Ok)->click(); });
        return false;
    }
};

double msSince(const QElapsedTimer &clock) {
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

// Runs hbctl to its end; the wall time in ms, or a negative value when it failed.
double runHbctl(const QStringList &arguments) {
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(HB_HBCTL), arguments);
    if (!process.waitForFinished(600000) || process.exitCode() != 0) {
        std::fprintf(stderr, "hbctl %s: %s\n", qPrintable(arguments.join(' ')),
                     process.readAllStandardError().constData());
        return -1;
    }
    return msSince(clock);
}

void print(const char *model, const char *operation, double hbctlMs, int hbctlTransactions, double pageMs,
           int pageTransactions, double identifyMs) {
    std::printf("%-13s %-16s hbctl %8.0f ms (%3d transactions)  page %8.0f ms (%3d)  ratio %.3f  "
                "per transaction %.3f  without identify %.3f\n",
                model, operation, hbctlMs, hbctlTransactions, pageMs, pageTransactions, hbctlMs / pageMs,
                (hbctlMs / hbctlTransactions) / (pageMs / pageTransactions), (hbctlMs - identifyMs) / pageMs);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    setApplicationIdentity();
    useDefaultTexts();
    QTemporaryDir dir;
    Acceptor acceptor;
    app.installEventFilter(&acceptor);
    const LinkSettings settings{0, 9600, 20};

    const char *arguments[] = {"", "basic", "water", "air"};
    for (const StoveModel model : kKnownModels) {
        const QByteArray name = modelName(model, false).toLatin1();
        QProcess sim;
        sim.start(QStringLiteral(HB_STOVESIM), {"--model", arguments[modelIndex(model)], "--baud", "9600"});
        if (!sim.waitForStarted(5000) || !sim.waitForReadyRead(5000)) {
            std::fprintf(stderr, "cannot start the simulator\n");
            return 1;
        }
        qputenv("PYROLINK_COM1", sim.readLine().trimmed());

        // The parameters page as the first entry of the page builds it.
        BoardLink link;
        Session session(link);
        const auto identity = link.open(settings) == 0 ? readBoardIdentity(link) : std::nullopt;
        if (!identity || modelFromName(identity->left(10).trimmed()) != model) {
            std::fprintf(stderr, "%s not detected\n", name.constData());
            return 1;
        }
        session.setModel(model);
        ParametersPage page(session);
        page.build();
        const int count = parameterCount(model);

        QElapsedTimer clock;
        clock.start();
        page.viewAll();
        const double viewMs = msSince(clock);
        QList<double> values;
        for (int i = 0; i < count; ++i)
            values.append(page.valueBox(i)->value());
        const int writes = static_cast<int>(composeWrites(model, values, session.hubaMode()).size());

        // The page lets go of the port while hbctl has it.
        link.close();
        const QString file = dir.filePath(QStringLiteral("%1.prm").arg(arguments[modelIndex(model)]));
        const double identifyMs = runHbctl({"identify"});
        const double readMs = runHbctl({"params", "read", "-o", file});
        const double writeMs = runHbctl({"params", "write", file, "--store"});
        if (identifyMs < 0 || readMs < 0 || writeMs < 0) return 1;

        link.open(settings);
        clock.restart();
        page.setAll();
        const double setMs = msSince(clock);

        // hbctl adds its identity read (MODELLO) to the sequence.
        print(name.constData(), "read / View all", readMs, readCount(model, FlagsWords::ReadOnce) + 1, viewMs,
              count, identifyMs);
        print(name.constData(), "write / Set all", writeMs, writes + 2, setMs, writes + 1, identifyMs);

        sim.kill();
        sim.waitForFinished(3000);
    }
    return 0;
}
