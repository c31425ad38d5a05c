#pragma once
// The thirteen catalogue columns that hold a file's version information, and what a
// file gives each of them. Harvesting, the file information window and the main
// window's "Получить информацию" all read a file through these, so the three agree.

#include <QString>

#include <array>

class TVerInfoRes;

namespace Harvest {
class TMsiPackage;
}

namespace Harvest {

// The text every version column gets when a file has no readable version information.
inline constexpr QStringView NoInfo = u"NO_INFO";

inline constexpr int VersionColumnCount = 13;

// In the order harvesting writes them: the ten items (TVerInfoItem order), then
// Language, LangID and CodePage.
extern const std::array<QStringView, VersionColumnCount> VersionColumns;

struct TVersionValue {
    QStringView Column;
    QString Value;
};
using TVersionValues = std::array<TVersionValue, VersionColumnCount>;

// What INFO says for each version column, in column order: the items (empty when the
// file lacks one), the language's display name, the language id as four upper-case
// hexadecimal digits and the code page in decimal.
TVersionValues VersionValues(const TVerInfoRes& info);

// What a Windows Installer package gives the same columns, so that it sits in the
// catalogue beside the programs it installs:
//   CompanyName      Manufacturer, else the summary's author
//   FileDescription  ARPCOMMENTS, else the summary's subject
//   FileVersion      ProductVersion (a package has one version; a second scan compares
//                    it as it compares an executable's file version)
//   InternalName     ProductCode
//   ProductName      ProductName
//   ProductVersion   ProductVersion
//   Comments         ARPURLINFOABOUT, else ARPHELPLINK, else the summary's comments
//   Language, LangID ProductLanguage, as a version resource's language id
//   CodePage         the code page of the package's texts
// LegalCopyright, LegalTrademarks and OriginalFilename have no counterpart: empty.
TVersionValues PackageValues(const TMsiPackage& package);

// "NO_INFO" in every version column.
TVersionValues NoVersionValues();

// The value of COLUMN in VALUES; empty for a column that is not a version column.
QString ValueOf(const TVersionValues& values, QStringView column);

} // namespace Harvest
