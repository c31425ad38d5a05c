#include "harvest/versionvalues.h"

#include "harvest/verinfores.h"

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
