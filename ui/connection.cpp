// Opening the link, detecting the stove model and the setup page's port scan.
#include "app/settings.h"
#include "app/texts.h"
#include "board/transactions.h"
#include "ui/hearthbench.h"
#include "ui/messages.h"
#include "ui_hearthbench.h"

#include <QApplication>
#include <QGroupBox>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QSettings>
#include <pyrolink.h>

namespace {

// The small window that reports the first page entry's steps.
class ProgressWindow {
public:
    ProgressWindow(const QWidget *mainWindow, int maximum) : window(new QWidget(nullptr, windowFlags())) {
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setFixedSize(348, 51);
        window->move((mainWindow->width() - 348) / 2, (mainWindow->height() - 51) / 2);
        bar = new QProgressBar(window);
        bar->setGeometry(10, 10, 340, 40);
        bar->setRange(0, maximum);
        bar->setValue(0);
    }
    ~ProgressWindow() { close(); }
    ProgressWindow(const ProgressWindow &) = delete;
    ProgressWindow &operator=(const ProgressWindow &) = delete;

    void setTitle(const QString &title) {
        if (window.isNull()) return;
        window->setWindowTitle(title);
        window->show();
        refresh();
    }
    void setValue(int value) {
        if (window.isNull()) return;
        bar->setValue(value);
        refresh();
    }
    // Keeps the window from standing between the user and a message box.
    void hide() {
        if (!window.isNull()) window->hide();
    }
    void close() {
        if (!window.isNull()) window->close();
    }

private:
    static Qt::WindowFlags windowFlags() { return Qt::FramelessWindowHint | Qt::WindowTitleHint; }
    void refresh() {
        if (!window.isNull() && window->isVisible()) window->repaint();
    }

    QPointer<QWidget> window;
    QProgressBar *bar = nullptr;
};

ProgressWindow *activeProgress = nullptr;

} // namespace

int HearthBench::openLinkWithSettings() {
    const LinkSettings link = readLinkSettings();
    // The read time-out is a 16-bit argument of the link library.
    const short delay = static_cast<short>(qBound(0, link.delay, 32767));
    return OpenComm(link.com, link.baudRate, 0, delay, link.byteTimeout(), link.byteTimeout());
}

void HearthBench::showOpenError() {
    if (activeProgress != nullptr) activeProgress->hide();
    const int com = QSettings().value(settingkeys::com, defaultCom).toInt();
    messages::critical(QCoreApplication::applicationName(),
                       QStringLiteral("%1 %2").arg(textAt(62), comPortName(com)));
}

void HearthBench::showCommunicationError() {
    if (activeProgress != nullptr) activeProgress->hide();
    const QString text = textAt(147) + QStringLiteral(".\n") + textAt(148) + QStringLiteral(":\n - ") +
                         textAt(149).toLower() + QStringLiteral(";\n - ") + textAt(150).toLower() +
                         QStringLiteral(";\n - ") + textAt(151).toLower() + QStringLiteral(" \"") +
                         textAt(17).toLower() + QStringLiteral("\".");
    messages::critical(QCoreApplication::applicationName(), text);
}

void HearthBench::openBoardLink(short *page) {
    int result;
    {
        QMutexLocker lock(&linkMutex);
        result = openLinkWithSettings();
    }
    if (result != 0) {
        *page = 0;
        portOpen = false;
        showOpenError();
        return;
    }
    portOpen = true;

    char text[24] = {};
    int ok = 0;
    for (int attempt = 0; attempt <= 3 && ok == 0; ++attempt) {
        QMutexLocker lock(&linkMutex);
        ok = readIdentity(text, (attempt + 3) * 25);
    }
    const QString identity = ok != 0 ? identityText(text, 22) : QString();
    if (ok != 0 && identityUsable(identity)) {
        currentModel = modelFromName(identity.left(10).trimmed());
        showIdentity(currentModel, identity, m_ui->modelValue, m_ui->versionValue, m_ui->revisionValue);
        showIdentity(currentModel, identity, m_ui->modelValueDebug, m_ui->versionValueDebug,
                     m_ui->revisionValueDebug);
        return;
    }
    *page = 0;
    showCommunicationError();
}

void HearthBench::showIdentity(StoveModel model, QString text, QLabel *modelLabel, QLabel *versionLabel,
                               QLabel *revisionLabel) {
    const Identity identity = parseIdentity(text);
    modelLabel->setText(modelName(model, true).toUpper());
    versionLabel->setText(identity.version);
    revisionLabel->setText(identity.revision);
}

void HearthBench::enterPage(short *page) {
    bool firstTimeCompleted = false;
    if (!pagesBuilt) {
        ProgressWindow progress(this, *page == 3 ? 2 : 3);
        activeProgress = &progress;
        progress.setTitle(textAt(152) + QStringLiteral("..."));
        openBoardLink(page);
        progress.setValue(1);
        if (*page != 0 && currentModel != 0) {
            progress.setTitle(textAt(153) + QStringLiteral("..."));
            buildModelPages();
            const QScreen *screen = QGuiApplication::primaryScreen();
            if (screen != nullptr && screen->geometry().width() < 1173) {
                const QString smallFont = QStringLiteral("font: 8pt Arial;");
                m_ui->inputGroupBox->setStyleSheet(smallFont);
                m_ui->outputGroupBox->setStyleSheet(smallFont);
                for (QGroupBox *subPage : parameterPages)
                    subPage->setStyleSheet(smallFont);
                m_ui->debugGB->setStyleSheet(smallFont);
                adjustSize();
            }
            progress.setValue(2);
            if (*page == 2) {
                progress.setTitle(textAt(154) + QStringLiteral("..."));
                enterTestMode();
                progress.setValue(3);
            } else if (*page == 4) {
                progress.setTitle(textAt(155) + QStringLiteral("..."));
                clearDebugValues();
                progress.setValue(3);
            }
            firstTimeCompleted = true;
        }
        progress.close();
        activeProgress = nullptr;
    }

    if (!portOpen) {
        int result;
        {
            QMutexLocker lock(&linkMutex);
            result = openLinkWithSettings();
        }
        portOpen = result == 0;
        if (!portOpen) showOpenError();
    }

    if (*page != 0 && !firstTimeCompleted && portOpen) {
        if (*page == 2)
            enterTestMode();
        else if (*page == 4)
            clearDebugValues();
    }
}

void HearthBench::scanPorts() {
    QMutexLocker lock(&linkMutex);
    if (portOpen) {
        CloseComm();
        portOpen = false;
    }
    m_ui->comComboBox->clear();
    for (int port = 0; port < 16; ++port) {
        if (OpenComm(port, 9600, 1, 1, 1, 1) == 0) {
            CloseComm();
            m_ui->comComboBox->addItem(comPortName(port));
        }
    }
    const int com = QSettings().value(settingkeys::com, defaultCom).toInt();
    m_ui->comComboBox->setCurrentIndex(m_ui->comComboBox->findText(comPortName(com)));
}
