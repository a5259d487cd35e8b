// TCP client sockets through Windows Sockets 2.2.
#include "platform.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace pyrolink {
namespace {

SOCKET toSocket(Socket s) {
    return static_cast<SOCKET>(s);
}

int winStartup() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0 ? 1 : 0;
}

void winCleanup() {
    WSACleanup();
}

Socket winCreate() {
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    return s == INVALID_SOCKET ? kInvalidSocket : static_cast<Socket>(s);
}

int winSetReuseAddress(Socket s) {
    int one = 1;
    return setsockopt(toSocket(s), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char *>(&one),
                      sizeof one) == 0
               ? 1
               : 0;
}

int winConnect(Socket s, std::uint32_t address, std::uint16_t port, int timeoutMs) {
    SOCKET sock = toSocket(s);
    u_long nonBlocking = 1;
    ioctlsocket(sock, FIONBIO, &nonBlocking);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(address);
    if (connect(sock, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        if (WSAGetLastError() != WSAEWOULDBLOCK) return 0;
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(sock, &writable);
        FD_SET(sock, &failed);
        timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
        const int ready = select(0, nullptr, &writable, &failed, &tv);
        if (ready == 0) WSASetLastError(WSAETIMEDOUT);
        if (ready <= 0) return 0;
        // select() itself succeeded, so the last error says nothing about the connection: the
        // cause (refused, timed out, unreachable) is the socket's pending error.
        int pending = 0;
        int size = sizeof pending;
        if (getsockopt(sock, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&pending), &size) != 0) return 0;
        if (pending != 0 || FD_ISSET(sock, &failed)) {
            WSASetLastError(pending != 0 ? pending : WSAECONNREFUSED);
            return 0;
        }
    }
    u_long blocking = 0;
    ioctlsocket(sock, FIONBIO, &blocking);
    return 1;
}

int winSendAll(Socket s, const std::uint8_t *data, int count) {
    int done = 0;
    while (done < count) {
        int n = send(toSocket(s), reinterpret_cast<const char *>(data) + done, count - done, 0);
        if (n == SOCKET_ERROR || n == 0) return 0;
        done += n;
    }
    return 1;
}

int winReceive(Socket s, std::uint8_t *buffer, int capacity, int timeoutMs) {
    SOCKET sock = toSocket(s);
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(sock, &readable);
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int r = select(0, &readable, nullptr, nullptr, &tv);
    if (r == SOCKET_ERROR) return kReceiveFailed;
    if (r == 0) return kReceiveTimedOut;
    int n = recv(sock, reinterpret_cast<char *>(buffer), capacity, 0);
    if (n == SOCKET_ERROR) return kReceiveFailed;
    return n;
}

void winClose(Socket s) {
    closesocket(toSocket(s));
}

int winLastError() {
    return WSAGetLastError();
}

} // namespace

const SocketBackend socketBackend = {winStartup, winCleanup, winCreate, winSetReuseAddress, winConnect,
                                     winSendAll, winReceive, winClose,  winLastError};

} // namespace pyrolink
