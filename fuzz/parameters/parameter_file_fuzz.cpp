// Feeds arbitrary bytes to the parameter-file reader and checks that what it accepts stays bounded,
// and that the file's values as a model's rows (what hbctl checks and writes) stay within the model.
#include "parameters/catalogue.h"
#include "parameters/parameterfile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray content(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const auto lines = paramfile::parse(content);
    if (!lines) return 0;
    if (lines->size() > paramfile::kMaxLines) std::abort();
    for (const paramfile::Line &line : *lines) {
        if (const auto *v = std::get_if<paramfile::ValueLine>(&line)) {
            if (v->table != 0 && v->table != 1) std::abort();
            // What the loader does next with a value line.
            for (const StoveModel model : kKnownModels)
                if (const auto position = findByCode(model, v->table, v->displayNumber))
                    (void)toRaw(activeRange(descriptor(model, *position), false).scale, v->value, true);
        } else if (const auto *m = std::get_if<paramfile::ModelLine>(&line)) {
            (void)paramfile::modelMatches(m->name, StoveModel::Basic);
        }
    }
    for (const StoveModel model : kKnownModels) {
        const paramfile::FileRows rows = paramfile::fileRows(model, *lines, false);
        if (rows.rows.size() != parameterCount(model)) std::abort();
        for (const int position : rows.outOfRange)
            if (position < 0 || position >= rows.rows.size() || rows.rows[position].empty) std::abort();
    }
    return 0;
}
