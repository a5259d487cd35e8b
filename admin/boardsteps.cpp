#include "admin/boardsteps.h"

#include "parameters/boardtransfer.h"

namespace boardsteps {
namespace {

constexpr int kTechnical = 1;

StepOutcome writeThenStore(BoardLink &link, int index, short value, const RetryPolicy &write) {
    const bool written = writeBoardParameter(link, kTechnical, index, value, write);
    const bool stored = storeBoardParameters(link, kStore);
    if (written && stored) return StepOutcome::Done;
    return writeBoardParameter(link, kTechnical, index, kNoRequest, write) ? StepOutcome::Failed
                                                                           : StepOutcome::RequestLeft;
}

} // namespace

StepOutcome resetParameters(BoardLink &link) {
    return writeThenStore(link, kResetIndex, kResetValue, kResetWrite);
}

StepOutcome switchToBootLoader(BoardLink &link) {
    return writeThenStore(link, kBootLoaderIndex, kBootLoaderValue, kBootLoaderWrite);
}

} // namespace boardsteps
