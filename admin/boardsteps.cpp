#include "admin/boardsteps.h"

#include "parameters/boardtransfer.h"

namespace boardsteps {
namespace {

constexpr int kTechnical = 1;

bool writeThenStore(BoardLink &link, int index, short value, const RetryPolicy &write) {
    const bool written = writeBoardParameter(link, kTechnical, index, value, write);
    const bool stored = storeBoardParameters(link, kStore);
    return written && stored;
}

} // namespace

bool resetParameters(BoardLink &link) {
    return writeThenStore(link, kResetIndex, kResetValue, kResetWrite);
}

bool switchToBootLoader(BoardLink &link) {
    return writeThenStore(link, kBootLoaderIndex, kBootLoaderValue, kBootLoaderWrite);
}

} // namespace boardsteps
