// What the campaign needs to run a page as a user does: message boxes answered at once with their
// texts kept (what the page told the user), and the page's rows and values.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include <utility>

namespace campaign {

// Answers every message box as soon as it shows, with its default button (else OK, else closing
// it), and keeps its text and informative text.
class BoxRecorder : public QObject {
public:
    BoxRecorder() { qApp->installEventFilter(this); }
    ~BoxRecorder() override { qApp->removeEventFilter(this); }
    // The texts of the boxes shown since the last call.
    QStringList take() { return std::exchange(m_texts, {}); }

protected:
    bool eventFilter(QObject *object, QEvent *event) override {
        auto *box = event->type() == QEvent::Show ? qobject_cast<QMessageBox *>(object) : nullptr;
        if (box == nullptr) return false;
        QString text = box->text();
        if (!box->informativeText().isEmpty())
            text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + box->informativeText();
        m_texts.append(text);
        QTimer::singleShot(0, box, [box] {
            if (QAbstractButton *button = box->defaultButton())
                button->click();
            else if (QAbstractButton *ok = box->button(QMessageBox::Ok))
                ok->click();
            else
                box->reject();
        });
        return false;
    }

private:
    QStringList m_texts;
};

} // namespace campaign
