// The debug page: the stove's live values decoded per monitor index, and their recording to a CSV
// file at a chosen interval.
#pragma once

#include "board/stovemodel.h"
#include "monitor/monitorvalues.h"
#include "monitor/recording.h"

#include <QBasicTimer>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class QDial;
class QLabel;
class QLineEdit;
class Session;
class TrendWindow;

namespace Ui {
class DebugPageForm;
}

class DebugPage : public QWidget {
    Q_OBJECT

public:
    explicit DebugPage(Session &session, QWidget *parent = nullptr);
    ~DebugPage() override;

    void applyTexts();
    void showIdentity(StoveModel model, const QString &identity);
    // Builds the monitor fields of the detected model. Run once, at the first detection.
    void build();
    void setGroupStyleSheet(const QString &styleSheet);

    void clearDebugValues();
    // The recording controls as on entering the page: idle, clock hidden.
    void resetRecordingControls();
    bool isRecording() const { return m_recording; }
    // Ends a running recording (leaving the page).
    void stopRecording();

    // A monitor triplet read by the polling thread.
    void debugSlot(short index, short t1, short t2, short t3);
    // The polling thread's news that the board stopped answering (the values shown are marked as
    // not live, and a recording writes empty items until each value arrives again) or answers again.
    void showBoardSilent(bool silent);
    // Recording lines write empty items for every value until the board sends it again.
    void forgetRecordedValues() { m_recordFields.forgetAll(); }
    void toggleRec(bool on);
    void pulse();

    // Where a recording takes its start time from (the wall clock unless a test sets another).
    void setWallClock(std::function<QDateTime()> now) { m_now = std::move(now); }
    // The live trend of the values, in a window of its own.
    TrendWindow *trendWindow() const { return m_trend; }

signals:
    void homeRequested();
    void parametersRequested();
    void graphicsRequested();

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    void startRecording();
    void showIdleRecordingControls();
    void writeDueLines();
    void reportWriteFailure();
    void relabelSetPoint();
    QLabel *addLabel(int row, int column, const MonitorFieldDef &def);

    Session &m_session;
    std::unique_ptr<Ui::DebugPageForm> m_ui;
    StoveModel m_builtModel = StoveModel::Unknown;
    QHash<MonitorField, QLineEdit *> m_fields;
    QHash<MonitorField, QDial *> m_dials;
    QHash<MonitorField, QLabel *> m_indicators;
    QHash<MonitorField, QLabel *> m_labels;
    RecordFields m_recordFields;
    QLabel *m_silentLabel = nullptr; // "the board does not answer"
    TrendWindow *m_trend = nullptr;

    bool m_recording = false;
    QString m_fileName;
    StoveModel m_recordedModel = StoveModel::Unknown;
    RecordingClock m_clock;
    QElapsedTimer m_elapsed;
    QBasicTimer m_secondTimer;
    QBasicTimer m_intervalTimer;
    QTimer m_pulseTimer;
    QTimer m_ledTimer;
    qint64 m_unwrittenLines = 0;
    bool m_failureShown = false;
    std::function<QDateTime()> m_now = [] { return QDateTime::currentDateTime(); };
};
