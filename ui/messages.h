// Modal message boxes without a parent window, showing their texts as plain text. While a box is
// open the application's wait cursor is lifted, and put back afterwards, so the user never answers
// a question under a busy cursor and no cursor is left behind.
#pragma once

#include <QMessageBox>
#include <QString>

namespace messages {

// A critical box with an OK button; `title` is the window title, `text` the main text.
void critical(const QString &title, const QString &text);
// A warning box with an OK button.
void warning(const QString &title, const QString &text);
// A Yes/No question whose text is given as informative text; returns true for Yes.
bool ask(const QString &informativeText, QMessageBox::StandardButton defaultButton);

} // namespace messages
