// hbctl monitor: the board's live values as the debug page shows them, polled by the program's own
// polling thread, printed once per interval and recorded in the page's recording format.
#include "app/texts.h"
#include "board/serialthread.h"
#include "commands.h"
#include "monitor/monitorvalues.h"
#include "monitor/recording.h"
#include "parameters/boardtransfer.h"
#include "parameters/catalogue.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <array>

namespace {

using F = MonitorField;

constexpr qint64 kSecondMs = 1000;
constexpr qint64 kMinuteS = 60;
constexpr qint64 kHourS = 60 * kMinuteS;
// The debug page's recording gap: 00:10 by default, at most 59:59 in its "mm:ss" box.
constexpr int kDefaultIntervalS = 10;
constexpr int kMaxIntervalS = 59 * kMinuteS + 59;
constexpr qint64 kMaxDurationS = 366 * 24 * kHourS;
// A cycle in which every index of a six-index board fails all its attempts lasts about ten
// seconds: the recording starts then at the latest, even if some index has not answered yet.
constexpr int kStartAfterMs = 10000;
// A value the board has not sent again for this long is shown as missing: a board that answers
// sends every value about once a second, and an index that fails all its attempts holds the
// polling up for about two seconds.
constexpr qint64 kStaleMs = 5000;
// A board that has sent no value for this long has stopped answering: the run ends (status 3).
constexpr int kDefaultMaxSilenceS = 30;
constexpr int kMaxMaxSilenceS = 3600;
// How a missing value shows in the table (a number is never just dashes).
constexpr auto kMissing = "--";
// Values shown side by side on a line of the table.
constexpr int kCellsPerLine = 2;

// Whole seconds 1..maximum.
std::optional<int> parseSeconds(const QString &text, int maximum) {
    bool ok = false;
    const int seconds = text.toInt(&ok);
    if (!ok || seconds < 1 || seconds > maximum) return std::nullopt;
    return seconds;
}

// "90", "90s", "15m", "2h": milliseconds.
std::optional<qint64> parseDuration(const QString &text) {
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("(\\d{1,9})([smh]?)")));
    const QRegularExpressionMatch m = pattern.match(text.trimmed());
    if (!m.hasMatch()) return std::nullopt;
    const QString unit = m.captured(2);
    const qint64 scale = unit == QLatin1String("h") ? kHourS : unit == QLatin1String("m") ? kMinuteS : 1;
    const qint64 seconds = m.captured(1).toLongLong() * scale;
    if (seconds < 1 || seconds > kMaxDurationS) return std::nullopt;
    return seconds * kSecondMs;
}

// Digital inputs and pump lamps: pictures on the page, "ON"/"OFF" here.
bool isIndicator(const MonitorFieldDef &def) {
    return def.shape == FieldShape::Indicator || def.shape == FieldShape::Lamp;
}

struct MonitorOptions {
    qint64 intervalMs = 0;
    std::optional<qint64> durationMs;
    qint64 maxSilenceMs = 0;
    QString csv;
};

class Monitor {
public:
    Monitor(const Context &context, Board &board, bool hubaMode, const MonitorOptions &options)
        : m_context(context), m_board(board), m_hubaMode(hubaMode), m_intervalMs(options.intervalMs),
          m_durationMs(options.durationMs), m_csv(options.csv) {
        m_silence.setSingleShot(true);
        m_silence.setInterval(static_cast<int>(options.maxSilenceMs));
    }

    int run() {
        SerialThread thread(m_board.link);
        QObject::connect(&thread, &SerialThread::debugRead, &m_receiver,
                         [this](short index, short t1, short t2, short t3) { received(index, t1, t2, t3); });
        m_tick.setSingleShot(true);
        m_tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_tick, &QTimer::timeout, &m_receiver, [this] { tick(); });
        QObject::connect(&m_silence, &QTimer::timeout, &m_receiver, [this] { boardSilent(); });
        QTimer::singleShot(kStartAfterMs, &m_receiver, [this] { startRecording(); });
        m_run.start();
        StopSignals stop;
        stop.onRaised([this] { finish(ExitOk); });

        thread.setModel(m_board.model);
        thread.setMode(PollMode::Monitor);
        thread.start();
        const int exit = QCoreApplication::exec();
        // The polling stops before the link closes with the board.
        thread.requestStop();
        thread.wait();
        if (exit != ExitOk) return exit;
        if (m_unwritten > 0)
            return fail(
                m_context, ExitUsage,
                QStringLiteral("%1 %2: %3").arg(textAt(Text::LinesNotWritten), m_csv).arg(m_unwritten));
        if (!m_csv.isEmpty())
            note(QStringLiteral("%1 lines of the %2 board written to %3")
                     .arg(m_clock.linesTaken())
                     .arg(m_board.modelText, m_csv));
        return ExitOk;
    }

private:
    void received(short index, short t1, short t2, short t3) {
        const auto decoded = decodeTriplet(m_board.model, index, t1, t2, t3, m_hubaMode);
        if (!decoded) return;
        const auto slot = static_cast<std::size_t>(index - 1);
        m_fields.set(index, *decoded);
        m_latest[slot] = decoded->shown;
        m_receivedAt[slot] = m_run.elapsed();
        m_seen.insert(index);
        if (!m_finished) m_silence.start();
        // The first line waits for a whole set of values.
        if (m_seen.size() == monitorIndexCount(m_board.model)) startRecording();
    }

    // Values the board has not sent again for a while are no longer its state: they are missing.
    void forgetStale() {
        const qint64 now = m_run.elapsed();
        for (std::size_t slot = 0; slot < m_latest.size(); ++slot) {
            if (!m_latest[slot].isEmpty() && now - m_receivedAt[slot] > kStaleMs) {
                m_latest[slot].clear();
                m_fields.forget(static_cast<int>(slot + 1));
            }
        }
    }

    void boardSilent() {
        if (m_finished) return;
        finish(fail(m_context, ExitLink,
                    QStringLiteral("%1 (%2): no monitor value for %3 s")
                        .arg(textAt(Text::NoResponseError), m_context.link.name)
                        .arg(m_silence.interval() / kSecondMs)));
    }

    void startRecording() {
        if (m_started || m_finished) return;
        if (m_seen.isEmpty()) {
            finish(fail(m_context, ExitLink,
                        QStringLiteral("%1 (%2)").arg(textAt(Text::NoResponseError), m_context.link.name)));
            return;
        }
        m_started = true;
        m_elapsed.start();
        m_clock = RecordingClock(QDateTime::currentDateTime(), m_intervalMs);
        schedule();
    }

    // The next wake-up: the next line, or the end of the duration if it comes first.
    void schedule() {
        const qint64 elapsed = m_elapsed.elapsed();
        qint64 wait = m_clock.untilNext(elapsed);
        if (m_durationMs) wait = std::min(wait, *m_durationMs - elapsed);
        m_tick.start(static_cast<int>(std::max<qint64>(wait, 1)));
    }

    void tick() {
        const qint64 elapsed = m_elapsed.elapsed();
        // Lines due by the end of the duration only: a late tick does not add one after it.
        const qint64 until = m_durationMs ? std::min(elapsed, *m_durationMs) : elapsed;
        const QList<QDateTime> due = m_clock.takeDue(until);
        forgetStale();
        // Only the newest line carries the values: the others were due before they were read.
        for (qsizetype i = 0; i < due.size(); ++i)
            report(due[i], i + 1 == due.size());
        if (m_durationMs && elapsed >= *m_durationMs)
            finish(ExitOk);
        else
            schedule();
    }

    void finish(int exit) {
        if (m_finished) return;
        m_finished = true;
        m_tick.stop();
        m_silence.stop();
        QCoreApplication::exit(exit);
    }

    // One line of the recording, and the same values on standard output; `withValues` false writes
    // every value as missing.
    void report(const QDateTime &stamp, bool withValues) {
        if (!m_csv.isEmpty() &&
            !writeRecordLine(m_csv, stamp, withValues ? m_fields : RecordFields(), m_board.model))
            ++m_unwritten;
        if (m_context.json)
            printJsonLine(jsonLine(stamp, withValues));
        else
            printTable(stamp, withValues);
    }

    QString label(const MonitorFieldDef &def) const {
        // The set point's label names the range group in use, as on the page.
        if (def.field == F::SetPoint) return textAt(m_hubaMode ? Text::HubaSet : Text::EncoderSet);
        return fieldName(def.name);
    }

    // The latest value of a field; nothing for a value missing.
    const ShownValue *shown(F field) const {
        for (const QList<ShownValue> &values : m_latest)
            for (const ShownValue &value : values)
                if (value.field == field) return &value;
        return nullptr;
    }

    // The shown text; nothing for a value missing.
    std::optional<QString> text(const MonitorFieldDef &def, bool withValues) const {
        const ShownValue *value = withValues ? shown(def.field) : nullptr;
        if (value == nullptr) return std::nullopt;
        if (isIndicator(def)) return value->number ? QStringLiteral("ON") : QStringLiteral("OFF");
        if (def.field == F::StateText) {
            if (const ShownValue *number = shown(F::StateNumber))
                return (number->text + QLatin1Char(' ') + value->text).trimmed();
        }
        return value->text;
    }

    QJsonObject jsonLine(const QDateTime &stamp, bool withValues) const {
        QJsonObject values;
        for (const MonitorFieldDef &def : recordedFields(m_board.model)) {
            const ShownValue *it = withValues ? shown(def.field) : nullptr;
            QJsonValue value;
            if (it != nullptr) value = isIndicator(def) ? QJsonValue(it->number) : QJsonValue(it->text);
            values.insert(label(def), value);
        }
        const ShownValue *state = withValues ? shown(F::StateNumber) : nullptr;
        return {{QStringLiteral("time"), stamp.toString(Qt::ISODate)},
                {QStringLiteral("state"), state == nullptr ? QJsonValue() : QJsonValue(state->text.toInt())},
                {QStringLiteral("values"), values}};
    }

    // The stamp, then the values in the recording's column order, a few to a line, aligned.
    void printTable(const QDateTime &stamp, bool withValues) const {
        const QList<MonitorFieldDef> defs = recordedFields(m_board.model);
        const QString missing = QString::fromLatin1(kMissing);
        qsizetype labelWidth = 0;
        QList<qsizetype> valueWidth(kCellsPerLine, 0);
        for (int i = 0; i < defs.size(); ++i) {
            labelWidth = std::max(labelWidth, label(defs[i]).size());
            valueWidth[i % kCellsPerLine] =
                std::max(valueWidth[i % kCellsPerLine], text(defs[i], withValues).value_or(missing).size());
        }
        printLine(recordingStamp(stamp));
        QString line;
        for (int i = 0; i < defs.size(); ++i) {
            const int column = i % kCellsPerLine;
            const bool last = column == kCellsPerLine - 1 || i + 1 == defs.size();
            const QString value = text(defs[i], withValues).value_or(missing);
            line += QStringLiteral("  ") + label(defs[i]).leftJustified(labelWidth + 1) +
                    (last ? value : value.leftJustified(valueWidth[column]));
            if (last) {
                while (line.endsWith(QLatin1Char(' ')))
                    line.chop(1);
                printLine(line);
                line.clear();
            }
        }
    }

    const Context &m_context;
    Board &m_board;
    const bool m_hubaMode;
    const qint64 m_intervalMs;
    const std::optional<qint64> m_durationMs;
    const QString m_csv;

    QObject m_receiver; // the event loop's end of the polling thread's signals
    QTimer m_tick;
    QTimer m_silence; // restarted by every value the board sends
    QElapsedTimer m_run;
    QElapsedTimer m_elapsed;
    RecordingClock m_clock;
    RecordFields m_fields;
    // Per index: the values last shown, and when they arrived (on m_run's clock).
    std::array<QList<ShownValue>, RecordFields::kIndexes> m_latest;
    std::array<qint64, RecordFields::kIndexes> m_receivedAt{};
    QSet<int> m_seen;
    bool m_started = false;
    bool m_finished = false;
    qint64 m_unwritten = 0;
};

// The range group of the board, read from its group selector as the window's first entry reads
// it; the HUBA group when the board does not say.
bool readHubaMode(Board &board) {
    const auto position = groupSelectorPosition(board.model);
    if (!position) return true;
    const ParameterDescriptor &d = descriptor(board.model, *position);
    std::int16_t value = 0;
    if (!readBoardParameter(board.link, d.table, d.boardIndex, &value, retry::detectHuba)) return true;
    return value == 2;
}

} // namespace

int monitor(Context &context) {
    const QCommandLineParser &parser = context.parser;
    std::optional<int> interval = kDefaultIntervalS;
    if (parser.isSet(QStringLiteral("interval")))
        interval = parseSeconds(parser.value(QStringLiteral("interval")), kMaxIntervalS);
    if (!interval)
        return fail(context, ExitUsage,
                    QStringLiteral("bad interval %1 (whole seconds, 1..%2)")
                        .arg(parser.value(QStringLiteral("interval")))
                        .arg(kMaxIntervalS));
    std::optional<qint64> duration;
    if (parser.isSet(QStringLiteral("duration"))) {
        duration = parseDuration(parser.value(QStringLiteral("duration")));
        if (!duration)
            return fail(context, ExitUsage,
                        QStringLiteral("bad duration %1 (seconds, or a number with s, m or h)")
                            .arg(parser.value(QStringLiteral("duration"))));
    }
    std::optional<int> maxSilence = kDefaultMaxSilenceS;
    if (parser.isSet(QStringLiteral("max-silence")))
        maxSilence = parseSeconds(parser.value(QStringLiteral("max-silence")), kMaxMaxSilenceS);
    if (!maxSilence)
        return fail(context, ExitUsage,
                    QStringLiteral("bad max-silence %1 (whole seconds, 1..%2)")
                        .arg(parser.value(QStringLiteral("max-silence")))
                        .arg(kMaxMaxSilenceS));
    const QString csv = parser.value(QStringLiteral("csv"));

    Board board;
    if (const auto failed = openBoard(context, board, true)) return *failed;
    const bool hubaMode = readHubaMode(board);
    // A recording that cannot reach its file does not start.
    if (!csv.isEmpty() && !appendToRecording(csv, recordingHeader(board.model)))
        return fail(context, ExitUsage, QStringLiteral("%1 %2").arg(textAt(Text::CannotWriteToFile), csv));
    return Monitor(context, board, hubaMode, {*interval * kSecondMs, duration, *maxSilence * kSecondMs, csv})
        .run();
}
