#include "app/settings.h"

#include "app/texts.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>

void setApplicationIdentity() {
    QCoreApplication::setOrganizationName(QString::fromLatin1(organisationName));
    QCoreApplication::setOrganizationDomain(QString::fromLatin1(organisationDomain));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(applicationVersion));
    QCoreApplication::setApplicationName(QString::fromLatin1(applicationName));
}

QString defaultParamsFileName(StoveModel model) {
    return QStringLiteral("par%1default (%2).prm").arg(QDir::separator(), modelName(model, false));
}

QString defaultMotFileName() {
    return QStringLiteral("fw%1Quentro_Glowpad.mot").arg(QDir::separator());
}

LinkSettings readLinkSettings() {
    QSettings settings;
    LinkSettings link;
    link.com = settings.value(settingkeys::com, defaultCom).toInt();
    link.baudRate = settings.value(settingkeys::baudRate, defaultBaudRate).toInt();
    link.delay = settings.value(settingkeys::delay, defaultDelay).toInt();
    return link;
}

void loadStartupTexts() {
    const QString language =
        QSettings().value(settingkeys::language, QString::fromLatin1(defaultLanguage)).toString();
    if (!loadLanguageFile(languageFilePath(language))) useDefaultTexts();
    installQtTranslations(language);
}
