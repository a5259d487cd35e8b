// Start-up: application identity, window title, settings and their defaults, the text table and
// language files, the language list and language switching.
#include "app/settings.h"
#include "app/texts.h"
#include "board/serialthread.h"
#include "helpers.h"
#include "ui/hearthbench.h"
#include "ui_hearthbench.h"

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QSpinBox>
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
        SerialThread thread;
        HearthBench window(&thread);
        QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Corvane Controls s.r.l."));
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Hearth Bench"));
        QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral("1.5.3 Duskova"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Hearth Bench 1.5.3 Duskova"));
        QCOMPARE(window.size(), QSize(808, 494));
        QCOMPARE(window.form()->stackedWidget->currentIndex(), 0);
        QCOMPARE(window.form()->stackedWidget->count(), 7);
        QVERIFY(thread.isRunning());
        QCOMPARE(thread.mode(), 0);
        QVERIFY(!window.isPortOpen());
        QVERIFY(!window.arePagesBuilt());
        QCOMPARE(window.highlight()[0], 237);
        QCOMPARE(window.highlight()[1], 46);
        QCOMPARE(window.highlight()[2], 41);
        QVERIFY(!window.form()->downParB->isEnabled());
        QVERIFY(!window.windowIcon().isNull());
        QVERIFY(!window.form()->testHWToolButton->icon().isNull());
    }

    void defaultsAndPassword() {
        QSettings().setValue("password", "changed");
        SerialThread thread;
        HearthBench window(&thread);
        QSettings settings;
        QCOMPARE(settings.value("password").toString(), QStringLiteral("hb7351"));
        const Ui::HearthBenchClass *ui = window.form();
        QCOMPARE(ui->baudRateComboBox->currentText(), QStringLiteral("9600"));
        QCOMPARE(ui->delaySpinBox->value(), 20);
        QCOMPARE(ui->delaySpinBox->minimum(), 10);
        QCOMPARE(ui->delaySpinBox->maximum(), 900000000);
        QCOMPARE(ui->delaySpinBox->singleStep(), 10);
        QCOMPARE(ui->comComboBox->currentIndex(), -1);
        const LinkSettings link = readLinkSettings();
        QCOMPARE(link.com, 0);
        QCOMPARE(link.baudRate, 9600);
        QCOMPARE(link.delay, 20);
        QCOMPARE(int(link.byteTimeout()), 2);
        QCOMPARE(defaultMotFileName(), QStringLiteral("fw/Quentro_Glowpad.mot"));
        currentModel = 0;
        QCOMPARE(defaultParamsFileName(), QStringLiteral("par/default (unknown).prm"));
        currentModel = 3;
        QCOMPARE(defaultParamsFileName(), QStringLiteral("par/default (AIR - DUCTED).prm"));
        currentModel = 0;
    }

    void storedSettingsSelectBoxes() {
        {
            QSettings settings;
            settings.setValue("baudRate", 19200);
            settings.setValue("delay", 150);
            settings.setValue("updateFwLastBoard", "Touch Panel Water/Air");
        }
        SerialThread thread;
        HearthBench window(&thread);
        QCOMPARE(window.form()->baudRateComboBox->currentText(), QStringLiteral("19200"));
        QCOMPARE(window.form()->delaySpinBox->value(), 150);
        QCOMPARE(window.form()->modelComboBox->currentText(), QStringLiteral("Touch Panel Water/Air"));
        QCOMPARE(int(readLinkSettings().byteTimeout()), 1);
        // The stored value is looked up as text: a spelling the box does not list selects nothing.
        for (const char *stored : {"12345", "09600", " 9600"}) {
            QSettings().setValue("baudRate", stored);
            HearthBench other(nullptr);
            QCOMPARE(other.form()->baudRateComboBox->currentIndex(), -1);
        }
    }

    void writeProgramSettingsBySender() {
        SerialThread thread;
        HearthBench window(&thread);
        Ui::HearthBenchClass *ui = window.form();
        ui->comComboBox->addItems({"COM1", "COM7", "COM3"});
        activate(ui->comComboBox, "COM3");
        QCOMPARE(QSettings().value("com").toInt(), 2);
        ui->comComboBox->addItem("LPT1");
        activate(ui->comComboBox, "LPT1");
        QCOMPARE(QSettings().value("com").toInt(), -1);
        activate(ui->baudRateComboBox, "19200");
        QCOMPARE(QSettings().value("baudRate").toInt(), 19200);
        ui->delaySpinBox->setValue(70);
        QCOMPARE(QSettings().value("delay").toInt(), 70);
        activate(ui->modelComboBox, "Basic");
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
            SerialThread thread;
            HearthBench window(&thread);
            QCOMPARE(window.form()->languageComboBox->count(), 0);
            QCOMPARE(window.form()->setupToolButton->text(), QStringLiteral("SETUP"));
        }
        sandbox->writeLanguage("English.lng", englishFile());
        sandbox->writeLanguage("Italiano.lng", italianFile());
        sandbox->writeLanguage("deutsch.v2.lng", "0;Zeit\n");
        sandbox->writeLanguage("notes.txt", "x");
        QSettings().setValue("language", "Italiano");
        SerialThread thread;
        HearthBench window(&thread);
        QComboBox *box = window.form()->languageComboBox;
        QCOMPARE(box->count(), 3);
        QCOMPARE(box->itemText(0), QStringLiteral("deutsch.v2"));
        QCOMPARE(box->itemText(1), QStringLiteral("English"));
        QCOMPARE(box->itemText(2), QStringLiteral("Italiano"));
        QCOMPARE(box->currentText(), QStringLiteral("Italiano"));
    }

    void languageSwitching() {
        sandbox->writeLanguage("English.lng", englishFile());
        sandbox->writeLanguage("Italiano.lng", italianFile());
        sandbox->writeLanguage("Gone.lng", "0;x\n");
        SerialThread thread;
        HearthBench window(&thread);
        Ui::HearthBenchClass *ui = window.form();
        QCOMPARE(ui->baudRateLabel->text(), QStringLiteral("BAUD RATE"));
        QCOMPARE(ui->modelLabel->text(), QStringLiteral("Model:"));

        activate(ui->languageComboBox, "Italiano");
        QCOMPARE(QSettings().value("language").toString(), QStringLiteral("Italiano"));
        const QString italianModel = textAt(96) + QStringLiteral(":");
        QVERIFY(italianModel != QStringLiteral("Model:"));
        QCOMPARE(ui->modelLabel->text(), italianModel);
        QCOMPARE(ui->setupToolButton->text(), textAt(1).toUpper());

        // Second switch to a file that has disappeared: texts stay Italian, one colon each.
        QFile::remove(sandbox->workPath() + "/lang/Gone.lng");
        activate(ui->languageComboBox, "Gone");
        QCOMPARE(QSettings().value("language").toString(), QStringLiteral("Gone"));
        QCOMPARE(ui->modelLabel->text(), italianModel);
        QCOMPARE(ui->versionLabelDebug->text().count(QLatin1Char(':')), 1);
        QVERIFY(ui->revisionLabel->text().endsWith(QLatin1Char(':')));
        QVERIFY(!ui->revisionLabel->text().endsWith(QStringLiteral("::")));

        activate(ui->languageComboBox, "English");
        QCOMPARE(ui->modelLabel->text(), QStringLiteral("Model:"));
        QCOMPARE(ui->gapLabel->text(), QStringLiteral("Gap [mm:ss]"));
        QCOMPARE(ui->memoButton->toolTip(), QStringLiteral("Stores data on the board"));
        QCOMPARE(ui->inputGroupBox->title(), QStringLiteral("Inputs"));
        QCOMPARE(ui->outputGroupBox->title(), QStringLiteral("Releases"));
        QCOMPARE(ui->configToolButton->text(), QStringLiteral("ADMIN"));
        QCOMPARE(ui->graphicsToolButton->text(), QStringLiteral("GRAPHICS"));
        QCOMPARE(ui->homeBSetup->text(), QStringLiteral("ESC"));
        QCOMPARE(ui->delayLabel->text(), QStringLiteral("DELAY [ms]"));
        QCOMPARE(ui->parBDebug->text(), QStringLiteral("PARAMETERS"));
        QCOMPARE(ui->graphicsBDebug->text(), QStringLiteral("GRAFICI"));
        QCOMPARE(ui->writeErrorLabel->text(), QStringLiteral("Writing error counter"));
    }

    void markupInLanguageFileStaysText() {
        sandbox->writeLanguage("Markup.lng", "0;x\n1;<b>Bold</b>\n");
        QVERIFY(loadLanguageFile(languageFilePath("Markup")));
        QVERIFY(texts->size() >= 300);
        QCOMPARE(textAt(1), QStringLiteral("<b>Bold</b>"));
        texts->replace(96, QStringLiteral("<i>Modello</i>"));
        texts->replace(75, QStringLiteral("<b>Memo</b>"));
        SerialThread thread;
        HearthBench window(&thread);
        QCOMPARE(window.form()->modelLabel->textFormat(), Qt::PlainText);
        QCOMPARE(window.form()->modelLabel->text(), QStringLiteral("<i>Modello</i>:"));
        QVERIFY(window.form()->memoButton->toolTip().contains(QStringLiteral("&lt;b&gt;Memo")));
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
