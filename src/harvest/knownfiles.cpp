#include "harvest/knownfiles.h"

#include "store/catalogue/dataset.h"

using namespace Qt::Literals::StringLiterals;

namespace Harvest {

TKnownFiles::TKnownFiles(const TDataSet& table)
{
    const TField* fileName = table.FieldByName(u"FileName"_s);
    const TField* size = table.FieldByName(u"Size"_s);
    const TField* version = table.FieldByName(u"FileVersion"_s);
    FVersionSize = version->Size();
    FByPath.reserve(table.StoredRowCount());
    for (int row = 0; row < table.StoredRowCount(); ++row) {
        if (table.StoredRowDeleted(row))
            continue;
        const QString path = table.StoredRowText(row, fileName->Index());
        if (path.isEmpty())
            continue;
        FByPath[path].append({table.StoredRowText(row, size->Index()).trimmed(),
                              table.StoredRowText(row, version->Index())});
    }
}

QString TKnownFiles::StoredVersion(const QString& fileVersion) const
{
    return FVersionSize > 0 ? fileVersion.left(FVersionSize) : fileVersion;
}

TKnownState TKnownFiles::State(const QString& path, qint64 size, const QString& fileVersion) const
{
    const auto found = FByPath.constFind(path);
    if (found == FByPath.cend())
        return TKnownState::New;
    const QString version = StoredVersion(fileVersion);
    const QString bytes = size >= 0 ? QString::number(size) : QString();
    for (const TEntry& e : *found)
        if (e.FileVersion == version && (e.Size.isEmpty() || e.Size == bytes))
            return TKnownState::Known;
    return TKnownState::Changed;
}

void TKnownFiles::Add(const QString& path, const QString& fileVersion)
{
    FByPath[path].append({QString(), StoredVersion(fileVersion)});
}

} // namespace Harvest
