// Hardware test page. The page's inputs, outputs and automatic sequence come with the hardware test
// feature; until then the page stays empty and entering or leaving it sends nothing.
#include "ui/hearthbench.h"

void HearthBench::buildTestPage() {}

void HearthBench::enterTestMode() {}

void HearthBench::leaveTestMode() {}

void HearthBench::testhwinputSlot(short input, short val) {
    Q_UNUSED(input);
    Q_UNUSED(val);
}

void HearthBench::anaOutpBasic() {}

void HearthBench::digOutpBasic() {}

void HearthBench::triLed() {}

void HearthBench::automaticTestHW() {}

void HearthBench::anaOutpDisplay() {}

void HearthBench::digOutpDisplay() {}
