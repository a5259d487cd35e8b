// Shared helpers of the program's QtTest programs: isolated settings and working folder, a scripted
// board on a pseudo-terminal, the simulator's control channel as text, and answerers for modal boxes
// and file dialogs.
#pragma once

#include "app/session.h"
#include "app/settings.h"
#include "board/boardlink.h"
#include "board/detection.h"
#include "pty_peer.h"
#include "simulator.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace hbtest {

// The widget called `name` below `root`; a missing widget ends the test program.
template <typename T> T *child(const QObject &root, const char *name) {
    T *found = root.findChild<T *>(QLatin1String(name));
    if (found == nullptr) qFatal("no %s named %s", T::staticMetaObject.className(), name);
    return found;
}

// Clicks the button called `name` below `root`.
inline void click(const QObject &root, const char *name) {
    child<QAbstractButton>(root, name)->click();
}

// The text of the label called `name` below `root`.
inline QString labelText(const QObject &root, const char *name) {
    return child<QLabel>(root, name)->text();
}

// Chooses `text` in a combo box as the user does.
inline void activate(const QObject &root, const char *box, const QString &text) {
    QComboBox *combo = child<QComboBox>(root, box);
    const int index = combo->findText(text);
    if (index < 0) qFatal("%s does not list %s", box, qPrintable(text));
    combo->setCurrentIndex(index);
    emit combo->textActivated(text);
}

// The whole content of a file (empty when it cannot be read).
inline QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes `content` to a new file at `path`; the path, or nothing when the file could not be written.
inline QString writeFile(const QString &path, const QByteArray &content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() ? path : QString();
}

// Settings in a private folder, and a private working folder (with or without "lang").
class Sandbox {
public:
    Sandbox() {
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           dir.filePath(QStringLiteral("settings")));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           dir.filePath(QStringLiteral("settings")));
        QDir(dir.path()).mkpath(QStringLiteral("work"));
        QDir::setCurrent(dir.filePath(QStringLiteral("work")));
    }
    QString workPath() const { return dir.filePath(QStringLiteral("work")); }
    void writeLanguage(const QString &name, const QByteArray &content) const {
        QDir(workPath()).mkpath(QStringLiteral("lang"));
        QVERIFY(!writeFile(workPath() + QStringLiteral("/lang/") + name, content).isEmpty());
    }
    // The program's own language files, English and Italian, in the working folder's "lang".
    void installShippedLanguages() const {
        for (const char *name : {"English.lng", "Italiano.lng"}) {
            QFile shipped(QStringLiteral(HB_SOURCE_DIR "/lang/") + QLatin1String(name));
            QVERIFY(shipped.open(QIODevice::ReadOnly));
            writeLanguage(QLatin1String(name), shipped.readAll());
        }
    }
    void clearSettings() const {
        QSettings settings;
        settings.clear();
        settings.sync();
    }

private:
    QTemporaryDir dir;
};

// What a message box showed.
struct SeenBox {
    QString title, text, informative;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    bool hadParent = false;
    bool cursorOverridden = false;
};

// Answers every modal message box that appears with the next queued button (or `fallback`), and
// records what it showed.
class BoxAnswerer : public QObject {
public:
    explicit BoxAnswerer(QMessageBox::StandardButton fallback = QMessageBox::Ok) : fallback(fallback) {
        connect(&timer, &QTimer::timeout, this, &BoxAnswerer::poll);
        timer.start(15);
    }
    void queue(QMessageBox::StandardButton button) { answers.push_back(button); }
    std::vector<SeenBox> seen;
    // The boxes seen, one line each: "<icon> <title>: <text>", and " | <informative text>" if any.
    QStringList shown() const {
        static const std::map<QMessageBox::Icon, QString> icons = {{QMessageBox::NoIcon, "plain"},
                                                                   {QMessageBox::Information, "information"},
                                                                   {QMessageBox::Warning, "warning"},
                                                                   {QMessageBox::Critical, "critical"},
                                                                   {QMessageBox::Question, "question"}};
        QStringList lines;
        for (const SeenBox &box : seen)
            lines << icons.at(box.icon) + ' ' + box.title + ": " + box.text +
                         (box.informative.isEmpty() ? QString() : " | " + box.informative);
        return lines;
    }
    // Called while each box is shown, before it is answered.
    std::function<void()> onBox;

protected:
    bool eventFilter(QObject *object, QEvent *event) override {
        if (event->type() == QEvent::Hide) object->setProperty("hbAnswered", false);
        return false;
    }

private:
    void poll() {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        // Boxes are told apart by a mark, not by address: consecutive boxes often share a stack
        // slot. The mark goes when the box hides, so a box shown again is answered again.
        if (box == nullptr || !box->isVisible() || box->property("hbAnswered").toBool()) return;
        box->setProperty("hbAnswered", true);
        box->installEventFilter(this);
        SeenBox record;
        record.title = box->windowTitle();
        record.text = box->text();
        record.informative = box->informativeText();
        record.icon = box->icon();
        record.hadParent = box->parentWidget() != nullptr;
        record.cursorOverridden = QApplication::overrideCursor() != nullptr;
        if (box->defaultButton() != nullptr) record.defaultButton = box->standardButton(box->defaultButton());
        seen.push_back(record);
        if (onBox) onBox();
        QMessageBox::StandardButton answer = fallback;
        if (!answers.empty()) {
            answer = answers.front();
            answers.erase(answers.begin());
        }
        QAbstractButton *button = box->button(answer);
        if (button != nullptr)
            button->click();
        else
            box->reject();
    }
    QTimer timer;
    QMessageBox::StandardButton fallback;
    std::vector<QMessageBox::StandardButton> answers;
};

// Answers every file dialog with `answer` (cancels it when empty) and records what it offered.
class FileDialogAnswerer : public QObject {
public:
    struct Offer {
        QString title, directory, proposed, filters;
    };
    explicit FileDialogAnswerer(QString answer = {}) : answer(std::move(answer)) {
        connect(&timer, &QTimer::timeout, this, &FileDialogAnswerer::poll);
        timer.start(15);
    }
    QString answer;
    std::vector<Offer> seen;
    // Run after the dialog was accepted, before the page gets the name.
    std::function<void()> afterAccept;

private:
    void poll() {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible() || dialog->property("hbAnswered").toBool()) return;
        dialog->setProperty("hbAnswered", true);
        seen.push_back({dialog->windowTitle(), dialog->directory().absolutePath(),
                        dialog->selectedFiles().value(0), dialog->nameFilters().join('|')});
        if (answer.isEmpty()) return dialog->reject();
        dialog->selectFile(answer);
        // selectFile leaves the name box alone while it has the focus, which depends on when the
        // window got activated; the name typed into the box is what the dialog's button takes.
        if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name->setText(answer);
        static_cast<QDialog *>(dialog)->accept(); // checks the name as the dialog's own button does
        if (afterAccept) afterAccept();
    }
    QTimer timer;
};

// Whether `label` shows the resource picture Resources/<name>.png.
inline bool showsIcon(const QLabel *label, const char *name) {
    return label != nullptr &&
           label->pixmap().toImage() ==
               QPixmap(QStringLiteral(":/icons/Resources/%1.png").arg(QLatin1String(name))).toImage();
}

// A board on a pseudo-terminal that answers each CR-terminated command through `respond` (no
// answer when it returns nothing) and records every command with its arrival time.
class ScriptedBoard {
public:
    using Clock = std::chrono::steady_clock;
    struct Arrival {
        std::string command;
        Clock::time_point at;
    };
    // Gets the command (without CR) and how often it arrived before; returns the reply bytes.
    using Responder = std::function<std::optional<std::string>(const std::string &command, int earlier)>;

    explicit ScriptedBoard(int comNumber = 1) {
        peer.bindCom(comNumber);
        peer.serve([this](testsupport::PtyPeer &p, testsupport::Bytes &pending) {
            for (;;) {
                auto cr = std::find(pending.begin(), pending.end(), std::uint8_t('\r'));
                if (cr == pending.end()) return;
                std::string command(pending.begin(), cr);
                pending.erase(pending.begin(), cr + 1);
                std::optional<std::string> reply;
                {
                    std::lock_guard lock(mutex);
                    const int earlier = counts[command]++;
                    log.push_back({command, Clock::now()});
                    if (responder) reply = responder(command, earlier);
                }
                if (reply) p.write(*reply);
            }
        });
    }
    ~ScriptedBoard() { peer.stop(); }

    void setResponder(Responder r) {
        std::lock_guard lock(mutex);
        responder = std::move(r);
    }
    std::vector<Arrival> arrivals() const {
        std::lock_guard lock(mutex);
        return log;
    }
    std::vector<std::string> commands() const {
        std::vector<std::string> out;
        for (const Arrival &a : arrivals())
            out.push_back(a.command);
        return out;
    }
    int count(const std::string &command) const {
        const auto all = commands();
        return int(std::count(all.begin(), all.end(), command));
    }
    // Every byte received, as text.
    std::string wire() const {
        const testsupport::Bytes got = peer.received();
        return std::string(got.begin(), got.end());
    }
    void clear() {
        std::lock_guard lock(mutex);
        log.clear();
        counts.clear();
        peer.clearReceived();
    }
    testsupport::Bytes received() const { return peer.received(); }
    testsupport::PtyPeer peer;

private:
    mutable std::mutex mutex;
    Responder responder;
    std::vector<Arrival> log;
    std::map<std::string, int> counts;
};

using hbsupport::Simulator;

// One line on the simulator's control channel; its answer.
inline QString control(Simulator &simulator, const QString &line) {
    return QString::fromStdString(simulator.control(line.toStdString()));
}

// The link and the session a page works with, as the window's first page entry leaves them.
struct BoardSession {
    BoardLink link;
    Session session{link};
    // Opens the link with the stored settings and detects the model; false when either fails or
    // the model is not known.
    bool detect() {
        if (link.open(readLinkSettings()) != 0) return false;
        const auto identity = readBoardIdentity(link);
        if (!identity) return false;
        session.setModel(modelFromName(identity->left(10).trimmed()));
        session.setIdentity(*identity);
        return session.model() != StoveModel::Unknown;
    }
};

// Points COM1..COM16 at a path that never opens, so port scans see only the ports a test binds.
inline void unbindAllPorts() {
    for (int i = 1; i <= 16; ++i)
        qputenv(QStringLiteral("PYROLINK_COM%1").arg(i).toLatin1(),
                QByteArrayLiteral("/nonexistent/hb-no-port"));
}

// The start of each window test: a sandbox with empty settings and no port bound.
class CleanSlate : public Sandbox {
public:
    CleanSlate() {
        clearSettings();
        unbindAllPorts();
    }
};

// How much shorter than the program's wait a gap may look: the peer's thread may note an arrival a
// little late, which shortens the gap after it.
constexpr long long gapSlackMs = 10;

// Milliseconds between arrival n - 1 and arrival n.
inline long long gapMs(const std::vector<ScriptedBoard::Arrival> &arrivals, std::size_t n) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(arrivals.at(n).at - arrivals.at(n - 1).at)
        .count();
}

// A responder that answers `command` with `reply` and ignores every other command.
inline ScriptedBoard::Responder replyTo(const std::string &command, const std::string &reply) {
    return [=](const std::string &c, int) -> std::optional<std::string> {
        if (c == command) return reply;
        return std::nullopt;
    };
}

} // namespace hbtest
