#include "ui/launchcheck.h"

#include "app/session.h"
#include "app/texts.h"
#include "board/stovemodel.h"
#include "ui/hearthbench.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>

#include <cstdio>

namespace {
constexpr char kVariable[] = "HEARTHBENCH_LAUNCH_CHECK";
constexpr int kWatchIntervalMs = 100;
} // namespace

std::unique_ptr<LaunchCheck> LaunchCheck::fromEnvironment(HearthBench &window, const Session &session) {
    if (!qEnvironmentVariableIsSet(kVariable)) return nullptr;
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue(kVariable, &ok);
    return std::make_unique<LaunchCheck>(window, session, ok && seconds > 0 ? seconds : 60);
}

LaunchCheck::LaunchCheck(HearthBench &window, const Session &session, int seconds)
    : m_window(window), m_session(session), m_seconds(seconds) {
    m_clock.start();
    m_watch.setInterval(kWatchIntervalMs);
    connect(&m_watch, &QTimer::timeout, this, &LaunchCheck::watch);
    m_watch.start();
    // After the event loop has started, so the window has been shown as a user sees it.
    QTimer::singleShot(0, this, &LaunchCheck::run);
}

void LaunchCheck::run() {
    if (!m_window.isVisible()) return finish(1, QStringLiteral("the main window was not shown"));
    const QStringList languages = availableLanguages();
    if (languages.isEmpty())
        return finish(
            1, QStringLiteral("no language files in %1").arg(languageFolders().join(QStringLiteral(", "))));
    auto *parameters = m_window.findChild<QAbstractButton *>(QStringLiteral("parametersToolButton"));
    if (parameters == nullptr) return finish(1, QStringLiteral("the window has no parameters button"));
    // Page entry opens the link and detects the model; it returns when done or after its message box.
    parameters->click();
    if (m_finished) return;
    if (m_session.model() == StoveModel::Unknown || m_window.currentPage() != Page::Parameters) {
        return finish(1, m_boxText.isEmpty() ? QStringLiteral("no board model detected")
                                             : QStringLiteral("no board model detected: ") + m_boxText);
    }
    finish(0, QStringLiteral("window shown, languages %1, %2 board detected (%3)")
                  .arg(languages.join(QStringLiteral(", ")), modelName(m_session.model(), false),
                       m_session.identity().trimmed()));
}

void LaunchCheck::watch() {
    if (auto *box = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
        if (auto *message = qobject_cast<QMessageBox *>(box)) {
            const QString text = message->text() + QLatin1Char(' ') + message->informativeText();
            m_boxText = text.simplified();
        }
        box->reject();
    }
    if (!m_finished && m_clock.elapsed() > qint64(m_seconds) * 1000)
        finish(1, QStringLiteral("no board model detected within %1 s").arg(m_seconds));
}

void LaunchCheck::finish(int status, const QString &message) {
    if (m_finished) return;
    m_finished = true;
    std::fprintf(status == 0 ? stdout : stderr, "hearthbench launch check %s: %s\n",
                 status == 0 ? "passed" : "FAILED", qPrintable(message));
    std::fflush(nullptr);
    // Ends every event loop, a message box's too; the watch goes on closing boxes until main returns.
    QCoreApplication::exit(status);
}
