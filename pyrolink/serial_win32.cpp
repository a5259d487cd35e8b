// Serial devices through the Win32 communications functions.
#include "platform.h"

#include <cstdio>
#include <windows.h>

namespace pyrolink {
namespace {

constexpr char kXon = 0x11;
constexpr char kXoff = 0x13;

HANDLE toHandle(Handle h) {
    return reinterpret_cast<HANDLE>(h);
}

Handle winOpenPath(const char *name) {
    HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return kInvalidHandle;
    return reinterpret_cast<Handle>(h);
}

// Ports 0..8 are "COM1".."COM9"; 9..15 need the device-namespace form "\\.\COM10".."\\.\COM16".
Handle winOpen(int port) {
    if (port < 0 || port > 15) return kInvalidHandle;
    char name[16];
    if (port < 9)
        std::snprintf(name, sizeof name, "COM%d", port + 1);
    else
        std::snprintf(name, sizeof name, "\\\\.\\COM1%d", port - 9);
    return winOpenPath(name);
}

int winConfigure(Handle handle, int baud) {
    char mode[32];
    std::snprintf(mode, sizeof mode, "%d,n,8,1", baud);
    DCB dcb;
    ZeroMemory(&dcb, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    BuildCommDCBA(mode, &dcb);
    // The mode text leaves the XON/XOFF characters at zero; a driver that refuses equal
    // characters would then refuse the whole block, so give them their usual values.
    dcb.XonChar = kXon;
    dcb.XoffChar = kXoff;
    return SetCommState(toHandle(handle), &dcb) ? 1 : 0;
}

int winSetTimeouts(Handle handle, const ReadTimeouts &t) {
    COMMTIMEOUTS ct;
    ct.ReadIntervalTimeout = t.interval;
    ct.ReadTotalTimeoutMultiplier = t.multiplier;
    ct.ReadTotalTimeoutConstant = t.constant;
    ct.WriteTotalTimeoutMultiplier = 0;
    ct.WriteTotalTimeoutConstant = 0;
    return SetCommTimeouts(toHandle(handle), &ct) ? 1 : 0;
}

int winRead(Handle handle, std::uint8_t *buffer, std::uint32_t count, std::uint32_t *got) {
    DWORD n = 0;
    BOOL ok = ReadFile(toHandle(handle), buffer, count, &n, nullptr);
    *got = n;
    return ok ? 1 : 0;
}

int winWrite(Handle handle, const std::uint8_t *data, std::uint32_t count, std::uint32_t *written) {
    DWORD n = 0;
    WriteFile(toHandle(handle), data, count, &n, nullptr);
    *written = n;
    return n == count ? 1 : 0;
}

// Synchronous handles have no readiness wait; look at the driver queue once a millisecond.
int winWaitReadable(Handle handle, int timeoutMs) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        DWORD errors = 0;
        COMSTAT status;
        if (!ClearCommError(toHandle(handle), &errors, &status)) return 0;
        if (status.cbInQue > 0) return 1;
        if (GetTickCount64() >= end) return 0;
        Sleep(1);
    }
}

int winDiscardInput(Handle handle) {
    return PurgeComm(toHandle(handle), PURGE_RXCLEAR) ? 1 : 0;
}

void winClose(Handle handle) {
    CloseHandle(toHandle(handle));
}

int winReadCts(Handle handle, int *ctsOn) {
    DWORD status = 0;
    if (!GetCommModemStatus(toHandle(handle), &status)) return 0;
    *ctsOn = (status & MS_CTS_ON) ? 1 : 0;
    return 1;
}

DCB g_dcb; // the one device-control block shared by open and CTS handling

int winSetCtsFlow(Handle handle, int on) {
    if (!GetCommState(toHandle(handle), &g_dcb)) return 0;
    g_dcb.fOutxCtsFlow = on ? TRUE : FALSE;
    return SetCommState(toHandle(handle), &g_dcb) ? 1 : 0;
}

} // namespace

const SerialBackend serialBackend = {winOpen,  winOpenPath, winConfigure,    winSetTimeouts,
                                     winRead,  winWrite,    winWaitReadable, winDiscardInput,
                                     winClose, winReadCts,  winSetCtsFlow};

} // namespace pyrolink
