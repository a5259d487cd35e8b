// The administrator's authentication page: the password that opens the board configuration.
#pragma once

#include <QWidget>

#include <memory>

class Session;

namespace Ui {
class AuthenticationPageForm;
}

class AuthenticationPage : public QWidget {
    Q_OBJECT

public:
    explicit AuthenticationPage(Session &session, QWidget *parent = nullptr);
    ~AuthenticationPage() override;

    // Entering the page: an empty field with the keyboard focus.
    void clearPassword();
    void focusPassword();
    // Compares the field with the stored password and clears it; true when they match.
    bool checkPassword();

signals:
    // The user confirmed the password typed (the window checks it).
    void passwordSubmitted();
    void homeRequested();

private:
    Session &m_session;
    std::unique_ptr<Ui::AuthenticationPageForm> m_ui;
};
