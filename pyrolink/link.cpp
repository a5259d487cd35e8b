// Port slots and the raw byte exchange. The library keeps one process-wide state: sixteen port
// slots and a working copy of the active one that every operation reads.
#include "link.h"

#include "pyrolink.h"
#include "result_codes.h"

#include <cstring>

namespace pyrolink {

LinkState &state() {
    static LinkState s;
    return s;
}

void debugMessage(const char *text) {
    if (state().debug) showMessage("PyroLink", text);
}

namespace {

bool baudAllowed(int baud) {
    return baud == 9600 || baud == 19200 || baud == 38400 || baud == 57600 || baud == 115200;
}

// Releases a device that was opened but could not be set up, so it is not left held.
int abandonOpen(int code) {
    LinkState &s = state();
    if (s.work.handle != kInvalidHandle) serialBackend.close(s.work.handle);
    setField(&PortSlot::handle, kInvalidHandle);
    return code;
}

int serialOpen(int port, int baud, short controllerType, short t1, short t2, short t3) {
    LinkState &s = state();
    if (port < 0 || port >= kPortCount) return kOpenBadPort;

    s.active = port;
    setField(&PortSlot::open, 0);
    setField(&PortSlot::controllerType, static_cast<std::int16_t>(controllerType));

    if (!baudAllowed(baud)) return kOpenBadBaud;

    Handle h = serialBackend.open(port);
    if (h == kInvalidHandle) return kOpenNoDevice;
    setField(&PortSlot::handle, h);

    if (!serialBackend.configure(h, baud)) return abandonOpen(kOpenLineRefused);

    s.frameTimeout = t1;
    ReadTimeouts t;
    if (t3 == -1) {
        t.interval = kMaxDword;
        t.constant = 0;
    } else {
        t.interval = static_cast<std::uint32_t>(static_cast<std::int32_t>(t3));
        t.constant = static_cast<std::uint32_t>(static_cast<std::int32_t>(t1));
    }
    t.multiplier = static_cast<std::uint32_t>(static_cast<std::int32_t>(t2));
    s.timeouts = t;
    if (!serialBackend.setTimeouts(h, t)) return abandonOpen(kOpenTimeoutsRefused);

    setField(&PortSlot::open, 1);
    return kOpenDone;
}

void serialClose() {
    LinkState &s = state();
    if (!s.work.open) return;
    serialBackend.close(s.work.handle);
    // The handle is dropped with the device: a stale number could name another file later.
    setField(&PortSlot::handle, kInvalidHandle);
    setField(&PortSlot::open, 0);
    setField(&PortSlot::canOpen, 0);
}

int serialWrite(const unsigned char *data, int count) {
    LinkState &s = state();
    if (!s.work.open || !data || count <= 0) return 0;
    std::uint32_t written = 0;
    serialBackend.write(s.work.handle, data, static_cast<std::uint32_t>(count), &written);
    s.lastWritten = written;
    return written == static_cast<std::uint32_t>(count) ? 1 : 0;
}

int serialRead(unsigned char *buffer, int count, unsigned int *got) {
    LinkState &s = state();
    if (!s.work.open || !buffer || count <= 0) return 0;
    std::uint32_t n = 0;
    int ok = serialBackend.read(s.work.handle, buffer, static_cast<std::uint32_t>(count), &n);
    if (got) *got = n;
    return ok ? 1 : 0;
}

void serialWaitInput(int ms) {
    serialBackend.waitReadable(state().work.handle, ms);
}

int serialDiscard() {
    const LinkState &s = state();
    return s.work.open ? serialBackend.discardInput(s.work.handle) : 0;
}

} // namespace

const Transport serialTransport = {serialOpen, serialClose,     serialWrite,
                                   serialRead, serialWaitInput, serialDiscard};

} // namespace pyrolink

using namespace pyrolink;

extern "C" {

PYROLINK_API int OpenComm(int port, int baud, short controllerType, short t1, short t2, short t3) {
    return transport().open(port, baud, controllerType, t1, t2, t3);
}

PYROLINK_API void CloseComm(void) {
    transport().close();
}

PYROLINK_API void SetActiveComm(int port) {
    // An index outside the table would read past it; such a call changes nothing.
    if (port < 0 || port >= kPortCount) return;
    LinkState &s = state();
    s.active = port;
    s.work = s.slots[port];
}

PYROLINK_API int WriteComm(const unsigned char *data, int count) {
    return transport().write(data, count);
}

PYROLINK_API int ReadComm(unsigned char *buffer, int count, unsigned int *got) {
    return transport().read(buffer, count, got);
}

PYROLINK_API int ClearComm(void) {
    LinkState &s = state();
    if (!s.work.open) return 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        unsigned int n = 0;
        int ok = ReadComm(s.rx, 255, &n);
        s.rxCount = n;
        if (ok && n == 0) return 1;
    }
    return 0;
}

PYROLINK_API int DrainComm(void) {
    return transport().discard();
}

PYROLINK_API int SetCts(unsigned char flag) {
    return serialBackend.setCtsFlow(state().work.handle, flag != 0 ? 1 : 0);
}

PYROLINK_API int ReadCts(short *cts) {
    if (!cts) return 0;
    *cts = 0;
    int on = 0;
    if (!serialBackend.readCts(state().work.handle, &on)) return 0;
    if (on) *cts = 1;
    return 1;
}

PYROLINK_API void DoDebug(int flag) {
    state().debug = flag;
}

} // extern "C"
