// Prints the time from process start (and from main) until the main window is shown, and the
// resident memory at that point, offscreen unless QT_QPA_PLATFORM says otherwise.
#include "program.h"
#include "qtbench.h"

#include <QtTest/QTest>
#include <iterator>
#include <sstream>
#include <unistd.h>

int main(int argc, char *argv[]) {
    const auto start = bench::Clock::now();
    bench::useOffscreen();
    QApplication application(argc, argv);
    bench::ScratchSettings settings;
    const QString language =
        QSettings().value(settingkeys::language, QString::fromLatin1(defaultLanguage)).toString();
    if (!loadLanguageFile(languageFilePath(language))) useDefaultTexts();

    hbsupport::Program program;
    program.window().show();
    const bool ok = QTest::qWaitForWindowExposed(&program.window(), 5000);
    const double fromMain = bench::msSince(start);
    // The process's start (field 22 of its stat, after the command in parentheses) against the uptime.
    std::ifstream stat("/proc/self/stat"), uptime("/proc/uptime");
    std::string text((std::istreambuf_iterator<char>(stat)), {}), field;
    std::istringstream fields(text.substr(text.rfind(')') + 1));
    for (int i = 0; i < 20; ++i)
        fields >> field;
    double now = 0;
    uptime >> now;
    const double fromExec = now - std::stod(field) / double(sysconf(_SC_CLK_TCK));
    std::printf(
        "startup to first window shown: %.0f ms from main, %.0f ms from process start (goal < 500 ms)\n",
        fromMain, fromExec * 1000.0);
    std::printf("resident memory with the window shown: %.1f MB (goal < 80 MB)\n",
                bench::statusKiB() / 1024.0);
    return ok ? 0 : 1;
}
