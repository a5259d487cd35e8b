#include "cli.h"

#include "app/texts.h"
#include "app/timeleft.h"
#include "board/detection.h"

#include <pyrolink.h>

#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSocketNotifier>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool stderrIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

constexpr int kBaudRates[] = {9600, 19200, 38400, 57600, 115200};
// The window's delay box starts at 10 ms; the link library takes a 16-bit time-out.
constexpr int kMinDelay = 10;
constexpr int kMaxDelay = 32767;
constexpr int kBarWidth = 24;

// What the signal handler may touch: a lock-free flag and the write end of a non-blocking pipe.
std::atomic<bool> stopRaised{false};
int stopPipe[2] = {-1, -1};
constexpr int kStopSignals[] = {SIGINT, SIGTERM};

extern "C" void onStopSignal(int) {
    stopRaised.store(true);
    const char byte = 1;
    (void)!write(stopPipe[1], &byte, 1);
}

} // namespace

int fail(const Context &context, ExitCode code, const QString &message) {
    std::fprintf(stderr, "hbctl: %s\n", message.toLocal8Bit().constData());
    if (context.json) printJson({{QStringLiteral("error"), message}, {QStringLiteral("exit"), int(code)}});
    return code;
}

void printJson(const QJsonObject &object) {
    std::fputs(QJsonDocument(object).toJson(QJsonDocument::Indented).constData(), stdout);
    std::fflush(stdout);
}

void printJsonLine(const QJsonObject &object) {
    std::fputs(QJsonDocument(object).toJson(QJsonDocument::Compact).constData(), stdout);
    std::fputs("\n", stdout);
    std::fflush(stdout);
}

void printLine(const QString &line) {
    std::fprintf(stdout, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

void note(const QString &line) {
    if (stderrIsTerminal()) std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
}

std::optional<LinkOptions> parseLinkOptions(const QCommandLineParser &parser, QString *error) {
    LinkOptions link;
    link.name =
        parser.isSet(QStringLiteral("port")) ? parser.value(QStringLiteral("port")) : QStringLiteral("COM1");
    link.com = comPortIndex(link.name.toUpper());
    if (link.com < 0) {
        // Not a port name: a device path, which must exist.
        if (!link.name.contains(QLatin1Char('/')) || !QFileInfo::exists(link.name)) {
            *error =
                QStringLiteral("unknown port %1 (COM1..COM16 or the path of a serial device)").arg(link.name);
            return std::nullopt;
        }
        link.device = link.name;
        link.com = 0;
    }
    if (parser.isSet(QStringLiteral("proxy"))) {
        const QString text = parser.value(QStringLiteral("proxy"));
        static const QRegularExpression dotted(QRegularExpression::anchoredPattern(
            QStringLiteral("(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})")));
        const QRegularExpressionMatch m = dotted.match(text);
        std::array<int, 4> address{};
        bool ok = m.hasMatch();
        for (int i = 0; ok && i < 4; ++i) {
            address[i] = m.captured(i + 1).toInt();
            ok = address[i] <= 255;
        }
        // All 255 is the library's "no proxy".
        if (!ok || address == std::array<int, 4>{255, 255, 255, 255}) {
            *error = QStringLiteral("bad proxy address %1 (A.B.C.D)").arg(text);
            return std::nullopt;
        }
        if (!link.device.isEmpty()) {
            *error =
                QStringLiteral("through a proxy the port is a COM port of the proxy, not %1").arg(link.name);
            return std::nullopt;
        }
        link.proxy = address;
    }
    bool ok = true;
    if (parser.isSet(QStringLiteral("baud"))) {
        link.settings.baudRate = parser.value(QStringLiteral("baud")).toInt(&ok);
        if (!ok || std::find(std::begin(kBaudRates), std::end(kBaudRates), link.settings.baudRate) ==
                       std::end(kBaudRates)) {
            *error = QStringLiteral("bad baud rate %1 (9600, 19200, 38400, 57600 or 115200)")
                         .arg(parser.value(QStringLiteral("baud")));
            return std::nullopt;
        }
    }
    if (parser.isSet(QStringLiteral("delay"))) {
        link.settings.delay = parser.value(QStringLiteral("delay")).toInt(&ok);
        if (!ok || link.settings.delay < kMinDelay || link.settings.delay > kMaxDelay) {
            *error = QStringLiteral("bad delay %1 (%2..%3 ms)")
                         .arg(parser.value(QStringLiteral("delay")))
                         .arg(kMinDelay)
                         .arg(kMaxDelay);
            return std::nullopt;
        }
    }
    link.settings.com = link.com;
    return link;
}

std::optional<int> openLink(const Context &context, Board &board) {
    const LinkOptions &options = context.link;
    // The link library opens port n at the device named by PYROLINK_COM<n+1>.
    if (!options.device.isEmpty())
        qputenv(QStringLiteral("PYROLINK_COM%1").arg(options.com + 1).toLatin1(),
                options.device.toLocal8Bit());
    if (options.proxy) {
        SetActiveComm(options.com);
        const auto &a = *options.proxy;
        SetRemoteIP(a[0], a[1], a[2], a[3]);
    }
    if (board.link.open(options.settings) != 0)
        return fail(context, ExitLink,
                    QStringLiteral("%1 %2").arg(textAt(Text::ErrorOpeningSerial), options.name));
    return std::nullopt;
}

bool detectBoard(Board &board) {
    const auto identity = readBoardIdentity(board.link);
    if (!identity) return false;
    board.identity = *identity;
    board.model = modelFromName(identity->left(10).trimmed());
    const Identity fields = parseIdentity(*identity);
    board.modelText = modelName(board.model, false).toUpper();
    board.version = fields.version.trimmed();
    board.revision = fields.revision;
    return true;
}

int failSilent(const Context &context) {
    // The window's message on one line.
    return fail(context, ExitLink,
                QStringLiteral("%1 (%2). %3: %4; %5; %6 \"%7\".")
                    .arg(textAt(Text::BoardCommunicationError), context.link.name, textAt(Text::MakeSure),
                         textAt(Text::BoardIsPowered).toLower(), textAt(Text::BoardIsConnected).toLower(),
                         textAt(Text::ToDisableTechnicalParameter).toLower(),
                         textAt(Text::EnableSmsModem).toLower()));
}

int failUnknownModel(const Context &context, const Board &board) {
    return fail(context, ExitLink,
                QStringLiteral("the board on %1 is no known stove model: \"%2\"")
                    .arg(context.link.name, parseIdentity(board.identity).name));
}

std::optional<int> openBoard(const Context &context, Board &board, bool needKnownModel) {
    if (const auto failed = openLink(context, board)) return failed;
    if (!detectBoard(board)) return failSilent(context);
    if (needKnownModel && board.model == StoveModel::Unknown) return failUnknownModel(context, board);
    return std::nullopt;
}

Progress::Progress(const QString &label, int total, const QString &unit)
    : m_label(label), m_unit(unit.isEmpty() ? QString() : QLatin1Char(' ') + unit), m_total(total),
      m_shown(stderrIsTerminal() && total > 0) {
    m_clock.start();
    update(0);
}

Progress::~Progress() {
    if (m_shown) std::fputs("\n", stderr);
}

void Progress::update(int done) {
    if (!m_shown) return;
    const int filled = kBarWidth * done / m_total;
    const QString left = timeLeftText(m_clock.elapsed(), done, m_total);
    const QString line =
        QStringLiteral("\r%1 [%2%3] %4/%5%6  %7 left ")
            .arg(m_label, QString(filled, QLatin1Char('#')), QString(kBarWidth - filled, QLatin1Char('.')))
            .arg(done)
            .arg(m_total)
            .arg(m_unit, left);
    std::fputs(line.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

StopSignals::StopSignals() {
    stopRaised.store(false);
    if (pipe(stopPipe) != 0) return; // without the pipe the signals keep their default effect
    for (int fd : stopPipe) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kStopSignals)
        sigaction(signal, &action, nullptr);
}

StopSignals::~StopSignals() {
    if (stopPipe[0] < 0) return;
    for (int signal : kStopSignals)
        std::signal(signal, SIG_DFL);
    m_notifier.reset();
    for (int &fd : stopPipe) {
        close(fd);
        fd = -1;
    }
}

bool StopSignals::raised() {
    return stopRaised.load();
}

void StopSignals::onRaised(const std::function<void()> &stop) {
    if (stopPipe[0] < 0) return;
    m_notifier = std::make_unique<QSocketNotifier>(stopPipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [stop] {
        char bytes[16];
        while (read(stopPipe[0], bytes, sizeof bytes) > 0) {
        }
        stop();
    });
}
