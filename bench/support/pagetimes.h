// View all and Set all of the parameters page against the simulator of one model paced at the link's
// baud rate (9600 unless told), the page built as its first entry builds it: what the parameters and
// hbctl benchmarks time.
#pragma once

#include "app/session.h"
#include "board/boardlink.h"
#include "board/detection.h"
#include "parameters/catalogue.h"
#include "parameters/parameterspage.h"
#include "parameters/setall.h"
#include "qtbench.h"

#include <QDoubleSpinBox>

#include <functional>
#include <optional>

namespace bench {

struct PageTimes {
    double viewMs = 0, setMs = 0;
    int rows = 0;   // View all reads one row a transaction
    int writes = 0; // Set all's writes before it stores them
};

// The line a page is timed on.
struct PageLine {
    int baud = 9600; // the link's and the simulator's pacing; the delay is the program's 20 ms
    // Runs once the simulator is up, before the link opens (to put a proxy in between, say); false
    // gives up.
    std::function<bool(const Simulator &)> beforeOpen;
};

// `between` runs after View all while the page has let go of the port; nothing when a step fails.
inline std::optional<PageTimes> timePage(StoveModel model, const std::function<bool()> &between = {},
                                         const PageLine &line = {}) {
    const char *arguments[] = {"", "basic", "water", "air"};
    Simulator sim({"--model", arguments[modelIndex(model)], "--baud", std::to_string(line.baud)});
    LinkSettings settings;
    settings.baudRate = line.baud;
    BoardLink link;
    Session session(link);
    const bool ready = sim.ok() && (!line.beforeOpen || line.beforeOpen(sim));
    const auto identity = ready && link.open(settings) == 0 ? readBoardIdentity(link) : std::nullopt;
    if (!identity || modelFromName(identity->left(10).trimmed()) != model) {
        std::fprintf(stderr, "%s not detected\n", qPrintable(modelName(model, false)));
        return std::nullopt;
    }
    session.setModel(model);
    ParametersPage page(session);
    page.build();
    PageTimes times;
    times.rows = parameterCount(model);
    auto start = Clock::now();
    page.viewAll();
    times.viewMs = msSince(start);
    QList<double> values;
    for (int i = 0; i < times.rows; ++i)
        values.append(page.valueBox(i)->value());
    times.writes = int(composeWrites(model, values, session.hubaMode()).size());
    if (between) {
        link.close();
        if (!between() || link.open(settings) != 0) return std::nullopt;
    }
    start = Clock::now();
    page.setAll();
    times.setMs = msSince(start);
    return times;
}

} // namespace bench
