#include "parameters/boardtransfer.h"

#include "board/transactions.h"

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

bool storeBoardParameters(BoardLink &link, const RetryPolicy &policy) {
    return link.transact(policy, [](int wait) { return sendControlCommand(kStoreCommand, wait); });
}

bool selectBoardBank(BoardLink &link, int bank, const RetryPolicy &policy) {
    return link.transact(policy,
                         [&](int wait) { return writeBank(static_cast<unsigned short>(bank), wait); });
}
