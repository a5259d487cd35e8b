// The hardware test page: the board's inputs and the outputs the technician drives by hand or with
// the automatic sequence, with the board in test mode while the page is shown.
#pragma once

#include "board/stovemodel.h"

#include <QWidget>

#include <memory>

class QAbstractButton;
class Session;

namespace Ui {
class TestHwPageForm;
}

class TestHwPage : public QWidget {
    Q_OBJECT

public:
    explicit TestHwPage(Session &session, QWidget *parent = nullptr);
    ~TestHwPage() override;

    QAbstractButton *homeButton() const;
    void applyTexts();
    void showIdentity(StoveModel model, const QString &identity);
    // Builds the inputs and outputs of the detected model. Run once, at the first detection.
    void build();
    void setGroupStyleSheet(const QString &styleSheet);

    void enterTestMode();
    void leaveTestMode();
    // An input value read by the polling thread.
    void testhwinputSlot(short input, short val);
    void automaticTestHW();
    // The output controls, each for the control a signal came from.
    void anaOutpBasic(const QObject *sender);
    void digOutpBasic(const QObject *sender);
    void triLed(const QObject *sender);
    void anaOutpDisplay(const QObject *sender);
    void digOutpDisplay(const QObject *sender);

private:
    Session &m_session;
    std::unique_ptr<Ui::TestHwPageForm> m_ui;
};
