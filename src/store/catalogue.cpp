#include "store/catalogue.h"

#include "store/connection.h"
#include "store/datamodule.h"
#include "store/dberrors.h"
#include "store/schema.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

using namespace Qt::Literals::StringLiterals;

namespace Catalogue {

namespace {

QAtomicInt Counter;

void Exec(QSqlQuery& q, const QString& sql)
{
    if (!q.exec(sql))
        throw EDatabaseError(u"Cannot create the catalogue: "_s + q.lastError().text());
}

} // namespace

QString ConnectionStringFor(const QString& path)
{
    // The connection string has no quoting: a ';' would end the file's name early.
    if (path.contains(u';'))
        throw EDatabaseError(u"Cannot open the catalogue "_s + path +
                             u": a catalogue's path cannot contain ';'"_s);
    return u"Provider=Microsoft.Jet.OLEDB.4.0;Data Source="_s + path +
           u";Persist Security Info=False"_s;
}

std::unique_ptr<TDataModule1> Open(const QString& path)
{
    QString firstError;
    auto dm = std::make_unique<TDataModule1>(
        [&firstError](const QString& m) {
            if (firstError.isEmpty())
                firstError = m;
        },
        ConnectionStringFor(QDir::current().absoluteFilePath(path)));
    if (!firstError.isEmpty())
        throw EDatabaseError(firstError);
    dm->BookTable.Open();
    return dm;
}

void Create(const QString& path)
{
    if (QFileInfo::exists(path))
        throw EDatabaseError(u"Cannot create the catalogue "_s + path +
                             u": the file already exists"_s);
    const QString name = u"tresmol-create-"_s + QString::number(Counter.fetchAndAddRelaxed(1));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(path);
        if (!db.open())
            throw EDatabaseError(u"Cannot create the catalogue "_s + path + u": "_s +
                                 db.lastError().text());
        QSqlQuery q(db);
        Exec(q, u"PRAGMA journal_mode = WAL"_s);
        db.transaction();
        for (const TTableDef& table : Schema::Tables())
            Exec(q, Schema::CreateTableSql(table));
        // Searching and sorting read the whole table into memory, so the only index
        // that pays is the key's, which SQLite keeps anyway.
        if (!db.commit())
            throw EDatabaseError(u"Cannot create the catalogue "_s + path + u": "_s +
                                 db.lastError().text());
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace Catalogue
