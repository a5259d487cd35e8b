#include "ui/pageentry.h"

#include "app/messages.h"
#include "app/session.h"
#include "app/settings.h"
#include "app/texts.h"
#include "board/detection.h"
#include "hwtest/testhwpage.h"
#include "monitor/debugpage.h"
#include "parameters/parameterspage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QSettings>
#include <QWindow>

// The small window that reports the first page entry's steps.
class ProgressWindow {
public:
    static constexpr int kWidth = 348;
    static constexpr int kHeight = 51;

    ProgressWindow(const QWidget &mainWindow, int maximum)
        : m_window(new QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowTitleHint)) {
        m_window->setAttribute(Qt::WA_DeleteOnClose);
        m_window->setFixedSize(kWidth, kHeight);
        m_window->move((mainWindow.width() - kWidth) / 2, (mainWindow.height() - kHeight) / 2);
        m_bar = new QProgressBar(m_window);
        m_bar->setGeometry(10, 10, 340, 40);
        m_bar->setRange(0, maximum);
        m_bar->setValue(0);
    }
    ~ProgressWindow() { close(); }
    ProgressWindow(const ProgressWindow &) = delete;
    ProgressWindow &operator=(const ProgressWindow &) = delete;

    void setTitle(const QString &title) {
        if (m_window.isNull()) return;
        m_window->setWindowTitle(title);
        m_window->show();
        paintNow();
    }
    void setValue(int value) {
        if (m_window.isNull()) return;
        m_bar->setValue(value);
        paintNow();
    }
    // Keeps the window from standing between the user and a message box.
    void hide() {
        if (!m_window.isNull()) m_window->hide();
    }
    void close() {
        if (!m_window.isNull()) m_window->close();
    }

private:
    // The link work that follows blocks this thread for seconds: let the window appear and paint
    // first, so the technician sees that something runs.
    void paintNow() {
        if (m_window.isNull() || !m_window->isVisible()) return;
        QElapsedTimer clock;
        clock.start();
        constexpr int kExposeWaitMs = 250;
        const QWindow *handle = m_window->windowHandle();
        while ((handle == nullptr || !handle->isExposed()) && clock.elapsed() < kExposeWaitMs) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
            handle = m_window.isNull() ? nullptr : m_window->windowHandle();
        }
        if (m_window.isNull()) return;
        m_window->repaint();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }

    QPointer<QWidget> m_window;
    QProgressBar *m_bar = nullptr;
};

namespace {
// Screens narrower than this get the pages in a smaller font.
constexpr int kSmallScreenWidth = 1173;
} // namespace

PageEntry::PageEntry(QWidget &window, Session &session, TestHwPage &testHw, ParametersPage &parameters,
                     DebugPage &debug)
    : m_window(window), m_session(session), m_testHw(testHw), m_parameters(parameters), m_debug(debug) {}

bool PageEntry::openLink() {
    return m_session.link().open(readLinkSettings()) == 0;
}

void PageEntry::showOpenError() {
    if (m_progress != nullptr) m_progress->hide();
    const int com = QSettings().value(settingkeys::com, defaultCom).toInt();
    messages::critical(QCoreApplication::applicationName(),
                       QStringLiteral("%1 %2").arg(textAt(Text::ErrorOpeningSerial), comPortName(com)));
}

void PageEntry::showCommunicationError() {
    if (m_progress != nullptr) m_progress->hide();
    const QString text = textAt(Text::BoardCommunicationError) + QStringLiteral(".\n") +
                         textAt(Text::MakeSure) + QStringLiteral(":\n - ") +
                         textAt(Text::BoardIsPowered).toLower() + QStringLiteral(";\n - ") +
                         textAt(Text::BoardIsConnected).toLower() + QStringLiteral(";\n - ") +
                         textAt(Text::ToDisableTechnicalParameter).toLower() + QStringLiteral(" \"") +
                         textAt(Text::EnableSmsModem).toLower() + QStringLiteral("\".");
    messages::critical(QCoreApplication::applicationName(), text);
}

void PageEntry::openBoardLink(Page &page) {
    if (!openLink()) {
        page = Page::Home;
        showOpenError();
        return;
    }
    if (const auto identity = readBoardIdentity(m_session.link())) {
        const StoveModel model = modelFromName(identity->left(10).trimmed());
        m_session.setModel(model);
        m_session.setIdentity(*identity);
        m_testHw.showIdentity(model, *identity);
        m_debug.showIdentity(model, *identity);
        return;
    }
    page = Page::Home;
    showCommunicationError();
}

void PageEntry::buildModelPages() {
    m_parameters.build();
    m_testHw.build();
    m_debug.build();
    m_pagesBuilt = true;
}

void PageEntry::enterPage(Page &page) {
    bool firstTimeCompleted = false;
    if (!m_pagesBuilt) {
        ProgressWindow progress(m_window, page == Page::Parameters ? 2 : 3);
        m_progress = &progress;
        progress.setTitle(textAt(Text::SearchingStoveModel) + QStringLiteral("..."));
        openBoardLink(page);
        progress.setValue(1);
        if (page != Page::Home && m_session.model() != StoveModel::Unknown) {
            progress.setTitle(textAt(Text::InitialisingComponents) + QStringLiteral("..."));
            buildModelPages();
            const QScreen *screen = QGuiApplication::primaryScreen();
            if (screen != nullptr && screen->geometry().width() < kSmallScreenWidth) {
                const QString smallFont = QStringLiteral("font: 8pt Arial;");
                m_testHw.setGroupStyleSheet(smallFont);
                m_parameters.setSubPageStyleSheet(smallFont);
                m_debug.setGroupStyleSheet(smallFont);
                m_window.adjustSize();
            }
            progress.setValue(2);
            if (page == Page::TestHw) {
                progress.setTitle(textAt(Text::AdapterForTestHw) + QStringLiteral("..."));
                m_testHw.enterTestMode();
                progress.setValue(3);
            } else if (page == Page::Debug) {
                progress.setTitle(textAt(Text::AdapterForDebug) + QStringLiteral("..."));
                m_debug.clearDebugValues();
                progress.setValue(3);
            }
            firstTimeCompleted = true;
        }
        progress.close();
        m_progress = nullptr;
    }

    if (!m_session.linkOpen() && !openLink()) showOpenError();

    if (page != Page::Home && !firstTimeCompleted && m_session.linkOpen()) {
        if (page == Page::TestHw)
            m_testHw.enterTestMode();
        else if (page == Page::Debug)
            m_debug.clearDebugValues();
    }
}
