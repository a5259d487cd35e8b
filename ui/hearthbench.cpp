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
    : QMainWindow(parent, flags), ui(new Ui::HearthBenchClass), thread(thread) {
    initResources();
    // The form, its first entries and its connections.
    ui->setupUi(this);
    ui->stackedWidget->setCurrentIndex(0);
    ui->comComboBox->setCurrentIndex(-1);
    ui->baudRateComboBox->setCurrentIndex(0);
    ui->languageComboBox->setCurrentIndex(0);
    ui->modelComboBox->setCurrentIndex(0);
    // No recording yet: its clock stays hidden until one starts.
    resetRecordingControls();

    const QList<QAbstractButton *> navigation = {ui->testHWToolButton,    ui->parametersToolButton,
                                                 ui->setupToolButton,     ui->debugToolButton,
                                                 ui->configToolButton,    ui->homeBSetup,
                                                 ui->homeBTest,           ui->homeBPar,
                                                 ui->homeBDebug,          ui->parBDebug,
                                                 ui->homeBAdmin,          ui->authConfirmToolButton,
                                                 ui->authCancelToolButton};
    for (QAbstractButton *button : navigation)
        connect(button, SIGNAL(clicked()), this, SLOT(change()));
    connect(ui->upParB, SIGNAL(clicked()), this, SLOT(scrollPage()));
    connect(ui->downParB, SIGNAL(clicked()), this, SLOT(scrollPage()));
    connect(ui->memoButton, SIGNAL(clicked()), this, SLOT(memo()));
    connect(ui->viewAllButton, SIGNAL(clicked()), this, SLOT(viewAll()));
    connect(ui->setAllButton, SIGNAL(clicked()), this, SLOT(setAll()));
    connect(ui->writeToFile, SIGNAL(clicked()), this, SLOT(saveToFile()));
    connect(ui->readFromFile, SIGNAL(clicked()), this, SLOT(loadFromFile()));
    connect(ui->automaticTestButton, SIGNAL(clicked()), this, SLOT(automaticTestHW()));
    connect(ui->defaultButton, SIGNAL(clicked()), this, SLOT(parDef()));
    connect(ui->firmwareUpdateButton, SIGNAL(clicked()), this, SLOT(updateFWSlot()));
    connect(ui->registrationToolButton, SIGNAL(clicked(bool)), this, SLOT(toggleRec(bool)));
    connect(ui->graphicsToolButton, SIGNAL(clicked()), this, SLOT(showGraphicsSlot()));
    connect(ui->graphicsBDebug, SIGNAL(clicked()), this, SLOT(showGraphicsSlot()));
    connect(ui->modelComboBox, SIGNAL(activated(int)), this, SLOT(chooseModel(int)));
    connect(ui->comComboBox, SIGNAL(textActivated(QString)), this, SLOT(writeProgramSettings(QString)));
    connect(ui->baudRateComboBox, SIGNAL(textActivated(QString)), this, SLOT(writeProgramSettings(QString)));
    connect(ui->languageComboBox, SIGNAL(textActivated(QString)), this, SLOT(writeProgramSettings(QString)));
    connect(ui->modelComboBox, SIGNAL(textActivated(QString)), this, SLOT(writeProgramSettings(QString)));
    connect(ui->delaySpinBox, SIGNAL(textChanged(QString)), this, SLOT(writeProgramSettings(QString)));

    // Languages; there is no sub-page before the first one.
    fillLanguageList();
    ui->downParB->setEnabled(false);

    // The stored settings on the setup page; the password is always the built-in one.
    {
        QSettings settings;
        ui->comComboBox->setCurrentIndex(
            ui->comComboBox->findText(comPortName(settings.value(settingkeys::com, defaultCom).toInt())));
        ui->baudRateComboBox->setCurrentIndex(ui->baudRateComboBox->findText(
            QString::number(settings.value(settingkeys::baudRate, defaultBaudRate).toInt())));
        ui->delaySpinBox->setValue(settings.value(settingkeys::delay, defaultDelay).toInt());
        ui->languageComboBox->setCurrentIndex(ui->languageComboBox->findText(
            settings.value(settingkeys::language, QString::fromLatin1(defaultLanguage)).toString()));
        settings.setValue(settingkeys::password, QString::fromLatin1(builtInPassword));
        ui->modelComboBox->setCurrentIndex(ui->modelComboBox->findText(
            settings.value(settingkeys::updateFwLastBoard, QString()).toString()));
    }

    // Texts and title.
    applyTexts();
    setWindowTitle(QStringLiteral("%1 %2").arg(QCoreApplication::applicationName(),
                                               QCoreApplication::applicationVersion()));

    // The polling thread starts idle; its values arrive queued on this thread.
    if (thread != nullptr) {
        thread->start();
        connect(thread, SIGNAL(testhwinputRead(short, short)), this, SLOT(testhwinputSlot(short, short)));
        connect(thread, SIGNAL(debugRead(short, short, short, short)), this,
                SLOT(debugSlot(short, short, short, short)));
    }
}

HearthBench::~HearthBench() {
    shutDownLink();
    delete ui;
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
    ui->setupToolButton->setText(textAt(1).toUpper());
    ui->testHWToolButton->setText(textAt(2).toUpper());
    ui->parametersToolButton->setText(textAt(3).toUpper());
    ui->debugToolButton->setText(textAt(4).toUpper());
    ui->configToolButton->setText(textAt(228).toUpper());
    ui->graphicsToolButton->setText(textAt(49).toUpper());
    ui->comLabel->setText(QStringLiteral("COM"));
    ui->baudRateLabel->setText(textAt(48).toUpper());
    ui->delayLabel->setText(textAt(51));
    ui->homeBSetup->setText(textAt(50).toUpper());
    ui->memoButton->setToolTip(plainToolTip(textAt(75)));
    ui->viewAllButton->setToolTip(plainToolTip(textAt(76)));
    ui->setAllButton->setToolTip(plainToolTip(textAt(77)));
    ui->writeToFile->setToolTip(plainToolTip(textAt(87)));
    ui->readFromFile->setToolTip(plainToolTip(textAt(88)));
    ui->inputGroupBox->setTitle(textAt(52));
    ui->outputGroupBox->setTitle(textAt(53));
    const QString colon = QStringLiteral(":");
    ui->modelLabel->setText(textAt(96) + colon);
    ui->versionLabel->setText(textAt(97) + colon);
    ui->revisionLabel->setText(textAt(98) + colon);
    ui->automaticTestButton->setToolTip(plainToolTip(textAt(121)));
    ui->debugGB->setTitle(textAt(4));
    ui->modelLabelDebug->setText(textAt(96) + colon);
    ui->versionLabelDebug->setText(textAt(97) + colon);
    ui->revisionLabelDebug->setText(textAt(98) + colon);
    ui->elapsedTimeLabel->setText(textAt(0));
    ui->gapLabel->setText(textAt(36) + QStringLiteral(" [mm:ss]"));
    ui->registrationToolButton->setToolTip(plainToolTip(textAt(35)));
    ui->parBDebug->setText(textAt(3).toUpper());
    ui->warningLabel->setText(textAt(229));
    ui->firmwareUpdateButton->setText(textAt(31));
    ui->eepromCheckBox->setText(textAt(30));
    ui->writeErrorLabel->setText(textAt(257));
}

void HearthBench::fillLanguageList() {
    ui->languageComboBox->clear();
    const QString stored =
        QSettings().value(settingkeys::language, QString::fromLatin1(defaultLanguage)).toString();
    for (const QString &name : availableLanguages()) {
        ui->languageComboBox->addItem(name);
        if (name == stored) ui->languageComboBox->setCurrentIndex(ui->languageComboBox->count() - 1);
    }
}

void HearthBench::writeProgramSettings(const QString &text) {
    QObject *source = sender();
    QSettings settings;
    if (source == ui->comComboBox) {
        settings.setValue(settingkeys::com, comPortIndex(text));
    } else if (source == ui->baudRateComboBox) {
        settings.setValue(settingkeys::baudRate, text.toInt());
    } else if (source == ui->delaySpinBox) {
        settings.setValue(settingkeys::delay, text.toInt());
    } else if (source == ui->languageComboBox) {
        settings.setValue(settingkeys::language, text);
        settings.sync();
        loadLanguageFile(languageFilePath(text));
        applyTexts();
        if (pagesBuilt && currentModel != 0) fillPages(1);
    } else if (source == ui->modelComboBox) {
        settings.setValue(settingkeys::updateFwLastBoard, text);
    }
}

void HearthBench::change() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QObject *source = sender();
    short page = 0;
    if (source == ui->setupToolButton) {
        scanPorts();
        page = 1;
    } else if (source == ui->testHWToolButton) {
        page = 2;
        enterPage(&page);
        if (thread != nullptr) thread->setMode(1);
    } else if (source == ui->parametersToolButton) {
        page = 3;
        enterPage(&page);
    } else if (source == ui->debugToolButton) {
        page = 4;
        enterPage(&page);
        resetRecordingControls();
        if (thread != nullptr) thread->setMode(2);
    } else if (source == ui->configToolButton) {
        ui->pswdLineEdit->clear();
        page = 5;
    } else if (source == ui->authConfirmToolButton) {
        page = static_cast<short>(checkAdminPassword());
    } else if (source == ui->homeBTest) {
        if (thread != nullptr) thread->setMode(0);
        leaveTestMode();
    } else if (source == ui->homeBDebug) {
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
    } else if (source == ui->parBDebug) {
        if (thread != nullptr) thread->setMode(0);
        page = 3;
        enterPage(&page);
    } else if (source == ui->homeBAdmin) {
        ui->confirmationParDefLabel->clear();
        ui->confirmationUpdateFWLabel->clear();
        ui->motFileLineEdit->clear();
    }
    ui->stackedWidget->setCurrentIndex(page);
    // The focus can move only to a visible field.
    if (source == ui->configToolButton) ui->pswdLineEdit->setFocus();
    QApplication::restoreOverrideCursor();
}

void HearthBench::keyPressEvent(QKeyEvent *event) {
    if (ui->stackedWidget->currentIndex() == 5) {
        if (event->key() == Qt::Key_Escape) {
            ui->stackedWidget->setCurrentIndex(0);
        } else if (event->key() == Qt::Key_Enter) {
            // Only the keypad's Enter key confirms; the main Return key does nothing here.
            ui->stackedWidget->setCurrentIndex(checkAdminPassword());
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
    if (ui->stackedWidget->currentIndex() == 2) leaveTestMode();
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
