#include "board/transactions.h"

#include "board/commands.h"

#include <QThread>
#include <pyrolink.h>

namespace {

using board::Command;

void sleepMs(int ms) {
    if (ms > 0) QThread::msleep(static_cast<unsigned long>(ms));
}

struct Reply {
    unsigned char bytes[board::replyCapacity] = {};
    unsigned n = 0;
};

// Drop what has arrived, write, wait, read. For the parameter commands the wait is split: a third
// before the write and the rest after it.
bool exchange(const Command &command, int wait, Reply &reply, bool splitWait = false) {
    if (DrainComm() == 0) return false;
    int after = wait;
    if (splitWait) {
        sleepMs(wait / 3);
        after = wait - wait / 3;
    }
    if (WriteComm(reinterpret_cast<const unsigned char *>(command.bytes), command.length) == 0) return false;
    sleepMs(after);
    unsigned int got = 0;
    if (ReadComm(reply.bytes, board::replyCapacity, &got) == 0) return false;
    reply.n = got > static_cast<unsigned>(board::replyCapacity) ? board::replyCapacity : got;
    return true;
}

int echoTransaction(const Command &command, int wait) {
    Reply reply;
    return exchange(command, wait, reply) && board::echoMatches(command, reply.bytes, reply.n) ? 1 : 0;
}

} // namespace

int sendControlCommand(unsigned short which, int wait) {
    Command command;
    if (!board::controlCommand(which, command)) return 0;
    return echoTransaction(command, wait);
}

int setLoad(unsigned short load, unsigned short state, int wait) {
    Command command;
    if (!board::loadCommand(load, state, command)) return 0;
    return echoTransaction(command, wait);
}

int readInput(unsigned short input, short *value, int wait) {
    Command command;
    if (!board::inputCommand(input, command)) return 0;
    Reply reply;
    if (!exchange(command, wait, reply)) return 0;
    return board::parseInputReply(input, reply.bytes, reply.n, value) ? 1 : 0;
}

int readIdentity(char *text, int wait) {
    Command command;
    board::identityCommand(command);
    Reply reply;
    if (!exchange(command, wait, reply)) return 0;
    return board::parseIdentityReply(reply.bytes, reply.n, text) ? 1 : 0;
}

int writeBank(unsigned short bank, int wait) {
    Command command;
    board::bankCommand(bank, command);
    Reply reply;
    if (!exchange(command, wait, reply)) return 0;
    return board::bankReplyMatches(command, reply.bytes, reply.n) ? 1 : 0;
}

int readDebugValues(unsigned short index, short *first, short *second, short *third, int wait) {
    Command command;
    board::debugCommand(index, command);
    Reply reply;
    if (!exchange(command, wait, reply)) return 0;
    return board::parseDebugReply(command, reply.bytes, reply.n, first, second, third) ? 1 : 0;
}

int setAnalogOutput(unsigned short output, unsigned short value, int wait) {
    Command command;
    if (!board::analogOutputCommand(output, value, command)) return 0;
    return echoTransaction(command, wait);
}

int setChannel(unsigned short channel, unsigned short value, int wait) {
    Command command;
    board::channelCommand(channel, value, command);
    Reply reply;
    if (!exchange(command, wait, reply)) return 0;
    return board::channelReplyMatches(command, reply.bytes, reply.n) ? 1 : 0;
}

int writeParameter(unsigned short table, unsigned short index, short value, int wait) {
    Command command;
    if (!board::writeParameterCommand(table, index, value, command)) return 0;
    Reply reply;
    if (!exchange(command, wait, reply, true)) return 0;
    return board::writeParameterReplyMatches(command, value, reply.bytes, reply.n) ? 1 : 0;
}

int readParameter(unsigned short table, unsigned short index, short *value, int wait) {
    Command command;
    if (!board::readParameterCommand(table, index, command)) return 0;
    Reply reply;
    if (!exchange(command, wait, reply, true)) return 0;
    return board::parseReadParameterReply(command, reply.bytes, reply.n, value) ? 1 : 0;
}
