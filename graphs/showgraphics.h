// The program's graphics command: choose a recording file, read it in a worker thread behind a
// progress dialog that can stop it, report what keeps it from being shown, and open a viewer window.
#pragma once

#include "graphs/loadrecording.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QString>

#include <memory>

namespace graphs {

class BrokenLine;
class GraphicsDisplayer;

// What the main window's graphics buttons run: the open-file dialog, then openRecording().
void showGraphics(QWidget *window);

// One series per column of the recording, with the names in the language in use.
QList<BrokenLine *> buildSeries(const std::shared_ptr<const Recording> &recording);

// Reads one recording file and opens its viewer; deletes itself when done. The wait cursor is on
// while the file is read.
class GraphicsOpener : public QObject {
    Q_OBJECT
public:
    GraphicsOpener(QWidget *window, const QString &fileName, ReadTo readTo = ReadTo::FileEnd);
    ~GraphicsOpener() override;
    GraphicsOpener(const GraphicsOpener &) = delete;
    GraphicsOpener &operator=(const GraphicsOpener &) = delete;

    QProgressDialog *progressDialog() const { return m_progress; }

signals:
    // The viewer window that was opened, or nullptr.
    void finished(graphs::GraphicsDisplayer *displayer);

private:
    struct Shared;
    void showProgress();
    void loaded();
    GraphicsDisplayer *report(const LoadResult &result);
    void restoreCursor();

    QString m_fileName;
    std::shared_ptr<Shared> m_shared;
    QPointer<QProgressDialog> m_progress;
    bool m_cursorSet = false;
};

// Starts reading `fileName` for a viewer (the steps after the file dialog).
GraphicsOpener *openRecording(QWidget *window, const QString &fileName, ReadTo readTo = ReadTo::FileEnd);

} // namespace graphs
