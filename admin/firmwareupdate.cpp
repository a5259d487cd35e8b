#include "admin/firmwareupdate.h"

#include "app/texts.h"

#include <pyrolink.h>

#include <QElapsedTimer>

#include <algorithm>
#include <array>

namespace firmware {

const QList<BoardProfile> &boardProfiles() {
    static const QList<BoardProfile> profiles = {
        {BoardFamily::Basic, QStringLiteral("Basic"), true, true, 0x41F8, 0x13FFF},
        {BoardFamily::TextPanel, QStringLiteral("Text Panel Water/Air"), false, false, 0x80A0, 0xFFFF},
        {BoardFamily::TouchPanel, QStringLiteral("Touch Panel Water/Air"), false, false, 0x41F8, 0x13FFF},
    };
    return profiles;
}

std::optional<BoardProfile> boardProfile(const QString &entryData) {
    for (const BoardProfile &profile : boardProfiles())
        if (profile.entry == entryData) return profile;
    return std::nullopt;
}

QList<Sector> sectorsToErase(bool dataArea) {
    if (dataArea) return {DataLow, DataHigh, ProgramLow, ProgramHigh};
    return {ProgramLow, ProgramHigh};
}

srec::Area sectorArea(Sector sector) {
    // 64 KiB program sectors from address 0 (the loaders' probe addresses and verification limits
    // lie in them) and two 32 KiB data sectors at the top of the first MiB.
    switch (sector) {
    case ProgramLow:
        return {0x00000, 0x0FFFF};
    case ProgramHigh:
        return {0x10000, 0x1FFFF};
    case DataLow:
        return {0xF0000, 0xF7FFF};
    case DataHigh:
        return {0xF8000, 0xFFFFF};
    }
    return {};
}

QList<srec::Area> erasedAreas(bool dataArea) {
    QList<srec::Area> areas;
    for (const Sector sector : sectorsToErase(dataArea))
        areas.append(sectorArea(sector));
    std::sort(areas.begin(), areas.end(),
              [](const srec::Area &a, const srec::Area &b) { return a.first < b.first; });
    QList<srec::Area> merged;
    for (const srec::Area &area : areas) {
        if (!merged.isEmpty() && merged.last().last + 1 == area.first)
            merged.last().last = area.last;
        else
            merged.append(area);
    }
    return merged;
}

bool probeBootLoader(BoardLink &link, std::uint32_t address) {
    std::array<unsigned char, kProbeBytes> buffer{};
    for (int attempt = 0; attempt < kProbeAttempts; ++attempt) {
        const int result = link.exclusive(
            [&] { return ReadBytes(kNode, static_cast<int>(address), kProbeBytes, buffer.data()); });
        if (result == 1) return true;
    }
    return false;
}

bool eraseSector(BoardLink &link, Sector sector) {
    for (int attempt = 0; attempt < kEraseAttempts; ++attempt)
        if (link.exclusive([&] { return DelOneSect(kNode, sector); }) == 1) return true;
    return false;
}

namespace {

bool writeRecord(BoardLink &link, const srec::Record &record) {
    const auto *data = reinterpret_cast<const unsigned char *>(record.data.constData());
    const auto count = static_cast<short>(record.data.size());
    for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
        if (link.exclusive(
                [&] { return WriteBytesFlash(kNode, static_cast<int>(record.address), count, data); }) != 0)
            return true;
    }
    return false;
}

bool readBack(BoardLink &link, std::uint32_t address, QByteArray &buffer) {
    auto *data = reinterpret_cast<unsigned char *>(buffer.data());
    const auto count = static_cast<short>(buffer.size());
    for (int attempt = 0; attempt < kReadBackAttempts; ++attempt)
        if (link.exclusive([&] { return ReadBytes(kNode, static_cast<int>(address), count, data); }) == 1)
            return true;
    return false;
}

// Bytes of a record that lie at or below the verification limit: those that are read back.
qsizetype verifiedLength(const srec::Record &record, const Options &options) {
    if (!options.verifyLimit) return 0;
    const qint64 room = qint64{*options.verifyLimit} - qint64{record.address} + 1;
    return static_cast<qsizetype>(std::clamp<qint64>(room, 0, record.data.size()));
}

} // namespace

Result update(BoardLink &link, const QList<srec::Record> &records, const Options &options,
              Observer &observer) {
    Result result;
    QElapsedTimer clock;
    clock.start();

    // Every sector is tried even after one failed, as the board may still take the next ones.
    const QList<Sector> sectors = sectorsToErase(options.eraseDataArea);
    bool erased = true;
    observer.erasing(0, static_cast<int>(sectors.size()));
    for (qsizetype i = 0; i < sectors.size(); ++i) {
        if (observer.cancelRequested()) return result;
        erased = eraseSector(link, sectors[i]) && erased;
        observer.erasing(static_cast<int>(i + 1), static_cast<int>(sectors.size()));
    }
    result.eraseMs = clock.restart();
    if (!erased) {
        result.outcome = Result::Outcome::EraseFailed;
        return result;
    }

    const auto totalRecords = static_cast<int>(records.size());
    qint64 totalBytes = 0;
    for (const srec::Record &record : records)
        totalBytes += record.data.size();
    observer.programming(0, totalRecords, 0, totalBytes);

    QByteArray readBuffer;
    for (const srec::Record &record : records) {
        if (observer.cancelRequested()) {
            result.programMs = clock.elapsed();
            return result;
        }
        // A record without data bytes has nothing to write.
        if (!record.data.isEmpty() && !writeRecord(link, record)) {
            result.outcome = Result::Outcome::WriteFailed;
            result.failedWrite = record.address;
            result.programMs = clock.elapsed();
            return result;
        }
        ++result.recordsWritten;
        result.bytesWritten += record.data.size();

        const qsizetype length = verifiedLength(record, options);
        if (length < record.data.size()) {
            result.bytesNotReadBack += record.data.size() - length;
            const srec::Area unread{record.address + static_cast<std::uint32_t>(length),
                                    record.address + static_cast<std::uint32_t>(record.data.size()) - 1};
            if (!result.notReadBack) result.notReadBack = unread;
            result.notReadBack->first = std::min(result.notReadBack->first, unread.first);
            result.notReadBack->last = std::max(result.notReadBack->last, unread.last);
        }
        if (length > 0) {
            readBuffer.resize(length);
            if (!readBack(link, record.address, readBuffer)) {
                ++result.errors;
                if (!result.firstUnreadable) result.firstUnreadable = record.address;
                observer.verificationError(result.errors);
            } else {
                qsizetype equal = 0;
                std::optional<qsizetype> firstDifference;
                for (qsizetype i = 0; i < length; ++i) {
                    if (readBuffer[i] == record.data[i])
                        ++equal;
                    else if (!firstDifference)
                        firstDifference = i;
                }
                result.bytesReadBackEqual += equal;
                if (firstDifference) {
                    ++result.errors;
                    if (!result.firstDifference)
                        result.firstDifference =
                            record.address + static_cast<std::uint32_t>(*firstDifference);
                    observer.verificationError(result.errors);
                }
            }
        }
        observer.programming(result.recordsWritten, totalRecords, result.bytesWritten, totalBytes);
    }
    result.programMs = clock.elapsed();
    result.outcome = result.errors == 0 ? Result::Outcome::Verified : Result::Outcome::NotVerified;
    return result;
}

QString hexAddress(std::uint32_t address) {
    constexpr int kDigits = 6; // the 24-bit flash addresses of the boot loader
    return QStringLiteral("0x") +
           QString::number(address, 16).toUpper().rightJustified(kDigits, QLatin1Char('0'));
}

QString areaText(const srec::Area &area) {
    if (area.first == area.last) return hexAddress(area.first);
    return hexAddress(area.first) + QLatin1Char('-') + hexAddress(area.last);
}

QString refusalText(const srec::CheckResult &checked, const QList<srec::Area> &flash) {
    using srec::Refusal;
    switch (checked.refusal) {
    case Refusal::TooLarge:
    case Refusal::NotText:
        return textAt(Text::NotSRecordFile).arg(srec::kMaxFileBytes / (1024 * 1024));
    case Refusal::LineTooLong:
        return textAt(Text::LineTooLong).arg(checked.line);
    case Refusal::MissingHeader:
        return textAt(Text::LineMissing).arg(QLatin1String(srec::kHeaderLine));
    case Refusal::MissingEnd:
        return textAt(Text::LineMissing).arg(QLatin1String(srec::kEndLine));
    case Refusal::BadRecord:
        return textAt(Text::LineNotS2Record).arg(checked.line);
    case Refusal::OtherDataRecord:
        return textAt(Text::LineNotS2DataRecord).arg(checked.line);
    case Refusal::NoData:
        return textAt(Text::NoS2Data);
    case Refusal::Overlap:
        return textAt(Text::LineOverlaps)
            .arg(checked.line)
            .arg(areaText(checked.bytes))
            .arg(checked.earlierLine);
    case Refusal::OutsideFlash: {
        QStringList areas;
        for (const srec::Area &area : flash)
            areas.append(areaText(area));
        return textAt(Text::LineOutsideErasedFlash)
            .arg(checked.line)
            .arg(areaText(checked.bytes), areas.join(QStringLiteral(", ")));
    }
    case Refusal::None:
        break;
    }
    return QString();
}

QString verificationSummary(const Result &result) {
    QString text = textAt(Text::WrittenReadBackSummary)
                       .arg(result.bytesWritten)
                       .arg(result.bytesReadBackEqual)
                       .arg(result.bytesNotReadBack);
    if (result.notReadBack) text += QStringLiteral(" (%1)").arg(areaText(*result.notReadBack));
    return text;
}

QStringList failureDetails(const Result &result) {
    QStringList details;
    if (result.failedWrite)
        details.append(QStringLiteral("%1 %2").arg(textAt(Text::WritingErrorAtAddress),
                                                   hexAddress(*result.failedWrite)));
    if (result.errors > 0)
        details.append(QStringLiteral("%1: %2").arg(textAt(Text::WritingErrorCounter)).arg(result.errors));
    if (result.firstDifference)
        details.append(QStringLiteral("%1: %2").arg(textAt(Text::FirstDifferingAddress),
                                                    hexAddress(*result.firstDifference)));
    if (result.firstUnreadable)
        details.append(QStringLiteral("%1 %2").arg(textAt(Text::ReadBackErrorAtAddress),
                                                   hexAddress(*result.firstUnreadable)));
    return details;
}

} // namespace firmware
