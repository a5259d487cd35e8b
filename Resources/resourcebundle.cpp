#include "Resources/resourcebundle.h"

#include <QtCore/qresource.h>

void loadResourceBundle() {
    Q_INIT_RESOURCE(hearthbench);
}
