// The program's main window: a stack of seven pages (home, setup, hardware test, parameters, debug,
// authentication, board configuration). The pages own their work and ask for navigation with
// signals; the window changes the page, opening the link and switching the polling as the pages
// require.
#pragma once

#include "ui/page.h"

#include <QMainWindow>

#include <functional>
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

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void connectNavigation();
    // The setup page's boxes store their values as the user chooses them.
    void connectSettings();
    // Runs a page change under the wait cursor and shows the page it chose.
    void navigate(const std::function<Page()> &change);
    // The hardware test, parameters or debug page entered from the home page: that page, or Home
    // when the link or the detection failed.
    Page enterBoardPage(Page page);
    // Leaving the debug page for `next` (Home or Parameters): a running recording ends, after the
    // user agreed; the debug page again when they did not.
    Page leaveDebugPage(Page next);
    void switchLanguage(const QString &language);
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
