// Helpers of the parameter tests: models by code, rows by code, and the catalogue's default of every
// row of a model as the page shows it.
#pragma once

#include "parameters/catalogue.h"
#include "parameters/setall.h"

#include <QList>

// A model by its code, also codes no model has (the catalogue must refuse them).
inline StoveModel modelOf(int code) {
    return static_cast<StoveModel>(code);
}

// The row of `model` whose code is `code` ("PG24"), -1 when it has none.
inline int positionOf(StoveModel model, const char *code) {
    for (int i = 0; i < parameterCount(model); ++i)
        if (parameterCode(descriptor(model, i)) == QLatin1String(code)) return i;
    return -1;
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

// Rows holding `values`, none of them empty.
inline QList<RowValue> rowsOf(const QList<double> &values) {
    QList<RowValue> rows;
    for (double v : values)
        rows.append(RowValue{false, v});
    return rows;
}
