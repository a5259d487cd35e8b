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
constexpr Rgb kHighlightColours[] = {{237, 46, 41}, {244, 4, 32}, {250, 8, 1},  {237, 23, 36}, {244, 68, 20},
                                     {246, 18, 32}, {247, 5, 40}, {245, 16, 7}, {254, 81, 27}, {255, 0, 0}};
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

    const QList<QAbstractButton *> navigation = {m_ui->testHWToolButton,
                                                 m_ui->parametersToolButton,
                                                 m_ui->setupToolButton,
                                                 m_ui->debugToolButton,
                                                 m_ui->configToolButton,
                                                 m_ui->homeBSetup,
                                                 m_testHw->homeButton(),
                                                 m_parameters->homeButton(),
                                                 m_debug->homeButton(),
                                                 m_debug->parametersButton(),
                                                 m_boardConfiguration->homeButton(),
                                                 m_authentication->confirmButton(),
                                                 m_authentication->cancelButton()};
    for (QAbstractButton *button : navigation)
        connect(button, &QAbstractButton::clicked, this, &HearthBench::change);
    connect(m_ui->graphicsToolButton, &QAbstractButton::clicked, this, &HearthBench::showGraphicsSlot);
    connect(m_debug->graphicsButton(), &QAbstractButton::clicked, this, &HearthBench::showGraphicsSlot);
    connect(m_ui->comComboBox, &QComboBox::textActivated, this, &HearthBench::writeProgramSettings);
    connect(m_ui->baudRateComboBox, &QComboBox::textActivated, this, &HearthBench::writeProgramSettings);
    connect(m_ui->languageComboBox, &QComboBox::textActivated, this, &HearthBench::writeProgramSettings);
    connect(m_boardConfiguration->modelBox(), &QComboBox::textActivated, this,
            &HearthBench::writeProgramSettings);
    connect(m_ui->delaySpinBox, &QSpinBox::textChanged, this, &HearthBench::writeProgramSettings);
    connect(m_boardConfiguration, &BoardConfigurationPage::homeRequested, this, [this] {
        m_testHw->holdTestModeExit(false);
        showPage(Page::Home);
    });

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
        m_boardConfiguration->modelBox()->setCurrentIndex(m_boardConfiguration->modelBox()->findText(
            settings.value(settingkeys::updateFwLastBoard, QString()).toString()));
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
        connect(m_thread, &SerialThread::testhwinputRead, this, &HearthBench::testhwinputSlot);
        connect(m_thread, &SerialThread::debugRead, this, &HearthBench::debugSlot);
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
    m_ui->setupToolButton->setText(textAt(1).toUpper());
    m_ui->testHWToolButton->setText(textAt(2).toUpper());
    m_ui->parametersToolButton->setText(textAt(3).toUpper());
    m_ui->debugToolButton->setText(textAt(4).toUpper());
    m_ui->configToolButton->setText(textAt(228).toUpper());
    m_ui->graphicsToolButton->setText(textAt(49).toUpper());
    m_ui->comLabel->setText(QStringLiteral("COM"));
    m_ui->baudRateLabel->setText(textAt(48).toUpper());
    m_ui->delayLabel->setText(textAt(51));
    m_ui->homeBSetup->setText(textAt(50).toUpper());
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

void HearthBench::writeProgramSettings(const QString &text) {
    const QObject *source = sender();
    QSettings settings;
    if (source == m_ui->comComboBox) {
        settings.setValue(settingkeys::com, comPortIndex(text));
    } else if (source == m_ui->baudRateComboBox) {
        settings.setValue(settingkeys::baudRate, text.toInt());
    } else if (source == m_ui->delaySpinBox) {
        settings.setValue(settingkeys::delay, text.toInt());
    } else if (source == m_ui->languageComboBox) {
        settings.setValue(settingkeys::language, text);
        settings.sync();
        loadLanguageFile(languageFilePath(text));
        installQtTranslations(text);
        applyTexts();
        if (m_session.pagesBuilt() && m_session.model() != StoveModel::Unknown)
            m_parameters->fillPages(ParametersPage::FillMode::Refresh);
    } else if (source == m_boardConfiguration->modelBox()) {
        settings.setValue(settingkeys::updateFwLastBoard, text);
    }
}

void HearthBench::change() {
    WaitCursor cursor;
    const QObject *source = sender();
    Page page = Page::Home;
    if (source == m_ui->setupToolButton) {
        scanPorts();
        page = Page::Setup;
    } else if (source == m_ui->testHWToolButton) {
        page = Page::TestHw;
        m_entry->enterPage(page);
        if (m_thread != nullptr) m_thread->setMode(PollMode::Inputs);
    } else if (source == m_ui->parametersToolButton) {
        page = Page::Parameters;
        m_entry->enterPage(page);
    } else if (source == m_ui->debugToolButton) {
        page = Page::Debug;
        m_entry->enterPage(page);
        m_debug->resetRecordingControls();
        if (m_thread != nullptr) m_thread->setMode(PollMode::Monitor);
    } else if (source == m_ui->configToolButton) {
        m_authentication->clearPassword();
        page = Page::Authentication;
    } else if (source == m_authentication->confirmButton()) {
        page = checkAdminPassword();
    } else if (source == m_testHw->homeButton()) {
        if (m_thread != nullptr) m_thread->setMode(PollMode::Idle);
        m_testHw->leaveTestMode();
    } else if (source == m_debug->homeButton() || source == m_debug->parametersButton()) {
        // Polling stops with the page, so a recording would go on writing frozen values: leaving
        // either way asks first and ends it.
        if (m_debug->isRecording() &&
            !messages::ask(QCoreApplication::applicationName(),
                           textAt(252) + QStringLiteral("\n") + textAt(253), QMessageBox::No)) {
            page = Page::Debug;
        } else {
            m_debug->stopRecording();
            if (m_thread != nullptr) m_thread->setMode(PollMode::Idle);
            if (source == m_debug->parametersButton()) {
                page = Page::Parameters;
                m_entry->enterPage(page);
            }
        }
    } else if (source == m_boardConfiguration->homeButton()) {
        m_boardConfiguration->clearResults();
        m_testHw->holdTestModeExit(false);
    }
    showPage(page);
    // The focus can move only to a visible field.
    if (source == m_ui->configToolButton) m_authentication->focusPassword();
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
    if (key >= Qt::Key_F1 && key <= Qt::Key_F10) m_session.setHighlight(kHighlightColours[key - Qt::Key_F1]);
    // Other keys are not passed on.
}

void HearthBench::closeEvent(QCloseEvent *event) {
    if (!messages::ask(QCoreApplication::applicationName(), textAt(159), QMessageBox::Yes)) {
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

// The slots the program is known by, each served by the page that owns the work.
void HearthBench::memo() {
    m_parameters->memo();
}
void HearthBench::viewParameter() {
    m_parameters->viewParameter(sender());
}
void HearthBench::setParameter() {
    m_parameters->setParameter(sender());
}
void HearthBench::userInsertText() {
    m_parameters->userInsertText(sender());
}
void HearthBench::scrollPage() {
    m_parameters->scrollPage(sender());
}
void HearthBench::viewAll() {
    m_parameters->viewAll();
}
void HearthBench::setAll() {
    m_parameters->setAll();
}
void HearthBench::saveToFile() {
    m_parameters->saveToFile();
}
void HearthBench::loadFromFile() {
    m_parameters->loadFromFile();
}
void HearthBench::assignDataBank() {
    m_parameters->assignDataBank(sender());
}
void HearthBench::anaOutpBasic() {
    m_testHw->anaOutpBasic(sender());
}
void HearthBench::digOutpBasic() {
    m_testHw->digOutpBasic(sender());
}
void HearthBench::triLed() {
    m_testHw->triLed(sender());
}
void HearthBench::automaticTestHW() {
    m_testHw->automaticTestHW();
}
void HearthBench::anaOutpDisplay() {
    m_testHw->anaOutpDisplay(sender());
}
void HearthBench::digOutpDisplay() {
    m_testHw->digOutpDisplay(sender());
}
void HearthBench::testhwinputSlot(short input, short val) {
    m_testHw->testhwinputSlot(input, val);
}
void HearthBench::parDef() {
    m_boardConfiguration->parDef();
}
void HearthBench::updateFWSlot() {
    m_boardConfiguration->updateFWSlot();
}
void HearthBench::chooseModel(int index) {
    m_boardConfiguration->chooseModel(index);
}
void HearthBench::toggleRec(bool on) {
    m_debug->toggleRec(on);
}
void HearthBench::pulse() {
    m_debug->pulse();
}
void HearthBench::debugSlot(short index, short t1, short t2, short t3) {
    m_debug->debugSlot(index, t1, t2, t3);
}
void HearthBench::showGraphicsSlot() {
    graphs::showGraphics(this);
}
