// The board's ASCII command set: how each command is built and how its reply is checked and
// parsed. No I/O here; board/transactions.h runs the exchanges.
#pragma once

#include <cstddef>

namespace board {

// Every reply is read into a buffer of this size.
inline constexpr int replyCapacity = 24;
// Room for the longest command (14 bytes) and its terminating NUL.
inline constexpr int commandCapacity = 16;

struct Command {
    char bytes[commandCapacity] = {};
    int length = 0;
};

// Builders: false for a selector outside the listed values (nothing is to be sent).
bool controlCommand(unsigned short which, Command &command);
bool loadCommand(unsigned short load, unsigned short state, Command &command);
bool inputCommand(unsigned short input, Command &command);
bool identityCommand(Command &command);
bool bankCommand(unsigned short bank, Command &command);
bool debugCommand(unsigned short index, Command &command);
bool analogOutputCommand(unsigned short output, unsigned short value, Command &command);
bool channelCommand(unsigned short channel, unsigned short value, Command &command);
bool writeParameterCommand(unsigned short table, unsigned short index, short value, Command &command);
bool readParameterCommand(unsigned short table, unsigned short index, Command &command);

// Reply checks. `reply` holds `n` bytes (n <= replyCapacity); out-values are written only on success.
bool echoMatches(const Command &command, const unsigned char *reply, unsigned n);
bool parseInputReply(unsigned short input, const unsigned char *reply, unsigned n, short *value);
bool parseIdentityReply(const unsigned char *reply, unsigned n, char *text);
bool bankReplyMatches(const Command &command, const unsigned char *reply, unsigned n);
bool parseDebugReply(const Command &command, const unsigned char *reply, unsigned n, short *first,
                     short *second, short *third);
bool channelReplyMatches(const Command &command, const unsigned char *reply, unsigned n);
// Parameter replies: the three value bytes must be a number from end to end (a reply altered on the
// line is refused rather than read as far as its digits go).
bool writeParameterReplyMatches(const Command &command, short value, const unsigned char *reply, unsigned n);
bool parseReadParameterReply(const Command &command, const unsigned char *reply, unsigned n, short *value);

// atoi of `length` bytes at `field` (leading white space, optional sign, digits, stop at anything
// else), as if the byte after the field had been set to NUL.
int fieldValue(const unsigned char *field, int length);

} // namespace board

// Writes `width` bytes at `destination`: zero-padded decimal digits of `value`, least significant
// digit last; digits that do not fit are dropped from the most significant end; 0 or a negative
// value gives all zeros.
void formatDigits(char *destination, int value, short width);
