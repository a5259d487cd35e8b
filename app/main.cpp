// Hearth Bench: service and test tool for the control board of a pellet stove.
#include "app/settings.h"
#include "app/texts.h"
#include "board/serialthread.h"
#include "ui/hearthbench.h"

#include <QApplication>
#include <QSettings>

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    setApplicationIdentity();

    QSettings settings;
    const QString language =
        settings.value(settingkeys::language, QString::fromLatin1(defaultLanguage)).toString();
    if (!loadLanguageFile(languageFilePath(language))) useDefaultTexts();

    SerialThread thread;
    int result;
    {
        HearthBench window(&thread);
        window.show();
        result = application.exec();
    }
    return result;
}
