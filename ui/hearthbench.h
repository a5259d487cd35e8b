// The program's main window: a stack of seven pages (home, setup, hardware test, parameters, debug,
// authentication, board configuration) selected through the one navigation slot change(). The pages
// own their work; the window's slots forward to them.
#pragma once

#include "ui/page.h"

#include <QMainWindow>

#include <memory>

class AuthenticationPage;
class BoardConfigurationPage;
class DebugPage;
class PageEntry;
class ParametersPage;
class SerialThread;
class Session;
class TestHwPage;

namespace Ui {
class HearthBenchClass;
}

class HearthBench : public QMainWindow {
    Q_OBJECT

public:
    HearthBench(Session &session, SerialThread *thread, QWidget *parent = nullptr,
                Qt::WindowFlags flags = {});
    ~HearthBench() override;

    // Puts the texts of the table in use on the window's widgets.
    void applyTexts();
    // Fills the setup page's language box from the "lang" folder.
    void fillLanguageList();
    // The page the stack shows.
    Page currentPage() const;

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
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void showPage(Page page);
    // Setup page entry: closes the link and lists the ports that can be opened.
    void scanPorts();
    // The page after the password check: the board configuration, or the authentication again.
    Page checkAdminPassword();
    // Stops the polling thread and closes the link (window close and destruction).
    void shutDownLink();

    std::unique_ptr<Ui::HearthBenchClass> m_ui;
    Session &m_session;
    SerialThread *m_thread;
    TestHwPage *m_testHw;
    ParametersPage *m_parameters;
    DebugPage *m_debug;
    AuthenticationPage *m_authentication;
    BoardConfigurationPage *m_boardConfiguration;
    std::unique_ptr<PageEntry> m_entry;
};
