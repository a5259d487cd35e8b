// Node and area tables of the programmable controllers, shared by the configuration/variable
// services and the parameter/download services.
#pragma once

#include <cstdint>

namespace pyrolink::controller {

constexpr int kNodeCount = 99;
constexpr int kAreaCount = 26;
constexpr int kIdentitySize = 80;

// Area table entries (index into Node::area); each is filled by configuration code kAreaCodes[i].
enum Area : int {
    kAreaStatus = 0,
    kAreaDigInp = 1,
    kAreaDigOut = 2,
    kAreaVB = 3,
    kAreaVW = 4,
    kAreaVL = 5,
    kAreaAnInp = 6,
    kAreaAnOut = 7,
    kAreaVBAX = 8,
    kAreaVWAX = 9,
    kAreaVLAX = 10,
    kAreaPersistent = 11,
    kAreaParAxValues = 12,
    kAreaParGenValues = 13,
    kAreaDownload = 14,
    kAreaSysB = 15,
    kAreaSysW = 16,
    kAreaSysL = 17,
    kAreaPidEnabled = 18,
    kAreaParAxDescriptors = 19,
    kAreaParGenDescriptors = 20,
    kAreaParNames = 21,
    kAreaParAxOrigin = 24,
    kAreaStatusCnc = 25,
};

struct Node {
    std::int32_t configured = 0;
    char identity[kIdentitySize] = {};
    std::uint32_t extra = 0;
    std::uint32_t area[kAreaCount] = {};
};

// The table entry of `node`: nullptr for node 0 and nodes above 99; negative nodes use entry 1
// (their request frames still carry the node byte unchanged).
Node *nodeEntry(signed char node);

// The entry of a node that may be used for an exchange: port open, node valid and configured.
Node *readyNode(signed char node);

// One frame exchange with up to three attempts: request (header, optional data), receive with the
// expected reply length, parse the command echo and, when `replyHasData`, the data checksum with
// at least `minReplyData` data bytes. The reply data (if any) is copied to `reply` (at most
// `replyCapacity` bytes). 1 = an attempt succeeded.
int transact(std::uint8_t node, std::uint8_t command, std::uint8_t length, std::uint32_t address,
             const std::uint8_t *data, int dataCount, std::uint32_t expected, bool replyHasData,
             int minReplyData, std::uint8_t *reply, int replyCapacity);

} // namespace pyrolink::controller
