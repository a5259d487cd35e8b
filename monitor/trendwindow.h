// The debug page's trend: the monitored values as graphs while they arrive, in a window of its own
// opened from the page. The trend runs whenever the page polls, shown or not; it starts anew with the
// series of the model when the model changes. While a recording runs, "Open in viewer" opens what it
// has written so far in the graph viewer.
#pragma once

#include "board/stovemodel.h"
#include "monitor/monitortrend.h"

#include <QTimer>
#include <QWidget>

#include <functional>

class QAbstractButton;
class QPushButton;
class Session;

namespace graphs {
class TrendView;
}

class TrendWindow : public QWidget {
    Q_OBJECT
public:
    // `recordingFile` names the file a recording is writing to, empty while none runs. The window
    // belongs to `page`, whose showing and hiding start and stop the polling.
    TrendWindow(Session &session, std::function<QString()> recordingFile, QWidget *page);
    ~TrendWindow() override;

    // The page's button that shows this window (the page places it).
    QPushButton *pageButton() const { return m_pageButton; }
    QAbstractButton *openInViewerButton() const;
    graphs::TrendView *view() const { return m_view; }
    MonitorTrend &monitorTrend() { return m_trend; }

    void addTriplet(int index, const DecodedTriplet &decoded);
    void applyTexts();
    // Where the series shown of a model are kept.
    static QString settingsKey(StoveModel model);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void startTrend(StoveModel model);
    void applyOwnTexts();
    void tick();
    void openInViewer();

    std::function<QString()> m_recordingFile;
    MonitorTrend m_trend;
    graphs::TrendView *m_view;
    QPushButton *m_pageButton;
    QPushButton *m_openInViewer;
    QTimer m_tick;
};
