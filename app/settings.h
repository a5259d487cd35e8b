// Program settings: one flat set of keys in the per-user settings store. Every reader passes its own
// default; these are the defaults shared by all readers.
#pragma once

#include "board/boardlink.h"
#include "board/stovemodel.h"

#include <QString>

namespace settingkeys {
inline constexpr char com[] = "com";
inline constexpr char baudRate[] = "baudRate";
inline constexpr char delay[] = "delay";
inline constexpr char language[] = "language";
inline constexpr char password[] = "password";
inline constexpr char updateFwLastBoard[] = "updateFwLastBoard";
inline constexpr char paramsFileName[] = "paramsFileName";
inline constexpr char motFileName[] = "motFileName";
} // namespace settingkeys

inline constexpr int defaultCom = 0;
inline constexpr int defaultBaudRate = 9600;
inline constexpr int defaultDelay = 20;
inline constexpr char defaultLanguage[] = "English";
inline constexpr char builtInPassword[] = "hb7351";

inline constexpr char applicationName[] = "Hearth Bench";
inline constexpr char applicationVersion[] = "1.5.3 Duskova";
inline constexpr char organisationName[] = "Corvane Controls s.r.l.";
inline constexpr char organisationDomain[] = "corvane-controls.example";

// Sets organisation and application identity on the application object.
void setApplicationIdentity();

// Default of "paramsFileName": "par<sep>default (<long name of the model>).prm".
QString defaultParamsFileName(StoveModel model);
// Default of "motFileName": "fw<sep>Quentro_Glowpad.mot".
QString defaultMotFileName();

// Loads the texts of the stored language ("lang/<language>.lng"), or the built-in English texts
// when that file is missing or unreadable, and Qt's own translations for that language.
void loadStartupTexts();

// The link parameters read from the settings at each opening of the link.
LinkSettings readLinkSettings();
