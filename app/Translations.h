// The program's languages: the .qm catalogues built from translations/*.ts, chosen by the
// locale (LANGUAGE, LC_ALL, LC_MESSAGES, LANG), for both programs. The windows translate
// through tr() once LoadTranslations has run; wavorax-cli has no QCoreApplication and asks
// translate() below instead. The engine knows no Qt: its texts are put into the user's
// language where they are shown, by EngineText.
#pragma once

#include <QString>
#include <initializer_list>
#include <string>

namespace wavorax::i18n {

// share/wavorax/translations beside the folder of the running program (build/ui/ and
// build/cli/ in the build tree, /usr/bin when installed).
QString TranslationsDir();

// Loads the program's catalogue and Qt's own (qtbase, for the standard buttons) for the
// system locale, and installs them into the application when one exists. Does nothing
// for an English locale or one without a catalogue. True when the program's catalogue
// was loaded.
bool LoadTranslations(const QString& dir = TranslationsDir());

// The text in the user's language, UTF-8; the English text when none is loaded. The name is
// the one lupdate looks for, so that every call's text lands in the catalogue.
std::string translate(const char* context, const char* text);
QString Translated(const char* context, const char* text);

// A text that the engine composed (a row's status, a progress line, a message), in the
// user's language: fixed texts are looked up whole, composed ones by the templates they were
// built from, with their parts translated in turn. Unknown texts come back unchanged.
QString EngineText(const std::string& text);
std::string EngineTextUtf8(const std::string& text);

// The pattern with %1, %2, ... replaced by the parts, in one pass, so that a part that holds
// "%2" stays as it is; other % signs stay too.
std::string Fill(const std::string& pattern, std::initializer_list<std::string> parts);

}  // namespace wavorax::i18n
