// The reference lists a new catalogue starts with: the choices most users of a disc
// catalogue need at once, written through the same engine the windows use.

#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"

#include <QFile>

using namespace Qt::Literals::StringLiterals;

namespace {

const char16_t* const Platforms[] = {u"Windows XP",    u"Windows 7", u"Windows 10",
                                     u"Windows 95/98", u"MS-DOS",    u"Linux"};
const char16_t* const Categories[] = {u"Архиваторы",  u"Офис",     u"Графика",
                                      u"Мультимедиа", u"Интернет", u"Утилиты",
                                      u"Разработка",  u"Игры",     u"Безопасность"};
const char16_t* const ProgramTypes[] = {u"Freeware", u"Shareware", u"Коммерческая", u"Open Source",
                                        u"Демо-версия"};
const char16_t* const DiscTypes[] = {u"CD-R",  u"CD-RW",  u"DVD-R",
                                     u"DVD+R", u"DVD-RW", u"Папка на диске"};
const char16_t* const DiscMakers[] = {u"Verbatim", u"TDK",     u"Sony",
                                      u"Memorex",  u"Philips", u"Mirex"};

template <size_t N>
QVector<int> Fill(TDataSet& table, const QString& field, const char16_t* const (&items)[N])
{
    QVector<int> keys;
    for (const char16_t* item : items) {
        table.Append();
        table.FieldByName(field)->SetAsString(QString::fromUtf16(item));
        table.Post();
        keys << table.Fields(0)->AsInteger();
    }
    return keys;
}

} // namespace

namespace Catalogue {

TStandardListKeys FillStandardLists(TDataModule1& dm)
{
    TStandardListKeys keys;
    keys.Platforms = Fill(dm.PlatformADOTable, u"TypePlatform"_s, Platforms);
    keys.Categories = Fill(dm.CategoryADOTable, u"CategoryType"_s, Categories);
    keys.ProgramTypes = Fill(dm.ProgramTypeADOTable, u"ProgramtypeType"_s, ProgramTypes);
    keys.DiscTypes = Fill(dm.TypeDiscADOTable, u"TypeDisc"_s, DiscTypes);
    keys.DiscMakers = Fill(dm.ManufacturerADOTable, u"ManufacturerDiscType"_s, DiscMakers);
    return keys;
}

void CreateNew(const QString& path)
{
    Create(path);
    try {
        const std::unique_ptr<TDataModule1> opened = Open(path, TBookFields::All);
        FillStandardLists(*opened);
    } catch (...) {
        // A catalogue without its lists is not what was asked for; the file goes, so
        // that the next attempt starts afresh instead of refusing to overwrite it.
        for (const char* suffix : {"", "-wal", "-shm"})
            QFile::remove(path + QLatin1StringView(suffix));
        throw;
    }
}

} // namespace Catalogue
