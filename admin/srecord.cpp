#include "admin/srecord.h"

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

CheckResult check(const QByteArray &content) {
    CheckResult result;
    if (content.size() > kMaxFileBytes) {
        result.refusal = Refusal::TooLarge;
        return result;
    }
    for (const char c : content) {
        if (isBinaryByte(c)) {
            result.refusal = Refusal::NotText;
            return result;
        }
    }

    bool header = false;
    bool end = false;
    int lineNumber = 0;
    qsizetype start = 0;
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

        if (line.size() > kMaxLineChars) {
            result.refusal = Refusal::LineTooLong;
            result.line = lineNumber;
            result.records.clear();
            return result;
        }
        if (line == QByteArrayView(kHeaderLine)) {
            header = true;
        } else if (line == QByteArrayView(kEndLine)) {
            end = true;
        } else if (line.startsWith(QByteArrayView(kDataPrefix))) {
            std::optional<Record> record = parseDataRecord(line);
            if (!record) {
                result.refusal = Refusal::BadRecord;
                result.line = lineNumber;
                result.records.clear();
                return result;
            }
            record->line = lineNumber;
            result.records.append(std::move(*record));
        }
    }
    if (!header || !end) {
        result.refusal = header ? Refusal::MissingEnd : Refusal::MissingHeader;
        result.records.clear();
    }
    return result;
}

} // namespace srec
