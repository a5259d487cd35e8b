// The hardware test page: the board's inputs and the outputs the technician drives by hand or with
// the automatic sequence, with the board in test mode while the page is shown.
#pragma once

#include "board/stovemodel.h"
#include "hwtest/inputs.h"
#include "hwtest/outputs.h"
#include "hwtest/testmodeexit.h"

#include <QList>
#include <QWidget>

#include <array>
#include <atomic>
#include <memory>

class QAbstractButton;
class QDial;
class QLabel;
class QLineEdit;
class QSlider;
class QSpinBox;
class Session;

namespace Ui {
class TestHwPageForm;
}

class TestHwPage : public QWidget {
    Q_OBJECT

public:
    explicit TestHwPage(Session &session, QWidget *parent = nullptr);
    ~TestHwPage() override;

    void applyTexts();
    void showIdentity(StoveModel model, const QString &identity);
    // Builds the inputs and outputs of the detected model. Run once, at the first detection.
    void build();
    void setGroupStyleSheet(const QString &styleSheet);

    // Puts the board into test mode with every output off and the controls at rest; a box says
    // what the board did not confirm.
    void enterTestMode();
    // Ends a running automatic test, switches every output off and takes the board out of test
    // mode. When the board does not confirm, a box says so and the page goes on trying in the
    // background until the board confirms, the page is entered again or the window closes.
    void leaveTestMode();
    // Leaving test mode as the window closes: while the board may still be in test mode (the page
    // is shown, or leaving it failed), tries again in the foreground, and after each failure asks
    // whether to retry or close anyway.
    void leaveTestModeForClosing();
    // True from entering test mode until the board confirmed leaving it.
    bool testModeMayBeOn() const { return m_testModeMayBeOn; }
    // Holds the background attempts to leave test mode while the board is being configured (a
    // firmware update needs the line to itself), and lets them go on afterwards.
    void holdTestModeExit(bool hold);
    // An input value read by the polling thread.
    void testhwinputSlot(short input, short val);
    // The polling thread's news that the board stopped answering (the inputs shown are marked as
    // not live) or answers again.
    void showBoardSilent(bool silent);
    // Runs the automatic sequence. Events are handled while it runs, so the page can be left (which
    // ends it); a second run does not start while one runs.
    void automaticTestHW();
    bool automaticTestRunning() const { return m_automaticRunning; }

signals:
    void homeRequested();

private:
    struct InputWidgets {
        hwtest::InputRow row;
        QLabel *label = nullptr;
        QLineEdit *field = nullptr;
        QDial *dial = nullptr; // the potentiometer only
    };
    struct IndicatorWidgets {
        hwtest::DigitalInput input;
        QLabel *label = nullptr;
        QLabel *picture = nullptr;
    };
    struct OutputWidgets {
        hwtest::OutputRow row;
        QLabel *label = nullptr;
        QAbstractButton *button = nullptr; // digital outputs
        QSlider *slider = nullptr;         // analogue outputs
        QSpinBox *spinBox = nullptr;
        std::array<QAbstractButton *, hwtest::kLedButtons> leds{}; // the LED: green, red, yellow
        int confirmed = 0; // the value the board last confirmed (LED: its LedState)
    };

    void buildInputs();
    void buildOutputs();
    void addDigitalOutput(OutputWidgets &output, int row);
    void addAnalogueOutput(OutputWidgets &output, int row);
    void addLedGroup(OutputWidgets &output, int row);
    void applyRowTexts();

    OutputWidgets *outputOf(const QObject *control);
    OutputWidgets *output(hwtest::OutputId id);
    // Sends a value chosen by hand with the control's retry rule. When the board does not confirm
    // it, the control goes back to the state the board last confirmed and the page says so.
    void sendManual(OutputWidgets &output, int value);
    // Shows the value the board last confirmed on the output's control, sending nothing.
    void showConfirmed(const OutputWidgets &output);
    void showOutputStatus(const QString &text);
    // What the user chose on a control: a released slider or a finished edit, a digital output's
    // button, one of the LED's buttons.
    void driveAnalogue(const QObject *control);
    void driveDigital(const QAbstractButton *button);
    void driveLed(const QAbstractButton *button);

    void runAutomaticSequence(int generation);
    // Shows a value of the automatic test on its control; true when a digital output's button
    // changed state, which sends that state once more as a click on it would.
    bool showAutomaticValue(const OutputWidgets &output, int value);
    // Ends a running automatic test: none of its commands reaches the board after this.
    void endAutomaticTest() { ++m_generation; }
    void clearInputFields();
    // The controls at rest: every output off, as the board confirmed.
    void bringOutputsToRest();
    bool switchAllOutputsOff();
    // One box naming the test-mode commands the board did not confirm, and what to do.
    void reportTestMode(const QStringList &failures, const QString &advice);
    void testModeLeftInBackground();

    Session &m_session;
    std::unique_ptr<Ui::TestHwPageForm> m_ui;
    StoveModel m_model = StoveModel::Unknown; // the model the page was built for
    QList<InputWidgets> m_inputs;
    QList<IndicatorWidgets> m_indicators;
    QList<OutputWidgets> m_outputs;
    bool m_automaticRunning = false;
    bool m_testModeMayBeOn = false;
    bool m_exitPending = false; // leaving failed: the background attempts are due
    bool m_exitHeld = false;
    hwtest::TestModeExit m_exit;
    // Changes whenever test mode is entered or left; an automatic test runs only while it keeps the
    // value it started with. Read by the thread that sends the automatic test's commands.
    std::atomic<int> m_generation{0};
};
