#include "monitor/recording.h"

#include "app/texts.h"
#include "monitor/monitorvalues.h"

#include <QDir>
#include <QFile>

#include <algorithm>

QString recordingFolder() {
    return QStringLiteral("log");
}

QString proposedRecordingName(StoveModel model, const QDateTime &now) {
    return QStringLiteral("%1%2%3_%4_%5_%6_%7_%8.csv")
        .arg(recordingFolder(), QDir::separator(), modelName(model, false),
             now.toString(QStringLiteral("dd")), now.toString(QStringLiteral("MM")),
             now.toString(QStringLiteral("yy")), now.toString(QStringLiteral("hh")),
             now.toString(QStringLiteral("mm")));
}

QStringList recordingColumns(StoveModel model) {
    QStringList titles{textAt(Text::Date)};
    for (const MonitorFieldDef &def : recordedFields(model))
        titles.append(fieldName(def.name));
    return titles;
}

QString recordingHeader(StoveModel model) {
    return QStringLiteral("MODEL=%1\n%2\n")
        .arg(modelName(model, false).toUpper(), recordingColumns(model).join(QLatin1Char(';')));
}

QString recordingStamp(const QDateTime &stamp) {
    return stamp.toString(QStringLiteral("dd/MM/yyyy@hh:mm:ss"));
}

QString recordingLine(const QDateTime &stamp, const RecordFields &fields, StoveModel model) {
    return recordingStamp(stamp) + QLatin1Char(';') + fields.joined(model) + QLatin1Char('\n');
}

bool appendToRecording(const QString &path, const QString &text) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Text)) return false;
    const QByteArray bytes = text.toUtf8();
    // The data goes out at flush(): a full disk shows only there.
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

bool writeRecordLine(const QString &path, const QDateTime &stamp, const RecordFields &fields,
                     StoveModel model) {
    return appendToRecording(path, recordingLine(stamp, fields, model));
}

RecordingClock::RecordingClock(const QDateTime &start, qint64 intervalMs)
    : m_start(start), m_intervalMs(std::max<qint64>(intervalMs, 1)) {}

QList<QDateTime> RecordingClock::takeDue(qint64 elapsedMs) {
    QList<QDateTime> stamps;
    const qint64 due = elapsedMs / m_intervalMs;
    for (; m_taken < due; ++m_taken)
        stamps.append(m_start.addSecs((m_taken + 1) * m_intervalMs / 1000));
    return stamps;
}

qint64 RecordingClock::untilNext(qint64 elapsedMs) const {
    return std::max<qint64>((m_taken + 1) * m_intervalMs - elapsedMs, 0);
}
