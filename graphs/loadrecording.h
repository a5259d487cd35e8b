// Reading a recording file for the viewer, from the model line to the interval: what the worker
// thread runs, and what it found for the window thread to report.
#pragma once

#include "graphs/recording.h"

#include <QString>

#include <memory>
#include <optional>

namespace graphs {

// The model a "MODEL=" text names, if it is one of the three a recording can hold.
std::optional<RecordedModel> recordedModel(const QString &name);

enum class LoadStatus {
    Loaded,
    CannotOpen,   // the file could not be opened to look for its model line
    NoModelLine,  // no line starts with "MODEL"
    CannotRead,   // the file could not be opened to read its data
    UnknownModel, // the model line names none of the three models
    Cancelled,
};

struct LoadResult {
    LoadStatus status = LoadStatus::Cancelled;
    std::shared_ptr<const Recording> recording;
    IntervalReading interval;
};

// How far a file is read: to its end, or (a recording that is being written) to the end of its last
// complete line.
enum class ReadTo { FileEnd, LastLineEnd };

// Looks up the model, reads every data line and then the interval. `control` reports the bytes read
// by each pass over the file and stops at cancellation.
LoadResult loadRecordingFile(const QString &fileName, const ReadControl &control = {},
                             ReadTo readTo = ReadTo::FileEnd);

} // namespace graphs
