#include "admin/srecord.h"

#include <algorithm>
#include <map>
#include <numeric>

namespace srec {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The byte written by the two hex digits at `at`, or -1.
int hexByte(QByteArrayView text, qsizetype at) {
    const int high = hexValue(text[at]);
    const int low = hexValue(text[at + 1]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

// Bytes that no text file holds. Tab, the line ends and the DOS end-of-file mark are text.
bool isBinaryByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 && c != '\t' && c != '\n' && c != '\r' && u != 0x1A;
}

// S1 and S3 records (16- and 32-bit addresses) and data records in lower case: lines the loader
// would never get, so a file holding them would be programmed incomplete.
bool isOtherDataRecord(QByteArrayView line) {
    if (line.size() < 2 || (line[0] != 'S' && line[0] != 's')) return false;
    return line[1] == '1' || line[1] == '3' || (line[0] == 's' && line[1] == '2');
}

// The bytes written so far, as disjoint areas by their first address, each with its line.
class Written {
public:
    struct Earlier {
        Area common; // the bytes both write
        int line;
    };
    // The earlier record whose bytes meet `bytes`, if any. The areas are disjoint, so only the
    // last one that starts at or before the end of `bytes` can reach it.
    std::optional<Earlier> overlap(const Area &bytes) const {
        const auto after = m_areas.upper_bound(bytes.last);
        if (after == m_areas.begin()) return std::nullopt;
        const auto &[first, span] = *std::prev(after);
        if (span.last < bytes.first) return std::nullopt;
        return Earlier{{std::max(first, bytes.first), std::min(span.last, bytes.last)}, span.line};
    }
    void add(const Area &bytes, int line) { m_areas.emplace(bytes.first, Span{bytes.last, line}); }

private:
    struct Span {
        std::uint32_t last;
        int line;
    };
    std::map<std::uint32_t, Span> m_areas; // by first address
};

} // namespace

qint64 CheckResult::dataBytes() const {
    return std::accumulate(records.begin(), records.end(), qint64{0},
                           [](qint64 sum, const Record &r) { return sum + r.data.size(); });
}

std::optional<Record> parseDataRecord(QByteArrayView line) {
    constexpr qsizetype kCountAt = 2;
    constexpr qsizetype kAddressAt = 4;
    constexpr qsizetype kDataAt = kAddressAt + 2 * kAddressBytes;
    if (!line.startsWith(QByteArrayView(kDataPrefix)) || line.size() < kDataAt) return std::nullopt;
    const qsizetype hexChars = line.size() - kAddressAt;
    if (hexChars % 2 != 0) return std::nullopt;
    const int count = hexByte(line, kCountAt);
    if (count < kMinCount || count != hexChars / 2) return std::nullopt;

    Record record;
    for (qsizetype at = kAddressAt; at < kDataAt; at += 2) {
        const int b = hexByte(line, at);
        if (b < 0) return std::nullopt;
        record.address = (record.address << 8) | static_cast<std::uint32_t>(b);
    }
    // The last pair is the record checksum: checked for being hex, not for its value.
    const qsizetype dataEnd = line.size() - 2;
    record.data.reserve((dataEnd - kDataAt) / 2);
    for (qsizetype at = kDataAt; at < line.size(); at += 2) {
        const int b = hexByte(line, at);
        if (b < 0) return std::nullopt;
        if (at < dataEnd) record.data.append(static_cast<char>(b));
    }
    return record;
}

CheckResult check(const QByteArray &content, const QList<Area> &flash) {
    CheckResult result;
    const auto refuse = [&result](Refusal refusal, int line) -> CheckResult & {
        result.refusal = refusal;
        result.line = line;
        result.records.clear();
        return result;
    };
    if (content.size() > kMaxFileBytes) return refuse(Refusal::TooLarge, 0);
    if (std::any_of(content.begin(), content.end(), isBinaryByte)) return refuse(Refusal::NotText, 0);

    bool header = false;
    bool end = false;
    int lineNumber = 0;
    qsizetype start = 0;
    Written written;
    while (start < content.size()) {
        qsizetype stop = start;
        while (stop < content.size() && content[stop] != '\n' && content[stop] != '\r')
            ++stop;
        const QByteArrayView line(content.constData() + start, stop - start);
        ++lineNumber;
        // CR LF ends one line, not two.
        start = stop + 1;
        if (stop < content.size() && content[stop] == '\r' && start < content.size() &&
            content[start] == '\n')
            ++start;

        if (line.size() > kMaxLineChars) return refuse(Refusal::LineTooLong, lineNumber);
        if (line == QByteArrayView(kHeaderLine)) {
            header = true;
        } else if (line == QByteArrayView(kEndLine)) {
            end = true;
        } else if (line.startsWith(QByteArrayView(kDataPrefix))) {
            std::optional<Record> record = parseDataRecord(line);
            if (!record) return refuse(Refusal::BadRecord, lineNumber);
            record->line = lineNumber;
            if (!record->data.isEmpty()) {
                // At most 251 bytes from a 24-bit address: no overflow in 32 bits.
                const Area bytes{record->address,
                                 record->address + static_cast<std::uint32_t>(record->data.size()) - 1};
                if (std::none_of(flash.begin(), flash.end(),
                                 [&bytes](const Area &area) { return area.contains(bytes); })) {
                    CheckResult &refused = refuse(Refusal::OutsideFlash, lineNumber);
                    refused.bytes = bytes;
                    return refused;
                }
                if (const auto earlier = written.overlap(bytes)) {
                    CheckResult &refused = refuse(Refusal::Overlap, lineNumber);
                    refused.bytes = earlier->common;
                    refused.earlierLine = earlier->line;
                    return refused;
                }
                written.add(bytes, lineNumber);
            }
            result.records.append(std::move(*record));
        } else if (isOtherDataRecord(line)) {
            return refuse(Refusal::OtherDataRecord, lineNumber);
        }
    }
    if (!header) return refuse(Refusal::MissingHeader, 0);
    if (!end) return refuse(Refusal::MissingEnd, 0);
    if (result.dataBytes() == 0) return refuse(Refusal::NoData, 0);
    return result;
}

} // namespace srec
