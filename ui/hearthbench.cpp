#include "ui/hearthbench.h"

#include "Resources/resourcebundle.h"
#include "admin/authenticationpage.h"
#include "admin/boardconfigurationpage.h"
#include "app/messages.h"
#include "app/session.h"
#include "app/settings.h"
#include "app/texts.h"
#include "board/serialthread.h"
#include "graphs/showgraphics.h"
#include "hwtest/testhwpage.h"
#include "monitor/debugpage.h"
#include "parameters/parameterspage.h"
#include "ui/pageentry.h"
#include "ui_hearthbench.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QSettings>

namespace {
// The colours F1..F10 give the marks of edited parameter rows.
constexpr QRgb kHighlightColours[] = {
    qRgb(237, 46, 41), qRgb(244, 4, 32), qRgb(250, 8, 1),  qRgb(237, 23, 36), qRgb(244, 68, 20),
    qRgb(246, 18, 32), qRgb(247, 5, 40), qRgb(245, 16, 7), qRgb(254, 81, 27), qRgb(255, 0, 0)};
} // namespace

HearthBench::HearthBench(Session &session, SerialThread *thread, QWidget *parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags), m_ui(std::make_unique<Ui::HearthBenchClass>()), m_session(session),
      m_thread(thread) {
    loadResourceBundle();
    m_ui->setupUi(this);
    // The board pages follow home and setup in the stack, in the order of Page.
    m_testHw = new TestHwPage(session);
    m_parameters = new ParametersPage(session);
    m_debug = new DebugPage(session);
    m_authentication = new AuthenticationPage(session);
    m_boardConfiguration = new BoardConfigurationPage(session);
    for (QWidget *page : {static_cast<QWidget *>(m_testHw), static_cast<QWidget *>(m_parameters),
                          static_cast<QWidget *>(m_debug), static_cast<QWidget *>(m_authentication),
                          static_cast<QWidget *>(m_boardConfiguration)})
        m_ui->stackedWidget->addWidget(page);
    m_entry = std::make_unique<PageEntry>(*this, session, *m_testHw, *m_parameters, *m_debug);

    m_ui->stackedWidget->setCurrentIndex(static_cast<int>(Page::Home));
    m_ui->comComboBox->setCurrentIndex(-1);
    m_ui->baudRateComboBox->setCurrentIndex(0);
    m_ui->languageComboBox->setCurrentIndex(0);

    connectNavigation();
    connectSettings();

    fillLanguageList();

    // The stored settings on the setup page; the password is always the built-in one.
    {
        QSettings settings;
        m_ui->comComboBox->setCurrentIndex(
            m_ui->comComboBox->findText(comPortName(settings.value(settingkeys::com, defaultCom).toInt())));
        m_ui->baudRateComboBox->setCurrentIndex(m_ui->baudRateComboBox->findText(
            settings.value(settingkeys::baudRate, defaultBaudRate).toString()));
        m_ui->delaySpinBox->setValue(settings.value(settingkeys::delay, defaultDelay).toInt());
        m_ui->languageComboBox->setCurrentIndex(m_ui->languageComboBox->findText(
            settings.value(settingkeys::language, QString::fromLatin1(defaultLanguage)).toString()));
        settings.setValue(settingkeys::password, QString::fromLatin1(builtInPassword));
    }

    applyTexts();
    setWindowTitle(QStringLiteral("%1 %2").arg(QCoreApplication::applicationName(),
                                               QCoreApplication::applicationVersion()));

    // The polling thread starts idle; its values arrive queued on this thread.
    if (m_thread != nullptr) {
        connect(&session, &Session::modelChanged, this,
                [this](StoveModel model) { m_thread->setModel(model); });
        m_thread->setModel(session.model());
        m_thread->start();
        connect(m_thread, &SerialThread::testhwinputRead, m_testHw, &TestHwPage::testhwinputSlot);
        connect(m_thread, &SerialThread::debugRead, m_debug, &DebugPage::debugSlot);
        connect(m_thread, &SerialThread::boardSilent, m_testHw, &TestHwPage::showBoardSilent);
        connect(m_thread, &SerialThread::boardSilent, m_debug, &DebugPage::showBoardSilent);
    }
}

HearthBench::~HearthBench() {
    shutDownLink();
}

void HearthBench::shutDownLink() {
    // The thread finishes the transaction in flight before the link goes away.
    if (m_thread != nullptr) {
        m_thread->requestStop();
        m_thread->wait();
    }
    m_session.link().close();
}

Page HearthBench::currentPage() const {
    return static_cast<Page>(m_ui->stackedWidget->currentIndex());
}

void HearthBench::showPage(Page page) {
    m_ui->stackedWidget->setCurrentIndex(static_cast<int>(page));
}

void HearthBench::applyTexts() {
    m_ui->setupToolButton->setText(textAt(Text::Setup).toUpper());
    m_ui->testHWToolButton->setText(textAt(Text::TestHw).toUpper());
    m_ui->parametersToolButton->setText(textAt(Text::Parameters).toUpper());
    m_ui->debugToolButton->setText(textAt(Text::Debug).toUpper());
    m_ui->configToolButton->setText(textAt(Text::Admin).toUpper());
    m_ui->graphicsToolButton->setText(textAt(Text::Graphics).toUpper());
    m_ui->comLabel->setText(QStringLiteral("COM"));
    m_ui->baudRateLabel->setText(textAt(Text::BaudRate).toUpper());
    m_ui->delayLabel->setText(textAt(Text::DelayMs));
    m_ui->homeBSetup->setText(textAt(Text::Esc).toUpper());
    m_testHw->applyTexts();
    m_parameters->applyTexts();
    m_debug->applyTexts();
    m_boardConfiguration->applyTexts();
}

void HearthBench::fillLanguageList() {
    m_ui->languageComboBox->clear();
    const QString stored =
        QSettings().value(settingkeys::language, QString::fromLatin1(defaultLanguage)).toString();
    for (const QString &name : availableLanguages()) {
        m_ui->languageComboBox->addItem(name);
        if (name == stored) m_ui->languageComboBox->setCurrentIndex(m_ui->languageComboBox->count() - 1);
    }
}

void HearthBench::connectNavigation() {
    const auto onClick = [this](QAbstractButton *button, std::function<Page()> change) {
        connect(button, &QAbstractButton::clicked, this, [this, change] { navigate(change); });
    };
    const auto home = [] { return Page::Home; };
    onClick(m_ui->setupToolButton, [this] {
        scanPorts();
        return Page::Setup;
    });
    onClick(m_ui->testHWToolButton, [this] { return enterBoardPage(Page::TestHw); });
    onClick(m_ui->parametersToolButton, [this] { return enterBoardPage(Page::Parameters); });
    onClick(m_ui->debugToolButton, [this] { return enterBoardPage(Page::Debug); });
    connect(m_ui->configToolButton, &QAbstractButton::clicked, this, [this] {
        navigate([this] {
            m_authentication->clearPassword();
            return Page::Authentication;
        });
        m_authentication->focusPassword(); // the focus can move only to a visible field
    });
    onClick(m_ui->homeBSetup, home);
    connect(m_ui->graphicsToolButton, &QAbstractButton::clicked, this,
            [this] { graphs::showGraphics(this); });

    connect(m_testHw, &TestHwPage::homeRequested, this, [this] {
        navigate([this] {
            if (m_thread != nullptr) m_thread->setMode(PollMode::Idle);
            m_testHw->leaveTestMode();
            return Page::Home;
        });
    });
    connect(m_parameters, &ParametersPage::homeRequested, this, [this, home] { navigate(home); });
    connect(m_debug, &DebugPage::homeRequested, this,
            [this] { navigate([this] { return leaveDebugPage(Page::Home); }); });
    connect(m_debug, &DebugPage::parametersRequested, this,
            [this] { navigate([this] { return leaveDebugPage(Page::Parameters); }); });
    connect(m_debug, &DebugPage::graphicsRequested, this, [this] { graphs::showGraphics(this); });
    connect(m_authentication, &AuthenticationPage::passwordSubmitted, this,
            [this] { navigate([this] { return checkAdminPassword(); }); });
    connect(m_authentication, &AuthenticationPage::homeRequested, this, [this, home] { navigate(home); });
    connect(m_boardConfiguration, &BoardConfigurationPage::homeRequested, this, [this] {
        navigate([this] {
            m_testHw->holdTestModeExit(false);
            return Page::Home;
        });
    });
}

void HearthBench::connectSettings() {
    connect(m_ui->comComboBox, &QComboBox::textActivated, this,
            [](const QString &name) { QSettings().setValue(settingkeys::com, comPortIndex(name)); });
    connect(m_ui->baudRateComboBox, &QComboBox::textActivated, this,
            [](const QString &text) { QSettings().setValue(settingkeys::baudRate, text.toInt()); });
    connect(m_ui->delaySpinBox, &QSpinBox::textChanged, this,
            [](const QString &text) { QSettings().setValue(settingkeys::delay, text.toInt()); });
    connect(m_ui->languageComboBox, &QComboBox::textActivated, this, &HearthBench::switchLanguage);
}

void HearthBench::switchLanguage(const QString &language) {
    {
        QSettings settings;
        settings.setValue(settingkeys::language, language);
        settings.sync();
    }
    loadLanguageFile(languageFilePath(language));
    installQtTranslations(language);
    applyTexts();
    if (m_entry->pagesBuilt() && m_session.model() != StoveModel::Unknown)
        m_parameters->fillPages(ParametersPage::FillMode::Refresh);
}

void HearthBench::navigate(const std::function<Page()> &change) {
    WaitCursor cursor;
    showPage(change());
}

Page HearthBench::enterBoardPage(Page requested) {
    Page page = requested;
    m_entry->enterPage(page);
    if (requested == Page::Debug) m_debug->resetRecordingControls();
    // The polling follows the page asked for, even when the entry failed (it sends nothing while no
    // model is known).
    if (m_thread != nullptr && requested != Page::Parameters)
        m_thread->setMode(requested == Page::TestHw ? PollMode::Inputs : PollMode::Monitor);
    return page;
}

Page HearthBench::leaveDebugPage(Page next) {
    // Polling stops with the page, so a recording would go on writing frozen values: leaving either
    // way asks first and ends it.
    if (m_debug->isRecording() && !messages::ask(QCoreApplication::applicationName(),
                                                 textAt(Text::RecordingWillBeInterrupted) +
                                                     QStringLiteral("\n") + textAt(Text::ContinueQuestion),
                                                 QMessageBox::No))
        return Page::Debug;
    m_debug->stopRecording();
    if (m_thread != nullptr) m_thread->setMode(PollMode::Idle);
    if (next == Page::Parameters) m_entry->enterPage(next);
    return next;
}

Page HearthBench::checkAdminPassword() {
    if (!m_authentication->checkPassword()) return Page::Authentication;
    // The firmware update and the parameter reset need the line to themselves.
    m_testHw->holdTestModeExit(true);
    m_boardConfiguration->prepare();
    return Page::BoardConfiguration;
}

void HearthBench::scanPorts() {
    m_ui->comComboBox->clear();
    for (int port : m_session.link().scanPorts())
        m_ui->comComboBox->addItem(comPortName(port));
    const int com = QSettings().value(settingkeys::com, defaultCom).toInt();
    m_ui->comComboBox->setCurrentIndex(m_ui->comComboBox->findText(comPortName(com)));
}

void HearthBench::keyPressEvent(QKeyEvent *event) {
    const int key = event->key();
    if (currentPage() == Page::Authentication) {
        if (key == Qt::Key_Escape)
            showPage(Page::Home);
        else if (key == Qt::Key_Enter) // only the keypad's Enter key confirms; Return does nothing here
            showPage(checkAdminPassword());
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F10)
        m_parameters->setHighlight(QColor(kHighlightColours[key - Qt::Key_F1]));
    // Other keys are not passed on.
}

void HearthBench::closeEvent(QCloseEvent *event) {
    if (!messages::ask(QCoreApplication::applicationName(), textAt(Text::QuitQuestion), QMessageBox::Yes)) {
        event->ignore();
        return;
    }
    // Leaving test mode can take seconds on a board that does not answer: the polling stops first so
    // it does not compete for the link, and the cursor says that the program is still working. The
    // board may be in test mode with the page shown, or after leaving it failed.
    WaitCursor cursor;
    if (m_thread != nullptr) m_thread->setMode(PollMode::Idle);
    m_testHw->leaveTestModeForClosing();
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget != this && widget->isVisible()) widget->close();
    shutDownLink();
    event->accept();
}
