// The series of each stove model in the column order of its recordings: name, unit, colour and how
// the series is drawn. Names are text-table entries, taken in the language in use when viewing.
#pragma once

#include "app/textentries.h"
#include "graphs/recording.h"

#include <QDateTime>
#include <QString>

#include <span>

namespace graphs {

struct SeriesDef {
    Text nameText;           // text-table entry of the name
    Text suffixText;         // entry appended in lower case after a blank, or Text::None
    const char *literalName; // a fixed name used instead of the entry, or nullptr
    const char *unit;        // "" when the series has none
    quint32 rgb;             // pen colour 0xRRGGBB
    SeriesKind kind;
};

std::span<const SeriesDef> seriesDefs(RecordedModel model);

QString seriesName(const SeriesDef &def);
// The series' entry in the viewer's lists: the name, for an analogue series followed by its unit.
QString listEntryText(const QString &name, const QString &unit, SeriesKind kind);
// Window title: the file name, " - " and the first time stamp as "dddd dd/MM/yyyy h:mm" with the
// day name of the default locale.
QString viewerTitle(const QString &fileName, const QDateTime &first);

} // namespace graphs
