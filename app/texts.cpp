#include "app/texts.h"

#include <QCollator>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringDecoder>
#include <QTranslator>

#include <algorithm>
#include <memory>

const TextTable defaultTexts = {
#include "app/default_texts.inc"
};

TextTable *texts = nullptr;

namespace {
// Limits for a language file: far more than the entries a complete file has, small enough that
// a wrong file chosen by mistake cannot exhaust memory.
constexpr qsizetype maxLanguageFileBytes = 1 << 20;
constexpr qsizetype maxLanguageLines = 4096;

// Owns the table `texts` points to. Widgets hold copies of the strings they show, so a replaced
// table is released at once.
std::unique_ptr<TextTable> &tableInUse() {
    static std::unique_ptr<TextTable> table;
    return table;
}

void install(TextTable *table) {
    tableInUse().reset(table);
    texts = table;
}
} // namespace

QString textAt(int i) {
    if (texts == nullptr) return (i >= 0 && i < defaultTexts.size()) ? defaultTexts.at(i) : QString();
    return (i >= 0 && i < texts->size()) ? texts->at(i) : QString();
}

bool parseLanguageText(const QByteArray &content, TextTable &table) {
    if (content.size() > maxLanguageFileBytes) return false;
    table.clear();
    // Language files are UTF-8 text (the platform's default encoding); files written on Windows in
    // its Western code page are not valid UTF-8 and are read as Latin-1 instead.
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(content);
    if (utf8.hasError()) text = QString::fromLatin1(content);
    qsizetype pos = 0;
    while (pos < text.size()) {
        if (table.size() >= maxLanguageLines) return false;
        qsizetype end = text.indexOf(QLatin1Char('\n'), pos);
        if (end < 0) end = text.size();
        QStringView line = QStringView(text).mid(pos, end - pos);
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        const qsizetype semicolon = line.lastIndexOf(QLatin1Char(';'));
        table.append((semicolon < 0 ? line : line.mid(semicolon + 1)).toString());
        pos = end + 1;
    }
    // A short file is completed from the built-in texts.
    for (qsizetype i = table.size(); i < defaultTexts.size(); ++i)
        table.append(defaultTexts.at(i));
    return true;
}

bool loadLanguageFile(const QString &path) {
    QFile file(path);
    if (!file.exists()) return false;
    if (!file.open(QIODevice::ReadOnly)) return false;
    if (file.size() > maxLanguageFileBytes) return false;
    const QByteArray content = file.read(maxLanguageFileBytes + 1);
    auto table = std::make_unique<TextTable>();
    if (!parseLanguageText(content, *table)) return false;
    install(table.release());
    return true;
}

void useDefaultTexts() {
    install(new TextTable(defaultTexts));
}

void installQtTranslations(const QString &language) {
    static std::unique_ptr<QTranslator> installed;
    if (installed) QCoreApplication::removeTranslator(installed.get());
    installed.reset();
    // The language files are named after their language in that language.
    for (const QLocale &locale :
         QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
        if (locale.language() == QLocale::English ||
            locale.nativeLanguageName().compare(language, Qt::CaseInsensitive) != 0)
            continue;
        auto translator = std::make_unique<QTranslator>();
        if (!translator->load(locale, QStringLiteral("qt"), QStringLiteral("_"),
                              QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            return;
        QCoreApplication::installTranslator(translator.get());
        installed = std::move(translator);
        return;
    }
}

QStringList languageFolders() {
    // HB_DATA_DIR: the installed data folder, set by the build.
    return {QStringLiteral("lang"), QStringLiteral(HB_DATA_DIR "/lang")};
}

QString languageFilePath(const QString &language, const QStringList &folders) {
    const QString fileName = language + QStringLiteral(".lng");
    for (const QString &folder : folders) {
        const QString path = folder + QDir::separator() + fileName;
        if (QFileInfo(path).isFile()) return path;
    }
    return folders.isEmpty() ? fileName : folders.first() + QDir::separator() + fileName;
}

QStringList availableLanguages(const QStringList &folders) {
    QStringList files;
    for (const QString &folder : folders)
        files += QDir(folder).entryList({QStringLiteral("*.lng")}, QDir::Files);
    // Name order ignoring case; names that differ only in case keep a fixed order.
    std::sort(files.begin(), files.end(), [](const QString &a, const QString &b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
    files.erase(std::unique(files.begin(), files.end()), files.end());
    QStringList names;
    for (const QString &file : files)
        names.append(file.left(file.lastIndexOf(QLatin1Char('.'))));
    return names;
}
