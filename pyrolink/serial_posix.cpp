// Serial devices on POSIX systems: termios in raw 8N1, a non-blocking descriptor and poll against
// a monotonic deadline, so that reads end exactly as the communications-driver time-outs say.
#include "platform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace pyrolink {
namespace {

// The driver keeps time-outs per open device; so do we, one record per open port.
struct Device {
    int fd = -1;
    ReadTimeouts timeouts;
};
Device g_devices[16];

Device *find(Handle handle) {
    for (Device &d : g_devices)
        if (d.fd >= 0 && d.fd == handle) return &d;
    return nullptr;
}

std::int64_t nowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

enum WaitResult : int {
    kWaitInput = 1, // input pending
    kWaitTimedOut = 0,
    kWaitFailed = -1, // the device failed or the other end hung up
};

// Waits for input until `deadlineNs` (-1 = no deadline).
WaitResult waitInput(int fd, std::int64_t deadlineNs) {
    for (;;) {
        timespec ts{};
        timespec *tsp = nullptr;
        if (deadlineNs >= 0) {
            std::int64_t left = deadlineNs - nowNs();
            if (left <= 0) return kWaitTimedOut;
            ts.tv_sec = static_cast<time_t>(left / 1000000000LL);
            ts.tv_nsec = static_cast<long>(left % 1000000000LL);
            tsp = &ts;
        }
        pollfd p{fd, POLLIN, 0};
        int r = ppoll(&p, 1, tsp, nullptr);
        if (r < 0) {
            if (errno == EINTR) continue;
            return kWaitFailed;
        }
        if (r == 0) return kWaitTimedOut;
        if (p.revents & POLLIN) return kWaitInput;
        return kWaitFailed; // POLLHUP / POLLERR / POLLNVAL without data
    }
}

speed_t speedOf(int baud) {
    switch (baud) {
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
    default:
        return B0;
    }
}

Handle posixOpenPath(const char *name) {
    Device *slot = nullptr;
    for (Device &d : g_devices)
        if (d.fd < 0) {
            slot = &d;
            break;
        }
    if (!slot || !name) return kInvalidHandle;
    int fd = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return kInvalidHandle;
    if (!isatty(fd)) {
        ::close(fd);
        return kInvalidHandle;
    }
    // Exclusive use, like the driver's no-sharing open; a device that cannot do it still works.
    if (ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY && errno != EINVAL) {
        ::close(fd);
        return kInvalidHandle;
    }
    slot->fd = fd;
    slot->timeouts = ReadTimeouts{};
    return fd;
}

// Port index n is "COM<n+1>": PYROLINK_COM<n+1> names its device when set, else /dev/ttyS<n>.
Handle posixOpen(int port) {
    if (port < 0 || port > 15) return kInvalidHandle;
    char key[32];
    std::snprintf(key, sizeof key, "PYROLINK_COM%d", port + 1);
    char path[64];
    const char *name = std::getenv(key);
    if (!name || !*name) {
        std::snprintf(path, sizeof path, "/dev/ttyS%d", port);
        name = path;
    }
    return posixOpenPath(name);
}

int posixConfigure(Handle handle, int baud) {
    Device *d = find(handle);
    speed_t speed = speedOf(baud);
    if (!d || speed == B0) return 0;
    termios tio{};
    if (tcgetattr(d->fd, &tio) != 0) return 0;
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    // VMIN 1 on a non-blocking descriptor: an empty queue reads as EAGAIN, so a read of 0 bytes
    // can only mean the other end hung up.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    return tcsetattr(d->fd, TCSANOW, &tio) == 0 ? 1 : 0;
}

int posixSetTimeouts(Handle handle, const ReadTimeouts &timeouts) {
    Device *d = find(handle);
    if (!d) return 0;
    d->timeouts = timeouts;
    return 1;
}

int posixRead(Handle handle, std::uint8_t *buffer, std::uint32_t count, std::uint32_t *got) {
    *got = 0;
    Device *d = find(handle);
    if (!d) return 0;
    if (count == 0) return 1;
    const ReadTimeouts t = d->timeouts;
    const bool immediate = t.interval == kMaxDword && t.multiplier == 0 && t.constant == 0;
    // interval = multiplier = MAXDWORD, 0 < constant < MAXDWORD: return as soon as any byte is
    // there, waiting at most `constant` for the first one.
    const bool firstByte =
        t.interval == kMaxDword && t.multiplier == kMaxDword && t.constant > 0 && t.constant < kMaxDword;
    const bool hasTotal = !immediate && (t.multiplier != 0 || t.constant != 0);
    const bool hasInterval = t.interval != 0 && t.interval != kMaxDword;
    const std::int64_t start = nowNs();
    std::int64_t totalDeadline = -1;
    if (firstByte) {
        totalDeadline = start + static_cast<std::int64_t>(t.constant) * 1000000LL;
    } else if (hasTotal) {
        std::uint64_t ms = static_cast<std::uint64_t>(t.multiplier) * count + t.constant;
        totalDeadline = start + static_cast<std::int64_t>(ms) * 1000000LL;
    }
    std::int64_t lastByte = -1;
    bool hungUp = false;
    for (;;) {
        ssize_t n = ::read(d->fd, buffer + *got, count - *got);
        if (n > 0) {
            *got += static_cast<std::uint32_t>(n);
            lastByte = nowNs();
            if (*got == count || immediate || firstByte) return 1;
            continue;
        }
        if (n == 0) return 0; // end of file: the other end hung up
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return 0; // EIO: the device is gone
        if (immediate) return 1;
        std::int64_t deadline = totalDeadline;
        if (hasInterval && lastByte >= 0) {
            std::int64_t gap = lastByte + static_cast<std::int64_t>(t.interval) * 1000000LL;
            if (deadline < 0 || gap < deadline) deadline = gap;
        }
        if (hungUp) return 0; // the other end is gone and nothing is left to read
        const WaitResult w = waitInput(d->fd, deadline);
        if (w == kWaitTimedOut) return 1;
        if (w == kWaitFailed) hungUp = true; // read once more: a hang-up may still leave bytes behind
    }
}

int posixWrite(Handle handle, const std::uint8_t *data, std::uint32_t count, std::uint32_t *written) {
    *written = 0;
    Device *d = find(handle);
    if (!d) return 0;
    // The driver has no write time-out; a device that stops taking bytes (flow control held
    // off, peer gone) must not block the caller forever: allow 2 s plus 10 ms per byte.
    const std::int64_t deadline = nowNs() + (2000LL + 10LL * count) * 1000000LL;
    while (*written < count) {
        ssize_t n = ::write(d->fd, data + *written, count - *written);
        if (n > 0) {
            *written += static_cast<std::uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return 0;
        std::int64_t left = deadline - nowNs();
        if (left <= 0) return 0;
        pollfd p{d->fd, POLLOUT, 0};
        int r = poll(&p, 1, static_cast<int>(left / 1000000LL) + 1);
        if (r < 0 && errno != EINTR) return 0;
        if (r > 0 && !(p.revents & POLLOUT)) return 0;
    }
    return 1;
}

int posixWaitReadable(Handle handle, int timeoutMs) {
    Device *d = find(handle);
    if (!d) return 0;
    return waitInput(d->fd, nowNs() + static_cast<std::int64_t>(timeoutMs < 0 ? 0 : timeoutMs) * 1000000LL) ==
           kWaitInput;
}

int posixDiscardInput(Handle handle) {
    Device *d = find(handle);
    return d && tcflush(d->fd, TCIFLUSH) == 0 ? 1 : 0;
}

void posixClose(Handle handle) {
    Device *d = find(handle);
    if (!d) return;
    ioctl(d->fd, TIOCNXCL);
    ::close(d->fd);
    d->fd = -1;
}

int posixReadCts(Handle handle, int *ctsOn) {
    Device *d = find(handle);
    if (!d) return 0;
    int lines = 0;
    if (ioctl(d->fd, TIOCMGET, &lines) != 0) return 0;
    *ctsOn = (lines & TIOCM_CTS) ? 1 : 0;
    return 1;
}

int posixSetCtsFlow(Handle handle, int on) {
    Device *d = find(handle);
    if (!d) return 0;
    termios tio{};
    if (tcgetattr(d->fd, &tio) != 0) return 0;
    if (on)
        tio.c_cflag |= CRTSCTS;
    else
        tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    return tcsetattr(d->fd, TCSANOW, &tio) == 0 ? 1 : 0;
}

} // namespace

const SerialBackend serialBackend = {posixOpen,  posixOpenPath, posixConfigure,    posixSetTimeouts,
                                     posixRead,  posixWrite,    posixWaitReadable, posixDiscardInput,
                                     posixClose, posixReadCts,  posixSetCtsFlow};

} // namespace pyrolink
