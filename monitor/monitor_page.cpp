// Debug monitor, recording and graphs. The monitor fields, the recording file and the graph viewer
// come with their own features; until then the page shows only the identity and the controls.
#include "ui/hearthbench.h"
#include "ui_hearthbench.h"

#include <QTime>

void HearthBench::buildDebugPage() {}

void HearthBench::clearDebugValues() {}

void HearthBench::resetRecordingControls() {
    m_ui->gapSecondsTimeEdit->setEnabled(true);
    m_ui->ledRecordingLabel->clear();
    recording = false;
    m_ui->elapsedTimeLabel->hide();
    m_ui->recCounterTimeEdit->hide();
    m_ui->recCounterTimeEdit->setTime(QTime(0, 0));
}

void HearthBench::stopRecordingTimers() {
    oneSecondTimer.stop();
    intervalTimer.stop();
}

void HearthBench::debugSlot(short index, short t1, short t2, short t3) {
    Q_UNUSED(index);
    Q_UNUSED(t1);
    Q_UNUSED(t2);
    Q_UNUSED(t3);
}

void HearthBench::toggleRec(bool on) {
    Q_UNUSED(on);
    // Nothing records yet: leave the button in its idle state.
    m_ui->registrationToolButton->setChecked(false);
}

void HearthBench::pulse() {}

void HearthBench::showGraphicsSlot() {}
