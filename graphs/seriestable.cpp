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

// Entries of the text table used for names.
enum Text {
    kChannel1 = 37,
    kChannel2 = 38,
    kProbeChannel1 = 39,
    kSmokeTemperature = 122,
    kAirTemperature = 123,
    kPower = 124,
    kFanSpeed = 125,
    kExtractorSpeed = 126,
    kCochleaTime = 127,
    kPotentiometer = 128,
    kStoveStatus = 129,
    kEncoderSet = 130,
    kEncoderCurrent = 131,
    kFuelCorrection = 132,
    kWaterProbe = 137,
    kDepressimeter = 138,
    kPelletThermostat = 139,
    kExternalThermostat = 140,
    kFluxstate = 141,
    kHeatThermostat = 142,
    kHeatingPump = 143,
    kSanitaryPump = 144,
    kInstantPressure = 248,
    kAveragePressure = 249,
    kAlarms = 251,
};

// Rows that several models share.
constexpr SeriesDef kSmoke{kSmokeTemperature, -1, nullptr, "[°C]", kRed, A};
constexpr SeriesDef kAir{kAirTemperature, -1, nullptr, "[°C]", kGreen, A};
constexpr SeriesDef kPowerRow{kPower, -1, nullptr, "", kCyan, A};
constexpr SeriesDef kFan{kFanSpeed, -1, nullptr, "[%]", kMagenta, A};
constexpr SeriesDef kExtractor{kExtractorSpeed, -1, nullptr, "", kYellow, A};
constexpr SeriesDef kCochlea{kCochleaTime, -1, nullptr, "[sec]", kLightGray, A};
constexpr SeriesDef kState{kStoveStatus, -1, nullptr, "", 0xff4b03, T};
constexpr SeriesDef kDepressimeterRow{kDepressimeter, -1, nullptr, "", 0x7db89b, B};
constexpr SeriesDef kPellet{kPelletThermostat, -1, nullptr, "", 0xcb2e53, B};
constexpr SeriesDef kSetPoint{kEncoderSet, -1, nullptr, "", kBlue, T};
constexpr SeriesDef kEncoder{kEncoderCurrent, -1, nullptr, "", 0xafff00, A};
constexpr SeriesDef kInstant{kInstantPressure, -1, nullptr, "", kDarkGreen, A};
constexpr SeriesDef kAverage{kAveragePressure, -1, nullptr, "", kDarkMagenta, A};

// Every model records the same first eight series but for the seventh, its probe; then its own.
template <typename... Rows>
constexpr std::array<SeriesDef, 8 + sizeof...(Rows)> modelTable(SeriesDef probe, Rows... rest) {
    return {kSmoke, kAir, kPowerRow, kFan, kExtractor, kCochlea, probe, kState, rest...};
}

constexpr auto kBasic = modelTable(SeriesDef{kPotentiometer, -1, nullptr, "[°C]", kDarkYellow, A},
                                   SeriesDef{kFuelCorrection, -1, nullptr, "", 0x7db89b, A},
                                   SeriesDef{kEncoderSet, -1, nullptr, "", 0xcb2e53, A},
                                   SeriesDef{kEncoderCurrent, -1, nullptr, "", 0xcb8835, A}, kInstant,
                                   kAverage, SeriesDef{kAlarms, -1, nullptr, "", kBlue, T});

constexpr auto kWater = modelTable(
    SeriesDef{kWaterProbe, -1, nullptr, "[°C]", kDarkYellow, A}, kDepressimeterRow, kPellet,
    SeriesDef{kFluxstate, -1, nullptr, "", 0xcb8835, B},
    SeriesDef{kExternalThermostat, -1, nullptr, "", 0x653f0b, B},
    SeriesDef{kHeatThermostat, -1, nullptr, "", 0x01e13b, B}, kSetPoint, kEncoder,
    SeriesDef{0, -1, "wpx 250", "", 0xffbe19, A}, SeriesDef{kHeatingPump, -1, nullptr, "", 0xaf00ff, B},
    SeriesDef{kSanitaryPump, -1, nullptr, "", 0x00afff, B}, kInstant, kAverage);

constexpr auto kAirDucted =
    modelTable(SeriesDef{kProbeChannel1, -1, nullptr, "[°C]", kDarkYellow, A}, kDepressimeterRow, kPellet,
               SeriesDef{kExternalThermostat, kChannel2, nullptr, "", 0xcb8835, B},
               SeriesDef{kExternalThermostat, -1, nullptr, "", 0x00afff, B},
               SeriesDef{kHeatThermostat, -1, nullptr, "", 0x00afbd, B}, kSetPoint, kEncoder,
               SeriesDef{kChannel1, -1, nullptr, "[%]", 0xffbe19, A},
               SeriesDef{kChannel2, -1, nullptr, "[%]", 0xaf00ff, A}, kInstant, kAverage);

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
    if (def.suffixText >= 0) name += QLatin1Char(' ') + textAt(def.suffixText).toLower();
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
