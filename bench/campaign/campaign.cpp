// Fault campaign: every write path of the program run against the simulator with injected line
// faults, each operation's report set against what the board's memory then holds.
//
//   bench_campaign [--seeds 1,2,3] [--profiles drop,corrupt,...] [--paths set,setall,...]
//                  [--scale X] [--jobs N] [--baud B] [--keep DIR]
//
// For each write path (the groups below), fault profile and seed it runs a job: a process of its
// own (the link library keeps one port per process) that drives the program's own code as a click
// or a command does (the parameters page and the hardware-test page offscreen, the firmware update
// sequence and the parameter reset's board steps, hbctl as a child process), each operation against
// a fresh simulator (a hardware-test episode shares one) started with the profile's faults. It
// compares what the program reported (the messages shown, the control's state, the result,
// hbctl's exit status and JSON) with the simulator's memory (its control channel's "get",
// "outputs", "status", "bank", its state file, its flash image) and counts per path: reported
// success with the board as reported; reported failure; reported success with the board
// different (a false success). It prints the table, every false success (path, profile, seed,
// operation, what was reported, what the board held) and exits with status 1 when there was one,
// 2 when a job could not run, 0 otherwise.
//
// Groups (--paths): set (one row's Set), setall (Set all of 2..4 rows, then the store), store,
// bank (WATER and AIR - DUCTED), reset (the administrator panel's parameter reset), hwtest (test
// mode entered and left, the outputs driven by hand), firmware (the update sequence on a Text
// Panel), hbctl-params (params write --store of a whole file), hbctl-flash.
// Profiles (--profiles): drop, corrupt, noise, jitter, silent, lose, lose-save, mixed (see
// `profiles()`). A dropped reply is a command the board carried out; a lost request (lose, and
// lose-save for the store command alone) is one it never saw: only that shows whether a command
// nobody confirmed is taken for done.
// --scale multiplies every job's operation count; --jobs runs that many jobs at once (default 24:
// the jobs mostly wait on the line); --baud is the link's setting (default 9600, the program's
// default); --keep DIR keeps the simulator transcript of every false success in DIR.
// The same seeds give the same operations and faults; the timing of the machine can still move a
// late reply before or after a read. The default run makes 1176 operations in 216 jobs, about five
// minutes on two busy cores at 9600 baud; its processes mostly sleep.
//
// Build: cmake -S . -B build/rel -G Ninja -DCMAKE_BUILD_TYPE=Release -DHB_BUILD_TESTS=OFF
//        cmake --build build/rel --target bench_campaign
// Run:   build/rel/bench/campaign/bench_campaign
#include "campaign.h"
#include "qtbench.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

using namespace campaign;

namespace {

constexpr int kJobTimeoutMs = 40 * 60 * 1000;

struct Options {
    QList<int> seeds = {1, 2, 3};
    QList<const Profile *> profiles;
    QList<Group> groups;
    double scale = 1.0;
    int jobs = 24;
    int baud = 9600;
    QString keep;
};

[[noreturn]] void usage(const QString &problem) {
    std::fprintf(stderr,
                 "bench_campaign: %s\nusage: bench_campaign [--seeds 1,2,3] [--profiles NAME,...] [--paths "
                 "GROUP,...] [--scale X] [--jobs N] [--baud B] [--keep DIR]\n",
                 qPrintable(problem));
    std::exit(2);
}

Options parse(const QStringList &args) {
    Options o;
    for (const Profile &p : profiles())
        o.profiles.append(&p);
    for (int g = 0; g < kGroupCount; ++g)
        o.groups.append(static_cast<Group>(g));
    for (int i = 1; i < args.size(); ++i) {
        const QString a = args[i];
        const auto value = [&] {
            if (i + 1 >= args.size()) usage(QStringLiteral("missing value for ") + a);
            return args[++i];
        };
        if (a == QLatin1String("--seeds")) {
            o.seeds.clear();
            for (const QString &s : value().split(QLatin1Char(','))) {
                bool ok = false;
                o.seeds.append(s.toInt(&ok));
                if (!ok) usage(QStringLiteral("bad seed ") + s);
            }
        } else if (a == QLatin1String("--profiles")) {
            o.profiles.clear();
            for (const QString &name : value().split(QLatin1Char(','))) {
                const Profile *p = profileNamed(name);
                if (p == nullptr) usage(QStringLiteral("unknown profile ") + name);
                o.profiles.append(p);
            }
        } else if (a == QLatin1String("--paths")) {
            o.groups.clear();
            for (const QString &name : value().split(QLatin1Char(','))) {
                const auto g = groupNamed(name);
                if (!g) usage(QStringLiteral("unknown path group ") + name);
                o.groups.append(*g);
            }
        } else if (a == QLatin1String("--scale")) {
            bool ok = false;
            o.scale = value().toDouble(&ok);
            if (!ok || o.scale <= 0) usage(QStringLiteral("bad --scale"));
        } else if (a == QLatin1String("--jobs")) {
            bool ok = false;
            o.jobs = value().toInt(&ok);
            if (!ok || o.jobs < 1 || o.jobs > 64) usage(QStringLiteral("bad --jobs"));
        } else if (a == QLatin1String("--baud")) {
            bool ok = false;
            o.baud = value().toInt(&ok);
            if (!ok || !QList<int>{9600, 19200, 38400, 57600, 115200}.contains(o.baud))
                usage(QStringLiteral("bad --baud"));
        } else if (a == QLatin1String("--keep")) {
            o.keep = QDir(value()).absolutePath();
        } else {
            usage(QStringLiteral("unknown option ") + a);
        }
    }
    return o;
}

// One job of the campaign, run in a child process: bench_campaign --job GROUP PROFILE SEED OPS BAUD
// SCRATCH [KEEP]. Prints one line per operation.
int runJob(int argc, char **argv) {
    bench::useOffscreen();
    QApplication app(argc, argv);
    bench::ScratchSettings settings;
    const QStringList a = app.arguments();
    const auto group = groupNamed(a.value(2));
    const Profile *profile = profileNamed(a.value(3));
    if (a.size() < 8 || !group || profile == nullptr) return 2;
    QDir().mkpath(a[7]);
    Job job(*group, *profile, a[4].toInt(), a[5].toInt(), a[6].toInt(), a[7], a.value(8));
    bool ran = false;
    switch (*group) {
    case Group::ParamSet:
        ran = runParamSet(job);
        break;
    case Group::SetAll:
        ran = runSetAll(job);
        break;
    case Group::Store:
        ran = runStore(job);
        break;
    case Group::Bank:
        ran = runBank(job);
        break;
    case Group::HwTest:
        ran = runHwTest(job);
        break;
    case Group::Reset:
        ran = runReset(job);
        break;
    case Group::Firmware:
        ran = runFirmware(job);
        break;
    case Group::HbctlParams:
        ran = runHbctlParams(job);
        break;
    case Group::HbctlFlash:
        ran = runHbctlFlash(job);
        break;
    }
    return ran ? 0 : 3;
}

struct JobPlan {
    Group group;
    const Profile *profile;
    int seed;
    int operations;
};

struct Finding {
    Path path;
    const Profile *profile;
    int seed;
    int op;
    QString reported;
    QString board;
};

struct Tally {
    std::array<std::array<int, 3>, kPathCount> counts{}; // per path: confirmed, failed, false
    QList<Finding> falseSuccesses;
    QList<Finding> notes;
    QStringList brokenJobs;
};

// Takes the lines a job printed into the tally.
void collect(const JobPlan &plan, const QByteArray &output, Tally &tally) {
    for (const QByteArray &raw : output.split('\n')) {
        const QStringList f = QString::fromUtf8(raw).split(QLatin1Char('\t'));
        const int pathIndex = f.value(1).toInt();
        if (pathIndex < 0 || pathIndex >= kPathCount) continue;
        const auto path = static_cast<Path>(pathIndex);
        if (f.size() == 6 && f[0] == QLatin1String("op")) {
            const auto verdict = verdictFromKey(f[2]);
            if (!verdict) continue;
            ++tally.counts[pathIndex][static_cast<int>(*verdict)];
            if (*verdict == Verdict::FalseSuccess)
                tally.falseSuccesses.append({path, plan.profile, plan.seed, f[3].toInt(), f[4], f[5]});
        } else if (f.size() == 4 && f[0] == QLatin1String("note")) {
            tally.notes.append({path, plan.profile, plan.seed, f[2].toInt(), f[3], {}});
        }
    }
}

QString loadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly)
               ? QString::fromLatin1(file.readLine()).section(QLatin1Char(' '), 0, 0)
               : QStringLiteral("?");
}

void printTable(const Options &o, const Tally &t, int jobs, double seconds, const QString &loadBefore) {
    int total = 0;
    std::array<int, 3> sums{};
    for (const auto &row : t.counts)
        for (int v = 0; v < 3; ++v) {
            sums[v] += row[v];
            total += row[v];
        }
    QStringList seeds;
    for (int s : o.seeds)
        seeds.append(QString::number(s));
    std::printf("\nFault campaign: %d operations in %d jobs (%d at a time), %.0f s; load average %s before, "
                "%s after\n",
                total, jobs, o.jobs, seconds, qPrintable(loadBefore), qPrintable(loadAverage()));
    std::printf(
        "Link %d baud, read time-out 20 ms; simulator without pacing; seeds %s (an operation's faults are "
        "seeded with seed * 1000 + its number)\n",
        o.baud, qPrintable(seeds.join(QLatin1Char(' '))));
    std::printf("Fault profiles:\n");
    for (const Profile *p : o.profiles)
        std::printf("  %-8s %s\n", p->name,
                    p->silentBelowRequests
                        ? "--silent-after N, N drawn per operation up to the requests it makes"
                        : qPrintable(p->arguments.join(QLatin1Char(' '))));
    std::printf("\n%-26s %10s %22s %17s %14s\n", "Path", "Operations", "Success, board equal",
                "Reported failure", "FALSE SUCCESS");
    for (int p = 0; p < kPathCount; ++p) {
        const auto &c = t.counts[p];
        const int n = c[0] + c[1] + c[2];
        if (n == 0) continue;
        std::printf("%-26s %10d %22d %17d %14d\n", pathName(static_cast<Path>(p)), n, c[0], c[1], c[2]);
    }
    std::printf("%-26s %10d %22d %17d %14d\n", "Total", total, sums[0], sums[1], sums[2]);

    if (!t.falseSuccesses.isEmpty()) {
        std::printf("\nFalse successes by profile:\n%-26s", "");
        for (const Profile *p : o.profiles)
            std::printf(" %8s", p->name);
        std::printf("\n");
        for (int p = 0; p < kPathCount; ++p) {
            QList<int> row;
            int any = 0;
            for (const Profile *profile : o.profiles) {
                int n = 0;
                for (const Finding &f : t.falseSuccesses)
                    n += static_cast<int>(f.path) == p && f.profile == profile;
                row.append(n);
                any += n;
            }
            if (any == 0) continue;
            std::printf("%-26s", pathName(static_cast<Path>(p)));
            for (int n : row)
                std::printf(" %8d", n);
            std::printf("\n");
        }
        std::printf("\nFalse successes (path | profile, seed, operation | reported | board):\n");
        for (const Finding &f : t.falseSuccesses)
            std::printf("  %s | %s seed %d op %d | %s | %s\n", pathName(f.path), f.profile->name, f.seed,
                        f.op, qPrintable(f.reported), qPrintable(f.board));
    }
    if (!t.notes.isEmpty()) {
        std::printf("\nNoticed (not counted):\n");
        for (const Finding &f : t.notes)
            std::printf("  %s | %s seed %d op %d | %s\n", pathName(f.path), f.profile->name, f.seed, f.op,
                        qPrintable(f.reported));
    }
    for (const QString &broken : t.brokenJobs)
        std::printf("\nJob did not complete: %s\n", qPrintable(broken));
    if (total < 1000) std::printf("\n(fewer than 1000 operations: a partial campaign)\n");
    std::printf("\nVerdict: %s: %d false successes in %d operations%s\n", sums[2] == 0 ? "PASS" : "FAIL",
                sums[2], total, t.brokenJobs.isEmpty() ? "" : ", and jobs that did not complete");
    std::fflush(stdout);
}

int runCampaign(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const Options o = parse(app.arguments());
    QTemporaryDir scratch;
    if (!scratch.isValid()) return 2;

    QList<JobPlan> plans;
    for (Group g : o.groups)
        for (const Profile *p : o.profiles)
            for (int seed : o.seeds)
                plans.append({g, p, seed, std::max(1, int(defaultOperations(g) * o.scale + 0.5))});
    // The longest first, so that the short ones fill the gaps at the end.
    std::stable_sort(plans.begin(), plans.end(), [](const JobPlan &a, const JobPlan &b) {
        return a.operations * operationCost(a.group) > b.operations * operationCost(b.group);
    });

    Tally tally;
    const QString loadBefore = loadAverage();
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    int next = 0, running = 0, done = 0;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

    std::function<void()> startMore = [&] {
        while (running < o.jobs && next < plans.size()) {
            const int index = next++;
            const JobPlan plan = plans[index];
            auto *process = new QProcess(&app);
            process->setProcessEnvironment(environment);
            const QString name =
                QStringLiteral("%1 %2 seed %3")
                    .arg(QLatin1String(groupName(plan.group)), QLatin1String(plan.profile->name))
                    .arg(plan.seed);
            auto *timer = new QTimer(process);
            timer->setSingleShot(true);
            QObject::connect(timer, &QTimer::timeout, process, [process] { process->kill(); });
            QObject::connect(
                process, &QProcess::finished, &loop,
                [&, process, plan, name, started = clock.elapsed()](int code, QProcess::ExitStatus status) {
                    const QByteArray output = process->readAllStandardOutput();
                    const QByteArray errors = process->readAllStandardError();
                    collect(plan, output, tally);
                    const int operations = static_cast<int>(output.count("op\t"));
                    ++done;
                    std::fprintf(stderr,
                                 "[%3d/%lld] %-28s %3d operations in %4.0f s, %4.0f s into the campaign\n",
                                 done, static_cast<long long>(plans.size()), qPrintable(name), operations,
                                 (clock.elapsed() - started) / 1000.0, clock.elapsed() / 1000.0);
                    if (status != QProcess::NormalExit || code != 0) {
                        const QString tail =
                            QString::fromUtf8(errors).trimmed().section(QLatin1Char('\n'), -3);
                        tally.brokenJobs.append(
                            QStringLiteral("%1 (exit %2%3)%4")
                                .arg(name)
                                .arg(status == QProcess::NormalExit ? code : -1)
                                .arg(status == QProcess::NormalExit ? QString() : QStringLiteral(", killed"))
                                .arg(tail.isEmpty() ? QString() : QStringLiteral(": ") + tail));
                    }
                    process->deleteLater();
                    --running;
                    startMore();
                    if (running == 0 && next >= plans.size()) loop.quit();
                });
            const QString folder = scratch.filePath(QStringLiteral("job-%1").arg(index));
            process->start(QCoreApplication::applicationFilePath(),
                           {QStringLiteral("--job"), QLatin1String(groupName(plan.group)),
                            QLatin1String(plan.profile->name), QString::number(plan.seed),
                            QString::number(plan.operations), QString::number(o.baud), folder, o.keep});
            timer->start(kJobTimeoutMs);
            ++running;
        }
    };
    startMore();
    if (running > 0) loop.exec();
    printTable(o, tally, static_cast<int>(plans.size()), clock.elapsed() / 1000.0, loadBefore);
    int falseSuccesses = 0;
    for (const auto &row : tally.counts)
        falseSuccesses += row[2];
    if (falseSuccesses > 0) return 1;
    return tally.brokenJobs.isEmpty() ? 0 : 2;
}

} // namespace

int main(int argc, char **argv) {
    if (argc > 1 && std::string(argv[1]) == "--job") return runJob(argc, argv);
    return runCampaign(argc, argv);
}
