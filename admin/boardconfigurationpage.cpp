#include "admin/boardconfigurationpage.h"

#include "app/session.h"
#include "app/texts.h"
#include "ui_boardconfigurationpage.h"

BoardConfigurationPage::BoardConfigurationPage(Session &session, QWidget *parent)
    : QWidget(parent), m_session(session), m_ui(std::make_unique<Ui::BoardConfigurationPageForm>()) {
    m_ui->setupUi(this);
    m_ui->modelComboBox->setCurrentIndex(0);
    connect(m_ui->modelComboBox, &QComboBox::activated, this, &BoardConfigurationPage::chooseModel);
    connect(m_ui->defaultButton, &QAbstractButton::clicked, this, &BoardConfigurationPage::parDef);
    connect(m_ui->firmwareUpdateButton, &QAbstractButton::clicked, this,
            &BoardConfigurationPage::updateFWSlot);
}

BoardConfigurationPage::~BoardConfigurationPage() = default;

QAbstractButton *BoardConfigurationPage::homeButton() const {
    return m_ui->homeBAdmin;
}

QComboBox *BoardConfigurationPage::modelBox() const {
    return m_ui->modelComboBox;
}

void BoardConfigurationPage::applyTexts() {
    m_ui->warningLabel->setText(textAt(229));
    m_ui->firmwareUpdateButton->setText(textAt(31));
    m_ui->eepromCheckBox->setText(textAt(30));
    m_ui->writeErrorLabel->setText(textAt(257));
}

void BoardConfigurationPage::prepare() {}

void BoardConfigurationPage::clearResults() {
    m_ui->confirmationParDefLabel->clear();
    m_ui->confirmationUpdateFWLabel->clear();
    m_ui->motFileLineEdit->clear();
}

void BoardConfigurationPage::chooseModel(int index) {
    Q_UNUSED(index);
}

void BoardConfigurationPage::parDef() {}

void BoardConfigurationPage::updateFWSlot() {}
