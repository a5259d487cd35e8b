// The Windows build of the link library (pyrolink.dll) under Wine, against pseudo-terminals whose
// far ends the simulator plays natively: COM1 -> a WATER board, COM10 -> a board in its boot
// loader, and a BASIC board behind pyroproxy on PYROLINK_PROXY_PORT (run-wine-tests.sh sets all
// three up). Covers opening COM1 and COM10, the raw exchange and its time-outs, the drain, the
// XON/XOFF characters of the line settings, boot-loader frames in both receive modes, and the proxy
// client with its connect diagnostics. Nothing here relies on modem lines, other framings than 8N1 or
// wire pacing, which a pty under Wine does not have.
#include "pyrolink.h"

// winsock2.h must come before windows.h.
#include <winsock2.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int g_passed = 0, g_failed = 0;

void check(bool ok, const char *what, int line, const std::string &detail = "") {
    if (ok) {
        ++g_passed;
        return;
    }
    ++g_failed;
    std::printf("FAIL line %d: %s%s%s\n", line, what, detail.empty() ? "" : " -- ", detail.c_str());
    std::fflush(stdout);
}
#define CHECK(condition, ...) check((condition), #condition, __LINE__, ##__VA_ARGS__)

std::string printable(const std::string &bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        char b[8];
        std::snprintf(b, sizeof b, c >= 0x20 && c < 0x7F ? "%c" : "\\x%02X", c);
        out += b;
    }
    return "\"" + out + "\"";
}

// Sends a text command and collects the reply until `expected` bytes came or 2 s passed.
std::string ask(const std::string &command, std::size_t expected) {
    ClearComm();
    if (!WriteComm(reinterpret_cast<const unsigned char *>(command.data()), int(command.size())))
        return "<write>";
    std::string reply;
    for (const ULONGLONG deadline = GetTickCount64() + 2000;
         reply.size() < expected && GetTickCount64() < deadline;) {
        unsigned char buf[24];
        unsigned int got = 0;
        if (!ReadComm(buf, sizeof buf, &got)) return reply + "<read>";
        reply.append(reinterpret_cast<char *>(buf), got);
    }
    return reply;
}

// The library's diagnostics are message boxes; with no display, the box is replaced in the DLL's
// import table by a recorder.
std::string g_messages;

int WINAPI recordMessage(HWND, LPCSTR text, LPCSTR caption, UINT) {
    g_messages.append("[").append(caption).append(": ").append(text).append("]");
    return IDOK;
}

bool recordMessageBoxes() {
    auto *base = reinterpret_cast<BYTE *>(GetModuleHandleA("pyrolink.dll"));
    if (!base) return false;
    auto *nt =
        reinterpret_cast<IMAGE_NT_HEADERS *>(base + reinterpret_cast<IMAGE_DOS_HEADER *>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY &imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto *d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + imports.VirtualAddress); d->Name; ++d) {
        if (_stricmp(reinterpret_cast<char *>(base + d->Name), "user32.dll") != 0) continue;
        auto *name = reinterpret_cast<IMAGE_THUNK_DATA *>(base + d->OriginalFirstThunk);
        auto *slot = reinterpret_cast<IMAGE_THUNK_DATA *>(base + d->FirstThunk);
        for (; name->u1.AddressOfData; ++name, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
            auto *byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME *>(base + name->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<char *>(byName->Name), "MessageBoxA") != 0) continue;
            DWORD old = 0;
            VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &old);
            slot->u1.Function = reinterpret_cast<ULONG_PTR>(&recordMessage);
            VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, old, &old);
            return true;
        }
    }
    return false;
}

// The XON/XOFF characters of the port's line settings, read (and first set when `set`) through a
// handle of our own.
bool lineXonXoff(const char *port, char *xon, char *xoff, bool set = false) {
    HANDLE h = CreateFileA(port, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    bool ok = GetCommState(h, &dcb);
    if (set) {
        dcb.XonChar = *xon;
        dcb.XoffChar = *xoff;
        ok = ok && SetCommState(h, &dcb);
    }
    *xon = dcb.XonChar;
    *xoff = dcb.XoffChar;
    CloseHandle(h);
    return ok;
}

ULONGLONG timedRead(int count, unsigned int *got) {
    unsigned char buf[128];
    *got = 99;
    const ULONGLONG start = GetTickCount64();
    ReadComm(buf, count, got);
    return GetTickCount64() - start;
}

void com1RawExchange() {
    // The line settings must carry the usual XON/XOFF characters whatever the port held before.
    char xon = 0x01, xoff = 0x02;
    CHECK(lineXonXoff("COM1", &xon, &xoff, true),
          "COM1 cannot be opened: is HKLM\\Software\\Wine\\Ports\\COM1 set?");
    SetActiveComm(0);
    const int opened = OpenComm(0, 9600, 0, 1000, 0, 50);
    CHECK(opened == 0, "OpenComm(0) result " + std::to_string(opened));
    if (opened != 0) return;
    std::string reply = ask("MODELLO\r", 23);
    CHECK(reply == "WATER      02.07240315\r", printable(reply));
    reply = ask("WRGENP01020\r", 8);
    CHECK(reply == "P01=020\r", printable(reply));

    // Time-outs: a silent line ends the read after the total constant (1000 ms); a reply shorter
    // than the count ends it at the 50 ms gap after its last byte, long before that.
    unsigned int got = 0;
    ULONGLONG ms = timedRead(24, &got);
    CHECK(got == 0 && ms >= 950 && ms < 3000, "silent read took " + std::to_string(ms) + " ms");
    WriteComm(reinterpret_cast<const unsigned char *>("READGENP01\r"), 11);
    ms = timedRead(100, &got);
    CHECK(got == 8 && ms < 250,
          "read of a short reply: " + std::to_string(got) + " bytes in " + std::to_string(ms));

    // DrainComm drops a reply that has come, at once; the time-outs stay the port's.
    WriteComm(reinterpret_cast<const unsigned char *>("READGENP01\r"), 11);
    Sleep(200);
    const ULONGLONG drainStart = GetTickCount64();
    CHECK(DrainComm() == 1 && DrainComm() == 1);
    const ULONGLONG drained = GetTickCount64() - drainStart;
    CHECK(drained < 500, "DrainComm took " + std::to_string(drained) + " ms");
    ms = timedRead(24, &got);
    CHECK(got == 0 && ms >= 950 && ms < 3000,
          "read after DrainComm: " + std::to_string(got) + " bytes in " + std::to_string(ms));
    CloseComm();
    CHECK(DrainComm() == 0);
    CHECK(lineXonXoff("COM1", &xon, &xoff) && xon == 0x11 && xoff == 0x13,
          "XonChar " + std::to_string(xon) + " XoffChar " + std::to_string(xoff));

    // Poll mode (t3 = -1): a read returns at once with what is buffered.
    CHECK(OpenComm(0, 9600, 0, 1000, 0, -1) == 0);
    ms = timedRead(24, &got);
    CHECK(got == 0 && ms < 500, "poll-mode read took " + std::to_string(ms) + " ms");
    CloseComm();
}

void com10BootLoaderFrames() {
    SetActiveComm(9);
    for (short t3 : {short(20), short(-1)}) { // driver time-outs, then the polling receiver
        const std::string mode = ", t3 " + std::to_string(t3);
        const int opened = OpenComm(9, 19200, 0, 300, 0, t3);
        CHECK(opened == 0, "OpenComm(9) (\\\\.\\COM10) result " + std::to_string(opened) +
                               ": is HKLM\\Software\\Wine\\Ports\\COM10 set?");
        if (opened != 0) return;
        const int at = t3 == -1 ? 0x10200 : 0x10000;
        unsigned char before[300], pattern[200], after[300];
        CHECK(ReadBytes(1, at, 300, before) == 1, "ReadBytes of 300 bytes" + mode);
        for (int i = 0; i < 200; ++i)
            pattern[i] = static_cast<unsigned char>(0xA5 ^ i);
        CHECK(WriteBytesFlash(1, at, 200, pattern) == 1, "WriteBytesFlash" + mode);
        CHECK(ReadBytes(1, at, 300, after) == 1, mode);
        int wrong = 0;
        for (int i = 0; i < 300; ++i)
            wrong += after[i] != (i < 200 ? (before[i] & pattern[i]) : before[i]);
        CHECK(wrong == 0, std::to_string(wrong) + " bytes differ from old AND new" + mode);
        CloseComm();
    }
}

void proxyClient() {
    SetActiveComm(2);
    SetRemoteIP(127, 0, 0, 1);
    const int opened = OpenComm(2, 9600, 0, 300, 0, 50);
    CHECK(opened == 0,
          "proxy OpenComm result " + std::to_string(opened) + ": is pyroproxy on PYROLINK_PROXY_PORT?");
    if (opened == 0) {
        CHECK(DrainComm() == 1);
        const std::string reply = ask("MODELLO\r", 23);
        CHECK(reply == "BASIC      02.07240315\r", printable(reply));
    }
    CloseComm();
    CHECK(DrainComm() == 0);
    SetRemoteIP(255, 255, 255, 255);
}

// A loopback port with nothing listening (refused), and a listener whose queue is full (never
// answers): the diagnostics must name 10061 and 10060, not the select() that ended the wait.
void proxyConnectDiagnostics() {
    CHECK(recordMessageBoxes(), "MessageBoxA is not imported by pyrolink.dll");
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof a;
    bind(listener, reinterpret_cast<sockaddr *>(&a), size);
    getsockname(listener, reinterpret_cast<sockaddr *>(&a), &size);
    const char *proxyPort = std::getenv("PYROLINK_PROXY_PORT");
    const std::string saved = proxyPort ? proxyPort : "";
    _putenv(("PYROLINK_PROXY_PORT=" + std::to_string(ntohs(a.sin_port))).c_str());

    SetActiveComm(3);
    SetRemoteIP(127, 0, 0, 1);
    DoDebug(1);
    int r = OpenComm(3, 9600, 0, 300, 0, 50);
    CHECK(r == -10004 && g_messages.find("[PyroLink: connect() Error 10061]") != std::string::npos,
          std::to_string(r) + " " + g_messages);

    listen(listener, 0);
    SOCKET fillers[3];
    for (SOCKET &s : fillers) {
        s = socket(AF_INET, SOCK_STREAM, 0);
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        connect(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
    }
    Sleep(100);
    g_messages.clear();
    r = OpenComm(3, 9600, 0, 300, 0, 50);
    CHECK(r == -10004 && g_messages.find("[PyroLink: connect() Error 10060]") != std::string::npos,
          std::to_string(r) + " " + g_messages);

    DoDebug(0);
    SetRemoteIP(255, 255, 255, 255);
    for (SOCKET s : fillers)
        closesocket(s);
    closesocket(listener);
    WSACleanup();
    _putenv(("PYROLINK_PROXY_PORT=" + saved).c_str());
}

} // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    com1RawExchange();
    com10BootLoaderFrames();
    proxyClient();
    proxyConnectDiagnostics();
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
