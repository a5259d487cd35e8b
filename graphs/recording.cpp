#include "graphs/recording.h"

#include "graphs/seriestable.h"

#include <QDate>
#include <QFile>
#include <QHash>
#include <QStringDecoder>
#include <QThread>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <thread>

namespace graphs {
namespace {

constexpr qint64 kEpochJulianDay = 2440588; // 01/01/1970
constexpr qsizetype kStampLength = 19;      // "dd/MM/yyyy@hh:mm:ss"
constexpr qsizetype kChunkBytes = 1024 * 1024;
constexpr int kMaxWidestText = 16;
constexpr qsizetype kMaxReservedLines = qsizetype(1) << 26;
// Files from this size on are read in parts on several threads, at most this many.
constexpr qint64 kParallelBytes = 8 * 1024 * 1024;
constexpr int kMaxParts = 4;

// A field's text in 32 bits. Plain decimal numbers as the recorder writes them ("-12", "0.5",
// "123.4": no leading zero, at most 7 decimals) are packed so that the text comes back exactly:
// bits 0-2 decimals, bit 3 sign, bits 4-30 the digits as an integer. Any other text is an index into
// the recording's text pool, flagged by bit 31; pool entry 0 is the empty text.
constexpr quint32 kPoolFlag = 0x80000000u;
constexpr quint32 kEmptyCode = kPoolFlag;
constexpr quint32 kZeroCode = 0; // "0", what a damaged line shows
// The numeric reading of an empty field: a value missing, drawn as a gap.
constexpr float kMissing = std::numeric_limits<float>::quiet_NaN();
constexpr quint32 kMaxMagnitude = (1u << 27) - 1;
constexpr int kMaxDecimals = 7;
constexpr double kPowersOfTen[] = {1, 10, 100, 1000, 1e4, 1e5, 1e6, 1e7};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::optional<quint32> packDecimal(QByteArrayView field) {
    qsizetype i = 0;
    const bool negative = !field.isEmpty() && field[0] == '-';
    if (negative) ++i;
    const qsizetype integerStart = i;
    while (i < field.size() && isDigit(field[i]))
        ++i;
    const qsizetype integerDigits = i - integerStart;
    if (integerDigits == 0 || (integerDigits > 1 && field[integerStart] == '0')) return std::nullopt;
    qsizetype decimals = 0;
    if (i < field.size() && field[i] == '.') {
        const qsizetype fractionStart = ++i;
        while (i < field.size() && isDigit(field[i]))
            ++i;
        decimals = i - fractionStart;
        if (decimals == 0 || decimals > kMaxDecimals) return std::nullopt;
    }
    if (i != field.size() || integerDigits + decimals > 9) return std::nullopt;
    quint32 magnitude = 0;
    for (qsizetype k = integerStart; k < i; ++k)
        if (field[k] != '.') magnitude = magnitude * 10 + quint32(field[k] - '0');
    if (magnitude > kMaxMagnitude) return std::nullopt;
    return (magnitude << 4) | (negative ? 8u : 0u) | quint32(decimals);
}

QString unpackDecimal(quint32 code) {
    const int decimals = int(code & 7);
    QString digits = QString::number(code >> 4).rightJustified(decimals + 1, QLatin1Char('0'));
    if (decimals > 0) digits.insert(digits.size() - decimals, QLatin1Char('.'));
    if (code & 8) digits.prepend(QLatin1Char('-'));
    return digits;
}

double decimalValue(quint32 code) {
    const double value = double(code >> 4) / kPowersOfTen[code & 7];
    return (code & 8) ? -value : value;
}

int decimalLength(quint32 code) {
    const int decimals = int(code & 7);
    int digits = 1;
    for (quint32 m = (code >> 4) / 10; m != 0; m /= 10)
        ++digits;
    return std::max(digits, decimals + 1) + (decimals > 0 ? 1 : 0) + ((code & 8) ? 1 : 0);
}

// Fields are text in the platform's 8-bit encoding: UTF-8, or a Western code page for files written
// on Windows, read as Latin-1 when they are not valid UTF-8.
QString decodeField(QByteArrayView bytes) {
    // A byte-order mark is kept as a character, and a sequence cut at the end is an error: a field
    // is empty only when it has no bytes.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) text = QString::fromLatin1(bytes);
    return text;
}

// Reads lines in chunks, so that memory stays bounded whatever the file holds.
class LineReader {
public:
    // Reads at most `limit` bytes when it is not negative.
    LineReader(QIODevice &device, const ReadControl &control, qint64 limit = -1)
        : m_device(device), m_control(control), m_limit(limit),
          m_buffer(bufferSize(device, limit), Qt::Uninitialized) {}

    // The next line without its line end ("\n" or "\r\n"), valid until the next call. A line longer
    // than kMaxLineBytes comes as its first kMaxLineBytes bytes with `cut` set; its rest is skipped.
    bool next(QByteArrayView &line, bool &cut) {
        for (;;) {
            const char *start = m_buffer.constData() + m_begin;
            const auto *newline =
                static_cast<const char *>(std::memchr(start, '\n', std::size_t(m_end - m_begin)));
            if (newline != nullptr) {
                const qsizetype length = newline - start;
                m_begin += length + 1;
                if (m_skipping) {
                    m_skipping = false;
                    continue;
                }
                line = trimmed(QByteArrayView(start, length));
                cut = false;
                return true;
            }
            if (m_skipping) {
                m_begin = m_end;
            } else if (m_end - m_begin >= kMaxLineBytes) {
                line = QByteArrayView(start, kMaxLineBytes);
                cut = true;
                m_skipping = true;
                m_begin = m_end;
                return true;
            }
            if (m_atEnd) {
                if (m_begin == m_end || m_skipping) return false;
                line = trimmed(QByteArrayView(start, m_end - m_begin));
                cut = false;
                m_begin = m_end;
                return true;
            }
            if (!fill()) return false;
        }
    }

    bool cancelled() const { return m_cancelled; }
    // Bytes of the lines handed out so far.
    qint64 consumed() const { return m_done - (m_end - m_begin); }

private:
    // A chunk and a longest line; no more than a small file needs.
    static qsizetype bufferSize(const QIODevice &device, qint64 limit) {
        qint64 left = device.isSequential() ? kChunkBytes : device.size() - device.pos();
        if (limit >= 0) left = std::min(left, limit);
        return qsizetype(std::clamp<qint64>(left, 0, kChunkBytes)) + kMaxLineBytes;
    }

    static QByteArrayView trimmed(QByteArrayView line) {
        return line.endsWith('\r') ? line.chopped(1) : line;
    }

    bool fill() {
        if (m_control.cancel != nullptr && m_control.cancel->load(std::memory_order_relaxed)) {
            m_cancelled = true;
            return false;
        }
        const qsizetype kept = m_end - m_begin;
        std::memmove(m_buffer.data(), m_buffer.constData() + m_begin, std::size_t(kept));
        m_begin = 0;
        m_end = kept;
        qint64 wanted = m_buffer.size() - kept;
        if (m_limit >= 0) wanted = std::min(wanted, m_limit - m_done);
        const qint64 got = wanted > 0 ? m_device.read(m_buffer.data() + kept, wanted) : 0;
        if (got <= 0) {
            m_atEnd = true;
        } else {
            m_end += got;
            m_done += got;
            if (m_control.bytesDone != nullptr)
                m_control.bytesDone->fetch_add(got, std::memory_order_relaxed);
        }
        return true;
    }

    QIODevice &m_device;
    ReadControl m_control;
    qint64 m_limit;
    QByteArray m_buffer;
    qsizetype m_begin = 0;
    qsizetype m_end = 0;
    qint64 m_done = 0;
    bool m_atEnd = false;
    bool m_skipping = false;
    bool m_cancelled = false;
};

// Whether the first `length` characters of `text` follow "dd/dd/dddd@dd:dd:dd;" (d a digit).
bool followsStampPattern(QByteArrayView text, qsizetype length) {
    static constexpr char pattern[] = "dd/dd/dddd@dd:dd:dd;";
    if (text.size() < length) return false;
    for (qsizetype i = 0; i < length; ++i)
        if (pattern[i] == 'd' ? !isDigit(text[i]) : text[i] != pattern[i]) return false;
    return true;
}

// A time stamp and ";" at the very start of a line mark a data line.
bool startsWithStamp(QByteArrayView line) {
    return followsStampPattern(line, kStampLength + 1);
}

int twoDigits(QByteArrayView text, qsizetype at) {
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

// Days since 01/01/1970 of a stamp's "dd/MM/yyyy" (digits already checked), if a valid date.
std::optional<qint64> stampDay(QByteArrayView text) {
    const int day = twoDigits(text, 0), month = twoDigits(text, 3);
    const int year = twoDigits(text, 6) * 100 + twoDigits(text, 8);
    if (!QDate::isValid(year, month, day)) return std::nullopt;
    return QDate(year, month, day).toJulianDay() - kEpochJulianDay;
}

// Seconds into the day of a stamp's "hh:mm:ss" (digits already checked), if a valid time.
std::optional<qint64> stampSecond(QByteArrayView text) {
    const int hour = twoDigits(text, 11), minute = twoDigits(text, 14), second = twoDigits(text, 17);
    if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
    return hour * 3600 + minute * 60 + second;
}

} // namespace

int dataLineParts(RecordedModel model) {
    return valueColumnCount(model) + 2;
}

std::optional<qint64> parseStamp(QByteArrayView text) {
    if (text.size() != kStampLength || !followsStampPattern(text, kStampLength)) return std::nullopt;
    const auto day = stampDay(text);
    const auto second = stampSecond(text);
    if (!day || !second) return std::nullopt;
    return *day * 86400 + *second;
}

QDateTime stampDateTime(qint64 seconds) {
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC);
}

QDateTime Recording::dateTime(qsizetype j) const {
    return QDateTime::fromMSecsSinceEpoch(time(j) * (1000 / qint64(m_unit)), Qt::UTC);
}

QString Recording::text(int column, qsizetype j) const {
    const Column &c = m_columns[std::size_t(column)];
    if (c.codes.empty()) {
        const float number = c.numbers[std::size_t(j)];
        return std::isnan(number) ? QString() : QString::number(number, 'f', c.decimals);
    }
    const quint32 code = c.codes[std::size_t(j)];
    return (code & kPoolFlag) ? m_pool[code & ~kPoolFlag].text : unpackDecimal(code);
}

bool Recording::present(int column, qsizetype j) const {
    const Column &c = m_columns[std::size_t(column)];
    if (c.codes.empty()) return !std::isnan(c.numbers[std::size_t(j)]);
    return c.codes[std::size_t(j)] != kEmptyCode;
}

quint32 Recording::code(int column, qsizetype j) const {
    const Column &c = m_columns[std::size_t(column)];
    // A column of numbers only: its numbers, all written with the same decimals, are its texts.
    if (c.codes.empty()) return std::bit_cast<quint32>(c.numbers[std::size_t(j)]);
    return c.codes[std::size_t(j)];
}

GraphSample Recording::sample(int column, qsizetype j) const {
    return {dateTime(j), QVariant(text(column, j)), present(column, j)};
}

void Recording::index(Column &column) const {
    const std::vector<quint32> &codes = column.codes;
    column.boundaries.clear();
    column.trailingBoundary = false;
    switch (column.kind) {
    case SeriesKind::Analogue: {
        if (codes.empty() && !column.numbers.empty()) break; // numbers only: nothing to read
        // The widest plain decimal has the most digits, decimals and a sign.
        quint32 digits = 0, decimals = 0, sign = 0;
        int widestText = 0;
        column.numbers.clear();
        column.numbers.reserve(codes.size());
        for (quint32 c : codes) {
            if (c == kEmptyCode) {
                column.numbers.push_back(kMissing);
                continue;
            }
            if (c & kPoolFlag) {
                column.numbers.push_back(m_pool[c & ~kPoolFlag].number);
                widestText = std::max(widestText, int(m_pool[c & ~kPoolFlag].text.size()));
                continue;
            }
            column.numbers.push_back(float(decimalValue(c)));
            digits = std::max(digits, c >> 4);
            decimals = std::max(decimals, c & 7);
            sign |= c & 8;
        }
        column.widest =
            std::min(std::max(widestText, decimalLength((digits << 4) | sign | decimals)), kMaxWidestText);
        break;
    }
    case SeriesKind::OnOff:
        if (codes.empty() && !column.numbers.empty()) break;
        column.numbers.clear();
        column.numbers.reserve(codes.size());
        for (quint32 c : codes) {
            if (c == kEmptyCode)
                column.numbers.push_back(kMissing);
            else
                column.numbers.push_back(
                    ((c & kPoolFlag) ? m_pool[c & ~kPoolFlag].on : c != kZeroCode) ? 1.0f : 0.0f);
        }
        break;
    case SeriesKind::Text:
        for (std::size_t j = 0; j < codes.size(); ++j)
            if (j == 0 || j + 1 == codes.size() || codes[j] != codes[j - 1])
                column.boundaries.push_back(quint32(j));
        column.trailingBoundary = codes.size() > 1 && codes.back() == codes[codes.size() - 2];
        break;
    }
    column.minimum = column.maximum = 0;
    column.anyValue = false;
    if (!column.numbers.empty()) {
        column.ranges.build(column.numbers);
        // Over the values present; a column without any is flat at 0.
        const auto [low, high] = column.ranges.query(column.numbers, 0, qsizetype(column.numbers.size()));
        column.anyValue = low <= high;
        column.minimum = column.anyValue ? low : 0;
        column.maximum = column.anyValue ? high : 0;
    }
}

Recording::Recording(RecordedModel model, std::vector<SeriesKind> kinds, qsizetype capacity)
    : m_model(model), m_unit(TimeUnit::Millisecond) {
    m_pool.push_back({});
    m_times.reserve(std::size_t(capacity));
    for (SeriesKind kind : kinds) {
        Column column;
        column.kind = kind;
        if (kind == SeriesKind::Text)
            column.codes.reserve(std::size_t(capacity));
        else
            column.numbers.reserve(std::size_t(capacity));
        m_columns.push_back(std::move(column));
    }
}

void Recording::appendRow(qint64 time, const QStringList &values) {
    const qsizetype j = size();
    m_times.push_back(time);
    for (std::size_t c = 0; c < m_columns.size(); ++c) {
        Column &column = m_columns[c];
        const QString value = qsizetype(c) < values.size() ? values[qsizetype(c)] : QString();
        if (column.kind == SeriesKind::Text) {
            quint32 code = kEmptyCode;
            if (!value.isEmpty()) {
                auto found = m_livePool.constFind(value);
                if (found == m_livePool.constEnd()) {
                    found = m_livePool.insert(value, kPoolFlag | quint32(m_pool.size()));
                    m_pool.push_back({value, 0, true});
                }
                code = *found;
            }
            column.codes.push_back(code);
            // Boundaries: 0, every change, and the last row (which the next row replaces unless it
            // is a change as well).
            if (j > 0 && column.trailingBoundary) column.boundaries.pop_back();
            column.boundaries.push_back(quint32(j));
            column.trailingBoundary = j > 0 && code == column.codes[std::size_t(j - 1)];
            continue;
        }
        bool ok = false;
        double number = value.toDouble(&ok);
        if (!ok || !std::isfinite(number)) {
            column.numbers.push_back(kMissing);
        } else {
            if (column.kind == SeriesKind::OnOff) number = number != 0 ? 1 : 0;
            const float reading = float(std::clamp(number, double(-FLT_MAX), double(FLT_MAX)));
            column.minimum = column.anyValue ? std::min(column.minimum, reading) : reading;
            column.maximum = column.anyValue ? std::max(column.maximum, reading) : reading;
            column.anyValue = true;
            column.numbers.push_back(reading);
            const qsizetype point = value.indexOf(QLatin1Char('.'));
            column.decimals = std::max(column.decimals, point < 0 ? 0 : int(value.size() - point - 1));
            column.widest = std::min(std::max(column.widest, int(value.size())), kMaxWidestText);
        }
        column.ranges.extend(column.numbers);
    }
    ++m_revision;
}

void Recording::dropFront(qsizetype rows) {
    rows = std::min(rows, size());
    if (rows <= 0) return;
    m_times.erase(m_times.begin(), m_times.begin() + rows);
    for (Column &column : m_columns) {
        if (!column.codes.empty()) column.codes.erase(column.codes.begin(), column.codes.begin() + rows);
        if (column.kind != SeriesKind::Text)
            column.numbers.erase(column.numbers.begin(), column.numbers.begin() + rows);
        index(column);
    }
    ++m_revision;
}

std::size_t Recording::bytes() const {
    std::size_t total = m_times.capacity() * sizeof(qint64);
    for (const Column &column : m_columns)
        total += column.codes.capacity() * sizeof(quint32) + column.numbers.capacity() * sizeof(float) +
                 column.boundaries.capacity() * sizeof(quint32) + column.ranges.bytes();
    for (const PoolEntry &entry : m_pool)
        total += sizeof(PoolEntry) + std::size_t(entry.text.capacity()) * sizeof(QChar);
    return total;
}

// Fills a Recording line by line, then sorts and indexes it.
class RecordingBuilder {
public:
    RecordingBuilder(RecordedModel model) : m_parts(dataLineParts(model)) {
        m_recording.m_model = model;
        const auto defs = seriesDefs(model);
        m_recording.m_columns.resize(defs.size());
        for (std::size_t c = 0; c < defs.size(); ++c)
            m_recording.m_columns[c].kind = defs[c].kind;
        m_recording.m_pool.push_back({});
        m_fields.resize(std::size_t(m_parts));
    }

    void reserve(qsizetype lines) {
        // The estimate comes from the first lines only: keep it within reason.
        lines = std::min(lines, kMaxReservedLines);
        m_recording.m_times.reserve(std::size_t(lines));
        for (auto &column : m_recording.m_columns)
            column.codes.reserve(std::size_t(lines));
    }

    // One line that starts with a time stamp; `cut` when it was longer than the readers keep.
    void addDataLine(QByteArrayView line, bool cut) {
        // Lines of one day share their date: it is worked out once.
        if (QByteArrayView(m_lastDate) != line.first(kDateLength)) {
            m_lastDate = line.first(kDateLength).toByteArray();
            m_lastDay = stampDay(line);
        }
        const std::optional<qint64> second = stampSecond(line);
        if (!m_lastDay || !second) {
            ++m_recording.m_badStamps;
            return;
        }
        m_recording.m_times.push_back(*m_lastDay * 86400 + *second);
        // Split at ";" keeping empty parts; a cut line has too many bytes to be well formed.
        int parts = 0;
        bool tooMany = cut;
        qsizetype begin = 0;
        for (qsizetype i = 0; i <= line.size() && !tooMany; ++i) {
            if (i < line.size() && line[i] != ';') continue;
            if (parts == m_parts) {
                tooMany = true;
                break;
            }
            m_fields[std::size_t(parts++)] = line.sliced(begin, i - begin);
            begin = i + 1;
        }
        auto &columns = m_recording.m_columns;
        if (tooMany || parts != m_parts) {
            ++m_recording.m_damaged;
            for (auto &column : columns)
                column.codes.push_back(kZeroCode);
            return;
        }
        for (std::size_t c = 0; c < columns.size(); ++c)
            columns[c].codes.push_back(encode(m_fields[c + 1]));
    }

    // Adds the lines another builder read after this one's.
    void append(RecordingBuilder &&other) {
        // The other pool's texts get this pool's codes; equal codes still mean equal texts.
        std::vector<quint32> codes(other.m_recording.m_pool.size(), kEmptyCode);
        for (auto it = other.m_poolIndex.cbegin(); it != other.m_poolIndex.cend(); ++it) {
            quint32 &code = codes[it.value() & ~kPoolFlag];
            const auto found = m_poolIndex.constFind(it.key());
            if (found != m_poolIndex.constEnd()) {
                code = *found;
                continue;
            }
            code = kPoolFlag | quint32(m_recording.m_pool.size());
            m_recording.m_pool.push_back(std::move(other.m_recording.m_pool[it.value() & ~kPoolFlag]));
            m_poolIndex.insert(it.key(), code);
        }
        auto &times = m_recording.m_times;
        times.insert(times.end(), other.m_recording.m_times.begin(), other.m_recording.m_times.end());
        other.m_recording.m_times = {};
        for (std::size_t c = 0; c < m_recording.m_columns.size(); ++c) {
            auto &mine = m_recording.m_columns[c].codes;
            auto &theirs = other.m_recording.m_columns[c].codes;
            mine.reserve(times.size());
            for (quint32 code : theirs)
                mine.push_back((code & kPoolFlag) ? codes[code & ~kPoolFlag] : code);
            theirs = {};
        }
        m_recording.m_damaged += other.m_recording.m_damaged;
        m_recording.m_badStamps += other.m_recording.m_badStamps;
    }

    // Puts the lines in time order and indexes every column, the columns shared among `threads`.
    Recording finish(int threads = 1) {
        sortByTime();
        auto &columns = m_recording.m_columns;
        std::vector<std::thread> helpers;
        const auto share = [&](int part) {
            for (std::size_t c = std::size_t(part); c < columns.size(); c += std::size_t(threads))
                m_recording.index(columns[c]);
        };
        for (int part = 1; part < threads; ++part)
            helpers.emplace_back(share, part);
        share(0);
        for (std::thread &helper : helpers)
            helper.join();
        return std::move(m_recording);
    }

private:
    quint32 encode(QByteArrayView field) {
        if (field.isEmpty()) return kEmptyCode;
        if (const auto packed = packDecimal(field)) return *packed;
        // Looked up without a copy; most texts (the stove state) are there already.
        const auto found = m_poolIndex.constFind(QByteArray::fromRawData(field.data(), field.size()));
        if (found != m_poolIndex.constEnd()) return *found;
        Recording::PoolEntry entry;
        entry.text = decodeField(field);
        bool ok = false;
        const double value = entry.text.toDouble(&ok);
        // Readings beyond what the columns hold are kept at their limit; infinities and NaN read as 0.
        entry.number =
            ok && std::isfinite(value) ? float(std::clamp(value, double(-FLT_MAX), double(FLT_MAX))) : 0.0f;
        entry.on = !(entry.text == QLatin1String("0") ||
                     entry.text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0);
        const quint32 code = kPoolFlag | quint32(m_recording.m_pool.size());
        m_recording.m_pool.push_back(std::move(entry));
        m_poolIndex.insert(field.toByteArray(), code);
        return code;
    }

    // An appended recording whose clock went back would draw backwards: keep lines in time order.
    void sortByTime() {
        auto &times = m_recording.m_times;
        if (std::is_sorted(times.begin(), times.end())) return;
        std::vector<std::size_t> order(times.size());
        std::iota(order.begin(), order.end(), std::size_t(0));
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return times[a] < times[b]; });
        std::vector<qint64> sortedTimes(times.size());
        for (std::size_t j = 0; j < order.size(); ++j)
            sortedTimes[j] = times[order[j]];
        times = std::move(sortedTimes);
        for (auto &column : m_recording.m_columns) {
            std::vector<quint32> sorted(column.codes.size());
            for (std::size_t j = 0; j < order.size(); ++j)
                sorted[j] = column.codes[order[j]];
            column.codes = std::move(sorted);
        }
    }

    static constexpr qsizetype kDateLength = 10; // "dd/MM/yyyy"

    Recording m_recording;
    const int m_parts;
    std::vector<QByteArrayView> m_fields;
    QHash<QByteArray, quint32> m_poolIndex;
    QByteArray m_lastDate;
    std::optional<qint64> m_lastDay;
};

namespace {

// Feeds the data lines of a device (at most `limit` bytes of it when not negative) to a builder,
// whose columns are sized for the lines of `sizeFor` bytes (the first part holds all parts' lines
// in the end); false when cancelled.
bool readLines(QIODevice &device, qint64 limit, qint64 sizeFor, RecordingBuilder &builder,
               const ReadControl &control) {
    LineReader reader(device, control, limit);
    const qint64 size = sizeFor >= 0 ? sizeFor : device.size() - device.pos();
    QByteArrayView line;
    bool cut = false;
    qsizetype dataLines = 0;
    constexpr qsizetype kEstimateAfter = 1024;
    while (reader.next(line, cut)) {
        if (!startsWithStamp(line)) continue;
        builder.addDataLine(line, cut);
        // Size the columns once from the length of the first lines, rather than growing them.
        if (++dataLines == kEstimateAfter && size > 0 && reader.consumed() > 0)
            builder.reserve(qsizetype(double(size) / double(reader.consumed()) * kEstimateAfter * 1.05));
    }
    return !reader.cancelled();
}

// Where the file's second, third ... part starts: the first line start at or after an even split,
// none where a line runs on too long to find one.
std::vector<qint64> partStarts(QFile &file, qint64 size, int parts) {
    std::vector<qint64> starts{0};
    for (int i = 1; i < parts; ++i) {
        const qint64 nominal = size * i / parts;
        if (!file.seek(nominal - 1)) break;
        const qsizetype newline = file.read(kMaxLineBytes).indexOf('\n');
        if (newline >= 0 && nominal + newline > starts.back()) starts.push_back(nominal + newline);
    }
    return starts;
}

} // namespace

std::optional<Recording> readRecording(QIODevice &device, RecordedModel model, const ReadControl &control) {
    RecordingBuilder builder(model);
    if (!readLines(device, -1, -1, builder, control)) return std::nullopt;
    return builder.finish();
}

std::optional<Recording> readRecordingFile(QFile &file, RecordedModel model, const ReadControl &control,
                                           int parts, qint64 end) {
    const qint64 size = end >= 0 && !file.isSequential() ? std::min(end, file.size()) : file.size();
    if (parts == 0)
        parts = size >= kParallelBytes ? std::clamp(QThread::idealThreadCount(), 1, kMaxParts) : 1;
    if (parts <= 1 || file.isSequential()) {
        RecordingBuilder builder(model);
        if (!readLines(file, file.isSequential() ? -1 : size, -1, builder, control)) return std::nullopt;
        return builder.finish();
    }
    const std::vector<qint64> starts = partStarts(file, size, parts);
    const auto count = starts.size();
    std::vector<RecordingBuilder> builders(count, RecordingBuilder(model));
    std::vector<char> done(count, 0);
    // The first part is read here, the others each on a thread of its own with its own handle.
    const auto readPart = [&](std::size_t i, QFile &device) {
        const qint64 partEnd = i + 1 < count ? starts[i + 1] : size;
        done[i] =
            device.seek(starts[i]) &&
            readLines(device, partEnd - starts[i], i == 0 ? size : partEnd - starts[i], builders[i], control);
    };
    std::vector<std::thread> threads;
    for (std::size_t i = 1; i < count; ++i)
        threads.emplace_back([&, i] {
            QFile part(file.fileName());
            if (part.open(QIODevice::ReadOnly)) readPart(i, part);
        });
    readPart(0, file);
    for (std::thread &thread : threads)
        thread.join();
    if (control.cancel != nullptr && control.cancel->load()) return std::nullopt;
    // A part that could not be read (the file went away meanwhile) leaves its lines out, as a
    // shorter file would.
    for (std::size_t i = 1; i < count; ++i)
        if (done[i]) builders[0].append(std::move(builders[i]));
    return builders[0].finish(int(count));
}

std::optional<QString> findModelName(QIODevice &device, const ReadControl &control) {
    LineReader reader(device, control);
    QByteArrayView line;
    bool cut = false;
    while (reader.next(line, cut)) {
        if (!line.startsWith("MODEL")) continue;
        QString name = decodeField(line.sliced(line.lastIndexOf('=') + 1));
        name.remove(QLatin1Char(';'));
        return name;
    }
    return std::nullopt;
}

qint64 completeLinesEnd(QIODevice &device) {
    // Back from the end in chunks to the last line feed.
    constexpr qint64 kChunk = 64 * 1024;
    qint64 found = 0;
    for (qint64 end = device.size(); end > 0;) {
        const qint64 from = std::max<qint64>(0, end - kChunk);
        if (!device.seek(from)) break;
        const QByteArray chunk = device.read(end - from);
        const qsizetype newline = chunk.lastIndexOf('\n');
        if (newline >= 0) {
            found = from + newline + 1;
            break;
        }
        if (chunk.size() != end - from) break;
        end = from;
    }
    device.seek(0);
    return found;
}

IntervalReading readRecordingInterval(QIODevice &device, qint64 end) {
    IntervalReading reading;
    reading.opened = true;
    LineReader reader(device, {}, end);
    QByteArrayView line;
    bool cut = false;
    while (reader.next(line, cut)) {
        if (!startsWithStamp(line)) continue;
        const std::optional<qint64> stamp = parseStamp(line.first(kStampLength));
        if (!stamp) continue;
        if (!reading.first) {
            reading.first = stamp;
        } else {
            reading.seconds = *stamp - *reading.first;
            break;
        }
    }
    return reading;
}

IntervalReading readRecordingInterval(const QString &fileName, qint64 end) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return readRecordingInterval(file, end);
}

} // namespace graphs
