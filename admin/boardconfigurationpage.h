// The board configuration page of the administrator panel: the board model for the firmware update,
// the reset of the board's parameters and the firmware update.
#pragma once

#include <QWidget>

#include <memory>

class QAbstractButton;
class QComboBox;
class Session;

namespace Ui {
class BoardConfigurationPageForm;
}

class BoardConfigurationPage : public QWidget {
    Q_OBJECT

public:
    explicit BoardConfigurationPage(Session &session, QWidget *parent = nullptr);
    ~BoardConfigurationPage() override;

    QAbstractButton *homeButton() const;
    QComboBox *modelBox() const;
    void applyTexts();
    // Prepares the page after a successful authentication.
    void prepare();
    // Leaving the page: the result pictures and the firmware file name are cleared.
    void clearResults();

    void chooseModel(int index);
    void parDef();
    void updateFWSlot();

signals:
    // The page is done and the window should show the home page.
    void homeRequested();

private:
    Session &m_session;
    std::unique_ptr<Ui::BoardConfigurationPageForm> m_ui;
};
