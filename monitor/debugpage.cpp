#include "monitor/debugpage.h"

#include "app/messages.h"
#include "app/session.h"
#include "app/texts.h"
#include "ui_debugpage.h"

#include <QTime>

DebugPage::DebugPage(Session &session, QWidget *parent)
    : QWidget(parent), m_session(session), m_ui(std::make_unique<Ui::DebugPageForm>()) {
    m_ui->setupUi(this);
    connect(m_ui->registrationToolButton, &QAbstractButton::clicked, this, &DebugPage::toggleRec);
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
    m_ui->registrationToolButton->setToolTip(plainToolTip(textAt(35)));
    m_ui->parBDebug->setText(textAt(3).toUpper());
}

void DebugPage::showIdentity(StoveModel model, const QString &identity) {
    const Identity fields = parseIdentity(identity);
    m_ui->modelValueDebug->setText(modelName(model, true).toUpper());
    m_ui->versionValueDebug->setText(fields.version);
    m_ui->revisionValueDebug->setText(fields.revision);
}

void DebugPage::build() {}

void DebugPage::setGroupStyleSheet(const QString &styleSheet) {
    m_ui->debugGB->setStyleSheet(styleSheet);
}

void DebugPage::clearDebugValues() {}

void DebugPage::resetRecordingControls() {
    m_ui->gapSecondsTimeEdit->setEnabled(true);
    m_ui->ledRecordingLabel->clear();
    m_recording = false;
    m_ui->elapsedTimeLabel->hide();
    m_ui->recCounterTimeEdit->hide();
    m_ui->recCounterTimeEdit->setTime(QTime(0, 0));
}

void DebugPage::stopRecording() {
    m_recording = false;
}

void DebugPage::debugSlot(short index, short t1, short t2, short t3) {
    Q_UNUSED(index);
    Q_UNUSED(t1);
    Q_UNUSED(t2);
    Q_UNUSED(t3);
}

void DebugPage::toggleRec(bool on) {
    Q_UNUSED(on);
    // Nothing records yet: leave the button in its idle state.
    m_ui->registrationToolButton->setChecked(false);
}

void DebugPage::pulse() {}
