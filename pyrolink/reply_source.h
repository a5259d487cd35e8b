// Where the bus-device and CAN-adapter exchanges read their replies from: the active port's
// ReadComm, unless a harness (fuzzing, replay) installed its own source of reply bytes.
#pragma once

namespace pyrolink {

using ReplySource = int (*)(unsigned char *buffer, int count, unsigned int *got);
extern ReplySource replySource; // nullptr = ReadComm

int readDeviceReply(unsigned char *buffer, int count, unsigned int *got);

} // namespace pyrolink
