// Renders the graph viewer, offscreen, on a generated WATER recording of three hours at 5 s that
// crosses midnight, with the cursor in the plot: hb_graphs_screenshot <output folder>.
#include "app/settings.h"
#include "app/texts.h"
#include "graphs/brokenline.h"
#include "graphs/graphicsdisplayer.h"
#include "graphs/showgraphics.h"
#include "recordings.h"

#include <QApplication>
#include <QEventLoop>
#include <QListWidget>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char *argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    setApplicationIdentity();
    useDefaultTexts();
    if (argc < 2) {
        std::fprintf(stderr, "usage: hb_graphs_screenshot <output folder>\n");
        return 2;
    }
    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("WATER_09_03_24_22_45.csv"));
    hbsupport::writeRecording(
        file, {graphs::RecordedModel::Water, hbsupport::stamp(2024, 3, 9, 22, 45, 0), 2160, 5});

    graphs::GraphicsDisplayer *window = nullptr;
    QEventLoop loop;
    QObject::connect(graphs::openRecording(nullptr, file), &graphs::GraphicsOpener::finished, &loop,
                     [&](graphs::GraphicsDisplayer *opened) {
                         window = opened;
                         loop.quit();
                     });
    loop.exec();
    if (window == nullptr) {
        std::fprintf(stderr, "hb_graphs_screenshot: the recording did not open\n");
        return 1;
    }
    window->setWindowTitle(QStringLiteral("log/WATER_09_03_24_22_45.csv - Saturday 09/03/2024 22:45"));
    // Some series moved to the hidden list, the hour around midnight in view (the stove changes
    // state at midnight), the cursor in it.
    for (int column : {3, 4, 10, 11, 12, 15, 16, 17, 18, 19})
        emit window->viewedList()->itemActivated(window->series()[column]->listEntry());
    graphs::GraphView *view = window->view();
    view->zoomTo(view->viewport()->width() / (53.0 * 720), 0);
    view->horizontalScrollBar()->setValue(qRound(53.0 * 540 * view->horizontalScale()));
    QMouseEvent move(QEvent::MouseMove, QPointF(110, 300), view->viewport()->mapToGlobal(QPointF(110, 300)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &move);
    const QString out = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/graphs.png");
    if (!window->grab().save(out)) {
        std::fprintf(stderr, "hb_graphs_screenshot: cannot write %s\n", qPrintable(out));
        return 1;
    }
    std::printf("%s\n", qPrintable(out));
    delete window;
    return 0;
}
