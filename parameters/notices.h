// Message boxes of the parameter page: no parent window, one OK button, plain text. The wait cursor
// is lifted while a box is open, as with the window's other boxes.
#pragma once

#include <QMessageBox>
#include <QString>

namespace notices {

void information(const QString &title, const QString &text);
void warning(const QString &title, const QString &text);
void critical(const QString &title, const QString &text);

} // namespace notices
