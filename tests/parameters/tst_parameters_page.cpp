// The parameters page against the board simulator and scripted boards: page building and filling,
// Show/Set of rows, View all, Set all, storing, banks and parameter files.
#include "app/settings.h"
#include "app/texts.h"
#include "defaults.h"
#include "helpers.h"
#include "parameters/catalogue.h"
#include "parameters/comparedialog.h"
#include "parameters/parameterfile.h"
#include "parameters/parameterspage.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QToolButton>

#include <unistd.h>

using hbtest::BoxAnswerer;
using hbtest::ScriptedBoard;
using hbtest::Simulator;

namespace {

const char *modelArgument(StoveModel model) {
    return model == StoveModel::Basic ? "basic" : model == StoveModel::Water ? "water" : "air";
}

std::string identityOf(StoveModel model) {
    const std::string name = model == StoveModel::Basic   ? "BASIC"
                             : model == StoveModel::Water ? "WATER"
                                                          : "AIR-DUCT";
    return name + std::string(10 - name.size(), ' ') + " 01.23150911\r";
}

std::string threeDigits(int v) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%03d", v % 1000);
    return buffer;
}

// A scripted board that identifies as `model` and keeps parameters in a map; commands in `silent`
// (prefixes) get no answer.
struct FakeBoard {
    explicit FakeBoard(StoveModel model) : model(model) {
        board.setResponder([this](const std::string &c, int) -> std::optional<std::string> {
            for (const std::string &prefix : silent)
                if (c.rfind(prefix, 0) == 0) return std::nullopt;
            if (c == "MODELLO") return identityOf(this->model);
            if (c == "SAVEPAR") return c + "\r";
            if ((c.rfind("READGENP", 0) == 0 || c.rfind("READTECP", 0) == 0) && c.size() == 10) {
                const std::string key = c.substr(4, 3) + c.substr(8, 2);
                return "P" + c.substr(8, 2) + "=" + threeDigits(values[key]) + "\r";
            }
            if ((c.rfind("WRGENP", 0) == 0 || c.rfind("WRTECP", 0) == 0) && c.size() == 11) {
                values[c.substr(2, 3) + c.substr(6, 2)] = std::stoi(c.substr(8, 3));
                return "P" + c.substr(6, 2) + "=" + c.substr(8, 3) + "\r";
            }
            if (c.rfind("WRBANP0", 0) == 0 && c.size() == 11)
                return "P0" + c.substr(7, 1) + "=" + c.substr(8, 3) + "\r";
            return std::nullopt;
        });
    }
    // Commands after detection, without the MODELLO and READ commands when `writesOnly`.
    std::vector<std::string> commands(bool writesOnly = false) const {
        std::vector<std::string> out;
        for (const std::string &c : board.commands())
            if (c != "MODELLO" && (!writesOnly || c.rfind("READ", 0) != 0)) out.push_back(c);
        return out;
    }
    StoveModel model;
    std::map<std::string, int> values; // "GEN07" / "TEC05"
    std::vector<std::string> silent;
    ScriptedBoard board;
};

// While `poll` runs, cancels the progress dialog of View all or Set all once `fake` has received
// `commands` commands.
void cancelProgressAt(QTimer &poll, const FakeBoard &fake, std::size_t commands) {
    QObject::connect(&poll, &QTimer::timeout, [&fake, commands] {
        if (fake.commands().size() >= commands)
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *dialog = qobject_cast<QProgressDialog *>(w)) dialog->cancel();
    });
}

QString mark(int red, int green, int blue) {
    return QStringLiteral("\nbackground-color: rgb(%1, %2, %3);").arg(red).arg(green).arg(blue);
}

} // namespace

class ParametersPageTest : public QObject {
    Q_OBJECT

    hbtest::CleanSlate *sandbox = nullptr;
    hbtest::BoardSession *board = nullptr;
    ParametersPage *page = nullptr;
    BoxAnswerer *answerer = nullptr;

    // Detects the board and builds the page, as the first entry of the parameters page does.
    bool open(StoveModel model) {
        board = new hbtest::BoardSession;
        page = new ParametersPage(board->session);
        page->show();
        answerer = new BoxAnswerer;
        if (!board->detect() || board->session.model() != model) return false;
        page->build();
        return answerer->seen.empty();
    }
    StoveModel model() const { return board->session.model(); }
    bool huba() const { return board->session.hubaMode(); }
    int count() const { return parameterCount(model()); }
    QDoubleSpinBox *box(int i) const { return page->valueBox(i); }
    void click(const char *button) const {
        page->findChild<QAbstractButton *>(QLatin1String(button))->click();
    }
    int position(const char *code) const {
        for (int i = 0; i < count(); ++i)
            if (parameterCode(descriptor(model(), i)) == QLatin1String(code)) return i;
        return -1;
    }
    // Puts the catalogue defaults (shown values) into every row without marking them.
    void fillDefaults() {
        const QList<double> values = catalogueDefaults(model(), huba());
        for (int i = 0; i < count(); ++i) {
            box(i)->setValue(values[i]);
            page->setButton(i)->setStyleSheet(QString());
        }
    }
    QString writeFile(const QByteArray &content) {
        QFile file(sandbox->workPath() + QStringLiteral("/in.prm"));
        file.open(QIODevice::WriteOnly);
        file.write(content);
        return file.fileName();
    }
    // Clicks "Compare with board" and hands the dialog, once it shows, to `act`, which must close it.
    void compare(const std::function<void(CompareDialog &)> &act) {
        bool seen = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            auto *dialog = qobject_cast<CompareDialog *>(QApplication::activeModalWidget());
            if (dialog == nullptr || !dialog->isVisible() || seen) return;
            seen = true;
            act(*dialog);
        });
        poll.start(10);
        click("compareButton");
        QVERIFY(seen);
    }
    static QByteArray readFile(const QString &path) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }

private slots:
    void initTestCase() {
        setApplicationIdentity();
        useDefaultTexts();
    }
    void init() {
        sandbox = new hbtest::CleanSlate;
        // At 19200 baud the link's drain before each command waits half as long as at 9600: the
        // exchanges are the same, the tests finish sooner.
        QSettings().setValue(settingkeys::baudRate, 19200);
    }
    void cleanup() {
        delete answerer;
        delete page;
        delete board;
        answerer = nullptr;
        page = nullptr;
        board = nullptr;
        delete sandbox;
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void pagesPerModel_data() {
        QTest::addColumn<StoveModel>("model");
        QTest::addColumn<QList<int>>("rowsPerPage");
        QTest::addColumn<QStringList>("titles");
        QTest::newRow("basic") << StoveModel::Basic << QList<int>{20, 14, 7}
                               << QStringList{"General Parameters 1/2", "General Parameters 2/2",
                                              "Technical Parameters 1/1"};
        QTest::newRow("water") << StoveModel::Water << QList<int>{18, 18, 18, 12, 14}
                               << QStringList{"General Parameters 1/4", "General Parameters 2/4",
                                              "General Parameters 3/4", "General Parameters 4/4",
                                              "Technical Parameters 1/1"};
        QTest::newRow("air") << StoveModel::AirDucted << QList<int>{16, 16, 16, 15, 12}
                             << QStringList{"General Parameters 1/4", "General Parameters 2/4",
                                            "General Parameters 3/4", "General Parameters 4/4",
                                            "Technical Parameters 1/1"};
    }
    void pagesPerModel() {
        QFETCH(StoveModel, model);
        QFETCH(QList<int>, rowsPerPage);
        QFETCH(QStringList, titles);
        Simulator sim({"--model", modelArgument(model), "--no-pacing"});
        QVERIFY(sim.ok());
        QVERIFY(open(model));
        QCOMPARE(page->subPages().size(), rowsPerPage.size());
        QCOMPARE(page->rowCount(), count());
        const int rows = layoutValue(model, "ROWSPERCOLUMN");
        int next = 0;
        for (int p = 0; p < rowsPerPage.size(); ++p) {
            QGroupBox *subPage = page->subPages()[p];
            QCOMPARE(subPage->title(), titles[p]);
            auto *grid = qobject_cast<QGridLayout *>(subPage->layout());
            QVERIFY(grid);
            QCOMPARE(grid->columnStretch(4), 60);
            for (int j = 0; j < rowsPerPage[p]; ++j, ++next) {
                QCOMPARE(box(next)->parentWidget(), subPage);
                int r, c, rs, cs;
                grid->getItemPosition(grid->indexOf(box(next)), &r, &c, &rs, &cs);
                QCOMPARE(r, j % rows);
                QCOMPARE(c, 5 * (j / rows) + 1);
                grid->getItemPosition(grid->indexOf(page->setButton(next)), &r, &c, &rs, &cs);
                QCOMPARE(c, 5 * (j / rows) + 4);
                QVERIFY(box(next)->cleanText().isEmpty()); // reset: no value known
                QVERIFY(!page->hasKnownValue(next));
                QVERIFY(!page->isMarked(next));
                QCOMPARE(page->showButton(next)->text(), QStringLiteral("Show"));
                QCOMPARE(page->setButton(next)->text(), QStringLiteral("Set"));
                QCOMPARE(page->nameLabel(next)->toolTip(), parameterCode(descriptor(model, next)));
                // A parameter without a name text is named by its code.
                QVERIFY(!page->nameLabel(next)->text().isEmpty());
            }
        }
        QCOMPARE(next, count());
        QCOMPARE(page->bankButtons().size(), model == StoveModel::Basic ? 0 : 4);
        if (model == StoveModel::Basic) {
            QCOMPARE(page->nameLabel(position("PG22"))->text(), QStringLiteral("PG22"));
            QCOMPARE(page->nameLabel(position("PT7"))->text(), QStringLiteral("PT7"));
        }
        QVERIFY(huba()); // the simulator starts in HUBA mode (selector 2)

        // Paging: down is disabled on the first page, up on the last; both stop at their ends.
        auto *down = page->findChild<QAbstractButton *>("downParB");
        auto *up = page->findChild<QAbstractButton *>("upParB");
        QVERIFY(!down->isEnabled());
        down->click();
        QCOMPARE(page->currentSubPage(), 0);
        for (int p = 1; p < rowsPerPage.size(); ++p)
            up->click();
        QCOMPARE(page->currentSubPage(), rowsPerPage.size() - 1);
        QVERIFY(page->subPages().last()->isVisible());
        QVERIFY(!up->isEnabled());
        QVERIFY(down->isEnabled());
        up->click();
        QCOMPARE(page->currentSubPage(), rowsPerPage.size() - 1);
        page->showSubPageOf(0);
        QCOMPARE(page->currentSubPage(), 0);
        QVERIFY(!down->isEnabled());
    }

    void rangesUnitsAndRefresh() {
        Simulator sim({"--model", "water", "--no-pacing"});
        QVERIFY(sim.ok());
        QVERIFY(sim.control("set gen 18 0").startsWith("ok")); // standard group
        QVERIFY(open(StoveModel::Water));
        QVERIFY(!huba());
        const int boot = position("PG39");
        QCOMPARE(page->unitLabel(boot)->text(), QStringLiteral("[RPM]"));
        QCOMPARE(page->unitLabel(boot)->toolTip(), QStringLiteral("[550 -> 3000]"));
        QCOMPARE(box(boot)->minimum(), 550);
        const int pressure = position("PG15");
        QCOMPARE(box(pressure)->decimals(), 1);
        QCOMPARE(box(pressure)->singleStep(), 0.1);
        QCOMPARE(page->unitLabel(pressure)->toolTip(), QStringLiteral("[0.0 -> 9.9]"));
        QCOMPARE(page->unitLabel(position("PG52"))->toolTip(), QStringLiteral("[-300 -> 0]"));
        QCOMPARE(page->unitLabel(position("PG20"))->text(), QStringLiteral("[hours]"));

        // Refresh into the HUBA group: 950 fits 100..1000 and stays; 2000 does not: "----".
        box(boot)->setValue(950);
        box(boot + 1)->setValue(2000);
        board->session.setHubaMode(true);
        page->fillPages(ParametersPage::FillMode::Refresh);
        QCOMPARE(box(boot)->value(), 950.0);
        QCOMPARE(box(boot + 1)->value(), 1000.0);
        QCOMPARE(box(boot + 1)->specialValueText(), QStringLiteral("----"));
        QCOMPARE(box(boot)->specialValueText(), QString());
        QCOMPARE(page->unitLabel(boot)->text(), QStringLiteral("[huba]"));
        QVERIFY(box(boot + 2)->cleanText().isEmpty()); // empty rows stay empty
        QCOMPARE(box(position("PG12"))->maximum(), 10.0);

        // Edits mark once, in the colour of that moment; refilling changes nothing on that row.
        QVERIFY(page->isMarked(boot)); // typed above
        page->setButton(boot)->setStyleSheet(QString());
        box(boot)->setValue(800);
        QCOMPARE(page->setButton(boot)->styleSheet(), mark(237, 46, 41));
        board->session.setHighlight({255, 0, 0});
        box(boot)->setValue(700);
        QCOMPARE(page->setButton(boot)->styleSheet(), mark(237, 46, 41));
        box(boot + 3)->setValue(500);
        QCOMPARE(page->setButton(boot + 3)->styleSheet(), mark(255, 0, 0));
        page->fillPages(ParametersPage::FillMode::Reset);
        QVERIFY(box(boot)->cleanText().isEmpty());
    }

    void showRows() {
        Simulator sim({"--model", "basic", "--no-pacing"});
        QVERIFY(sim.ok());
        QVERIFY(sim.control("set tec 4 6").startsWith("ok"));
        QVERIFY(sim.control("set gen 24 45").startsWith("ok"));
        QVERIFY(sim.control("set gen 46 50").startsWith("ok"));
        QVERIFY(open(StoveModel::Basic));
        const int pt4 = position("PT4");
        for (int i = 0; i < 4; ++i)
            page->showButton(pt4 + i)->click();
        QCOMPARE(box(pt4)->value(), 0.0);
        QCOMPARE(box(pt4 + 1)->value(), 1.0);
        QCOMPARE(box(pt4 + 2)->value(), 1.0);
        QCOMPARE(box(pt4 + 3)->value(), 0.0);
        // A value read at the range's minimum shows as a number, not as the box's special text.
        QCOMPARE(box(pt4)->text(), QStringLiteral("0"));
        page->showButton(position("PG24"))->click();
        QCOMPARE(box(position("PG24"))->text(), QStringLiteral("4.5"));
        page->showButton(position("PG46"))->click();
        QCOMPARE(box(position("PG46"))->value(), -250.0);
        QVERIFY(!page->isMarked(position("PG46")));
        QVERIFY(answerer->seen.empty());
    }

    // Failed reads show "ERR" until a value is read, typed or loaded; only failed reads do.
    void failedReadsShowErr() {
        FakeBoard fake(StoveModel::Basic);
        fake.values["GEN11"] = 0;
        fake.values["GEN04"] = 0; // the minimum of PG4
        fake.silent = {"READ"};
        QVERIFY(open(StoveModel::Basic));
        // The selector could not be read: three attempts, and the group stays as it was.
        QCOMPARE(fake.commands(), std::vector<std::string>(3, "READGENP11"));
        QVERIFY(huba());
        fake.board.clear();
        const int row = position("PG1");
        box(row)->setValue(5);
        page->showButton(row)->click();
        QCOMPARE(fake.commands(), std::vector<std::string>(7, "READGENP01")); // seven attempts
        QCOMPARE(box(row)->text(), QStringLiteral("ERR"));
        QVERIFY(!page->hasKnownValue(row));
        QVERIFY(!page->isMarked(row));
        QVERIFY(answerer->seen.empty());

        // View all against the silent board: "ERR" on every row, and no message.
        QTimer poll;
        cancelProgressAt(poll, fake, 7 + 5 * 3); // three rows of five attempts each, then stop
        poll.start(1);
        click("viewAllButton");
        poll.stop();
        for (int i = 0; i < 3; ++i)
            QCOMPARE(box(i)->text(), QStringLiteral("ERR"));
        QVERIFY(answerer->seen.empty());

        // The board answers again: ordinary values and the minimum replace "ERR".
        fake.silent.clear();
        fake.values["GEN01"] = 12;
        page->showButton(row)->click();
        QCOMPARE(box(row)->text(), QStringLiteral("12"));
        const int pg4 = position("PG4");
        page->showButton(pg4)->click();
        QCOMPARE(box(pg4)->value(), box(pg4)->minimum());
        QCOMPARE(box(pg4)->text(), QString::number(box(pg4)->minimum()));
        QVERIFY(page->hasKnownValue(pg4));
        // Typing into a row that shows "ERR" makes its value known.
        QCOMPARE(box(1)->text(), QStringLiteral("ERR"));
        box(1)->setValue(9);
        QVERIFY(page->hasKnownValue(1));
        QCOMPARE(box(1)->text(), QStringLiteral("9"));
    }

    // Set on a row without a known value writes nothing and says so.
    void setWithoutValueSendsNothing() {
        Simulator sim({"--model", "water", "--no-pacing"});
        QVERIFY(sim.ok());
        QVERIFY(open(StoveModel::Water));
        const int ignition = position("PG1");
        const int before = sim.boardValue(0, 1);
        const int flags = sim.boardValue(1, 5);
        page->setButton(ignition)->click();
        int brake = -1; // a bit of technical 5
        for (int i = 0; i < count(); ++i)
            if (page->nameLabel(i)->text() == QLatin1String("Enable cochlea brake")) brake = i;
        QVERIFY(brake >= 0);
        QCOMPARE(descriptor(model(), brake).wholeValue, 0);
        page->setButton(brake)->click();
        QCOMPARE(sim.boardValue(0, 1), before);
        QCOMPARE(sim.boardValue(1, 5), flags);
        QCOMPARE(answerer->seen.size(), std::size_t(2));
        QCOMPARE(answerer->seen[0].text, QStringLiteral("Maximum ignition time wrong"));
        QCOMPARE(answerer->seen[0].title, QStringLiteral("Parameters"));
        QCOMPARE(answerer->seen[1].text, QStringLiteral("Enable cochlea brake wrong"));
    }

    void setBitReadsModifiesWrites() {
        FakeBoard fake(StoveModel::Water);
        fake.values["TEC05"] = 0x51;
        QVERIFY(open(StoveModel::Water));
        fake.board.clear();
        const int pt6 = position("PT6");
        box(pt6)->setValue(1);
        QVERIFY(page->isMarked(pt6));
        page->setButton(pt6)->click();
        QCOMPARE(fake.commands(), (std::vector<std::string>{"READTECP05", "WRTECP05083"}));
        QCOMPARE(answerer->seen.size(), std::size_t(1));
        QCOMPARE(answerer->seen[0].text, QStringLiteral("Parameter properly set"));
        QCOMPARE(answerer->seen[0].title, QStringLiteral("Parameters"));
        QCOMPARE(answerer->seen[0].icon, QMessageBox::Information);
        QVERIFY(!page->isMarked(pt6));
        QCOMPARE(box(pt6)->value(), 1.0);

        fake.board.clear();
        box(pt6)->setValue(0);
        page->setButton(pt6)->click();
        QCOMPARE(fake.commands(), (std::vector<std::string>{"READTECP05", "WRTECP05081"}));
        // Whole value with its conversion: PG15 (bar) 1.2 is raw 12.
        fake.board.clear();
        box(position("PG15"))->setValue(1.2);
        page->setButton(position("PG15"))->click();
        const testsupport::Bytes wire = fake.board.received();
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(wire.data()), int(wire.size())),
                 QByteArray("WRGENP15012\r"));
    }

    void setFailureSaysItFailed() {
        FakeBoard fake(StoveModel::Basic);
        QVERIFY(open(StoveModel::Basic));
        fake.board.clear();
        fake.silent = {"WR"};
        const int row = position("PG2");
        box(row)->setValue(7);
        page->setButton(row)->click();
        QCOMPARE(fake.commands(), std::vector<std::string>(5, "WRGENP02007"));
        QCOMPARE(answerer->seen.size(), std::size_t(1));
        QCOMPARE(answerer->seen[0].icon, QMessageBox::Critical);
        QCOMPARE(answerer->seen[0].text, QStringLiteral("Writing error of parameter PG2"));
        QVERIFY(box(row)->cleanText().isEmpty()); // the board's value is unknown now

        // A flags word that cannot be read is not written.
        fake.board.clear();
        fake.silent = {"READ"};
        box(position("PT5"))->setValue(1);
        page->setButton(position("PT5"))->click();
        QCOMPARE(fake.commands(), std::vector<std::string>(7, "READTECP04"));
        QCOMPARE(answerer->seen.back().text, QStringLiteral("Writing error of parameter PT5"));
    }

    void smsModemNeedsConsent() {
        FakeBoard fake(StoveModel::AirDucted);
        fake.values["TEC05"] = 0x80;
        QVERIFY(open(StoveModel::AirDucted));
        fake.board.clear();
        const int sms = position("PT10");
        box(sms)->setValue(1);
        answerer->queue(QMessageBox::No);
        page->setButton(sms)->click();
        QCOMPARE(fake.commands().size(), std::size_t(0));
        QCOMPARE(box(sms)->value(), 0.0);
        QVERIFY(!page->isMarked(sms));
        QCOMPARE(answerer->seen.size(), std::size_t(1));
        QCOMPARE(answerer->seen[0].informative,
                 QStringLiteral("Enabling the selected parameter can no longer communicate with the board.\n"
                                "To disable it use the display. Continue anyway?"));
        QCOMPARE(answerer->seen[0].defaultButton, QMessageBox::No);
        QCOMPARE(answerer->seen[0].text, QString());
        QCOMPARE(answerer->seen[0].title, QStringLiteral("Parameters"));
        QCOMPARE(answerer->seen[0].icon, QMessageBox::NoIcon);

        box(sms)->setValue(1);
        answerer->queue(QMessageBox::Yes);
        page->setButton(sms)->click();
        QCOMPARE(fake.commands(), (std::vector<std::string>{"READTECP05", "WRTECP05160"}));
    }

    void groupSelectorSwitchesRangesFirst() {
        FakeBoard fake(StoveModel::Basic);
        fake.values["GEN11"] = 0;
        QVERIFY(open(StoveModel::Basic));
        QVERIFY(!huba());
        fake.board.clear();
        const int selector = position("PG11");
        const int boot = position("PG33");
        box(boot)->setValue(2000);
        fake.silent = {"WR"};
        box(selector)->setValue(2);
        page->setButton(selector)->click();
        QVERIFY(huba()); // stays on although the write failed
        QCOMPARE(box(boot)->maximum(), 1000.0);
        QCOMPARE(box(boot)->specialValueText(), QStringLiteral("----"));
        QCOMPARE(page->unitLabel(boot)->text(), QStringLiteral("[huba]"));
        QCOMPARE(fake.commands(), std::vector<std::string>(5, "WRGENP11002"));
    }

    void viewAllReadsEveryRow() {
        Simulator sim({"--model", "basic", "--no-pacing"});
        QVERIFY(sim.ok());
        QVERIFY(sim.control("set gen 11 0").startsWith("ok"));
        QVERIFY(sim.control("set gen 33 45").startsWith("ok"));
        QVERIFY(sim.control("set tec 4 5").startsWith("ok"));
        QVERIFY(open(StoveModel::Basic));
        const int row = position("PG1");
        box(row)->setValue(3);
        QVERIFY(page->isMarked(row));
        click("viewAllButton");
        for (int i = 0; i < count(); ++i) {
            const ParameterDescriptor &d = descriptor(model(), i);
            QVERIFY(page->hasKnownValue(i));
            const double shown = shownValue(d, false, std::int16_t(sim.boardValue(d.table, d.boardIndex)));
            QCOMPARE(box(i)->value(), d.wholeValue ? shown : double(shown != 0)); // a bit row shows 0 or 1
        }
        QCOMPARE(box(position("PG33"))->value(), 950.0);
        QCOMPARE(box(position("PT4"))->value(), 1.0);
        QCOMPARE(box(position("PT5"))->value(), 0.0);
        QCOMPARE(box(position("PT6"))->value(), 1.0);
        QVERIFY(page->isMarked(row)); // reading keeps earlier marks and adds none
        QVERIFY(!page->isMarked(position("PG2")));
        QCOMPARE(page->currentSubPage(), 2); // the last row's page
        QVERIFY(!page->findChild<QAbstractButton *>("upParB")->isEnabled());
        QVERIFY(answerer->seen.empty());
    }

    void viewAllCancel() {
        FakeBoard fake(StoveModel::Water);
        for (int i = 1; i <= 4; ++i)
            fake.values["GEN0" + std::to_string(i)] = 10 + i;
        QVERIFY(open(StoveModel::Water));
        fake.board.clear();
        for (int i = 0; i < count(); ++i)
            box(i)->setValue(box(i)->maximum());
        // Cancel as soon as the third read has gone out: the dialog sees it before row 3.
        QTimer poll;
        cancelProgressAt(poll, fake, 3);
        poll.start(1);
        click("viewAllButton");
        poll.stop();
        QCOMPARE(fake.commands(), (std::vector<std::string>{"READGENP01", "READGENP02", "READGENP03"}));
        QCOMPARE(box(0)->value(), 11.0);
        QCOMPARE(box(2)->value(), 13.0);
        QCOMPARE(box(3)->value(), box(3)->maximum());
        QCOMPARE(page->currentSubPage(), 0);
    }

    void setAllWritesEveryBoardParameter() {
        Simulator sim({"--model", "air", "--no-pacing"});
        QVERIFY(sim.ok());
        QVERIFY(sim.control("set gen 11 0").startsWith("ok"));
        QVERIFY(open(StoveModel::AirDucted));
        fillDefaults();
        // Values other than the defaults, among them the flags word and a negated row.
        box(position("PG1"))->setValue(20);
        box(position("PG26"))->setValue(5.5);
        box(position("PG35"))->setValue(1000);
        box(position("PG48"))->setValue(-100);
        box(position("PT5"))->setValue(1);
        box(position("PT11"))->setValue(0);
        box(position("PT12"))->setValue(1);
        box(position("PG11"))->setValue(1);
        QVERIFY(page->isMarked(position("PG1")));
        click("setAllButton");
        QCOMPARE(answerer->seen.size(), std::size_t(2));
        QCOMPARE(answerer->seen[0].text, QStringLiteral("Parameters"));
        QCOMPARE(answerer->seen[1].text, QStringLiteral("Storage successed"));
        QVERIFY(!page->isMarked(position("PG1")));
        QVERIFY(!huba());
        QCOMPARE(sim.boardValue(0, 1), 20);
        QCOMPARE(sim.boardValue(0, 26), 55);
        QCOMPARE(sim.boardValue(0, 35), 50);
        QCOMPARE(sim.boardValue(0, 48), 20);
        QCOMPARE(sim.boardValue(0, 11), 1);
        QCOMPARE(sim.boardValue(1, 5), 0x01);
        QCOMPARE(sim.boardValue(1, 6), 1);
        for (int i = 0; i < count(); ++i) {
            const ParameterDescriptor &d = descriptor(model(), i);
            if (d.wholeValue)
                QCOMPARE(sim.boardValue(d.table, d.boardIndex),
                         int(toRaw(activeRange(d, false).scale, box(i)->value(), d.positive)));
        }
    }

    void setAllChecksFirst() {
        FakeBoard fake(StoveModel::Water);
        fake.silent = {"READ"};
        QVERIFY(open(StoveModel::Water));
        fake.board.clear();
        fillDefaults();
        box(20)->clear();
        click("setAllButton");
        QCOMPARE(fake.commands().size(), std::size_t(0));
        QCOMPARE(answerer->seen.size(), std::size_t(1));
        QCOMPARE(answerer->seen[0].text, page->nameLabel(20)->text() + QStringLiteral(" wrong"));

        // A row whose read failed counts as empty too.
        box(20)->setValue(1);
        page->showButton(21)->click();
        fake.board.clear();
        click("setAllButton");
        QCOMPARE(fake.commands(true).size(), std::size_t(0));
        QCOMPARE(answerer->seen.back().text, page->nameLabel(21)->text() + QStringLiteral(" wrong"));

        // Declining the SMS modem writes nothing and leaves its row at 0.
        fillDefaults();
        box(position("PT10"))->setValue(1);
        answerer->queue(QMessageBox::No);
        click("setAllButton");
        QCOMPARE(fake.commands(true).size(), std::size_t(0));
        QCOMPARE(
            answerer->seen.back().informative,
            QStringLiteral("Enable SMS Modem = 1.\nEnabling the selected parameter can no longer communicate "
                           "with the board.\nTo disable it use the display. Continue anyway?"));
        QCOMPARE(answerer->seen.back().title, QStringLiteral("Parameters"));
        QCOMPARE(box(position("PT10"))->value(), 0.0);
    }

    void setAllFailingStillStores() {
        FakeBoard fake(StoveModel::Basic);
        QVERIFY(open(StoveModel::Basic));
        fillDefaults();
        fake.board.clear();
        fake.silent = {"WR"};
        QTimer poll;
        cancelProgressAt(poll, fake, 5);
        poll.start(1);
        click("setAllButton");
        poll.stop();
        std::vector<std::string> expected(5, "WRGENP01018");
        expected.push_back("SAVEPAR");
        QCOMPARE(fake.commands(), expected);
        QCOMPARE(answerer->seen.size(), std::size_t(2));
        QCOMPARE(answerer->seen[0].icon, QMessageBox::Warning);
        QCOMPARE(answerer->seen[0].text, QStringLiteral("One or more parameters are not correctly set"));
        QCOMPARE(answerer->seen[1].text, QStringLiteral("Storage successed"));

        // All written, but the board does not store: reported as a non-response.
        fake.board.clear();
        fake.silent = {"SAVEPAR"};
        poll.start(1);
        click("setAllButton");
        poll.stop();
        QCOMPARE(fake.commands().back(), std::string("SAVEPAR"));
        QCOMPARE(answerer->seen.size(), std::size_t(4));
        QCOMPARE(answerer->seen[2].text, QStringLiteral("Parameters"));
        QCOMPARE(answerer->seen[3].text, QStringLiteral("Non-response error"));
        QCOMPARE(answerer->seen[3].icon, QMessageBox::Information);
    }

    void memoAndBanks() {
        FakeBoard fake(StoveModel::Water);
        QVERIFY(open(StoveModel::Water));
        fake.board.clear();
        click("memoButton");
        QCOMPARE(fake.commands(), std::vector<std::string>{"SAVEPAR"});
        QCOMPARE(answerer->seen.back().text, QStringLiteral("Storage successed"));

        auto *layout = page->findChild<QBoxLayout *>("parametersButtonLayout");
        QLayout *banks =
            layout->itemAt(layout->indexOf(page->findChild<QWidget *>("memoButton")) + 1)->layout();
        QVERIFY(banks);
        QCOMPARE(banks->indexOf(page->bankButtons()[3]), 3);
        QCOMPARE(page->bankButtons()[2]->text(), QStringLiteral("Bank 3"));
        QVERIFY(!page->bankButtons()[2]->isChecked());
        fake.board.clear();
        page->bankButtons()[2]->click();
        QCOMPARE(fake.commands(), (std::vector<std::string>{"WRBANP03333", "SAVEPAR"}));
        QCOMPARE(answerer->seen.back().text, QStringLiteral("Storage successed"));

        fake.board.clear();
        fake.silent = {"WRBANP", "SAVEPAR"};
        click("memoButton");
        QCOMPARE(answerer->seen.back().icon, QMessageBox::Warning);
        QCOMPARE(answerer->seen.back().text, QStringLiteral("Non-response error"));
        fake.board.clear();
        fake.silent = {"WRBANP"};
        page->bankButtons()[0]->click();
        std::vector<std::string> expected(6, "WRBANP01111");
        expected.push_back("SAVEPAR");
        QCOMPARE(fake.commands(), expected);
        QCOMPARE(answerer->seen.back().text, QStringLiteral("Operation failed: retry"));

        // The bank buttons follow a language switch.
        TextTable italian = defaultTexts;
        italian[227] = QStringLiteral("Banco");
        *texts = italian;
        page->applyTexts();
        QCOMPARE(page->bankButtons()[1]->text(), QStringLiteral("Banco 2"));
        useDefaultTexts();
    }

    void saveFiles_data() {
        QTest::addColumn<StoveModel>("model");
        QTest::newRow("basic") << StoveModel::Basic;
        QTest::newRow("water") << StoveModel::Water;
        QTest::newRow("air") << StoveModel::AirDucted;
    }
    void saveFiles() {
        QFETCH(StoveModel, model);
        FakeBoard fake(model);
        QVERIFY(open(model));
        fillDefaults();
        const QString path = sandbox->workPath() + QStringLiteral("/out.prm");
        QVERIFY(page->saveParametersTo(path));
        QCOMPARE(answerer->seen.back().text, QStringLiteral("File writing out.prm successed"));
        const QStringList lines =
            QString::fromLatin1(readFile(path)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3 + count());
        QCOMPARE(lines[0], QStringLiteral("MODEL=") + modelName(model, false));
        QCOMPARE(lines[1], QStringLiteral("FIRMWARE=1.23"));
        QCOMPARE(lines[2], QStringLiteral("HUBA=0"));
        if (model == StoveModel::Basic) {
            QVERIFY(lines.contains("PG24=4.0"));
            QVERIFY(lines.contains("PG46=-250"));
            QVERIFY(lines.contains("PT4=0"));
        }
        // An empty row stops saving before the dialog.
        box(count() - 1)->clear();
        click("writeToFile");
        QCOMPARE(answerer->seen.back().icon, QMessageBox::Warning);
        QCOMPARE(answerer->seen.back().text, QStringLiteral("\"%1\" wrong: impossible to write to file")
                                                 .arg(page->nameLabel(count() - 1)->text()));
        QCOMPARE(page->currentSubPage(), page->subPages().size() - 1);

        // A file that cannot be created is reported and nothing is left behind.
        box(count() - 1)->setValue(0);
        const QString bad = sandbox->workPath() + QStringLiteral("/missing/out.prm");
        QVERIFY(!page->saveParametersTo(bad));
        QCOMPARE(answerer->seen.back().text, QStringLiteral("File writing error ") + bad);
        QVERIFY(!QFile::exists(bad));
    }

    // An existing file in a folder that refuses new files is written in place; elsewhere the file
    // is replaced only once complete.
    void saveIntoClosedFolder() {
        FakeBoard fake(StoveModel::Basic);
        QVERIFY(open(StoveModel::Basic));
        fillDefaults();
        const QString folder = sandbox->workPath() + QStringLiteral("/closed");
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/kept.prm");
        QVERIFY(page->saveParametersTo(path));
        // Root ignores folder permissions; an immutable folder refuses new files to root as well.
        const bool root = geteuid() == 0;
        const auto closeFolder = [&](bool closed) {
            if (root) return QProcess::execute(QStringLiteral("chattr"), {closed ? "+i" : "-i", folder}) == 0;
            return QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner |
                                                     (closed ? QFile::Permissions() : QFile::WriteOwner));
        };
        QVERIFY2(closeFolder(true), "chattr (e2fsprogs) could not make the folder immutable");
        QVERIFY(!QFile(folder + QStringLiteral("/probe")).open(QIODevice::WriteOnly));
        box(0)->setValue(25);
        const bool saved = page->saveParametersTo(path);
        QVERIFY(closeFolder(false));
        QVERIFY(saved);
        QVERIFY(readFile(path).contains("PG1=25\r\n"));
    }

    void loadFiles() {
        FakeBoard fake(StoveModel::Basic);
        fake.values["GEN11"] = 0;
        QVERIFY(open(StoveModel::Basic));
        QVERIFY(!huba());
        const int boot = position("PG33");
        const int pg24 = position("PG24");
        QVERIFY(page->loadParametersFrom(writeFile("MODEL=basic\r\nFIRMWARE=9\r\nHUBA=1\r\nPG33=400\r\n"
                                                   "PG24=4.5\nPG1=17\npg2=4\nP|3=4\nPT99=1\nPG46=-250")));
        QVERIFY(huba());
        QCOMPARE(box(boot)->maximum(), 1000.0);
        QCOMPARE(box(boot)->value(), 400.0);
        QCOMPARE(box(pg24)->text(), QStringLiteral("4.5"));
        QCOMPARE(box(position("PG1"))->value(), 17.0);
        QCOMPARE(box(position("PG46"))->value(), -250.0);
        QVERIFY(box(position("PG2"))->cleanText().isEmpty());
        QVERIFY(box(position("PG3"))->cleanText().isEmpty());
        for (int i = 0; i < count(); ++i)
            QVERIFY(!page->isMarked(i));
        QVERIFY(answerer->seen.empty());
        QCOMPARE(QSettings().value("paramsFileName").toString(), sandbox->workPath());

        // "4,5" is no number: 0, shown as the minimum.
        QVERIFY(page->loadParametersFrom(writeFile("PG24=4,5\n")));
        QCOMPARE(box(pg24)->value(), 0.0);
        // MODEL= switches back to the standard group; a file without it is loaded unchecked.
        QVERIFY(page->loadParametersFrom(writeFile("MODEL=BASIC\nHUBA=0\nPG33=950\n")));
        QVERIFY(!huba());
        QCOMPARE(box(boot)->value(), 950.0);

        // Another model stops at its MODEL line; rows before it keep their new values.
        QVERIFY(!page->loadParametersFrom(writeFile("PG1=12\nMODEL=WATER\nPG4=7\n")));
        QCOMPARE(answerer->seen.back().icon, QMessageBox::Critical);
        QCOMPARE(answerer->seen.back().text,
                 QStringLiteral("The selected file is not compatible with the board connected"));
        QCOMPARE(box(position("PG1"))->value(), 12.0);
        QVERIFY(box(position("PG4"))->cleanText().isEmpty());

        // Unreadable, binary and oversized files are refused with the same message.
        const QString missing = sandbox->workPath() + QStringLiteral("/none.prm");
        QVERIFY(!page->loadParametersFrom(missing));
        QCOMPARE(answerer->seen.back().text, QStringLiteral("Impossible to read file ") + missing);
        QCOMPARE(answerer->seen.back().title, QStringLiteral("Hearth Bench"));
        QVERIFY(!page->loadParametersFrom(writeFile(QByteArray("PG1=3\n\0\x01\x02", 9))));
        QCOMPARE(box(position("PG1"))->value(), 12.0);
        QVERIFY(!page->loadParametersFrom(writeFile(QByteArray(1 << 20, 'P'))));
        QVERIFY(answerer->seen.back().text.startsWith("Impossible to read file"));
    }

    // "Compare with board": only the rows whose page value differs, with both values and units;
    // writing them makes the comparison empty. Rows without a value are not compared.
    void compareWithBoard() {
        Simulator sim({"--model", "basic", "--no-pacing"});
        QVERIFY(sim.ok());
        QVERIFY(open(StoveModel::Basic));
        page->applyTexts();
        QCOMPARE(page->findChild<QToolButton *>("compareButton")->toolTip(),
                 QStringLiteral("Compare with board"));
        QList<double> values;
        for (int i = 0; i < count(); ++i) {
            const ParameterDescriptor &d = descriptor(model(), i);
            values.append(rowValue(d, huba(), std::int16_t(sim.boardValue(d.table, d.boardIndex))));
        }
        values[position("PG1")] = 25;
        values[position("PG24")] = 5.5;
        values[position("PT5")] = 0;
        QVERIFY(page->loadParametersFrom(writeFile(paramfile::format(model(), "2.07", huba(), values))));
        box(position("PG2"))->clear();

        compare([&](CompareDialog &dialog) {
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Compare with board"));
            QCOMPARE(dialog.summary()->text(), QStringLiteral("Compared 40 of 41 parameters: 3 different"));
            QTableWidget *table = dialog.table();
            QCOMPARE(table->rowCount(), 3);
            QCOMPARE(table->horizontalHeaderItem(1)->text(), QStringLiteral("On the page"));
            const QStringList expected[] = {{"PG1", "Maximum ignition time", "25", "18", "[min]"},
                                            {"PG24", "Total cochlea time", "5.5", "4.0", "[sec]"},
                                            {"PT5", "Enable fuel correction", "0", "1", "[OFF/ON]"}};
            for (int r = 0; r < 3; ++r) {
                QStringList cells{table->verticalHeaderItem(r)->text()};
                for (int c = 0; c < 4; ++c)
                    cells.append(table->item(r, c)->text());
                QCOMPARE(cells, expected[r]);
            }
            dialog.writeDifferentButton()->click();
        });
        QCOMPARE(sim.boardValue(0, 1), 25);
        QCOMPARE(sim.boardValue(0, 24), 55);
        QCOMPARE(sim.boardValue(1, 4), 6 & ~2); // only PT5's bit changed
        QCOMPARE(answerer->seen.size(), std::size_t(2));
        QCOMPARE(answerer->seen[0].text, QStringLiteral("Parameters"));
        QCOMPARE(answerer->seen[1].text, QStringLiteral("Storage successed"));
        // The comparison left the page's values as they were.
        QCOMPARE(box(position("PG1"))->value(), 25.0);
        QVERIFY(!page->hasKnownValue(position("PG2")));

        compare([&](CompareDialog &dialog) {
            QCOMPARE(dialog.summary()->text(), QStringLiteral("Compared 40 of 41 parameters: 0 different\n"
                                                              "The board holds the values on the page"));
            QCOMPARE(dialog.table()->rowCount(), 0);
            QVERIFY(!dialog.writeDifferentButton()->isEnabled());
            dialog.writeAllButton()->click(); // Set all: stops at the row without a value
        });
        QCOMPARE(answerer->seen.back().text,
                 page->nameLabel(position("PG2"))->text() + QStringLiteral(" wrong"));
    }

    void roundTripThroughTheBoard() {
        Simulator sim({"--model", "basic", "--no-pacing"});
        QVERIFY(sim.ok());
        QVERIFY(open(StoveModel::Basic));
        fillDefaults();
        box(position("PG1"))->setValue(30);
        box(position("PG33"))->setValue(700);
        box(position("PT7"))->setValue(1);
        const QString path = sandbox->workPath() + QStringLiteral("/trip.prm");
        QVERIFY(page->saveParametersTo(path));
        const QByteArray saved = readFile(path);
        page->fillPages(ParametersPage::FillMode::Reset);
        QVERIFY(page->loadParametersFrom(path));
        QVERIFY(huba());
        click("setAllButton");
        QCOMPARE(answerer->seen.back().text, QStringLiteral("Storage successed"));
        QCOMPARE(sim.boardValue(0, 1), 30);
        QCOMPARE(sim.boardValue(0, 33), 600);
        QCOMPARE(sim.boardValue(1, 4), 0x0E); // PT5, PT6 (defaults) and PT7
        // What the board holds now saves to the same file.
        page->fillPages(ParametersPage::FillMode::Reset);
        click("viewAllButton");
        QVERIFY(page->saveParametersTo(path));
        QCOMPARE(readFile(path), saved);
    }
};

QTEST_MAIN(ParametersPageTest)
#include "tst_parameters_page.moc"
