// Recording files (".csv" written by the debug page) read back for the graph viewer: one time stamp
// per data line and, per recorded column, every field packed in 32 bits plus its numeric reading.
// The file is parsed once into these columns; everything the viewer draws comes from here. The live
// trend (graphs/livetrend.h) fills the same columns row by row.
#pragma once

#include "graphs/rangeminmax.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QIODevice>
#include <QString>
#include <QVariant>

#include <atomic>
#include <optional>
#include <vector>

namespace graphs {

// The stove models a recording can hold, with the codes the rest of the program uses.
enum class RecordedModel { Basic = 1, Water = 2, AirDucted = 3 };

// How a series is drawn: a curve of values, an on/off step line, or a row of texts.
enum class SeriesKind { Analogue = 0, OnOff = 1, Text = 2 };

// What a recording's times count: a file's stamps are whole seconds, the live trend's times
// milliseconds. Either counts from 01/01/1970 00:00:00 of the wall clock, without time zone.
enum class TimeUnit { Second = 1, Millisecond = 1000 };

// Value columns of a model's data lines: 14, 20 or 19.
int valueColumnCount(RecordedModel model);
// Parts a well-formed data line splits into at ";": the time stamp, the values and the empty part
// after the final ";" (16, 22 or 21).
int dataLineParts(RecordedModel model);

// One recorded point as the viewer's lists and read-outs see it.
struct GraphSample {
    QDateTime time;
    QVariant value; // the field's text
    bool present = false;
};

// A time stamp "dd/MM/yyyy@hh:mm:ss" as seconds since 01/01/1970 00:00:00 of the same wall clock.
// Stamps are kept without time zone so that the axis shows exactly the times written in the file.
std::optional<qint64> parseStamp(QByteArrayView text);
QDateTime stampDateTime(qint64 seconds);

// Longest line the readers look at. A data line is some 150 bytes; longer lines (a file that is not
// a recording) are passed over without being held in memory.
constexpr qsizetype kMaxLineBytes = 64 * 1024;

class Recording {
public:
    Recording() = default;
    RecordedModel model() const { return m_model; }
    qsizetype size() const { return qsizetype(m_times.size()); }
    int columnCount() const { return int(m_columns.size()); }
    SeriesKind kind(int column) const { return m_columns[std::size_t(column)].kind; }

    qint64 time(qsizetype j) const { return m_times[std::size_t(j)]; }
    const std::vector<qint64> &times() const { return m_times; }
    QDateTime dateTime(qsizetype j) const;
    // Changes whenever rows are added or removed: what was worked out from the rows is then stale.
    quint64 revision() const { return m_revision; }

    // The field's text as written, and whether it was not empty.
    QString text(int column, qsizetype j) const;
    bool present(int column, qsizetype j) const;
    // Equal codes mean equal texts.
    quint32 code(int column, qsizetype j) const;
    // Numeric reading of an analogue field (a field that is not a number reads as 0), or 1/0 for the
    // on/off reading of a state field ("0" and "false" are off). An empty field is a value the
    // recorder did not have (not read yet, or the board silent): NaN, which the drawing leaves as a
    // gap. Empty for text columns.
    const std::vector<float> &numbers(int column) const { return m_columns[std::size_t(column)].numbers; }
    const RangeMinMax &ranges(int column) const { return m_columns[std::size_t(column)].ranges; }
    // Smallest and greatest numeric reading of a column, over the values present (0 for text columns
    // and for columns without any value).
    float minimum(int column) const { return m_columns[std::size_t(column)].minimum; }
    float maximum(int column) const { return m_columns[std::size_t(column)].maximum; }
    // Text columns: 0, every index whose text differs from the one before, and the last index:
    // where the drawing puts its vertical lines and starts each text.
    const std::vector<quint32> &boundaries(int column) const {
        return m_columns[std::size_t(column)].boundaries;
    }
    // Characters of the longest field text of a column (bounded), to size value labels.
    int widestText(int column) const { return m_columns[std::size_t(column)].widest; }

    GraphSample sample(int column, qsizetype j) const;

    // Data lines with the wrong number of fields (shown as zeros) and lines that looked like data
    // lines but whose time stamp is not a date (left out).
    qsizetype damagedLines() const { return m_damaged; }
    qsizetype badStampLines() const { return m_badStamps; }

    // Bytes held by the rows (their reserved room included).
    std::size_t bytes() const;

private:
    friend class RecordingBuilder;
    friend class LiveTrend;
    struct Column {
        SeriesKind kind = SeriesKind::Analogue;
        // Empty in a live recording's analogue and on/off columns, which keep only their numbers
        // and write their texts back from them with `decimals` decimals.
        std::vector<quint32> codes;
        std::vector<float> numbers;
        RangeMinMax ranges;
        std::vector<quint32> boundaries;
        float minimum = 0;
        float maximum = 0;
        int widest = 0;
        int decimals = 0;
        bool anyValue = false;
        bool trailingBoundary = false; // the last boundary marks only the last row, not a change
    };
    struct PoolEntry {
        QString text;
        float number = 0;
        bool on = false;
    };

    // An empty live recording: times in milliseconds, the given columns (a group of a model's
    // columns), room for `capacity` rows.
    Recording(RecordedModel model, std::vector<SeriesKind> kinds, qsizetype capacity);
    // Appends a row of a live recording: one text per column, empty for a value missing. A value of
    // an analogue or on/off column that is not a number is missing too.
    void appendRow(qint64 time, const QStringList &values);
    // Removes the oldest rows of a live recording.
    void dropFront(qsizetype rows);
    // Numeric readings, ranges and boundaries of a column from its codes (or numbers), all over.
    void index(Column &column) const;

    RecordedModel m_model = RecordedModel::Basic;
    TimeUnit m_unit = TimeUnit::Second;
    std::vector<qint64> m_times;
    std::vector<Column> m_columns;
    std::vector<PoolEntry> m_pool;      // texts that are not plain decimal numbers; entry 0 is ""
    QHash<QString, quint32> m_livePool; // a live recording's pool texts and their codes
    qsizetype m_damaged = 0;
    qsizetype m_badStamps = 0;
    quint64 m_revision = 0;
};

// Cancellation and progress of a long read, shared with the thread that shows them.
struct ReadControl {
    const std::atomic<bool> *cancel = nullptr;
    std::atomic<qint64> *bytesDone = nullptr;
};

// Reads every data line of an open device as a recording of `model`: lines that do not start with
// a time stamp and ";" are skipped; a data line with the wrong number of fields gives "0" in every
// column; a line whose stamp is not a valid date is left out. Lines are put in time order when an
// appended recording goes back in time. Nothing when cancelled.
std::optional<Recording> readRecording(QIODevice &device, RecordedModel model,
                                       const ReadControl &control = {});

// The same for a file, up to byte `end` when it is not negative: files of 8 MB and more are read in
// `parts` line-aligned ranges on as many threads (0: one per processor core, up to four), then joined
// in file order.
std::optional<Recording> readRecordingFile(QFile &file, RecordedModel model, const ReadControl &control = {},
                                           int parts = 0, qint64 end = -1);

// Where the last complete line of a file (or another device that can seek) ends: after its line
// feed; 0 without one. A file that is being written may end in a line cut short, which is no damaged
// line but one not written yet. Leaves the device at its start.
qint64 completeLinesEnd(QIODevice &device);

// The model text of a recording: of the first line that starts with "MODEL", the text after its last
// "=" with every ";" removed. Nothing when no line starts with "MODEL".
std::optional<QString> findModelName(QIODevice &device, const ReadControl &control = {});

// The recording interval and first time stamp, from the first two data lines (a time stamp and ";"
// at the line start) whose stamp is a valid date. A data line need not hold a decimal: its values
// may all be missing.
struct IntervalReading {
    bool opened = false;
    std::optional<qint64> first;   // the first valid stamp
    std::optional<qint64> seconds; // second stamp minus first; nothing with fewer than two
};
IntervalReading readRecordingInterval(QIODevice &device, qint64 end = -1);
IntervalReading readRecordingInterval(const QString &fileName, qint64 end = -1);

} // namespace graphs
