// Reading recording files: data lines per model, lines that are skipped or damaged, empty fields, the
// interval and first stamp, files that are not recordings, a file being written, the window title;
// and the live trend's rows, which must draw as the same lines read from a file.
#include "graphs/livetrend.h"
#include "graphs/loadrecording.h"
#include "graphs/plotgeometry.h"
#include "graphs/recording.h"
#include "graphs/seriestable.h"
#include "recordings.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QLocale>
#include <QTemporaryDir>
#include <cmath>

namespace {

using namespace graphs;
using hbsupport::kDefaultStart;
using hbsupport::RecordingPlan;

Recording read(const QByteArray &content, RecordedModel model) {
    QBuffer buffer;
    buffer.setData(content);
    buffer.open(QIODevice::ReadOnly);
    std::optional<Recording> recording = readRecording(buffer, model);
    EXPECT_TRUE(recording.has_value());
    return recording ? std::move(*recording) : Recording();
}

QString write(const QTemporaryDir &dir, const QString &name, const QByteArray &content) {
    QFile file(dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    return file.fileName();
}

TEST(Recording, EveryModelsColumns) {
    const struct {
        RecordedModel model;
        int columns;
        std::vector<int> kinds;
    } cases[] = {
        {RecordedModel::Basic, 14, {0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 2}},
        {RecordedModel::Water, 20, {0, 0, 0, 0, 0, 0, 0, 2, 1, 1, 1, 1, 1, 2, 0, 0, 1, 1, 0, 0}},
        {RecordedModel::AirDucted, 19, {0, 0, 0, 0, 0, 0, 0, 2, 1, 1, 1, 1, 1, 2, 0, 0, 0, 0, 0}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(int(c.model));
        const RecordingPlan def{c.model, kDefaultStart, 40, 10};
        const Recording r = read(hbsupport::recordingText(def), c.model);
        ASSERT_EQ(r.columnCount(), c.columns);
        EXPECT_EQ(dataLineParts(c.model), c.columns + 2);
        ASSERT_EQ(r.size(), 40);
        EXPECT_EQ(r.damagedLines(), 0);
        for (int col = 0; col < c.columns; ++col) {
            EXPECT_EQ(int(r.kind(col)), c.kinds[std::size_t(col)]) << col;
            for (qsizetype j = 0; j < r.size(); ++j)
                ASSERT_EQ(r.text(col, j).toUtf8(), hbsupport::field(c.model, col, j)) << col << " " << j;
        }
        EXPECT_EQ(r.time(0), kDefaultStart);
        EXPECT_EQ(r.time(39), kDefaultStart + 390);
        EXPECT_EQ(r.sample(0, 3).time, QDateTime(QDate(2024, 3, 9), QTime(10, 0, 30), Qt::UTC));
    }
}

TEST(Recording, SkippedDamagedAndBadLines) {
    // Two recordings appended to one file, with a blank line, CR LF endings, a line with one field
    // missing, one with a field too many, a stamp that is no date and a stamp not at the line start.
    const QByteArray basicTail = QByteArray(";0").repeated(13) + ';'; // after a first value of 9
    const QByteArray content =
        "MODEL=BASIC\r\nDate;Smoke Temperature\r\n"
        "01/02/2024@10:00:00;1.5;2;3;4;5;6;7;Stove On;9;10;11;12;13;Alarm x;\r\n"
        "\r\n"
        "01/02/2024@10:00:10;1.5;2;3;4;5;6;7;Stove On;9;10;11;12;13;\r\n" +
        ("01/02/2024@10:00:20;9" + basicTail + "1;\r\n") + "MODEL=BASIC\r\nDate;Smoke Temperature\r\n" +
        ("31/02/2024@10:00:30;9" + basicTail + "\r\n") + (" 01/02/2024@10:00:40;9" + basicTail + "\r\n") +
        ("01/02/2024@10:00:50;9" + basicTail + "\r\n") + // no line end at the end
        "01/02/2024@10:01:00;-2.25;2;3;4;5;6;7;Stove Off;9;10;11;12;13;;";
    const Recording r = read(content, RecordedModel::Basic);
    ASSERT_EQ(r.size(), 5);
    EXPECT_EQ(r.damagedLines(), 2);
    EXPECT_EQ(r.badStampLines(), 1);
    EXPECT_EQ(r.text(0, 0), "1.5");
    EXPECT_EQ(r.text(7, 0), "Stove On");
    EXPECT_EQ(r.text(13, 0), "Alarm x");
    for (int col : {0, 7, 13}) {
        EXPECT_EQ(r.text(col, 1), "0") << col; // one field missing: zero in every column
        EXPECT_TRUE(r.present(col, 1));
        EXPECT_EQ(r.text(col, 2), "0") << col; // one field too many
    }
    EXPECT_EQ(r.text(0, 3), "9");
    EXPECT_EQ(r.time(3), hbsupport::stamp(2024, 2, 1, 10, 0, 50));
    EXPECT_EQ(r.text(0, 4), "-2.25");
    EXPECT_EQ(r.text(7, 4), "Stove Off");
}

TEST(Recording, FieldTextsNumbersAndPresence) {
    // Values as fields: plain decimals come back exactly, other texts as written; numbers read as the
    // values do (not a number: 0), on/off as a variant's truth; an empty field is a value missing.
    const QByteArray fields[] = {"-0.5", "12.50", "007", "1e3", "abc", "inf", "", "0.0", "false", "\xe8 1"};
    QByteArray line = "09/03/2024@10:00:00";
    for (const QByteArray &f : fields)
        line += ';' + f;
    for (int i = std::size(fields); i < 20; ++i)
        line += ";0";
    // The second line without the first value and the first on/off input's.
    QByteArray second = line;
    second.replace(";-0.5;", ";;").replace(";false;", ";;");
    const Recording r = read("MODEL=WATER\n" + line + ";\n" + second + ";\n", RecordedModel::Water);
    ASSERT_EQ(r.size(), 2);
    const double numbers[] = {-0.5, 12.5, 7, 1000, 0, 0};
    for (int c = 1; c < 6; ++c) {
        EXPECT_EQ(r.numbers(c)[0], float(numbers[c])) << c;
        EXPECT_EQ(r.text(c, 1), QString::fromLatin1(fields[c])) << c;
    }
    // Missing values read as NaN, which the ranges leave out; a column without any value is flat at 0.
    EXPECT_EQ(r.numbers(0)[0], -0.5f);
    EXPECT_TRUE(std::isnan(r.numbers(0)[1]));
    EXPECT_TRUE(std::isnan(r.numbers(6)[0]));
    EXPECT_EQ(r.minimum(6), 0.0f);
    EXPECT_EQ(r.maximum(6), 0.0f);
    EXPECT_EQ(r.numbers(8)[0], 0.0f);
    EXPECT_TRUE(std::isnan(r.numbers(8)[1]));
    EXPECT_FALSE(r.present(6, 0));
    EXPECT_TRUE(r.present(5, 0));
    const GraphSample empty = r.sample(6, 1);
    EXPECT_FALSE(empty.present);
    EXPECT_EQ(empty.value.toString(), QString());
    EXPECT_EQ(r.sample(4, 1).value.toString(), "abc");
    // Column 7 is the stove state (text), columns 8..9 on/off inputs: "0.0" reads as on, "false" off.
    EXPECT_EQ(r.text(7, 0), "0.0");
    // Bytes that are not UTF-8 are Latin-1.
    EXPECT_EQ(r.text(9, 0), QString::fromUtf8("\xc3\xa8 1"));
    EXPECT_EQ(r.numbers(9)[0], 1.0f);
    EXPECT_EQ(r.minimum(0), -0.5f);
    EXPECT_EQ(r.maximum(0), -0.5f);
}

TEST(Recording, AppendedRecordingThatGoesBackIsPutInOrder) {
    // A second recording appended after the clock was set back an hour.
    const QByteArray content =
        hbsupport::recordingText({RecordedModel::AirDucted, kDefaultStart, 3, 10}) +
        hbsupport::recordingText({RecordedModel::AirDucted, kDefaultStart - 3600, 2, 10});
    const Recording r = read(content, RecordedModel::AirDucted);
    ASSERT_EQ(r.size(), 5);
    const qint64 times[] = {kDefaultStart - 3600, kDefaultStart - 3590, kDefaultStart, kDefaultStart + 10,
                            kDefaultStart + 20};
    const qint64 lines[] = {0, 1, 0, 1, 2};
    for (qsizetype j = 0; j < 5; ++j) {
        EXPECT_EQ(r.time(j), times[j]);
        EXPECT_EQ(r.text(0, j).toUtf8(), hbsupport::field(RecordedModel::AirDucted, 0, lines[j]));
    }
}

TEST(Recording, FileReadInPartsEqualsOneRead) {
    // Two recordings, the second earlier, with damaged and overlong lines and texts that first appear
    // in later parts: three parts read on threads give what one read gives.
    QByteArray content = hbsupport::recordingText({RecordedModel::Basic, kDefaultStart, 2000, 1});
    content += "09/03/2024@11:00:00;1;2\n" + QByteArray(100000, 'x') + "\n";
    content += hbsupport::recordingText({RecordedModel::Basic, kDefaultStart - 7200, 3000, 1})
                   .replace("Stove", "Stufa");
    QTemporaryDir dir;
    QFile file(write(dir, "parts.csv", content));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::optional<Recording> one = readRecordingFile(file, RecordedModel::Basic, {}, 1);
    const std::optional<Recording> three = readRecordingFile(file, RecordedModel::Basic, {}, 3);
    ASSERT_TRUE(one && three);
    ASSERT_EQ(one->size(), 5001);
    ASSERT_EQ(three->size(), one->size());
    EXPECT_EQ(three->damagedLines(), 1);
    EXPECT_EQ(three->times(), one->times());
    for (int c = 0; c < one->columnCount(); ++c) {
        for (qsizetype j = 0; j < one->size(); ++j)
            ASSERT_EQ(three->text(c, j), one->text(c, j)) << c << " " << j;
        EXPECT_EQ(three->boundaries(c), one->boundaries(c));
        EXPECT_EQ(three->numbers(c), one->numbers(c));
    }
    std::atomic<bool> cancel{true};
    EXPECT_FALSE(readRecordingFile(file, RecordedModel::Basic, {&cancel, nullptr}, 3));
}

TEST(Recording, IntervalAndFirstStamp) {
    QTemporaryDir dir;
    const auto interval = [&](const QByteArray &content) {
        return readRecordingInterval(write(dir, "i.csv", content));
    };
    // 90 s between the first two data lines whose stamp is a date, whatever their values (all of
    // them missing in the first); a stamp not at the line start, or not followed by ";", is no data
    // line.
    IntervalReading reading = interval("MODEL=WATER\nDate;A\n 09/03/2024@23:58:00;1.5;\n09/03/2024@23:58:30\n"
                                       "09/03/2024@23:59:30;;;;\n31/02/2024@10:00:00;1.5;\n"
                                       "10/03/2024@00:01:00;2.5;\n10/03/2024@00:01:01;2.5;\n");
    EXPECT_TRUE(reading.opened);
    EXPECT_EQ(reading.first, hbsupport::stamp(2024, 3, 9, 23, 59, 30));
    EXPECT_EQ(reading.seconds, 90);

    reading = interval("MODEL=WATER\n09/03/2024@23:59:30;1.5;\n");
    EXPECT_EQ(reading.first, hbsupport::stamp(2024, 3, 9, 23, 59, 30));
    EXPECT_FALSE(reading.seconds);
    reading = interval("MODEL=WATER\n");
    EXPECT_FALSE(reading.first);
    EXPECT_FALSE(reading.seconds);
    reading = readRecordingInterval(dir.filePath("missing.csv"));
    EXPECT_FALSE(reading.opened);
}

// A device of `size` bytes of one repeated byte, produced as it is read.
class Flood : public QIODevice {
public:
    Flood(qint64 size, char byte) : m_size(size), m_byte(byte) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_size - m_done + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char *data, qint64 max) override {
        const qint64 n = std::min(max, m_size - m_done);
        std::memset(data, m_byte, std::size_t(n));
        m_done += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    qint64 m_size;
    qint64 m_done = 0;
    char m_byte;
};

TEST(Recording, FilesThatAreNotRecordings) {
    // One line of 64 MiB, and binary bytes: no model line, no data line.
    Flood line(qint64(64) << 20, 'M');
    EXPECT_FALSE(findModelName(line));
    Flood dataless(qint64(64) << 20, '1');
    std::optional<Recording> r = readRecording(dataless, RecordedModel::Water);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->size(), 0);
    QByteArray binary(1 << 20, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char((unsigned(i) * 7919u) >> 3);
    QBuffer buffer(&binary);
    buffer.open(QIODevice::ReadOnly);
    EXPECT_FALSE(findModelName(buffer));
    // A huge line that starts like a model line names no model.
    QByteArray huge = "MODEL=" + QByteArray(1 << 20, 'W');
    QBuffer model(&huge);
    model.open(QIODevice::ReadOnly);
    const std::optional<QString> name = findModelName(model);
    ASSERT_TRUE(name);
    EXPECT_EQ(name->size(), kMaxLineBytes - 6);
    EXPECT_FALSE(recordedModel(*name));
}

TEST(Recording, LoadStatuses) {
    QTemporaryDir dir;
    const auto load = [&](const QByteArray &content) {
        return loadRecordingFile(write(dir, "l.csv", content));
    };
    EXPECT_EQ(loadRecordingFile(dir.filePath("missing.csv")).status, LoadStatus::CannotOpen);
    EXPECT_EQ(load("Date;A\n09/03/2024@10:00:00;1.5;\n").status, LoadStatus::NoModelLine);
    EXPECT_EQ(load("MODEL=unknown\n").status, LoadStatus::UnknownModel);
    // The model is the text after the last "=", without ";", of the first line starting with MODEL.
    LoadResult result =
        load("x\nMODEL=a=standard;\nMODEL=WATER\n" + hbsupport::dataLine(RecordedModel::Basic, 0, 0));
    ASSERT_EQ(result.status, LoadStatus::Loaded);
    EXPECT_EQ(result.recording->model(), RecordedModel::Basic);
    EXPECT_EQ(result.recording->size(), 1);
    EXPECT_EQ(load("MODEL=AIR - DUCTED;;\n").recording->model(), RecordedModel::AirDucted);

    std::atomic<bool> cancel{true};
    EXPECT_EQ(loadRecordingFile(write(dir, "c.csv", "MODEL=WATER\n"), {&cancel, nullptr}).status,
              LoadStatus::Cancelled);

    // A recording being written may end in a line cut short: read to the last line end, that line is
    // not there yet (no damaged line); read to the file's end, it is a damaged line.
    const QString growing = write(dir, "g.csv",
                                  hbsupport::recordingText({RecordedModel::Water, kDefaultStart, 3, 1}) +
                                      hbsupport::stampText(kDefaultStart + 3) + ";12.5;");
    result = loadRecordingFile(growing, {}, ReadTo::LastLineEnd);
    EXPECT_EQ(result.recording->size(), 3);
    EXPECT_EQ(result.recording->damagedLines(), 0);
    EXPECT_EQ(loadRecordingFile(growing).recording->damagedLines(), 1);
}

TEST(LiveTrend, RowsDrawAsTheSameLinesReadFromAFile) {
    // WATER lines with missing values, appended live (one group, times in milliseconds) and read from
    // a file of the lines the trend keeps: the same texts, ranges, text boundaries and drawn points;
    // the trend, full, keeps the newest lines only.
    const auto line = [](qint64 j) {
        return hbsupport::waterLine(kDefaultStart + j, [&](int c) -> QByteArray {
            return j % 37 == 5 && c < 8 ? QByteArray() : hbsupport::field(RecordedModel::Water, c, j);
        });
    };
    const auto samePoints = [](const std::vector<QPointF> &a, const std::vector<QPointF> &b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                          [](QPointF p, QPointF q) { return isBreak(p) ? isBreak(q) : p == q; });
    };
    LiveTrend live(RecordedModel::Water, std::vector<int>(20, 0), kDefaultStart * 1000, 512);
    for (qint64 j = 0; j < 1000; ++j) {
        const QList<QByteArray> fields = line(j).trimmed().split(';');
        QStringList values;
        for (qsizetype c = 1; c <= 20; ++c)
            values << QString::fromUtf8(fields[c]);
        live.append(0, (kDefaultStart + j) * 1000, values);
        if (j != 399 && j != 999) continue;
        const Recording &kept = *live.group(0);
        ASSERT_EQ(kept.size(), j < 512 ? j + 1 : 449 + (j - 512) % 64); // 64 rows go at once
        QByteArray content = "MODEL=WATER\n";
        for (qint64 k = j + 1 - kept.size(); k <= j; ++k)
            content += line(k);
        const Recording file = read(content, RecordedModel::Water);
        ASSERT_EQ(file.size(), kept.size());
        EXPECT_EQ(kept.time(0), file.time(0) * 1000);
        for (int c = 0; c < 20; ++c) {
            for (qsizetype k = 0; k < kept.size(); ++k) {
                ASSERT_EQ(kept.text(c, k), file.text(c, k)) << c << " " << k;
                ASSERT_EQ(kept.present(c, k), file.present(c, k));
            }
            EXPECT_EQ(kept.boundaries(c), file.boundaries(c)) << c;
            EXPECT_EQ(kept.minimum(c), file.minimum(c)) << c;
            EXPECT_EQ(kept.maximum(c), file.maximum(c)) << c;
            if (kept.kind(c) == SeriesKind::Text) continue;
            std::vector<QPointF> livePoints, filePoints;
            ColumnIndex liveIndex, fileIndex;
            const Shape shape = kept.kind(c) == SeriesKind::OnOff ? Shape::Step : Shape::Linear;
            seriesPolyline(kept, c, TimeScale(kDefaultStart * 1000, 1000, kStep), {0.05, -10}, {-2, 700},
                           shape, {0, 900}, Drawing::Reduced, liveIndex, livePoints);
            seriesPolyline(file, c, TimeScale(kDefaultStart, 1, kStep), {0.05, -10}, {-2, 700}, shape,
                           {0, 900}, Drawing::Reduced, fileIndex, filePoints);
            EXPECT_TRUE(!livePoints.empty() && samePoints(livePoints, filePoints)) << c;
        }
    }
}

TEST(Recording, WindowTitle) {
    QLocale::setDefault(QLocale::c());
    const QDateTime first = stampDateTime(hbsupport::stamp(2024, 3, 9, 7, 5, 59));
    EXPECT_EQ(viewerTitle("log/WATER_09_03_24_07_05.csv", first),
              "log/WATER_09_03_24_07_05.csv - Saturday 09/03/2024 7:05");
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    EXPECT_EQ(viewerTitle("a.csv", first), "a.csv - sabato 09/03/2024 7:05");
    QLocale::setDefault(QLocale::c());
}

} // namespace
