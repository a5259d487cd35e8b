// Prints the time from process start (and from main) until the main window is shown, and the
// resident memory at that point. Run with QT_QPA_PLATFORM=offscreen (set here when unset).
#include "app/session.h"
#include "app/settings.h"
#include "app/texts.h"
#include "board/boardlink.h"
#include "board/serialthread.h"
#include "ui/hearthbench.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest/QTest>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

namespace {
// Seconds since this process started, from /proc (clock-tick resolution).
double processAgeSeconds() {
    QFile stat(QStringLiteral("/proc/self/stat"));
    QFile uptime(QStringLiteral("/proc/uptime"));
    if (!stat.open(QIODevice::ReadOnly) || !uptime.open(QIODevice::ReadOnly)) return -1;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20) return -1;
    const double started = fields.at(19).toDouble() / double(sysconf(_SC_CLK_TCK));
    return uptime.readAll().split(' ').value(0).toDouble() - started;
}

long residentKilobytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}
} // namespace

int main(int argc, char *argv[]) {
    QElapsedTimer clock;
    clock.start();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    setApplicationIdentity();
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    const QString language =
        QSettings().value(settingkeys::language, QString::fromLatin1(defaultLanguage)).toString();
    if (!loadLanguageFile(languageFilePath(language))) useDefaultTexts();

    BoardLink link;
    Session session(link);
    SerialThread thread(link);
    int ok;
    {
        HearthBench window(session, &thread);
        window.show();
        ok = QTest::qWaitForWindowExposed(&window, 5000);
        const qint64 fromMain = clock.elapsed();
        const double fromExec = processAgeSeconds();
        std::printf(
            "startup to first window shown: %lld ms from main, %.0f ms from process start (goal < 500 ms)\n",
            static_cast<long long>(fromMain), fromExec * 1000.0);
        std::printf("resident memory with the window shown: %.1f MB (goal < 80 MB)\n",
                    residentKilobytes() / 1024.0);
        thread.requestStop();
        thread.wait();
    }
    return ok ? 0 : 1;
}
