#include "graphs/trendview.h"

#include "app/texts.h"
#include "graphs/axes.h"
#include "graphs/brokenline.h"
#include "graphs/livetrend.h"
#include "graphs/seriestable.h"

#include <QButtonGroup>
#include <QGraphicsScene>
#include <QHBoxLayout>
#include <QScrollBar>
#include <QSettings>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace graphs {
namespace {

// The view takes the trend's new rows this often while it is shown.
constexpr int kRefreshMs = 500;
constexpr qint64 kMsPerSecond = 1000;
// Device pixels left free right of the newest values while following: a last value's dot fits.
constexpr double kEndRoom = 8;
constexpr qint64 kSpanSeconds[TrendView::kSpans] = {5 * 60, 30 * 60, 2 * 60 * 60, 0};
constexpr const char *kSpanNames[TrendView::kSpans] = {"span5mButton", "span30mButton", "span2hButton",
                                                       "spanAllButton"};
constexpr Text kSpanTexts[TrendView::kSpans] = {Text::Span5Min, Text::Span30Min, Text::Span2Hours,
                                                Text::SpanAll};

} // namespace

qint64 TrendView::spanSeconds(Span span) {
    return kSpanSeconds[int(span)];
}

TrendView::TrendView(QWidget *parent) : QSplitter(Qt::Horizontal, parent) {
    setObjectName(QStringLiteral("trendView"));
    m_lists = new SeriesLists(this);
    auto *plot = new QWidget(this);
    auto *column = new QVBoxLayout(plot);
    column->setContentsMargins(0, 0, 0, 0);
    m_toolRow = new QHBoxLayout;
    column->addLayout(m_toolRow);
    auto *spans = new QButtonGroup(this);
    for (int i = 0; i < kSpans; ++i) {
        auto *button = new QToolButton(plot);
        button->setObjectName(QLatin1String(kSpanNames[i]));
        button->setCheckable(true);
        spans->addButton(button);
        m_toolRow->addWidget(button);
        m_spanButtons[std::size_t(i)] = button;
        connect(button, &QToolButton::clicked, this, [this, i] { setSpan(Span(i)); });
    }
    m_follow = new QToolButton(plot);
    m_follow->setObjectName(QStringLiteral("followButton"));
    m_follow->setCheckable(true);
    m_toolRow->addWidget(m_follow);
    m_toolRow->addStretch();

    m_scene = new QGraphicsScene(this);
    m_scene->setObjectName(QStringLiteral("trendScene"));
    setUpPlotScene(*m_scene);
    m_view = new GraphView(m_scene, plot);
    m_view->setObjectName(QStringLiteral("graphView"));
    column->addWidget(m_view, 1);
    setStretchFactor(0, 1);
    setStretchFactor(1, 5);
    setStyleSheet(QLatin1String(kPlotStyle));

    connect(m_lists, &SeriesLists::changed, this, [this] {
        saveShownSeries();
        m_view->viewport()->update();
    });
    connect(m_lists->fitAllButton(), &QToolButton::clicked, this, [this] {
        stopFollowing();
        m_view->fitAll();
    });
    connect(m_lists->exportButton(), &QToolButton::clicked, this, [this] { exportPngAsked(this, *m_view); });
    connect(m_follow, &QToolButton::clicked, this, [this](bool on) { on ? follow() : stopFollowing(); });
    connect(m_view, &GraphView::navigated, this, &TrendView::stopFollowing);
    connect(m_view, &GraphView::endRequested, this, &TrendView::follow);
    connect(m_view, &GraphView::viewportResized, this, [this] {
        layoutScene();
        if (m_following) scrollToEnd();
    });
    m_view->setReadout([this](double sceneX) {
        const QList<BrokenLine *> shown = m_lists->shownSeries();
        if (m_series.isEmpty()) return CursorReadout{};
        return readoutAt(shown.isEmpty() ? *m_series.first() : *shown.first(), shown, sceneX);
    });
    connect(&m_refresh, &QTimer::timeout, this, [this] {
        if (isVisible()) refresh();
    });
    m_refresh.start(kRefreshMs);
    m_spanButtons[std::size_t(m_span)]->setChecked(true);
    m_follow->setChecked(true);
    applyTexts();
}

TrendView::~TrendView() {
    // The plot items read the trend's rows: they go before the owner's trend may.
    clearSeries();
}

void TrendView::applyTexts() {
    for (int i = 0; i < kSpans; ++i)
        m_spanButtons[std::size_t(i)]->setText(textAt(kSpanTexts[i]));
    m_follow->setText(textAt(Text::Follow));
    m_follow->setToolTip(textAt(Text::FollowTip));
    m_lists->applyTexts();
    // The series' names are those of the language in use.
    if (m_trend != nullptr) {
        clearSeries();
        buildSeries();
    }
}

void TrendView::setTrend(const LiveTrend *trend, const QString &settingsKey) {
    clearSeries();
    m_trend = trend;
    m_settingsKey = settingsKey;
    m_sceneLeft = std::numeric_limits<double>::infinity();
    if (m_trend != nullptr) buildSeries();
    follow();
}

void TrendView::clearSeries() {
    m_lists->setSeries({}, {});
    for (BrokenLine *line : std::as_const(m_series)) {
        m_scene->removeItem(line);
        delete line;
    }
    m_series.clear();
    if (m_axes != nullptr) {
        m_scene->removeItem(m_axes);
        delete m_axes;
        m_axes = nullptr;
    }
}

void TrendView::buildSeries() {
    const LiveTrend &trend = *m_trend;
    const auto defs = seriesDefs(trend.model());
    // The series of one group share their times, so where each pixel column starts.
    std::vector<std::shared_ptr<ColumnIndex>> indexes;
    for (int g = 0; g < trend.groupCount(); ++g)
        indexes.push_back(std::make_shared<ColumnIndex>());
    for (int c = 0; c < trend.columnCount(); ++c) {
        const SeriesDef &def = defs[std::size_t(c)];
        auto *line = new BrokenLine(seriesName(def), trend.group(trend.groupOf(c)), trend.columnInGroup(c),
                                    QColor(QRgb(def.rgb)), QString::fromUtf8(def.unit), def.kind);
        line->setTimeOrigin(trend.origin());
        line->setInterval(kMsPerSecond);
        line->setStep(kStep);
        line->setColumnIndex(indexes[std::size_t(trend.groupOf(c))]);
        m_scene->addItem(line);
        m_series.append(line);
    }
    // Shown: the stored choice, all series when there is none.
    std::vector<int> shown;
    const QSettings settings;
    if (!m_settingsKey.isEmpty() && settings.contains(m_settingsKey)) {
        for (const QString &part :
             settings.value(m_settingsKey).toString().split(QLatin1Char(','), Qt::SkipEmptyParts))
            shown.push_back(part.toInt());
    } else {
        shown.resize(std::size_t(m_series.size()));
        std::iota(shown.begin(), shown.end(), 0);
    }
    m_lists->setSeries(m_series, shown);
    // The axis counts whole seconds from the trend's origin.
    m_axes = new Axes(QStringLiteral("t"), 1, trend.origin() / kMsPerSecond, 1);
    m_axes->setStep(kStep);
    m_scene->addItem(m_axes);
    m_seenRevision = trend.revision() - 1;
    refresh();
}

void TrendView::saveShownSeries() const {
    if (m_settingsKey.isEmpty() || m_trend == nullptr) return;
    QStringList shown;
    for (int i : m_lists->shownIndexes())
        shown.append(QString::number(i));
    QSettings().setValue(m_settingsKey, shown.join(QLatin1Char(',')));
}

double TrendView::sceneX(qint64 time) const {
    if (m_trend == nullptr) return 0;
    return double(TimeScale(m_trend->origin(), kMsPerSecond, kStep).x(time));
}

double TrendView::sceneEnd() const {
    if (m_trend == nullptr) return 0;
    return sceneX(m_trend->end().value_or(m_trend->origin()));
}

double TrendView::sceneStart() const {
    if (m_trend == nullptr) return 0;
    return sceneX(m_trend->start().value_or(m_trend->end().value_or(m_trend->origin())));
}

void TrendView::refresh() {
    if (m_trend == nullptr || m_trend->revision() == m_seenRevision) return;
    m_seenRevision = m_trend->revision();
    // A series becomes constant or stops being so as values arrive.
    placeRows(m_series);
    layoutScene();
    if (m_following) scrollToEnd();
    m_view->viewport()->update();
}

void TrendView::layoutScene() {
    m_plotHeight = std::max(kLeastPlotHeight, m_view->viewport()->height() - double(Axes::kBand));
    const double end = sceneEnd(), start = sceneStart();
    const double spanWidth = double(spanSeconds(m_span) * kStep);
    // The scene never narrows on the left: a view that does not follow stays where it is.
    m_sceneLeft = std::min({m_sceneLeft, start, end - spanWidth});
    const double left = m_sceneLeft;
    const double right = end + kEndRoom / m_view->horizontalScale();
    m_scene->setSceneRect(left, 0, right - left, m_plotHeight + Axes::kBand);
    for (BrokenLine *line : std::as_const(m_series))
        line->setPlotSize(end, m_plotHeight);
    if (m_axes != nullptr && m_trend != nullptr) {
        const qint64 reached = m_trend->end().value_or(m_trend->origin()) - m_trend->origin();
        m_axes->setCount(reached / kMsPerSecond + 1);
        m_axes->setPlotSize(end, m_plotHeight);
    }
    const double width = std::max(right - left, 1.0);
    const double viewport = m_view->viewport()->width();
    m_view->setScaleLimits(std::min({1.0, viewport / width, viewport / (spanWidth > 0 ? spanWidth : width)}),
                           std::min(kLargestZoom, kLargestScaledWidth / width));
}

void TrendView::scrollToEnd() {
    const double end = sceneEnd();
    const double viewport = std::max(1.0, m_view->viewport()->width() - kEndRoom);
    double spanWidth = double(spanSeconds(m_span) * kStep);
    if (spanWidth <= 0) spanWidth = std::max(end - sceneStart(), double(kStep));
    const double scale = viewport / spanWidth;
    if (scale != m_view->horizontalScale()) m_view->setTransform(QTransform::fromScale(scale, 1));
    layoutScene(); // the room right of the end is in device pixels
    m_view->horizontalScrollBar()->setValue(qRound(end * m_view->horizontalScale() - viewport));
}

void TrendView::setSpan(Span span) {
    m_span = span;
    m_spanButtons[std::size_t(span)]->setChecked(true);
    follow();
}

void TrendView::follow() {
    m_following = true;
    m_follow->setChecked(true);
    layoutScene();
    scrollToEnd();
    m_view->viewport()->update();
}

void TrendView::stopFollowing() {
    m_following = false;
    m_follow->setChecked(false);
}

bool TrendView::exportPng(const QString &fileName) {
    return graphs::exportPng(*m_view, fileName);
}

void TrendView::showEvent(QShowEvent *event) {
    QSplitter::showEvent(event);
    // Rows came while hidden: take them now rather than at the next tick.
    refresh();
    if (m_following) scrollToEnd();
}

} // namespace graphs
