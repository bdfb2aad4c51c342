#pragma once
// The language of the windows: Japanese, the tool's own texts as they stand,
// or English from the translation built into the tool. Only what the windows
// show changes: the files the tool writes (headers, column titles, markers)
// and the values sent to the logger are the same in either language.
#include <QLocale>
#include <QString>
#include <QStringList>

class QWidget;

namespace zelt {

enum class Language { Japanese, English };

// "--lang en|ja" on the command line wins, then the choice the user made in
// the window ("ja"/"en"), then the system's language: English when it is
// English, Japanese otherwise.
Language chooseLanguage(const QStringList& arguments, const QString& remembered, const QLocale& system);
QString languageCode(Language language);  // "ja", "en"
// The key under which the window remembers the choice.
inline constexpr char kLanguagePreference[] = "window/language";

// Loads the language (English: the translation; Japanese: none) and shows
// every watched window's captions in it at once.
void useLanguage(Language language);
Language currentLanguage();
// A text of the tool in the current language (itself when it has no
// translation: values, units, names).
QString translated(const QString& text);

// Shows the captions of a window and of everything in it in the current
// language, now and whenever the tool changes them: buttons, check boxes,
// labels, group boxes and the window's title. Boxes and fields hold values
// and are left as they are.
void watchCaptions(QWidget* window);

}  // namespace zelt
