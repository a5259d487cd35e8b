#include "monitor/debugpage.h"

#include "app/indicators.h"
#include "app/messages.h"
#include "app/session.h"
#include "app/texts.h"
#include "ui_debugpage.h"

#include <QCoreApplication>
#include <QDial>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QTimerEvent>

namespace {

using F = MonitorField;

// How a value is shown in the grid. Every cell takes two grid columns: a label and its widget, or
// one widget over both.
enum class CellKind {
    Value,         // a read-only field
    ValueWithDial, // a field with a dial beside it
    Wide,          // a field over both columns, no label
    Indicator,     // a digital input picture
    Lamp,          // a pump lamp (LED pictures)
};

struct Cell {
    F field;
    CellKind kind = CellKind::Value;
};

using Row = QList<Cell>;

QList<Row> gridOf(StoveModel model) {
    const QList<Row> common = {
        {{F::SmokeTemperature}, {F::AirTemperature}, {F::Power}},
        {{F::FanSpeed}, {F::ExtractorSpeed}, {F::CochleaTime}},
    };
    switch (model) {
    case StoveModel::Basic:
        return common +
               QList<Row>{
                   {{F::Potentiometer, CellKind::ValueWithDial},
                    {F::StateNumber},
                    {F::StateText, CellKind::Wide}},
                   {{F::FuelCorrection, CellKind::ValueWithDial}, {F::SetPoint}, {F::EncoderCurrent}},
                   {{F::InstantPressure}, {F::AveragePressure}, {F::Alarm, CellKind::Wide}},
               };
    case StoveModel::Water:
        return common +
               QList<Row>{
                   {{F::StateNumber}, {F::StateText, CellKind::Wide}, {F::WaterProbe}},
                   {{F::SetPoint}, {F::EncoderCurrent}, {F::Wpx250}},
                   {{F::InstantPressure}, {F::AveragePressure}, {F::Depressimeter, CellKind::Indicator}},
                   {{F::PelletThermostat, CellKind::Indicator},
                    {F::Fluxstate, CellKind::Indicator},
                    {F::ExternalThermostat, CellKind::Indicator}},
                   {{F::HeatThermostat, CellKind::Indicator},
                    {F::HeatingPump, CellKind::Lamp},
                    {F::SanitaryPump, CellKind::Lamp}},
               };
    case StoveModel::AirDucted:
        return common +
               QList<Row>{
                   {{F::StateNumber}, {F::StateText, CellKind::Wide}, {F::ProbeChannel1}},
                   {{F::Channel1}, {F::Channel2}, {F::SetPoint}},
                   {{F::EncoderCurrent}, {F::InstantPressure}, {F::AveragePressure}},
                   {{F::Depressimeter, CellKind::Indicator},
                    {F::PelletThermostat, CellKind::Indicator},
                    {F::ExternalThermostatChannel2, CellKind::Indicator}},
                   {{F::ExternalThermostat, CellKind::Indicator}, {F::HeatThermostat, CellKind::Indicator}},
               };
    case StoveModel::Unknown:
        break;
    }
    return {};
}

// Object names of the widgets (the BASIC names are the form's own, kept for tools and tests).
QString objectNameOf(F field) {
    switch (field) {
    case F::SmokeTemperature:
        return QStringLiteral("tSmoke");
    case F::AirTemperature:
        return QStringLiteral("tAir");
    case F::Power:
        return QStringLiteral("potenz");
    case F::FanSpeed:
        return QStringLiteral("envFanSpeed");
    case F::ExtractorSpeed:
        return QStringLiteral("smokeExtrFan");
    case F::CochleaTime:
        return QStringLiteral("cochlea");
    case F::Potentiometer:
        return QStringLiteral("potentiometer");
    case F::StateNumber:
        return QStringLiteral("stStove");
    case F::StateText:
        return QStringLiteral("stoveStatus");
    case F::FuelCorrection:
        return QStringLiteral("fuelCorr");
    case F::SetPoint:
        return QStringLiteral("roundsLevel");
    case F::EncoderCurrent:
        return QStringLiteral("encoder");
    case F::InstantPressure:
        return QStringLiteral("currentPressureReading");
    case F::AveragePressure:
        return QStringLiteral("averagePressureReading");
    case F::Alarm:
        return QStringLiteral("alarmDisplaying");
    case F::WaterProbe:
        return QStringLiteral("waterProbe");
    case F::ProbeChannel1:
        return QStringLiteral("probeChannel1");
    case F::Wpx250:
        return QStringLiteral("wpx250");
    case F::Channel1:
        return QStringLiteral("channel1");
    case F::Channel2:
        return QStringLiteral("channel2");
    case F::Depressimeter:
        return QStringLiteral("depressimeter");
    case F::PelletThermostat:
        return QStringLiteral("pelletThermostat");
    case F::Fluxstate:
        return QStringLiteral("fluxstate");
    case F::ExternalThermostatChannel2:
        return QStringLiteral("externalThermostatChannel2");
    case F::ExternalThermostat:
        return QStringLiteral("externalThermostat");
    case F::HeatThermostat:
        return QStringLiteral("heatThermostat");
    case F::HeatingPump:
        return QStringLiteral("heatingPump");
    case F::SanitaryPump:
        return QStringLiteral("sanitaryPump");
    }
    return QString();
}

// The label on the screen: the plain name, with the board's input code under the inputs that
// have one.
QString screenLabel(F field, bool hubaMode) {
    const QString lineBreak = QStringLiteral("\n");
    switch (field) {
    case F::SetPoint:
        return textAt(hubaMode ? 247 : 130);
    case F::Wpx250:
        return QStringLiteral("WPX 250");
    case F::Depressimeter:
        return textAt(138) + QStringLiteral("\n(INP-G)");
    case F::PelletThermostat:
        return textAt(139) + QStringLiteral("\n(INP-D)");
    case F::HeatThermostat:
        return textAt(142) + QStringLiteral("\n(INP-T)");
    case F::ExternalThermostatChannel2:
        return textAt(140) + lineBreak + textAt(38).toLower();
    default:
        return recordingTitle(field);
    }
}

// The dials beside the potentiometer and the fuel correction, and their ranges.
struct DialRange {
    int minimum;
    int maximum;
};
DialRange dialRange(F field) {
    if (field == F::Potentiometer) return {24, 100};
    return {-1000, 1000};
}

constexpr int kGridSpacing = 9;
constexpr int kFieldWidth = 60;
constexpr int kWideFieldWidth = 2 * kFieldWidth + 60;
constexpr int kDialSize = 38;
constexpr int kDialNotches = 10;
constexpr int kIndicatorSize = 30;
constexpr int kLedSize = 24;
constexpr int kPulseMs = 750;
constexpr int kLedFlashMs = 500;
constexpr int kSecondMs = 1000;
// Text-table entry of the note shown while the board does not answer.
constexpr int kBoardSilentText = 332;

// Shows a two-state picture on a label: the digital-input pictures, or the LED pictures.
// Pumps are lamps; every other indicator is a digital input.
IndicatorStyle indicatorStyle(F field) {
    return field == F::HeatingPump || field == F::SanitaryPump ? IndicatorStyle::Led
                                                               : IndicatorStyle::DigitalInput;
}

QLabel *makeIndicator(QWidget *parent, F field) {
    auto *picture = new QLabel(parent);
    picture->setObjectName(objectNameOf(field));
    picture->setFixedSize(kIndicatorSize, kIndicatorSize);
    picture->setScaledContents(true);
    setInputIndicator(picture, false, indicatorStyle(field));
    return picture;
}

// A read-only value field; a wide one holds a text (the state, the alarm).
QLineEdit *makeField(QWidget *parent, F field, bool wide) {
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(objectNameOf(field));
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::NoFocus);
    edit->setAlignment(Qt::AlignCenter);
    if (wide)
        edit->setMinimumWidth(kWideFieldWidth);
    else
        edit->setFixedWidth(kFieldWidth);
    if (field == F::Alarm) {
        edit->setStyleSheet(QStringLiteral("color: red;"));
        // The field has no label: without an alarm it names itself in grey.
        edit->setPlaceholderText(textAt(251));
    }
    return edit;
}

// The dial beside a field: it only shows the value.
QDial *makeDial(QWidget *parent, F field) {
    auto *dial = new QDial(parent);
    dial->setObjectName(objectNameOf(field) + QStringLiteral("Dial"));
    const DialRange range = dialRange(field);
    dial->setRange(range.minimum, range.maximum);
    // Notches at every tenth of the range, whatever its size (the dial spaces them by its steps).
    const int step = (range.maximum - range.minimum) / kDialNotches;
    dial->setSingleStep(step);
    dial->setPageStep(step);
    dial->setNotchesVisible(true);
    dial->setFixedSize(kDialSize, kDialSize);
    dial->setFocusPolicy(Qt::NoFocus);
    dial->setAttribute(Qt::WA_TransparentForMouseEvents);
    return dial;
}

} // namespace

DebugPage::DebugPage(Session &session, QWidget *parent)
    : QWidget(parent), m_session(session), m_ui(std::make_unique<Ui::DebugPageForm>()) {
    m_ui->setupUi(this);
    connect(m_ui->registrationToolButton, &QAbstractButton::clicked, this, &DebugPage::toggleRec);
    connect(&m_session, &Session::hubaModeChanged, this, &DebugPage::relabelSetPoint);
    // One chain of blinks and one LED flash at a time, however often they are started.
    m_pulseTimer.setSingleShot(true);
    m_pulseTimer.setInterval(kPulseMs);
    connect(&m_pulseTimer, &QTimer::timeout, this, &DebugPage::pulse);
    m_ui->ledRecordingLabel->setScaledContents(true);
    m_ui->ledRecordingLabel->setFixedSize(kLedSize, kLedSize);
    m_ledTimer.setSingleShot(true);
    m_ledTimer.setInterval(kLedFlashMs);
    connect(&m_ledTimer, &QTimer::timeout, m_ui->ledRecordingLabel, &QLabel::clear);
    // Beside the identity, outside the value grid, which is greyed while the board is silent.
    m_silentLabel = new QLabel(this);
    m_silentLabel->setObjectName(QStringLiteral("boardSilentLabel"));
    m_silentLabel->setTextFormat(Qt::PlainText);
    m_silentLabel->setStyleSheet(QStringLiteral("color: red;"));
    m_silentLabel->hide();
    m_ui->debugIdentityLayout->addWidget(m_silentLabel, 0, m_ui->debugIdentityLayout->columnCount());
    // No recording yet: its clock stays hidden until one starts.
    resetRecordingControls();
}

DebugPage::~DebugPage() = default;

QAbstractButton *DebugPage::homeButton() const {
    return m_ui->homeBDebug;
}

QAbstractButton *DebugPage::parametersButton() const {
    return m_ui->parBDebug;
}

QAbstractButton *DebugPage::graphicsButton() const {
    return m_ui->graphicsBDebug;
}

void DebugPage::applyTexts() {
    m_ui->debugGB->setTitle(textAt(4));
    const QString colon = QStringLiteral(":");
    m_ui->modelLabelDebug->setText(textAt(96) + colon);
    m_ui->versionLabelDebug->setText(textAt(97) + colon);
    m_ui->revisionLabelDebug->setText(textAt(98) + colon);
    m_ui->elapsedTimeLabel->setText(textAt(0));
    m_ui->gapLabel->setText(textAt(36) + QStringLiteral(" [mm:ss]"));
    m_ui->registrationToolButton->setToolTip(plainToolTip(textAt(m_recording ? 34 : 35)));
    m_ui->parBDebug->setText(textAt(3).toUpper());
    m_silentLabel->setText(textAt(kBoardSilentText));
    for (auto it = m_labels.cbegin(); it != m_labels.cend(); ++it)
        it.value()->setText(screenLabel(it.key(), m_session.hubaMode()));
    if (QLineEdit *alarm = m_fields.value(F::Alarm)) alarm->setPlaceholderText(textAt(251));
}

void DebugPage::showIdentity(StoveModel model, const QString &identity) {
    const Identity fields = parseIdentity(identity);
    m_ui->modelValueDebug->setText(modelName(model, true).toUpper());
    m_ui->versionValueDebug->setText(fields.version);
    m_ui->revisionValueDebug->setText(fields.revision);
}

QLabel *DebugPage::addLabel(int row, int column, MonitorField field) {
    auto *label = new QLabel(screenLabel(field, m_session.hubaMode()), m_ui->debugGB);
    label->setObjectName(objectNameOf(field) + QStringLiteral("Label"));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_ui->debugGridLayout->addWidget(label, row, column);
    m_labels.insert(field, label);
    return label;
}

void DebugPage::build() {
    if (m_builtModel != StoveModel::Unknown) return;
    m_builtModel = m_session.model();
    QGridLayout *grid = m_ui->debugGridLayout;
    grid->setHorizontalSpacing(kGridSpacing);
    grid->setVerticalSpacing(kGridSpacing);
    const QList<Row> rows = gridOf(m_builtModel);
    for (int row = 0; row < rows.size(); ++row) {
        for (int cell = 0; cell < rows.at(row).size(); ++cell) {
            const Cell &def = rows.at(row).at(cell);
            const int column = 2 * cell;
            if (def.kind == CellKind::Indicator || def.kind == CellKind::Lamp) {
                addLabel(row, column, def.field);
                QLabel *picture = makeIndicator(m_ui->debugGB, def.field);
                grid->addWidget(picture, row, column + 1, Qt::AlignLeft | Qt::AlignVCenter);
                m_indicators.insert(def.field, picture);
                continue;
            }
            QLineEdit *field = makeField(m_ui->debugGB, def.field, def.kind == CellKind::Wide);
            m_fields.insert(def.field, field);
            if (def.kind == CellKind::Wide) {
                grid->addWidget(field, row, column, 1, 2);
                continue;
            }
            addLabel(row, column, def.field);
            if (def.kind == CellKind::Value) {
                grid->addWidget(field, row, column + 1, Qt::AlignLeft | Qt::AlignVCenter);
                continue;
            }
            QDial *dial = makeDial(m_ui->debugGB, def.field);
            m_dials.insert(def.field, dial);
            auto *pair = new QHBoxLayout;
            pair->addWidget(field);
            pair->addWidget(dial);
            pair->addStretch();
            grid->addLayout(pair, row, column + 1);
        }
    }
    // Spare width goes to the right, not between the labels and their fields.
    grid->setColumnStretch(2 * 3, 1);
    grid->setRowStretch(static_cast<int>(rows.size()), 1);
}

void DebugPage::setGroupStyleSheet(const QString &styleSheet) {
    m_ui->debugGB->setStyleSheet(styleSheet);
}

void DebugPage::relabelSetPoint() {
    if (QLabel *label = m_labels.value(F::SetPoint))
        label->setText(screenLabel(F::SetPoint, m_session.hubaMode()));
}

void DebugPage::showBoardSilent(bool silent) {
    m_silentLabel->setVisible(silent);
    // Greyed: the values stay readable but do not pass for live ones.
    m_ui->debugGB->setEnabled(!silent);
}

void DebugPage::clearDebugValues() {
    showBoardSilent(false);
    for (QLineEdit *field : std::as_const(m_fields))
        field->clear();
    for (QDial *dial : std::as_const(m_dials))
        dial->setValue(std::clamp(0, dial->minimum(), dial->maximum()));
    for (auto it = m_indicators.cbegin(); it != m_indicators.cend(); ++it)
        setInputIndicator(it.value(), false, indicatorStyle(it.key()));
}

void DebugPage::debugSlot(short index, short t1, short t2, short t3) {
    const std::optional<DecodedTriplet> decoded =
        decodeTriplet(m_session.model(), index, t1, t2, t3, m_session.hubaMode());
    if (!decoded) return;
    for (const ShownValue &value : decoded->shown) {
        if (QLineEdit *field = m_fields.value(value.field)) field->setText(value.text);
        if (QDial *dial = m_dials.value(value.field)) dial->setValue(value.number);
        if (QLabel *picture = m_indicators.value(value.field))
            setInputIndicator(picture, value.number != 0, indicatorStyle(value.field));
    }
    m_recordFields.set(index, decoded->fragment);
}

void DebugPage::resetRecordingControls() {
    // A recording is never left running behind idle controls.
    if (m_recording) stopRecording();
    m_ui->gapSecondsTimeEdit->setEnabled(true);
    m_ui->ledRecordingLabel->clear();
    m_recording = false;
    m_ui->elapsedTimeLabel->hide();
    m_ui->recCounterTimeEdit->hide();
    m_ui->recCounterTimeEdit->setTime(QTime(0, 0));
}

void DebugPage::showIdleRecordingControls() {
    m_ui->registrationToolButton->setChecked(false);
    m_ui->registrationToolButton->setIcon(QIcon(QStringLiteral(":/icons/Resources/rec.png")));
    m_ui->registrationToolButton->setToolTip(plainToolTip(textAt(35)));
    m_ui->elapsedTimeLabel->hide();
    m_ui->recCounterTimeEdit->hide();
    m_ui->gapSecondsTimeEdit->setEnabled(true);
}

void DebugPage::toggleRec(bool on) {
    if (on)
        startRecording();
    else
        stopRecording();
}

void DebugPage::startRecording() {
    if (m_recording) {
        m_ui->registrationToolButton->setChecked(true);
        return;
    }
    const StoveModel model = m_session.model();
    // The proposed name lies in the "log" folder: make sure it exists, so the dialog opens there.
    QDir().mkpath(recordingFolder());
    const QString fileName = QFileDialog::getSaveFileName(
        this, textAt(91), proposedRecordingName(model, m_now()),
        QStringLiteral("%1 %2").arg(textAt(90), QStringLiteral("(*.csv)")), nullptr,
        QFileDialog::DontConfirmOverwrite); // a recording appends: nothing is replaced
    if (fileName.isEmpty()) {
        showIdleRecordingControls();
        return;
    }
    // A recording that cannot reach its file does not start.
    if (!appendToRecording(fileName, recordingHeader(model))) {
        showIdleRecordingControls();
        messages::critical(QCoreApplication::applicationName(),
                           textAt(93) + QLatin1Char(' ') + fileName + QLatin1Char('\n') + textAt(309));
        return;
    }
    m_fileName = fileName;
    m_recordedModel = model;
    m_unwrittenLines = 0;
    const qint64 intervalMs = QTime(0, 0).secsTo(m_ui->gapSecondsTimeEdit->time()) * qint64{kSecondMs};
    m_elapsed.start();
    m_clock = RecordingClock(m_now(), intervalMs);
    m_ui->recCounterTimeEdit->setTime(QTime(0, 0));
    m_secondTimer.start(kSecondMs, this);
    m_intervalTimer.start(static_cast<int>(m_clock.untilNext(0)), Qt::PreciseTimer, this);

    m_ui->registrationToolButton->setChecked(true);
    m_ui->registrationToolButton->setIcon(QIcon(QStringLiteral(":/icons/Resources/stop.png")));
    m_ui->registrationToolButton->setToolTip(plainToolTip(textAt(34)));
    m_ui->elapsedTimeLabel->show();
    m_ui->recCounterTimeEdit->show();
    m_recording = true;
    m_ui->gapSecondsTimeEdit->setEnabled(false);
    m_pulseTimer.start();
}

void DebugPage::stopRecording() {
    m_secondTimer.stop();
    m_intervalTimer.stop();
    const bool wasRecording = m_recording;
    m_recording = false;
    showIdleRecordingControls();
    if (wasRecording && m_unwrittenLines > 0) {
        const qint64 lost = m_unwrittenLines;
        m_unwrittenLines = 0;
        messages::warning(QCoreApplication::applicationName(),
                          QStringLiteral("%1 %2: %3").arg(textAt(308), m_fileName).arg(lost));
    }
}

void DebugPage::pulse() {
    if (!m_recording) {
        m_ui->recStatusLabel->clear();
        return;
    }
    if (m_ui->recStatusLabel->text().isEmpty())
        m_ui->recStatusLabel->setText(textAt(35).toUpper());
    else
        m_ui->recStatusLabel->clear();
    m_pulseTimer.start();
}

void DebugPage::timerEvent(QTimerEvent *event) {
    if (event->timerId() == m_secondTimer.timerId()) {
        m_ui->recCounterTimeEdit->setTime(QTime(0, 0).addMSecs(static_cast<int>(m_elapsed.elapsed())));
    } else if (event->timerId() == m_intervalTimer.timerId()) {
        writeDueLines();
    } else {
        QWidget::timerEvent(event);
    }
}

void DebugPage::writeDueLines() {
    if (!m_recording) return;
    const QList<QDateTime> due = m_clock.takeDue(m_elapsed.elapsed());
    bool failed = false;
    for (const QDateTime &stamp : due) {
        if (!writeRecordLine(m_fileName, stamp, m_recordFields, m_recordedModel)) {
            ++m_unwrittenLines;
            failed = true;
        }
    }
    if (!due.isEmpty()) {
        m_ui->ledRecordingLabel->setPixmap(QPixmap(QStringLiteral(":/icons/Resources/redled.png")));
        m_ledTimer.start();
    }
    // The next tick is set before a message can hold this call: lines go on falling due meanwhile.
    m_intervalTimer.start(static_cast<int>(std::max<qint64>(m_clock.untilNext(m_elapsed.elapsed()), 1)),
                          Qt::PreciseTimer, this);
    if (failed) reportWriteFailure();
}

void DebugPage::reportWriteFailure() {
    // The interval timer keeps ticking while the box is open: its failures are counted, not shown.
    if (m_failureShown) return;
    m_failureShown = true;
    messages::critical(QCoreApplication::applicationName(), textAt(93) + QLatin1Char(' ') + m_fileName);
    m_failureShown = false;
}
