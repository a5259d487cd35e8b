// A scripted controller or boot loader on the far side of a pty: answers frame requests from a
// sparse memory, a table of area addresses and an identity text, and records every request. Free of
// the test framework, so the benchmark uses it too.
#pragma once

#include "pty_peer.h"

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace testsupport {

struct Request {
    std::uint8_t node = 0, command = 0, length = 0;
    std::uint32_t address = 0;
    Bytes data, raw;
};

inline std::uint8_t sum8(const Bytes &b) {
    unsigned s = 0;
    for (std::uint8_t v : b)
        s += v;
    return std::uint8_t(s);
}

inline Bytes be32(std::uint32_t v) {
    return {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)};
}

// The frame bytes of a request or reply: header with checksum, then data and data checksum.
inline Bytes frameBytes(std::uint8_t node, std::uint8_t command, std::uint8_t length, std::uint32_t address,
                        const Bytes &data = {}) {
    Bytes f = {0x55, 0xAA, 0x00, node, command, length};
    for (std::uint8_t b : be32(address))
        f.push_back(b);
    f.push_back(sum8(f));
    if (!data.empty()) {
        f.insert(f.end(), data.begin(), data.end());
        f.push_back(sum8(data));
    }
    return f;
}

class FakeController {
public:
    std::uint32_t areaBase = 0x100000; // configuration code c announces the area at areaBase + c * 0x1000
    std::uint32_t extra = 0x0BADF00D;  // second value of the download area (code 0x50)
    std::string identity = "TESTCTRL V2.10";
    std::uint32_t functionAddress = 0x00012345;
    std::set<std::uint8_t> silentCommands; // requests with these commands get no answer
    // May change a reply before it goes out; an empty reply is not sent.
    std::function<void(const Request &, Bytes &reply)> tamper;
    std::vector<Request> requests; // read them only after PtyPeer::stop()

    void poke(std::uint32_t address, const Bytes &bytes) {
        for (std::size_t i = 0; i < bytes.size(); ++i)
            at(address + std::uint32_t(i)) = bytes[i];
    }
    void poke16(std::uint32_t address, std::uint16_t v) {
        poke(address, {std::uint8_t(v >> 8), std::uint8_t(v)});
    }
    Bytes peek(std::uint32_t address, std::size_t count) {
        Bytes out;
        for (std::size_t i = 0; i < count; ++i)
            out.push_back(at(address + std::uint32_t(i)));
        return out;
    }

    void attach(PtyPeer &peer) {
        peer.serve([this](PtyPeer &p, Bytes &pending) {
            while (pending.size() >= 11) {
                if (pending[0] != 0x55 || pending[1] != 0xAA) {
                    pending.erase(pending.begin());
                    continue;
                }
                Request r;
                r.node = pending[3];
                r.command = pending[4];
                r.length = pending[5];
                r.address = (std::uint32_t(pending[6]) << 24) | (std::uint32_t(pending[7]) << 16) |
                            (std::uint32_t(pending[8]) << 8) | pending[9];
                static const std::set<int> withData = {0x01, 0x04, 0x05, 0x0D, 0x11, 0x13};
                const std::size_t size = 11 + (withData.count(r.command) ? r.length + 1u : 0u);
                if (pending.size() < size) return;
                r.raw.assign(pending.begin(), pending.begin() + long(size));
                if (size > 11) r.data.assign(pending.begin() + 11, pending.begin() + 11 + r.length);
                pending.erase(pending.begin(), pending.begin() + long(size));
                requests.push_back(r);
                if (silentCommands.count(r.command)) continue;
                Bytes reply = answer(r);
                if (tamper) tamper(r, reply);
                if (!reply.empty()) p.write(reply);
            }
        });
    }

private:
    // The first 64 KiB are flat, so that the benchmark's transfers measure the library, not this
    // board; the rest is sparse.
    std::uint8_t &at(std::uint32_t address) {
        return address < m_low.size() ? m_low[address] : m_high[address];
    }

    Bytes answer(const Request &r) {
        switch (r.command) {
        case 0x00:
            return frameBytes(r.node, 0x00, r.length, r.address, peek(r.address, r.length));
        case 0x01:
        case 0x04:
            poke(r.address, r.data);
            return frameBytes(r.node, r.command, r.length, r.address);
        case 0x09:
            return frameBytes(r.node, 0x09, std::uint8_t(identity.size()), 0,
                              Bytes(identity.begin(), identity.end()));
        case 0x0A: {
            // The address where this code carries it; the other slot gets a decoy.
            const std::uint8_t code = std::uint8_t(r.address);
            const std::uint32_t a = areaBase + code * 0x1000u, decoy = 0xDEAD0000u | code;
            const bool first = code == 0x04 || code == 0x50;
            Bytes d = be32(first ? a : decoy);
            for (std::uint32_t v : {first ? (code == 0x50 ? extra : decoy) : a, extra})
                for (std::uint8_t b : be32(v))
                    d.push_back(b);
            return frameBytes(r.node, 0x0A, 12, r.address, d);
        }
        case 0x13:
            return frameBytes(r.node, 0x13, 4, 0, be32(functionAddress));
        default:
            return frameBytes(r.node, r.command, r.length, r.address);
        }
    }

    Bytes m_low = Bytes(0x10000, 0);
    std::map<std::uint32_t, std::uint8_t> m_high;
};

} // namespace testsupport
