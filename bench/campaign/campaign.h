// The fault campaign's shared pieces: the write paths it counts, the fault profiles, one job (a
// write path under one fault profile and seed, run in a process of its own because the link
// library keeps one port per process), and the simulated board each operation runs against with
// what can be read of its memory through the simulator's control channel and files.
#pragma once

#include "bench.h"
#include "board/boardlink.h"
#include "board/stovemodel.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <optional>
#include <random>

namespace campaign {

// The rows of the table: one per write path.
enum class Path {
    ParamSet,
    SetAll,
    Store,
    Bank,
    HwOutput,
    HwTestMode,
    Reset,
    Firmware,
    HbctlParams,
    HbctlFlash,
};
inline constexpr int kPathCount = static_cast<int>(Path::HbctlFlash) + 1;
const char *pathName(Path path);

// What an operation's report was worth, seen against the board's memory.
enum class Verdict {
    Confirmed,    // reported success and the board holds what was reported
    Failed,       // reported failure (whatever the board holds: the user was told)
    FalseSuccess, // reported success and the board holds something else
};
const char *verdictKey(Verdict verdict);
std::optional<Verdict> verdictFromKey(const QString &key);

// A set of faults the simulator injects. A profile with `silentBelowRequests` makes each
// operation's board fall silent after a number of answers drawn below the requests the operation
// makes, so that the silence falls inside it.
struct Profile {
    const char *name;
    QStringList arguments;
    bool silentBelowRequests = false;
};
const QList<Profile> &profiles();
const Profile *profileNamed(const QString &name);

// The kinds of job: each runs the operations of one or two paths.
enum class Group { ParamSet, SetAll, Store, Bank, HwTest, Reset, Firmware, HbctlParams, HbctlFlash };
inline constexpr int kGroupCount = static_cast<int>(Group::HbctlFlash) + 1;
const char *groupName(Group group);
std::optional<Group> groupNamed(const QString &name);
// Operations of one job by default (per profile and seed), and the rough cost of one in seconds on
// today's link, to start the longest jobs first.
int defaultOperations(Group group);
double operationCost(Group group);

// Board parameters of a model by key (table * 100 + board index): raw values.
using Memory = QMap<int, int>;
inline int parameterKey(int table, int boardIndex) {
    return table * 100 + boardIndex;
}
// The distinct board parameters of a model's catalogue, in key order.
QList<int> boardKeys(StoveModel model);
// "gen 07", "tec 05".
QString keyName(int key);
// The first differences between two memories ("gen 07 = 45, expected 50; ..."), empty when equal.
QString memoryDifferences(const Memory &board, const Memory &expected, int shown = 3);

// The simulator of one operation (or one episode of operations), with the faults of the job.
class SimBoard {
public:
    SimBoard(const std::vector<std::string> &arguments, QString statePath, QString logPath);
    bool ok() const { return m_sim.ok(); }
    // One control command; its answer ("ok ..." or "error ...").
    QString control(const QString &line);
    // A parameter of the selected bank, and its accepted range now.
    std::optional<int> value(int table, int boardIndex);
    std::optional<std::pair<int, int>> range(int table, int boardIndex);
    // Every board parameter of the model in the selected bank; nothing when one is unreadable.
    std::optional<Memory> memory(StoveModel model);
    // The stored copy (the state file the simulator writes at every store): the selected bank and
    // every bank's parameters. Nothing before the first store.
    struct Stored {
        int bank = 1;
        QMap<int, Memory> banks;
    };
    std::optional<Stored> stored() const;
    // "normal", "test" or "bootloader", and the selected bank.
    QString mode();
    int bank();
    // Channels 0..9 and the BASIC LED (index 10).
    using Outputs = std::array<int, 11>;
    std::optional<Outputs> outputs();
    // The flash image, 1 MiB (empty when it could not be written).
    QByteArray flash(const QString &path);
    const QString &logPath() const { return m_logPath; }

private:
    bench::Simulator m_sim;
    QString m_statePath;
    QString m_logPath;
};

// One job: a group's operations under one profile and seed, in a scratch folder. Prints one line
// per operation on standard output for the campaign to count.
class Job {
public:
    Job(Group group, const Profile &profile, int seed, int operations, int baud, QString scratch,
        QString keep);

    Group group() const { return m_group; }
    int operations() const { return m_operations; }
    int seed() const { return m_seed; }
    // The profile's place in profiles(): jobs of one path spread their choices over it.
    int profileIndex() const { return m_profileIndex; }
    LinkSettings linkSettings() const { return LinkSettings{0, m_baud, 20}; }
    int baud() const { return m_baud; }
    const QString &scratch() const { return m_scratch; }

    // Uniform in lo..hi, from the job's own sequence (the same for the same seed).
    int pick(int lo, int hi);
    bool chance(double p);
    template <typename T> const T &pickFrom(const QList<T> &list) {
        return list[pick(0, static_cast<int>(list.size()) - 1)];
    }

    // A board for operation `op` of the job: the model's simulator with the job's faults (their
    // seed derived from the job's seed and `op`), a state file and a transcript. With a silent
    // profile the board falls silent after 0..expectedRequests answers. `extra`: more arguments
    // (--bootloader). Clean boards (no faults) serve the set-up of a page.
    std::unique_ptr<SimBoard> board(StoveModel model, int op, int expectedRequests,
                                    const std::vector<std::string> &extra = {});
    std::unique_ptr<SimBoard> cleanBoard(StoveModel model, const std::vector<std::string> &extra = {});

    // One operation's verdict with what was reported and what the board held. A false success
    // keeps the board's transcript in the keep folder, when there is one.
    void report(Path path, int op, Verdict verdict, const QString &reported, const QString &board,
                const SimBoard *sim = nullptr);
    // Something seen that is not a verdict (a hazard left on the board after a reported failure).
    void note(Path path, int op, const QString &text);

private:
    Group m_group;
    const Profile &m_profile;
    int m_seed;
    int m_operations;
    int m_baud;
    QString m_scratch;
    QString m_keep;
    std::mt19937_64 m_rng;
    int m_profileIndex = 0;
    int m_boards = 0;
};

// The groups' operations; each returns false when the job could not run (no simulator, no page).
bool runParamSet(Job &job);
bool runSetAll(Job &job);
bool runStore(Job &job);
bool runBank(Job &job);
bool runReset(Job &job);
bool runHbctlParams(Job &job);
bool runHwTest(Job &job);
bool runFirmware(Job &job);
bool runHbctlFlash(Job &job);

// The model a job of this group runs against for `seed`: the groups spread over the models.
StoveModel jobModel(Group group, int seed);

} // namespace campaign
