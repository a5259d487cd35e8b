// The whole program as main() assembles it, for tests of the window and its navigation.
#pragma once

#include "app/session.h"
#include "board/boardlink.h"
#include "board/serialthread.h"
#include "ui/hearthbench.h"

#include <QtWidgets>

namespace hbtest {

// The widget called `name` below `root`; a missing widget ends the test program.
template <typename T> T *child(const QObject &root, const char *name) {
    T *found = root.findChild<T *>(QLatin1String(name));
    if (found == nullptr) qFatal("no %s named %s", T::staticMetaObject.className(), name);
    return found;
}

struct Program {
    BoardLink link;
    Session session{link};
    SerialThread thread{link};
    HearthBench window{session, &thread};
};

} // namespace hbtest
