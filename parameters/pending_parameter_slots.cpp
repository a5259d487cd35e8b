// Stand-ins for the parameter pages until that feature lands: no sub-pages, no board traffic. The
// page builder still builds the other model-dependent pages and marks the pages as built.
#include "ui/hearthbench.h"

void HearthBench::buildModelPages() {
    buildParameterPages();
    buildTestPage();
    buildDebugPage();
    if (currentModel == 2 || currentModel == 3) buildBankButtons();
    detectHubaMode();
    fillPages(0);
    pagesBuilt = true;
}

void HearthBench::buildParameterPages() {}
void HearthBench::fillPages(int mode) { Q_UNUSED(mode); }
void HearthBench::showPageOf(int position) { Q_UNUSED(position); }
void HearthBench::detectHubaMode() {}
void HearthBench::buildBankButtons() {}

void HearthBench::memo() {}
void HearthBench::viewParameter() {}
void HearthBench::setParameter() {}
void HearthBench::userInsertText() {}
void HearthBench::scrollPage() {}
void HearthBench::viewAll() {}
void HearthBench::setAll() {}
void HearthBench::saveToFile() {}
void HearthBench::loadFromFile() {}
void HearthBench::assignDataBank() {}
