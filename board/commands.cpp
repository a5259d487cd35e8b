#include "board/commands.h"

#include <cstring>

void formatDigits(char *destination, int value, short width) {
    for (short i = 0; i < width; ++i)
        destination[i] = '0';
    for (short i = static_cast<short>(width - 1); i >= 0 && value > 0; --i) {
        destination[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

namespace board {
namespace {

bool setText(Command &command, const char *text) {
    const std::size_t length = std::strlen(text);
    std::memcpy(command.bytes, text, length + 1);
    command.length = static_cast<int>(length);
    return true;
}

// Appends `prefix`, then each (value, width) number, then CR.
void build(Command &command, const char *prefix, int value1 = -1, short width1 = 0, int value2 = -1,
           short width2 = 0) {
    int pos = static_cast<int>(std::strlen(prefix));
    std::memcpy(command.bytes, prefix, static_cast<std::size_t>(pos));
    if (width1 > 0) {
        formatDigits(command.bytes + pos, value1, width1);
        pos += width1;
    }
    if (width2 > 0) {
        formatDigits(command.bytes + pos, value2, width2);
        pos += width2;
    }
    command.bytes[pos++] = '\r';
    command.bytes[pos] = '\0';
    command.length = pos;
}

bool isSpace(unsigned char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool bytesEqual(const unsigned char *reply, const char *expected, int count) {
    return std::memcmp(reply, expected, static_cast<std::size_t>(count)) == 0;
}

} // namespace

int fieldValue(const unsigned char *field, int length) {
    int i = 0;
    while (i < length && isSpace(field[i]))
        ++i;
    bool negative = false;
    if (i < length && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
    int value = 0;
    // Fields are at most three characters wide, so the value cannot overflow.
    while (i < length && field[i] >= '0' && field[i] <= '9')
        value = value * 10 + (field[i++] - '0');
    return negative ? -value : value;
}

bool controlCommand(unsigned short which, Command &command) {
    switch (which) {
    case 0:
        return setText(command, "TESTOFF\r");
    case 1:
        return setText(command, "TESTON\r");
    case 2:
        return setText(command, "SAVEPAR\r");
    default:
        return false;
    }
}

bool loadCommand(unsigned short load, unsigned short state, Command &command) {
    switch (load) {
    case 1:
        return setText(command, state == 1 ? "RESISTENCEON\r" : "RESISTENCEOFF\r");
    case 3:
        return setText(command, state == 1 ? "COCLEAON\r" : "COCLEAOFF\r");
    case 5:
        switch (state) {
        case 1:
            return setText(command, "LEDG\r");
        case 2:
            return setText(command, "LEDR\r");
        case 3:
            return setText(command, "LEDGR\r");
        default:
            return setText(command, "LEDOFF\r");
        }
    case 10:
        return setText(command, state == 1 ? "OUTON\r" : "OUTOFF\r");
    default:
        return false;
    }
}

namespace {
struct InputForm {
    const char *command;
    const char *prefix; // reply letters and '='
    int digits;         // width of the value field
};
// Index = input number 1..9.
const InputForm inputForms[10] = {
    {nullptr, nullptr, 0},    {"READT1\r", "T1=", 3},   {"READT2\r", "T2=", 3}, {"READT3\r", "T3=", 3},
    {"READPOT\r", "SET=", 2}, {"READPR\r", "PR=", 3},   {"READEN\r", "EN=", 3}, {"READIN\r", "IN=", 3},
    {"READPR\r", "PR=", 3},   {"READPCC\r", "SCC=", 2},
};
} // namespace

bool inputCommand(unsigned short input, Command &command) {
    if (input < 1 || input > 9) return false;
    return setText(command, inputForms[input].command);
}

bool identityCommand(Command &command) {
    return setText(command, "MODELLO\r");
}

bool bankCommand(unsigned short bank, Command &command) {
    // Only the last decimal digit of the bank is sent, four times.
    std::memcpy(command.bytes, "WRBANP0", 7);
    for (int i = 0; i < 4; ++i)
        formatDigits(command.bytes + 7 + i, bank % 10, 1);
    command.bytes[11] = '\r';
    command.bytes[12] = '\0';
    command.length = 12;
    return true;
}

bool debugCommand(unsigned short index, Command &command) {
    build(command, "DEBUG", index, 2);
    return true;
}

bool analogOutputCommand(unsigned short output, unsigned short value, Command &command) {
    if (output == 2) {
        build(command, "EFUMI", value, 3);
        return true;
    }
    if (output == 4) {
        if (value == 100) return setText(command, "VENT1ON\r");
        build(command, "VVENT", value, 2);
        return true;
    }
    return false;
}

bool channelCommand(unsigned short channel, unsigned short value, Command &command) {
    build(command, "OUT", channel, 2, value, 3);
    return true;
}

bool writeParameterCommand(unsigned short table, unsigned short index, short value, Command &command) {
    if (table > 1) return false;
    build(command, table == 0 ? "WRGENP" : "WRTECP", index, 2, value, 3);
    return true;
}

bool readParameterCommand(unsigned short table, unsigned short index, Command &command) {
    if (table > 1) return false;
    build(command, table == 0 ? "READGENP" : "READTECP", index, 2);
    return true;
}

bool echoMatches(const Command &command, const unsigned char *reply, unsigned n) {
    return n == static_cast<unsigned>(command.length) && bytesEqual(reply, command.bytes, command.length);
}

bool parseInputReply(unsigned short input, const unsigned char *reply, unsigned n, short *value) {
    if (input < 1 || input > 9) return false;
    const InputForm &form = inputForms[input];
    const int prefixLength = static_cast<int>(std::strlen(form.prefix));
    const int total = prefixLength + form.digits + 1;
    if (n != static_cast<unsigned>(total)) return false;
    if (!bytesEqual(reply, form.prefix, prefixLength) || reply[total - 1] != '\r') return false;
    *value = static_cast<short>(fieldValue(reply + prefixLength, form.digits));
    return true;
}

bool parseIdentityReply(const unsigned char *reply, unsigned n, char *text) {
    if (n != 23) return false;
    std::memcpy(text, reply, 22);
    text[22] = '\0';
    return true;
}

bool bankReplyMatches(const Command &command, const unsigned char *reply, unsigned n) {
    // "WRBANP0dddd\r" is answered by "P0d=ddd\r".
    const char d = command.bytes[7];
    const char expected[8] = {'P', '0', d, '=', d, d, d, '\r'};
    return n == 8 && bytesEqual(reply, expected, 8);
}

bool parseDebugReply(const Command &command, const unsigned char *reply, unsigned n, short *first,
                     short *second, short *third) {
    // "DEBUGii\r" is answered by ii, nine value bytes and CR.
    if (n != 12 || reply[0] != static_cast<unsigned char>(command.bytes[5]) ||
        reply[1] != static_cast<unsigned char>(command.bytes[6]) || reply[11] != '\r')
        return false;
    *first = static_cast<short>(fieldValue(reply + 2, 3));
    *second = static_cast<short>(fieldValue(reply + 5, 3));
    *third = static_cast<short>(fieldValue(reply + 8, 3));
    return true;
}

bool channelReplyMatches(const Command &command, const unsigned char *reply, unsigned n) {
    // "OUTiivvv\r" is answered by "Oii=" + '0' or '1' + the last two digits sent + any byte.
    return n == 8 && reply[0] == 'O' && reply[1] == static_cast<unsigned char>(command.bytes[3]) &&
           reply[2] == static_cast<unsigned char>(command.bytes[4]) && reply[3] == '=' &&
           (reply[4] == '0' || reply[4] == '1') && reply[5] == static_cast<unsigned char>(command.bytes[6]) &&
           reply[6] == static_cast<unsigned char>(command.bytes[7]);
}

namespace {
constexpr int kParameterField = 3; // the value bytes of a parameter reply

// "P" + the two index digits of the command + "=" + 3 bytes + CR, the 3 bytes a number from end to
// end (leading blanks and a sign allowed). The board writes its values zero-padded; a field that a
// number fills only in part ("0", an altered byte, "1") was altered on the line, and reading it as
// far as it goes would take a garbled reply for a value of the board's.
bool parameterReplyForm(const Command &command, int indexAt, const unsigned char *reply, unsigned n) {
    if (n != 8 || reply[0] != 'P' || reply[1] != static_cast<unsigned char>(command.bytes[indexAt]) ||
        reply[2] != static_cast<unsigned char>(command.bytes[indexAt + 1]) || reply[3] != '=' ||
        reply[7] != '\r')
        return false;
    const unsigned char *field = reply + 4;
    int i = 0;
    while (i < kParameterField && isSpace(field[i]))
        ++i;
    if (i < kParameterField && (field[i] == '+' || field[i] == '-')) ++i;
    const int digits = i;
    while (i < kParameterField && field[i] >= '0' && field[i] <= '9')
        ++i;
    return i > digits && i == kParameterField;
}
} // namespace

bool writeParameterReplyMatches(const Command &command, short value, const unsigned char *reply, unsigned n) {
    return parameterReplyForm(command, 6, reply, n) &&
           static_cast<short>(fieldValue(reply + 4, kParameterField)) == value;
}

bool parseReadParameterReply(const Command &command, const unsigned char *reply, unsigned n, short *value) {
    if (!parameterReplyForm(command, 8, reply, n)) return false;
    *value = static_cast<short>(fieldValue(reply + 4, kParameterField));
    return true;
}

} // namespace board
