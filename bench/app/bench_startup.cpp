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
#include <unistd.h>

namespace {
// The whitespace-separated field `index` after `key` in a /proc file (the whole file when `key` is
// empty).
QByteArray procField(const char *file, const QByteArray &key, int index) {
    QFile proc{QString::fromLatin1(file)};
    if (!proc.open(QIODevice::ReadOnly)) return {};
    const QByteArray text = proc.readAll();
    const qsizetype at = key.isEmpty() ? 0 : text.lastIndexOf(key);
    return at < 0 ? QByteArray() : text.mid(at + key.size()).simplified().split(' ').value(index);
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
    HearthBench window(session, &thread);
    window.show();
    const bool ok = QTest::qWaitForWindowExposed(&window, 5000);
    const qint64 fromMain = clock.elapsed();
    // The process's start (field 22 of its stat, after the command in parentheses) against the uptime.
    const double started = procField("/proc/self/stat", ")", 19).toDouble() / double(sysconf(_SC_CLK_TCK));
    const double fromExec = procField("/proc/uptime", {}, 0).toDouble() - started;
    std::printf(
        "startup to first window shown: %lld ms from main, %.0f ms from process start (goal < 500 ms)\n",
        static_cast<long long>(fromMain), fromExec * 1000.0);
    std::printf("resident memory with the window shown: %.1f MB (goal < 80 MB)\n",
                procField("/proc/self/status", "VmRSS:", 0).toLong() / 1024.0);
    thread.requestStop();
    thread.wait();
    return ok ? 0 : 1;
}
