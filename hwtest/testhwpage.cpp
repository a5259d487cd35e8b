#include "hwtest/testhwpage.h"

#include "app/messages.h"
#include "app/session.h"
#include "app/texts.h"
#include "ui_testhwpage.h"

TestHwPage::TestHwPage(Session &session, QWidget *parent)
    : QWidget(parent), m_session(session), m_ui(std::make_unique<Ui::TestHwPageForm>()) {
    m_ui->setupUi(this);
    connect(m_ui->automaticTestButton, &QAbstractButton::clicked, this, &TestHwPage::automaticTestHW);
}

TestHwPage::~TestHwPage() = default;

QAbstractButton *TestHwPage::homeButton() const {
    return m_ui->homeBTest;
}

void TestHwPage::applyTexts() {
    m_ui->inputGroupBox->setTitle(textAt(52));
    m_ui->outputGroupBox->setTitle(textAt(53));
    const QString colon = QStringLiteral(":");
    m_ui->modelLabel->setText(textAt(96) + colon);
    m_ui->versionLabel->setText(textAt(97) + colon);
    m_ui->revisionLabel->setText(textAt(98) + colon);
    m_ui->automaticTestButton->setToolTip(plainToolTip(textAt(121)));
}

void TestHwPage::showIdentity(StoveModel model, const QString &identity) {
    const Identity fields = parseIdentity(identity);
    m_ui->modelValue->setText(modelName(model, true).toUpper());
    m_ui->versionValue->setText(fields.version);
    m_ui->revisionValue->setText(fields.revision);
}

void TestHwPage::build() {}

void TestHwPage::setGroupStyleSheet(const QString &styleSheet) {
    m_ui->inputGroupBox->setStyleSheet(styleSheet);
    m_ui->outputGroupBox->setStyleSheet(styleSheet);
}

void TestHwPage::enterTestMode() {}

void TestHwPage::leaveTestMode() {}

void TestHwPage::testhwinputSlot(short input, short val) {
    Q_UNUSED(input);
    Q_UNUSED(val);
}

void TestHwPage::automaticTestHW() {}

void TestHwPage::anaOutpBasic(const QObject *sender) {
    Q_UNUSED(sender);
}

void TestHwPage::digOutpBasic(const QObject *sender) {
    Q_UNUSED(sender);
}

void TestHwPage::triLed(const QObject *sender) {
    Q_UNUSED(sender);
}

void TestHwPage::anaOutpDisplay(const QObject *sender) {
    Q_UNUSED(sender);
}

void TestHwPage::digOutpDisplay(const QObject *sender) {
    Q_UNUSED(sender);
}
