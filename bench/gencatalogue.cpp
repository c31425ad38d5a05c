#include "bench/gencatalogue.h"

#include "store/catalogue/catalogue.h"
#include "store/catalogue/connection.h"
#include "store/catalogue/schema.h"
#include "store/sqlite/sqlite.h"

#include <QRandomGenerator>
#include <QStringList>

#include <stdexcept>

using namespace Qt::Literals::StringLiterals;

namespace {

const QStringList Words = {
    u"Total"_s,     u"Commander"_s, u"Office"_s,    u"Studio"_s,  u"Media"_s,  u"Player"_s,
    u"Photo"_s,     u"Editor"_s,    u"Archive"_s,   u"Manager"_s, u"Disk"_s,   u"Tools"_s,
    u"Антивирус"_s, u"Видео"_s,     u"Конвертер"_s, u"Браузер"_s, u"Net"_s,    u"Pro"_s,
    u"Ultimate"_s,  u"Home"_s,      u"Adder"_s,     u"Ad-Tool"_s, u"Zip"_s,    u"Mail"_s,
    u"Sync"_s,      u"Burn"_s,      u"Clean"_s,     u"Backup"_s,  u"Screen"_s, u"Capture"_s,
    u"Audio"_s,     u"Reader"_s};
const QStringList Makers = {u"Microsoft Corporation"_s,
                            u"Adobe Systems Incorporated"_s,
                            u"Лаборатория Касперского"_s,
                            u"Piriform Ltd"_s,
                            u"Nero AG"_s,
                            u"Ghisler Software GmbH"_s,
                            u"Mozilla Corporation"_s,
                            u"Corel Corporation"_s,
                            u"Symantec Corporation"_s,
                            u"ABBYY"_s,
                            u"1С"_s,
                            u"Borland"_s};

QString Phrase(QRandomGenerator& rng, int words)
{
    QStringList out;
    for (int i = 0; i < words; ++i)
        out << Words[rng.bounded(int(Words.size()))];
    return out.join(u' ');
}

// Binds the values of one row in order.
class TBinder {
public:
    explicit TBinder(TSqliteStatement& st) : FSt(st) {}
    TBinder& operator<<(const QString& v)
    {
        FSt.BindText(++FAt, v);
        return *this;
    }
    TBinder& operator<<(qint64 v)
    {
        FSt.BindInteger(++FAt, v);
        return *this;
    }
    // Runs the statement and makes it ready for the next row.
    void Run()
    {
        FSt.Step();
        FSt.Reset();
        FAt = 0;
    }

private:
    TSqliteStatement& FSt;
    int FAt = 0;
};

} // namespace

void GenerateCatalogue(const QString& path, int count, quint32 seed)
{
    Catalogue::Create(path);
    QRandomGenerator rng(seed);
    const TSqliteDatabase db =
        TSqliteDatabase::Open(SqliteUri(path).toUtf8(), TSqliteDatabase::TAccess::ReadWrite);
    TSqliteTransaction transaction(db);
    const struct {
        const char16_t* table;
        const char16_t* column;
        int rows;
    } refs[] = {{u"TypeDiscBase", u"TypeDisc", 6},
                {u"ManufacturerDiscBase", u"ManufacturerDiscType", 10},
                {u"ProgramtypeBase", u"ProgramtypeType", 5},
                {u"PlatformBase", u"TypePlatform", 12},
                {u"CategoryBase", u"CategoryType", 20}};
    for (const auto& r : refs) {
        TSqliteStatement insert =
            db.Prepare((u"INSERT INTO \""_s + QString::fromUtf16(r.table) + u"\" (\""_s +
                        QString::fromUtf16(r.column) + u"\") VALUES (?)"_s)
                           .toUtf8());
        TBinder row(insert);
        for (int i = 0; i < r.rows; ++i) {
            row << QString::fromUtf16(r.column) + u' ' + QString::number(i + 1);
            row.Run();
        }
    }
    TSqliteStatement insert =
        db.Prepare("INSERT INTO SoftTable (ProductName, CompanyName, FileName, Language, Size, "
                   "Year, Rating, ProductVersion, FileVersion, InternalName, OriginalFilename, "
                   "LangID, CodePage, LegalCopyright, FileDescription, Installed, Platform, "
                   "Category, Programtype, ManufacturerDisc, TypeDisc, PlacingProgram, "
                   "ExtractFileName) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    TBinder row(insert);
    for (int i = 0; i < count; ++i) {
        const QString product = Phrase(rng, 1 + rng.bounded(3)) + u' ' + QString::number(i);
        const QString exe = Words[rng.bounded(int(Words.size()))].toLower() + u".exe"_s;
        const QString folder =
            u"D:\\Distrib\\Disc "_s + QString::number(rng.bounded(400)) + u'\\' + product + u'\\';
        const QString version =
            QString::number(rng.bounded(12)) + u'.' + QString::number(rng.bounded(100));
        const QString maker = Makers[rng.bounded(int(Makers.size()))];
        row << product << maker << folder + exe
            << (rng.bounded(2) ? u"Русский"_s : u"English (United States)"_s)
            << QString::number(rng.bounded(700)) + u" MB"_s << qint64(1990 + rng.bounded(35))
            << qint64(1 + rng.bounded(5)) << version
            << version + u".0."_s + QString::number(rng.bounded(9999)) << exe.chopped(4) << exe
            << (rng.bounded(2) ? u"0419"_s : u"0409"_s) << u"04B0"_s
            << u"Copyright © "_s + QString::number(1990 + rng.bounded(35)) + u' ' + maker
            << Phrase(rng, 3 + rng.bounded(8)) << qint64(rng.bounded(2))
            << qint64(1 + rng.bounded(12)) << qint64(1 + rng.bounded(20))
            << qint64(1 + rng.bounded(5)) << qint64(1 + rng.bounded(10))
            << qint64(1 + rng.bounded(6)) << folder << exe;
        row.Run();
    }
    transaction.Commit();
}
