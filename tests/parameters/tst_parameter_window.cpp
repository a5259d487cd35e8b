// The parameters page of the main window against the board simulator and scripted boards: page
// building and filling, Show/Set of rows, View all, Set all, storing, banks and parameter files.
#include "app/settings.h"
#include "app/texts.h"
#include "board/serialthread.h"
#include <QPushButton>

#include "defaults.h"
#include "helpers.h"
#include "parameters/catalogue.h"
#include "ui/hearthbench.h"
#include "ui_hearthbench.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QProgressDialog>
#include <QRadioButton>
#include <QStackedLayout>
#include <QToolButton>

using hbtest::BoxAnswerer;
using hbtest::ScriptedBoard;
using hbtest::Simulator;

namespace {

const char *modelArgument(int model) {
    return model == 1 ? "basic" : model == 2 ? "water" : "air";
}

// One line on the simulator's control channel; returns its answer.
QString control(Simulator &sim, const QString &line) {
    sim.process.write((line + QLatin1Char('\n')).toLatin1());
    QElapsedTimer clock;
    clock.start();
    while (!sim.process.canReadLine() && clock.elapsed() < 5000)
        sim.process.waitForReadyRead(50);
    return QString::fromLatin1(sim.process.readLine()).trimmed();
}

// The raw value the simulator holds for a board parameter (-1 if it has none).
int boardValue(Simulator &sim, int table, int index) {
    const QStringList words =
        control(sim, QStringLiteral("get %1 %2").arg(table ? "tec" : "gen").arg(index)).split(' ');
    return words.size() >= 4 && words[0] == QLatin1String("ok") ? words[3].toInt() : -1;
}

std::string identityOf(int model) {
    const std::string name = model == 1 ? "BASIC" : model == 2 ? "WATER" : "AIR-DUCT";
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
    explicit FakeBoard(int model) : model(model) {
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
    int model;
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

QString green(const unsigned short *c) {
    return QStringLiteral("\nbackground-color: rgb(%1, %2, %3);").arg(c[0]).arg(c[1]).arg(c[2]);
}

} // namespace

class ParameterWindowTest : public QObject {
    Q_OBJECT

    hbtest::CleanSlate *sandbox = nullptr;
    SerialThread *thread = nullptr;
    HearthBench *window = nullptr;
    BoxAnswerer *answerer = nullptr;

    // Opens the parameters page: detection, page building and the HUBA read.
    bool open(int model) {
        thread = new SerialThread;
        window = new HearthBench(thread);
        answerer = new BoxAnswerer;
        window->form()->parametersToolButton->click();
        return currentModel == model && window->arePagesBuilt() && answerer->seen.empty();
    }
    int count() const { return parameterCount(currentModel); }
    QDoubleSpinBox *box(int i) const { return window->valueBoxes[i]; }
    int position(const char *code) const {
        for (int i = 0; i < count(); ++i)
            if (parameterCode(descriptor(currentModel, i)) == QLatin1String(code)) return i;
        return -1;
    }
    bool highlighted(int i) const {
        return window->setButtons[i]->styleSheet() != window->plainSetButtonStyle;
    }
    // Puts the catalogue defaults (shown values) into every row without marking them.
    void fillDefaults() {
        const QList<double> values = catalogueDefaults(currentModel, window->hubaMode);
        for (int i = 0; i < count(); ++i) {
            box(i)->setValue(values[i]);
            window->setButtons[i]->setStyleSheet(window->plainSetButtonStyle);
        }
    }
    QString writeFile(const QByteArray &content) {
        QFile file(sandbox->workPath() + QStringLiteral("/in.prm"));
        file.open(QIODevice::WriteOnly);
        file.write(content);
        return file.fileName();
    }
    QByteArray readFile(const QString &path) {
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
        delete window;
        delete thread;
        answerer = nullptr;
        window = nullptr;
        thread = nullptr;
        delete sandbox;
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    void pagesPerModel_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<QList<int>>("rowsPerPage");
        QTest::addColumn<QStringList>("titles");
        QTest::newRow("basic") << 1 << QList<int>{20, 14, 7}
                               << QStringList{"General Parameters 1/2", "General Parameters 2/2",
                                              "Technical Parameters 1/1"};
        QTest::newRow("water") << 2 << QList<int>{18, 18, 18, 12, 14}
                               << QStringList{"General Parameters 1/4", "General Parameters 2/4",
                                              "General Parameters 3/4", "General Parameters 4/4",
                                              "Technical Parameters 1/1"};
        QTest::newRow("air") << 3 << QList<int>{16, 16, 16, 15, 12}
                             << QStringList{"General Parameters 1/4", "General Parameters 2/4",
                                            "General Parameters 3/4", "General Parameters 4/4",
                                            "Technical Parameters 1/1"};
    }
    void pagesPerModel() {
        QFETCH(int, model);
        QFETCH(QList<int>, rowsPerPage);
        QFETCH(QStringList, titles);
        Simulator sim({"--model", modelArgument(model), "--no-pacing"});
        QVERIFY(sim.ok());
        QVERIFY(open(model));
        QCOMPARE(window->parameterPages.size(), rowsPerPage.size());
        QCOMPARE(window->parameterStack->count(), rowsPerPage.size());
        const int rows = layoutValue(model, "ROWSPERCOLUMN");
        int next = 0;
        for (int p = 0; p < rowsPerPage.size(); ++p) {
            QGroupBox *page = window->parameterPages[p];
            QCOMPARE(page->title(), titles[p]);
            auto *grid = qobject_cast<QGridLayout *>(page->layout());
            QVERIFY(grid);
            QCOMPARE(grid->columnStretch(4), 60);
            for (int j = 0; j < rowsPerPage[p]; ++j, ++next) {
                QCOMPARE(box(next)->parentWidget(), page);
                int r, c, rs, cs;
                grid->getItemPosition(grid->indexOf(box(next)), &r, &c, &rs, &cs);
                QCOMPARE(r, j % rows);
                QCOMPARE(c, 5 * (j / rows) + 1);
                grid->getItemPosition(grid->indexOf(window->setButtons[next]), &r, &c, &rs, &cs);
                QCOMPARE(c, 5 * (j / rows) + 4);
                QVERIFY(box(next)->cleanText().isEmpty()); // reset: no value known
                QVERIFY(!highlighted(next));
                QCOMPARE(window->showButtons[next]->text(), QStringLiteral("Show"));
                QCOMPARE(window->setButtons[next]->text(), QStringLiteral("Set"));
                QCOMPARE(window->showButtonPositions.value(window->showButtons[next]), next);
                QCOMPARE(window->setButtonPositions.value(window->setButtons[next]), next);
                QCOMPARE(window->nameLabels[next]->toolTip(), parameterCode(descriptor(model, next)));
            }
        }
        QCOMPARE(next, count());
        QVERIFY(window->valueBoxes[count() - 1] && (count() == 80 || !window->valueBoxes[count()]));
        QCOMPARE(window->bankButtons[0] != nullptr, model != 1);
        // The simulator starts in HUBA mode (selector 2).
        QVERIFY(window->hubaMode);

        // Paging: down is disabled on the first page, up on the last; both stop at their ends.
        QVERIFY(!window->form()->downParB->isEnabled());
        window->form()->downParB->click();
        QCOMPARE(window->currentParameterPage, 0);
        for (int p = 1; p < rowsPerPage.size(); ++p)
            window->form()->upParB->click();
        QCOMPARE(window->currentParameterPage, rowsPerPage.size() - 1);
        QCOMPARE(window->parameterStack->currentIndex(), rowsPerPage.size() - 1);
        QVERIFY(!window->form()->upParB->isEnabled());
        QVERIFY(window->form()->downParB->isEnabled());
        window->form()->upParB->click();
        QCOMPARE(window->currentParameterPage, rowsPerPage.size() - 1);
        window->showPageOf(0);
        QCOMPARE(window->currentParameterPage, 0);
        QVERIFY(!window->form()->downParB->isEnabled());
    }

    void rangesUnitsAndRefresh() {
        Simulator sim({"--model", "water", "--no-pacing"});
        QVERIFY(sim.ok());
        QVERIFY(control(sim, "set gen 18 0").startsWith("ok")); // standard group
        QVERIFY(open(2));
        QVERIFY(!window->hubaMode);
        const int boot = position("PG39");
        QCOMPARE(window->unitLabels[boot]->text(), QStringLiteral("[RPM]"));
        QCOMPARE(window->unitLabels[boot]->toolTip(), QStringLiteral("[550 -> 3000]"));
        QCOMPARE(box(boot)->minimum(), 550);
        const int pressure = position("PG15");
        QCOMPARE(box(pressure)->decimals(), 1);
        QCOMPARE(box(pressure)->singleStep(), 0.1);
        QCOMPARE(window->unitLabels[pressure]->toolTip(), QStringLiteral("[0.0 -> 9.9]"));
        QCOMPARE(window->unitLabels[position("PG52")]->toolTip(), QStringLiteral("[-300 -> 0]"));
        QCOMPARE(window->unitLabels[position("PG20")]->text(), QStringLiteral("[hours]"));

        // Refresh into the HUBA group: 950 fits 100..1000 and stays; 2000 does not: "----".
        box(boot)->setValue(950);
        box(boot + 1)->setValue(2000);
        window->hubaMode = true;
        window->fillPages(1);
        QCOMPARE(box(boot)->value(), 950.0);
        QCOMPARE(box(boot + 1)->value(), 1000.0);
        QCOMPARE(box(boot + 1)->specialValueText(), QStringLiteral("----"));
        QCOMPARE(box(boot)->specialValueText(), QString());
        QCOMPARE(window->unitLabels[boot]->text(), QStringLiteral("[huba]"));
        QVERIFY(box(boot + 2)->cleanText().isEmpty()); // empty rows stay empty
        QCOMPARE(box(position("PG12"))->maximum(), 10.0);

        // Edits highlight once; refilling and a new colour change nothing on that row.
        QVERIFY(highlighted(boot)); // typed above
        window->setButtons[boot]->setStyleSheet(window->plainSetButtonStyle);
        box(boot)->setValue(800);
        const QString first = window->setButtons[boot]->styleSheet();
        QCOMPARE(first, window->plainSetButtonStyle + green(window->highlightColour));
        QTest::keyClick(window, Qt::Key_F10);
        box(boot)->setValue(700);
        QCOMPARE(window->setButtons[boot]->styleSheet(), first);
        box(boot + 3)->setValue(500);
        QCOMPARE(window->setButtons[boot + 3]->styleSheet(),
                 window->plainSetButtonStyle + QStringLiteral("\nbackground-color: rgb(255, 0, 0);"));
        window->fillPages(0);
        QVERIFY(box(boot)->cleanText().isEmpty());
    }

    void showRows() {
        Simulator sim({"--model", "basic", "--no-pacing"});
        QVERIFY(sim.ok());
        QVERIFY(control(sim, "set tec 4 6").startsWith("ok"));
        QVERIFY(control(sim, "set gen 24 45").startsWith("ok"));
        QVERIFY(control(sim, "set gen 46 50").startsWith("ok"));
        QVERIFY(open(1));
        const int pt4 = position("PT4");
        for (int i = 0; i < 4; ++i)
            window->showButtons[pt4 + i]->click();
        QCOMPARE(box(pt4)->value(), 0.0);
        QCOMPARE(box(pt4 + 1)->value(), 1.0);
        QCOMPARE(box(pt4 + 2)->value(), 1.0);
        QCOMPARE(box(pt4 + 3)->value(), 0.0);
        window->showButtons[position("PG24")]->click();
        QCOMPARE(box(position("PG24"))->text(), QStringLiteral("4.5"));
        window->showButtons[position("PG46")]->click();
        QCOMPARE(box(position("PG46"))->value(), -250.0);
        QVERIFY(!highlighted(position("PG46")));
        QVERIFY(answerer->seen.empty());
    }

    void showFailureMarksErr() {
        FakeBoard fake(1);
        fake.values["GEN11"] = 0;
        fake.silent = {"READ"};
        QVERIFY(open(1));
        // The selector could not be read: three attempts, and the group stays as it was.
        QCOMPARE(fake.commands(), std::vector<std::string>(3, "READGENP11"));
        QVERIFY(window->hubaMode);
        fake.board.clear();
        const int row = position("PG1");
        box(row)->setValue(5);
        window->showButtons[row]->click();
        QCOMPARE(box(row)->specialValueText(), QStringLiteral("ERR"));
        QCOMPARE(box(row)->value(), 5.0); // value unchanged
        QVERIFY(!highlighted(row));
        QCOMPARE(fake.commands(), std::vector<std::string>(7, "READGENP01")); // seven attempts
    }

    void setBitReadsModifiesWrites() {
        FakeBoard fake(2);
        fake.values["TEC05"] = 0x51;
        QVERIFY(open(2));
        fake.board.clear();
        const int pt6 = position("PT6");
        box(pt6)->setValue(1);
        QVERIFY(highlighted(pt6));
        window->setButtons[pt6]->click();
        QCOMPARE(fake.commands(), (std::vector<std::string>{"READTECP05", "WRTECP05083"}));
        QCOMPARE(answerer->seen.size(), std::size_t(1));
        QCOMPARE(answerer->seen[0].text, QStringLiteral("Parameter properly set"));
        QCOMPARE(answerer->seen[0].title, QStringLiteral("Parameters"));
        QCOMPARE(answerer->seen[0].icon, QMessageBox::Information);
        QVERIFY(!highlighted(pt6));
        QCOMPARE(box(pt6)->value(), 1.0);

        fake.board.clear();
        box(pt6)->setValue(0);
        window->setButtons[pt6]->click();
        QCOMPARE(fake.commands(), (std::vector<std::string>{"READTECP05", "WRTECP05081"}));
        // Whole value with its conversion: PG15 (bar) 1.2 is raw 12.
        fake.board.clear();
        box(position("PG15"))->setValue(1.2);
        window->setButtons[position("PG15")]->click();
        QCOMPARE(fake.commands(), (std::vector<std::string>{"WRGENP15012"}));
        const testsupport::Bytes wire = fake.board.received();
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(wire.data()), int(wire.size())),
                 QByteArray("WRGENP15012\r"));
    }

    void setFailureClearsTheRow() {
        FakeBoard fake(1);
        QVERIFY(open(1));
        fake.board.clear();
        fake.silent = {"WR"};
        const int row = position("PG2");
        box(row)->setValue(7);
        window->setButtons[row]->click();
        QCOMPARE(fake.commands(), std::vector<std::string>(5, "WRGENP02007"));
        QCOMPARE(answerer->seen.size(), std::size_t(1));
        QCOMPARE(answerer->seen[0].icon, QMessageBox::Critical);
        QCOMPARE(answerer->seen[0].text, QStringLiteral("Parameter set"));
        QVERIFY(box(row)->cleanText().isEmpty());

        // A flags word that cannot be read is not written.
        fake.board.clear();
        fake.silent = {"READ"};
        box(position("PT5"))->setValue(1);
        window->setButtons[position("PT5")]->click();
        QCOMPARE(fake.commands(), std::vector<std::string>(7, "READTECP04"));
        QCOMPARE(answerer->seen.back().text, QStringLiteral("Parameter set"));
    }

    void smsModemNeedsConsent() {
        FakeBoard fake(3);
        fake.values["TEC05"] = 0x80;
        QVERIFY(open(3));
        fake.board.clear();
        const int sms = position("PT10");
        box(sms)->setValue(1);
        answerer->queue(QMessageBox::No);
        window->setButtons[sms]->click();
        QCOMPARE(fake.commands().size(), std::size_t(0));
        QCOMPARE(box(sms)->value(), 0.0);
        QVERIFY(!highlighted(sms));
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
        window->setButtons[sms]->click();
        QCOMPARE(fake.commands(), (std::vector<std::string>{"READTECP05", "WRTECP05160"}));
    }

    void groupSelectorSwitchesRangesFirst() {
        FakeBoard fake(1);
        fake.values["GEN11"] = 0;
        QVERIFY(open(1));
        QVERIFY(!window->hubaMode);
        fake.board.clear();
        const int selector = position("PG11");
        const int boot = position("PG33");
        box(boot)->setValue(2000);
        fake.silent = {"WR"};
        box(selector)->setValue(2);
        window->setButtons[selector]->click();
        QVERIFY(window->hubaMode); // stays on although the write failed
        QCOMPARE(box(boot)->maximum(), 1000.0);
        QCOMPARE(box(boot)->specialValueText(), QStringLiteral("----"));
        QCOMPARE(window->unitLabels[boot]->text(), QStringLiteral("[huba]"));
        QCOMPARE(fake.commands(), std::vector<std::string>(5, "WRGENP11002"));
    }

    void viewAllReadsEveryRow() {
        Simulator sim({"--model", "basic", "--no-pacing"});
        QVERIFY(sim.ok());
        QVERIFY(control(sim, "set gen 11 0").startsWith("ok"));
        QVERIFY(control(sim, "set gen 33 45").startsWith("ok"));
        QVERIFY(control(sim, "set tec 4 5").startsWith("ok"));
        QVERIFY(open(1));
        const int row = position("PG1");
        box(row)->setValue(3);
        QVERIFY(highlighted(row));
        window->form()->viewAllButton->click();
        for (int i = 0; i < count(); ++i) {
            const ParameterDescriptor &d = descriptor(1, i);
            const int raw = boardValue(sim, d.table, d.boardIndex);
            QVERIFY(!box(i)->cleanText().isEmpty());
            QCOMPARE(box(i)->value(),
                     std::min(1.0, shownValue(d, false, std::int16_t(raw))) * (d.wholeValue ? 0 : 1) +
                         (d.wholeValue ? shownValue(d, false, std::int16_t(raw)) : 0));
        }
        QCOMPARE(box(position("PG33"))->value(), 950.0);
        QCOMPARE(box(position("PT4"))->value(), 1.0);
        QCOMPARE(box(position("PT5"))->value(), 0.0);
        QCOMPARE(box(position("PT6"))->value(), 1.0);
        QVERIFY(highlighted(row)); // reading keeps earlier highlights and adds none
        QVERIFY(!highlighted(position("PG2")));
        QCOMPARE(window->currentParameterPage, 2); // the last row's page
        QVERIFY(!window->form()->upParB->isEnabled());
        QVERIFY(answerer->seen.empty());
    }

    void viewAllCancel() {
        FakeBoard fake(2);
        fake.values["GEN01"] = 11;
        fake.values["GEN02"] = 12;
        fake.values["GEN03"] = 13;
        fake.values["GEN04"] = 14;
        QVERIFY(open(2));
        fake.board.clear();
        for (int i = 0; i < count(); ++i)
            box(i)->setValue(box(i)->maximum());
        // Cancel as soon as the third read has gone out: the dialog sees it before row 3.
        QTimer poll;
        cancelProgressAt(poll, fake, 3);
        poll.start(1);
        window->form()->viewAllButton->click();
        poll.stop();
        QCOMPARE(fake.commands(), (std::vector<std::string>{"READGENP01", "READGENP02", "READGENP03"}));
        QCOMPARE(box(0)->value(), 11.0);
        QCOMPARE(box(2)->value(), 13.0);
        QCOMPARE(box(3)->value(), box(3)->maximum());
        QCOMPARE(window->currentParameterPage, 0);
        QCOMPARE(window->parameterStack->currentWidget(), box(3)->parentWidget());
    }

    void setAllWritesEveryBoardParameter() {
        Simulator sim({"--model", "air", "--no-pacing"});
        QVERIFY(sim.ok());
        QVERIFY(control(sim, "set gen 11 0").startsWith("ok"));
        QVERIFY(open(3));
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
        QVERIFY(highlighted(position("PG1")));
        window->form()->setAllButton->click();
        QCOMPARE(answerer->seen.size(), std::size_t(2));
        QCOMPARE(answerer->seen[0].text, QStringLiteral("Parameters"));
        QCOMPARE(answerer->seen[1].text, QStringLiteral("Storage successed"));
        QVERIFY(!highlighted(position("PG1")));
        QVERIFY(!window->hubaMode);
        QCOMPARE(boardValue(sim, 0, 1), 20);
        QCOMPARE(boardValue(sim, 0, 26), 55);
        QCOMPARE(boardValue(sim, 0, 35), 50);
        QCOMPARE(boardValue(sim, 0, 48), 20);
        QCOMPARE(boardValue(sim, 0, 11), 1);
        QCOMPARE(boardValue(sim, 1, 5), 0x01);
        QCOMPARE(boardValue(sim, 1, 6), 1);
        for (int i = 0; i < count(); ++i) {
            const ParameterDescriptor &d = descriptor(3, i);
            if (d.wholeValue)
                QCOMPARE(boardValue(sim, d.table, d.boardIndex),
                         int(toRaw(activeRange(d, false).scale, box(i)->value(), d.positive)));
        }
    }

    void setAllChecksFirst() {
        FakeBoard fake(2);
        QVERIFY(open(2));
        fake.board.clear();
        fillDefaults();
        box(20)->clear();
        window->form()->setAllButton->click();
        QCOMPARE(fake.commands().size(), std::size_t(0));
        QCOMPARE(answerer->seen.size(), std::size_t(1));
        QCOMPARE(answerer->seen[0].text, window->nameLabels[20]->text() + QStringLiteral(" wrong"));

        // Declining the SMS modem writes nothing and leaves its row at 0.
        fillDefaults();
        box(position("PT10"))->setValue(1);
        answerer->queue(QMessageBox::No);
        window->form()->setAllButton->click();
        QCOMPARE(fake.commands().size(), std::size_t(0));
        QCOMPARE(
            answerer->seen.back().informative,
            QStringLiteral("Enable SMS Modem = 1.\nEnabling the selected parameter can no longer communicate "
                           "with the board.\nTo disable it use the display. Continue anyway?"));
        QCOMPARE(answerer->seen.back().title, QStringLiteral("Parameters"));
        QCOMPARE(box(position("PT10"))->value(), 0.0);
    }

    void setAllFailingStillStores() {
        FakeBoard fake(1);
        QVERIFY(open(1));
        fillDefaults();
        fake.board.clear();
        fake.silent = {"WR"};
        QTimer poll;
        cancelProgressAt(poll, fake, 5);
        poll.start(1);
        window->form()->setAllButton->click();
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
        window->form()->setAllButton->click();
        poll.stop();
        QCOMPARE(fake.commands().back(), std::string("SAVEPAR"));
        QCOMPARE(answerer->seen.size(), std::size_t(4));
        QCOMPARE(answerer->seen[2].text, QStringLiteral("Parameters"));
        QCOMPARE(answerer->seen[3].text, QStringLiteral("Non-response error"));
        QCOMPARE(answerer->seen[3].icon, QMessageBox::Information);
    }

    void memoAndBanks() {
        FakeBoard fake(2);
        QVERIFY(open(2));
        fake.board.clear();
        window->form()->memoButton->click();
        QCOMPARE(fake.commands(), std::vector<std::string>{"SAVEPAR"});
        QCOMPARE(answerer->seen.back().text, QStringLiteral("Storage successed"));

        auto *layout = window->form()->parametersButtonLayout;
        QLayout *banks = layout->itemAt(layout->indexOf(window->form()->memoButton) + 1)->layout();
        QVERIFY(banks);
        QCOMPARE(banks->indexOf(window->bankButtons[3]), 3);
        QCOMPARE(window->bankButtons[2]->text(), QStringLiteral("Bank 3"));
        QVERIFY(!window->bankButtons[2]->isChecked());
        fake.board.clear();
        window->bankButtons[2]->click();
        QCOMPARE(fake.commands(), (std::vector<std::string>{"WRBANP03333", "SAVEPAR"}));
        QCOMPARE(answerer->seen.back().text, QStringLiteral("Storage successed"));

        fake.board.clear();
        fake.silent = {"WRBANP", "SAVEPAR"};
        window->form()->memoButton->click();
        QCOMPARE(answerer->seen.back().icon, QMessageBox::Warning);
        QCOMPARE(answerer->seen.back().text, QStringLiteral("Non-response error"));
        fake.board.clear();
        fake.silent = {"WRBANP"};
        window->bankButtons[0]->click();
        std::vector<std::string> expected(6, "WRBANP01111");
        expected.push_back("SAVEPAR");
        QCOMPARE(fake.commands(), expected);
        QCOMPARE(answerer->seen.back().text, QStringLiteral("Operation failed: retry"));
    }

    void saveFiles_data() {
        QTest::addColumn<int>("model");
        QTest::newRow("basic") << 1;
        QTest::newRow("water") << 2;
        QTest::newRow("air") << 3;
    }
    void saveFiles() {
        QFETCH(int, model);
        FakeBoard fake(model);
        QVERIFY(open(model));
        fillDefaults();
        const QString path = sandbox->workPath() + QStringLiteral("/out.prm");
        QVERIFY(window->saveParametersTo(path));
        QCOMPARE(answerer->seen.back().text, QStringLiteral("File writing out.prm successed"));
        const QStringList lines =
            QString::fromLatin1(readFile(path)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3 + count());
        const QStringList names{"", "BASIC", "WATER", "AIR - DUCTED"};
        QCOMPARE(lines[0], QStringLiteral("MODEL=") + names[model]);
        QCOMPARE(lines[1], QStringLiteral("FIRMWARE=1.23"));
        QCOMPARE(lines[2], QStringLiteral("HUBA=0"));
        if (model == 1) {
            QVERIFY(lines.contains("PG24=4.0"));
            QVERIFY(lines.contains("PG46=-250"));
            QVERIFY(lines.contains("PT4=0"));
        }
        // An empty row stops saving before the dialog.
        box(count() - 1)->clear();
        window->form()->writeToFile->click();
        QCOMPARE(answerer->seen.back().icon, QMessageBox::Warning);
        const QString name = textAt(activeRange(descriptor(model, count() - 1), false).textIndex);
        QCOMPARE(answerer->seen.back().text,
                 QStringLiteral("\"%1\" wrong: impossible to write to file").arg(name));
        QCOMPARE(window->currentParameterPage, window->parameterPages.size() - 1);

        // A file that cannot be created is reported and nothing is left behind.
        box(count() - 1)->setValue(0);
        const QString bad = sandbox->workPath() + QStringLiteral("/missing/out.prm");
        QVERIFY(!window->saveParametersTo(bad));
        QCOMPARE(answerer->seen.back().text, QStringLiteral("File writing error ") + bad);
        QVERIFY(!QFile::exists(bad));

        // A bigger model detected later (pages are not rebuilt): only the rows that exist are used.
        if (model == 1) {
            currentModel = 2;
            QVERIFY(window->saveParametersTo(path));
            QCOMPARE(readFile(path).count("\r\n"), 3 + parameterCount(1));
        }
    }

    void loadFiles() {
        FakeBoard fake(1);
        fake.values["GEN11"] = 0;
        QVERIFY(open(1));
        QVERIFY(!window->hubaMode);
        const int boot = position("PG33");
        const int pg24 = position("PG24");
        QVERIFY(window->loadParametersFrom(writeFile("MODEL=basic\r\nFIRMWARE=9\r\nHUBA=1\r\nPG33=400\r\n"
                                                     "PG24=4.5\nPG1=17\npg2=4\nP|3=4\nPT99=1\nPG46=-250")));
        QVERIFY(window->hubaMode);
        QCOMPARE(box(boot)->maximum(), 1000.0);
        QCOMPARE(box(boot)->value(), 400.0);
        QCOMPARE(box(pg24)->text(), QStringLiteral("4.5"));
        QCOMPARE(box(position("PG1"))->value(), 17.0);
        QCOMPARE(box(position("PG46"))->value(), -250.0);
        QVERIFY(box(position("PG2"))->cleanText().isEmpty());
        QVERIFY(box(position("PG3"))->cleanText().isEmpty());
        for (int i = 0; i < count(); ++i)
            QVERIFY(!highlighted(i));
        QVERIFY(answerer->seen.empty());
        QCOMPARE(QSettings().value("paramsFileName").toString(), sandbox->workPath());

        // "4,5" is no number: 0, shown as the minimum.
        QVERIFY(window->loadParametersFrom(writeFile("PG24=4,5\n")));
        QCOMPARE(box(pg24)->value(), 0.0);
        // MODEL= switches back to the standard group; a file without it is loaded unchecked.
        QVERIFY(window->loadParametersFrom(writeFile("MODEL=BASIC\nHUBA=0\nPG33=950\n")));
        QVERIFY(!window->hubaMode);
        QCOMPARE(box(boot)->value(), 950.0);

        // Another model stops at its MODEL line; rows before it keep their new values.
        QVERIFY(!window->loadParametersFrom(writeFile("PG1=12\nMODEL=WATER\nPG4=7\n")));
        QCOMPARE(answerer->seen.back().icon, QMessageBox::Critical);
        QCOMPARE(answerer->seen.back().text,
                 QStringLiteral("The selected file is not compatible with the board connected"));
        QCOMPARE(box(position("PG1"))->value(), 12.0);
        QVERIFY(box(position("PG4"))->cleanText().isEmpty());

        // Unreadable, binary and oversized files are refused with the same message.
        const QString missing = sandbox->workPath() + QStringLiteral("/none.prm");
        QVERIFY(!window->loadParametersFrom(missing));
        QCOMPARE(answerer->seen.back().text, QStringLiteral("Impossible to read file ") + missing);
        QCOMPARE(answerer->seen.back().title, QStringLiteral("Hearth Bench"));
        QVERIFY(!window->loadParametersFrom(writeFile(QByteArray("PG1=3\n\0\x01\x02", 9))));
        QCOMPARE(box(position("PG1"))->value(), 12.0);
        QVERIFY(!window->loadParametersFrom(writeFile(QByteArray(1 << 20, 'P'))));
        QVERIFY(answerer->seen.back().text.startsWith("Impossible to read file"));
    }

    void roundTripThroughTheBoard() {
        Simulator sim({"--model", "basic", "--no-pacing"});
        QVERIFY(sim.ok());
        QVERIFY(open(1));
        fillDefaults();
        box(position("PG1"))->setValue(30);
        box(position("PG33"))->setValue(700);
        box(position("PT7"))->setValue(1);
        const QString path = sandbox->workPath() + QStringLiteral("/trip.prm");
        QVERIFY(window->saveParametersTo(path));
        const QByteArray saved = readFile(path);
        window->fillPages(0);
        QVERIFY(window->loadParametersFrom(path));
        QVERIFY(window->hubaMode);
        window->form()->setAllButton->click();
        QCOMPARE(answerer->seen.back().text, QStringLiteral("Storage successed"));
        QCOMPARE(boardValue(sim, 0, 1), 30);
        QCOMPARE(boardValue(sim, 0, 33), 600);
        QCOMPARE(boardValue(sim, 1, 4), 0x0E); // PT5, PT6 (defaults) and PT7
        // What the board holds now saves to the same file.
        window->fillPages(0);
        window->form()->viewAllButton->click();
        QVERIFY(window->saveParametersTo(path));
        QCOMPARE(readFile(path), saved);
    }
};

QTEST_MAIN(ParameterWindowTest)
#include "tst_parameter_window.moc"
