#include "parameters/notices.h"

#include "ui/messages.h"

#include <QApplication>

namespace notices {

void information(const QString &title, const QString &text) {
    int depth = 0;
    while (QApplication::overrideCursor()) {
        QApplication::restoreOverrideCursor();
        ++depth;
    }
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
    for (int i = 0; i < depth; ++i)
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

void warning(const QString &title, const QString &text) {
    messages::warning(title, text);
}

void critical(const QString &title, const QString &text) {
    messages::critical(title, text);
}

} // namespace notices
