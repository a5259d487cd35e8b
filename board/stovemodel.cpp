#include "board/stovemodel.h"

#include <cstring>
#include <span>

namespace {
// The inputs each board has, in polling order.
constexpr unsigned short kBasicInputs[] = {ProbeT1,      ProbeT2,       PotentiometerInput,
                                           EncoderInput, PressureInput, FuelCorrectionInput};
constexpr unsigned short kWaterInputs[] = {ProbeT1,      ProbeT2,           ProbeT3, PressureSensorInput,
                                           EncoderInput, DigitalInputsInput};
constexpr unsigned short kAirDuctedInputs[] = {ProbeT1,      ProbeT2,       ProbeT3,
                                               EncoderInput, PressureInput, DigitalInputsInput};

struct ModelRow {
    StoveModel model;
    const char *accepted[2];
    const char *longName;
    const char *twoLineName;
    std::span<const unsigned short> inputs;
    int monitorIndexes;
};
const ModelRow modelRows[] = {
    {StoveModel::Basic, {"BASIC", "STANDARD"}, "BASIC", "BASIC", kBasicInputs, 6},
    {StoveModel::Water, {"WATER", nullptr}, "WATER", "WATER", kWaterInputs, 5},
    {StoveModel::AirDucted,
     {"AIR-DUCT", "AIR - DUCTED"},
     "AIR - DUCTED",
     "AIR -\nDUCT.",
     kAirDuctedInputs,
     5},
};

const ModelRow *rowOf(StoveModel model) {
    for (const ModelRow &row : modelRows)
        if (row.model == model) return &row;
    return nullptr;
}
} // namespace

StoveModel modelFromName(const QString &name) {
    for (const ModelRow &row : modelRows)
        for (const char *accepted : row.accepted)
            if (accepted != nullptr && name.compare(QLatin1String(accepted), Qt::CaseInsensitive) == 0)
                return row.model;
    return StoveModel::Unknown;
}

QString modelName(StoveModel model, bool twoLines) {
    if (const ModelRow *row = rowOf(model))
        return QString::fromLatin1(twoLines ? row->twoLineName : row->longName);
    return QStringLiteral("unknown");
}

QList<unsigned short> polledInputs(StoveModel model) {
    const ModelRow *row = rowOf(model);
    if (row == nullptr) return {};
    return QList<unsigned short>(row->inputs.begin(), row->inputs.end());
}

int monitorIndexCount(StoveModel model) {
    const ModelRow *row = rowOf(model);
    return row != nullptr ? row->monitorIndexes : 0;
}

QString comPortName(int index) {
    return QStringLiteral("COM%1").arg(index + 1);
}

int comPortIndex(const QString &name) {
    for (int i = 0; i < kPortCount; ++i)
        if (name == comPortName(i)) return i;
    return -1;
}

QString identityText(const char *reply, int length) {
    if (reply == nullptr || length <= 0) return QString();
    const int limit = length < kIdentityLength ? length : kIdentityLength;
    const void *nul = std::memchr(reply, 0, static_cast<std::size_t>(limit));
    const int size = nul != nullptr ? static_cast<int>(static_cast<const char *>(nul) - reply) : limit;
    return QString::fromLatin1(reply, size);
}

bool identityUsable(const QString &text) {
    return text.size() >= kIdentityUsableLength;
}

Identity parseIdentity(const QString &text) {
    Identity identity;
    identity.name = text.left(10).trimmed();
    QString version = text.mid(11, 5);
    if (!version.isEmpty() && version.at(0) == QLatin1Char('0')) version[0] = QLatin1Char(' ');
    identity.version = version;
    identity.revision = QStringLiteral("%1/%2/%3").arg(text.mid(16, 2), text.mid(18, 2), text.mid(20, 2));
    return identity;
}
