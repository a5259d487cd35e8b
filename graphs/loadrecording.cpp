#include "graphs/loadrecording.h"

#include "board/stovemodel.h"

#include <QFile>

namespace graphs {

std::optional<RecordedModel> recordedModel(const QString &name) {
    switch (static_cast<int>(modelFromName(name))) {
    case int(RecordedModel::Basic):
        return RecordedModel::Basic;
    case int(RecordedModel::Water):
        return RecordedModel::Water;
    case int(RecordedModel::AirDucted):
        return RecordedModel::AirDucted;
    default:
        return std::nullopt;
    }
}

LoadResult loadRecordingFile(const QString &fileName, const ReadControl &control, ReadTo readTo) {
    LoadResult result;
    const auto cancelled = [&] { return control.cancel != nullptr && control.cancel->load(); };
    std::optional<QString> modelText;
    {
        QFile file(fileName);
        if (!file.open(QIODevice::ReadOnly)) {
            result.status = LoadStatus::CannotOpen;
            return result;
        }
        modelText = findModelName(file, control);
    }
    if (cancelled()) return result;
    if (!modelText) {
        result.status = LoadStatus::NoModelLine;
        return result;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = LoadStatus::CannotRead;
        return result;
    }
    const std::optional<RecordedModel> model = recordedModel(*modelText);
    if (!model) {
        result.status = LoadStatus::UnknownModel;
        return result;
    }
    if (control.bytesDone != nullptr) control.bytesDone->store(0); // progress counts the data read
    // The lines written by now; one being written meanwhile is left for the next reading.
    const qint64 end = readTo == ReadTo::LastLineEnd ? completeLinesEnd(file) : -1;
    std::optional<Recording> recording = readRecordingFile(file, *model, control, 0, end);
    if (!recording) return result;
    result.recording = std::make_shared<const Recording>(std::move(*recording));
    result.interval = readRecordingInterval(fileName, end);
    result.status = LoadStatus::Loaded;
    return result;
}

} // namespace graphs
