#include "parameters/boardtransfer.h"

#include "board/transactions.h"

#include <QMutexLocker>

namespace {

template <typename Transaction> bool attempt(const RetryPolicy &policy, Transaction transaction) {
    for (int t = policy.first; t <= policy.last; ++t) {
        QMutexLocker lock(&linkMutex);
        if (transaction(policy.wait(t)) != 0) return true;
    }
    return false;
}

} // namespace

bool readBoardParameter(int table, int index, std::int16_t *value, const RetryPolicy &policy) {
    return attempt(policy, [&](int wait) {
        return readParameter(static_cast<unsigned short>(table), static_cast<unsigned short>(index), value,
                             wait);
    });
}

bool writeBoardParameter(int table, int index, std::int16_t value, const RetryPolicy &policy) {
    return attempt(policy, [&](int wait) {
        return writeParameter(static_cast<unsigned short>(table), static_cast<unsigned short>(index), value,
                              wait);
    });
}

bool storeBoardParameters(const RetryPolicy &policy) {
    return attempt(policy, [](int wait) { return sendControlCommand(2, wait); });
}

bool selectBoardBank(int bank, const RetryPolicy &policy) {
    return attempt(policy, [&](int wait) { return writeBank(static_cast<unsigned short>(bank), wait); });
}
