#include "harvest/versionvalues.h"

#include "harvest/msipackage.h"
#include "harvest/verinfores.h"
#include "platform/localenames.h"

using namespace Qt::Literals::StringLiterals;

namespace Harvest {

const std::array<QStringView, VersionColumnCount> VersionColumns = {
    u"CompanyName",     u"FileDescription",  u"FileVersion", u"InternalName",   u"LegalCopyright",
    u"LegalTrademarks", u"OriginalFilename", u"ProductName", u"ProductVersion", u"Comments",
    u"Language",        u"LangID",           u"CodePage",
};

static_assert(VerInfoItemCount + 3 == VersionColumnCount);

TVersionValues VersionValues(const TVerInfoRes& info)
{
    TVersionValues values;
    for (int i = 0; i < VersionColumnCount; ++i)
        values[i].Column = VersionColumns[i];
    for (int i = 0; i < VerInfoItemCount; ++i)
        values[i].Value = info.GetVerValue(TVerInfoItem(i));
    values[VerInfoItemCount].Value = info.GetLanguageName();
    values[VerInfoItemCount + 1].Value = info.GetLangIdText();
    values[VerInfoItemCount + 2].Value = info.GetCodePageText();
    return values;
}

TVersionValues PackageValues(const TMsiPackage& package)
{
    const auto first = [](std::initializer_list<QString> texts) {
        for (const QString& t : texts)
            if (!t.isEmpty())
                return t;
        return QString();
    };
    const QString version = package.Property(u"ProductVersion"_s);
    TVersionValues values;
    for (int i = 0; i < VersionColumnCount; ++i)
        values[i].Column = VersionColumns[i];
    values[viCompanyName].Value = first({package.Property(u"Manufacturer"_s), package.Author()});
    values[viFileDescription].Value =
        first({package.Property(u"ARPCOMMENTS"_s), package.Subject()});
    values[viFileVersion].Value = version;
    values[viInternalName].Value = package.Property(u"ProductCode"_s);
    values[viProductName].Value = package.Property(u"ProductName"_s);
    values[viProductVersion].Value = version;
    values[viComments].Value =
        first({package.Property(u"ARPURLINFOABOUT"_s), package.Property(u"ARPHELPLINK"_s),
               package.SummaryComments()});
    // A language id as the version reader names one; a list ("1033,1049") or none
    // leaves the three language columns empty but for the code page.
    bool ok = false;
    const uint lang = package.Property(u"ProductLanguage"_s).trimmed().toUInt(&ok);
    if (ok && lang <= 0xFFFF) {
        values[VerInfoItemCount].Value = LocaleNames::LanguageName(quint16(lang));
        values[VerInfoItemCount + 1].Value = u"%1"_s.arg(lang, 4, 16, QChar(u'0')).toUpper();
    }
    if (package.CodePage() > 0)
        values[VerInfoItemCount + 2].Value = QString::number(package.CodePage());
    return values;
}

TVersionValues NoVersionValues()
{
    TVersionValues values;
    for (int i = 0; i < VersionColumnCount; ++i)
        values[i] = {VersionColumns[i], NoInfo.toString()};
    return values;
}

QString ValueOf(const TVersionValues& values, QStringView column)
{
    for (const TVersionValue& v : values)
        if (v.Column == column)
            return v.Value;
    return QString();
}

} // namespace Harvest
