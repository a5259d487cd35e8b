// What the pages of the window share: the board link, the detected model and identity, and the range
// group in use (hubaMode).
#pragma once

#include "board/boardlink.h"
#include "board/stovemodel.h"

#include <QObject>
#include <QString>

class Session : public QObject {
    Q_OBJECT

public:
    explicit Session(BoardLink &link, QObject *parent = nullptr);

    BoardLink &link() const { return m_link; }
    bool linkOpen() const { return m_link.isOpen(); }

    StoveModel model() const { return m_model; }
    void setModel(StoveModel model);
    // The identity text last read from the board (empty before the first detection).
    const QString &identity() const { return m_identity; }
    void setIdentity(const QString &identity) { m_identity = identity; }
    // The firmware version as the identity labels show it.
    QString firmwareVersion() const;

    // True: every parameter shows its HUBA range group, and the monitor its HUBA set point.
    bool hubaMode() const { return m_hubaMode; }
    void setHubaMode(bool on);

signals:
    void modelChanged(StoveModel model);
    void hubaModeChanged(bool on);

private:
    BoardLink &m_link;
    StoveModel m_model = StoveModel::Unknown;
    QString m_identity;
    bool m_hubaMode = true;
};
