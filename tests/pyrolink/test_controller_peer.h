// A scripted controller on the far side of a pty: answers frame requests from a sparse memory,
// a table of area addresses and an identity text, and records every request frame. Also the
// test fixture that opens the library's port 0 ("COM1") against it.
#pragma once

#include "pty_peer.h"
#include "pyrolink.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace testsupport {

struct Request {
    std::uint8_t node = 0;
    std::uint8_t command = 0;
    std::uint8_t length = 0;
    std::uint32_t address = 0;
    Bytes data;
    Bytes raw;
};

inline std::uint8_t sum8(const Bytes &b, std::size_t from = 0, std::size_t count = std::size_t(-1)) {
    unsigned s = 0;
    for (std::size_t i = from; i < b.size() && i - from < count; ++i)
        s += b[i];
    return std::uint8_t(s);
}

// The frame bytes of a request or reply: header with checksum, then data and data checksum.
inline Bytes frameBytes(std::uint8_t node, std::uint8_t command, std::uint8_t length, std::uint32_t address,
                        const Bytes &data = {}) {
    Bytes f = {0x55,
               0xAA,
               0x00,
               node,
               command,
               length,
               std::uint8_t(address >> 24),
               std::uint8_t(address >> 16),
               std::uint8_t(address >> 8),
               std::uint8_t(address)};
    f.push_back(sum8(f));
    if (!data.empty()) {
        f.insert(f.end(), data.begin(), data.end());
        f.push_back(sum8(data));
    }
    return f;
}

class FakeController {
public:
    std::map<std::uint32_t, std::uint8_t> memory;
    std::map<std::uint8_t, std::uint32_t> areas; // configuration code -> area address
    std::uint32_t extra = 0x0BADF00D;            // second value of the download area (code 0x50)
    std::string identity = "TESTCTRL V2.10";
    std::uint32_t functionAddress = 0x00012345;
    std::set<std::uint8_t> silentCommands; // requests with these commands get no answer
    Bytes noise;                           // sent before every reply
    std::vector<Request> requests;         // read them only after PtyPeer::stop()

    void poke(std::uint32_t address, const Bytes &bytes) {
        for (std::size_t i = 0; i < bytes.size(); ++i)
            memory[address + std::uint32_t(i)] = bytes[i];
    }
    void poke32(std::uint32_t address, std::uint32_t v) {
        poke(address, {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)});
    }
    void poke16(std::uint32_t address, std::uint16_t v) {
        poke(address, {std::uint8_t(v >> 8), std::uint8_t(v)});
    }
    Bytes peek(std::uint32_t address, std::size_t count) const {
        Bytes out;
        for (std::size_t i = 0; i < count; ++i) {
            auto it = memory.find(address + std::uint32_t(i));
            out.push_back(it == memory.end() ? 0 : it->second);
        }
        return out;
    }

    // Requests of one command, in order.
    std::vector<Request> of(std::uint8_t command) const {
        std::vector<Request> out;
        for (const Request &r : requests)
            if (r.command == command) out.push_back(r);
        return out;
    }

    void attach(PtyPeer &peer) {
        peer.serve([this](PtyPeer &p, Bytes &pending) {
            while (pending.size() >= 11) {
                if (pending[0] != 0x55 || pending[1] != 0xAA) {
                    pending.erase(pending.begin());
                    continue;
                }
                const std::uint8_t command = pending[4];
                const std::uint8_t length = pending[5];
                const bool hasData = command == 0x01 || command == 0x04 || command == 0x05 ||
                                     command == 0x0D || command == 0x11 || command == 0x13;
                const std::size_t size = 11 + (hasData ? length + 1u : 0u);
                if (pending.size() < size) return;
                Request r;
                r.raw.assign(pending.begin(), pending.begin() + long(size));
                r.node = pending[3];
                r.command = command;
                r.length = length;
                r.address = (std::uint32_t(pending[6]) << 24) | (std::uint32_t(pending[7]) << 16) |
                            (std::uint32_t(pending[8]) << 8) | pending[9];
                if (hasData) r.data.assign(pending.begin() + 11, pending.begin() + 11 + length);
                pending.erase(pending.begin(), pending.begin() + long(size));
                requests.push_back(r);
                if (silentCommands.count(command)) continue;
                Bytes reply = noise;
                const Bytes body = answer(r);
                reply.insert(reply.end(), body.begin(), body.end());
                p.write(reply);
            }
        });
    }

private:
    Bytes answer(const Request &r) {
        switch (r.command) {
        case 0x00:
            return frameBytes(r.node, 0x00, r.length, r.address, peek(r.address, r.length));
        case 0x01:
            poke(r.address, r.data);
            return frameBytes(r.node, 0x01, r.length, r.address);
        case 0x09:
            return frameBytes(r.node, 0x09, std::uint8_t(identity.size()), 0,
                              Bytes(identity.begin(), identity.end()));
        case 0x0A: {
            const std::uint8_t code = std::uint8_t(r.address);
            const std::uint32_t a = areas.count(code) ? areas[code] : 0;
            Bytes d(12, 0);
            const bool first = code == 0x04 || code == 0x50;
            // The address where this code carries it; the other slot gets a decoy.
            const std::uint32_t decoy = 0xDEAD0000u | code;
            const std::uint32_t at0 = first ? a : decoy;
            const std::uint32_t at4 = first ? (code == 0x50 ? extra : decoy) : a;
            for (int i = 0; i < 4; ++i) {
                d[std::size_t(i)] = std::uint8_t(at0 >> (24 - 8 * i));
                d[std::size_t(4 + i)] = std::uint8_t(at4 >> (24 - 8 * i));
                d[std::size_t(8 + i)] = std::uint8_t(extra >> (24 - 8 * i));
            }
            return frameBytes(r.node, 0x0A, 12, r.address, d);
        }
        case 0x13:
            return frameBytes(r.node, 0x13, 4, 0,
                              {std::uint8_t(functionAddress >> 24), std::uint8_t(functionAddress >> 16),
                               std::uint8_t(functionAddress >> 8), std::uint8_t(functionAddress)});
        default:
            return frameBytes(r.node, r.command, r.length, r.address);
        }
    }
};

// Configuration codes of the 26 area table entries, in table order.
inline constexpr std::uint8_t kAreaCodes[26] = {0x49, 0x06, 0x07, 0x09, 0x0A, 0x0B, 0x1B, 0x1C, 0x24,
                                                0x25, 0x26, 0x47, 0x4E, 0x4F, 0x50, 0x51, 0x52, 0x53,
                                                0x4C, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x04};

// A test against a FakeController on port 0 ("COM1") whose area table entry e lies at
// areaBase + e * 0x1000.
class ControllerTest : public ::testing::Test {
protected:
    explicit ControllerTest(std::uint32_t areaBase) : m_areaBase(areaBase) {}

    std::uint32_t areaOf(int entry) const { return m_areaBase + std::uint32_t(entry) * 0x1000u; }

    // Opens the port for controller `type` and lets the controller answer.
    void open(short type) {
        peer.bindCom(1);
        ASSERT_EQ(OpenComm(0, 19200, type, 150, 0, 20), 0);
        for (int e = 0; e < 26; ++e)
            ctrl.areas[kAreaCodes[e]] = areaOf(e);
        ctrl.attach(peer);
    }
    // Forgets the traffic so far; the controller answers on.
    void restart() {
        peer.stop();
        ctrl.requests.clear();
        peer.clearReceived();
        ctrl.attach(peer);
    }
    // Stops the controller and returns the requests it saw.
    std::vector<Request> requests() {
        peer.stop();
        return ctrl.requests;
    }
    void TearDown() override {
        peer.stop();
        CloseComm();
    }

    PtyPeer peer;
    FakeController ctrl;

private:
    std::uint32_t m_areaBase;
};

} // namespace testsupport
