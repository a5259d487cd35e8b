// The debug page: the stove's live values decoded per monitor index, and their recording to a CSV
// file at a chosen interval.
#pragma once

#include "board/stovemodel.h"

#include <QWidget>

#include <memory>

class QAbstractButton;
class Session;

namespace Ui {
class DebugPageForm;
}

class DebugPage : public QWidget {
    Q_OBJECT

public:
    explicit DebugPage(Session &session, QWidget *parent = nullptr);
    ~DebugPage() override;

    QAbstractButton *homeButton() const;
    QAbstractButton *parametersButton() const;
    QAbstractButton *graphicsButton() const;
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
    void toggleRec(bool on);
    void pulse();

private:
    Session &m_session;
    std::unique_ptr<Ui::DebugPageForm> m_ui;
    bool m_recording = false;
};
