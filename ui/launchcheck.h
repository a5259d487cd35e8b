// The launch script's check mode (tools/run-hearthbench.sh --check, used by CI): with the environment
// variable HEARTHBENCH_LAUNCH_CHECK set to a number of seconds, the program enters the parameters page
// as soon as its window is shown, which opens the link and detects the board, then quits: status 0
// when the window was shown, the language files found and a model detected; status 1 with the reason
// on standard error when not (a message box the program showed, or the time ran out).
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class HearthBench;
class Session;

class LaunchCheck : public QObject {
public:
    // The check the environment asks for, or none.
    static std::unique_ptr<LaunchCheck> fromEnvironment(HearthBench &window, const Session &session);

    LaunchCheck(HearthBench &window, const Session &session, int seconds);

private:
    void run();
    // Runs inside the modal loops of page entry: notes and closes a message box, ends on time-out.
    void watch();
    void finish(int status, const QString &message);

    HearthBench &m_window;
    const Session &m_session;
    int m_seconds;
    QElapsedTimer m_clock;
    QTimer m_watch;
    QString m_boxText;
    bool m_finished = false;
};
