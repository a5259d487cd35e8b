// Reprogramming the board's flash through its boot loader: which boards can be updated and how, the
// probe that the loader answers, the sector erase and the update itself (erase, program every data
// record, read each one back). Every memory command holds the board link for that one command only,
// and the sequence reports its progress and asks for cancellation through an observer, so it can run
// on a worker thread while the window keeps painting.
#pragma once

#include "admin/srecord.h"
#include "board/boardlink.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace firmware {

// The boards of the administrator panel's model list; the entry data names them.
enum class BoardFamily { Basic, TextPanel, TouchPanel };

struct BoardProfile {
    BoardFamily family;
    QString entry;              // the model list's entry text and data
    bool switchesByCommand;     // brought into the boot loader by text commands (else by hand)
    bool resettable;            // supports the parameter reset
    std::uint32_t probeAddress; // read to see whether the boot loader answers
    std::uint32_t verifyLimit;  // last address that is read back after programming
};

// The three boards in the order of the model list.
const QList<BoardProfile> &boardProfiles();
// The board of a model-list entry (compared exactly), or nothing for any other text.
std::optional<BoardProfile> boardProfile(const QString &entryData);

// The boot loader's node on the service link.
inline constexpr unsigned char kNode = 1;
// Bytes of the probe read; their content does not matter.
inline constexpr short kProbeBytes = 32;
inline constexpr int kProbeAttempts = 3;
inline constexpr int kEraseAttempts = 6;
inline constexpr int kWriteAttempts = 20;
inline constexpr int kReadBackAttempts = 20;

// Program area (sectors 0 and 1) and data area (sectors 10 and 11) of the flash.
enum Sector : unsigned char { ProgramLow = 0, ProgramHigh = 1, DataLow = 10, DataHigh = 11 };
// The sectors erased, in order: the data area first when it is to be erased too.
QList<Sector> sectorsToErase(bool dataArea);
// The addresses a sector holds.
srec::Area sectorArea(Sector sector);
// The flash an update erases and so may program, as few areas as possible in address order: a
// record anywhere else would land on bytes that were not erased.
QList<srec::Area> erasedAreas(bool dataArea);

// True when the boot loader answers a read of kProbeBytes at `address` (up to kProbeAttempts).
bool probeBootLoader(BoardLink &link, std::uint32_t address);
// Erases one sector with up to kEraseAttempts erase commands; true at the first that succeeds.
bool eraseSector(BoardLink &link, Sector sector);

// What the update tells while it runs; called on the thread that runs the update.
class Observer {
public:
    virtual ~Observer() = default;
    // Before the erase (done = 0) and after each sector.
    virtual void erasing(int done, int total) = 0;
    // Before programming (records = 0) and after each record.
    virtual void programming(int records, int totalRecords, qint64 bytes, qint64 totalBytes) = 0;
    // A record did not read back equal (or could not be read back): the count so far.
    virtual void verificationError(int errors) = 0;
    // Asked between steps; true stops the update.
    virtual bool cancelRequested() = 0;
};

struct Options {
    bool eraseDataArea = false;
    // Last address read back; nothing is read back without one.
    std::optional<std::uint32_t> verifyLimit;
};

struct Result {
    enum class Outcome {
        // Erased, every record written, every byte up to the limit read back equal. Bytes above the
        // limit are written but not read back: bytesNotReadBack says how many.
        Verified,
        EraseFailed, // a sector could not be erased: nothing was written
        WriteFailed, // a record could not be written: programming stopped there
        NotVerified, // all written, but a record read back different or could not be read back
        Cancelled,
    };
    Outcome outcome = Outcome::Cancelled;
    int recordsWritten = 0;
    qint64 bytesWritten = 0;
    // Of the bytes written: those read back equal, and those above the verification limit, which
    // are never read back (with the lowest and highest of their addresses).
    qint64 bytesReadBackEqual = 0;
    qint64 bytesNotReadBack = 0;
    std::optional<srec::Area> notReadBack;
    // Records that read back different or could not be read back.
    int errors = 0;
    std::optional<std::uint32_t> firstDifference; // address of the first differing byte
    std::optional<std::uint32_t> firstUnreadable; // address of the first record not read back
    std::optional<std::uint32_t> failedWrite;     // address of the record that could not be written
    qint64 eraseMs = 0;
    qint64 programMs = 0;
    bool success() const { return outcome == Outcome::Verified; }
    // Success, and every byte written was read back.
    bool allReadBack() const { return success() && bytesNotReadBack == 0; }
};

// Erases, programs and verifies `records` in file order. Success only when every record was written
// and every byte up to the verification limit read back equal.
Result update(BoardLink &link, const QList<srec::Record> &records, const Options &options,
              Observer &observer);

// A flash address as the messages show it: "0x" and six upper-case hex digits.
QString hexAddress(std::uint32_t address);
// An area as the messages show it: "0x000000-0x01FFFF", or one address for a single byte.
QString areaText(const srec::Area &area);
// Why a file failed the check pass against the areas `flash`, with the line where there is one.
QString refusalText(const srec::CheckResult &checked, const QList<srec::Area> &flash);
// What the update checked: bytes written, read back equal, not read back and where.
QString verificationSummary(const Result &result);
// What went wrong in an update, one text each: the record that could not be written, the count of
// records that read back wrong, the first differing address, the first record not read back.
QStringList failureDetails(const Result &result);

} // namespace firmware
