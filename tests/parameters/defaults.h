// The catalogue's default of every row of a model, as the page shows it, in the given range group.
#pragma once

#include "parameters/catalogue.h"

#include <QList>

// A model by its code, also codes no model has (the catalogue must refuse them).
inline StoveModel modelOf(int code) {
    return static_cast<StoveModel>(code);
}

inline QList<double> catalogueDefaults(StoveModel model, bool huba) {
    QList<double> values;
    for (int i = 0; i < parameterCount(model); ++i) {
        const ParameterDescriptor &d = descriptor(model, i);
        const ParameterRange &r = activeRange(d, huba);
        values.append(toDisplay(r.scale, static_cast<std::int16_t>(r.defaultValue), d.positive));
    }
    return values;
}
