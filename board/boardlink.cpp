#include "board/boardlink.h"

#include "board/stovemodel.h"

#include <pyrolink.h>

#include <algorithm>

namespace {
// The read time-out is a 16-bit argument of the link library.
constexpr int kMaxDelay = 32767;
// The setup page's scan opens each port as controller type 1 with 1 ms time-outs.
constexpr int kScanBaud = 9600;
constexpr short kScanControllerType = 1;
constexpr short kScanTimeout = 1;
} // namespace

BoardLink::~BoardLink() {
    close();
}

int BoardLink::open(const LinkSettings &settings) {
    std::lock_guard lock(m_mutex);
    // A port still open (a detection that failed leaves it so) is closed first: opening it again
    // would be refused as busy, or as an active proxy connection.
    if (m_open.exchange(false)) CloseComm();
    const auto delay = static_cast<short>(std::clamp(settings.delay, 0, kMaxDelay));
    const int result =
        OpenComm(settings.com, settings.baudRate, 0, delay, settings.byteTimeout(), settings.byteTimeout());
    m_open.store(result == 0);
    // Drains still owed from before a close stay owed: a late reply may follow the port.
    m_drainsOwed = std::max(m_drainsOwed, kDrainsAfterOpen);
    return result;
}

void BoardLink::close() {
    std::lock_guard lock(m_mutex);
    if (m_open.exchange(false)) CloseComm();
}

QList<int> BoardLink::scanPorts() {
    std::lock_guard lock(m_mutex);
    if (m_open.exchange(false)) CloseComm();
    QList<int> ports;
    for (int port = 0; port < kPortCount; ++port) {
        if (OpenComm(port, kScanBaud, kScanControllerType, kScanTimeout, kScanTimeout, kScanTimeout) == 0) {
            CloseComm();
            ports.append(port);
        }
    }
    return ports;
}

bool BoardLink::attempt(const Attempt &attempt, int wait) {
    std::lock_guard lock(m_mutex);
    bool ok = true;
    if (m_drainsOwed > 0) {
        ok = ClearComm() != 0;
        if (ok) --m_drainsOwed;
    }
    ok = ok && attempt(wait) != 0;
    if (!ok) m_drainsOwed = kDrainsAfterFailure;
    return ok;
}

bool BoardLink::transact(const RetryPolicy &policy, const Attempt &attempt, const Proceed &proceed) {
    for (int t = policy.first; t <= policy.last; ++t) {
        if (proceed && !proceed()) return false;
        if (this->attempt(attempt, policy.wait(t))) return true;
    }
    return false;
}
