// Shared helpers for the link library tests: a pty peer bound to a COM number, scripted replies
// and a stopwatch.
#pragma once

#include "pty_peer.h"
#include "pyrolink.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace linktest {

using testsupport::Bytes;
using testsupport::bytes;
using testsupport::hex;
using testsupport::PtyPeer;
using namespace std::chrono_literals;

inline double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

inline Bytes cat(Bytes a, const Bytes &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
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

// Captures what the library writes to standard error (its diagnostics on POSIX).
class StderrCapture {
public:
    StderrCapture() {
        std::fflush(stderr);
        m_saved = dup(2);
        m_file = std::tmpfile();
        dup2(fileno(m_file), 2);
    }
    ~StderrCapture() { restore(); }
    std::string text() {
        restore();
        std::string out;
        std::rewind(m_file);
        char buf[512];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, m_file)) > 0)
            out.append(buf, n);
        return out;
    }

private:
    void restore() {
        if (m_saved < 0) return;
        std::fflush(stderr);
        dup2(m_saved, 2);
        close(m_saved);
        m_saved = -1;
    }
    int m_saved = -1;
    std::FILE *m_file = nullptr;
};

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
    // Stops the peer and returns every byte the library sent.
    Bytes sent() {
        peer.stop();
        return peer.received();
    }
    PtyPeer peer;
};

} // namespace linktest
