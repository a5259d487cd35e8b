#include "monitor/debugpage.h"

#include "app/indicators.h"
#include "app/messages.h"
#include "app/session.h"
#include "app/texts.h"
#include "monitor/trendwindow.h"
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

#include <algorithm>
#include <vector>

namespace {

using F = MonitorField;

// The label on the screen: the plain name, with the board's input code under the inputs that
// have one.
QString screenLabel(const MonitorFieldDef &def, bool hubaMode) {
    switch (def.field) {
    case F::SetPoint:
        return textAt(hubaMode ? Text::HubaSet : Text::EncoderSet);
    case F::Wpx250:
        return QStringLiteral("WPX 250");
    case F::ExternalThermostatChannel2:
        return textAt(def.name.entry) + QStringLiteral("\n") + textAt(def.name.lowerSuffix).toLower();
    default:
        break;
    }
    if (def.inputCode != nullptr)
        return fieldName(def.name) + QStringLiteral("\n(%1)").arg(QLatin1String(def.inputCode));
    return fieldName(def.name);
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

// Shows a two-state picture on a label: the LED pictures for lamps, else the digital-input pictures.
IndicatorStyle indicatorStyle(FieldShape shape) {
    return shape == FieldShape::Lamp ? IndicatorStyle::Led : IndicatorStyle::DigitalInput;
}

QLabel *makeIndicator(QWidget *parent, const MonitorFieldDef &def) {
    auto *picture = new QLabel(parent);
    picture->setObjectName(QLatin1String(def.objectName));
    picture->setFixedSize(kIndicatorSize, kIndicatorSize);
    picture->setScaledContents(true);
    setInputIndicator(picture, false, indicatorStyle(def.shape));
    return picture;
}

// A read-only value field; a wide one holds a text (the state, the alarm).
QLineEdit *makeField(QWidget *parent, const MonitorFieldDef &def) {
    const bool wide = def.shape == FieldShape::Wide;
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(def.objectName));
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::NoFocus);
    edit->setAlignment(Qt::AlignCenter);
    if (wide)
        edit->setMinimumWidth(kWideFieldWidth);
    else
        edit->setFixedWidth(kFieldWidth);
    if (def.field == F::Alarm) {
        edit->setStyleSheet(QStringLiteral("color: red;"));
        // The field has no label: without an alarm it names itself in grey.
        edit->setPlaceholderText(textAt(Text::Alarms));
    }
    return edit;
}

// The dial beside a field: it only shows the value.
QDial *makeDial(QWidget *parent, const MonitorFieldDef &def) {
    auto *dial = new QDial(parent);
    dial->setObjectName(QLatin1String(def.objectName) + QStringLiteral("Dial"));
    const DialRange range = dialRange(def.field);
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
    connect(m_ui->homeBDebug, &QAbstractButton::clicked, this, &DebugPage::homeRequested);
    connect(m_ui->parBDebug, &QAbstractButton::clicked, this, &DebugPage::parametersRequested);
    connect(m_ui->graphicsBDebug, &QAbstractButton::clicked, this, &DebugPage::graphicsRequested);
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
    m_trend = new TrendWindow(
        m_session, [this] { return m_recording ? m_fileName : QString(); }, this);
    // At the end of the identity row, which has room to spare: the row of the recording controls
    // has none while a recording runs.
    m_ui->debugIdentityLayout->addWidget(m_trend->pageButton(), 0, m_ui->debugIdentityLayout->columnCount(),
                                         Qt::AlignRight);
}

DebugPage::~DebugPage() = default;

void DebugPage::applyTexts() {
    m_ui->debugGB->setTitle(textAt(Text::Debug));
    const QString colon = QStringLiteral(":");
    m_ui->modelLabelDebug->setText(textAt(Text::Model) + colon);
    m_ui->versionLabelDebug->setText(textAt(Text::FirmwareVersion) + colon);
    m_ui->revisionLabelDebug->setText(textAt(Text::Revision) + colon);
    m_ui->elapsedTimeLabel->setText(textAt(Text::ElapsedTime));
    m_ui->gapLabel->setText(textAt(Text::Gap) + QStringLiteral(" [mm:ss]"));
    m_ui->registrationToolButton->setToolTip(plainToolTip(textAt(m_recording ? Text::Stop : Text::Record)));
    m_ui->parBDebug->setText(textAt(Text::Parameters).toUpper());
    m_silentLabel->setText(textAt(Text::BoardSilent));
    for (const MonitorFieldDef &def : monitorFields(m_builtModel))
        if (QLabel *label = m_labels.value(def.field)) label->setText(screenLabel(def, m_session.hubaMode()));
    if (QLineEdit *alarm = m_fields.value(F::Alarm)) alarm->setPlaceholderText(textAt(Text::Alarms));
    m_trend->applyTexts();
}

void DebugPage::showIdentity(StoveModel model, const QString &identity) {
    const Identity fields = parseIdentity(identity);
    m_ui->modelValueDebug->setText(modelName(model, true).toUpper());
    m_ui->versionValueDebug->setText(fields.version);
    m_ui->revisionValueDebug->setText(fields.revision);
}

QLabel *DebugPage::addLabel(int row, int column, const MonitorFieldDef &def) {
    auto *label = new QLabel(screenLabel(def, m_session.hubaMode()), m_ui->debugGB);
    label->setObjectName(QLatin1String(def.objectName) + QStringLiteral("Label"));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_ui->debugGridLayout->addWidget(label, row, column);
    m_labels.insert(def.field, label);
    return label;
}

void DebugPage::build() {
    if (m_builtModel != StoveModel::Unknown) return;
    m_builtModel = m_session.model();
    QGridLayout *grid = m_ui->debugGridLayout;
    grid->setHorizontalSpacing(kGridSpacing);
    grid->setVerticalSpacing(kGridSpacing);
    // Every cell takes two grid columns: a label and its widget, or one widget over both. The
    // widgets are made in reading order, row by row.
    const std::span<const MonitorFieldDef> fields = monitorFields(m_builtModel);
    std::vector<MonitorFieldDef> cells(fields.begin(), fields.end());
    std::sort(cells.begin(), cells.end(), [](const MonitorFieldDef &a, const MonitorFieldDef &b) {
        return std::pair(a.row, a.cell) < std::pair(b.row, b.cell);
    });
    int rows = 0;
    for (const MonitorFieldDef &def : cells) {
        const int row = def.row;
        const int column = 2 * def.cell;
        rows = std::max(rows, row + 1);
        if (def.shape == FieldShape::Indicator || def.shape == FieldShape::Lamp) {
            addLabel(row, column, def);
            QLabel *picture = makeIndicator(m_ui->debugGB, def);
            grid->addWidget(picture, row, column + 1, Qt::AlignLeft | Qt::AlignVCenter);
            m_indicators.insert(def.field, picture);
            continue;
        }
        QLineEdit *field = makeField(m_ui->debugGB, def);
        m_fields.insert(def.field, field);
        if (def.shape == FieldShape::Wide) {
            grid->addWidget(field, row, column, 1, 2);
            continue;
        }
        addLabel(row, column, def);
        if (def.shape == FieldShape::Value) {
            grid->addWidget(field, row, column + 1, Qt::AlignLeft | Qt::AlignVCenter);
            continue;
        }
        QDial *dial = makeDial(m_ui->debugGB, def);
        m_dials.insert(def.field, dial);
        auto *pair = new QHBoxLayout;
        pair->addWidget(field);
        pair->addWidget(dial);
        pair->addStretch();
        grid->addLayout(pair, row, column + 1);
    }
    // Spare width goes to the right, not between the labels and their fields.
    grid->setColumnStretch(2 * 3, 1);
    grid->setRowStretch(rows, 1);
}

void DebugPage::setGroupStyleSheet(const QString &styleSheet) {
    m_ui->debugGB->setStyleSheet(styleSheet);
}

void DebugPage::relabelSetPoint() {
    const std::optional<MonitorFieldDef> setPoint = monitorField(m_builtModel, F::SetPoint);
    if (QLabel *label = m_labels.value(F::SetPoint); label != nullptr && setPoint)
        label->setText(screenLabel(*setPoint, m_session.hubaMode()));
}

void DebugPage::showBoardSilent(bool silent) {
    m_silentLabel->setVisible(silent);
    if (silent) forgetRecordedValues();
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
        setInputIndicator(it.value(), false, indicatorStyle(monitorField(m_builtModel, it.key())->shape));
}

void DebugPage::debugSlot(short index, short t1, short t2, short t3) {
    const std::optional<DecodedTriplet> decoded =
        decodeTriplet(m_session.model(), index, t1, t2, t3, m_session.hubaMode());
    if (!decoded) return;
    for (const ShownValue &value : decoded->shown) {
        if (QLineEdit *field = m_fields.value(value.field)) field->setText(value.text);
        if (QDial *dial = m_dials.value(value.field)) dial->setValue(value.number);
        if (QLabel *picture = m_indicators.value(value.field))
            setInputIndicator(picture, value.number != 0,
                              indicatorStyle(monitorField(m_builtModel, value.field)->shape));
    }
    m_recordFields.set(index, *decoded);
    m_trend->addTriplet(index, *decoded);
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
    m_ui->registrationToolButton->setToolTip(plainToolTip(textAt(Text::Record)));
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
        this, textAt(Text::SaveAs), proposedRecordingName(model, m_now()),
        QStringLiteral("%1 %2").arg(textAt(Text::Files), QStringLiteral("(*.csv)")), nullptr,
        QFileDialog::DontConfirmOverwrite); // a recording appends: nothing is replaced
    if (fileName.isEmpty()) {
        showIdleRecordingControls();
        return;
    }
    // A recording that cannot reach its file does not start.
    if (!appendToRecording(fileName, recordingHeader(model))) {
        showIdleRecordingControls();
        messages::critical(QCoreApplication::applicationName(),
                           textAt(Text::CannotWriteToFile) + QLatin1Char(' ') + fileName + QLatin1Char('\n') +
                               textAt(Text::RecordingNotStarted));
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
    m_ui->registrationToolButton->setToolTip(plainToolTip(textAt(Text::Stop)));
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
        messages::warning(
            QCoreApplication::applicationName(),
            QStringLiteral("%1 %2: %3").arg(textAt(Text::LinesNotWritten), m_fileName).arg(lost));
    }
}

void DebugPage::pulse() {
    if (!m_recording) {
        m_ui->recStatusLabel->clear();
        return;
    }
    if (m_ui->recStatusLabel->text().isEmpty())
        m_ui->recStatusLabel->setText(textAt(Text::Record).toUpper());
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
    for (qsizetype i = 0; i < due.size(); ++i) {
        // Only the newest line carries the values: the others were due before they were read.
        if (!writeRecordLine(m_fileName, due[i], i + 1 == due.size() ? m_recordFields : RecordFields(),
                             m_recordedModel)) {
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
    messages::critical(QCoreApplication::applicationName(),
                       textAt(Text::CannotWriteToFile) + QLatin1Char(' ') + m_fileName);
    m_failureShown = false;
}
