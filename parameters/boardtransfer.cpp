#include "parameters/boardtransfer.h"

#include "board/transactions.h"

#include <optional>

namespace {
// The control command that stores the parameters ("SAVEPAR").
constexpr unsigned short kStoreCommand = 2;
} // namespace

bool readBoardParameter(BoardLink &link, int table, int index, std::int16_t *value,
                        const RetryPolicy &policy) {
    return link.transact(policy, [&](int wait) {
        return readParameter(static_cast<unsigned short>(table), static_cast<unsigned short>(index), value,
                             wait);
    });
}

bool writeBoardParameter(BoardLink &link, int table, int index, std::int16_t value,
                         const RetryPolicy &policy) {
    return link.transact(policy, [&](int wait) {
        return writeParameter(static_cast<unsigned short>(table), static_cast<unsigned short>(index), value,
                              wait);
    });
}

bool readFlagsWord(BoardLink &link, int table, int index, std::int16_t *value, const RetryPolicy &policy) {
    std::optional<std::int16_t> previous;
    return link.transact(policy, [&](int wait) {
        std::int16_t word = 0;
        if (readParameter(static_cast<unsigned short>(table), static_cast<unsigned short>(index), &word,
                          wait) == 0)
            return 0;
        const bool confirmed = previous == word;
        previous = word;
        if (confirmed) *value = word;
        return confirmed ? 1 : 0;
    });
}

bool storeBoardParameters(BoardLink &link, const RetryPolicy &policy) {
    return link.transact(policy, [](int wait) { return sendControlCommand(kStoreCommand, wait); });
}

bool selectBoardBank(BoardLink &link, int bank, const RetryPolicy &policy) {
    return link.transact(policy,
                         [&](int wait) { return writeBank(static_cast<unsigned short>(bank), wait); });
}
