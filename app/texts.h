// The numbered table of user-visible texts: built-in English entries, replaceable from a language
// file (".lng", one entry per line, the part after the last ';' of each line).
#pragma once

#include "app/textentries.h"

#include <QList>
#include <QString>

using TextTable = QList<QString>;

// Entries 0..299 are the board tool's classic table (133..136 and 259..299 empty: a language file
// may fill them, and 259/260 name two BASIC parameters); the texts of the later pages follow from
// classicTextCount on, so a classic 300-line language file still fits and leaves them in English.
inline constexpr int classicTextCount = 300;
inline constexpr int textCount = 390;

// Built-in English texts (textCount entries; empty where no text is defined).
extern const TextTable defaultTexts;
// The table in use. Never null after start-up.
extern TextTable *texts;

// Entry i of the table in use; an empty text for an index the table does not have.
QString textAt(int i);
// The named entry of the table in use.
inline QString textAt(Text entry) {
    return textAt(static_cast<int>(entry));
}

// Parses language-file content into a table. Lines beyond those the file has are completed from the
// built-in texts, so the result always has at least textCount entries. Returns false for content
// that is too large to be a language file.
bool parseLanguageText(const QByteArray &content, TextTable &table);

// Reads a language file into a new table and makes `texts` point to it; false (table unchanged) when
// the file does not exist, cannot be opened or is not a plausible language file.
bool loadLanguageFile(const QString &path);

// Makes `texts` point to a fresh copy of the built-in English table.
void useDefaultTexts();

// Loads Qt's own translations (the buttons of message boxes and dialogs) for the language whose
// name, in that language, is `language` ("Italiano", "Deutsch"...); English and unknown names leave
// Qt's built-in English texts. Replaces the translations installed before.
void installQtTranslations(const QString &language);

// The folders searched for language files, in this order: "lang" below the working directory, then
// the "lang" folder of the installed program's data (so an installed program started from anywhere
// finds its languages, and those below the working directory still come first).
QStringList languageFolders();

// The language file of `language` ("<folder>/<language>.lng") in the first of `folders` that has
// it; in the first folder when none has it.
QString languageFilePath(const QString &language, const QStringList &folders = languageFolders());

// The language names offered by the setup page: the "*.lng" files of all `folders` in name order
// ignoring case, each without its final extension, each name once.
QStringList availableLanguages(const QStringList &folders = languageFolders());
