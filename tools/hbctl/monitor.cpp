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
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>

#include <algorithm>

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
// Values shown side by side on a line of the table.
constexpr int kCellsPerLine = 2;

// Whole seconds 1..kMaxIntervalS.
std::optional<int> parseInterval(const QString &text) {
    bool ok = false;
    const int seconds = text.toInt(&ok);
    if (!ok || seconds < 1 || seconds > kMaxIntervalS) return std::nullopt;
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

// The monitor's digital inputs and pump lamps follow Channel2 in MonitorField: pictures on the page,
// "ON"/"OFF" here.
bool isIndicator(F field) {
    return field > F::Channel2;
}

class Monitor {
public:
    Monitor(const Context &context, Board &board, bool hubaMode, qint64 intervalMs,
            std::optional<qint64> durationMs, const QString &csv)
        : m_context(context), m_board(board), m_hubaMode(hubaMode), m_intervalMs(intervalMs),
          m_durationMs(durationMs), m_csv(csv) {}

    int run() {
        SerialThread thread(m_board.link);
        QObject::connect(&thread, &SerialThread::debugRead, &m_receiver,
                         [this](short index, short t1, short t2, short t3) { received(index, t1, t2, t3); });
        m_tick.setSingleShot(true);
        m_tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_tick, &QTimer::timeout, &m_receiver, [this] { tick(); });
        QTimer::singleShot(kStartAfterMs, &m_receiver, [this] { startRecording(); });
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
            return fail(m_context, ExitUsage,
                        QStringLiteral("%1 %2: %3").arg(textAt(308), m_csv).arg(m_unwritten));
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
        m_fields.set(index, decoded->fragment);
        for (const ShownValue &value : decoded->shown)
            m_shown.insert(value.field, value);
        m_seen.insert(index);
        // The first line waits for a whole set of values.
        if (m_seen.size() == monitorIndexCount(m_board.model)) startRecording();
    }

    void startRecording() {
        if (m_started || m_finished) return;
        if (m_seen.isEmpty()) {
            finish(fail(m_context, ExitLink, QStringLiteral("%1 (%2)").arg(textAt(66), m_context.link.name)));
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
        for (const QDateTime &stamp : m_clock.takeDue(until))
            report(stamp);
        if (m_durationMs && elapsed >= *m_durationMs)
            finish(ExitOk);
        else
            schedule();
    }

    void finish(int exit) {
        if (m_finished) return;
        m_finished = true;
        m_tick.stop();
        QCoreApplication::exit(exit);
    }

    // One line of the recording, and the same values on standard output.
    void report(const QDateTime &stamp) {
        if (!m_csv.isEmpty() && !writeRecordLine(m_csv, stamp, m_fields, m_board.model)) ++m_unwritten;
        if (m_context.json)
            printJsonLine(jsonLine(stamp));
        else
            printTable(stamp);
    }

    QString label(F field) const {
        // The set point's label names the range group in use, as on the page.
        if (field == F::SetPoint) return textAt(m_hubaMode ? 247 : 130);
        return recordingTitle(field);
    }

    // The shown text; nothing for a value that has not arrived yet.
    std::optional<QString> text(F field) const {
        const auto it = m_shown.constFind(field);
        if (it == m_shown.cend()) return std::nullopt;
        if (isIndicator(field)) return it->number ? QStringLiteral("ON") : QStringLiteral("OFF");
        if (field == F::StateText) {
            const auto number = m_shown.constFind(F::StateNumber);
            if (number != m_shown.cend()) return (number->text + QLatin1Char(' ') + it->text).trimmed();
        }
        return it->text;
    }

    QJsonObject jsonLine(const QDateTime &stamp) const {
        QJsonObject values;
        for (F field : recordedFields(m_board.model)) {
            const auto it = m_shown.constFind(field);
            QJsonValue value;
            if (it != m_shown.cend())
                value = isIndicator(field) ? QJsonValue(it->number) : QJsonValue(it->text);
            values.insert(label(field), value);
        }
        const auto state = m_shown.constFind(F::StateNumber);
        return {{QStringLiteral("time"), stamp.toString(Qt::ISODate)},
                {QStringLiteral("state"),
                 state == m_shown.cend() ? QJsonValue() : QJsonValue(state->text.toInt())},
                {QStringLiteral("values"), values}};
    }

    // The stamp, then the values in the recording's column order, a few to a line, aligned.
    void printTable(const QDateTime &stamp) const {
        const QList<F> fields = recordedFields(m_board.model);
        qsizetype labelWidth = 0;
        QList<qsizetype> valueWidth(kCellsPerLine, 0);
        for (int i = 0; i < fields.size(); ++i) {
            labelWidth = std::max(labelWidth, label(fields[i]).size());
            valueWidth[i % kCellsPerLine] =
                std::max(valueWidth[i % kCellsPerLine], text(fields[i]).value_or(QStringLiteral("-")).size());
        }
        printLine(recordingStamp(stamp));
        QString line;
        for (int i = 0; i < fields.size(); ++i) {
            const int column = i % kCellsPerLine;
            const bool last = column == kCellsPerLine - 1 || i + 1 == fields.size();
            const QString value = text(fields[i]).value_or(QStringLiteral("-"));
            line += QStringLiteral("  ") + label(fields[i]).leftJustified(labelWidth + 1) +
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
    QElapsedTimer m_elapsed;
    RecordingClock m_clock;
    RecordFields m_fields;
    QMap<F, ShownValue> m_shown;
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
        interval = parseInterval(parser.value(QStringLiteral("interval")));
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
    const QString csv = parser.value(QStringLiteral("csv"));

    Board board;
    if (const auto failed = openBoard(context, board, true)) return *failed;
    const bool hubaMode = readHubaMode(board);
    // A recording that cannot reach its file does not start.
    if (!csv.isEmpty() && !appendToRecording(csv, recordingHeader(board.model)))
        return fail(context, ExitUsage, QStringLiteral("%1 %2").arg(textAt(93), csv));
    return Monitor(context, board, hubaMode, *interval * kSecondMs, duration, csv).run();
}
