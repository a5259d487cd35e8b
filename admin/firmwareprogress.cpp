#include "admin/firmwareprogress.h"

#include "app/texts.h"
#include "app/timeleft.h"

#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int kWidth = 348;
// Before this much programming time the rate says too little to estimate from.
constexpr qint64 kMinRateMs = 500;

} // namespace

FirmwareProgress::FirmwareProgress(const QWidget &over)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowTitleHint), m_caption(new QLabel(this)),
      m_bar(new QProgressBar(this)), m_detail(new QLabel(this)),
      m_stop(new QPushButton(textAt(Text::Stop), this)) {
    setObjectName(QStringLiteral("firmwareProgress"));
    setWindowModality(Qt::ApplicationModal);
    m_caption->setTextFormat(Qt::PlainText);
    m_detail->setTextFormat(Qt::PlainText);
    m_bar->setObjectName(QStringLiteral("firmwareProgressBar"));
    m_detail->setObjectName(QStringLiteral("firmwareProgressDetail"));
    m_stop->setObjectName(QStringLiteral("firmwareProgressStop"));
    // Frameless, so it draws its own edge to stand out from the window behind it.
    auto *frame = new QFrame(this);
    frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
    frame->setLineWidth(2);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);
    auto *layout = new QVBoxLayout(frame);
    layout->addWidget(m_caption);
    layout->addWidget(m_bar);
    layout->addWidget(m_detail);
    layout->addWidget(m_stop, 0, Qt::AlignRight);
    setFixedWidth(kWidth);
    adjustSize();
    const QWidget &window = *over.window();
    move(window.mapToGlobal(QPoint((window.width() - kWidth) / 2, (window.height() - height()) / 2)));
    connect(m_stop, &QPushButton::clicked, this, [this] {
        m_stop->setEnabled(false);
        emit stopRequested();
    });
}

void FirmwareProgress::start(const QString &caption, int maximum) {
    setWindowTitle(caption);
    m_caption->setText(caption);
    m_bar->setRange(0, maximum);
    m_bar->setValue(0);
    m_detail->clear();
    m_rateClock.invalidate();
    show();
    raise();
}

void FirmwareProgress::setValue(int value) {
    m_bar->setValue(value);
}

void FirmwareProgress::setMaximum(int maximum) {
    m_bar->setMaximum(maximum);
}

void FirmwareProgress::showBytes(qint64 written, qint64 total) {
    if (!m_rateClock.isValid()) m_rateClock.start();
    const qint64 elapsed = m_rateClock.elapsed();
    const QString left = timeLeftText(elapsed, written, total, kMinRateMs);
    m_detail->setText(QStringLiteral("%1 / %2 %3 - %4: %5")
                          .arg(written)
                          .arg(total)
                          .arg(textAt(Text::BytesWritten), textAt(Text::TimeLeft), left));
}

QString FirmwareProgress::caption() const {
    return m_caption->text();
}

QString FirmwareProgress::detail() const {
    return m_detail->text();
}

int FirmwareProgress::value() const {
    return m_bar->value();
}

int FirmwareProgress::maximum() const {
    return m_bar->maximum();
}
