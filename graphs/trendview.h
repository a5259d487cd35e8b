// A live trend drawn as the graph viewer draws a recording: the same series, lists, plot items,
// cursor read-out, fit and PNG export, over rows that keep arriving. Span buttons show the last
// 5 minutes, 30 minutes, 2 hours or everything and follow the newest values; panning or zooming
// stops following, the Follow button or the End key resumes it. The series shown are kept in the
// settings under a key the owner gives.
#pragma once

#include "graphs/graphview.h"
#include "graphs/plotgeometry.h"
#include "graphs/serieslists.h"

#include <QList>
#include <QSplitter>
#include <QTimer>

#include <array>
#include <memory>

class QGraphicsScene;
class QHBoxLayout;
class QToolButton;

namespace graphs {

class Axes;
class BrokenLine;
class LiveTrend;

class TrendView : public QSplitter {
    Q_OBJECT
public:
    enum class Span { FiveMinutes, HalfHour, TwoHours, All };
    static constexpr int kSpans = 4;
    // Seconds of a span; 0 for All.
    static qint64 spanSeconds(Span span);

    explicit TrendView(QWidget *parent = nullptr);
    ~TrendView() override;

    // Draws `trend` (not owned, it must outlive its use here; nullptr: nothing) with the series
    // stored under `settingsKey` shown, all of them when nothing is stored there.
    void setTrend(const LiveTrend *trend, const QString &settingsKey);
    const LiveTrend *trend() const { return m_trend; }
    // Takes the rows and the time the trend reached since the last time (the timer does this while
    // the view is shown).
    void refresh();

    // Shows the span up to the newest values and follows them.
    void setSpan(Span span);
    Span span() const { return m_span; }
    void follow();
    bool isFollowing() const { return m_following; }

    const QList<BrokenLine *> &series() const { return m_series; }
    GraphView *view() const { return m_view; }
    SeriesLists *lists() const { return m_lists; }
    Axes *axes() const { return m_axes; }
    QToolButton *spanButton(Span span) const { return m_spanButtons[std::size_t(span)]; }
    QToolButton *followButton() const { return m_follow; }
    // The row of buttons above the plot, for the owner's own.
    QHBoxLayout *toolRow() const { return m_toolRow; }
    double plotHeight() const { return m_plotHeight; }
    // Scene x of a time of the trend (milliseconds).
    double sceneX(qint64 time) const;

    void applyTexts();
    bool exportPng(const QString &fileName);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildSeries();
    void clearSeries();
    void stopFollowing();
    void layoutScene();
    void scrollToEnd();
    void saveShownSeries() const;
    double sceneEnd() const;
    double sceneStart() const;

    const LiveTrend *m_trend = nullptr;
    QString m_settingsKey;
    quint64 m_seenRevision = 0;
    QList<BrokenLine *> m_series;
    QGraphicsScene *m_scene;
    Axes *m_axes = nullptr;
    GraphView *m_view;
    SeriesLists *m_lists;
    QHBoxLayout *m_toolRow;
    std::array<QToolButton *, kSpans> m_spanButtons{};
    QToolButton *m_follow;
    QTimer m_refresh;
    Span m_span = Span::FiveMinutes;
    bool m_following = true;
    double m_plotHeight = 0;
    double m_sceneLeft = 0;
};

} // namespace graphs
