#pragma once
// Names of Windows language ids, in the language of the user's locale, from ICU.

#include <QString>

namespace LocaleNames {

// The Windows language id of the user's locale (the locale ICU takes from the
// environment). A locale without an id of its own, such as "C" or "POSIX", counts
// as US English, 0x0409.
quint16 UserLangId();

// The display name of the language LANGID ("Russian (Russia)" for 0x0419), in the
// language of the user's locale. 0x0000 and 0x0400 stand for the user's own language;
// 0x007F is the invariant locale. An id that names no known language, or a name that
// would not fit in 99 characters, gives the empty text.
QString LanguageName(quint16 langId);

// The same, with the names given in the language of DISPLAYLOCALE (an ICU locale id
// such as "ru_RU").
QString LanguageName(quint16 langId, const QString& displayLocale);

} // namespace LocaleNames
