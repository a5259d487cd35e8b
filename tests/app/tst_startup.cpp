// Start-up: application identity, window title, settings and their defaults, the text table and
// language files, the language list and language switching.
#include "app/settings.h"
#include "app/texts.h"
#include "board/serialthread.h"
#include "helpers.h"
#include "program.h"
#include "ui/hearthbench.h"

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>

class StartupTest : public QObject {
    Q_OBJECT

    hbtest::Sandbox *sandbox = nullptr;

    static QByteArray englishFile() {
        QFile file(QStringLiteral(HB_SOURCE_DIR "/lang/English.lng"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static QByteArray italianFile() {
        QFile file(QStringLiteral(HB_SOURCE_DIR "/lang/Italiano.lng"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static void activate(QComboBox *box, const QString &text) {
        const int index = box->findText(text);
        QVERIFY2(index >= 0, qPrintable(text));
        box->setCurrentIndex(index);
        emit box->textActivated(text);
    }

private slots:
    void initTestCase() { setApplicationIdentity(); }
    void init() {
        sandbox = new hbtest::Sandbox;
        sandbox->clearSettings();
        useDefaultTexts();
    }
    void cleanup() {
        delete sandbox;
        sandbox = nullptr;
    }

    void identityAndTitle() {
        hbtest::Program program;
        HearthBench &window = program.window;
        SerialThread &thread = program.thread;
        QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Corvane Controls s.r.l."));
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Hearth Bench"));
        QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral("1.5.3 Duskova"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Hearth Bench 1.5.3 Duskova"));
        QCOMPARE(window.size(), QSize(808, 494));
        QCOMPARE(window.currentPage(), Page::Home);
        QCOMPARE(hbtest::child<QStackedWidget>(window, "stackedWidget")->count(), 7);
        QVERIFY(thread.isRunning());
        QCOMPARE(thread.mode(), PollMode::Idle);
        QVERIFY(!program.link.isOpen());
        QVERIFY(!program.session.pagesBuilt());
        QCOMPARE(program.session.highlight().red, 237);
        QCOMPARE(program.session.highlight().green, 46);
        QCOMPARE(program.session.highlight().blue, 41);
        QVERIFY(!hbtest::child<QToolButton>(window, "downParB")->isEnabled());
        QVERIFY(!window.windowIcon().isNull());
        QVERIFY(!hbtest::child<QToolButton>(window, "testHWToolButton")->icon().isNull());
    }

    void defaultsAndPassword() {
        QSettings().setValue("password", "changed");
        hbtest::Program program;
        HearthBench &window = program.window;
        QSettings settings;
        QCOMPARE(settings.value("password").toString(), QStringLiteral("hb7351"));
        QCOMPARE(hbtest::child<QComboBox>(window, "baudRateComboBox")->currentText(), QStringLiteral("9600"));
        QCOMPARE(hbtest::child<QSpinBox>(window, "delaySpinBox")->value(), 20);
        QCOMPARE(hbtest::child<QSpinBox>(window, "delaySpinBox")->minimum(), 10);
        QCOMPARE(hbtest::child<QSpinBox>(window, "delaySpinBox")->maximum(), 900000000);
        QCOMPARE(hbtest::child<QSpinBox>(window, "delaySpinBox")->singleStep(), 10);
        QCOMPARE(hbtest::child<QComboBox>(window, "comComboBox")->currentIndex(), -1);
        const LinkSettings link = readLinkSettings();
        QCOMPARE(link.com, 0);
        QCOMPARE(link.baudRate, 9600);
        QCOMPARE(link.delay, 20);
        QCOMPARE(int(link.byteTimeout()), 2);
        QCOMPARE(defaultMotFileName(), QStringLiteral("fw/Quentro_Glowpad.mot"));
        QCOMPARE(defaultParamsFileName(StoveModel::Unknown), QStringLiteral("par/default (unknown).prm"));
        QCOMPARE(defaultParamsFileName(StoveModel::AirDucted),
                 QStringLiteral("par/default (AIR - DUCTED).prm"));
    }

    void storedSettingsSelectBoxes() {
        {
            QSettings settings;
            settings.setValue("baudRate", 19200);
            settings.setValue("delay", 150);
            settings.setValue("updateFwLastBoard", "Touch Panel Water/Air");
        }
        hbtest::Program program;
        HearthBench &window = program.window;
        QCOMPARE(hbtest::child<QComboBox>(window, "baudRateComboBox")->currentText(),
                 QStringLiteral("19200"));
        QCOMPARE(hbtest::child<QSpinBox>(window, "delaySpinBox")->value(), 150);
        QCOMPARE(hbtest::child<QComboBox>(window, "modelComboBox")->currentText(),
                 QStringLiteral("Touch Panel Water/Air"));
        QCOMPARE(int(readLinkSettings().byteTimeout()), 1);
        // The stored value is looked up as text: a spelling the box does not list selects nothing.
        for (const char *stored : {"12345", "09600", " 9600"}) {
            QSettings().setValue("baudRate", stored);
            HearthBench other(program.session, nullptr);
            QCOMPARE(hbtest::child<QComboBox>(other, "baudRateComboBox")->currentIndex(), -1);
        }
    }

    void writeProgramSettingsBySender() {
        hbtest::Program program;
        HearthBench &window = program.window;
        hbtest::child<QComboBox>(window, "comComboBox")->addItems({"COM1", "COM7", "COM3"});
        activate(hbtest::child<QComboBox>(window, "comComboBox"), "COM3");
        QCOMPARE(QSettings().value("com").toInt(), 2);
        hbtest::child<QComboBox>(window, "comComboBox")->addItem("LPT1");
        activate(hbtest::child<QComboBox>(window, "comComboBox"), "LPT1");
        QCOMPARE(QSettings().value("com").toInt(), -1);
        activate(hbtest::child<QComboBox>(window, "baudRateComboBox"), "19200");
        QCOMPARE(QSettings().value("baudRate").toInt(), 19200);
        hbtest::child<QSpinBox>(window, "delaySpinBox")->setValue(70);
        QCOMPARE(QSettings().value("delay").toInt(), 70);
        activate(hbtest::child<QComboBox>(window, "modelComboBox"), "Basic");
        QCOMPARE(QSettings().value("updateFwLastBoard").toString(), QStringLiteral("Basic"));
    }

    void builtInTexts() {
        QCOMPARE(defaultTexts.size(), 300);
        QCOMPARE(defaultTexts.at(0), QStringLiteral("Elapsed time"));
        QCOMPARE(defaultTexts.at(13), QStringLiteral("Enable pellet thermostat "));
        QCOMPARE(defaultTexts.at(61), QStringLiteral("Enter a correct value for "));
        QCOMPARE(defaultTexts.at(219), QStringLiteral("Cochlea ON time -3  "));
        QCOMPARE(defaultTexts.at(232), QStringLiteral("Management extractor mode "));
        QCOMPARE(defaultTexts.at(80), defaultTexts.at(3));
        QCOMPARE(defaultTexts.at(258), QStringLiteral("Unwritten bytes counter"));
        for (int i : {133, 134, 135, 136, 267, 299})
            QVERIFY(defaultTexts.at(i).isEmpty());
        // The shipped English file gives exactly the built-in table.
        TextTable table;
        QVERIFY(parseLanguageText(englishFile(), table));
        QCOMPARE(table.size(), 300);
        QCOMPARE(table, defaultTexts);
        // The Italian file is complete: 300 lines, a translation wherever English has a text.
        const QByteArray italian = italianFile();
        QCOMPARE(italian.count('\n'), 300);
        QVERIFY(parseLanguageText(italian, table));
        QCOMPARE(table.size(), 300);
        for (int i = 0; i < 300; ++i)
            QCOMPARE(table.at(i).isEmpty(), defaultTexts.at(i).isEmpty());
    }

    void languageFileParsing() {
        TextTable table;
        QByteArray content;
        for (int i = 0; i < 48; ++i)
            content += QByteArray::number(i) + ";x\n";
        content += "48;Velocità\n49;a;b;Grafici\n50 no separator\n";
        QVERIFY(parseLanguageText(content, table));
        QCOMPARE(table.at(48), QStringLiteral("Velocità"));
        QCOMPARE(table.at(49), QStringLiteral("Grafici"));
        QCOMPARE(table.at(50), QStringLiteral("50 no separator"));
        // Completed from the built-in texts after the file's last line.
        QCOMPARE(table.size(), 300);
        QCOMPARE(table.at(51), defaultTexts.at(51));
        // CR LF line ends are stripped; blanks are kept.
        QVERIFY(parseLanguageText("0; a b \r\n1;\r\n", table));
        QCOMPARE(table.at(0), QStringLiteral(" a b "));
        QCOMPARE(table.at(1), QString());
        // A file in the Western Windows code page is read as Latin-1.
        QVERIFY(parseLanguageText("0;Velocit\xe0\n", table));
        QCOMPARE(table.at(0), QStringLiteral("Velocità"));
        // Too large to be a language file.
        QVERIFY(!parseLanguageText(QByteArray(2 << 20, 'a'), table));
    }

    void loadLanguageFileResults() {
        TextTable *before = texts;
        QVERIFY(!loadLanguageFile(QStringLiteral("lang/Missing.lng")));
        QCOMPARE(texts, before);
        sandbox->writeLanguage("Test.lng", "0;Tempo\n");
        QVERIFY(loadLanguageFile(languageFilePath("Test")));
        QVERIFY(texts != before);
        QCOMPARE(textAt(0), QStringLiteral("Tempo"));
        QCOMPARE(textAt(1), QStringLiteral("Setup"));
        QCOMPARE(textAt(5000), QString());
    }

    void startupTextsFollowStoredLanguage() {
        sandbox->writeLanguage("Italiano.lng", italianFile());
        QSettings().setValue("language", "Italiano");
        loadStartupTexts();
        QCOMPARE(textAt(159), QStringLiteral("Vuoi uscire?"));
        QSettings().setValue("language", "Klingon");
        loadStartupTexts();
        QCOMPARE(textAt(159), QStringLiteral("Do you want to quit?"));
        QCOMPARE(*texts, defaultTexts);
    }

    void languageListAndFallback() {
        // Without a "lang" folder: empty list, English texts.
        {
            hbtest::Program program;
            HearthBench &window = program.window;
            QCOMPARE(hbtest::child<QComboBox>(window, "languageComboBox")->count(), 0);
            QCOMPARE(hbtest::child<QToolButton>(window, "setupToolButton")->text(), QStringLiteral("SETUP"));
        }
        sandbox->writeLanguage("English.lng", englishFile());
        sandbox->writeLanguage("Italiano.lng", italianFile());
        sandbox->writeLanguage("deutsch.v2.lng", "0;Zeit\n");
        sandbox->writeLanguage("notes.txt", "x");
        QSettings().setValue("language", "Italiano");
        hbtest::Program program;
        HearthBench &window = program.window;
        QComboBox *box = hbtest::child<QComboBox>(window, "languageComboBox");
        QCOMPARE(box->count(), 3);
        QCOMPARE(box->itemText(0), QStringLiteral("deutsch.v2"));
        QCOMPARE(box->itemText(1), QStringLiteral("English"));
        QCOMPARE(box->itemText(2), QStringLiteral("Italiano"));
        QCOMPARE(box->currentText(), QStringLiteral("Italiano"));
    }

    void installedLanguageFolder() {
        // "lang" below the working directory first, then the installed data folder.
        const QStringList folders = languageFolders();
        QCOMPARE(folders.size(), 2);
        QCOMPARE(folders.first(), QStringLiteral("lang"));
        QVERIFY(QDir::isAbsolutePath(folders.last()));
        QVERIFY(folders.last().endsWith(QStringLiteral("/hearthbench/lang")));

        // A program started outside any "lang" folder finds the installed files alone.
        QTemporaryDir dataDir;
        const auto install = [&](const QString &name, const QByteArray &content) {
            QFile file(dataDir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        };
        install("English.lng", "0;Installed time\n");
        install("Italiano.lng", "0;Tempo installato\n");
        install("zulu.lng", "0;z\n");
        const QStringList both{folders.first(), dataDir.path()};
        QCOMPARE(availableLanguages(both), (QStringList{"English", "Italiano", "zulu"}));
        QVERIFY(loadLanguageFile(languageFilePath("Italiano", both)));
        QCOMPARE(textAt(0), QStringLiteral("Tempo installato"));

        // With both: every name once, in name order ignoring case; the working folder's file wins.
        sandbox->writeLanguage("Italiano.lng", "0;Tempo locale\n");
        sandbox->writeLanguage("alpha.lng", "0;a\n");
        QCOMPARE(availableLanguages(both), (QStringList{"alpha", "English", "Italiano", "zulu"}));
        QCOMPARE(languageFilePath("Italiano", both), QStringLiteral("lang/Italiano.lng"));
        QVERIFY(loadLanguageFile(languageFilePath("Italiano", both)));
        QCOMPARE(textAt(0), QStringLiteral("Tempo locale"));
        QVERIFY(loadLanguageFile(languageFilePath("English", both)));
        QCOMPARE(textAt(0), QStringLiteral("Installed time"));
        // A language found nowhere is looked for in the working folder, and is missing there.
        QCOMPARE(languageFilePath("Klingon", both), QStringLiteral("lang/Klingon.lng"));
        QVERIFY(!loadLanguageFile(languageFilePath("Klingon", both)));
        QCOMPARE(textAt(0), QStringLiteral("Installed time"));
    }

    void languageSwitching() {
        sandbox->writeLanguage("English.lng", englishFile());
        sandbox->writeLanguage("Italiano.lng", italianFile());
        sandbox->writeLanguage("Gone.lng", "0;x\n");
        hbtest::Program program;
        HearthBench &window = program.window;
        QCOMPARE(hbtest::child<QLabel>(window, "baudRateLabel")->text(), QStringLiteral("BAUD RATE"));
        QCOMPARE(hbtest::child<QLabel>(window, "modelLabel")->text(), QStringLiteral("Model:"));

        activate(hbtest::child<QComboBox>(window, "languageComboBox"), "Italiano");
        QCOMPARE(QSettings().value("language").toString(), QStringLiteral("Italiano"));
        const QString italianModel = textAt(96) + QStringLiteral(":");
        QVERIFY(italianModel != QStringLiteral("Model:"));
        // Qt's own texts (the buttons of message boxes) follow the language too.
        const auto yesText = [] {
            QMessageBox box;
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            return box.button(QMessageBox::Yes)->text().remove(QLatin1Char('&'));
        };
        QCOMPARE(yesText(), QString::fromUtf8("S\u00ec"));
        QCOMPARE(hbtest::child<QLabel>(window, "modelLabel")->text(), italianModel);
        QCOMPARE(hbtest::child<QToolButton>(window, "setupToolButton")->text(), textAt(1).toUpper());

        // Second switch to a file that has disappeared: texts stay Italian, one colon each.
        QFile::remove(sandbox->workPath() + "/lang/Gone.lng");
        activate(hbtest::child<QComboBox>(window, "languageComboBox"), "Gone");
        QCOMPARE(QSettings().value("language").toString(), QStringLiteral("Gone"));
        QCOMPARE(hbtest::child<QLabel>(window, "modelLabel")->text(), italianModel);
        QCOMPARE(hbtest::child<QLabel>(window, "versionLabelDebug")->text().count(QLatin1Char(':')), 1);
        QVERIFY(hbtest::child<QLabel>(window, "revisionLabel")->text().endsWith(QLatin1Char(':')));
        QVERIFY(!hbtest::child<QLabel>(window, "revisionLabel")->text().endsWith(QStringLiteral("::")));

        activate(hbtest::child<QComboBox>(window, "languageComboBox"), "English");
        QCOMPARE(yesText(), QStringLiteral("Yes"));
        QCOMPARE(hbtest::child<QLabel>(window, "modelLabel")->text(), QStringLiteral("Model:"));
        QCOMPARE(hbtest::child<QLabel>(window, "gapLabel")->text(), QStringLiteral("Gap [mm:ss]"));
        QCOMPARE(hbtest::child<QToolButton>(window, "memoButton")->toolTip(),
                 QStringLiteral("Stores data on the board"));
        QCOMPARE(hbtest::child<QGroupBox>(window, "inputGroupBox")->title(), QStringLiteral("Inputs"));
        QCOMPARE(hbtest::child<QGroupBox>(window, "outputGroupBox")->title(), QStringLiteral("Releases"));
        QCOMPARE(hbtest::child<QToolButton>(window, "configToolButton")->text(), QStringLiteral("ADMIN"));
        QCOMPARE(hbtest::child<QToolButton>(window, "graphicsToolButton")->text(),
                 QStringLiteral("GRAPHICS"));
        QCOMPARE(hbtest::child<QToolButton>(window, "homeBSetup")->text(), QStringLiteral("ESC"));
        QCOMPARE(hbtest::child<QLabel>(window, "delayLabel")->text(), QStringLiteral("DELAY [ms]"));
        QCOMPARE(hbtest::child<QPushButton>(window, "parBDebug")->text(), QStringLiteral("PARAMETERS"));
        QCOMPARE(hbtest::child<QPushButton>(window, "graphicsBDebug")->text(), QStringLiteral("GRAFICI"));
        QCOMPARE(hbtest::child<QLabel>(window, "writeErrorLabel")->text(),
                 QStringLiteral("Writing error counter"));
    }

    void markupInLanguageFileStaysText() {
        sandbox->writeLanguage("Markup.lng", "0;x\n1;<b>Bold</b>\n");
        QVERIFY(loadLanguageFile(languageFilePath("Markup")));
        QVERIFY(texts->size() >= 300);
        QCOMPARE(textAt(1), QStringLiteral("<b>Bold</b>"));
        texts->replace(96, QStringLiteral("<i>Modello</i>"));
        texts->replace(75, QStringLiteral("<b>Memo</b>"));
        hbtest::Program program;
        HearthBench &window = program.window;
        QCOMPARE(hbtest::child<QLabel>(window, "modelLabel")->textFormat(), Qt::PlainText);
        QCOMPARE(hbtest::child<QLabel>(window, "modelLabel")->text(), QStringLiteral("<i>Modello</i>:"));
        QVERIFY(hbtest::child<QToolButton>(window, "memoButton")
                    ->toolTip()
                    .contains(QStringLiteral("&lt;b&gt;Memo")));
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
