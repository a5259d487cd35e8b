// stovesim: a virtual stove control board on a pseudo-terminal (or a real serial port).
// The protocol lives in the engine library; this file is the transport: the pty or serial device,
// reply pacing at wire speed, faults, the transcript, the control channel on standard input and
// clean shutdown on SIGINT/SIGTERM.
#include "control.h"
#include "engine.h"
#include "faults.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

using namespace stovesim;

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char c = 's';
    (void)!write(g_signalPipe[1], &c, 1);
}

struct Options {
    EngineConfig engine;
    FaultConfig faults;
    std::string link, device, log, dumpFlash;
    int baud = 9600;
    bool pacing = true;
};

const char kUsage[] =
    "usage: stovesim [--model basic|water|air] [--link PATH] [--device PATH --baud N] [--no-pacing]\n"
    "                [--baud N] [--log FILE] [--state FILE] [--firmware TEXT] [--revision TEXT]\n"
    "                [--bootloader] [--dump-flash FILE] [--speed X] [--alarm CODE] [--seed N]\n"
    "                [--drop P] [--corrupt P] [--noise P] [--delay MS] [--jitter MS]\n"
    "                [--lose P] [--silent-after N] [--only CMDPREFIX]\n"
    "Prints the pty slave path on the first line of standard output, then answers control commands\n"
    "read from standard input (\"help\" lists them). See tools/stovesim/README.md.\n";

[[noreturn]] void usage(const std::string &problem) {
    if (!problem.empty()) std::fprintf(stderr, "stovesim: %s\n", problem.c_str());
    std::fputs(kUsage, stderr);
    std::exit(2);
}

double realArg(const char *name, const char *text, double lo, double hi) {
    char *end = nullptr;
    errno = 0;
    const double v = std::strtod(text, &end);
    if (errno || end == text || *end || !(v >= lo && v <= hi))
        usage(std::string("bad value for ") + name + ": " + text);
    return v;
}

long intArg(const char *name, const char *text, long lo, long hi) {
    char *end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno || end == text || *end || v < lo || v > hi)
        usage(std::string("bad value for ") + name + ": " + text);
    return v;
}

Options parse(int argc, char **argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char * {
            if (i + 1 >= argc) usage("missing value for " + a);
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (a == "--model") {
            const char *m = value();
            if (!parseModel(m, o.engine.model)) usage(std::string("unknown model: ") + m);
        } else if (a == "--link") {
            o.link = value();
        } else if (a == "--device") {
            o.device = value();
        } else if (a == "--baud") {
            o.baud = static_cast<int>(intArg("--baud", value(), 300, 4000000));
        } else if (a == "--no-pacing") {
            o.pacing = false;
        } else if (a == "--log") {
            o.log = value();
        } else if (a == "--state") {
            o.engine.statePath = value();
        } else if (a == "--firmware") {
            o.engine.firmware = value();
        } else if (a == "--revision") {
            o.engine.revision = value();
        } else if (a == "--bootloader") {
            o.engine.bootLoader = true;
        } else if (a == "--dump-flash") {
            o.dumpFlash = value();
        } else if (a == "--speed") {
            o.engine.speed = realArg("--speed", value(), 1e-6, 1e5);
        } else if (a == "--alarm") {
            o.engine.alarm = static_cast<int>(intArg("--alarm", value(), 0, 99));
        } else if (a == "--seed") {
            o.faults.seed = static_cast<std::uint64_t>(intArg("--seed", value(), 0, 0x7fffffffffffffffL));
        } else if (a == "--drop") {
            o.faults.drop = realArg("--drop", value(), 0, 1);
        } else if (a == "--corrupt") {
            o.faults.corrupt = realArg("--corrupt", value(), 0, 1);
        } else if (a == "--noise") {
            o.faults.noise = realArg("--noise", value(), 0, 1);
        } else if (a == "--lose") {
            o.faults.lose = realArg("--lose", value(), 0, 1);
        } else if (a == "--delay") {
            o.faults.delayMs = static_cast<int>(intArg("--delay", value(), 0, 600000));
        } else if (a == "--jitter") {
            o.faults.jitterMs = static_cast<int>(intArg("--jitter", value(), 0, 600000));
        } else if (a == "--silent-after") {
            o.faults.silentAfter = intArg("--silent-after", value(), 0, 0x7fffffffL);
        } else if (a == "--only") {
            o.faults.only = value();
        } else {
            usage("unknown option " + a);
        }
    }
    return o;
}

speed_t baudConstant(int baud) {
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    default:
        return B0;
    }
}

bool makeRaw(int fd, int baud) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (const speed_t s = baudConstant(baud); s != B0) {
        cfsetispeed(&tio, s);
        cfsetospeed(&tio, s);
    }
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

class Transcript {
public:
    explicit Transcript(const std::string &path) {
        if (!path.empty() && !(m_file = std::fopen(path.c_str(), "a")))
            std::fprintf(stderr, "stovesim: cannot open log %s: %s\n", path.c_str(), std::strerror(errno));
    }
    ~Transcript() {
        if (m_file) std::fclose(m_file);
    }
    void line(const char *direction, const std::string &text) {
        if (!m_file) return;
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        tm t{};
        gmtime_r(&ts.tv_sec, &t);
        std::fprintf(m_file, "%02d:%02d:%02d.%03ld %s %s\n", t.tm_hour, t.tm_min, t.tm_sec,
                     ts.tv_nsec / 1000000, direction, text.c_str());
        std::fflush(m_file);
    }

private:
    std::FILE *m_file = nullptr;
};

// A reply on its way. With pacing it occupies the line for 10 bits per byte after it is due and
// the line is free, and is handed over whole when its last byte would have arrived: the timing of
// the reply's end is the wire's, and a reader's inter-byte time-out never sees a scheduling gap in
// the middle of a reply.
struct Outgoing {
    Clock::time_point ready;
    Bytes bytes;
    std::string note;
    std::size_t sent = 0;
};

constexpr std::size_t kMaxQueued = 256;

} // namespace

int main(int argc, char **argv) {
    const Options opt = parse(argc, argv);
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGHUP, SIG_IGN);
    if (pipe(g_signalPipe) != 0) return 1;
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    int io = -1, slaveKeep = -1;
    std::string path;
    if (!opt.device.empty()) {
        io = open(opt.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (io < 0 || !makeRaw(io, opt.baud)) {
            std::fprintf(stderr, "stovesim: cannot open %s: %s\n", opt.device.c_str(), std::strerror(errno));
            return 1;
        }
        path = opt.device;
    } else {
        io = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (io < 0 || grantpt(io) != 0 || unlockpt(io) != 0 || !ptsname(io)) {
            std::fprintf(stderr, "stovesim: cannot create a pseudo-terminal: %s\n", std::strerror(errno));
            return 1;
        }
        path = ptsname(io);
        // Our own slave descriptor stays open for the whole run: the client opens and closes the
        // slave repeatedly, and without it the master would see a hang-up between its opens.
        slaveKeep = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (slaveKeep < 0 || !makeRaw(slaveKeep, opt.baud)) {
            std::fprintf(stderr, "stovesim: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
            return 1;
        }
    }
    if (!opt.link.empty()) {
        struct stat st {};
        if (lstat(opt.link.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) unlink(opt.link.c_str());
        if (symlink(path.c_str(), opt.link.c_str()) != 0)
            std::fprintf(stderr, "stovesim: cannot link %s: %s\n", opt.link.c_str(), std::strerror(errno));
    }

    // The link exists before the path is announced, so a reader of the first line can use either.
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);

    Engine engine(opt.engine);
    if (!engine.stateError().empty()) std::fprintf(stderr, "stovesim: %s\n", engine.stateError().c_str());
    FaultInjector faults(opt.faults);
    if (opt.faults.lose > 0)
        engine.setRequestFilter([&faults](const std::string &label) { return faults.loses(label); });
    Transcript log(opt.log);
    const auto byteTime = std::chrono::nanoseconds(10'000'000'000LL / opt.baud); // start, 8 data, stop bits
    std::deque<Outgoing> queue;
    Clock::time_point lineFree{};
    bool stdinOpen = true;
    std::string controlLine;
    bool running = true;
    int exitCode = 0;

    while (running) {
        Clock::time_point now = Clock::now();
        // Send what is due.
        while (!queue.empty()) {
            Outgoing &out = queue.front();
            if (now < out.ready) break;
            if (out.sent == 0)
                log.line("TX", escape(out.bytes) + (out.note.empty() ? "" : "  [" + out.note + "]"));
            while (out.sent < out.bytes.size()) {
                const ssize_t n = write(io, out.bytes.data() + out.sent, out.bytes.size() - out.sent);
                if (n > 0) {
                    out.sent += static_cast<std::size_t>(n);
                } else if (n < 0 && errno == EAGAIN && slaveKeep >= 0) {
                    // Nobody reads the slave side: forget the stale input so the board can go on.
                    tcflush(slaveKeep, TCIFLUSH);
                } else if (n < 0 && errno == EINTR) {
                    continue;
                } else {
                    break;
                }
            }
            if (out.sent < out.bytes.size()) break;
            queue.pop_front();
        }

        // Sleep until the next reply is due (at most one second, to keep the stove model moving in
        // small steps).
        timespec timeout{1, 0};
        if (!queue.empty()) {
            const auto wait = std::max(std::chrono::nanoseconds(0), queue.front().ready - now);
            if (wait < std::chrono::seconds(1)) timeout = {0, static_cast<long>(wait.count())};
        }
        pollfd fds[3] = {{io, POLLIN, 0}, {g_signalPipe[0], POLLIN, 0}, {stdinOpen ? 0 : -1, POLLIN, 0}};
        if (ppoll(fds, 3, &timeout, nullptr) < 0 && errno != EINTR) break;
        now = Clock::now();
        engine.advance(now);

        if (fds[1].revents & POLLIN) break;
        if (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) {
            char buf[512];
            const ssize_t n = read(0, buf, sizeof buf);
            if (n <= 0) {
                stdinOpen = false; // EOF: keep serving until killed or told to quit
            } else {
                for (ssize_t i = 0; i < n && running; ++i) {
                    if (buf[i] != '\n') {
                        if (controlLine.size() < 4096) controlLine += buf[i];
                        continue;
                    }
                    const ControlResult r = control(engine, controlLine, now);
                    controlLine.clear();
                    if (!r.reply.empty()) {
                        std::printf("%s\n", r.reply.c_str());
                        std::fflush(stdout);
                    }
                    if (r.quit) running = false;
                }
            }
        }
        if (fds[0].revents & POLLIN) {
            std::uint8_t buf[4096];
            const ssize_t n = read(io, buf, sizeof buf);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                std::fprintf(stderr, "stovesim: %s hung up\n", path.c_str());
                exitCode = 1;
                break;
            }
            if (n > 0) {
                std::vector<Exchange> exchanges;
                engine.receive(std::span(buf, static_cast<std::size_t>(n)), now, exchanges);
                for (const Exchange &ex : exchanges) {
                    log.line("RX", escape(ex.request));
                    if (ex.lost) {
                        log.line("TX", "(none)  [lost]");
                        continue;
                    }
                    FaultInjector::Outcome o = faults.apply(ex);
                    if (!o.bytes) {
                        log.line("TX", "(none)" + (o.note.empty() ? "" : "  [" + o.note + "]"));
                    } else if (queue.size() < kMaxQueued) {
                        Clock::time_point ready = now + o.delay;
                        if (opt.pacing) {
                            ready = std::max(ready, lineFree) + byteTime * static_cast<long>(o.bytes->size());
                            lineFree = ready;
                        }
                        queue.push_back({ready, std::move(*o.bytes), o.note});
                    }
                }
            }
        } else if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            // Our own slave descriptor keeps the pty from hanging up, so this is a serial device
            // that went away (unplugged adapter, closed far end): nothing more can be served.
            std::fprintf(stderr, "stovesim: %s hung up\n", path.c_str());
            exitCode = 1;
            break;
        }
    }

    if (!opt.dumpFlash.empty() && !writeFlashImage(engine.flash(), opt.dumpFlash))
        std::fprintf(stderr, "stovesim: cannot write %s\n", opt.dumpFlash.c_str());
    if (!opt.link.empty()) {
        char target[4096] = {};
        const ssize_t n = readlink(opt.link.c_str(), target, sizeof target - 1);
        if (n > 0 && path == std::string(target, static_cast<std::size_t>(n))) unlink(opt.link.c_str());
    }
    if (slaveKeep >= 0) close(slaveKeep);
    close(io);
    return exitCode;
}
