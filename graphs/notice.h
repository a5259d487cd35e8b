// A message box of the viewer: no parent window, plain text, an OK button.
#pragma once

#include <QMessageBox>
#include <QString>

namespace graphs {

void notify(QMessageBox::Icon icon, const QString &title, const QString &text);

} // namespace graphs
