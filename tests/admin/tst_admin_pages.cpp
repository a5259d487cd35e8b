// The administrator panel's pages against the simulator: the password, the model list, the
// parameter reset and the firmware update with its boxes, progress window, file handling and exit.
#include "Resources/resourcebundle.h"
#include "admin/authenticationpage.h"
#include "admin/boardconfigurationpage.h"
#include "app/session.h"
#include "app/settings.h"
#include "app/texts.h"
#include "board/boardlink.h"
#include "board/serialthread.h"
#include "helpers.h"
#include "parameters/parameterfile.h"
#include "program.h"
#include "simboard.h"
#include "ui/hearthbench.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLCDNumber>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QToolButton>

#include <memory>
#include <optional>

using admintest::Bytes;
using admintest::Simulator;

namespace {

const QString kTouch = QStringLiteral("Touch Panel Water/Air");
const QString kText = QStringLiteral("Text Panel Water/Air");

// A board configuration page on its own, with isolated settings and the link at 38400 baud, prepared
// with `entry` chosen last; the simulator started with `simulator` (none when empty); boxes and file
// dialogs answered.
class PageRig {
public:
    explicit PageRig(const QString &entry = {}, std::vector<std::string> simulator = {}) {
        QSettings().setValue(QString::fromLatin1(settingkeys::baudRate), 38400);
        if (!simulator.empty()) board.emplace(std::move(simulator), admintest::kWithTranscript);
        page.applyTexts();
        page.show();
        chooseBoard(entry);
    }
    bool ok() const { return board && board->ok(); }
    template <typename T> T *child(const char *name) const { return hbtest::child<T>(page, name); }
    void click(const char *name) const { hbtest::click(page, name); }
    // Prepares the page as after the password, with this model chosen last.
    void chooseBoard(const QString &entry) {
        QSettings().setValue(QString::fromLatin1(settingkeys::updateFwLastBoard), entry);
        page.prepare();
    }
    QString writeFile(const QString &name, const std::string &content) const {
        const QString path = QDir(slate.workPath()).filePath(name);
        admintest::writeFile(path.toStdString(), content);
        return path;
    }

    hbtest::CleanSlate slate;
    BoardLink link;
    Session session{link};
    BoardConfigurationPage page{session};
    std::optional<Simulator> board;
    hbtest::BoxAnswerer boxes;
    hbtest::FileDialogAnswerer files;
};

// A firmware file made by srec_cat for the boot loader, and its image at `offset`.
std::pair<std::string, Bytes> firmwareFile(std::size_t size, unsigned seed, std::uint32_t offset = 0) {
    Bytes image = admintest::pattern(size, seed);
    const auto file = admintest::srecCat(image, admintest::loaderInput(offset), "-address-length=3");
    return {file.value_or(std::string()), image};
}

// Runs `work` inside the application's event loop; the exit code the loop ended with: 0 when the
// work asked the application to exit, else `otherwise` once the work is done.
int runInEventLoop(const std::function<void()> &work, int otherwise) {
    QTimer::singleShot(0, [&] {
        work();
        QTimer::singleShot(0, [otherwise] { QCoreApplication::exit(otherwise); });
    });
    return QCoreApplication::exec();
}

} // namespace

class AdminPages : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        setApplicationIdentity();
        useDefaultTexts();
        loadResourceBundle();
    }

    void passwordIsCaseSensitive() {
        hbtest::CleanSlate slate;
        BoardLink link;
        Session session(link);
        AuthenticationPage page(session);
        auto *field = page.findChild<QLineEdit *>(QStringLiteral("pswdLineEdit"));
        const auto check = [&](const QString &typed) {
            field->setText(typed);
            const bool match = page.checkPassword();
            [&] { QVERIFY(field->text().isEmpty()); }();
            return match;
        };
        QVERIFY(!check(QStringLiteral("HB7351")));
        QVERIFY(!check(QStringLiteral("hb7351 ")));
        QVERIFY(!check(QString()));
        QVERIFY(check(QStringLiteral("hb7351")));
        QSettings().setValue(QStringLiteral("password"), QStringLiteral("Secret"));
        QVERIFY(!check(QStringLiteral("secret")));
        QVERIFY(check(QStringLiteral("Secret")));
    }

    void modelListFollowsTheLastChoice() {
        PageRig rig;
        auto *box = rig.child<QComboBox>("modelComboBox");
        auto *reset = rig.child<QPushButton>("defaultButton");
        auto *update = rig.child<QPushButton>("firmwareUpdateButton");
        const auto entries = [box] {
            QStringList texts;
            for (int i = 0; i < box->count(); ++i)
                texts << box->itemText(i) + QLatin1Char('=') + box->itemData(i).toString();
            return texts;
        };
        const QStringList models = {QStringLiteral("Basic=Basic"), kText + QLatin1Char('=') + kText,
                                    kTouch + QLatin1Char('=') + kTouch};

        // Nothing chosen before: the placeholder first, nothing to run.
        rig.child<QCheckBox>("eepromCheckBox")->setChecked(true);
        rig.child<QLineEdit>("motFileLineEdit")->setText(QStringLiteral("old.mot"));
        rig.child<QLabel>("confirmationParDefLabel")
            ->setPixmap(QPixmap(QStringLiteral(":/icons/Resources/caution.png")));
        rig.chooseBoard(QString());
        QCOMPARE(entries(), QStringList{textAt(Text::SelectBoardModel) + QLatin1Char('=')} + models);
        QVERIFY(!reset->isEnabled() && !update->isEnabled());
        QVERIFY(!rig.child<QCheckBox>("eepromCheckBox")->isChecked());
        QVERIFY(rig.child<QLineEdit>("motFileLineEdit")->text().isEmpty());
        QVERIFY(rig.child<QLabel>("confirmationParDefLabel")->pixmap().isNull());
        box->setCurrentIndex(2);
        rig.page.chooseModel(2);
        QVERIFY(!reset->isEnabled() && update->isEnabled());
        box->setCurrentIndex(1);
        rig.page.chooseModel(1);
        QVERIFY(reset->isEnabled() && update->isEnabled());
        box->setCurrentIndex(0);
        rig.page.chooseModel(0);
        QVERIFY(!reset->isEnabled() && !update->isEnabled());

        // The placeholder chosen last: the three models, none selected, only the update enabled.
        rig.chooseBoard(textAt(Text::SelectBoardModel));
        QCOMPARE(entries(), models);
        QCOMPARE(box->currentIndex(), -1);
        QVERIFY(!reset->isEnabled() && update->isEnabled());
        rig.chooseBoard(QStringLiteral("Basic"));
        QCOMPARE(box->currentText(), QStringLiteral("Basic"));
        QVERIFY(reset->isEnabled() && update->isEnabled());
        rig.chooseBoard(kTouch);
        QCOMPARE(box->currentText(), kTouch);
        QVERIFY(!reset->isEnabled() && update->isEnabled());
        rig.chooseBoard(QStringLiteral("basic")); // compared exactly
        QCOMPARE(box->currentIndex(), -1);
        QVERIFY(!reset->isEnabled());
    }

    void resetRestoresFactoryValues() {
        PageRig rig(QStringLiteral("Basic"), {"--model", "basic", "--no-pacing"});
        QVERIFY(rig.ok());
        const std::string factory = rig.board->control("get gen 1");
        rig.board->control("set gen 1 7");
        rig.board->control("save");
        rig.child<QLineEdit>("motFileLineEdit")->setText(QStringLiteral("x.mot"));
        QSignalSpy home(&rig.page, &BoardConfigurationPage::homeRequested);
        rig.click("defaultButton");
        QCOMPARE(rig.boxes.shown(),
                 QStringList{"warning " + textAt(Text::Caution) + ": " + textAt(Text::EnabledRebootBoard)});
        QVERIFY(!rig.boxes.seen[0].cursorOverridden);
        QCOMPARE(home.count(), 1);
        QVERIFY(hbtest::showsIcon(rig.child<QLabel>("confirmationParDefLabel"), "confirmed"));
        QVERIFY(rig.child<QLineEdit>("motFileLineEdit")->text().isEmpty());
        QVERIFY(!rig.link.isOpen());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(admintest::textsOf(*rig.board), (std::vector<std::string>{"WRTECP09255\r", "SAVEPAR\r"}));
        rig.board->control("reboot");
        QCOMPARE(rig.board->control("get gen 1"), factory);
    }

    void portAndResetFailures() {
        PageRig rig(QStringLiteral("Basic"));
        QSignalSpy home(&rig.page, &BoardConfigurationPage::homeRequested);
        // No port: the reset and the update both stop at the port error.
        rig.click("defaultButton");
        rig.click("firmwareUpdateButton");
        QCOMPARE(rig.boxes.shown(), QStringList(2, "critical Hearth Bench: Error opening serial COM1"));
        QVERIFY(rig.child<QLabel>("confirmationParDefLabel")->pixmap().isNull());
        QVERIFY(!rig.link.isOpen());

        // A board that confirms nothing: the caution picture, "Operation failed: retry" and the
        // warning that the request may still be on the board; the store sent although the write was
        // never confirmed, then the withdrawal, every attempt of each.
        rig.board.emplace(std::vector<std::string>{"--model", "basic", "--no-pacing", "--silent-after", "0"},
                          admintest::kWithTranscript);
        QVERIFY(rig.ok());
        rig.click("defaultButton");
        QCOMPARE(rig.boxes.shown().value(2), "critical " + textAt(Text::Caution) + ": " +
                                                 textAt(Text::OperationFailedRetry) + "\n" +
                                                 textAt(Text::ResetRequestMayRemain));
        QVERIFY(hbtest::showsIcon(rig.child<QLabel>("confirmationParDefLabel"), "caution"));
        QCOMPARE(home.count(), 0);
        QVERIFY(!rig.link.isOpen());
        std::vector<std::string> expected(6, "WRTECP09255\r");
        expected.insert(expected.end(), 6, "SAVEPAR\r");
        expected.insert(expected.end(), 6, "WRTECP09000\r");
        QCOMPARE(admintest::textsOf(*rig.board), expected);

        // The request written, the store lost on the way: the request is withdrawn, so that a store
        // sent later (here by the board's own panel) keeps the technician's values.
        rig.board.emplace(
            std::vector<std::string>{"--model", "basic", "--no-pacing", "--lose", "1", "--only", "SAVEPAR"},
            admintest::kWithTranscript);
        QVERIFY(rig.ok());
        rig.board->control("set gen 1 7");
        rig.board->control("save");
        rig.click("defaultButton");
        QCOMPARE(rig.boxes.shown().value(3),
                 "critical " + textAt(Text::Caution) + ": " + textAt(Text::OperationFailedRetry));
        QCOMPARE(admintest::textsOf(*rig.board).back(), std::string("WRTECP09000\r"));
        QVERIFY(rig.board->control("get tec 9").starts_with("ok tec 9 0 "));
        rig.board->control("save");
        rig.board->control("reboot");
        QVERIFY(rig.board->control("get gen 1").starts_with("ok gen 1 7 "));
    }

    void updateThroughTheWindowThenExit() {
        hbtest::CleanSlate slate;
        QSettings().setValue(QStringLiteral("baudRate"), 38400);
        QSettings().setValue(QStringLiteral("updateFwLastBoard"), kTouch);
        hbsupport::Program program({"--model", "water", "--bootloader", "--no-pacing"},
                                   admintest::kWithTranscript);
        QVERIFY(program.ok());
        Simulator &board = program.simulator();
        // Across the board's verification limit 0x13FFF: half the image is not read back.
        constexpr std::uint32_t kOffset = 0x12000;
        const auto [file, image] = firmwareFile(16 * 1024, 21, kOffset);
        const QString path = QDir(slate.workPath()).filePath(QStringLiteral("firmware.mot"));
        admintest::writeFile(path.toStdString(), file);

        HearthBench *window = &program.window();
        window->resize(808, 494);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        window->findChild<QToolButton *>(QStringLiteral("configToolButton"))->click();
        window->findChild<QLineEdit *>(QStringLiteral("pswdLineEdit"))->setText(QStringLiteral("hb7351"));
        window->findChild<QToolButton *>(QStringLiteral("authConfirmToolButton"))->click();
        QCOMPARE(window->currentPage(), Page::BoardConfiguration);
        auto *page = window->findChild<BoardConfigurationPage *>();
        QCOMPARE(hbtest::child<QComboBox>(*page, "modelComboBox")->currentText(), kTouch);

        // While the update runs: what the progress window shows, that this thread's timers keep
        // running, and that a second start is refused.
        hbtest::FileDialogAnswerer dialog(path);
        hbtest::BoxAnswerer answerer;
        QStringList captions;
        QList<int> maxima;
        QString detail;
        int ticks = 0;
        bool pictured = false;
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, [&] {
            ++ticks;
            QWidget *progress = nullptr;
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w->objectName() == QStringLiteral("firmwareProgress") && w->isVisible()) progress = w;
            if (progress == nullptr) return;
            auto *bar = progress->findChild<QProgressBar *>();
            const QString caption = progress->windowTitle();
            if (captions.isEmpty() || captions.last() != caption) {
                captions << caption;
                maxima << bar->maximum();
            }
            const QString text =
                progress->findChild<QLabel *>(QStringLiteral("firmwareProgressDetail"))->text();
            if (text.contains(QStringLiteral("time left: ")) && !text.endsWith(QStringLiteral("-:--")))
                detail = text;
            page->updateFWSlot(); // refused while busy
            page->parDef();
            if (!pictured && bar->value() * 2 > bar->maximum() && !detail.isEmpty()) {
                pictured = true;
                const QByteArray folder = qgetenv("HB_SCREENSHOT_DIR");
                if (!folder.isEmpty()) {
                    QPixmap picture = window->grab();
                    QPainter painter(&picture);
                    const QPixmap over = progress->grab();
                    painter.drawPixmap((picture.width() - over.width()) / 2,
                                       (picture.height() - over.height()) / 2, over);
                    painter.end();
                    picture.save(
                        QDir(QString::fromLocal8Bit(folder)).filePath(QStringLiteral("firmware.png")));
                }
            }
        });
        sampler.start(50);

        const int code = runInEventLoop(
            [&] { window->findChild<QPushButton *>(QStringLiteral("firmwareUpdateButton"))->click(); }, 7);
        sampler.stop();
        QCOMPARE(code, 0); // the application was asked to exit

        QCOMPARE(dialog.seen.size(), std::size_t{1});
        QCOMPARE(dialog.seen[0].title, textAt(Text::SelectFileToOpen));
        QCOMPARE(dialog.seen[0].filters, QStringLiteral("Files (*.mot)"));
        QCOMPARE(answerer.shown(),
                 QStringList{"information Hearth Bench: " + textAt(Text::OperationCompleted) + ' ' +
                             textAt(Text::EnabledRebootBoard) +
                             ".\n16384 bytes written: 8192 read back equal, 8192 not read back "
                             "(0x014000-0x015FFF)\n" +
                             textAt(Text::ProgramWillClose)});
        QCOMPARE(captions, (QStringList{textAt(Text::ErasingMemory) + QStringLiteral("..."),
                                        textAt(Text::FirmwareUpdateInProgress) + QStringLiteral("...")}));
        QCOMPARE(maxima, (QList<int>{2, 512}));
        QVERIFY2(detail.contains(QStringLiteral(" / 16384 bytes written - time left: ")), qPrintable(detail));
        QVERIFY2(ticks > 50, qPrintable(QString::number(ticks)));
        QVERIFY(hbtest::showsIcon(window->findChild<QLabel *>(QStringLiteral("confirmationUpdateFWLabel")),
                                  "confirmed"));
        QCOMPARE(window->findChild<QLCDNumber *>(QStringLiteral("writeErrorLcdNumber"))->intValue(), 0);
        QCOMPARE(window->findChild<QLineEdit *>(QStringLiteral("motFileLineEdit"))->text(),
                 QDir::toNativeSeparators(path));
        QCOMPARE(QSettings().value(QStringLiteral("motFileName")).toString(), slate.workPath());
        QVERIFY(!program.link().isOpen());
        QVERIFY(QApplication::overrideCursor() == nullptr);

        // One update only, and the board holds the image.
        std::vector<int> sectors;
        for (const admintest::Request &r : admintest::framesOf(board, admintest::kErase))
            sectors.push_back(r.sector());
        QCOMPARE(sectors, (std::vector<int>{0, 1}));
        QCOMPARE(admintest::framesOf(board, admintest::kWriteFlash).size(), std::size_t{512});
        QVERIFY(admintest::textsOf(board).empty());
        const Bytes flash = board.flash();
        QVERIFY(Bytes(flash.begin() + kOffset,
                      flash.begin() + kOffset + static_cast<std::ptrdiff_t>(image.size())) == image);
    }

    void basicPreparationAfterACopy() {
        PageRig rig(QStringLiteral("Basic"), {"--model", "basic", "--no-pacing"});
        QVERIFY(rig.ok());
        rig.session.setModel(StoveModel::Basic);
        rig.boxes.queue(QMessageBox::Yes); // the copy; the file dialog is cancelled: nothing is programmed
        rig.click("firmwareUpdateButton");
        const QString copy = QDir(rig.slate.workPath())
                                 .filePath(QStringLiteral("par/backup (basic) %1.prm")
                                               .arg(QDate::currentDate().toString(Qt::ISODate)));
        QCOMPARE(
            rig.boxes.shown(),
            (QStringList{
                "plain Hearth Bench:  | " + textAt(Text::SaveBeforeUpdate) + '\n' +
                    QDir::toNativeSeparators(copy),
                "warning " + textAt(Text::Caution) +
                    ": BEFORE pressing OK enabled, reboot the board to continue the operation selected"}));
        QCOMPARE(rig.boxes.seen[0].defaultButton, QMessageBox::Yes);
        QCOMPARE(rig.files.seen.size(), std::size_t{1});
        QVERIFY(!rig.link.isOpen());

        // The copy is a parameter file of the board, taken before the switch into the boot loader.
        QFile file(copy);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const auto lines = paramfile::parse(file.readAll());
        QVERIFY(lines && !lines->isEmpty());
        QCOMPARE(std::get<paramfile::ModelLine>(lines->at(0)).name, QStringLiteral("BASIC"));
        const std::vector<std::string> texts = admintest::textsOf(*rig.board);
        QVERIFY(texts.size() > 3);
        QCOMPARE(texts[texts.size() - 2], std::string("WRTECP08250\r"));
        QCOMPARE(texts.back(), std::string("SAVEPAR\r"));
        for (std::size_t i = 0; i + 2 < texts.size(); ++i)
            QVERIFY(texts[i].rfind("READ", 0) == 0);
        // Then the boot loader was probed once where the BASIC board's answers, and answered.
        const auto reads = admintest::framesOf(*rig.board, admintest::kRead);
        QCOMPARE(reads.size(), std::size_t{1});
        QCOMPARE(std::make_pair(reads[0].address(), reads[0].length()), std::make_pair(0x41F8u, 32));
        QVERIFY(rig.board->control("status").find("mode bootloader") != std::string::npos);
    }

    void basicPreparationFails() {
        PageRig rig(QStringLiteral("Basic"), {"--model", "basic", "--no-pacing", "--silent-after", "0"});
        QVERIFY(rig.ok());
        rig.click("firmwareUpdateButton");
        QCOMPARE(rig.boxes.shown(),
                 QStringList{"critical " + textAt(Text::Caution) + ": " + textAt(Text::OperationFailedRetry) +
                             "\n" + textAt(Text::BootLoaderRequestMayRemain)});
        QVERIFY(rig.files.seen.empty());
        QCOMPARE(admintest::countOf(*rig.board, "WRTECP08250\r"), 5);
        QCOMPARE(admintest::countOf(*rig.board, "SAVEPAR\r"), 6);
        QCOMPARE(admintest::countOf(*rig.board, "WRTECP08000\r"), 5);
        // Then only the boot loader's probe, at the BASIC board's address.
        const auto reads = admintest::framesOf(*rig.board, admintest::kRead);
        QVERIFY(!reads.empty());
        for (const auto &read : reads)
            QCOMPARE(read.address(), 0x41F8u);
        QVERIFY(!rig.link.isOpen());

        // A board left in its boot loader by an update that did not finish takes no text command: the
        // probe finds the loader and the update goes on to the file (cancelled here), no failure shown.
        rig.board.emplace(std::vector<std::string>{"--model", "basic", "--bootloader", "--no-pacing"},
                          admintest::kWithTranscript);
        QVERIFY(rig.ok());
        rig.click("firmwareUpdateButton");
        QCOMPARE(rig.boxes.shown().size(), 1);
        QCOMPARE(rig.files.seen.size(), std::size_t{1});
        QVERIFY(!rig.link.isOpen());
    }

    void probeOffersRetryAndAbort() {
        PageRig rig(kText, {"--model", "water", "--bootloader", "--no-pacing", "--silent-after", "0"});
        QVERIFY(rig.ok());
        rig.boxes.queue(QMessageBox::Retry);
        rig.boxes.queue(QMessageBox::Abort);
        bool linkOpenAtBox = false;
        rig.boxes.onBox = [&] { linkOpenAtBox = rig.link.isOpen(); };
        rig.click("firmwareUpdateButton");
        QCOMPARE(rig.boxes.shown(),
                 QStringList(2, "warning Hearth Bench:  | " + textAt(Text::BoardUnreachableBootLoader)));
        for (const hbtest::SeenBox &box : rig.boxes.seen)
            QVERIFY(box.defaultButton == QMessageBox::Retry && !box.cursorOverridden);
        QVERIFY(linkOpenAtBox);
        QVERIFY(rig.files.seen.empty());
        // Two rounds of three probes, each tried three times by the link library.
        const auto reads = admintest::framesOf(*rig.board, admintest::kRead);
        QCOMPARE(reads.size(), std::size_t{18});
        for (const admintest::Request &r : reads)
            QCOMPARE(std::make_pair(r.address(), r.length()), std::make_pair(0x80A0u, 32));
        QVERIFY(!rig.link.isOpen());
    }

    // Files the boot loader cannot take: a box names the reason and the line, the caution picture
    // shows, and nothing is erased or written. The data area is not erased unless the check box is
    // ticked, so a record there is refused.
    void filesRefused() {
        PageRig rig(kTouch, {"--model", "water", "--bootloader", "--no-pacing"});
        QVERIFY(rig.ok());
        auto *result = rig.child<QLabel>("confirmationUpdateFWLabel");
        const QString refused =
            "warning " + textAt(Text::Caution) + ": " + textAt(Text::FirmwareFileRefused) + '\n';

        // A header line other than the loader's (srec_cat's own).
        const auto named =
            admintest::srecCat(admintest::pattern(256, 4), "-execution-start-address=0", "-address-length=3");
        QVERIFY(named);
        QDir(rig.slate.workPath()).mkpath(QStringLiteral("fw"));
        rig.files.answer = rig.writeFile(QStringLiteral("fw/named.mot"), *named);
        rig.click("firmwareUpdateButton");
        QCOMPARE(rig.boxes.shown(), QStringList{refused + "The line S0030000FC is missing."});
        QVERIFY(hbtest::showsIcon(result, "caution"));
        const QString folder = QDir(rig.slate.workPath()).filePath(QStringLiteral("fw"));
        QCOMPARE(QSettings().value(QStringLiteral("motFileName")).toString(), folder);

        // Not a text file. The dialog now opens in the folder of the last file.
        std::string binary = admintest::motFile({{0, {1, 2, 3}}});
        binary[5] = '\0';
        rig.files.answer = rig.writeFile(QStringLiteral("binary.mot"), binary);
        rig.click("firmwareUpdateButton");
        QCOMPARE(rig.files.seen.size(), std::size_t{2});
        QCOMPARE(rig.files.seen[1].directory, folder);
        QCOMPARE(rig.boxes.shown().value(1),
                 refused + "The file is not a text file of S-records, or is larger than 8 MiB.");

        // A record in the data area, which is erased only with the check box ticked.
        const std::string dataArea = admintest::motFile({{0x100, {1, 2}}, {0xF0000, {3, 4, 5, 6}}});
        rig.files.answer = rig.writeFile(QStringLiteral("data.mot"), dataArea);
        rig.click("firmwareUpdateButton");
        QCOMPARE(rig.boxes.shown().value(2),
                 refused + "Line 3 writes 0x0F0000-0x0F0003, outside the flash the update erases "
                           "(0x000000-0x01FFFF).");
        QVERIFY(hbtest::showsIcon(result, "caution"));

        // A file that is gone by the time it is read.
        const QString gone = rig.writeFile(QStringLiteral("gone.mot"), admintest::motFile({{0, {1}}}));
        rig.files.answer = gone;
        rig.files.afterAccept = [gone] { QFile::remove(gone); };
        rig.click("firmwareUpdateButton");
        QCOMPARE(rig.boxes.shown().value(3),
                 "critical " + textAt(Text::Caution) + ": " + textAt(Text::CannotReadFile) + ' ' + gone);
        QCOMPARE(rig.boxes.shown().size(), 4);

        // One probe each, and nothing erased or written.
        QCOMPARE(admintest::framesOf(*rig.board, admintest::kRead).size(), std::size_t{4});
        QVERIFY(admintest::framesOf(*rig.board, admintest::kErase).empty());
        QVERIFY(admintest::framesOf(*rig.board, admintest::kWriteFlash).empty());
        QVERIFY(!rig.link.isOpen());
    }

    void failedUpdateKeepsRunning() {
        PageRig rig(kText, {"--model", "water", "--bootloader", "--no-pacing"});
        QVERIFY(rig.ok());
        // A worn flash cell keeps 0xFF where the first record writes 0xF0.
        QCOMPARE(rig.board->control("wear 0x102"), std::string("ok wear 0x102"));
        rig.files.answer = rig.writeFile(
            QStringLiteral("worn.mot"),
            admintest::motFile({{0x0100, {0xFF, 0x0F, 0xF0, 0x55}}, {0x0200, admintest::pattern(64, 9)}}));
        const int code = runInEventLoop([&] { rig.click("firmwareUpdateButton"); }, 7);
        QCOMPARE(code, 7); // the program keeps running
        QCOMPARE(
            rig.boxes.shown(),
            QStringList{"warning Hearth Bench: Operation failed!. Repeat\n68 bytes written: 67 read back "
                        "equal, 0 not read back\nWriting error counter: 1\nFirst differing address: "
                        "0x000102"});
        QCOMPARE(rig.child<QLCDNumber>("writeErrorLcdNumber")->intValue(), 1);
        QVERIFY(hbtest::showsIcon(rig.child<QLabel>("confirmationUpdateFWLabel"), "caution"));
        QCOMPARE(admintest::framesOf(*rig.board, admintest::kWriteFlash).size(), std::size_t{2});
        QVERIFY(!rig.page.busy());
        QVERIFY(rig.child<QPushButton>("firmwareUpdateButton")->isEnabled());
        QVERIFY(!rig.link.isOpen());
    }
};

QTEST_MAIN(AdminPages)
#include "tst_admin_pages.moc"
