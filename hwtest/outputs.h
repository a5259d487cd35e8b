// The board outputs the hardware test page drives: the rows of each stove model, the transaction
// and arguments each control sends, the retry rules, and the automatic sequence as data. No widgets
// here.
#pragma once

#include "app/textentries.h"
#include "board/retrypolicy.h"
#include "board/stovemodel.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace hwtest {

enum class OutputId {
    Resistance,
    SmokesExtractor,
    Cochlea,
    FanEnvironment,
    Led,
    HeatingPump,
    SanitaryPump,
    Channel1,
    Channel2,
    Free,
};

enum class OutputControl {
    Digital,  // an on/off button
    Analogue, // a slider with a coupled spin box
    LedGroup, // the BASIC board's LED: green, red and yellow (both) buttons, at most one on
};

// The BASIC board's LED states; also the positions of the three LED buttons (1..3).
enum class LedState : unsigned short { Off = 0, Green = 1, Red = 2, Yellow = 3 };
inline constexpr int kLedButtons = 3;

// One output of a model, in the order the page lists them.
struct OutputRow {
    OutputId id;
    OutputControl control;
    unsigned short target; // BASIC: the load or analogue output number; other models: the channel
    int maximum;           // analogue outputs: the range is 0..maximum
    bool percent;          // analogue outputs: the spin box shows "%"
    Text text;             // text-table entry of the label
};

QList<OutputRow> outputRows(StoveModel model);
QString outputLabel(const OutputRow &row);
// The name the hardware-test page gives the controls of an output ("resistance", "channel1"...):
// its widgets are that name followed by their kind ("Button", "Label", "Slider"...).
QString outputKey(OutputId id);

// One command transaction that drives outputs.
struct OutputCommand {
    enum class Kind { Load, AnalogueOutput, Channel };
    Kind kind;
    unsigned short target;
    unsigned short value;
    bool operator==(const OutputCommand &) const = default;
};

// The command that brings an output to `value`: a digital output is on for any non-zero value, the
// LED takes a LedState, an analogue output the level.
OutputCommand outputCommand(StoveModel model, const OutputRow &row, int value);
// The command that switches every output of the board off; none for an unknown model.
std::optional<OutputCommand> allOutputsOff(StoveModel model);
// One attempt of the command, waiting `wait` ms for the reply; the transaction's result (1/0).
int sendOutputCommand(const OutputCommand &command, int wait);

// The board's control commands for test mode.
enum class TestModeCommand : unsigned short { Leave = 0, Enter = 1 };
int sendTestModeCommand(TestModeCommand command, int wait);

// Attempts and reply waits of the page's commands.
namespace retry {
inline constexpr RetryPolicy analogueOutput{1, 3, 50, 50}; // 100, 150, 200 ms
inline constexpr RetryPolicy digitalOutput{0, 3, 75, 25};  // 75, 100, 125, 150 ms (also the LED)
inline constexpr RetryPolicy testOn{1, 4, 0, 50};          // 50, 100, 150, 200 ms
inline constexpr RetryPolicy allOff{0, 2, 300, 75};        // 300, 375, 450 ms
inline constexpr RetryPolicy testOff{1, 3, 50, 50};        // 100, 150, 200 ms
} // namespace retry

// The policy of a manual command from a control of this kind.
const RetryPolicy &manualPolicy(OutputControl control);

// One step of the automatic test: an output and the values it is driven to, in order.
struct AutomaticStep {
    OutputId output;
    QList<int> values;
};

// The automatic test of a model; empty for an unknown model.
QList<AutomaticStep> automaticSequence(StoveModel model);

// The attempts of one automatic step. One counter n serves all values of the step and is never
// reset within it: an attempt waits (n + 3) x 25 ms for the reply, then n grows by one; a failed
// attempt is repeated only while n is at most 3. Every value gets at least one attempt.
class StepAttempts {
public:
    using Attempt = std::function<bool(int wait)>;
    // Sends one value; `proceed` (when given) is asked before every attempt and, when false, ends
    // the value without further attempts. True when an attempt succeeded.
    bool send(const Attempt &attempt, const std::function<bool()> &proceed = {});
    int made() const { return m_n; }

private:
    static constexpr int kLastRetry = 3;
    static constexpr int kWaitBase = 3;
    static constexpr int kWaitStep = 25;
    int m_n = 0;
};

} // namespace hwtest
