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

using admintest::Bytes;
using admintest::SimBoard;

namespace {

const QString kTouch = QStringLiteral("Touch Panel Water/Air");
const QString kText = QStringLiteral("Text Panel Water/Air");

// Answers the open-file dialog with `path` (cancels it when empty) and records how it was shown.
class FileDialogAnswerer : public QObject {
public:
    explicit FileDialogAnswerer(QString path = {}) : m_path(std::move(path)) {
        connect(&m_timer, &QTimer::timeout, this, &FileDialogAnswerer::poll);
        m_timer.start(20);
    }
    void setPath(const QString &path) { m_path = path; }
    int shown = 0;
    QString title, directory;
    QStringList filters;
    // Run after the dialog was accepted, before the page gets the name.
    std::function<void()> afterAccept;

private:
    void poll() {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible() || dialog->property("hbAnswered").toBool()) return;
        dialog->setProperty("hbAnswered", true);
        ++shown;
        title = dialog->windowTitle();
        directory = dialog->directory().absolutePath();
        filters = dialog->nameFilters();
        if (m_path.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->selectFile(m_path);
        static_cast<QDialog *>(dialog)->accept(); // QFileDialog checks the choice as on OK
        if (afterAccept) afterAccept();
    }
    QString m_path;
    QTimer m_timer;
};

QImage icon(const QString &name) {
    return QPixmap(QStringLiteral(":/icons/Resources/") + name).toImage();
}

QImage shown(const QLabel *label) {
    return label->pixmap().toImage();
}

// A board configuration page on its own, with isolated settings and the link at 38400 baud.
class PageRig {
public:
    PageRig() {
        QSettings().setValue(QString::fromLatin1(settingkeys::baudRate), 38400);
        page.applyTexts();
        page.show();
    }
    template <typename T> T *child(const char *name) const {
        auto *widget = page.findChild<T *>(QString::fromLatin1(name));
        if (widget == nullptr) qFatal("no widget %s", name);
        return widget;
    }
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
};

// A firmware file made by srec_cat for the boot loader, and its image.
std::pair<std::string, Bytes> firmwareFile(std::size_t size, unsigned seed) {
    Bytes image = admintest::pattern(size, seed);
    const auto file = admintest::srecCat(image, admintest::loaderInput(0), "-address-length=3");
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
        QCOMPARE(entries(), QStringList{textAt(230) + QLatin1Char('=')} + models);
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
        rig.chooseBoard(textAt(230));
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

        // Through the window: the keypad Enter key authenticates, and the entry activated from the
        // keyboard is stored for the next time.
        QSettings().remove(QStringLiteral("updateFwLastBoard"));
        BoardLink link;
        Session session(link);
        HearthBench window(session, nullptr);
        window.show();
        window.findChild<QToolButton *>(QStringLiteral("configToolButton"))->click();
        auto *password = window.findChild<QLineEdit *>(QStringLiteral("pswdLineEdit"));
        password->setText(QStringLiteral("hb7351"));
        QTest::keyClick(password, Qt::Key_Return);
        QCOMPARE(window.currentPage(), Page::Authentication);
        password->setText(QStringLiteral("hb7351"));
        QTest::keyClick(password, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(window.currentPage(), Page::BoardConfiguration);
        auto *windowBox = window.findChild<QComboBox *>(QStringLiteral("modelComboBox"));
        QCOMPARE(windowBox->itemText(0), textAt(230));
        windowBox->setFocus();
        QTest::keyClick(windowBox, Qt::Key_Down);
        QCOMPARE(QSettings().value(QStringLiteral("updateFwLastBoard")).toString(), QStringLiteral("Basic"));
        QVERIFY(window.findChild<QPushButton *>(QStringLiteral("defaultButton"))->isEnabled());
    }

    void resetRestoresFactoryValues() {
        PageRig rig;
        SimBoard board({"--model", "basic", "--no-pacing"});
        QVERIFY(board.ok());
        const std::string factory = board.control("get gen 1");
        board.control("set gen 1 7");
        board.control("save");
        rig.chooseBoard(QStringLiteral("Basic"));
        rig.child<QLineEdit>("motFileLineEdit")->setText(QStringLiteral("x.mot"));
        QSignalSpy home(&rig.page, &BoardConfigurationPage::homeRequested);
        hbtest::BoxAnswerer answerer;

        rig.child<QPushButton>("defaultButton")->click();

        QCOMPARE(answerer.seen.size(), std::size_t{1});
        QCOMPARE(answerer.seen[0].icon, QMessageBox::Warning);
        QCOMPARE(answerer.seen[0].title, textAt(104));
        QCOMPARE(answerer.seen[0].text, textAt(103));
        QVERIFY(!answerer.seen[0].cursorOverridden);
        QCOMPARE(home.count(), 1);
        QCOMPARE(shown(rig.child<QLabel>("confirmationParDefLabel")), icon(QStringLiteral("confirmed.png")));
        QVERIFY(rig.child<QLineEdit>("motFileLineEdit")->text().isEmpty());
        QVERIFY(!rig.link.isOpen());
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QCOMPARE(board.texts(), (std::vector<std::string>{"WRTECP09255\r", "SAVEPAR\r"}));
        board.control("reboot");
        QCOMPARE(board.control("get gen 1"), factory);
    }

    void portAndResetFailures() {
        PageRig rig;
        rig.chooseBoard(QStringLiteral("Basic"));
        QSignalSpy home(&rig.page, &BoardConfigurationPage::homeRequested);
        hbtest::BoxAnswerer answerer;

        // No port: the reset and the update both stop at the port error.
        rig.child<QPushButton>("defaultButton")->click();
        rig.child<QPushButton>("firmwareUpdateButton")->click();
        QCOMPARE(answerer.seen.size(), std::size_t{2});
        for (const hbtest::SeenBox &box : answerer.seen) {
            QCOMPARE(box.icon, QMessageBox::Critical);
            QCOMPARE(box.title, QStringLiteral("Hearth Bench"));
            QCOMPARE(box.text, QStringLiteral("Error opening serial COM1"));
        }
        QVERIFY(rig.child<QLabel>("confirmationParDefLabel")->pixmap().isNull());
        QVERIFY(!rig.link.isOpen());

        // A board that confirms nothing: the caution picture and "Operation failed: retry".
        SimBoard board({"--model", "basic", "--no-pacing", "--silent-after", "0"});
        QVERIFY(board.ok());
        answerer.seen.clear();
        rig.child<QPushButton>("defaultButton")->click();
        QCOMPARE(answerer.seen.size(), std::size_t{1});
        QCOMPARE(answerer.seen[0].icon, QMessageBox::Critical);
        QCOMPARE(answerer.seen[0].title, textAt(104));
        QCOMPARE(answerer.seen[0].text, textAt(32));
        QCOMPARE(shown(rig.child<QLabel>("confirmationParDefLabel")), icon(QStringLiteral("caution.png")));
        QCOMPARE(home.count(), 0);
        QVERIFY(!rig.link.isOpen());
        QCOMPARE(board.count("WRTECP09255\r"), 6);
        QCOMPARE(board.count("SAVEPAR\r"), 6);
    }

    void updateThroughTheWindowThenExit() {
        hbtest::CleanSlate slate;
        QSettings().setValue(QStringLiteral("baudRate"), 38400);
        QSettings().setValue(QStringLiteral("updateFwLastBoard"), kTouch);
        SimBoard board({"--model", "water", "--bootloader", "--no-pacing"});
        QVERIFY(board.ok());
        const auto [file, image] = firmwareFile(16 * 1024, 21);
        const QString path = QDir(slate.workPath()).filePath(QStringLiteral("firmware.mot"));
        admintest::writeFile(path.toStdString(), file);

        BoardLink link;
        Session session(link);
        SerialThread thread(link);
        auto window = std::make_unique<HearthBench>(session, &thread);
        window->resize(808, 494);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->findChild<QToolButton *>(QStringLiteral("configToolButton"))->click();
        window->findChild<QLineEdit *>(QStringLiteral("pswdLineEdit"))->setText(QStringLiteral("hb7351"));
        window->findChild<QToolButton *>(QStringLiteral("authConfirmToolButton"))->click();
        QCOMPARE(window->currentPage(), Page::BoardConfiguration);
        auto *page = window->findChild<BoardConfigurationPage *>();
        QCOMPARE(page->modelBox()->currentText(), kTouch);

        // While the update runs: what the progress window shows, that this thread's timers keep
        // running, and that a second start is refused.
        FileDialogAnswerer dialog(path);
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
            window->updateFWSlot(); // refused while busy
            window->parDef();
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

        QCOMPARE(dialog.shown, 1);
        QCOMPARE(dialog.title, textAt(89));
        QCOMPARE(dialog.filters, QStringList{QStringLiteral("Files (*.mot)")});
        QCOMPARE(answerer.seen.size(), std::size_t{1});
        QCOMPARE(answerer.seen[0].icon, QMessageBox::Information);
        QCOMPARE(answerer.seen[0].title, QStringLiteral("Hearth Bench"));
        QCOMPARE(answerer.seen[0].text,
                 textAt(24) + QLatin1Char(' ') + textAt(103) + QStringLiteral(".\n") + textAt(21));
        QCOMPARE(captions,
                 (QStringList{textAt(25) + QStringLiteral("..."), textAt(26) + QStringLiteral("...")}));
        QCOMPARE(maxima, (QList<int>{2, 512}));
        QVERIFY2(detail.contains(QStringLiteral(" / 16384 bytes written - time left: ")), qPrintable(detail));
        QVERIFY2(ticks > 50, qPrintable(QString::number(ticks)));
        QCOMPARE(shown(window->findChild<QLabel *>(QStringLiteral("confirmationUpdateFWLabel"))),
                 icon(QStringLiteral("confirmed.png")));
        QCOMPARE(window->findChild<QLCDNumber *>(QStringLiteral("writeErrorLcdNumber"))->intValue(), 0);
        QCOMPARE(window->findChild<QLineEdit *>(QStringLiteral("motFileLineEdit"))->text(),
                 QDir::toNativeSeparators(path));
        QCOMPARE(QSettings().value(QStringLiteral("motFileName")).toString(), slate.workPath());
        QVERIFY(!link.isOpen());
        QVERIFY(QApplication::overrideCursor() == nullptr);

        // One update only, and the board holds the image.
        std::vector<int> sectors;
        for (const admintest::Request &r : board.frames(admintest::kErase))
            sectors.push_back(r.sector());
        QCOMPARE(sectors, (std::vector<int>{0, 1}));
        QCOMPARE(board.frames(admintest::kWriteFlash).size(), std::size_t{512});
        QVERIFY(board.texts().empty());
        const Bytes flash = board.flash();
        QVERIFY(Bytes(flash.begin(), flash.begin() + static_cast<std::ptrdiff_t>(image.size())) == image);

        // Leaving as after the exit: the polling thread stops and the link stays closed.
        window.reset();
        QVERIFY(thread.isFinished());
        QVERIFY(!link.isOpen());
    }

    void basicPreparationAfterACopy() {
        PageRig rig;
        SimBoard board({"--model", "basic", "--no-pacing"});
        QVERIFY(board.ok());
        rig.session.setModel(StoveModel::Basic);
        rig.chooseBoard(QStringLiteral("Basic"));
        hbtest::BoxAnswerer answerer;
        answerer.queue(QMessageBox::Yes);
        FileDialogAnswerer dialog; // cancelled: nothing is programmed

        rig.child<QPushButton>("firmwareUpdateButton")->click();

        QCOMPARE(answerer.seen.size(), std::size_t{2});
        const QString copy = QDir(rig.slate.workPath())
                                 .filePath(QStringLiteral("par/backup (basic) %1.prm")
                                               .arg(QDate::currentDate().toString(Qt::ISODate)));
        QCOMPARE(answerer.seen[0].informative,
                 textAt(281) + QLatin1Char('\n') + QDir::toNativeSeparators(copy));
        QCOMPARE(answerer.seen[0].defaultButton, QMessageBox::Yes);
        QCOMPARE(answerer.seen[1].icon, QMessageBox::Warning);
        QCOMPARE(answerer.seen[1].title, textAt(104));
        QCOMPARE(answerer.seen[1].text,
                 QStringLiteral("BEFORE pressing OK enabled, reboot the board to continue the "
                                "operation selected"));
        QCOMPARE(dialog.shown, 1);
        QVERIFY(!rig.link.isOpen());

        // The copy is a parameter file of the board, taken before the switch.
        QFile file(copy);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const auto lines = paramfile::parse(file.readAll());
        QVERIFY(lines && !lines->isEmpty());
        QCOMPARE(std::get<paramfile::ModelLine>(lines->at(0)).name, QStringLiteral("BASIC"));
        const std::vector<std::string> texts = board.texts();
        QVERIFY(texts.size() > 3);
        QCOMPARE(texts[texts.size() - 2], std::string("WRTECP08250\r"));
        QCOMPARE(texts.back(), std::string("SAVEPAR\r"));
        for (std::size_t i = 0; i + 2 < texts.size(); ++i)
            QVERIFY(texts[i].rfind("READ", 0) == 0);
        // Then the boot loader was probed once, and answered.
        QCOMPARE(board.frames(admintest::kRead).size(), std::size_t{1});
        QVERIFY(board.control("status").find("mode bootloader") != std::string::npos);
    }

    void basicPreparationFails() {
        PageRig rig;
        SimBoard board({"--model", "basic", "--no-pacing", "--silent-after", "0"});
        QVERIFY(board.ok());
        rig.chooseBoard(QStringLiteral("Basic"));
        hbtest::BoxAnswerer answerer;
        FileDialogAnswerer dialog;
        rig.child<QPushButton>("firmwareUpdateButton")->click();
        QCOMPARE(answerer.seen.size(), std::size_t{1});
        QCOMPARE(answerer.seen[0].icon, QMessageBox::Critical);
        QCOMPARE(answerer.seen[0].title, textAt(104));
        QCOMPARE(answerer.seen[0].text, textAt(32));
        QCOMPARE(dialog.shown, 0);
        QCOMPARE(board.count("WRTECP08250\r"), 5);
        QCOMPARE(board.count("SAVEPAR\r"), 6);
        QVERIFY(board.frames(admintest::kRead).empty());
        QVERIFY(!rig.link.isOpen());
    }

    void probeOffersRetryAndAbort() {
        PageRig rig;
        SimBoard board(
            {"--model", "water", "--bootloader", "--no-pacing", "--silent-after", "0"}); // not answering
        QVERIFY(board.ok());
        rig.chooseBoard(kText);
        hbtest::BoxAnswerer answerer;
        answerer.queue(QMessageBox::Retry);
        answerer.queue(QMessageBox::Abort);
        FileDialogAnswerer dialog;
        bool linkOpenAtBox = false;
        answerer.onBox = [&] { linkOpenAtBox = rig.link.isOpen(); };
        rig.child<QPushButton>("firmwareUpdateButton")->click();
        QCOMPARE(answerer.seen.size(), std::size_t{2});
        for (const hbtest::SeenBox &box : answerer.seen) {
            QCOMPARE(box.informative, textAt(226));
            QCOMPARE(box.defaultButton, QMessageBox::Retry);
            QVERIFY(!box.cursorOverridden);
        }
        QVERIFY(linkOpenAtBox);
        QCOMPARE(dialog.shown, 0);
        // Two rounds of three probes, each tried three times by the link library.
        const auto reads = board.frames(admintest::kRead);
        QCOMPARE(reads.size(), std::size_t{18});
        for (const admintest::Request &r : reads)
            QCOMPARE(r.address(), 0x80A0u);
        QVERIFY(!rig.link.isOpen());
    }

    void filesRefused() {
        PageRig rig;
        SimBoard board({"--model", "water", "--bootloader", "--no-pacing"});
        QVERIFY(board.ok());
        rig.chooseBoard(kTouch);
        hbtest::BoxAnswerer answerer;
        auto *result = rig.child<QLabel>("confirmationUpdateFWLabel");
        auto *button = rig.child<QPushButton>("firmwareUpdateButton");

        // A header line other than the loader's (srec_cat's own): the caution picture, no message.
        const auto named =
            admintest::srecCat(admintest::pattern(256, 4), "-execution-start-address=0", "-address-length=3");
        QVERIFY(named);
        QDir(rig.slate.workPath()).mkpath(QStringLiteral("fw"));
        FileDialogAnswerer dialog(rig.writeFile(QStringLiteral("fw/named.mot"), *named));
        button->click();
        QCOMPARE(dialog.shown, 1);
        QVERIFY(answerer.seen.empty());
        QCOMPARE(shown(result), icon(QStringLiteral("caution.png")));
        const QString folder = QDir(rig.slate.workPath()).filePath(QStringLiteral("fw"));
        QCOMPARE(QSettings().value(QStringLiteral("motFileName")).toString(), folder);

        // Not a text file: the same. The dialog now opens in the folder of the last file.
        std::string binary = admintest::motFile({{0, {1, 2, 3}}});
        binary[5] = '\0';
        dialog.setPath(rig.writeFile(QStringLiteral("binary.mot"), binary));
        button->click();
        QCOMPARE(dialog.shown, 2);
        QCOMPARE(dialog.directory, folder);
        QVERIFY(answerer.seen.empty());
        QCOMPARE(shown(result), icon(QStringLiteral("caution.png")));

        // A file that is gone by the time it is read.
        const QString gone = rig.writeFile(QStringLiteral("gone.mot"), admintest::motFile({{0, {1}}}));
        dialog.setPath(gone);
        dialog.afterAccept = [gone] { QFile::remove(gone); };
        button->click();
        QCOMPARE(answerer.seen.size(), std::size_t{1});
        QCOMPARE(answerer.seen[0].icon, QMessageBox::Critical);
        QCOMPARE(answerer.seen[0].title, textAt(104));
        QCOMPARE(answerer.seen[0].text, textAt(27) + QLatin1Char(' ') + gone);

        // Three probes, and nothing erased or written.
        QCOMPARE(board.frames(admintest::kRead).size(), std::size_t{3});
        QVERIFY(board.frames(admintest::kErase).empty());
        QVERIFY(board.frames(admintest::kWriteFlash).empty());
        QVERIFY(!rig.link.isOpen());
    }

    void failedUpdateKeepsRunning() {
        PageRig rig;
        SimBoard board({"--model", "water", "--bootloader", "--no-pacing"});
        QVERIFY(board.ok());
        rig.chooseBoard(kText);
        // The second record lands on the first: the flash keeps the AND of both.
        const QString path = rig.writeFile(QStringLiteral("overlap.mot"),
                                           admintest::motFile({{0x0100, {0xFF, 0x0F, 0xF0, 0x55}},
                                                               {0x0100, {0xFF, 0x0F, 0x0F, 0xAA}},
                                                               {0x0200, admintest::pattern(64, 9)}}));
        FileDialogAnswerer dialog(path);
        hbtest::BoxAnswerer answerer;
        const int code = runInEventLoop([&] { rig.child<QPushButton>("firmwareUpdateButton")->click(); }, 7);
        QCOMPARE(code, 7); // the program keeps running
        QCOMPARE(answerer.seen.size(), std::size_t{1});
        QCOMPARE(answerer.seen[0].icon, QMessageBox::Warning);
        QCOMPARE(answerer.seen[0].title, QStringLiteral("Hearth Bench"));
        QCOMPARE(answerer.seen[0].text, QStringLiteral("Operation failed!. Repeat\nWriting error counter: 1\n"
                                                       "First differing address: 0x000102"));
        QCOMPARE(rig.child<QLCDNumber>("writeErrorLcdNumber")->intValue(), 1);
        QCOMPARE(shown(rig.child<QLabel>("confirmationUpdateFWLabel")), icon(QStringLiteral("caution.png")));
        QCOMPARE(board.frames(admintest::kWriteFlash).size(), std::size_t{3});
        QVERIFY(!rig.page.busy());
        QVERIFY(rig.child<QPushButton>("firmwareUpdateButton")->isEnabled());
        QVERIFY(!rig.link.isOpen());
    }
};

QTEST_MAIN(AdminPages)
#include "tst_admin_pages.moc"
