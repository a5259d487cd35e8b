#include "monitor/trendwindow.h"

#include "app/session.h"
#include "app/texts.h"
#include "graphs/showgraphics.h"
#include "graphs/trendview.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// How often the trend's time moves on (and a silence is looked for) and the viewer button follows
// the recording.
constexpr int kTickMs = 500;
constexpr int kWindowWidth = 920;
constexpr int kWindowHeight = 560;

} // namespace

TrendWindow::TrendWindow(Session &session, std::function<QString()> recordingFile, QWidget *page)
    : QWidget(page, Qt::Window), m_recordingFile(std::move(recordingFile)) {
    setObjectName(QStringLiteral("trendWindow"));
    resize(kWindowWidth, kWindowHeight);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_view = new graphs::TrendView(this);
    layout->addWidget(m_view);
    m_openInViewer = new QPushButton(this);
    m_openInViewer->setObjectName(QStringLiteral("openInViewerButton"));
    m_openInViewer->setEnabled(false);
    m_view->toolRow()->addWidget(m_openInViewer);
    connect(m_openInViewer, &QPushButton::clicked, this, &TrendWindow::openInViewer);

    m_pageButton = new QPushButton(page);
    m_pageButton->setObjectName(QStringLiteral("trendBDebug"));
    connect(m_pageButton, &QPushButton::clicked, this, [this] {
        show();
        raise();
        activateWindow();
    });
    if (page != nullptr) page->installEventFilter(this);
    connect(&session, &Session::modelChanged, this, &TrendWindow::startTrend);
    connect(&m_tick, &QTimer::timeout, this, &TrendWindow::tick);
    m_tick.start(kTickMs);
    startTrend(session.model());
}

TrendWindow::~TrendWindow() {
    // The view draws the trend's rows: it goes first.
    delete m_view;
}

QAbstractButton *TrendWindow::openInViewerButton() const {
    return m_openInViewer;
}

QString TrendWindow::settingsKey(StoveModel model) {
    return QStringLiteral("trendSeries/") + modelName(model, false).toUpper().remove(QLatin1Char(' '));
}

void TrendWindow::startTrend(StoveModel model) {
    m_trend.start(model);
    m_view->setTrend(m_trend.trend(), settingsKey(model));
    applyOwnTexts();
}

void TrendWindow::addTriplet(int index, const DecodedTriplet &decoded) {
    m_trend.add(index, decoded);
}

void TrendWindow::applyTexts() {
    applyOwnTexts();
    m_view->applyTexts();
}

void TrendWindow::applyOwnTexts() {
    setWindowTitle(QStringLiteral("%1 - %2").arg(textAt(Text::Trend), modelName(m_trend.model(), false)));
    m_pageButton->setText(textAt(Text::Trend).toUpper());
    m_pageButton->setToolTip(textAt(Text::TrendTip));
    m_openInViewer->setText(textAt(Text::OpenInViewer));
    m_openInViewer->setToolTip(textAt(Text::OpenInViewerTip));
}

bool TrendWindow::eventFilter(QObject *watched, QEvent *event) {
    // The page shown is the page polling; a minimised window (a spontaneous hide) polls on.
    if (watched == parent() && !event->spontaneous()) {
        if (event->type() == QEvent::Show) m_trend.resume();
        if (event->type() == QEvent::Hide) m_trend.pause();
    }
    return QWidget::eventFilter(watched, event);
}

void TrendWindow::tick() {
    m_trend.tick();
    m_openInViewer->setEnabled(!m_recordingFile().isEmpty());
}

void TrendWindow::openInViewer() {
    const QString file = m_recordingFile();
    if (file.isEmpty()) return;
    // The recorder opens the file for each line only: reading it meanwhile takes nothing from it.
    graphs::openRecording(this, file, graphs::ReadTo::LastLineEnd);
}
