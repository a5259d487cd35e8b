// Firmware files: Motorola S-records (".mot") as the board's boot loader takes them. The check pass
// reads the whole file once and either refuses it or yields the data records in file order, so that
// programming never starts on a file that could fail half-way.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cstdint>
#include <optional>

namespace srec {

// The exact lines a firmware file must hold somewhere: its header and its end record.
inline constexpr char kHeaderLine[] = "S0030000FC";
inline constexpr char kEndLine[] = "S804000000FB";
// Data records with a 24-bit address start with this (letter case matters).
inline constexpr char kDataPrefix[] = "S2";

// Bounds on what is read. A whole 1 MiB flash written as S2 text takes about 3 MiB; a record line is
// at most 4 + 2 x 255 characters, so a longer line is no S-record.
inline constexpr qsizetype kMaxFileBytes = 8 * 1024 * 1024;
inline constexpr qsizetype kMaxLineChars = 1024;

// Count byte of a data record: address (3 bytes) and checksum (1 byte) at least.
inline constexpr int kAddressBytes = 3;
inline constexpr int kMinCount = kAddressBytes + 1;

struct Record {
    std::uint32_t address = 0;
    QByteArray data;
    int line = 0; // 1-based line number in the file
};

// Flash addresses from `first` to `last`, both included.
struct Area {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    bool contains(const Area &other) const { return other.first >= first && other.last <= last; }
};

enum class Refusal {
    None,
    TooLarge,        // more than kMaxFileBytes
    NotText,         // NUL or other control bytes no text file has
    LineTooLong,     // a line over kMaxLineChars
    MissingHeader,   // no line equal to kHeaderLine
    MissingEnd,      // no line equal to kEndLine
    BadRecord,       // an S2 line that is not a well-formed record
    OtherDataRecord, // an S1 or S3 record, or a data record in lower case: the loader would not get it
    OutsideFlash,    // a record writes outside the flash areas given
    Overlap,         // a record writes bytes an earlier record writes too
    NoData,          // no S2 record carries a data byte
};

struct CheckResult {
    Refusal refusal = Refusal::None;
    int line = 0;        // the offending line, for the refusals of one line
    int earlierLine = 0; // Overlap: the line that writes those bytes first
    Area bytes;          // OutsideFlash: the record's bytes; Overlap: the bytes both records write
    QList<Record> records;
    bool ok() const { return refusal == Refusal::None; }
    // Data bytes of all records together.
    qint64 dataBytes() const;
};

// Decodes one S2 line (line end removed). The record checksum is not verified: the boot loader's
// frames carry their own. A record is well formed when its count and address are hexadecimal, all
// text after "S2" is pairs of hex digits, the count equals the number of those bytes and covers at
// least the address and the checksum.
std::optional<Record> parseDataRecord(QByteArrayView line);

// The check pass over a whole file: lines end with LF, CR LF or CR; lines other than the header,
// the end record and data records are ignored. A file passes when it has both exact lines and
// S2 records only, at least one data byte, every record inside one of `flash` (the areas the
// update erases) and no byte written twice (the flash would keep the AND of both writes).
CheckResult check(const QByteArray &content, const QList<Area> &flash);

} // namespace srec
