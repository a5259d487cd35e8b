// Monitor triplet decoding, the recording file, the recording clock and the live trend (no window).
#include "app/texts.h"
#include "monitor/monitortrend.h"
#include "monitor/monitorvalues.h"
#include "monitor/recording.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

std::string s(const QString &text) {
    return text.toStdString();
}

QString shownText(const DecodedTriplet &decoded, MonitorField field) {
    for (const ShownValue &value : decoded.shown)
        if (value.field == field) return value.text;
    return QStringLiteral("<absent>");
}

int shownNumber(const DecodedTriplet &decoded, MonitorField field) {
    for (const ShownValue &value : decoded.shown)
        if (value.field == field) return value.number;
    return -99999;
}

std::string fragment(StoveModel model, int index, short t1, short t2, short t3, bool huba = true) {
    const auto decoded = decodeTriplet(model, index, t1, t2, t3, huba);
    return decoded ? s(decoded->fragment()) : "<none>";
}

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

class Texts : public ::testing::Test {
protected:
    void SetUp() override { useDefaultTexts(); }
    void TearDown() override { useDefaultTexts(); }
};

} // namespace

TEST_F(Texts, SpeedsTenthsStatesAndAlarms) {
    EXPECT_EQ(s(fanSpeedText(0)), "OFF");
    EXPECT_EQ(s(fanSpeedText(100)), "MAX");
    EXPECT_EQ(s(fanSpeedText(55)), "55%");
    EXPECT_EQ(s(fanSpeedText(-3)), "-3%");
    EXPECT_EQ(s(extractorSpeedText(0)), "OFF");
    EXPECT_EQ(s(tenthsText(-5)), "-0.5");
    EXPECT_EQ(s(tenthsText(-32768)), "-3276.8");

    // State 13 carries its sub-state in bits 5..12; other states ignore those bits.
    EXPECT_EQ(s(stoveStateText(13 + 2 * 32)), "Stove On (maximum efficiency)");
    EXPECT_EQ(stoveStateNumber(13 + 2 * 32), 13);
    EXPECT_EQ(s(stoveStateText(13 + 32)), "Stove On (modulation)");
    EXPECT_EQ(s(stoveStateText(13 + 3 * 32)), "Stove On");
    EXPECT_EQ(s(stoveStateText(13 + 257 * 32)), "Stove On (modulation)"); // sub-state is 8 bits
    EXPECT_EQ(s(stoveStateText(7)), "");
    EXPECT_EQ(stoveStateNumber(7), 7);
    // A negative word: the sign bits do not disturb the state.
    EXPECT_EQ(s(stoveStateText(static_cast<short>(0x8008))), "Stove Off");
    EXPECT_EQ(s(stoveStateText(static_cast<short>(0xFFED))), "Stove On"); // sub-state 0xFF

    EXPECT_EQ(s(alarmText(8)), "Huba alarm");
    EXPECT_EQ(s(alarmText(0)), "");
    EXPECT_EQ(s(alarmText(9)), "");
    EXPECT_EQ(s(alarmText(-1)), "");
}

TEST_F(Texts, ItalianStatesAlarmsFragmentsAndColumns) {
    ASSERT_TRUE(loadLanguageFile(QStringLiteral(HB_SOURCE_DIR "/lang/Italiano.lng")));
    EXPECT_EQ(s(stoveStateText(77)), "Stufa accesa (massimo rendimento)");
    EXPECT_EQ(fragment(StoveModel::Basic, 6, 2, 0, 0), "Allarme sonda fumi;");
    EXPECT_EQ(s(recordingColumns(StoveModel::AirDucted).at(11)), "Termostato esterno canale 2");
    // Values are written the same in every language.
    EXPECT_EQ(fragment(StoveModel::Basic, 2, 100, 0, 25), "100;0;2.5;");
}

TEST_F(Texts, BasicTripletsShownAndRecorded) {
    const auto speeds = decodeTriplet(StoveModel::Basic, 2, 100, 0, 25, true);
    ASSERT_TRUE(speeds);
    EXPECT_EQ(s(shownText(*speeds, MonitorField::FanSpeed)), "MAX");
    EXPECT_EQ(s(shownText(*speeds, MonitorField::ExtractorSpeed)), "OFF");
    EXPECT_EQ(s(shownText(*speeds, MonitorField::CochleaTime)), "2.5");
    EXPECT_EQ(s(speeds->fragment()), "100;0;2.5;"); // raw numbers, not the OFF/MAX texts
    EXPECT_EQ(fragment(StoveModel::Basic, 2, 0, 31, -3), "0;31;-0.3;");

    const auto state = decodeTriplet(StoveModel::Basic, 3, 40, 77, 90, true);
    ASSERT_TRUE(state);
    EXPECT_EQ(shownNumber(*state, MonitorField::Potentiometer), 40);
    EXPECT_EQ(s(shownText(*state, MonitorField::StateNumber)), "13");
    EXPECT_EQ(s(shownText(*state, MonitorField::StateText)), "Stove On (maximum efficiency)");
    EXPECT_EQ(s(shownText(*state, MonitorField::FuelCorrection)), "-100");
    EXPECT_EQ(shownNumber(*state, MonitorField::FuelCorrection), -100);
    EXPECT_EQ(s(state->fragment()), "40;Stove On (maximum efficiency);-100;"); // no status number
    EXPECT_EQ(fragment(StoveModel::Basic, 3, 24, 7, 100), "24;;0;");

    EXPECT_EQ(fragment(StoveModel::Basic, 4, 35, 12, 999, true), "35;120;");
    EXPECT_EQ(fragment(StoveModel::Basic, 4, 35, 12, 999, false), "350;120;");
    EXPECT_EQ(fragment(StoveModel::Basic, 5, 99, 17, 16), "17;16;"); // the first value is not used
    const auto noAlarm = decodeTriplet(StoveModel::Basic, 6, 0, 0, 0, true);
    ASSERT_TRUE(noAlarm);
    EXPECT_EQ(s(shownText(*noAlarm, MonitorField::Alarm)), "");
    EXPECT_EQ(s(noAlarm->fragment()), ";");
    EXPECT_EQ(fragment(StoveModel::Basic, 0, 1, 2, 3), "<none>");
    EXPECT_EQ(fragment(StoveModel::Unknown, 1, 1, 2, 3), "<none>");
}

TEST_F(Texts, WaterAndAirDuctedTripletsShownAndRecorded) {
    // Bits 1, 3, 4, 5, 7 of the low byte; bit 2 and the high byte are not inputs.
    const auto inputs = decodeTriplet(StoveModel::Water, 3, 55, 11, static_cast<short>(0x0100 | 0xB6), true);
    ASSERT_TRUE(inputs);
    EXPECT_EQ(s(inputs->fragment()), "55;Fuel Load;1;0;1;1;1;");
    EXPECT_EQ(shownNumber(*inputs, MonitorField::Depressimeter), 1);
    EXPECT_EQ(shownNumber(*inputs, MonitorField::PelletThermostat), 0);
    EXPECT_EQ(shownNumber(*inputs, MonitorField::Fluxstate), 1);
    EXPECT_EQ(s(shownText(*inputs, MonitorField::StateNumber)), "11");
    EXPECT_EQ(fragment(StoveModel::Water, 3, 55, 8, 0x08), "55;Stove Off;0;1;0;0;0;");
    EXPECT_EQ(fragment(StoveModel::Water, 4, 35, 12, 37, false), "350;120;3.7;");
    EXPECT_EQ(fragment(StoveModel::Water, 5, 0x18, 5, 6), "1;1;5;6;");
    EXPECT_EQ(fragment(StoveModel::Water, 5, 0x08, -5, 6), "1;0;-5;6;");
    EXPECT_EQ(fragment(StoveModel::Water, 6, 1, 2, 3), "<none>");

    const auto air = decodeTriplet(StoveModel::AirDucted, 3, 30, 10, 0x10, true);
    ASSERT_TRUE(air);
    EXPECT_EQ(s(air->fragment()), "30;Resistance Ignition;0;0;1;0;0;");
    EXPECT_EQ(shownNumber(*air, MonitorField::ExternalThermostatChannel2), 1);
    EXPECT_EQ(s(shownText(*air, MonitorField::ProbeChannel1)), "30");
    EXPECT_EQ(fragment(StoveModel::AirDucted, 4, 35, 12, 80), "35;120;80;"); // channel 1 unscaled
    EXPECT_EQ(fragment(StoveModel::AirDucted, 5, 60, 5, 6), "60;5;6;");
    EXPECT_EQ(fragment(StoveModel::AirDucted, 6, 1, 2, 3), "<none>");
}

TEST_F(Texts, ColumnLinesAndFileNames) {
    EXPECT_EQ(
        s(recordingHeader(StoveModel::Water)),
        "MODEL=WATER\nDate;Smoke Temperature;Air Temperature;Power;Environment Fan Speed;Smoke Extractor "
        "Speed;Cochlea ON time;Water probe;Stove Automa Status;Depressimetro;Pellet thermostat;Fluxstate;"
        "External thermostat;Heat thermostat;Encoder Set;Encoder Current;wpx 250;Heating pump;Sanitary "
        "pump;Instantaneous pressure;Average pressure\n");
    EXPECT_EQ(
        s(recordingHeader(StoveModel::AirDucted)),
        "MODEL=AIR - DUCTED\nDate;Smoke Temperature;Air Temperature;Power;Environment Fan Speed;Smoke "
        "Extractor Speed;Cochlea ON time;Probe channel 1;Stove Automa Status;Depressimetro;Pellet "
        "thermostat;External thermostat channel 2;External thermostat;Heat thermostat;Encoder Set;Encoder "
        "Current;Channel 1;Channel 2;Instantaneous pressure;Average pressure\n");
    EXPECT_EQ(s(recordingColumns(StoveModel::Basic).mid(7).join(';')),
              "Potenziometer;Stove Automa Status;Fuel Correction;Encoder Set;Encoder Current;Instantaneous "
              "pressure;Average pressure;Alarms");

    // With every index read, a line's items are the indexes' own, in order.
    for (StoveModel model : kKnownModels) {
        RecordFields fields;
        QString all;
        for (int index = 1; index <= monitorIndexCount(model); ++index) {
            const auto decoded = decodeTriplet(model, index, 1, 77, 3, false);
            fields.set(index, *decoded);
            all += decoded->fragment();
        }
        EXPECT_EQ(s(fields.joined(model)), s(all));
    }

    const QDateTime now(QDate(2024, 3, 5), QTime(7, 9, 59));
    EXPECT_EQ(s(proposedRecordingName(StoveModel::AirDucted, now)), "log/AIR - DUCTED_05_03_24_07_09.csv");
    EXPECT_EQ(s(proposedRecordingName(StoveModel::Unknown, now)), "log/unknown_05_03_24_07_09.csv");
}

TEST_F(Texts, WriterAppendsAndReportsFailures) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rec.csv"));
    {
        QFile existing(path);
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
        existing.write("earlier content\n");
    }
    // Indexes that have not arrived, or that were forgotten when the board fell silent, keep their
    // columns with empty items: no value ever sits under another column's title.
    RecordFields fields;
    const auto set = [&](StoveModel model, int index, short t1, short t2, short t3) {
        fields.set(index, *decodeTriplet(model, index, t1, t2, t3, true));
    };
    set(StoveModel::Basic, 1, 250, 21, 3);
    set(StoveModel::Basic, 6, 0, 0, 0);                                 // alarm without text
    fields.set(7, *decodeTriplet(StoveModel::Basic, 5, 0, 9, 9, true)); // no such index: ignored
    const QDateTime stamp(QDate(2023, 12, 31), QTime(23, 59, 59));
    ASSERT_TRUE(appendToRecording(path, recordingHeader(StoveModel::Basic)));
    ASSERT_TRUE(writeRecordLine(path, stamp, fields, StoveModel::Basic));
    set(StoveModel::Basic, 6, 8, 0, 0);
    set(StoveModel::Basic, 3, 40, 77, 90);
    ASSERT_TRUE(writeRecordLine(path, stamp.addSecs(1), fields, StoveModel::Basic));
    fields.forget(1);
    EXPECT_FALSE(fields.has(1));
    EXPECT_TRUE(fields.has(3));
    ASSERT_TRUE(writeRecordLine(path, stamp.addSecs(2), fields, StoveModel::Basic));
    fields.forgetAll();
    ASSERT_TRUE(writeRecordLine(path, stamp.addSecs(3), fields, StoveModel::Basic));
    // WATER: index 5 alone puts the pumps and pressures in the last four columns.
    set(StoveModel::Water, 5, 0x08, 17, 16);
    ASSERT_TRUE(appendToRecording(path, recordingHeader(StoveModel::Water)));
    ASSERT_TRUE(writeRecordLine(path, stamp.addSecs(4), fields, StoveModel::Water));
    // AIR - DUCTED: index 3 alone, between the empty columns of the others.
    fields.forgetAll();
    set(StoveModel::AirDucted, 3, 30, 10, 0x10);
    ASSERT_TRUE(appendToRecording(path, recordingHeader(StoveModel::AirDucted)));
    ASSERT_TRUE(writeRecordLine(path, stamp.addSecs(5), fields, StoveModel::AirDucted));
    EXPECT_EQ(readAll(path).toStdString(),
              "earlier content\n" + s(recordingHeader(StoveModel::Basic)) +
                  "31/12/2023@23:59:59;250;21;3;;;;;;;;;;;;\n"
                  "01/01/2024@00:00:00;250;21;3;;;;40;Stove On (maximum efficiency);-100;;;;;Huba alarm;\n"
                  "01/01/2024@00:00:01;;;;;;;40;Stove On (maximum efficiency);-100;;;;;Huba alarm;\n"
                  "01/01/2024@00:00:02;;;;;;;;;;;;;;;\n" +
                  s(recordingHeader(StoveModel::Water)) + "01/01/2024@00:00:03;;;;;;;;;;;;;;;;;1;0;17;16;\n" +
                  s(recordingHeader(StoveModel::AirDucted)) +
                  "01/01/2024@00:00:04;;;;;;;30;Resistance Ignition;0;0;1;0;0;;;;;;;\n");

    // A device that takes nothing, a folder in place of the file, a folder that does not exist.
    EXPECT_FALSE(writeRecordLine(QStringLiteral("/dev/full"), stamp, fields, StoveModel::Basic));
    EXPECT_FALSE(appendToRecording(dir.path(), QStringLiteral("x\n")));
    EXPECT_FALSE(appendToRecording(dir.filePath(QStringLiteral("missing/rec.csv")), QStringLiteral("x\n")));
}

TEST(RecordingClock, StampsFollowTheRecordingsOwnClock) {
    const QDateTime start(QDate(2024, 2, 28), QTime(23, 59, 58, 700));
    RecordingClock clock(start, 1000);
    EXPECT_TRUE(clock.takeDue(999).isEmpty());
    EXPECT_EQ(clock.untilNext(999), 1);
    EXPECT_EQ(clock.takeDue(1000), QList<QDateTime>{start.addSecs(1)});
    // A busy machine: the tick comes 2.5 intervals late and writes both lines due, each once, across
    // midnight.
    const QList<QDateTime> late = clock.takeDue(3500);
    ASSERT_EQ(late.size(), 2);
    EXPECT_EQ(s(recordingStamp(late.at(0))), "29/02/2024@00:00:00");
    EXPECT_EQ(s(recordingStamp(late.at(1))), "29/02/2024@00:00:01");
    EXPECT_TRUE(clock.takeDue(3999).isEmpty());
    EXPECT_EQ(clock.untilNext(3600), 400);
    EXPECT_EQ(clock.linesTaken(), 3);

    RecordingClock slow(start, 90 * 1000);
    EXPECT_TRUE(slow.takeDue(89999).isEmpty());
    EXPECT_EQ(s(recordingStamp(slow.takeDue(90000).value(0))), "29/02/2024@00:01:28");
    EXPECT_EQ(slow.untilNext(90000), 90000);
}

TEST_F(Texts, TrendBreaksWhereValuesDidNotArrive) {
    // WATER, one read every 100 ms. Values lie at the time they arrived, under their columns; an index
    // a cycle did not bring breaks its line at the next cycle, and its neighbours' lines go on; a
    // silence breaks every line, and so does leaving the page.
    qint64 now = 1'000'000'500;
    MonitorTrend trend([&] { return now; });
    trend.start(StoveModel::Water);
    const graphs::LiveTrend &live = *trend.trend();
    ASSERT_EQ(live.columnCount(), 20);
    EXPECT_EQ(live.origin(), 1'000'000'000);
    EXPECT_EQ(live.groupOf(19), 4); // the average pressure comes with index 5
    EXPECT_EQ(live.columnInGroup(19), 3);
    const auto read = [&](int index, short t1) {
        now += 100;
        trend.add(index, *decodeTriplet(StoveModel::Water, index, t1, 8, 3, true));
    };
    const auto rows = [&](int index) {
        const graphs::Recording &group = *live.group(index - 1);
        std::string text;
        for (qsizetype j = 0; j < group.size(); ++j)
            text += std::to_string(group.time(j) - 1'000'000'500) + ":" +
                    (group.present(0, j) ? s(group.text(0, j)) : std::string("-")) + " ";
        return text;
    };
    for (int index : {1, 2, 3, 4, 5, 1, 2, 4, 5, 1, 2, 3})
        read(index, short(10 * index));
    EXPECT_EQ(rows(1), "100:10 600:10 1000:10 ");
    EXPECT_EQ(rows(3), "300:30 1000:- 1200:30 ");
    EXPECT_EQ(s(live.group(2)->text(1, 2)), "Stove Off");
    EXPECT_EQ(s(live.group(4)->text(3, 1)), "3");

    now += MonitorTrend::kSilenceMs; // the board silent: nothing arrives
    trend.tick();
    EXPECT_EQ(rows(5), "500:0 900:0 ");
    now += 100;
    trend.tick();
    trend.tick(); // broken once
    EXPECT_EQ(rows(5), "500:0 900:0 4500:- ");
    read(4, 40);
    EXPECT_EQ(rows(4), "400:40 800:40 4500:- 4600:40 ");
    EXPECT_EQ(live.end(), now);

    trend.pause();
    read(5, 50); // queued before the polling stopped
    trend.resume();
    now += 1000;
    trend.tick();
    EXPECT_EQ(rows(4), "400:40 800:40 4500:- 4600:40 4600:- ");
    EXPECT_EQ(live.end(), now);

    trend.start(StoveModel::Basic);
    EXPECT_EQ(trend.trend()->columnCount(), 14);
    EXPECT_EQ(trend.trend()->groupCount(), 6);
    EXPECT_EQ(MonitorTrend::capacityFor(StoveModel::Basic), 24 * 3600 * 1000 / (6 * 75));
}
