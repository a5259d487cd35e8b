// Entering a board page: opening the link with the stored settings and, the first time, detecting
// the stove model and building the model-dependent pages behind a small progress window.
#pragma once

#include "ui/page.h"

class DebugPage;
class ParametersPage;
class QWidget;
class Session;
class TestHwPage;

class PageEntry {
public:
    PageEntry(QWidget &window, Session &session, TestHwPage &testHw, ParametersPage &parameters,
              DebugPage &debug);

    // Opens the link and identifies the board; `page` becomes the home page when either fails.
    void openBoardLink(Page &page);
    // Run before the hardware test, parameters or debug page is shown; may change `page` to Home.
    void enterPage(Page &page);
    // True once a detection succeeded and the model-dependent pages exist.
    bool pagesBuilt() const { return m_pagesBuilt; }

private:
    // Opens the link with the stored settings, under the link lock; true when it opened.
    bool openLink();
    void showOpenError();
    void showCommunicationError();
    void buildModelPages();

    QWidget &m_window;
    Session &m_session;
    TestHwPage &m_testHw;
    ParametersPage &m_parameters;
    DebugPage &m_debug;
    class ProgressWindow *m_progress = nullptr;
    bool m_pagesBuilt = false;
};
