// The hardware-test write paths, through the page itself (it decides what its controls show):
// entering test mode (TESTON and all outputs off), outputs driven by hand (buttons, sliders and
// spin boxes, the BASIC LED) and leaving test mode (all off and TESTOFF). Each episode has a board
// of its own: enter, six outputs, leave.
#include "app/session.h"
#include "campaign.h"
#include "hwtest/outputs.h"
#include "hwtest/testhwpage.h"
#include "pagekit.h"

#include <QAbstractButton>
#include <QSlider>
#include <QSpinBox>

namespace campaign {
namespace {

constexpr int kManualPerEpisode = 6;
constexpr int kLedIndex = 10; // in SimBoard::Outputs

// One output row of the page with its controls and the board channel it drives.
struct Control {
    hwtest::OutputRow row;
    QAbstractButton *button = nullptr;
    QSlider *slider = nullptr;
    QSpinBox *spinBox = nullptr;
    std::array<QAbstractButton *, hwtest::kLedButtons> leds{};
    int channel = 0; // index into SimBoard::Outputs
};

// The simulator's channel of an output: the channel itself on WATER and AIR - DUCTED boards; on
// BASIC boards the load or analogue output number stands for resistance 0, cochlea 1, extractor 5
// and room fan 6.
int boardChannel(StoveModel model, const hwtest::OutputRow &row) {
    if (row.control == hwtest::OutputControl::LedGroup) return kLedIndex;
    if (model != StoveModel::Basic) return row.target;
    switch (row.target) {
    case 1:
        return 0;
    case 3:
        return 1;
    case 2:
        return 5;
    default:
        return 6;
    }
}

QList<Control> controlsOf(TestHwPage &page, StoveModel model) {
    static const char *const ledNames[hwtest::kLedButtons] = {"greenLedButton", "redLedButton",
                                                              "yellowLedButton"};
    QList<Control> controls;
    for (const hwtest::OutputRow &row : hwtest::outputRows(model)) {
        Control c{row};
        const QString key = hwtest::outputKey(row.id);
        c.button = page.findChild<QAbstractButton *>(key + QStringLiteral("Button"));
        c.slider = page.findChild<QSlider *>(key + QStringLiteral("Slider"));
        c.spinBox = page.findChild<QSpinBox *>(key + QStringLiteral("SpinBox"));
        for (int i = 0; i < hwtest::kLedButtons; ++i)
            c.leds[i] = page.findChild<QAbstractButton *>(QLatin1String(ledNames[i]));
        c.channel = boardChannel(model, row);
        const bool found = row.control == hwtest::OutputControl::Digital ? c.button != nullptr
                           : row.control == hwtest::OutputControl::Analogue
                               ? c.slider && c.spinBox
                               : c.leds[0] && c.leds[1] && c.leds[2];
        if (!found) return {};
        controls.append(c);
    }
    return controls;
}

// What the control shows now: on (1) / off (0), the slider's level, or the LED state.
int shown(const Control &c) {
    switch (c.row.control) {
    case hwtest::OutputControl::Digital:
        return c.button->isChecked() ? 1 : 0;
    case hwtest::OutputControl::Analogue:
        return c.slider->value();
    case hwtest::OutputControl::LedGroup:
        for (int i = 0; i < hwtest::kLedButtons; ++i)
            if (c.leds[i]->isChecked()) return i + 1;
        return 0;
    }
    return 0;
}

// What the board holds for the control, in the control's terms.
int held(const Control &c, const SimBoard::Outputs &outputs) {
    const int level = outputs[c.channel];
    return c.row.control == hwtest::OutputControl::Digital ? (level > 0 ? 1 : 0) : level;
}

QString describe(const Control &c, int value) {
    const QString name = hwtest::outputKey(c.row.id);
    switch (c.row.control) {
    case hwtest::OutputControl::Digital:
        return QStringLiteral("%1 %2").arg(name, value != 0 ? QStringLiteral("ON") : QStringLiteral("OFF"));
    case hwtest::OutputControl::Analogue:
        return QStringLiteral("%1 %2").arg(name).arg(value);
    case hwtest::OutputControl::LedGroup:
        break;
    }
    static const char *const states[] = {"off", "green", "red", "yellow"};
    return QStringLiteral("LED %1").arg(QLatin1String(states[std::clamp(value, 0, 3)]));
}

QString levels(const SimBoard::Outputs &o) {
    QStringList out;
    for (int i = 0; i < kLedIndex; ++i)
        out.append(QString::number(o[i]));
    return out.join(QLatin1Char(' ')) + QStringLiteral(" led %1").arg(o[kLedIndex]);
}

QString messages(const QStringList &texts) {
    if (texts.isEmpty()) return QStringLiteral("no message");
    return QLatin1Char('"') + texts.join(QStringLiteral("\", \"")) + QLatin1Char('"');
}

// Drives one control to a new value as a user does; the value asked for.
int drive(Job &job, const Control &c) {
    switch (c.row.control) {
    case hwtest::OutputControl::Digital: {
        const int wanted = c.button->isChecked() ? 0 : 1;
        c.button->click();
        return wanted;
    }
    case hwtest::OutputControl::Analogue: {
        const int steps = c.row.maximum / 10;
        int wanted = job.pick(0, steps) * 10;
        for (int attempt = 0; wanted == c.slider->value() && attempt < 10; ++attempt)
            wanted = job.pick(0, steps) * 10;
        if (job.chance(0.5)) { // dragged and released
            c.slider->setValue(wanted);
            emit c.slider->sliderReleased();
        } else { // typed
            c.spinBox->setValue(wanted);
            emit c.spinBox->editingFinished();
        }
        return wanted;
    }
    case hwtest::OutputControl::LedGroup:
        break;
    }
    const int k = job.pick(0, hwtest::kLedButtons - 1);
    const int wanted = c.leds[k]->isChecked() ? 0 : k + 1;
    c.leds[k]->click();
    return wanted;
}

} // namespace

bool runHwTest(Job &job) {
    const StoveModel model = jobModel(job.group(), job.seed());
    BoardLink link;
    Session session(link);
    session.setModel(model);
    TestHwPage page(session);
    page.build();
    page.show();
    const QList<Control> controls = controlsOf(page, model);
    if (controls.isEmpty()) return false;
    BoxRecorder boxes;
    int op = 0;
    for (int episode = 0; episode < job.operations(); ++episode) {
        const auto board = job.board(model, op, kManualPerEpisode + 4);
        if (!board->ok() || link.open(job.linkSettings()) != 0) return false;

        boxes.take();
        page.enterTestMode();
        QStringList texts = boxes.take();
        auto outputs = board->outputs();
        QString mode = board->mode();
        if (!outputs) return false;
        const bool allOff = std::all_of(outputs->begin(), outputs->end(), [](int v) { return v == 0; });
        if (!texts.isEmpty())
            job.report(Path::HwTestMode, op, Verdict::Failed, QStringLiteral("enter: ") + messages(texts),
                       {});
        else if (mode == QLatin1String("test") && allOff)
            job.report(Path::HwTestMode, op, Verdict::Confirmed, QStringLiteral("enter: no message"), {});
        else
            job.report(Path::HwTestMode, op, Verdict::FalseSuccess,
                       QStringLiteral("enter: no message, controls at rest"),
                       QStringLiteral("mode %1, outputs %2").arg(mode, levels(*outputs)), board.get());
        ++op;

        for (int n = 0; n < kManualPerEpisode; ++n, ++op) {
            const Control &c = job.pickFrom(controls);
            const int wanted = drive(job, c);
            texts = boxes.take();
            const int now = shown(c);
            outputs = board->outputs();
            if (!outputs) return false;
            const QString reported = QStringLiteral("asked %1, shows %2, %3")
                                         .arg(describe(c, wanted), describe(c, now), messages(texts));
            if (!texts.isEmpty() || now != wanted)
                job.report(Path::HwOutput, op, Verdict::Failed, reported, {});
            else if (held(c, *outputs) == now)
                job.report(Path::HwOutput, op, Verdict::Confirmed, reported, {});
            else
                job.report(
                    Path::HwOutput, op, Verdict::FalseSuccess, reported,
                    QStringLiteral("board %1 (mode %2)").arg(describe(c, held(c, *outputs)), board->mode()),
                    board.get());
        }

        boxes.take();
        page.leaveTestMode();
        texts = boxes.take();
        outputs = board->outputs();
        mode = board->mode();
        link.close();
        if (!outputs) return false;
        const bool off = std::all_of(outputs->begin(), outputs->end(), [](int v) { return v == 0; });
        if (!texts.isEmpty())
            job.report(Path::HwTestMode, op, Verdict::Failed, QStringLiteral("leave: ") + messages(texts),
                       {});
        else if (mode == QLatin1String("normal") && off)
            job.report(Path::HwTestMode, op, Verdict::Confirmed, QStringLiteral("leave: no message"), {});
        else
            job.report(Path::HwTestMode, op, Verdict::FalseSuccess, QStringLiteral("leave: no message"),
                       QStringLiteral("mode %1, outputs %2").arg(mode, levels(*outputs)), board.get());
        ++op;
    }
    return true;
}

} // namespace campaign
