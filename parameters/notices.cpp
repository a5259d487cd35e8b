#include "parameters/notices.h"

#include "ui/messages.h"

#include <QApplication>
#include <QLabel>

namespace notices {

namespace {

// Runs the box with the wait cursor lifted, and puts the cursor back afterwards.
int runWithoutWaitCursor(QMessageBox &box) {
    int depth = 0;
    while (QApplication::overrideCursor()) {
        QApplication::restoreOverrideCursor();
        ++depth;
    }
    const int answer = box.exec();
    for (int i = 0; i < depth; ++i)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    return answer;
}

} // namespace

void information(const QString &title, const QString &text) {
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    runWithoutWaitCursor(box);
}

bool askYesNo(const QString &title, const QString &text) {
    QMessageBox box(QMessageBox::NoIcon, title, QString(), QMessageBox::Yes | QMessageBox::No);
    box.setInformativeText(text);
    // The informative label does not follow the box's text format: make it plain as well.
    if (auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        label->setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    return runWithoutWaitCursor(box) == QMessageBox::Yes;
}

void warning(const QString &title, const QString &text) {
    messages::warning(title, text);
}

void critical(const QString &title, const QString &text) {
    messages::critical(title, text);
}

} // namespace notices
