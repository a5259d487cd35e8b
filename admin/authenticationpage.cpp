#include "admin/authenticationpage.h"

#include "app/session.h"
#include "app/settings.h"
#include "ui_authenticationpage.h"

#include <QSettings>

AuthenticationPage::AuthenticationPage(Session &session, QWidget *parent)
    : QWidget(parent), m_session(session), m_ui(std::make_unique<Ui::AuthenticationPageForm>()) {
    m_ui->setupUi(this);
    connect(m_ui->authConfirmToolButton, &QAbstractButton::clicked, this,
            &AuthenticationPage::passwordSubmitted);
    connect(m_ui->authCancelToolButton, &QAbstractButton::clicked, this, &AuthenticationPage::homeRequested);
}

AuthenticationPage::~AuthenticationPage() = default;

void AuthenticationPage::clearPassword() {
    m_ui->pswdLineEdit->clear();
}

void AuthenticationPage::focusPassword() {
    m_ui->pswdLineEdit->setFocus();
}

bool AuthenticationPage::checkPassword() {
    // Compared exactly: letter case matters.
    const QString stored =
        QSettings().value(settingkeys::password, QString::fromLatin1(builtInPassword)).toString();
    const bool match = m_ui->pswdLineEdit->text() == stored;
    m_ui->pswdLineEdit->clear();
    return match;
}
