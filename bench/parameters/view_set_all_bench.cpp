// Times View all and Set all of each stove model against the simulator with wire pacing at 9600
// baud, and compares them with the least time the exchanges allow:
//   waits + wire: the first-attempt wait of every transaction plus its bytes on the wire
//                 (10 bits a byte);
//   waits + drain: the first-attempt waits plus the drain of the receive side before each
//                 command, which on a quiet line lasts the port's whole read time-out (delay +
//                 2 ms x 255 bytes); the bytes on the wire fit inside the wait and add nothing.
// Run with QT_QPA_PLATFORM=offscreen. Prints one line per model and operation.
#include "app/session.h"
#include "app/settings.h"
#include "app/texts.h"
#include "board/boardlink.h"
#include "board/detection.h"
#include "parameters/catalogue.h"
#include "parameters/parameterspage.h"
#include "parameters/setall.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

constexpr double kByteMs = 10.0 * 1000.0 / 9600.0;
constexpr int kDelay = 20;
constexpr double kDrainMs = kDelay + 2.0 * 255;

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

void print(const char *model, const char *operation, int transactions, double measured, double minimum,
           double withDrain) {
    std::printf("%-13s %-8s %3d transactions  measured %8.0f ms  min %8.0f ms  ratio %.3f  "
                "waits+drain %8.0f ms  ratio %.3f\n",
                model, operation, transactions, measured, minimum, measured / minimum, withDrain,
                measured / withDrain);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    setApplicationIdentity();
    useDefaultTexts();
    QTemporaryDir dir;
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    {
        QSettings settings;
        settings.setValue(settingkeys::com, 0);
        settings.setValue(settingkeys::baudRate, 9600);
        settings.setValue(settingkeys::delay, kDelay);
    }
    Acceptor acceptor;
    app.installEventFilter(&acceptor);

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
        const auto identity = link.open(readLinkSettings()) == 0 ? readBoardIdentity(link) : std::nullopt;
        session.setModel(identity ? modelFromName(identity->left(10).trimmed()) : StoveModel::Unknown);
        if (session.model() != model) {
            std::fprintf(stderr, "%s not detected\n", name.constData());
            return 1;
        }
        ParametersPage page(session);
        page.build();
        const int count = parameterCount(model);

        QElapsedTimer clock;
        clock.start();
        page.viewAll();
        const double viewMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        // READxxxPii CR out, Pii=vvv CR back; first wait 225 ms.
        print(name.constData(), "View all", count, viewMs, count * (225 + 19 * kByteMs),
              count * (225 + kDrainMs));

        QList<double> values;
        for (int i = 0; i < count; ++i)
            values.append(page.valueBox(i)->value());
        const int writes = static_cast<int>(composeWrites(model, values, session.hubaMode()).size());
        clock.restart();
        page.setAll();
        const double setMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        // WRxxxPiivvv CR out, Pii=vvv CR back, first wait 300 ms; then SAVEPAR CR both ways, 700 ms.
        const double minimum = writes * (300 + 20 * kByteMs) + 700 + 16 * kByteMs;
        print(name.constData(), "Set all", writes + 1, setMs, minimum,
              writes * 300.0 + 700 + (writes + 1) * kDrainMs);

        sim.kill();
        sim.waitForFinished(3000);
    }
    return 0;
}
