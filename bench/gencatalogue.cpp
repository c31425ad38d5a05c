#include "bench/gencatalogue.h"

#include "store/catalogue.h"
#include "store/schema.h"

#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
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

void Bind(QSqlQuery& q, const QString& v) { q.addBindValue(v); }

void Check(bool ok, const QSqlQuery& q)
{
    if (!ok)
        throw std::runtime_error(q.lastError().text().toStdString());
}

} // namespace

void GenerateCatalogue(const QString& path, int count, quint32 seed)
{
    Catalogue::Create(path);
    QRandomGenerator rng(seed);
    const QString name = u"generator"_s;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(path);
        if (!db.open())
            throw std::runtime_error("cannot open the new catalogue");
        db.transaction();
        QSqlQuery q(db);
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
            Check(q.prepare(u"INSERT INTO \""_s + QString::fromUtf16(r.table) + u"\" (\""_s +
                            QString::fromUtf16(r.column) + u"\") VALUES (?)"_s),
                  q);
            for (int i = 0; i < r.rows; ++i) {
                Bind(q, QString::fromUtf16(r.column) + u' ' + QString::number(i + 1));
                Check(q.exec(), q);
            }
        }
        Check(
            q.prepare(u"INSERT INTO SoftTable (ProductName, CompanyName, FileName, Language, Size, "
                      u"Year, Rating, ProductVersion, FileVersion, InternalName, OriginalFilename, "
                      u"LangID, CodePage, LegalCopyright, FileDescription, Installed, Platform, "
                      u"Category, Programtype, ManufacturerDisc, TypeDisc, PlacingProgram, "
                      u"ExtractFileName) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"_s),
            q);
        for (int i = 0; i < count; ++i) {
            const QString product = Phrase(rng, 1 + rng.bounded(3)) + u' ' + QString::number(i);
            const QString exe = Words[rng.bounded(int(Words.size()))].toLower() + u".exe"_s;
            const QString folder = u"D:\\Distrib\\Disc "_s + QString::number(rng.bounded(400)) +
                                   u'\\' + product + u'\\';
            const QString version =
                QString::number(rng.bounded(12)) + u'.' + QString::number(rng.bounded(100));
            const QString maker = Makers[rng.bounded(int(Makers.size()))];
            q.addBindValue(product);
            q.addBindValue(maker);
            Bind(q, folder + exe);
            q.addBindValue(rng.bounded(2) ? u"Русский"_s : u"English (United States)"_s);
            Bind(q, QString::number(rng.bounded(700)) + u" MB"_s);
            q.addBindValue(1990 + rng.bounded(35));
            q.addBindValue(1 + rng.bounded(5));
            q.addBindValue(version);
            Bind(q, version + u".0."_s + QString::number(rng.bounded(9999)));
            q.addBindValue(exe.chopped(4));
            q.addBindValue(exe);
            q.addBindValue(rng.bounded(2) ? u"0419"_s : u"0409"_s);
            q.addBindValue(u"04B0"_s);
            Bind(q, u"Copyright © "_s + QString::number(1990 + rng.bounded(35)) + u' ' + maker);
            q.addBindValue(Phrase(rng, 3 + rng.bounded(8)));
            q.addBindValue(int(rng.bounded(2)));
            q.addBindValue(1 + rng.bounded(12));
            q.addBindValue(1 + rng.bounded(20));
            q.addBindValue(1 + rng.bounded(5));
            q.addBindValue(1 + rng.bounded(10));
            q.addBindValue(1 + rng.bounded(6));
            q.addBindValue(folder);
            q.addBindValue(exe);
            Check(q.exec(), q);
        }
        if (!db.commit())
            throw std::runtime_error("cannot commit the new catalogue");
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}
