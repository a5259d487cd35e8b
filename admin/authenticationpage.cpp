#include "admin/authenticationpage.h"

#include "app/session.h"
#include "ui_authenticationpage.h"

AuthenticationPage::AuthenticationPage(Session &session, QWidget *parent)
    : QWidget(parent), m_session(session), m_ui(std::make_unique<Ui::AuthenticationPageForm>()) {
    m_ui->setupUi(this);
}

AuthenticationPage::~AuthenticationPage() = default;

QAbstractButton *AuthenticationPage::confirmButton() const {
    return m_ui->authConfirmToolButton;
}

QAbstractButton *AuthenticationPage::cancelButton() const {
    return m_ui->authCancelToolButton;
}

void AuthenticationPage::clearPassword() {
    m_ui->pswdLineEdit->clear();
}

void AuthenticationPage::focusPassword() {
    m_ui->pswdLineEdit->setFocus();
}

bool AuthenticationPage::checkPassword() {
    // The administrator panel comes with its own feature; until then it cannot be entered.
    m_ui->pswdLineEdit->clear();
    return false;
}
