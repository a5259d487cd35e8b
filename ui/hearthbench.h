// The program's main window: a stack of seven pages (home, setup, hardware test, parameters, debug,
// authentication, board configuration) selected through the one navigation slot change().
#pragma once

#include "ui/stovemodel.h"

#include <QBasicTimer>
#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QString>

class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QRadioButton;
class QStackedLayout;
class QToolButton;
class QWidget;
class SerialThread;

namespace Ui {
class HearthBenchClass;
}

class HearthBench : public QMainWindow {
    Q_OBJECT

public:
    explicit HearthBench(SerialThread *thread, QWidget *parent = nullptr, Qt::WindowFlags flags = {});
    ~HearthBench() override;

    // Puts the texts of the table in use on the window's widgets.
    void applyTexts();
    // Fills the setup page's language box from the "lang" folder.
    void fillLanguageList();

    // Connection and model detection.
    void openBoardLink(short *page);
    void enterPage(short *page);
    static void showIdentity(StoveModel model, QString text, QLabel *modelLabel, QLabel *versionLabel,
                             QLabel *revisionLabel);
    // Setup page entry: closes the link and lists the ports that can be opened.
    void scanPorts();

    Ui::HearthBenchClass *form() const { return m_ui; }
    bool isPortOpen() const { return portOpen; }
    bool arePagesBuilt() const { return pagesBuilt; }
    bool isRecording() const { return recording; }
    const unsigned short *highlight() const { return highlightColour; }

public slots:
    void change();
    void writeProgramSettings(const QString &text);
    void memo();
    void viewParameter();
    void setParameter();
    void userInsertText();
    void scrollPage();
    void viewAll();
    void setAll();
    void saveToFile();
    void loadFromFile();
    void assignDataBank();
    void anaOutpBasic();
    void digOutpBasic();
    void triLed();
    void automaticTestHW();
    void anaOutpDisplay();
    void digOutpDisplay();
    void parDef();
    void updateFWSlot();
    void toggleRec(bool on);
    void pulse();
    void showGraphicsSlot();
    void chooseModel(int index);
    void testhwinputSlot(short input, short val);
    void debugSlot(short index, short t1, short t2, short t3);

protected:
    void timerEvent(QTimerEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    friend class HearthBenchProbe; // tests

    // Opens the link with the stored settings; returns the result of OpenComm.
    int openLinkWithSettings();
    void showOpenError();
    void showCommunicationError();
    // Stops the polling thread and closes the link (window close and destruction).
    void shutDownLink();

    // Hardware test page (filled by its own feature).
    void buildTestPage();
    void enterTestMode();
    void leaveTestMode();
    // Debug page and recording (filled by their own features).
    void buildDebugPage();
    void clearDebugValues();
    void resetRecordingControls();
    void stopRecordingTimers();
    // Administrator panel: the stack index to show after the password check.
    int checkAdminPassword();

    Ui::HearthBenchClass *m_ui;
    SerialThread *thread;

public:
    // Shared with the parameter pages and the other page features.
    bool portOpen = false;
    bool pagesBuilt = false;
    bool hubaMode = true;
    unsigned short highlightColour[3] = {237, 46, 41};

    // Recording state.
    bool recording = false;
    QString recordingFileName;
    QDateTime recordingStart;
    QElapsedTimer elapsedClock;
    QBasicTimer oneSecondTimer;
    QBasicTimer intervalTimer;
    QString recordFields[6];

    // ---- parameters page ----
public:
    // Page building (first successful model detection) and filling: mode 0 reset, 1 refresh.
    void buildModelPages();
    void buildParameterPages();
    void fillPages(int mode);
    void showPageOf(int position);
    void detectHubaMode();
    void buildBankButtons();
    // The file slots without their dialogs: write the page values to / read them from `path`.
    // Return false when nothing (or not everything) could be done; the user has been told.
    bool saveParametersTo(const QString &path);
    bool loadParametersFrom(const QString &path);

    QStackedLayout *parameterStack = nullptr;
    QList<QGroupBox *> parameterPages;
    int currentParameterPage = 0;
    QLabel *nameLabels[80] = {};
    QDoubleSpinBox *valueBoxes[80] = {};
    QLabel *unitLabels[80] = {};
    QToolButton *showButtons[80] = {};
    QToolButton *setButtons[80] = {};
    QMap<QToolButton *, int> showButtonPositions;
    QMap<QToolButton *, int> setButtonPositions;
    QString plainSetButtonStyle;
    QRadioButton *bankButtons[4] = {};

private:
    int parameterRowCount() const;
    bool valueBoxEmpty(int position) const;
    void connectValueBox(int position);
    void updatePageButtons();
    void clearSetHighlight(int position);
    void clearWindowFocus();
    // ---- end parameters page ----
};
