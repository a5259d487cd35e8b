// The hardware test page: the board's inputs and the outputs the technician drives by hand or with
// the automatic sequence, with the board in test mode while the page is shown.
#pragma once

#include "board/stovemodel.h"
#include "hwtest/inputs.h"
#include "hwtest/outputs.h"

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

    QAbstractButton *homeButton() const;
    void applyTexts();
    void showIdentity(StoveModel model, const QString &identity);
    // Builds the inputs and outputs of the detected model. Run once, at the first detection.
    void build();
    void setGroupStyleSheet(const QString &styleSheet);

    // Puts the board into test mode with every output off and the controls at rest.
    void enterTestMode();
    // Ends a running automatic test, switches every output off and takes the board out of test mode.
    void leaveTestMode();
    // An input value read by the polling thread.
    void testhwinputSlot(short input, short val);
    // Runs the automatic sequence. Events are handled while it runs, so the page can be left (which
    // ends it); a second run does not start while one runs.
    void automaticTestHW();
    bool automaticTestRunning() const { return m_automaticRunning; }
    // The output controls, each for the control a signal came from.
    void anaOutpBasic(const QObject *sender);
    void digOutpBasic(const QObject *sender);
    void triLed(const QObject *sender);
    void anaOutpDisplay(const QObject *sender);
    void digOutpDisplay(const QObject *sender);

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
    };

    void buildInputs();
    void buildOutputs();
    void addDigitalOutput(OutputWidgets &output, int row);
    void addAnalogueOutput(OutputWidgets &output, int row);
    void addLedGroup(OutputWidgets &output, int row);
    void applyRowTexts();

    const OutputWidgets *outputOf(const QObject *control) const;
    const OutputWidgets *output(hwtest::OutputId id) const;
    // Sends a value chosen by hand with the control's retry rule; the control keeps its state
    // whatever the board answers.
    void sendManual(const OutputWidgets &output, int value);
    void driveAnalogue(const QObject *sender, bool basicSlot);
    void driveDigital(const QObject *sender, bool basicSlot, const char *slotName);

    void runAutomaticSequence(int generation);
    // Shows a value of the automatic test on its control; true when a digital output's button
    // changed state, which sends that state once more as a click on it would.
    bool showAutomaticValue(const OutputWidgets &output, int value);
    // Ends a running automatic test: none of its commands reaches the board after this.
    void endAutomaticTest() { ++m_generation; }
    void clearInputFields();
    void bringOutputsToRest();
    void switchAllOutputsOff();

    Session &m_session;
    std::unique_ptr<Ui::TestHwPageForm> m_ui;
    StoveModel m_model = StoveModel::Unknown; // the model the page was built for
    QList<InputWidgets> m_inputs;
    QList<IndicatorWidgets> m_indicators;
    QList<OutputWidgets> m_outputs;
    bool m_automaticRunning = false;
    // Changes whenever test mode is entered or left; an automatic test runs only while it keeps the
    // value it started with. Read by the thread that sends the automatic test's commands.
    std::atomic<int> m_generation{0};
};
