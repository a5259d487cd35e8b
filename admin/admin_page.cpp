// Administrator panel and firmware update. The password check, the parameter reset and the update
// come with the administration feature; until then the panel cannot be entered.
#include "ui/hearthbench.h"
#include "ui_hearthbench.h"

int HearthBench::checkAdminPassword() {
    m_ui->pswdLineEdit->clear();
    return 5;
}

void HearthBench::chooseModel(int index) {
    Q_UNUSED(index);
}

void HearthBench::parDef() {}

void HearthBench::updateFWSlot() {}
