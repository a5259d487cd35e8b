#include "graphs/seriestable.h"

#include "app/texts.h"

#include <QLocale>

#include <array>

namespace graphs {
namespace {

// Colours named after the toolkit's standard ones.
constexpr quint32 kRed = 0xff0000, kGreen = 0x00ff00, kBlue = 0x0000ff, kCyan = 0x00ffff, kMagenta = 0xff00ff,
                  kYellow = 0xffff00, kLightGray = 0xc0c0c0, kDarkYellow = 0x808000, kDarkGreen = 0x008000,
                  kDarkMagenta = 0x800080;

constexpr SeriesKind A = SeriesKind::Analogue, B = SeriesKind::OnOff, T = SeriesKind::Text;

// Rows that several models share.
constexpr SeriesDef kSmoke{Text::SmokeTemperature, Text::None, nullptr, "[°C]", kRed, A};
constexpr SeriesDef kAir{Text::AirTemperature, Text::None, nullptr, "[°C]", kGreen, A};
constexpr SeriesDef kPowerRow{Text::Power, Text::None, nullptr, "", kCyan, A};
constexpr SeriesDef kFan{Text::EnvironmentFanSpeed, Text::None, nullptr, "[%]", kMagenta, A};
constexpr SeriesDef kExtractor{Text::SmokeExtractorSpeed, Text::None, nullptr, "", kYellow, A};
constexpr SeriesDef kCochlea{Text::CochleaOnTime, Text::None, nullptr, "[sec]", kLightGray, A};
constexpr SeriesDef kState{Text::StoveStatus, Text::None, nullptr, "", 0xff4b03, T};
constexpr SeriesDef kDepressimeterRow{Text::Depressimeter, Text::None, nullptr, "", 0x7db89b, B};
constexpr SeriesDef kPellet{Text::PelletThermostat, Text::None, nullptr, "", 0xcb2e53, B};
constexpr SeriesDef kSetPoint{Text::EncoderSet, Text::None, nullptr, "", kBlue, T};
constexpr SeriesDef kEncoder{Text::EncoderCurrent, Text::None, nullptr, "", 0xafff00, A};
constexpr SeriesDef kInstant{Text::InstantaneousPressure, Text::None, nullptr, "", kDarkGreen, A};
constexpr SeriesDef kAverage{Text::AveragePressure, Text::None, nullptr, "", kDarkMagenta, A};

// Every model records the same first eight series but for the seventh, its probe; then its own.
template <typename... Rows>
constexpr std::array<SeriesDef, 8 + sizeof...(Rows)> modelTable(SeriesDef probe, Rows... rest) {
    return {kSmoke, kAir, kPowerRow, kFan, kExtractor, kCochlea, probe, kState, rest...};
}

constexpr auto kBasic =
    modelTable(SeriesDef{Text::Potentiometer, Text::None, nullptr, "[°C]", kDarkYellow, A},
               SeriesDef{Text::FuelCorrection, Text::None, nullptr, "", 0x7db89b, A},
               SeriesDef{Text::EncoderSet, Text::None, nullptr, "", 0xcb2e53, A},
               SeriesDef{Text::EncoderCurrent, Text::None, nullptr, "", 0xcb8835, A}, kInstant, kAverage,
               SeriesDef{Text::Alarms, Text::None, nullptr, "", kBlue, T});

constexpr auto kWater =
    modelTable(SeriesDef{Text::WaterProbe, Text::None, nullptr, "[°C]", kDarkYellow, A}, kDepressimeterRow,
               kPellet, SeriesDef{Text::Fluxstate, Text::None, nullptr, "", 0xcb8835, B},
               SeriesDef{Text::ExternalThermostat, Text::None, nullptr, "", 0x653f0b, B},
               SeriesDef{Text::HeatThermostat, Text::None, nullptr, "", 0x01e13b, B}, kSetPoint, kEncoder,
               SeriesDef{Text::None, Text::None, "wpx 250", "", 0xffbe19, A},
               SeriesDef{Text::HeatingPump, Text::None, nullptr, "", 0xaf00ff, B},
               SeriesDef{Text::SanitaryPump, Text::None, nullptr, "", 0x00afff, B}, kInstant, kAverage);

constexpr auto kAirDucted =
    modelTable(SeriesDef{Text::ProbeChannel1, Text::None, nullptr, "[°C]", kDarkYellow, A}, kDepressimeterRow,
               kPellet, SeriesDef{Text::ExternalThermostat, Text::Channel2, nullptr, "", 0xcb8835, B},
               SeriesDef{Text::ExternalThermostat, Text::None, nullptr, "", 0x00afff, B},
               SeriesDef{Text::HeatThermostat, Text::None, nullptr, "", 0x00afbd, B}, kSetPoint, kEncoder,
               SeriesDef{Text::Channel1, Text::None, nullptr, "[%]", 0xffbe19, A},
               SeriesDef{Text::Channel2, Text::None, nullptr, "[%]", 0xaf00ff, A}, kInstant, kAverage);

} // namespace

std::span<const SeriesDef> seriesDefs(RecordedModel model) {
    switch (model) {
    case RecordedModel::Basic:
        return kBasic;
    case RecordedModel::Water:
        return kWater;
    case RecordedModel::AirDucted:
        return kAirDucted;
    }
    return {};
}

int valueColumnCount(RecordedModel model) {
    return int(seriesDefs(model).size());
}

QString seriesName(const SeriesDef &def) {
    if (def.literalName != nullptr) return QString::fromLatin1(def.literalName);
    QString name = textAt(def.nameText);
    if (def.suffixText != Text::None) name += QLatin1Char(' ') + textAt(def.suffixText).toLower();
    return name;
}

QString listEntryText(const QString &name, const QString &unit, SeriesKind kind) {
    if (kind != SeriesKind::Analogue || unit.isEmpty()) return name;
    return name + QLatin1Char(' ') + unit;
}

QString viewerTitle(const QString &fileName, const QDateTime &first) {
    return QStringLiteral("%1 - %2").arg(fileName,
                                         QLocale().toString(first, QStringLiteral("dddd dd/MM/yyyy h:mm")));
}

} // namespace graphs
