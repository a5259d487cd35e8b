#include "app/messages.h"

#include <QApplication>
#include <QLabel>

namespace messages {
namespace {

// Lifts every level of the override cursor for the life of a box.
class CursorPause {
public:
    CursorPause() {
        while (QApplication::overrideCursor() != nullptr) {
            QApplication::restoreOverrideCursor();
            ++m_depth;
        }
    }
    ~CursorPause() {
        for (int i = 0; i < m_depth; ++i)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    CursorPause(const CursorPause &) = delete;
    CursorPause &operator=(const CursorPause &) = delete;

private:
    int m_depth = 0;
};

int run(QMessageBox &box) {
    box.setTextFormat(Qt::PlainText);
    CursorPause pause;
    return box.exec();
}

void show(QMessageBox::Icon icon, const QString &title, const QString &text) {
    QMessageBox box(icon, title, text, QMessageBox::Ok);
    run(box);
}

} // namespace

void information(const QString &title, const QString &text) {
    show(QMessageBox::Information, title, text);
}

void warning(const QString &title, const QString &text) {
    show(QMessageBox::Warning, title, text);
}

void critical(const QString &title, const QString &text) {
    show(QMessageBox::Critical, title, text);
}

bool retry(const QString &title, const QString &text) {
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Retry | QMessageBox::Close);
    box.setDefaultButton(QMessageBox::Retry);
    return run(box) == QMessageBox::Retry;
}

bool ask(const QString &title, const QString &informativeText, QMessageBox::StandardButton defaultButton) {
    QMessageBox box(QMessageBox::NoIcon, title, QString(), QMessageBox::Yes | QMessageBox::No);
    box.setInformativeText(informativeText);
    // The informative label does not follow the box's text format: make it plain as well.
    if (auto *label = box.findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        label->setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
    return run(box) == QMessageBox::Yes;
}

} // namespace messages

QString plainToolTip(const QString &text) {
    if (!Qt::mightBeRichText(text)) return text;
    return QStringLiteral("<p style='white-space:pre'>%1</p>").arg(text.toHtmlEscaped());
}

WaitCursor::WaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor() {
    restore();
}

void WaitCursor::restore() {
    if (m_active) QApplication::restoreOverrideCursor();
    m_active = false;
}
