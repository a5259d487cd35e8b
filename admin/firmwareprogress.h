// The small progress window of the firmware update and of the parameter copy: a caption, a bar, a
// line for the bytes written and the time left, and a Stop button. It is application-modal, so the
// window behind it keeps painting while nothing in it can be clicked.
#pragma once

#include <QElapsedTimer>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

class FirmwareProgress : public QWidget {
    Q_OBJECT

public:
    // Centred over `over`; no parent, so it stays a window of its own.
    explicit FirmwareProgress(const QWidget &over);

    // Shows the window with a new caption and range, the value at 0 and the detail line empty.
    void start(const QString &caption, int maximum);
    void setValue(int value);
    void setMaximum(int maximum);
    // The programming figures: bytes written of all, and the time left estimated from the rate so
    // far (measured from the first call after start()).
    void showBytes(qint64 written, qint64 total);
    QString caption() const;
    QString detail() const;
    int value() const;
    int maximum() const;

signals:
    void stopRequested();

private:
    QLabel *m_caption;
    QProgressBar *m_bar;
    QLabel *m_detail;
    QPushButton *m_stop;
    QElapsedTimer m_rateClock;
};
