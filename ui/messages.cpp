#include "ui/messages.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>

namespace messages {
namespace {

class CursorPause {
public:
    CursorPause() {
        while (QApplication::overrideCursor() != nullptr) {
            QApplication::restoreOverrideCursor();
            ++depth;
        }
    }
    ~CursorPause() {
        for (int i = 0; i < depth; ++i)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    CursorPause(const CursorPause &) = delete;
    CursorPause &operator=(const CursorPause &) = delete;

private:
    int depth = 0;
};

int run(QMessageBox &box) {
    box.setTextFormat(Qt::PlainText);
    CursorPause pause;
    return box.exec();
}

} // namespace

void critical(const QString &title, const QString &text) {
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok);
    run(box);
}

void warning(const QString &title, const QString &text) {
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok);
    run(box);
}

bool ask(const QString &informativeText, QMessageBox::StandardButton defaultButton) {
    QMessageBox box;
    box.setWindowTitle(QCoreApplication::applicationName());
    box.setInformativeText(informativeText);
    // The informative label does not follow the box's text format: make it plain as well.
    if (auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        label->setTextFormat(Qt::PlainText);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(defaultButton);
    return run(box) == QMessageBox::Yes;
}

} // namespace messages
