// The whole program as main() assembles it, for tests of the window and its navigation.
#pragma once

#include "app/session.h"
#include "board/boardlink.h"
#include "board/serialthread.h"
#include "ui/hearthbench.h"

#include <QtWidgets>

namespace hbtest {

struct Program {
    BoardLink link;
    Session session{link};
    SerialThread thread{link};
    HearthBench window{session, &thread};
};

} // namespace hbtest
