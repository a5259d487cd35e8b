// hbctl flash: the administrator panel's firmware update from a shell, on the same core as the
// window: the file's check pass, a copy of the parameters on request, the switch of a Basic board
// into its boot loader, the probe, then erase, program and read-back. Success only when every byte up
// to the board's verification limit reads back equal; the report says which bytes were not read back.
#include "admin/boardsteps.h"
#include "admin/firmwareupdate.h"
#include "admin/parameterbackup.h"
#include "admin/srecord.h"
#include "app/texts.h"
#include "commands.h"
#include "parameters/parameterfile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>

#include <chrono>
#include <memory>
#include <thread>

namespace {

using firmware::BoardProfile;

// A board just seen in normal mode restarts into its boot loader (a Basic board by itself, a panel
// by the technician's hand): the probe is repeated this long, with a pause between rounds.
constexpr qint64 kBootLoaderWaitMs = 60000;
constexpr std::chrono::milliseconds kProbePause{500};

QString boardNames() {
    QStringList names;
    for (const BoardProfile &profile : firmware::boardProfiles())
        names.append(profile.entry);
    return names.join(QStringLiteral(", "));
}

// A model-list entry in any letter case, or its first word ("basic", "text", "touch").
std::optional<BoardProfile> boardByName(const QString &name) {
    const QString key = name.trimmed().toLower();
    for (const BoardProfile &profile : firmware::boardProfiles())
        if (profile.entry.toLower() == key || profile.entry.section(QLatin1Char(' '), 0, 0).toLower() == key)
            return profile;
    return std::nullopt;
}

// A Basic board serves the BASIC stove; the panels serve WATER and AIR - DUCTED.
bool servesModel(const BoardProfile &profile, StoveModel model) {
    return (profile.family == firmware::BoardFamily::Basic) == (model == StoveModel::Basic);
}

// The bars of the erase and of the programming, one after the other; SIGINT and SIGTERM stop the
// update between two memory commands.
class UpdateProgress final : public firmware::Observer {
public:
    void erasing(int done, int total) override {
        if (!m_erase) m_erase = std::make_unique<Progress>(QStringLiteral("Erasing"), total);
        m_erase->update(done);
    }
    void programming(int, int, qint64 bytes, qint64 totalBytes) override {
        if (!m_write) {
            m_erase.reset();
            m_write = std::make_unique<Progress>(QStringLiteral("Writing"), static_cast<int>(totalBytes),
                                                 QStringLiteral("bytes"));
        }
        m_write->update(static_cast<int>(bytes));
    }
    void verificationError(int) override {}
    bool cancelRequested() override { return StopSignals::raised(); }

private:
    std::unique_ptr<Progress> m_erase;
    std::unique_ptr<Progress> m_write;
};

// Probes until the boot loader answers, `waitMs` at most (0: one probe).
bool awaitBootLoader(BoardLink &link, std::uint32_t address, qint64 waitMs) {
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (firmware::probeBootLoader(link, address)) return true;
        if (StopSignals::raised() || clock.elapsed() + kProbePause.count() > waitMs) return false;
        std::this_thread::sleep_for(kProbePause);
    }
}

int failInterrupted(const Context &context, const QString &what) {
    return fail(context, ExitRefused, QStringLiteral("interrupted: %1").arg(what));
}

// The board's parameters into a parameter file, before anything changes on the board.
std::optional<int> saveParameters(const Context &context, Board &board, const QString &path) {
    std::optional<QByteArray> content;
    {
        std::unique_ptr<Progress> bar;
        backup::Progress progress;
        progress.step = [&bar](int done, int total) {
            if (!bar) bar = std::make_unique<Progress>(QStringLiteral("Saving"), total);
            bar->update(done);
        };
        progress.cancelled = [] { return StopSignals::raised(); };
        // The board's own group selector decides the range group; the fallback is the window's.
        content = backup::readParameterFile(board.link, board.model, board.version, true, progress);
    }
    if (StopSignals::raised()) return failInterrupted(context, QStringLiteral("nothing was flashed"));
    if (!content)
        return fail(context, ExitLink,
                    QStringLiteral("%1 (%2): the parameters were not saved; nothing was flashed")
                        .arg(textAt(Text::NoResponseError), context.link.name));
    if (!paramfile::writeFile(path, *content))
        return fail(context, ExitUsage, QStringLiteral("%1 %2").arg(textAt(Text::FileWritingError), path));
    note(QStringLiteral("the parameters of the %1 board saved to %2").arg(board.modelText, path));
    return std::nullopt;
}

// What was checked, and the exit status: a finished update is status 0 even when bytes above the
// board's verification limit were not read back (the board's loader reads back only up to it), but
// neither the text nor "verified" claims them.
int report(const Context &context, const QString &path, const BoardProfile &profile,
           const QString &backupPath, bool eeprom, const firmware::Result &result) {
    using Outcome = firmware::Result::Outcome;
    if (!result.success()) {
        QStringList parts;
        if (result.outcome == Outcome::EraseFailed)
            parts.append(QStringLiteral("a flash sector could not be erased; nothing was written"));
        if (result.outcome == Outcome::Cancelled)
            return failInterrupted(context,
                                   QStringLiteral("the board's flash is incomplete; flash it again"));
        if (result.bytesWritten > 0) parts.append(firmware::verificationSummary(result));
        parts += firmware::failureDetails(result);
        return fail(context, ExitRefused,
                    textAt(Text::OperationFailed) + QLatin1Char(' ') + parts.join(QStringLiteral("; ")));
    }
    const auto hex = [](std::uint32_t address) { return QJsonValue(firmware::hexAddress(address)); };
    if (context.json)
        printJson({{QStringLiteral("file"), path},
                   {QStringLiteral("board"), profile.entry},
                   {QStringLiteral("eeprom"), eeprom},
                   {QStringLiteral("records"), result.recordsWritten},
                   {QStringLiteral("bytes"), result.bytesWritten},
                   {QStringLiteral("readBackEqual"), result.bytesReadBackEqual},
                   {QStringLiteral("notReadBack"), result.bytesNotReadBack},
                   {QStringLiteral("notReadBackFrom"),
                    result.notReadBack ? hex(result.notReadBack->first) : QJsonValue()},
                   {QStringLiteral("notReadBackTo"),
                    result.notReadBack ? hex(result.notReadBack->last) : QJsonValue()},
                   {QStringLiteral("verified"), result.allReadBack()},
                   {QStringLiteral("backup"), backupPath.isEmpty() ? QJsonValue() : QJsonValue(backupPath)},
                   {QStringLiteral("eraseMs"), result.eraseMs},
                   {QStringLiteral("programMs"), result.programMs}});
    else
        printLine(QStringLiteral("%1 %2. %3 records; %4")
                      .arg(textAt(Text::OperationCompleted), textAt(Text::EnabledRebootBoard))
                      .arg(result.recordsWritten)
                      .arg(firmware::verificationSummary(result)));
    return ExitOk;
}

} // namespace

int flash(Context &context) {
    const QCommandLineParser &parser = context.parser;
    const QString path = context.arguments.value(0);
    if (!parser.isSet(QStringLiteral("board")))
        return fail(context, ExitUsage, QStringLiteral("flash needs --board MODEL (%1)").arg(boardNames()));
    const auto profile = boardByName(parser.value(QStringLiteral("board")));
    if (!profile)
        return fail(context, ExitUsage,
                    QStringLiteral("unknown board model %1 (%2)")
                        .arg(parser.value(QStringLiteral("board")), boardNames()));

    // The whole file passes its check before anything reaches the board.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(context, ExitUsage, QStringLiteral("%1 %2").arg(textAt(Text::CannotReadFile), path));
    // Records may lie only where the update erases.
    const bool eeprom = parser.isSet(QStringLiteral("eeprom"));
    const QList<srec::Area> flash = firmware::erasedAreas(eeprom);
    // One byte over the limit is enough to refuse a file that is too large.
    const srec::CheckResult checked = srec::check(file.read(srec::kMaxFileBytes + 1), flash);
    file.close();
    if (!checked.ok())
        return fail(context, ExitUsage,
                    QStringLiteral("%1: %2").arg(path, firmware::refusalText(checked, flash)));
    const QString backupPath = parser.value(QStringLiteral("backup"));
    if (backupPath.isEmpty())
        note(QStringLiteral(
            "hint: no copy of the board's parameters is taken; --backup FILE.prm saves them first"));

    StopSignals stop;
    Board board;
    if (const auto failed = openLink(context, board)) return *failed;
    bool waitForLoader = false;
    // A Basic board is switched by text commands, and the parameters are read in normal mode: both
    // need the board to say what it is, so that a hidden register is never written to another model.
    if (profile->switchesByCommand || !backupPath.isEmpty()) {
        if (detectBoard(board)) {
            if (board.model == StoveModel::Unknown) return failUnknownModel(context, board);
            if (!servesModel(*profile, board.model))
                return fail(context, ExitUsage,
                            QStringLiteral("the board on %1 is %2, not for a %3 board")
                                .arg(context.link.name, board.modelText, profile->entry));
            if (!backupPath.isEmpty())
                if (const auto failed = saveParameters(context, board, backupPath)) return *failed;
            if (profile->switchesByCommand) {
                const boardsteps::StepOutcome switched = boardsteps::switchToBootLoader(board.link);
                // Unconfirmed, the switch may still have happened (its reply lost): one probe tells.
                if (switched != boardsteps::StepOutcome::Done &&
                    !awaitBootLoader(board.link, profile->probeAddress, 0)) {
                    QString message = QStringLiteral("%1 (the switch into the boot loader was not confirmed)")
                                          .arg(textAt(Text::OperationFailedRetry));
                    if (switched == boardsteps::StepOutcome::RequestLeft)
                        message += QLatin1Char(' ') + textAt(Text::BootLoaderRequestMayRemain);
                    return fail(context, ExitRefused, message);
                }
            }
            note(QStringLiteral("%1; waiting for the boot loader")
                     .arg(profile->switchesByCommand ? textAt(Text::EnabledRebootBoard)
                                                     : textAt(Text::PutBoardInBootLoader)));
            waitForLoader = true;
        } else if (!backupPath.isEmpty()) {
            // The boot loader does not give the parameters.
            return failSilent(context);
        }
        // A Basic board silent in normal mode may still be in its boot loader after an update that
        // did not finish: the probe tells.
    }
    if (!awaitBootLoader(board.link, profile->probeAddress, waitForLoader ? kBootLoaderWaitMs : 0)) {
        if (StopSignals::raised()) return failInterrupted(context, QStringLiteral("nothing was erased"));
        return fail(
            context, ExitLink,
            QStringLiteral("%1 (%2)").arg(textAt(Text::BoardUnreachableBootLoader), context.link.name));
    }

    firmware::Options options;
    options.eraseDataArea = eeprom;
    options.verifyLimit = profile->verifyLimit;
    firmware::Result result;
    {
        UpdateProgress progress;
        result = firmware::update(board.link, checked.records, options, progress);
    }
    return report(context, path, *profile, backupPath, options.eraseDataArea, result);
}
