#include "admin/parameterbackup.h"

#include "parameters/boardtransfer.h"
#include "parameters/catalogue.h"
#include "parameters/parameterfile.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QList>

namespace backup {
namespace {

// One board register: bit entries of a flags word share it.
int registerKey(const ParameterDescriptor &d) {
    constexpr int kIndexesPerTable = 100;
    return d.table * kIndexesPerTable + d.boardIndex;
}

} // namespace

std::optional<QByteArray> readParameterFile(BoardLink &link, StoveModel model, const QString &firmware,
                                            bool hubaMode, const Progress &progress) {
    const int count = parameterCount(model);
    QList<int> keys;
    for (int i = 0; i < count; ++i)
        if (const int key = registerKey(descriptor(model, i)); !keys.contains(key)) keys.append(key);

    QHash<int, std::int16_t> raw;
    for (int i = 0; i < count; ++i) {
        const ParameterDescriptor &d = descriptor(model, i);
        const int key = registerKey(d);
        if (raw.contains(key)) continue;
        if (progress.cancelled && progress.cancelled()) return std::nullopt;
        std::int16_t value = 0;
        if (!readBoardParameter(link, d.table, d.boardIndex, &value, retry::viewAll)) return std::nullopt;
        raw.insert(key, value);
        if (progress.step) progress.step(static_cast<int>(raw.size()), static_cast<int>(keys.size()));
    }

    if (const auto selector = groupSelectorPosition(model))
        hubaMode = raw.value(registerKey(descriptor(model, *selector))) == 2;
    QList<double> values;
    for (int i = 0; i < count; ++i) {
        const ParameterDescriptor &d = descriptor(model, i);
        // As the rows show them: a bit entry is 0 or 1, whatever the rest of its flags word holds.
        values.append(rowValue(d, hubaMode, raw.value(registerKey(d))));
    }
    return paramfile::format(model, firmware, hubaMode, values);
}

QString backupPath(const QString &folder, StoveModel model, QDate date) {
    const QString stem = QStringLiteral("backup (%1) %2")
                             .arg(paramfile::modelLongName(model).toLower(), date.toString(Qt::ISODate));
    const QDir dir(folder);
    QString path = dir.filePath(stem + QStringLiteral(".prm"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(QStringLiteral("%1 (%2).prm").arg(stem).arg(n));
    return path;
}

} // namespace backup
