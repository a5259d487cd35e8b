#include "campaign.h"

#include "parameters/catalogue.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

#include <algorithm>

#include <cstdio>

namespace campaign {

const char *pathName(Path path) {
    switch (path) {
    case Path::ParamSet:
        return "parameter Set (one row)";
    case Path::SetAll:
        return "Set all (rows) + store";
    case Path::Store:
        return "store (SAVEPAR)";
    case Path::Bank:
        return "bank selection";
    case Path::HwOutput:
        return "hw-test manual output";
    case Path::HwTestMode:
        return "hw-test mode / all off";
    case Path::Reset:
        return "parameter reset";
    case Path::Firmware:
        return "firmware update";
    case Path::HbctlParams:
        return "hbctl params write";
    case Path::HbctlFlash:
        return "hbctl flash";
    }
    return "?";
}

const char *verdictKey(Verdict verdict) {
    switch (verdict) {
    case Verdict::Confirmed:
        return "confirmed";
    case Verdict::Failed:
        return "failed";
    case Verdict::FalseSuccess:
        return "false";
    }
    return "?";
}

std::optional<Verdict> verdictFromKey(const QString &key) {
    for (Verdict v : {Verdict::Confirmed, Verdict::Failed, Verdict::FalseSuccess})
        if (key == QLatin1String(verdictKey(v))) return v;
    return std::nullopt;
}

const QList<Profile> &profiles() {
    static const QList<Profile> list = {
        {"drop", {"--drop", "0.3"}},
        {"corrupt", {"--corrupt", "0.3"}},
        {"noise", {"--noise", "0.3"}},
        {"jitter", {"--delay", "30", "--jitter", "400"}},
        {"silent", {}, true},
        {"lose", {"--lose", "0.5"}},
        {"lose-save", {"--lose", "0.8", "--only", "SAVEPAR"}},
        {"mixed",
         {"--drop", "0.1", "--corrupt", "0.1", "--noise", "0.1", "--lose", "0.1", "--jitter", "250"}},
    };
    return list;
}

const Profile *profileNamed(const QString &name) {
    for (const Profile &p : profiles())
        if (name == QLatin1String(p.name)) return &p;
    return nullptr;
}

const char *groupName(Group group) {
    switch (group) {
    case Group::ParamSet:
        return "set";
    case Group::SetAll:
        return "setall";
    case Group::Store:
        return "store";
    case Group::Bank:
        return "bank";
    case Group::HwTest:
        return "hwtest";
    case Group::Reset:
        return "reset";
    case Group::Firmware:
        return "firmware";
    case Group::HbctlParams:
        return "hbctl-params";
    case Group::HbctlFlash:
        return "hbctl-flash";
    }
    return "?";
}

std::optional<Group> groupNamed(const QString &name) {
    for (int g = 0; g < kGroupCount; ++g)
        if (name == QLatin1String(groupName(static_cast<Group>(g)))) return static_cast<Group>(g);
    return std::nullopt;
}

int defaultOperations(Group group) {
    switch (group) {
    case Group::ParamSet:
        return 10;
    case Group::SetAll:
        return 3;
    case Group::Store:
        return 6;
    case Group::Bank:
        return 5;
    case Group::HwTest:
        return 2; // episodes: enter, six manual outputs, leave
    case Group::Reset:
        return 4;
    case Group::Firmware:
        return 2;
    case Group::HbctlParams:
        return 1;
    case Group::HbctlFlash:
        return 2;
    }
    return 1;
}

double operationCost(Group group) {
    // Seconds per operation (per episode for hwtest) at 9600 baud, as measured over whole campaigns.
    switch (group) {
    case Group::ParamSet:
        return 2.2;
    case Group::SetAll:
        return 5.6;
    case Group::Store:
        return 1.4;
    case Group::Bank:
        return 4;
    case Group::HwTest:
        return 12;
    case Group::Reset:
        return 4.1;
    case Group::Firmware:
        return 19;
    case Group::HbctlParams:
        return 57;
    case Group::HbctlFlash:
        return 16;
    }
    return 1;
}

StoveModel jobModel(Group group, int seed) {
    switch (group) {
    case Group::Reset:
    case Group::HbctlParams:
        return StoveModel::Basic; // the reset is offered for Basic boards; the fewest parameters
    case Group::Bank:
        return seed % 2 == 0 ? StoveModel::AirDucted : StoveModel::Water; // the boards with banks
    case Group::Firmware:
    case Group::HbctlFlash:
        return StoveModel::Water; // a Text Panel in its boot loader
    default:
        return kKnownModels[(seed + static_cast<int>(group)) % 3];
    }
}

QList<int> boardKeys(StoveModel model) {
    QList<int> keys;
    for (int i = 0; i < parameterCount(model); ++i) {
        const ParameterDescriptor &d = descriptor(model, i);
        const int key = parameterKey(d.table, d.boardIndex);
        if (!keys.contains(key)) keys.append(key);
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

QString keyName(int key) {
    return QStringLiteral("%1 %2")
        .arg(key / 100 == 0 ? QStringLiteral("gen") : QStringLiteral("tec"))
        .arg(key % 100, 2, 10, QLatin1Char('0'));
}

QString memoryDifferences(const Memory &board, const Memory &expected, int shown) {
    QStringList out;
    int more = 0;
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const auto held = board.constFind(it.key());
        if (held != board.cend() && *held == it.value()) continue;
        if (out.size() >= shown) {
            ++more;
            continue;
        }
        out.append(
            QStringLiteral("%1 = %2, expected %3")
                .arg(keyName(it.key()), held == board.cend() ? QStringLiteral("?") : QString::number(*held))
                .arg(it.value()));
    }
    if (more > 0) out.append(QStringLiteral("%1 more").arg(more));
    return out.join(QStringLiteral("; "));
}

SimBoard::SimBoard(const std::vector<std::string> &arguments, QString statePath, QString logPath)
    : m_sim(arguments), m_statePath(std::move(statePath)), m_logPath(std::move(logPath)) {}

QString SimBoard::control(const QString &line) {
    return QString::fromStdString(m_sim.control(line.toStdString()));
}

namespace {

const char *tableWord(int table) {
    return table == 0 ? "gen" : "tec";
}

} // namespace

std::optional<int> SimBoard::value(int table, int boardIndex) {
    // "ok gen 1 18 range 0..99"
    const QStringList w =
        control(QStringLiteral("get %1 %2").arg(QLatin1String(tableWord(table))).arg(boardIndex))
            .split(QLatin1Char(' '));
    bool ok = false;
    const int v = w.size() >= 4 && w[0] == QLatin1String("ok") ? w[3].toInt(&ok) : 0;
    return ok ? std::optional<int>(v) : std::nullopt;
}

std::optional<std::pair<int, int>> SimBoard::range(int table, int boardIndex) {
    const QStringList w =
        control(QStringLiteral("get %1 %2").arg(QLatin1String(tableWord(table))).arg(boardIndex))
            .split(QLatin1Char(' '));
    if (w.size() < 6 || w[0] != QLatin1String("ok") || w[4] != QLatin1String("range")) return std::nullopt;
    const QStringList bounds = w[5].split(QStringLiteral(".."));
    bool okLo = false, okHi = false;
    const int lo = bounds.value(0).toInt(&okLo), hi = bounds.value(1).toInt(&okHi);
    if (!okLo || !okHi) return std::nullopt;
    return std::pair{lo, hi};
}

std::optional<Memory> SimBoard::memory(StoveModel model) {
    Memory memory;
    for (int key : boardKeys(model)) {
        const auto v = value(key / 100, key % 100);
        if (!v) return std::nullopt;
        memory.insert(key, *v);
    }
    return memory;
}

std::optional<SimBoard::Stored> SimBoard::stored() const {
    QFile file(m_statePath);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    Stored stored;
    QTextStream in(&file);
    for (QString line; in.readLineInto(&line);) {
        const QStringList w = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (w.size() == 2 && w[0] == QLatin1String("bank")) stored.bank = w[1].toInt();
        if (w.size() == 5 && w[0] == QLatin1String("value"))
            stored.banks[w[1].toInt()].insert(
                parameterKey(w[2] == QLatin1String("gen") ? 0 : 1, w[3].toInt()), w[4].toInt());
    }
    return stored;
}

QString SimBoard::mode() {
    // "ok mode normal model water bank 1 ..."
    const QStringList w = control(QStringLiteral("status")).split(QLatin1Char(' '));
    return w.size() > 2 && w[1] == QLatin1String("mode") ? w[2] : QString();
}

int SimBoard::bank() {
    const QStringList w = control(QStringLiteral("bank")).split(QLatin1Char(' '));
    return w.size() == 3 ? w[2].toInt() : 0;
}

std::optional<SimBoard::Outputs> SimBoard::outputs() {
    // "ok outputs v0 ... v9 led L"
    const QStringList w = control(QStringLiteral("outputs")).split(QLatin1Char(' '));
    Outputs out{};
    if (w.size() != 14 || w[12] != QLatin1String("led")) return std::nullopt;
    for (int i = 0; i < 10; ++i)
        out[i] = w[2 + i].toInt();
    out[10] = w[13].toInt();
    return out;
}

QByteArray SimBoard::flash(const QString &path) {
    if (!control(QStringLiteral("dump-flash %1").arg(path)).startsWith(QLatin1String("ok"))) return {};
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

Job::Job(Group group, const Profile &profile, int seed, int operations, int baud, QString scratch,
         QString keep)
    : m_group(group), m_profile(profile), m_seed(seed), m_operations(operations), m_baud(baud),
      m_scratch(std::move(scratch)), m_keep(std::move(keep)) {
    // The job's choices depend on its group, profile and seed only.
    std::seed_seq sequence{static_cast<unsigned>(seed), static_cast<unsigned>(group),
                           static_cast<unsigned>(qHash(QLatin1String(profile.name)))};
    m_rng.seed(sequence);
    m_profileIndex = static_cast<int>(&profile - profiles().constData());
}

int Job::pick(int lo, int hi) {
    return hi <= lo ? lo : std::uniform_int_distribution<int>(lo, hi)(m_rng);
}

bool Job::chance(double p) {
    return std::uniform_real_distribution<double>(0, 1)(m_rng) < p;
}

namespace {

const char *modelArgument(StoveModel model) {
    return model == StoveModel::Basic ? "basic" : model == StoveModel::Water ? "water" : "air";
}

} // namespace

std::unique_ptr<SimBoard> Job::board(StoveModel model, int op, int expectedRequests,
                                     const std::vector<std::string> &extra) {
    const int n = ++m_boards;
    const QString state = QDir(m_scratch).filePath(QStringLiteral("state-%1.txt").arg(n));
    const QString log = QDir(m_scratch).filePath(QStringLiteral("op-%1.log").arg(op));
    QFile::remove(state);
    QFile::remove(log);
    // Each operation's faults are reproducible from the job's seed and the operation's number.
    std::vector<std::string> args = {
        "--model", modelArgument(model), "--no-pacing", "--seed",         std::to_string(m_seed * 1000 + op),
        "--state", state.toStdString(),  "--log",       log.toStdString()};
    for (const QString &a : m_profile.arguments)
        args.push_back(a.toStdString());
    if (m_profile.silentBelowRequests) {
        args.push_back("--silent-after");
        args.push_back(std::to_string(pick(0, std::max(0, expectedRequests))));
    }
    args.insert(args.end(), extra.begin(), extra.end());
    return std::make_unique<SimBoard>(args, state, log);
}

std::unique_ptr<SimBoard> Job::cleanBoard(StoveModel model, const std::vector<std::string> &extra) {
    const QString state = QDir(m_scratch).filePath(QStringLiteral("state-clean-%1.txt").arg(++m_boards));
    QFile::remove(state);
    std::vector<std::string> args = {"--model", modelArgument(model), "--no-pacing", "--state",
                                     state.toStdString()};
    args.insert(args.end(), extra.begin(), extra.end());
    return std::make_unique<SimBoard>(args, state, QString());
}

namespace {

// One field of a result line: no tabs or line breaks inside.
QByteArray field(const QString &text) {
    QString t = text;
    t.replace(QLatin1Char('\t'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QStringLiteral(" / "));
    return t.toUtf8();
}

} // namespace

void Job::report(Path path, int op, Verdict verdict, const QString &reported, const QString &board,
                 const SimBoard *sim) {
    std::printf("op\t%d\t%s\t%d\t%s\t%s\n", static_cast<int>(path), verdictKey(verdict), op,
                field(reported).constData(), field(board).constData());
    std::fflush(stdout);
    if (verdict == Verdict::FalseSuccess && sim != nullptr && !m_keep.isEmpty() &&
        !sim->logPath().isEmpty()) {
        QDir().mkpath(m_keep);
        const QString name = QStringLiteral("%1-%2-seed%3-op%4.log")
                                 .arg(QLatin1String(groupName(m_group)), QLatin1String(m_profile.name))
                                 .arg(m_seed)
                                 .arg(op);
        QFile::remove(QDir(m_keep).filePath(name));
        QFile::copy(sim->logPath(), QDir(m_keep).filePath(name));
    }
}

void Job::note(Path path, int op, const QString &text) {
    std::printf("note\t%d\t%d\t%s\n", static_cast<int>(path), op, field(text).constData());
    std::fflush(stdout);
}

} // namespace campaign
