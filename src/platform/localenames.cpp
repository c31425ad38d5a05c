#include "platform/localenames.h"

#include <QHash>

#include <unicode/uloc.h>

#include <string>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr quint16 LangUsEnglish = 0x0409;
constexpr quint16 LangNeutral = 0x0000;
constexpr quint16 LangUserDefault = 0x0400;
constexpr quint16 LangInvariant = 0x007F;

// The platform hands the name over in a buffer of 100 characters, terminator
// included; a longer name is no name at all.
constexpr int NameRoom = 100;

QString NameOf(quint16 langId, const char* displayLocale)
{
    if (langId == LangNeutral || langId == LangUserDefault)
        langId = LocaleNames::UserLangId();
    if (langId == LangInvariant)
        return u"Invariant Language (Invariant Country)"_s;

    char locale[ULOC_FULLNAME_CAPACITY] = {};
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = uloc_getLocaleForLCID(langId, locale, sizeof locale, &status);
    if (U_FAILURE(status) || length <= 0 || qstrcmp(locale, "root") == 0)
        return QString();

    UChar name[NameRoom * 2] = {};
    status = U_ZERO_ERROR;
    const int32_t nameLength =
        uloc_getDisplayName(locale, displayLocale, name, NameRoom * 2, &status);
    if (U_FAILURE(status) || nameLength <= 0 || nameLength >= NameRoom)
        return QString();
    return QString(reinterpret_cast<const QChar*>(name), nameLength);
}

// What ICU answered for the default locale, remembered until that locale changes:
// harvesting asks the same few questions for every file, and ICU looks a display
// name up through its resource bundles each time.
struct TDefaultLocaleMemo {
    std::string Locale;
    int UserLangId = -1;
    QHash<quint16, QString> Names;

    // The memo for the default locale as it is now.
    static TDefaultLocaleMemo& Current()
    {
        thread_local TDefaultLocaleMemo memo;
        const char* now = uloc_getDefault();
        if (memo.Locale != now) {
            memo.Locale = now;
            memo.UserLangId = -1;
            memo.Names.clear();
        }
        return memo;
    }
};

quint16 LookUpUserLangId()
{
    const uint32_t lcid = uloc_getLCID(uloc_getDefault());
    const quint16 langId = static_cast<quint16>(lcid & 0xFFFF);
    // "C" and "POSIX" come out as en_US_POSIX, which ICU files under the invariant id.
    if (langId == LangNeutral || langId == LangInvariant)
        return LangUsEnglish;
    return langId;
}

} // namespace

quint16 LocaleNames::UserLangId()
{
    TDefaultLocaleMemo& memo = TDefaultLocaleMemo::Current();
    if (memo.UserLangId < 0)
        memo.UserLangId = LookUpUserLangId();
    return quint16(memo.UserLangId);
}

QString LocaleNames::LanguageName(quint16 langId)
{
    TDefaultLocaleMemo& memo = TDefaultLocaleMemo::Current();
    const auto found = memo.Names.constFind(langId);
    if (found != memo.Names.constEnd())
        return *found;
    const QString name = NameOf(langId, memo.Locale.c_str());
    memo.Names.insert(langId, name);
    return name;
}

QString LocaleNames::LanguageName(quint16 langId, const QString& displayLocale)
{
    return NameOf(langId, displayLocale.toLatin1().constData());
}
