// Feeds arbitrary bytes to the firmware-file check pass and checks that what it accepts is what the
// update may send: records within the count byte's reach, in line order, inside the file, inside
// the flash areas given, no byte written twice, and something to write.
#include "admin/srecord.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    // Two areas with a gap between them, as the program and data areas of the flash.
    static const QList<srec::Area> flash = {{0x00000, 0x1FFFF}, {0xF0000, 0xFFFFF}};
    const QByteArray content(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const srec::CheckResult result = srec::check(content, flash);
    if (!result.ok()) {
        if (!result.records.isEmpty()) std::abort();
        return 0;
    }
    int line = 0;
    QList<srec::Area> written;
    for (const srec::Record &record : result.records) {
        // The count byte covers address, data and checksum.
        if (record.data.size() > 0xFF - srec::kMinCount) std::abort();
        if (record.address > 0xFFFFFF || record.line <= line) std::abort();
        line = record.line;
        if (record.data.isEmpty()) continue;
        const srec::Area bytes{record.address,
                               record.address + static_cast<std::uint32_t>(record.data.size()) - 1};
        if (std::none_of(flash.begin(), flash.end(), [&](const srec::Area &a) { return a.contains(bytes); }))
            std::abort();
        written.append(bytes);
    }
    std::sort(written.begin(), written.end(),
              [](const srec::Area &a, const srec::Area &b) { return a.first < b.first; });
    for (qsizetype i = 1; i < written.size(); ++i)
        if (written[i].first <= written[i - 1].last) std::abort();
    if (result.dataBytes() == 0 || result.dataBytes() * 2 > content.size()) std::abort();
    return 0;
}
