// Recording files as the debug page writes them, generated for the viewer's tests, its benchmark and
// its screenshot: "MODEL=" line, column line, then one data line per interval with plausible values
// (temperatures with one decimal, speeds, on/off inputs, stove states, set-points).
#pragma once

#include "app/texts.h"
#include "graphs/recording.h"
#include "graphs/seriestable.h"

#include <QByteArray>
#include <QDate>
#include <QFile>
#include <QString>

#include <cmath>
#include <functional>

namespace hbsupport {

using graphs::RecordedModel;

// 09/03/2024 10:00:00 as the recorder's wall-clock seconds.
inline qint64 stamp(int year, int month, int day, int hour, int minute, int second) {
    return (QDate(year, month, day).toJulianDay() - 2440588) * 86400 + hour * 3600 + minute * 60 + second;
}
inline const qint64 kDefaultStart = stamp(2024, 3, 9, 10, 0, 0);

struct RecordingPlan {
    RecordedModel model = RecordedModel::Water;
    qint64 start = kDefaultStart;
    qint64 lines = 100;
    qint64 interval = 1;
};

inline QByteArray stampText(qint64 seconds) {
    return graphs::stampDateTime(seconds).toString(QStringLiteral("dd/MM/yyyy@hh:mm:ss")).toLatin1();
}

inline const char *modelLine(RecordedModel model) {
    switch (model) {
    case RecordedModel::Basic:
        return "MODEL=BASIC";
    case RecordedModel::Water:
        return "MODEL=WATER";
    case RecordedModel::AirDucted:
        return "MODEL=AIR - DUCTED";
    }
    return "";
}

inline QByteArray header(RecordedModel model) {
    QByteArray text = QByteArray(modelLine(model)) + '\n' + textAt(Text::Date).toUtf8();
    for (const graphs::SeriesDef &def : graphs::seriesDefs(model))
        text += ';' + graphs::seriesName(def).toUtf8();
    return text + '\n';
}

// The value of column `column` at line `j`: slow waves with a little sensor noise, inputs that
// switch every 20 to 60 minutes and a stove state that changes every quarter of an hour.
inline QByteArray field(RecordedModel model, int column, qint64 j) {
    const auto defs = graphs::seriesDefs(model);
    const graphs::SeriesDef &def = defs[std::size_t(column)];
    const double phase = double(j) / 600.0 + column;
    const double noise = double((quint64(j) * 2654435761u >> 16) & 0xff) / 255.0 - 0.5;
    const qint64 cycle = j / 900;
    const auto decimal = [](double v) { return QByteArray::number(std::round(v * 10) / 10, 'f', 1); };
    const auto whole = [](double v) { return QByteArray::number(qint64(std::lround(v))); };
    switch (def.kind) {
    case graphs::SeriesKind::OnOff:
        return ((j / (1200 + 370 * column)) + column) % 2 ? "1" : "0";
    case graphs::SeriesKind::Text:
        // The stove states from "Stove Off" to "Stove On (maximum efficiency)" in turn, and an alarm
        // now and then.
        if (def.nameText == Text::StoveStatus) {
            constexpr int first = static_cast<int>(Text::StoveOff);
            constexpr int last = static_cast<int>(Text::StoveOnMaximumEfficiency);
            return textAt(first + int(cycle % (last - first + 1))).toUtf8();
        }
        if (def.nameText == Text::Alarms)
            return cycle % 4 == 3 ? textAt(Text::EndFuelAlarm).toUtf8() : QByteArray();
        return whole(800 + 100 * double(cycle % 5)); // set-point
    case graphs::SeriesKind::Analogue:
        break;
    }
    switch (column) {
    case 0:
        return decimal(150 + 60 * std::sin(phase) + noise);
    case 1:
        return decimal(20 + 2 * std::sin(phase / 5));
    case 2:
        return whole(1 + double(cycle % 5));
    case 5:
        return decimal(2 + std::sin(phase));
    default:
        return whole(500 + 400 * std::sin(phase) + double(column));
    }
}

inline QByteArray dataLine(RecordedModel model, qint64 time, qint64 j) {
    QByteArray line = stampText(time) + ';';
    for (int c = 0; c < graphs::valueColumnCount(model); ++c)
        line += field(model, c, j) + ';';
    return line + '\n';
}

// A WATER data line whose fields are given by column.
inline QByteArray waterLine(qint64 time, const std::function<QByteArray(int)> &value) {
    QByteArray line = stampText(time) + ';';
    for (int c = 0; c < graphs::valueColumnCount(RecordedModel::Water); ++c)
        line += value(c) + ';';
    return line + '\n';
}

inline QByteArray recordingText(const RecordingPlan &def) {
    QByteArray text = header(def.model);
    for (qint64 j = 0; j < def.lines; ++j)
        text += dataLine(def.model, def.start + j * def.interval, j);
    return text;
}

// Writes a recording of any length without holding it in memory.
inline bool writeRecording(const QString &path, const RecordingPlan &def) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    file.write(header(def.model));
    QByteArray chunk;
    for (qint64 j = 0; j < def.lines; ++j) {
        chunk += dataLine(def.model, def.start + j * def.interval, j);
        if (chunk.size() > (1 << 20)) {
            file.write(chunk);
            chunk.clear();
        }
    }
    return file.write(chunk) == chunk.size() && file.flush();
}

} // namespace hbsupport
