#include "hwtest/testhwpage.h"

#include "app/indicators.h"
#include "app/messages.h"
#include "app/session.h"
#include "app/texts.h"
#include "board/boardlink.h"
#include "ui_testhwpage.h"

#include <QCoreApplication>
#include <QDial>
#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QThread>
#include <QToolButton>

#include <functional>

using namespace hwtest;

namespace {

// Geometry of the page's controls.
constexpr int kFieldWidth = 60;
constexpr int kDialSize = 60;
constexpr int kDialMinimum = 24;
constexpr int kDialMaximum = 100;
constexpr int kOutputPicture = 64;
constexpr int kIndicatorSize = 40;
constexpr int kSliderStep = 10;
constexpr int kSpinBoxWidth = 60;
constexpr int kSliderMinimumWidth = 180;

// The on pictures of the LED buttons, in LED-state order (green, red, yellow).
const char *const kLedPictures[kLedButtons] = {
    ":/icons/Resources/greenled.png", ":/icons/Resources/redled.png", ":/icons/Resources/yellowled.png"};
const char *const kLedNames[kLedButtons] = {"greenLedButton", "redLedButton", "yellowLedButton"};

// A checkable button without border that shows `onPicture` when checked and the dark LED when not.
QToolButton *outputButton(const QString &onPicture, const QString &name, QWidget *parent) {
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setCheckable(true);
    button->setChecked(false);
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/Resources/ledoff.png"), QSize(), QIcon::Normal, QIcon::Off);
    icon.addFile(onPicture, QSize(), QIcon::Normal, QIcon::On);
    button->setIcon(icon);
    button->setIconSize(QSize(kOutputPicture, kOutputPicture));
    button->setStyleSheet(QStringLiteral("QToolButton { border: none; }"));
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

QLabel *rowLabel(QWidget *parent) {
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

// Runs `work` on a thread of its own while this thread goes on handling events, so that the window
// stays responsive and the page can be left meanwhile; returns once the work has finished.
void runAside(const std::function<void()> &work) {
    std::unique_ptr<QThread> worker(QThread::create(work));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec(); // returns at once when the application is quitting: the wait below still holds
    worker->wait();
}

} // namespace

TestHwPage::TestHwPage(Session &session, QWidget *parent)
    : QWidget(parent), m_session(session), m_ui(std::make_unique<Ui::TestHwPageForm>()),
      m_exit(session.link()) {
    m_ui->setupUi(this);
    m_ui->boardSilentLabel->hide();
    connect(m_ui->automaticTestButton, &QAbstractButton::clicked, this, &TestHwPage::automaticTestHW);
    connect(m_ui->homeBTest, &QAbstractButton::clicked, this, &TestHwPage::homeRequested);
    connect(&m_exit, &TestModeExit::left, this, &TestHwPage::testModeLeftInBackground, Qt::QueuedConnection);
}

TestHwPage::~TestHwPage() {
    endAutomaticTest();
    m_exit.stop();
}

void TestHwPage::applyTexts() {
    m_ui->inputGroupBox->setTitle(textAt(Text::Inputs));
    m_ui->outputGroupBox->setTitle(textAt(Text::Releases));
    const QString colon = QStringLiteral(":");
    m_ui->modelLabel->setText(textAt(Text::Model) + colon);
    m_ui->versionLabel->setText(textAt(Text::FirmwareVersion) + colon);
    m_ui->revisionLabel->setText(textAt(Text::Revision) + colon);
    m_ui->automaticTestButton->setText(textAt(Text::Automatic));
    m_ui->automaticTestButton->setToolTip(plainToolTip(textAt(Text::Automatic)));
    m_ui->boardSilentLabel->setText(textAt(Text::BoardSilent));
    applyRowTexts();
}

void TestHwPage::applyRowTexts() {
    for (const InputWidgets &input : m_inputs)
        input.label->setText(inputLabel(input.row));
    for (const IndicatorWidgets &indicator : m_indicators)
        indicator.label->setText(digitalInputLabel(indicator.input));
    for (const OutputWidgets &output : m_outputs)
        output.label->setText(outputLabel(output.row));
}

void TestHwPage::showIdentity(StoveModel model, const QString &identity) {
    const Identity fields = parseIdentity(identity);
    m_ui->modelValue->setText(modelName(model, true).toUpper());
    m_ui->versionValue->setText(fields.version);
    m_ui->revisionValue->setText(fields.revision);
}

void TestHwPage::build() {
    if (m_model != StoveModel::Unknown) return; // built already
    m_model = m_session.model();
    buildInputs();
    buildOutputs();
    applyRowTexts();
}

void TestHwPage::setGroupStyleSheet(const QString &styleSheet) {
    m_ui->inputGroupBox->setStyleSheet(styleSheet);
    m_ui->outputGroupBox->setStyleSheet(styleSheet);
}

void TestHwPage::buildInputs() {
    QGridLayout *grid = m_ui->inputGridLayout;
    QWidget *box = m_ui->inputGroupBox;
    int line = 0;
    for (const InputRow &row : inputRows(m_model)) {
        if (row.format == InputFormat::DigitalInputs) {
            for (const DigitalInput &bit : digitalInputs(m_model)) {
                IndicatorWidgets indicator{bit, rowLabel(box), new QLabel(box)};
                indicator.label->setObjectName(QStringLiteral("digitalInputLabel%1").arg(bit.bit));
                indicator.picture->setObjectName(QStringLiteral("digitalInputBit%1").arg(bit.bit));
                indicator.picture->setFixedSize(kIndicatorSize, kIndicatorSize);
                indicator.picture->setScaledContents(true);
                setInputIndicator(indicator.picture, false, IndicatorStyle::DigitalInput);
                grid->addWidget(indicator.label, line, 0);
                grid->addWidget(indicator.picture, line, 1, Qt::AlignHCenter);
                m_indicators.append(indicator);
                ++line;
            }
            continue;
        }
        InputWidgets input{row, rowLabel(box), new QLineEdit(box), nullptr};
        input.label->setObjectName(QStringLiteral("inputLabel%1").arg(row.input));
        input.field->setObjectName(QStringLiteral("inputField%1").arg(row.input));
        input.field->setReadOnly(true);
        input.field->setAlignment(Qt::AlignCenter);
        input.field->setFixedWidth(kFieldWidth);
        input.field->setFocusPolicy(Qt::NoFocus);
        grid->addWidget(input.label, line, 0);
        grid->addWidget(input.field, line, 1);
        if (row.format == InputFormat::Potentiometer) {
            input.dial = new QDial(box);
            input.dial->setObjectName(QStringLiteral("potentiometerDial"));
            input.dial->setRange(kDialMinimum, kDialMaximum);
            input.dial->setNotchesVisible(true);
            input.dial->setFixedSize(kDialSize, kDialSize);
            // It shows the board's knob; turning it here would change nothing.
            input.dial->setAttribute(Qt::WA_TransparentForMouseEvents);
            input.dial->setFocusPolicy(Qt::NoFocus);
            grid->addWidget(input.dial, line, 2);
        }
        m_inputs.append(input);
        ++line;
    }
    grid->setColumnStretch(0, 1);
    grid->setRowStretch(line, 1); // the rows stay together at the top
}

void TestHwPage::buildOutputs() {
    int line = 0;
    for (const OutputRow &row : outputRows(m_model)) {
        OutputWidgets output{row, rowLabel(m_ui->outputGroupBox)};
        output.label->setObjectName(outputKey(row.id) + QStringLiteral("Label"));
        m_ui->outputGridLayout->addWidget(output.label, line, 0);
        switch (row.control) {
        case OutputControl::Digital:
            addDigitalOutput(output, line);
            break;
        case OutputControl::Analogue:
            addAnalogueOutput(output, line);
            break;
        case OutputControl::LedGroup:
            addLedGroup(output, line);
            break;
        }
        m_outputs.append(output);
        ++line;
    }
    m_ui->outputGridLayout->setColumnStretch(1, 1);
    m_ui->outputGridLayout->setRowStretch(line, 1);
}

void TestHwPage::addDigitalOutput(OutputWidgets &output, int row) {
    output.button = outputButton(QStringLiteral(":/icons/Resources/greenled.png"),
                                 outputKey(output.row.id) + QStringLiteral("Button"), m_ui->outputGroupBox);
    m_ui->outputGridLayout->addWidget(output.button, row, 1, Qt::AlignLeft);
    QAbstractButton *button = output.button;
    connect(button, &QAbstractButton::toggled, this, [this, button] { driveDigital(button); });
}

void TestHwPage::addAnalogueOutput(OutputWidgets &output, int row) {
    QWidget *box = m_ui->outputGroupBox;
    const QString key = outputKey(output.row.id);
    auto *slider = new QSlider(Qt::Horizontal, box);
    slider->setObjectName(key + QStringLiteral("Slider"));
    slider->setRange(0, output.row.maximum);
    slider->setSingleStep(kSliderStep);
    slider->setPageStep(kSliderStep);
    slider->setTickPosition(QSlider::TicksBothSides);
    slider->setTickInterval(kSliderStep);
    slider->setValue(0);
    slider->setMinimumWidth(kSliderMinimumWidth);
    auto *spinBox = new QSpinBox(box);
    spinBox->setObjectName(key + QStringLiteral("SpinBox"));
    spinBox->setRange(0, output.row.maximum);
    spinBox->setButtonSymbols(QAbstractSpinBox::NoButtons);
    spinBox->setAlignment(Qt::AlignCenter);
    spinBox->setFixedWidth(kSpinBoxWidth);
    if (output.row.percent) spinBox->setSuffix(QStringLiteral("%"));
    spinBox->setValue(0);
    connect(slider, &QSlider::valueChanged, spinBox, &QSpinBox::setValue);
    connect(spinBox, &QSpinBox::valueChanged, slider, &QSlider::setValue);
    // Only a released slider or a finished edit drives the output, with the value at that moment.
    connect(slider, &QSlider::sliderReleased, this, [this, slider] { driveAnalogue(slider); });
    connect(spinBox, &QSpinBox::editingFinished, this, [this, spinBox] { driveAnalogue(spinBox); });
    output.slider = slider;
    output.spinBox = spinBox;
    m_ui->outputGridLayout->addWidget(slider, row, 1);
    m_ui->outputGridLayout->addWidget(spinBox, row, 2);
}

void TestHwPage::addLedGroup(OutputWidgets &output, int row) {
    auto *group = new QWidget(m_ui->outputGroupBox);
    auto *layout = new QHBoxLayout(group);
    layout->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < kLedButtons; ++i) {
        QToolButton *button =
            outputButton(QString::fromLatin1(kLedPictures[i]), QString::fromLatin1(kLedNames[i]), group);
        connect(button, &QAbstractButton::clicked, this, [this, button] { driveLed(button); });
        layout->addWidget(button);
        output.leds[i] = button;
    }
    layout->addStretch(1);
    m_ui->outputGridLayout->addWidget(group, row, 1, 1, 2);
}

TestHwPage::OutputWidgets *TestHwPage::outputOf(const QObject *control) {
    if (control == nullptr) return nullptr;
    for (OutputWidgets &output : m_outputs) {
        if (control == output.button || control == output.slider || control == output.spinBox) return &output;
        for (const QAbstractButton *led : output.leds)
            if (control == led) return &output;
    }
    return nullptr;
}

TestHwPage::OutputWidgets *TestHwPage::output(OutputId id) {
    for (OutputWidgets &output : m_outputs)
        if (output.row.id == id) return &output;
    return nullptr;
}

void TestHwPage::sendManual(OutputWidgets &output, int value) {
    const OutputCommand command = outputCommand(m_model, output.row, value);
    if (m_session.link().transact(manualPolicy(output.row.control),
                                  [&command](int wait) { return sendOutputCommand(command, wait); })) {
        output.confirmed = value;
        showOutputStatus(QString());
        return;
    }
    // The control must not show a state the board is not known to be in.
    showConfirmed(output);
    showOutputStatus(textAt(Text::OutputNotConfirmed).arg(outputLabel(output.row)));
}

void TestHwPage::showConfirmed(const OutputWidgets &output) {
    switch (output.row.control) {
    case OutputControl::Digital: {
        const QSignalBlocker blocker(output.button); // shown, not sent again
        output.button->setChecked(output.confirmed != 0);
        break;
    }
    case OutputControl::Analogue:
        output.slider->setValue(output.confirmed); // the spin box follows; only a release sends
        break;
    case OutputControl::LedGroup:
        for (int i = 0; i < kLedButtons; ++i)
            output.leds[i]->setChecked(output.confirmed == i + 1);
        break;
    }
}

void TestHwPage::showOutputStatus(const QString &text) {
    m_ui->outputStatusLabel->setText(text);
}

void TestHwPage::showBoardSilent(bool silent) {
    m_ui->boardSilentLabel->setVisible(silent);
    // Greyed: the values stay readable but do not pass for live ones.
    m_ui->inputGroupBox->setEnabled(!silent);
}

void TestHwPage::driveAnalogue(const QObject *control) {
    WaitCursor cursor;
    OutputWidgets *output = outputOf(control);
    if (output == nullptr) return;
    sendManual(*output, control == output->spinBox ? output->spinBox->value() : output->slider->value());
}

void TestHwPage::driveDigital(const QAbstractButton *button) {
    WaitCursor cursor;
    OutputWidgets *output = outputOf(button);
    if (output == nullptr) return;
    sendManual(*output, button->isChecked() ? 1 : 0);
}

void TestHwPage::driveLed(const QAbstractButton *button) {
    WaitCursor cursor;
    OutputWidgets *led = output(OutputId::Led);
    if (led == nullptr) return;
    int position = 0;
    for (int i = 0; i < kLedButtons; ++i)
        if (button == led->leds[i]) position = i + 1;
    if (position == 0) return;
    // At most one of the three is on: the others go off.
    const bool on = led->leds[position - 1]->isChecked();
    for (int i = 0; i < kLedButtons; ++i)
        if (i != position - 1 && led->leds[i]->isChecked()) led->leds[i]->setChecked(false);
    sendManual(*led, on ? position : static_cast<int>(LedState::Off));
}

void TestHwPage::testhwinputSlot(short input, short val) {
    const std::optional<InputRow> row = findInputRow(m_model, input);
    if (!row) return;
    if (row->format == InputFormat::DigitalInputs) {
        for (const IndicatorWidgets &indicator : m_indicators)
            setInputIndicator(indicator.picture, digitalInputOn(val, indicator.input.bit),
                              IndicatorStyle::DigitalInput);
        return;
    }
    for (const InputWidgets &widgets : m_inputs) {
        if (widgets.row.input != row->input) continue;
        widgets.field->setText(inputText(row->format, val));
        if (widgets.dial != nullptr) widgets.dial->setValue(val);
    }
}

void TestHwPage::automaticTestHW() {
    if (m_automaticRunning) return; // one run at a time
    m_automaticRunning = true;
    m_ui->automaticTestButton->setEnabled(false);
    showOutputStatus(QString());
    {
        WaitCursor cursor;
        runAutomaticSequence(m_generation.load());
    }
    m_ui->automaticTestButton->setEnabled(true);
    m_automaticRunning = false;
}

void TestHwPage::runAutomaticSequence(int generation) {
    BoardLink &link = m_session.link();
    const auto current = [this, generation] { return m_generation.load() == generation; };
    // An attempt checks, while it holds the link, that the test was not ended meanwhile: once
    // leaveTestMode has switched the outputs off, nothing of this run switches one on again.
    const auto checked = [current](const OutputCommand &command) {
        return [current, command](int wait) { return current() && sendOutputCommand(command, wait) != 0; };
    };
    const auto stepFailed = [&]() -> bool {
        for (const AutomaticStep &step : automaticSequence(m_model)) {
            OutputWidgets *target = output(step.output);
            if (target == nullptr) continue;
            StepAttempts attempts;
            for (int value : step.values) {
                const auto attempt = checked(outputCommand(m_model, target->row, value));
                bool confirmed = false;
                runAside([&] {
                    confirmed = attempts.send([&](int wait) { return link.attempt(attempt, wait); }, current);
                });
                if (!current()) return false;
                if (!confirmed) {
                    // The control keeps the value the board confirmed before; the run ends here.
                    showConfirmed(*target);
                    showOutputStatus(
                        textAt(Text::AutomaticStepFailed).arg(outputLabel(target->row)).arg(value));
                    return true;
                }
                target->confirmed = value;
                if (showAutomaticValue(*target, value)) {
                    // A button that changed state sends it once more, with the attempts of a click.
                    const auto again = checked(outputCommand(m_model, target->row, value));
                    runAside([&] { link.transact(manualPolicy(target->row.control), again, current); });
                }
                if (!current()) return false;
            }
        }
        return false;
    }();
    if (!stepFailed) return;
    // A run that stopped half-way may leave outputs on: it ends with all of them off.
    bool off = false;
    runAside([&] { off = current() && switchAllOutputsOff(); });
    if (!current()) return;
    if (off)
        bringOutputsToRest();
    else
        reportTestMode({textAt(Text::AllOffNotConfirmed)}, textAt(Text::AdviceOnThePage));
}

bool TestHwPage::showAutomaticValue(const OutputWidgets &output, int value) {
    switch (output.row.control) {
    case OutputControl::Digital: {
        const bool on = value != 0;
        if (output.button->isChecked() == on) return false;
        // The run sends what the button's own slot would, without blocking the window meanwhile.
        const QSignalBlocker blocker(output.button);
        output.button->setChecked(on);
        return true;
    }
    case OutputControl::Analogue:
        output.slider->setValue(value); // the slider keeps to its range; the spin box follows
        if (m_model != StoveModel::Basic) output.slider->setToolTip(QStringLiteral("%1%").arg(value));
        break;
    case OutputControl::LedGroup:
        for (int i = 0; i < kLedButtons; ++i)
            output.leds[i]->setChecked(value == i + 1);
        break;
    }
    return false;
}

void TestHwPage::enterTestMode() {
    endAutomaticTest();
    m_exit.stop(); // the page takes the board over again
    m_exitPending = false;
    m_testModeMayBeOn = true;
    showOutputStatus(QString());
    showBoardSilent(false);
    BoardLink &link = m_session.link();
    QStringList failures;
    if (!link.transact(retry::testOn,
                       [](int wait) { return sendTestModeCommand(TestModeCommand::Enter, wait); }))
        failures << textAt(Text::TestOnNotConfirmed);
    if (m_model != StoveModel::Unknown) {
        clearInputFields();
        bringOutputsToRest();
        if (!switchAllOutputsOff()) failures << textAt(Text::AllOffNotConfirmed);
    }
    if (!failures.isEmpty()) reportTestMode(failures, textAt(Text::AdviceOnThePage));
}

void TestHwPage::leaveTestMode() {
    endAutomaticTest();
    m_exit.stop();
    const LeaveResult result = switchOffAndLeave(m_session.link(), m_model);
    if (result.left) m_testModeMayBeOn = false;
    if (result.outputsOff && result.left) return;
    QStringList failures;
    if (!result.outputsOff) failures << textAt(Text::AllOffNotConfirmed);
    if (!result.left) {
        failures << textAt(Text::TestOffNotConfirmed);
        m_exitPending = true;
        if (!m_exitHeld) m_exit.start(m_model); // it keeps trying while the box is open, and after
    }
    reportTestMode(failures, result.left ? QString() : textAt(Text::AdviceAfterLeaving));
}

void TestHwPage::leaveTestModeForClosing() {
    endAutomaticTest();
    m_exit.stop();
    m_exitPending = false;
    while (m_testModeMayBeOn) {
        const LeaveResult result = switchOffAndLeave(m_session.link(), m_model);
        if (result.left) {
            m_testModeMayBeOn = false;
            break;
        }
        QStringList lines;
        if (!result.outputsOff) lines << textAt(Text::AllOffNotConfirmed);
        lines << textAt(Text::TestOffNotConfirmed) << QString() << textAt(Text::AdviceOnClosing);
        // Every round is bounded by its attempts; the technician decides whether to go on.
        if (!messages::retry(QCoreApplication::applicationName(), lines.join(QLatin1Char('\n')))) break;
    }
}

void TestHwPage::testModeLeftInBackground() {
    m_exit.stop(); // its thread has ended: this only joins it
    m_exitPending = false;
    m_testModeMayBeOn = false;
}

void TestHwPage::holdTestModeExit(bool hold) {
    m_exitHeld = hold;
    if (hold)
        m_exit.stop();
    else if (m_exitPending)
        m_exit.start(m_model);
}

void TestHwPage::reportTestMode(const QStringList &failures, const QString &advice) {
    QStringList lines = failures;
    if (!advice.isEmpty()) lines << QString() << advice;
    messages::critical(textAt(Text::TestHw), lines.join(QLatin1Char('\n')));
}

void TestHwPage::clearInputFields() {
    for (const InputWidgets &input : m_inputs)
        input.field->clear();
}

void TestHwPage::bringOutputsToRest() {
    // The all-off command switches the board's outputs: the controls only follow it, without
    // sending anything of their own.
    for (OutputWidgets &output : m_outputs) {
        output.confirmed = 0;
        showConfirmed(output);
        if (output.slider != nullptr) output.slider->setToolTip(QString());
    }
}

bool TestHwPage::switchAllOutputsOff() {
    const std::optional<OutputCommand> off = allOutputsOff(m_model);
    if (!off) return true;
    return m_session.link().transact(retry::allOff,
                                     [&off](int wait) { return sendOutputCommand(*off, wait); });
}
