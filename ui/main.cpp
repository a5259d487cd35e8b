// Hearth Bench: service and test tool for the control board of a pellet stove.
#include "app/session.h"
#include "app/settings.h"
#include "board/boardlink.h"
#include "board/serialthread.h"
#include "ui/hearthbench.h"
#include "ui/launchcheck.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    setApplicationIdentity();
    // Lets the desktop match the window to the installed desktop entry (and its icon).
    QGuiApplication::setDesktopFileName(QStringLiteral("hearthbench"));

    loadStartupTexts();

    BoardLink link;
    Session session(link);
    SerialThread thread(link);
    int result;
    {
        HearthBench window(session, &thread);
        window.show();
        // Only when the launch script's check mode asks for it.
        const auto check = LaunchCheck::fromEnvironment(window, session);
        result = application.exec();
    }
    return result;
}
