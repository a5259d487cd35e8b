// Feeds arbitrary bytes to the firmware-file check pass and checks that what it accepts is what the
// update may send: records within the count byte's reach, in line order, inside the file.
#include "admin/srecord.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray content(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const srec::CheckResult result = srec::check(content);
    if (!result.ok()) {
        if (!result.records.isEmpty()) std::abort();
        return 0;
    }
    int line = 0;
    for (const srec::Record &record : result.records) {
        // The count byte covers address, data and checksum.
        if (record.data.size() > 0xFF - srec::kMinCount) std::abort();
        if (record.address > 0xFFFFFF || record.line <= line) std::abort();
        line = record.line;
    }
    if (result.dataBytes() * 2 > content.size()) std::abort();
    return 0;
}
