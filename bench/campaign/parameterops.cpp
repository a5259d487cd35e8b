// The parameter write paths: Set of one row, Set all of some rows with the store that follows,
// storing, bank selection (all through the parameters page, as a click runs them), the parameter
// reset of the administrator panel (its board steps), and "hbctl params write --store".
#include "admin/boardsteps.h"
#include "app/session.h"
#include "app/texts.h"
#include "campaign.h"
#include "pagekit.h"
#include "parameters/catalogue.h"
#include "parameters/parameterfile.h"
#include "parameters/parameterspage.h"

#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRadioButton>
#include <QToolButton>

namespace campaign {
namespace {

QString quoted(const QStringList &texts) {
    if (texts.isEmpty()) return QStringLiteral("(no message)");
    QStringList out;
    for (const QString &t : texts)
        out.append(QLatin1Char('"') + t + QLatin1Char('"'));
    return out.join(QStringLiteral(", "));
}

bool sameTexts(const QStringList &texts, std::initializer_list<Text> entries) {
    QStringList expected;
    for (Text e : entries)
        expected.append(textAt(e));
    return texts == expected;
}

// Rows a campaign may write: not the group selector (it switches every row's range group) and not a
// value that stops the board answering on the link.
QList<int> writableRows(StoveModel model, bool bitRows) {
    QList<int> rows;
    for (int i = 0; i < parameterCount(model); ++i) {
        const ParameterDescriptor &d = descriptor(model, i);
        if (d.keepsLink != 0 && d.keepsGroup != 0 && (d.wholeValue == 0) == bitRows) rows.append(i);
    }
    return rows;
}

QList<int> pickRows(Job &job, StoveModel model, int count) {
    const QList<int> whole = writableRows(model, false), bits = writableRows(model, true);
    QList<int> rows;
    for (int attempt = 0; rows.size() < count && attempt < 100; ++attempt) {
        const QList<int> &from = !bits.isEmpty() && job.chance(0.5) ? bits : whole;
        const int row = job.pickFrom(from);
        if (!rows.contains(row)) rows.append(row);
    }
    return rows;
}

int keyOf(StoveModel model, int row) {
    const ParameterDescriptor &d = descriptor(model, row);
    return parameterKey(d.table, d.boardIndex);
}

// A shown value for a whole-value row that the board accepts now in the range group in use, and
// that differs from the board's value when it can.
double pickShown(Job &job, SimBoard &board, const ParameterDescriptor &d, bool huba, int current) {
    const ParameterRange &r = activeRange(d, huba);
    int lo = r.minimum, hi = r.maximum;
    if (const auto accepted = board.range(d.table, d.boardIndex)) {
        lo = std::max(lo, accepted->first);
        hi = std::min(hi, accepted->second);
    }
    int raw = job.pick(lo, hi);
    for (int attempt = 0; raw == current && attempt < 10; ++attempt)
        raw = job.pick(lo, hi);
    return toDisplay(r.scale, static_cast<std::int16_t>(raw), d.positive);
}

QString describeRow(StoveModel model, int row, bool huba, double value) {
    const ParameterDescriptor &d = descriptor(model, row);
    return QStringLiteral("%1 = %2").arg(parameterCode(d), valueText(d, huba, value));
}

// The board parameter a row's value means: the raw value of a whole-value row, or the board's
// flags word with the row's bit set to the value.
int meant(StoveModel model, int row, bool huba, double value, int word) {
    const ParameterDescriptor &d = descriptor(model, row);
    if (d.wholeValue != 0) return toRaw(activeRange(d, huba).scale, value, d.positive);
    const int mask = 1 << d.bit;
    return value != 0 ? (word | mask) : (word & ~mask);
}

// The parameters page on a session whose board changes with every operation: built once against a
// clean board, as its first entry builds it; each operation opens the link to its own board.
class PageRun {
public:
    PageRun(Job &job, StoveModel model) : m_job(job), m_model(model), m_session(m_link) {}

    bool build() {
        const auto clean = m_job.cleanBoard(m_model);
        if (!clean->ok() || m_link.open(m_job.linkSettings()) != 0) return false;
        m_session.setModel(m_model);
        m_page = std::make_unique<ParametersPage>(m_session);
        m_page->show();
        m_page->build();
        m_link.close();
        m_boxes.take();
        return true;
    }
    ParametersPage &page() { return *m_page; }
    bool huba() const { return m_session.hubaMode(); }
    // Types `value` into the row, as the user does.
    void type(int row, double value) {
        QDoubleSpinBox *box = m_page->valueBox(row);
        box->setValue(value);
        if (!m_page->hasKnownValue(row)) { // an emptied box that held this value already
            box->setValue(value == box->minimum() ? box->maximum() : box->minimum());
            box->setValue(value);
        }
    }
    // Runs `click` with the link open to the operation's board; the texts of the boxes it showed.
    template <typename Click> std::optional<QStringList> run(Click &&click) {
        if (m_link.open(m_job.linkSettings()) != 0) return std::nullopt;
        m_boxes.take();
        click();
        m_link.close();
        return m_boxes.take();
    }

private:
    Job &m_job;
    StoveModel m_model;
    BoardLink m_link;
    Session m_session;
    std::unique_ptr<ParametersPage> m_page;
    BoxRecorder m_boxes;
};

} // namespace

bool runParamSet(Job &job) {
    const StoveModel model = jobModel(job.group(), job.seed());
    PageRun run(job, model);
    if (!run.build()) return false;
    for (int op = 0; op < job.operations(); ++op) {
        const int row = pickRows(job, model, 1).value(0);
        const ParameterDescriptor &d = descriptor(model, row);
        const int key = keyOf(model, row);
        const auto board = job.board(model, op, d.wholeValue != 0 ? 1 : 2);
        const auto before = board->ok() ? board->memory(model) : std::nullopt;
        if (!before) return false;
        const double value = d.wholeValue != 0 ? pickShown(job, *board, d, run.huba(), before->value(key))
                                               : double(((before->value(key) >> d.bit) & 1) == 0);
        run.type(row, value);
        const double typed = run.page().valueBox(row)->value();
        Memory expected = *before;
        expected[key] = meant(model, row, run.huba(), typed, before->value(key));
        const auto texts = run.run([&] { run.page().setButton(row)->click(); });
        const auto after = board->memory(model);
        if (!texts || !after) return false;
        const QString reported =
            quoted(*texts) + QStringLiteral(" for ") + describeRow(model, row, run.huba(), typed);
        if (!sameTexts(*texts, {Text::ParameterProperlySet}))
            job.report(Path::ParamSet, op, Verdict::Failed, reported, {});
        else if (*after == expected)
            job.report(Path::ParamSet, op, Verdict::Confirmed, reported, {});
        else
            job.report(Path::ParamSet, op, Verdict::FalseSuccess, reported,
                       memoryDifferences(*after, expected), board.get());
    }
    return true;
}

bool runSetAll(Job &job) {
    const StoveModel model = jobModel(job.group(), job.seed());
    PageRun run(job, model);
    if (!run.build()) return false;
    for (int op = 0; op < job.operations(); ++op) {
        const QList<int> rows = pickRows(job, model, job.pick(2, 4));
        const auto board = job.board(model, op, 2 * static_cast<int>(rows.size()) + 1);
        const auto before = board->ok() ? board->memory(model) : std::nullopt;
        if (!before) return false;
        Memory expected = *before;
        QStringList typedRows;
        for (int row : rows) {
            const ParameterDescriptor &d = descriptor(model, row);
            const int key = keyOf(model, row);
            const double value = d.wholeValue != 0 ? pickShown(job, *board, d, run.huba(), before->value(key))
                                                   : double(((before->value(key) >> d.bit) & 1) == 0);
            run.type(row, value);
            const double typed = run.page().valueBox(row)->value();
            expected[key] = meant(model, row, run.huba(), typed, expected.value(key));
            typedRows.append(describeRow(model, row, run.huba(), typed));
        }
        const auto texts = run.run([&] { run.page().setRows(rows); });
        const auto after = board->memory(model);
        if (!texts || !after) return false;
        const QString reported =
            quoted(*texts) + QStringLiteral(" for ") + typedRows.join(QStringLiteral(", "));
        if (!sameTexts(*texts, {Text::ParametersWritten, Text::StorageSucceeded})) {
            job.report(Path::SetAll, op, Verdict::Failed, reported, {});
            continue;
        }
        // Written and stored: the working values and the stored copy both hold the rows.
        QString held = memoryDifferences(*after, expected);
        const auto stored = board->stored();
        const QString storedDiff = stored ? memoryDifferences(stored->banks.value(stored->bank), expected)
                                          : QStringLiteral("nothing stored");
        if (!storedDiff.isEmpty())
            held +=
                (held.isEmpty() ? QString() : QStringLiteral("; ")) + QStringLiteral("stored: ") + storedDiff;
        job.report(Path::SetAll, op, held.isEmpty() ? Verdict::Confirmed : Verdict::FalseSuccess, reported,
                   held, board.get());
    }
    return true;
}

bool runStore(Job &job) {
    const StoveModel model = jobModel(job.group(), job.seed());
    PageRun run(job, model);
    if (!run.build()) return false;
    const QList<int> whole = writableRows(model, false);
    for (int op = 0; op < job.operations(); ++op) {
        const auto board = job.board(model, op, 1);
        if (!board->ok()) return false;
        // Values changed on the board since its last store (as the panel's own keys would).
        for (int n = 0; n < 3; ++n) {
            const ParameterDescriptor &d = descriptor(model, job.pickFrom(whole));
            const auto current = board->value(d.table, d.boardIndex);
            const double shown = pickShown(job, *board, d, run.huba(), current.value_or(-1));
            board->control(QStringLiteral("set %1 %2 %3")
                               .arg(d.table == 0 ? QStringLiteral("gen") : QStringLiteral("tec"))
                               .arg(d.boardIndex)
                               .arg(toRaw(activeRange(d, run.huba()).scale, shown, d.positive)));
        }
        const auto working = board->memory(model);
        const int bank = board->bank();
        if (!working) return false;
        const auto texts = run.run([&] { run.page().memo(); });
        if (!texts) return false;
        const QString reported = quoted(*texts);
        if (!sameTexts(*texts, {Text::StorageSucceeded})) {
            job.report(Path::Store, op, Verdict::Failed, reported, {});
            continue;
        }
        const auto stored = board->stored();
        QString held = !stored ? QStringLiteral("nothing stored")
                               : memoryDifferences(stored->banks.value(bank), *working);
        if (stored && stored->bank != bank)
            held += QStringLiteral(" stored bank %1, selected %2").arg(stored->bank).arg(bank);
        job.report(Path::Store, op, held.isEmpty() ? Verdict::Confirmed : Verdict::FalseSuccess, reported,
                   held.isEmpty() ? QString() : QStringLiteral("stored copy: ") + held, board.get());
    }
    return true;
}

bool runBank(Job &job) {
    const StoveModel model = jobModel(job.group(), job.seed());
    PageRun run(job, model);
    if (!run.build() || run.page().bankButtons().size() < 2) return false;
    const int banks = static_cast<int>(run.page().bankButtons().size());
    for (int op = 0; op < job.operations(); ++op) {
        const auto board = job.board(model, op, 2);
        if (!board->ok()) return false;
        // The board starts in a stored bank other than the one chosen.
        const int from = job.pick(1, banks);
        int to = job.pick(1, banks - 1);
        if (to >= from) ++to;
        board->control(QStringLiteral("bank %1").arg(from));
        board->control(QStringLiteral("save"));
        const auto texts = run.run([&] { run.page().bankButtons().at(to - 1)->click(); });
        if (!texts) return false;
        const QString reported = quoted(*texts) + QStringLiteral(" for bank %1").arg(to);
        if (!sameTexts(*texts, {Text::StorageSucceeded})) {
            job.report(Path::Bank, op, Verdict::Failed, reported, {});
            continue;
        }
        const int selected = board->bank();
        const auto stored = board->stored();
        const int storedBank = stored ? stored->bank : 1;
        if (selected == to && storedBank == to)
            job.report(Path::Bank, op, Verdict::Confirmed, reported, {});
        else
            job.report(Path::Bank, op, Verdict::FalseSuccess, reported,
                       QStringLiteral("selected bank %1, stored bank %2").arg(selected).arg(storedBank),
                       board.get());
    }
    return true;
}

bool runReset(Job &job) {
    const StoveModel model = jobModel(job.group(), job.seed());
    std::optional<Memory> factory;
    {
        const auto clean = job.cleanBoard(model);
        factory = clean->ok() ? clean->memory(model) : std::nullopt;
    }
    if (!factory) return false;
    const QList<int> whole = writableRows(model, false);
    BoardLink link;
    for (int op = 0; op < job.operations(); ++op) {
        const auto board = job.board(model, op, 2);
        if (!board->ok()) return false;
        // A board whose stored values are not the factory's.
        for (int n = 0; n < 4; ++n) {
            const ParameterDescriptor &d = descriptor(model, job.pickFrom(whole));
            const auto current = board->value(d.table, d.boardIndex);
            const double shown = pickShown(job, *board, d, true, current.value_or(-1));
            board->control(QStringLiteral("set %1 %2 %3")
                               .arg(d.table == 0 ? QStringLiteral("gen") : QStringLiteral("tec"))
                               .arg(d.boardIndex)
                               .arg(toRaw(activeRange(d, true).scale, shown, d.positive)));
        }
        board->control(QStringLiteral("save"));
        // As the panel runs it: the link opened afresh, the steps, the link closed.
        if (link.open(job.linkSettings()) != 0) return false;
        const boardsteps::StepOutcome reset = boardsteps::resetParameters(link);
        link.close();
        const auto after = board->memory(model);
        const auto armed = board->value(1, boardsteps::kResetIndex);
        if (!after) return false;
        if (reset != boardsteps::StepOutcome::Done) {
            // A failure that says the request was withdrawn while the register still holds it would
            // let the board's next store (any Set all, store or bank selection) restore the factory
            // values unannounced: that is reported as a false success of the withdrawal.
            const bool withdrawn = reset == boardsteps::StepOutcome::Failed;
            if (withdrawn && armed == boardsteps::kResetValue) {
                job.report(Path::Reset, op, Verdict::FalseSuccess,
                           QStringLiteral("failed, request withdrawn"),
                           QStringLiteral("the reset register is still 255"));
                continue;
            }
            job.report(Path::Reset, op, Verdict::Failed,
                       withdrawn ? QStringLiteral("failed, request withdrawn")
                                 : QStringLiteral("failed, request may be left"),
                       {});
            continue;
        }
        const QString reported = QStringLiteral("reset");
        QString held = memoryDifferences(*after, *factory);
        const auto stored = board->stored();
        const QString storedDiff =
            stored ? memoryDifferences(stored->banks.value(1), *factory) : QStringLiteral("nothing stored");
        if (!storedDiff.isEmpty())
            held +=
                (held.isEmpty() ? QString() : QStringLiteral("; ")) + QStringLiteral("stored: ") + storedDiff;
        if (armed != 0) held += QStringLiteral("; reset register %1").arg(armed.value_or(-1));
        job.report(Path::Reset, op, held.isEmpty() ? Verdict::Confirmed : Verdict::FalseSuccess, reported,
                   held, board.get());
    }
    return true;
}

bool runHbctlParams(Job &job) {
    const StoveModel model = jobModel(job.group(), job.seed());
    const auto selector = groupSelectorPosition(model);
    for (int op = 0; op < job.operations(); ++op) {
        const int count = parameterCount(model);
        const auto board = job.board(model, op, count + 4);
        const auto before = board->ok() ? board->memory(model) : std::nullopt;
        if (!before) return false;
        const bool huba =
            !selector || before->value(keyOf(model, *selector)) == 2; // as hbctl decides from the board
        // A parameter file with a value for every row, as the window saves one.
        QList<double> values;
        for (int i = 0; i < count; ++i) {
            const ParameterDescriptor &d = descriptor(model, i);
            const int raw = before->value(keyOf(model, i));
            if (d.keepsGroup == 0 || d.keepsLink == 0)
                values.append(rowValue(d, huba, static_cast<std::int16_t>(raw)));
            else if (d.wholeValue == 0)
                values.append(job.pick(0, 1));
            else
                values.append(pickShown(job, *board, d, huba, raw));
        }
        const QByteArray content = paramfile::format(model, QStringLiteral("02.07"), huba, values);
        const QString path = QDir(job.scratch()).filePath(QStringLiteral("write-%1.prm").arg(op));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) return false;
        file.close();
        // What the file means on the board: whole values, and flags words made of their bit rows only.
        const auto lines = paramfile::parse(content);
        if (!lines) return false;
        const paramfile::FileRows rows = paramfile::fileRows(model, *lines, huba);
        Memory expected = *before;
        for (int i = 0; i < count; ++i)
            if (descriptor(model, i).wholeValue == 0) expected[keyOf(model, i)] = 0;
        for (int i = 0; i < count; ++i)
            expected[keyOf(model, i)] =
                meant(model, i, huba, rows.rows[i].value, expected.value(keyOf(model, i)));

        QProcess hbctl;
        hbctl.start(QStringLiteral(HB_HBCTL),
                    {QStringLiteral("-b"), QString::number(job.baud()), QStringLiteral("--json"),
                     QStringLiteral("params"), QStringLiteral("write"), path, QStringLiteral("--store")});
        if (!hbctl.waitForFinished(900000)) return false;
        const int exit = hbctl.exitStatus() == QProcess::NormalExit ? hbctl.exitCode() : -1;
        const QJsonObject json = QJsonDocument::fromJson(hbctl.readAllStandardOutput()).object();
        const QString error = QString::fromUtf8(hbctl.readAllStandardError()).trimmed();
        const bool stored = json.value(QStringLiteral("stored")).toBool();
        QString reported = QStringLiteral("exit %1").arg(exit);
        if (exit == 0)
            reported += QStringLiteral(", written %1, stored %2")
                            .arg(json.value(QStringLiteral("written")).toInt())
                            .arg(stored ? QStringLiteral("true") : QStringLiteral("false"));
        else
            reported += QStringLiteral(": ") + error.section(QLatin1Char('\n'), -1);
        if (exit != 0 || !stored) {
            job.report(Path::HbctlParams, op, Verdict::Failed, reported, {});
            continue;
        }
        const auto after = board->memory(model);
        if (!after) return false;
        QString held = memoryDifferences(*after, expected);
        const auto copy = board->stored();
        const QString storedDiff = copy ? memoryDifferences(copy->banks.value(copy->bank), expected)
                                        : QStringLiteral("nothing stored");
        if (!storedDiff.isEmpty())
            held +=
                (held.isEmpty() ? QString() : QStringLiteral("; ")) + QStringLiteral("stored: ") + storedDiff;
        job.report(Path::HbctlParams, op, held.isEmpty() ? Verdict::Confirmed : Verdict::FalseSuccess,
                   reported, held, board.get());
    }
    return true;
}

} // namespace campaign
