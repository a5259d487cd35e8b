// The board configuration page of the administrator panel: the board model for the firmware update,
// the reset of the board's parameters and the firmware update.
#pragma once

#include "admin/firmwareupdate.h"

#include <QWidget>

#include <memory>

class Session;

namespace Ui {
class BoardConfigurationPageForm;
}

class BoardConfigurationPage : public QWidget {
    Q_OBJECT

public:
    explicit BoardConfigurationPage(Session &session, QWidget *parent = nullptr);
    ~BoardConfigurationPage() override;

    void applyTexts();
    // Prepares the page after a successful authentication: the model list from the last choice.
    void prepare();
    // True while a reset or an update runs (the page refuses to start another one meanwhile).
    bool busy() const { return m_busy; }

    void chooseModel(int index);
    // Restores the board's factory parameters.
    void parDef();
    // Reprograms the board's flash from a firmware file; on success the application is asked to
    // exit so that it restarts against the new firmware.
    void updateFWSlot();

signals:
    // The page is done (left by its button, or after a reset) and the window should show the home
    // page.
    void homeRequested();

private:
    class Busy;
    class ProgressRelay;

    // Closes the link and opens it again with the stored settings; shows the error when it fails.
    bool reopenLink();
    // Leaving the page: the result pictures and the firmware file name are cleared.
    void clearResults();
    // Before an update of a board whose model is known: offers to save its parameters to a file.
    // False when the user chose not to go on.
    bool offerParameterCopy();
    // Probes the boot loader, offering Retry and Abort while it does not answer; then programs.
    void checkBootLoader(const firmware::BoardProfile &profile);
    void programFirmware(const firmware::BoardProfile &profile);
    void reportUpdate(const firmware::Result &result);
    void showResult(class QLabel *label, bool success);

    Session &m_session;
    std::unique_ptr<Ui::BoardConfigurationPageForm> m_ui;
    bool m_busy = false;
    bool m_updated = false;
};
