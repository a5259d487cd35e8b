#include "ui/hearthbench.h"

#include "app/settings.h"
#include "app/texts.h"
#include "board/serialthread.h"
#include "board/transactions.h"
#include "ui/messages.h"
#include "ui_hearthbench.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QSettings>
#include <QTimerEvent>
#include <pyrolink.h>

// The resource bundle is compiled into the window library; make sure it is linked and registered.
static void initResources() {
    Q_INIT_RESOURCE(hearthbench);
}

namespace {
// Tool tips are shown as rich text when they look like markup; texts from language files never are.
QString plainToolTip(const QString &text) {
    if (!Qt::mightBeRichText(text)) return text;
    return QStringLiteral("<p style='white-space:pre'>%1</p>").arg(text.toHtmlEscaped());
}
} // namespace

HearthBench::HearthBench(SerialThread *thread, QWidget *parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags), m_ui(new Ui::HearthBenchClass), thread(thread) {
    initResources();
    // The form, its first entries and its connections.
    m_ui->setupUi(this);
    m_ui->stackedWidget->setCurrentIndex(0);
    m_ui->comComboBox->setCurrentIndex(-1);
    m_ui->baudRateComboBox->setCurrentIndex(0);
    m_ui->languageComboBox->setCurrentIndex(0);
    m_ui->modelComboBox->setCurrentIndex(0);
    // No recording yet: its clock stays hidden until one starts.
    resetRecordingControls();

    const QList<QAbstractButton *> navigation = {m_ui->testHWToolButton,    m_ui->parametersToolButton,
                                                 m_ui->setupToolButton,     m_ui->debugToolButton,
                                                 m_ui->configToolButton,    m_ui->homeBSetup,
                                                 m_ui->homeBTest,           m_ui->homeBPar,
                                                 m_ui->homeBDebug,          m_ui->parBDebug,
                                                 m_ui->homeBAdmin,          m_ui->authConfirmToolButton,
                                                 m_ui->authCancelToolButton};
    for (QAbstractButton *button : navigation)
        connect(button, &QAbstractButton::clicked, this, &HearthBench::change);
    connect(m_ui->upParB, &QAbstractButton::clicked, this, &HearthBench::scrollPage);
    connect(m_ui->downParB, &QAbstractButton::clicked, this, &HearthBench::scrollPage);
    connect(m_ui->memoButton, &QAbstractButton::clicked, this, &HearthBench::memo);
    connect(m_ui->viewAllButton, &QAbstractButton::clicked, this, &HearthBench::viewAll);
    connect(m_ui->setAllButton, &QAbstractButton::clicked, this, &HearthBench::setAll);
    connect(m_ui->writeToFile, &QAbstractButton::clicked, this, &HearthBench::saveToFile);
    connect(m_ui->readFromFile, &QAbstractButton::clicked, this, &HearthBench::loadFromFile);
    connect(m_ui->automaticTestButton, &QAbstractButton::clicked, this, &HearthBench::automaticTestHW);
    connect(m_ui->defaultButton, &QAbstractButton::clicked, this, &HearthBench::parDef);
    connect(m_ui->firmwareUpdateButton, &QAbstractButton::clicked, this, &HearthBench::updateFWSlot);
    connect(m_ui->registrationToolButton, &QAbstractButton::clicked, this, &HearthBench::toggleRec);
    connect(m_ui->graphicsToolButton, &QAbstractButton::clicked, this, &HearthBench::showGraphicsSlot);
    connect(m_ui->graphicsBDebug, &QAbstractButton::clicked, this, &HearthBench::showGraphicsSlot);
    connect(m_ui->modelComboBox, &QComboBox::activated, this, &HearthBench::chooseModel);
    connect(m_ui->comComboBox, &QComboBox::textActivated, this, &HearthBench::writeProgramSettings);
    connect(m_ui->baudRateComboBox, &QComboBox::textActivated, this, &HearthBench::writeProgramSettings);
    connect(m_ui->languageComboBox, &QComboBox::textActivated, this, &HearthBench::writeProgramSettings);
    connect(m_ui->modelComboBox, &QComboBox::textActivated, this, &HearthBench::writeProgramSettings);
    connect(m_ui->delaySpinBox, &QSpinBox::textChanged, this, &HearthBench::writeProgramSettings);

    // Languages; there is no sub-page before the first one.
    fillLanguageList();
    m_ui->downParB->setEnabled(false);

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
        m_ui->modelComboBox->setCurrentIndex(m_ui->modelComboBox->findText(
            settings.value(settingkeys::updateFwLastBoard, QString()).toString()));
    }

    // Texts and title.
    applyTexts();
    setWindowTitle(QStringLiteral("%1 %2").arg(QCoreApplication::applicationName(),
                                               QCoreApplication::applicationVersion()));

    // The polling thread starts idle; its values arrive queued on this thread.
    if (thread != nullptr) {
        thread->start();
        connect(thread, &SerialThread::testhwinputRead, this, &HearthBench::testhwinputSlot);
        connect(thread, &SerialThread::debugRead, this, &HearthBench::debugSlot);
    }
}

HearthBench::~HearthBench() {
    shutDownLink();
    delete m_ui;
}

void HearthBench::shutDownLink() {
    // The thread finishes the transaction in flight before the link goes away.
    if (thread != nullptr) {
        thread->requestStop();
        thread->wait();
    }
    if (portOpen) {
        QMutexLocker lock(&linkMutex);
        CloseComm();
    }
    portOpen = false;
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
    m_ui->memoButton->setToolTip(plainToolTip(textAt(75)));
    m_ui->viewAllButton->setToolTip(plainToolTip(textAt(76)));
    m_ui->setAllButton->setToolTip(plainToolTip(textAt(77)));
    m_ui->writeToFile->setToolTip(plainToolTip(textAt(87)));
    m_ui->readFromFile->setToolTip(plainToolTip(textAt(88)));
    m_ui->inputGroupBox->setTitle(textAt(52));
    m_ui->outputGroupBox->setTitle(textAt(53));
    const QString colon = QStringLiteral(":");
    m_ui->modelLabel->setText(textAt(96) + colon);
    m_ui->versionLabel->setText(textAt(97) + colon);
    m_ui->revisionLabel->setText(textAt(98) + colon);
    m_ui->automaticTestButton->setToolTip(plainToolTip(textAt(121)));
    m_ui->debugGB->setTitle(textAt(4));
    m_ui->modelLabelDebug->setText(textAt(96) + colon);
    m_ui->versionLabelDebug->setText(textAt(97) + colon);
    m_ui->revisionLabelDebug->setText(textAt(98) + colon);
    m_ui->elapsedTimeLabel->setText(textAt(0));
    m_ui->gapLabel->setText(textAt(36) + QStringLiteral(" [mm:ss]"));
    m_ui->registrationToolButton->setToolTip(plainToolTip(textAt(35)));
    m_ui->parBDebug->setText(textAt(3).toUpper());
    m_ui->warningLabel->setText(textAt(229));
    m_ui->firmwareUpdateButton->setText(textAt(31));
    m_ui->eepromCheckBox->setText(textAt(30));
    m_ui->writeErrorLabel->setText(textAt(257));
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
    QObject *source = sender();
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
        applyTexts();
        if (pagesBuilt && currentModel != 0) fillPages(1);
    } else if (source == m_ui->modelComboBox) {
        settings.setValue(settingkeys::updateFwLastBoard, text);
    }
}

void HearthBench::change() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QObject *source = sender();
    short page = 0;
    if (source == m_ui->setupToolButton) {
        scanPorts();
        page = 1;
    } else if (source == m_ui->testHWToolButton) {
        page = 2;
        enterPage(&page);
        if (thread != nullptr) thread->setMode(1);
    } else if (source == m_ui->parametersToolButton) {
        page = 3;
        enterPage(&page);
    } else if (source == m_ui->debugToolButton) {
        page = 4;
        enterPage(&page);
        resetRecordingControls();
        if (thread != nullptr) thread->setMode(2);
    } else if (source == m_ui->configToolButton) {
        m_ui->pswdLineEdit->clear();
        page = 5;
    } else if (source == m_ui->authConfirmToolButton) {
        page = static_cast<short>(checkAdminPassword());
    } else if (source == m_ui->homeBTest) {
        if (thread != nullptr) thread->setMode(0);
        leaveTestMode();
    } else if (source == m_ui->homeBDebug) {
        if (recording) {
            if (messages::ask(textAt(252) + QStringLiteral("\n") + textAt(253), QMessageBox::No)) {
                stopRecordingTimers();
                recording = false;
                if (thread != nullptr) thread->setMode(0);
            } else {
                page = 4;
            }
        } else if (thread != nullptr) {
            thread->setMode(0);
        }
    } else if (source == m_ui->parBDebug) {
        if (thread != nullptr) thread->setMode(0);
        page = 3;
        enterPage(&page);
    } else if (source == m_ui->homeBAdmin) {
        m_ui->confirmationParDefLabel->clear();
        m_ui->confirmationUpdateFWLabel->clear();
        m_ui->motFileLineEdit->clear();
    }
    m_ui->stackedWidget->setCurrentIndex(page);
    // The focus can move only to a visible field.
    if (source == m_ui->configToolButton) m_ui->pswdLineEdit->setFocus();
    QApplication::restoreOverrideCursor();
}

void HearthBench::keyPressEvent(QKeyEvent *event) {
    if (m_ui->stackedWidget->currentIndex() == 5) {
        if (event->key() == Qt::Key_Escape) {
            m_ui->stackedWidget->setCurrentIndex(0);
        } else if (event->key() == Qt::Key_Enter) {
            // Only the keypad's Enter key confirms; the main Return key does nothing here.
            m_ui->stackedWidget->setCurrentIndex(checkAdminPassword());
        }
    }
    static const unsigned short colours[10][3] = {{237, 46, 41}, {244, 4, 32},  {250, 8, 1},  {237, 23, 36},
                                                  {244, 68, 20}, {246, 18, 32}, {247, 5, 40}, {245, 16, 7},
                                                  {254, 81, 27}, {255, 0, 0}};
    const int key = event->key();
    if (key >= Qt::Key_F1 && key <= Qt::Key_F10) {
        const unsigned short *colour = colours[key - Qt::Key_F1];
        for (int i = 0; i < 3; ++i)
            highlightColour[i] = colour[i];
    }
    // Other keys are not passed on.
}

void HearthBench::closeEvent(QCloseEvent *event) {
    if (!messages::ask(textAt(159), QMessageBox::Yes)) {
        event->ignore();
        return;
    }
    if (m_ui->stackedWidget->currentIndex() == 2) leaveTestMode();
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget != this && widget->isVisible()) widget->close();
    shutDownLink();
    event->accept();
}

void HearthBench::timerEvent(QTimerEvent *event) {
    if (event->timerId() == oneSecondTimer.timerId() || event->timerId() == intervalTimer.timerId()) {
        // Recording ticks are served by the recording feature.
        return;
    }
    QMainWindow::timerEvent(event);
}
