// A firmware update observer that shows nothing and never cancels, for the benchmarks that run the
// update sequence on their own.
#pragma once

#include "admin/firmwareupdate.h"

namespace bench {

class QuietUpdate final : public firmware::Observer {
public:
    void erasing(int, int) override {}
    void programming(int, int, qint64, qint64) override {}
    void verificationError(int) override {}
    bool cancelRequested() override { return false; }
};

} // namespace bench
