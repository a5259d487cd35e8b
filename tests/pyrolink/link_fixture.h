// Shared helpers of the link library tests: a pty peer on COM1, scripted replies, and the fixture
// against a scripted controller.
#pragma once

#include "fake_controller.h"
#include "pyrolink.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace linktest {

using namespace testsupport;
using namespace std::chrono_literals;

inline double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

inline Bytes cat(Bytes a, const Bytes &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

using ints = std::vector<int>;
// The address and length of each frame request, in turn.
inline ints accesses(const std::vector<Request> &requests) {
    ints out;
    for (const Request &r : requests)
        out.insert(out.end(), {int(r.address), r.length});
    return out;
}

// Answers each request with the next scripted reply (an empty one = stays silent). `requestSize`
// gives the size of the complete request at the start of what arrived, or 0 while incomplete.
template <typename RequestSize>
void scriptRequests(PtyPeer &peer, RequestSize requestSize, std::vector<Bytes> replies) {
    peer.serve([requestSize, replies = std::move(replies), next = std::size_t(0)](PtyPeer &p,
                                                                                  Bytes &pending) mutable {
        while (std::size_t size = requestSize(pending)) {
            pending.erase(pending.begin(), pending.begin() + long(size));
            if (next < replies.size() && !replies[next].empty()) p.write(replies[next]);
            ++next;
        }
    });
}

// The same for requests of `size` bytes each.
inline void script(PtyPeer &peer, std::size_t size, std::vector<Bytes> replies) {
    scriptRequests(
        peer, [size](const Bytes &pending) { return pending.size() >= size ? size : std::size_t(0); },
        std::move(replies));
}

// A test with the library's port 0 ("COM1") on a fresh pty; the port is closed afterwards.
class LinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetRemoteIP(255, 255, 255, 255);
        SetActiveComm(0);
        CloseComm();
        peer.bindCom(1);
    }
    void TearDown() override {
        peer.stop();
        SetActiveComm(0);
        CloseComm();
        DoDebug(0);
    }
    // Stops the peer and returns (and forgets) every byte the library sent.
    Bytes sent() {
        peer.stop();
        const Bytes out = peer.received();
        peer.clearReceived();
        return out;
    }
    PtyPeer peer;
};

// A test against a FakeController on COM1.
class ControllerTest : public LinkTest {
protected:
    int areaOf(std::uint8_t code) const { return int(ctrl.areaBase) + code * 0x1000; }
    // Opens the port for controller `type` and lets the controller answer.
    void open(short type) {
        ASSERT_EQ(OpenComm(0, 19200, type, 150, 0, 20), 0);
        restart();
    }
    // Opens, configures `node` and forgets that traffic.
    void configure(short type, signed char node) {
        ASSERT_NO_FATAL_FAILURE(open(type));
        ASSERT_EQ(ReadConf(node), 0);
        restart();
    }
    // Forgets the traffic so far; the controller answers (on).
    void restart() {
        peer.stop();
        ctrl.requests.clear();
        ctrl.attach(peer);
    }
    // Stops the controller and returns the requests it saw.
    std::vector<Request> requests() {
        peer.stop();
        return ctrl.requests;
    }
    FakeController ctrl;
};

} // namespace linktest
