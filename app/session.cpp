#include "app/session.h"

Session::Session(BoardLink &link, QObject *parent) : QObject(parent), m_link(link) {}

void Session::setModel(StoveModel model) {
    if (model == m_model) return;
    m_model = model;
    emit modelChanged(model);
}

QString Session::firmwareVersion() const {
    return m_identity.isEmpty() ? QString() : parseIdentity(m_identity).version;
}

void Session::setHubaMode(bool on) {
    if (on == m_hubaMode) return;
    m_hubaMode = on;
    emit hubaModeChanged(on);
}
