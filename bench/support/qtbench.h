// Helpers of the benchmarks that run the program's pages or window: settings in a scratch folder,
// and message boxes answered as soon as they show.
#pragma once

#include "app/settings.h"
#include "app/texts.h"
#include "bench.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cstdio>

namespace bench {

// Before the application: offscreen unless QT_QPA_PLATFORM says otherwise.
inline void useOffscreen() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Offscreen windows paint only once the event loop has shown them: waits (at most 5 s) until it has.
inline void waitExposed(QWidget *window) {
    const auto start = Clock::now();
    while ((window->windowHandle() == nullptr || !window->windowHandle()->isExposed()) &&
           msSince(start) < 5000) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
}

// The program's identity and built-in texts, its settings in a scratch folder while this lives.
class ScratchSettings {
public:
    ScratchSettings() {
        setApplicationIdentity();
        useDefaultTexts();
        QSettings::setDefaultFormat(QSettings::IniFormat);
        for (const auto format : {QSettings::IniFormat, QSettings::NativeFormat})
            QSettings::setPath(format, QSettings::UserScope, m_dir.path());
    }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

// Answers every message box with Ok (or closes it) as soon as it shows, so that boxes cost next to
// no time; with `report`, writes each box's text to standard error.
class BoxAcceptor : public QObject {
public:
    explicit BoxAcceptor(bool report = false) : m_report(report) { qApp->installEventFilter(this); }

protected:
    bool eventFilter(QObject *object, QEvent *event) override {
        auto *box = event->type() == QEvent::Show ? qobject_cast<QMessageBox *>(object) : nullptr;
        if (box == nullptr) return false;
        if (m_report) std::fprintf(stderr, "message box: %s\n", qPrintable(box->text()));
        QTimer::singleShot(0, box, [box] {
            if (QAbstractButton *ok = box->button(QMessageBox::Ok))
                ok->click();
            else
                box->reject();
        });
        return false;
    }

private:
    bool m_report;
};

} // namespace bench
