// Board replies: every reply check runs on arbitrary bytes (at most the 24 a read can return) for
// a command chosen by the first input byte.
#include "board/commands.h"

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 3) return 0;
    const unsigned short selector = data[0];
    const unsigned short argument = static_cast<unsigned short>(data[1] | (data[2] << 8));
    data += 3;
    size -= 3;
    unsigned char reply[board::replyCapacity] = {};
    const unsigned n = static_cast<unsigned>(size < sizeof reply ? size : sizeof reply);
    std::memcpy(reply, data, n);

    board::Command command;
    short a = 0, b = 0, c = 0;
    char text[24];
    if (board::controlCommand(selector % 4, command)) board::echoMatches(command, reply, n);
    board::parseInputReply(selector % 11, reply, n, &a);
    board::parseIdentityReply(reply, n, text);
    board::bankCommand(argument, command);
    board::bankReplyMatches(command, reply, n);
    board::debugCommand(argument, command);
    board::parseDebugReply(command, reply, n, &a, &b, &c);
    board::channelCommand(selector, argument, command);
    board::channelReplyMatches(command, reply, n);
    if (board::writeParameterCommand(selector % 3, selector, static_cast<short>(argument), command))
        board::writeParameterReplyMatches(command, static_cast<short>(argument), reply, n);
    if (board::readParameterCommand(selector % 3, argument, command))
        board::parseReadParameterReply(command, reply, n, &a);
    if (board::analogOutputCommand(selector % 5, argument, command)) board::echoMatches(command, reply, n);
    return 0;
}
