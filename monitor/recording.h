// The recording file of the monitor (CSV, ';' separated): a "MODEL=" line, the column line of the
// model, then one data line per interval, a time stamp followed by the monitor values. A
// recording started into an existing file appends a new header and its lines.
#pragma once

#include "board/stovemodel.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class RecordFields;

// The name the save dialog proposes: "log/<MODEL>_dd_MM_yy_hh_mm.csv", relative to the working
// folder.
QString proposedRecordingName(StoveModel model, const QDateTime &now);
// The folder of the proposed names.
QString recordingFolder();
// "Date" and the titles of the model's values, in the current language.
QStringList recordingColumns(StoveModel model);
// The "MODEL=" line and the column line, each ended by a line feed.
QString recordingHeader(StoveModel model);
// "dd/MM/yyyy@hh:mm:ss".
QString recordingStamp(const QDateTime &stamp);
// One data line: the stamp, ';', one item per column of the model followed by ';' (the value as it
// stands, or nothing for a value missing), a line feed.
QString recordingLine(const QDateTime &stamp, const RecordFields &fields, StoveModel model);

// Appends `text` to the file, creating it if needed. False when the file cannot be opened or not all
// of the text reached it (a full disk, a device that refuses writes).
bool appendToRecording(const QString &path, const QString &text);
// Appends one data line. The lines that fell due before the newest of a late tick pass no fields
// (every value item empty).
bool writeRecordLine(const QString &path, const QDateTime &stamp, const RecordFields &fields,
                     StoveModel model);

// The recording's own clock. Line n (1, 2, ...) falls due n intervals after the start and is
// stamped start + n intervals, whatever the moment it is written: a tick that comes late writes
// every line due by then, each once, so a busy machine neither skips nor repeats a line, and the
// stamps do not drift with the timer.
//
// Of the lines taken at once only the newest carries the values at hand: it fell due less than an
// interval ago, which is as fresh as the values themselves (each is read once a polling cycle). The
// older ones fell due an interval or more before these values were read: they are written with
// empty value items (see writeRecordLine), so the file keeps one line per interval and the graph
// viewer shows a gap there rather than values drawn at a time they were not measured.
class RecordingClock {
public:
    RecordingClock() = default;
    // `intervalMs` is at least one second and a whole number of seconds.
    RecordingClock(const QDateTime &start, qint64 intervalMs);

    const QDateTime &start() const { return m_start; }
    qint64 intervalMs() const { return m_intervalMs; }
    // The stamps of the lines due by `elapsedMs` that were not taken yet, oldest first.
    QList<QDateTime> takeDue(qint64 elapsedMs);
    // Milliseconds from `elapsedMs` until the next line not taken yet falls due (0 if it is due).
    qint64 untilNext(qint64 elapsedMs) const;
    // The lines taken so far.
    qint64 linesTaken() const { return m_taken; }

private:
    QDateTime m_start;
    qint64 m_intervalMs = 1000;
    qint64 m_taken = 0;
};
