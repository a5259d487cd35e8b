// Message boxes of the parameter page: no parent window, one OK button (or Yes/No), plain text. The wait
// cursor is lifted while a box is open, as with the window's other boxes.
#pragma once

#include <QMessageBox>
#include <QString>

namespace notices {

void information(const QString &title, const QString &text);
void warning(const QString &title, const QString &text);
void critical(const QString &title, const QString &text);
// A Yes/No question without icon or main text, `text` as informative text, No by default;
// returns true for Yes.
bool askYesNo(const QString &title, const QString &text);

} // namespace notices
