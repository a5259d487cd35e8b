// The firmware write paths against a Text Panel in its boot loader: the update sequence the
// administrator panel runs (probe, the file's check pass, erase, program, read back) and
// "hbctl flash". Small images: plain ones below the panel's verification limit, ones reaching
// above it (written, not read back), and files the boot loader cannot take as they are (data
// records of other types, records that overlap).
#include "admin/firmwareupdate.h"
#include "admin/srecord.h"
#include "campaign.h"
#include "quietupdate.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace campaign {
namespace {

const QString kBoard = QStringLiteral("Text Panel Water/Air");

enum class ImageKind { Plain, AboveLimit, S3Only, S1Only, Mixed, Overlap };

const char *kindName(ImageKind kind) {
    switch (kind) {
    case ImageKind::Plain:
        return "plain image";
    case ImageKind::AboveLimit:
        return "image above the read-back limit";
    case ImageKind::S3Only:
        return "S3 records only";
    case ImageKind::S1Only:
        return "S1 records only";
    case ImageKind::Mixed:
        return "S2 and S3 records";
    case ImageKind::Overlap:
        return "overlapping S2 records";
    }
    return "?";
}

// The kinds in the order operations take them: mostly sound images, the line's faults being the
// point, and each kind of file the boot loader cannot take.
const QList<ImageKind> kKinds = {
    ImageKind::Plain, ImageKind::AboveLimit, ImageKind::Plain,   ImageKind::S3Only,     ImageKind::AboveLimit,
    ImageKind::Mixed, ImageKind::Plain,      ImageKind::Overlap, ImageKind::AboveLimit, ImageKind::S1Only};

// A firmware file and what it asks the flash to hold (records in file order, a later byte over an
// earlier one).
struct Image {
    ImageKind kind = ImageKind::Plain;
    QByteArray text;
    QMap<quint32, quint8> bytes;
    int records = 0;
};

class ImageWriter {
public:
    explicit ImageWriter(Job &job) : m_job(job) { m_image.text = "S0030000FC\r\n"; }
    // A data record: S1 (16-bit address), S2 (24-bit) or S3 (32-bit), with its checksum.
    void record(int type, quint32 address, int length) {
        const int addressBytes = type + 1;
        QByteArray body;
        body.append(char(addressBytes + length + 1));
        for (int b = addressBytes - 1; b >= 0; --b)
            body.append(char((address >> (8 * b)) & 0xFF));
        for (int i = 0; i < length; ++i) {
            const quint8 byte = quint8(m_job.pick(0, 255));
            body.append(char(byte));
            m_image.bytes[address + quint32(i)] = byte;
        }
        quint8 sum = 0;
        for (char c : body)
            sum = quint8(sum + quint8(c));
        body.append(char(~sum));
        m_image.text += "S" + QByteArray::number(type) + body.toHex().toUpper() + "\r\n";
        ++m_image.records;
    }
    Image finish(ImageKind kind) {
        m_image.text += "S804000000FB\r\n";
        m_image.kind = kind;
        return m_image;
    }

private:
    Job &m_job;
    Image m_image;
};

Image makeImage(Job &job, ImageKind kind) {
    ImageWriter w(job);
    // Records in sector 0 (0x0000..0xFFFF), 1 KiB apart so that they never overlap.
    const auto low = [&](int type, int n) {
        for (int i = 0; i < n; ++i)
            w.record(type, 0x1000u + quint32(i) * 0x400u + quint32(job.pick(0, 0x100)), job.pick(16, 48));
    };
    switch (kind) {
    case ImageKind::Plain:
        low(2, job.pick(4, 6));
        break;
    case ImageKind::AboveLimit: // one record across the limit, two above it (sector 1)
        low(2, 2);
        w.record(2, 0xFFF0, 32);
        for (int i = 0; i < 2; ++i)
            w.record(2, 0x10100u + quint32(i) * 0x200u, job.pick(16, 48));
        break;
    case ImageKind::S3Only:
        low(3, 3);
        break;
    case ImageKind::S1Only:
        low(1, 3);
        break;
    case ImageKind::Mixed:
        low(2, 3);
        for (int i = 0; i < 2; ++i)
            w.record(3, 0x8000u + quint32(i) * 0x400u, job.pick(16, 48));
        break;
    case ImageKind::Overlap: // the second record rewrites part of the first, above the limit
        low(2, 2);
        w.record(2, 0x10200, 32);
        w.record(2, 0x10210, 32);
        break;
    }
    return w.finish(kind);
}

// The file's bytes that the flash does not hold: none when it holds the file.
QString flashDifferences(const QByteArray &flash, const Image &image) {
    if (flash.size() != 0x100000) return QStringLiteral("no flash image");
    int differ = 0;
    QString first;
    for (auto it = image.bytes.cbegin(); it != image.bytes.cend(); ++it) {
        const quint8 held = quint8(flash[int(it.key())]);
        if (held == it.value()) continue;
        if (differ++ == 0)
            first = QStringLiteral("first at %1 (flash 0x%2, file 0x%3)")
                        .arg(firmware::hexAddress(it.key()))
                        .arg(held, 2, 16, QLatin1Char('0'))
                        .arg(it.value(), 2, 16, QLatin1Char('0'));
    }
    if (differ == 0) return {};
    return QStringLiteral("%1 of the file's %2 bytes not in the flash, %3")
        .arg(differ)
        .arg(image.bytes.size())
        .arg(first);
}

const char *refusalName(srec::Refusal refusal) {
    switch (refusal) {
    case srec::Refusal::None:
        return "none";
    case srec::Refusal::TooLarge:
        return "too large";
    case srec::Refusal::NotText:
        return "not text";
    case srec::Refusal::LineTooLong:
        return "line too long";
    case srec::Refusal::MissingHeader:
        return "no header";
    case srec::Refusal::MissingEnd:
        return "no end record";
    case srec::Refusal::BadRecord:
        return "bad record";
    case srec::Refusal::OtherDataRecord:
        return "S1/S3 record";
    case srec::Refusal::NoData:
        return "no data";
    case srec::Refusal::Overlap:
        return "overlapping records";
    case srec::Refusal::OutsideFlash:
        return "outside the flash";
    }
    return "refused";
}

const char *outcomeName(firmware::Result::Outcome outcome) {
    using O = firmware::Result::Outcome;
    switch (outcome) {
    case O::Verified:
        return "verified";
    case O::EraseFailed:
        return "erase failed";
    case O::WriteFailed:
        return "write failed";
    case O::NotVerified:
        return "not verified";
    case O::Cancelled:
        break;
    }
    return "cancelled";
}

// Requests an update of `image` makes: the probe, two erases, a write and a read per record.
int requestsOf(const Image &image) {
    return 3 + 2 * image.records;
}

void judge(Job &job, Path path, int op, bool success, const QString &reported, SimBoard &board,
           const Image &image) {
    if (!success) {
        job.report(path, op, Verdict::Failed, reported, {});
        return;
    }
    const QString flashPath = QDir(job.scratch()).filePath(QStringLiteral("flash-%1.bin").arg(op));
    const QString held = flashDifferences(board.flash(flashPath), image);
    QFile::remove(flashPath);
    job.report(path, op, held.isEmpty() ? Verdict::Confirmed : Verdict::FalseSuccess, reported, held, &board);
}

} // namespace

bool runFirmware(Job &job) {
    const auto profile = firmware::boardProfile(kBoard);
    if (!profile) return false;
    BoardLink link;
    for (int op = 0; op < job.operations(); ++op) {
        const Image image =
            makeImage(job, kKinds[(op + job.seed() + 3 * job.profileIndex()) % kKinds.size()]);
        const auto board =
            job.board(jobModel(job.group(), job.seed()), op, requestsOf(image), {"--bootloader"});
        if (!board->ok() || link.open(job.linkSettings()) != 0) return false;
        // As the panel runs it: the loader probed, then the file checked, then the update.
        QString reported = QLatin1String(kindName(image.kind)) + QStringLiteral(": ");
        bool success = false;
        if (!firmware::probeBootLoader(link, profile->probeAddress)) {
            reported += QStringLiteral("the boot loader does not answer");
        } else if (const srec::CheckResult checked = srec::check(image.text, firmware::erasedAreas(false));
                   !checked.ok()) {
            reported += QStringLiteral("file refused (%1, line %2)")
                            .arg(QLatin1String(refusalName(checked.refusal)))
                            .arg(checked.line);
        } else {
            firmware::Options options;
            options.verifyLimit = profile->verifyLimit;
            bench::QuietUpdate quiet;
            const firmware::Result result = firmware::update(link, checked.records, options, quiet);
            success = result.success();
            reported += QStringLiteral("%1, %2 records written")
                            .arg(QLatin1String(outcomeName(result.outcome)))
                            .arg(result.recordsWritten);
        }
        link.close();
        judge(job, Path::Firmware, op, success, reported, *board, image);
    }
    return true;
}

bool runHbctlFlash(Job &job) {
    for (int op = 0; op < job.operations(); ++op) {
        const Image image =
            makeImage(job, kKinds[(op + 5 + 2 * job.seed() + 3 * job.profileIndex()) % kKinds.size()]);
        const QString path = QDir(job.scratch()).filePath(QStringLiteral("image-%1.mot").arg(op));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(image.text) != image.text.size()) return false;
        file.close();
        const auto board =
            job.board(jobModel(job.group(), job.seed()), op, requestsOf(image), {"--bootloader"});
        if (!board->ok()) return false;
        QProcess hbctl;
        hbctl.start(QStringLiteral(HB_HBCTL),
                    {QStringLiteral("-b"), QString::number(job.baud()), QStringLiteral("--json"),
                     QStringLiteral("flash"), path, QStringLiteral("--board"), kBoard});
        if (!hbctl.waitForFinished(600000)) return false;
        const int exit = hbctl.exitStatus() == QProcess::NormalExit ? hbctl.exitCode() : -1;
        const QByteArray out = hbctl.readAllStandardOutput();
        const QString error = QString::fromUtf8(hbctl.readAllStandardError()).trimmed();
        QString reported = QLatin1String(kindName(image.kind)) + QStringLiteral(": exit %1").arg(exit);
        if (exit == 0) {
            // What it said of the board; the file's path and the board's name are known.
            QJsonObject json = QJsonDocument::fromJson(out).object();
            for (const char *known : {"file", "board", "backup"})
                json.remove(QLatin1String(known));
            reported +=
                QStringLiteral(", ") + QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact));
        } else if (!error.isEmpty())
            reported += QStringLiteral(": ") + error.section(QLatin1Char('\n'), -1);
        judge(job, Path::HbctlFlash, op, exit == 0, reported, *board, image);
    }
    return true;
}

} // namespace campaign
