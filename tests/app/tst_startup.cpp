// Start-up: the window as it opens, settings and their defaults, the text table and language files,
// the language list and language switching.
#include "app/settings.h"
#include "app/texts.h"
#include "board/serialthread.h"
#include "helpers.h"
#include "program.h"

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>

using hbtest::activate;
using hbtest::child;
using hbtest::labelText;

namespace {
QByteArray shipped(const char *name) {
    QFile file(QStringLiteral(HB_SOURCE_DIR "/lang/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

class StartupTest : public QObject {
    Q_OBJECT

    hbtest::Sandbox *sandbox = nullptr;

private slots:
    void initTestCase() { setApplicationIdentity(); }
    void init() {
        sandbox = new hbtest::Sandbox;
        sandbox->clearSettings();
        useDefaultTexts();
    }
    void cleanup() { delete sandbox; }

    // The window opens on the home page with the polling thread idle and the link closed; the stored
    // password is put back to the default; the settings fill the setup page's boxes.
    void openingAndSettings() {
        QSettings().setValue("password", "changed");
        {
            hbsupport::Program program;
            QCOMPARE(program.window().windowTitle(), QStringLiteral("Hearth Bench 1.5.3 Duskova"));
            QCOMPARE(program.window().currentPage(), Page::Home);
            QVERIFY(program.thread().isRunning());
            QCOMPARE(program.thread().mode(), PollMode::Idle);
            QVERIFY(!program.link().isOpen());
            QVERIFY(!program.window().windowIcon().isNull());
            QVERIFY(!child<QToolButton>(program.window(), "testHWToolButton")->icon().isNull());
            QCOMPARE(QSettings().value("password").toString(), QStringLiteral("hb7351"));
            QCOMPARE(child<QComboBox>(program.window(), "baudRateComboBox")->currentText(),
                     QStringLiteral("9600"));
            QCOMPARE(child<QSpinBox>(program.window(), "delaySpinBox")->value(), 20);
            QCOMPARE(child<QComboBox>(program.window(), "comComboBox")->currentIndex(), -1);
        }
        const LinkSettings defaults = readLinkSettings();
        QCOMPARE((QList<int>{defaults.com, defaults.baudRate, defaults.delay, int(defaults.byteTimeout())}),
                 (QList<int>{0, 9600, 20, 2}));

        {
            QSettings settings;
            settings.setValue("baudRate", 19200);
            settings.setValue("delay", 150);
            settings.setValue("updateFwLastBoard", "Touch Panel Water/Air");
        }
        hbsupport::Program program;
        QCOMPARE(child<QComboBox>(program.window(), "baudRateComboBox")->currentText(),
                 QStringLiteral("19200"));
        QCOMPARE(child<QSpinBox>(program.window(), "delaySpinBox")->value(), 150);
        QCOMPARE(child<QComboBox>(program.window(), "modelComboBox")->currentText(),
                 QStringLiteral("Touch Panel Water/Air"));
        QCOMPARE(int(readLinkSettings().byteTimeout()), 1);
        // The stored value is looked up as text: a spelling the box does not list selects nothing.
        for (const char *stored : {"12345", "09600", " 9600"}) {
            QSettings().setValue("baudRate", stored);
            HearthBench other(program.session(), nullptr);
            QCOMPARE(child<QComboBox>(other, "baudRateComboBox")->currentIndex(), -1);
        }
    }

    void setupBoxesStoreTheirSettings() {
        hbsupport::Program program;
        child<QComboBox>(program.window(), "comComboBox")->addItems({"COM1", "COM7", "COM3", "LPT1"});
        activate(program.window(), "comComboBox", "COM3");
        QCOMPARE(QSettings().value("com").toInt(), 2);
        activate(program.window(), "comComboBox", "LPT1");
        QCOMPARE(QSettings().value("com").toInt(), -1);
        activate(program.window(), "baudRateComboBox", "19200");
        QCOMPARE(QSettings().value("baudRate").toInt(), 19200);
        child<QSpinBox>(program.window(), "delaySpinBox")->setValue(70);
        QCOMPARE(QSettings().value("delay").toInt(), 70);
        activate(program.window(), "modelComboBox", "Basic");
        QCOMPARE(QSettings().value("updateFwLastBoard").toString(), QStringLiteral("Basic"));
    }

    // The shipped English file gives exactly the built-in table; the Italian one is complete, a
    // translation wherever English has a text. The classic entries left for language files stay
    // empty (259 and 260 name two BASIC parameters).
    void shippedLanguageFiles() {
        TextTable table;
        QVERIFY(parseLanguageText(shipped("English.lng"), table));
        QCOMPARE(table, defaultTexts);
        QCOMPARE(defaultTexts.size(), textCount);
        for (int i = 0; i < classicTextCount; ++i)
            QCOMPARE(defaultTexts.at(i).isEmpty(), (i >= 133 && i <= 136) || i >= 259);
        QVERIFY(!defaultTexts.at(classicTextCount).isEmpty());
        const QByteArray italian = shipped("Italiano.lng");
        QCOMPARE(italian.count('\n'), textCount);
        QVERIFY(parseLanguageText(italian, table));
        QCOMPARE(table.size(), textCount);
        for (int i = 0; i < textCount; ++i)
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
        QCOMPARE(table.size(), textCount);
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

    void loadingLanguages() {
        TextTable *before = texts;
        QVERIFY(!loadLanguageFile(QStringLiteral("lang/Missing.lng")));
        QCOMPARE(texts, before);
        sandbox->writeLanguage("Test.lng", "0;Tempo\n");
        QVERIFY(loadLanguageFile(languageFilePath("Test")));
        QCOMPARE(textAt(Text::ElapsedTime), QStringLiteral("Tempo"));
        QCOMPARE(textAt(Text::Setup), QStringLiteral("Setup"));
        QCOMPARE(textAt(textCount), QString());
        QCOMPARE(textAt(Text::None), QString());
        // At start-up, the stored language; English when its file is missing.
        sandbox->installShippedLanguages();
        QSettings().setValue("language", "Italiano");
        loadStartupTexts();
        QCOMPARE(textAt(Text::QuitQuestion), QStringLiteral("Vuoi uscire?"));
        QSettings().setValue("language", "Klingon");
        loadStartupTexts();
        QCOMPARE(*texts, defaultTexts);
    }

    void languageListAndFallback() {
        // Without a "lang" folder: empty list, English texts.
        {
            hbsupport::Program program;
            QCOMPARE(child<QComboBox>(program.window(), "languageComboBox")->count(), 0);
            QCOMPARE(child<QToolButton>(program.window(), "setupToolButton")->text(),
                     QStringLiteral("SETUP"));
        }
        sandbox->installShippedLanguages();
        sandbox->writeLanguage("deutsch.v2.lng", "0;Zeit\n");
        sandbox->writeLanguage("notes.txt", "x");
        QSettings().setValue("language", "Italiano");
        hbsupport::Program program;
        QComboBox *box = child<QComboBox>(program.window(), "languageComboBox");
        QCOMPARE((QStringList{box->itemText(0), box->itemText(1), box->itemText(2)}),
                 (QStringList{"deutsch.v2", "English", "Italiano"}));
        QCOMPARE(box->count(), 3);
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
        for (const auto &[name, content] :
             {std::pair{"English.lng", "0;Installed time\n"},
              std::pair{"Italiano.lng", "0;Tempo installato\n"}, std::pair{"zulu.lng", "0;z\n"}}) {
            QFile file(dataDir.filePath(QLatin1String(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        const QStringList both{folders.first(), dataDir.path()};
        QCOMPARE(availableLanguages(both), (QStringList{"English", "Italiano", "zulu"}));
        QVERIFY(loadLanguageFile(languageFilePath("Italiano", both)));
        QCOMPARE(textAt(Text::ElapsedTime), QStringLiteral("Tempo installato"));

        // With both: every name once, in name order ignoring case; the working folder's file wins.
        sandbox->writeLanguage("Italiano.lng", "0;Tempo locale\n");
        sandbox->writeLanguage("alpha.lng", "0;a\n");
        QCOMPARE(availableLanguages(both), (QStringList{"alpha", "English", "Italiano", "zulu"}));
        QVERIFY(loadLanguageFile(languageFilePath("Italiano", both)));
        QCOMPARE(textAt(Text::ElapsedTime), QStringLiteral("Tempo locale"));
        QVERIFY(loadLanguageFile(languageFilePath("English", both)));
        QCOMPARE(textAt(Text::ElapsedTime), QStringLiteral("Installed time"));
        // A language found nowhere is looked for in the working folder, and is missing there.
        QCOMPARE(languageFilePath("Klingon", both), QStringLiteral("lang/Klingon.lng"));
        QVERIFY(!loadLanguageFile(languageFilePath("Klingon", both)));
        QCOMPARE(textAt(Text::ElapsedTime), QStringLiteral("Installed time"));
    }

    void languageSwitching() {
        sandbox->installShippedLanguages();
        sandbox->writeLanguage("Gone.lng", "0;x\n");
        hbsupport::Program program;
        const QObject &window = program.window();
        QCOMPARE(labelText(window, "modelLabel"), QStringLiteral("Model:"));
        // Qt's own texts (the buttons of message boxes) follow the language too.
        const auto yesText = [] {
            QMessageBox box;
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            return box.button(QMessageBox::Yes)->text().remove(QLatin1Char('&'));
        };

        activate(window, "languageComboBox", "Italiano");
        QCOMPARE(QSettings().value("language").toString(), QStringLiteral("Italiano"));
        QCOMPARE(yesText(), QString::fromUtf8("S\u00ec"));
        QCOMPARE(labelText(window, "modelLabel"), QStringLiteral("Modello:"));
        QCOMPARE(child<QToolButton>(window, "setupToolButton")->text(), textAt(Text::Setup).toUpper());

        // Second switch to a file that has disappeared: texts stay Italian, one colon each.
        QFile::remove(sandbox->workPath() + "/lang/Gone.lng");
        activate(window, "languageComboBox", "Gone");
        QCOMPARE(QSettings().value("language").toString(), QStringLiteral("Gone"));
        QCOMPARE(labelText(window, "modelLabel"), QStringLiteral("Modello:"));
        QCOMPARE(labelText(window, "versionLabelDebug").count(QLatin1Char(':')), 1);

        activate(window, "languageComboBox", "English");
        QCOMPARE(yesText(), QStringLiteral("Yes"));
        QCOMPARE(labelText(window, "modelLabel"), QStringLiteral("Model:"));
        QCOMPARE(child<QToolButton>(window, "memoButton")->toolTip(),
                 QStringLiteral("Stores data on the board"));
        QCOMPARE(child<QGroupBox>(window, "outputGroupBox")->title(), QStringLiteral("Releases"));
        QCOMPARE(child<QPushButton>(window, "parBDebug")->text(), QStringLiteral("PARAMETERS"));
    }

    void markupInLanguageFileStaysText() {
        sandbox->writeLanguage("Markup.lng", "0;x\n1;<b>Bold</b>\n");
        QVERIFY(loadLanguageFile(languageFilePath("Markup")));
        QCOMPARE(textAt(Text::Setup), QStringLiteral("<b>Bold</b>"));
        texts->replace(int(Text::Model), QStringLiteral("<i>Modello</i>"));
        texts->replace(int(Text::StoreOnBoard), QStringLiteral("<b>Memo</b>"));
        hbsupport::Program program;
        QCOMPARE(child<QLabel>(program.window(), "modelLabel")->textFormat(), Qt::PlainText);
        QCOMPARE(labelText(program.window(), "modelLabel"), QStringLiteral("<i>Modello</i>:"));
        QVERIFY(child<QToolButton>(program.window(), "memoButton")
                    ->toolTip()
                    .contains(QStringLiteral("&lt;b&gt;Memo")));
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
