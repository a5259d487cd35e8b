// Modal message boxes without a parent window, showing their texts as plain text, and the wait
// cursor. While a box is open the wait cursor is lifted and put back afterwards, so the user never
// answers a question under a busy cursor and no cursor is left behind.
#pragma once

#include <QMessageBox>
#include <QString>

namespace messages {

// A box with an OK button; `title` is the window title, `text` the main text.
void information(const QString &title, const QString &text);
void warning(const QString &title, const QString &text);
void critical(const QString &title, const QString &text);
// A critical box with Retry (the default) and Close buttons; true for Retry.
bool retry(const QString &title, const QString &text);
// A Yes/No question without icon or main text, `informativeText` as its text; true for Yes.
bool ask(const QString &title, const QString &informativeText, QMessageBox::StandardButton defaultButton);

} // namespace messages

// A tool tip that shows `text` literally: texts from language files are never taken as markup.
QString plainToolTip(const QString &text);

// Shows the wait cursor while it lives (or until restore()), on every return path.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    void restore();
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;

private:
    bool m_active = true;
};
