// Language files: any content either is refused or gives a table of at least textCount entries, none of
// which holds a line break or a ';'.
#include "app/texts.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    TextTable table;
    const QByteArray content(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    if (!parseLanguageText(content, table)) return 0;
    if (table.size() < textCount) std::abort();
    for (const QString &entry : table)
        if (entry.contains(QLatin1Char('\n')) || entry.contains(QLatin1Char(';'))) std::abort();
    return 0;
}
