#include "jetimport/jetimport.h"

#include "jetimport/jetreader.h"
#include "platform/nativepath.h"
#include "store/catalogue/catalogue.h"
#include "store/catalogue/cells.h"
#include "store/catalogue/connection.h"
#include "store/catalogue/picturefolder.h"
#include "store/catalogue/schema.h"
#include "store/rows/dberrors.h"
#include "store/sqlite/sqlite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace JetImport {

namespace {

QString Worded(TJetFault fault, bool english, const QString& path, const QString& detail)
{
    const QString head = english ? u"Cannot convert \""_s + path + u"\": "_s
                                 : u"Не удалось преобразовать «"_s + path + u"»: "_s;
    switch (fault) {
    case TJetFault::NotJet:
        return head + (english ? u"it is not a Jet (Microsoft Access) database"_s
                               : u"это не база данных Jet (Microsoft Access)"_s);
    case TJetFault::Damaged:
        return head +
               (english ? u"the Jet database is damaged"_s : u"база данных Jet повреждена"_s) +
               (detail.isEmpty() ? QString() : u" ("_s + detail + u')');
    case TJetFault::NotCatalogue:
        return head +
               (english ? u"it is not a Tresmol catalogue: it lacks "_s
                        : u"это не каталог Tresmol: в нём нет "_s) +
               detail;
    case TJetFault::Encoding:
        return head + (english ? u"MDBICONV asks for texts in "_s + detail + u", not UTF-8"_s
                               : u"MDBICONV требует тексты в "_s + detail + u", а не в UTF-8"_s);
    case TJetFault::Source:
        return head + detail;
    }
    return head + detail;
}

// The Jet type a field of TYPE can take, and whether a key can.
bool Takes(TFieldType type, TJetType jet)
{
    switch (type) {
    case TFieldType::ftString:
        return jet == TJetType::Text || jet == TJetType::Memo || jet == TJetType::DateTime;
    case TFieldType::ftInteger:
    case TFieldType::ftAutoInc:
        return jet == TJetType::Byte || jet == TJetType::Integer || jet == TJetType::Long;
    case TFieldType::ftBoolean:
        return jet == TJetType::Boolean || jet == TJetType::Byte || jet == TJetType::Integer ||
               jet == TJetType::Long;
    }
    return false;
}

// How one column of a Jet table comes across.
struct TMapping {
    int JetIndex;
    QString Column;
    TFieldType Type;
    bool Picture; // the main table's Images field
};

struct TTablePlan {
    const TTableDef* Def;
    QString JetName;
    QVector<TMapping> Mappings;
};

int FindColumn(const QVector<TJetColumn>& columns, const QString& name)
{
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].Name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

// The fields without which a table is not the catalogue's: every key, the text of a
// reference list, and the main table's program name.
bool Required(const TTableDef& table, const TColumnDef& column)
{
    if (column.Name == table.KeyColumn)
        return true;
    if (table.Name == Schema::SoftTable)
        return column.Name == u"ProductName"_s;
    return true;
}

// The Images folder beside the old file and the pictures brought from it.
class TPictureCopier {
public:
    TPictureCopier(const QString& oldPath, const QString& target, TSummary& summary)
        : FSource(QFileInfo(oldPath).absoluteDir().filePath(u"Images"_s)), FTarget(target),
          FSummary(summary)
    {
        // Windows matched the names whatever their case; so does the copy.
        const QDir source(FSource);
        for (const QString& name : source.entryList(QDir::Files | QDir::Hidden))
            FByFoldedName.insert(name.toCaseFolded(), name);
    }
    // Takes back every file this conversion added to the picture folder.
    void Undo()
    {
        for (const QString& name : std::as_const(FCreated))
            FTarget.Remove(name);
        FCreated.clear();
    }
    void Keep() { FCreated.clear(); }

    // The name the new record keeps for the picture the old one called NAME, or
    // nothing when it is missing.
    std::optional<QString> Bring(const QString& name)
    {
        if (const auto known = FDone.constFind(name); known != FDone.cend())
            return *known;
        std::optional<QString> result;
        QString file;
        if (TPictureFolder::SafeName(name))
            file = QFileInfo(FSource + u'/' + name).isFile()
                       ? name
                       : FByFoldedName.value(name.toCaseFolded());
        if (!file.isEmpty()) {
            QFile in(FSource + u'/' + file);
            if (in.open(QIODevice::ReadOnly)) {
                const QByteArray data = in.readAll();
                QString stored = FTarget.SameFile(name, data);
                if (stored.isEmpty()) {
                    stored = FTarget.StoreData(name, data, ImagesSize());
                    FCreated << stored;
                }
                result = stored;
            }
        }
        if (result)
            ++FSummary.PicturesCopied;
        else
            ++FSummary.PicturesMissing;
        FDone.insert(name, result);
        return result;
    }

private:
    static int ImagesSize()
    {
        for (const TColumnDef& c :
             Schema::FindTable(QString::fromUtf16(Schema::SoftTable))->Columns)
            if (c.Name == u"Images"_s)
                return c.Size;
        return 150;
    }

    QString FSource;
    TPictureFolder FTarget;
    TSummary& FSummary;
    QHash<QString, QString> FByFoldedName;
    QHash<QString, std::optional<QString>> FDone;
    QStringList FCreated;
};

QVariant CellValue(QByteArrayView cell, TFieldType type)
{
    if (cell.isEmpty())
        return {};
    switch (type) {
    case TFieldType::ftString:
        return QString::fromUtf8(cell);
    case TFieldType::ftInteger:
    case TFieldType::ftAutoInc: {
        bool ok = false;
        const qint64 n = QByteArray::fromRawData(cell.data(), cell.size()).toLongLong(&ok);
        return ok ? QVariant(n) : QVariant();
    }
    case TFieldType::ftBoolean: {
        bool ok = false;
        const qint64 n = QByteArray::fromRawData(cell.data(), cell.size()).toLongLong(&ok);
        return ok ? QVariant(n != 0) : QVariant();
    }
    }
    return {};
}

} // namespace

EJetError::EJetError(TJetFault fault, const QString& path, const QString& detail,
                     const QString& russianDetail)
    : EError(Worded(fault, false, path, russianDetail.isEmpty() ? detail : russianDetail),
             Worded(fault, true, path, detail)),
      FFault(fault)
{
}

bool IsJetFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(19);
    return head.size() == 19 &&
           (head.mid(4) == "Standard Jet DB" || head.mid(4) == "Standard ACE DB");
}

QString ProposedName(const QString& oldPath)
{
    const QFileInfo info(oldPath);
    const QDir folder = info.absoluteDir();
    const QString base = info.completeBaseName();
    QString name = folder.filePath(base + u" (преобразован).mdb"_s);
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = folder.filePath(base + u" (преобразован %1).mdb"_s.arg(n));
    return name;
}

TSummary Convert(const QString& oldPath, const QString& newPath, const TOptions& options)
{
    struct stat info {};
    if (::stat(PathToNative(oldPath).constData(), &info) != 0)
        throw EJetError(TJetFault::Source, oldPath, QString::fromLocal8Bit(std::strerror(errno)));
    if (!IsJetFile(oldPath))
        throw EJetError(TJetFault::NotJet, oldPath);
    if (::lstat(PathToNative(QDir::current().absoluteFilePath(newPath)).constData(), &info) == 0)
        throw EDatabaseError(TDbAction::Create, TDbFault::AlreadyExists, newPath);

    QStringList wanted;
    for (const TTableDef& def : Schema::Tables())
        wanted << def.Name;
    TJetReader jet(oldPath, wanted);
    TSummary summary;

    // Which table and column goes where; what is missing is said all at once.
    QHash<int, TTablePlan> plans; // by the table's index in the old file
    QStringList missingTables, missingColumns;
    qint64 total = 0;
    for (const TTableDef& def : Schema::Tables()) {
        int index = -1;
        for (int t = 0; t < jet.Tables().size(); ++t)
            if (jet.Tables()[t].Name.compare(def.Name, Qt::CaseInsensitive) == 0)
                index = t;
        if (index < 0) {
            missingTables << def.Name;
            continue;
        }
        const TJetTableHead& head = jet.Tables()[index];
        const QVector<TJetColumn>& columns = head.Columns;
        TTablePlan plan{&def, head.Name, {}};
        QVector<bool> used(columns.size(), false);
        for (const TColumnDef& column : def.Columns) {
            const int at = FindColumn(columns, column.Name);
            const bool takes = at >= 0 && Takes(column.Type, columns[at].Type);
            if (at >= 0)
                used[at] = true;
            if (!takes && Required(def, column)) {
                missingColumns << def.Name + u'.' + column.Name +
                                      (at >= 0 ? u" ("_s + columns[at].TypeName + u')' : QString());
                continue;
            }
            if (at < 0) {
                summary.MissingFields << def.Name + u'.' + column.Name;
                continue;
            }
            if (!takes) {
                summary.SkippedColumns
                    << def.Name + u'.' + columns[at].Name + u" ("_s + columns[at].TypeName + u')';
                continue;
            }
            plan.Mappings.append({at, column.Name, column.Type,
                                  def.Name == Schema::SoftTable && column.Name == u"Images"_s});
        }
        for (int i = 0; i < columns.size(); ++i)
            if (!used[i])
                summary.SkippedColumns
                    << def.Name + u'.' + columns[i].Name + u" (not a field of the catalogue)"_s;
        plans.insert(index, plan);
        total += head.Rows;
    }
    if (!missingTables.isEmpty() || !missingColumns.isEmpty()) {
        // "the table A and the columns B, C", each part only when something is missing.
        const auto lacks = [&](const QString& table, const QString& tables, const QString& column,
                               const QString& columns, const QString& and_) {
            QStringList parts;
            if (!missingTables.isEmpty())
                parts << (missingTables.size() == 1 ? table : tables) + missingTables.join(u", "_s);
            if (!missingColumns.isEmpty())
                parts << (missingColumns.size() == 1 ? column : columns) +
                             missingColumns.join(u", "_s);
            return parts.join(and_);
        };
        throw EJetError(
            TJetFault::NotCatalogue, oldPath,
            lacks(u"the table "_s, u"the tables "_s, u"the column "_s, u"the columns "_s,
                  u" and "_s),
            lacks(u"таблицы "_s, u"таблиц "_s, u"столбца "_s, u"столбцов "_s, u" и "_s));
    }

    qint64 done = 0;
    if (options.Progress)
        options.Progress(0, total);

    TPictureCopier pictures(oldPath, options.PictureFolder, summary);
    QHash<QString, qint64> counts;
    try {
        Catalogue::Build(newPath, [&](const QString& temporary) {
            const TSqliteDatabase db = TSqliteDatabase::Open(SqliteUri(temporary).toUtf8(),
                                                             TSqliteDatabase::TAccess::ReadWrite);
            TSqliteTransaction transaction(db);
            for (int index; (index = jet.NextTable()) >= 0;) {
                if (!plans.contains(index)) {
                    while (jet.NextRow()) {
                    }
                    continue;
                }
                const TTablePlan& plan = plans[index];
                QStringList names, marks;
                for (const TMapping& m : plan.Mappings) {
                    names << SqlName(m.Column);
                    marks << u"?"_s;
                }
                TSqliteStatement insert =
                    db.Prepare((u"INSERT INTO "_s + SqlName(plan.Def->Name) + u" ("_s +
                                names.join(u", "_s) + u") VALUES ("_s + marks.join(u", "_s) + u')')
                                   .toUtf8(),
                               true);
                qint64 rows = 0;
                const qint64 meant = jet.Tables()[index].Rows;
                while (jet.NextRow()) {
                    // Pages that lead back to each other would give rows for ever.
                    if (rows == meant)
                        throw EJetError(TJetFault::Damaged, oldPath,
                                        u"%1: more than %2 rows"_s.arg(plan.JetName).arg(meant));
                    for (int i = 0; i < plan.Mappings.size(); ++i) {
                        const TMapping& m = plan.Mappings[i];
                        QVariant value = CellValue(jet.Cell(m.JetIndex), m.Type);
                        if (m.Picture && !value.isNull()) {
                            const std::optional<QString> copy = pictures.Bring(value.toString());
                            value = copy ? QVariant(*copy) : QVariant();
                        }
                        if (m.Type == TFieldType::ftBoolean && value.isNull())
                            value = false;
                        Cells::Bind(insert, i + 1, m.Type, value);
                    }
                    insert.Step();
                    insert.Reset();
                    ++rows;
                    if (options.Progress && (++done % 1000) == 0)
                        options.Progress(done, total);
                }
                if (rows != meant)
                    throw EJetError(TJetFault::Damaged, oldPath,
                                    u"%1: %2 / %3"_s.arg(plan.JetName).arg(rows).arg(meant));
                counts.insert(plan.Def->Name, rows);
            }
            transaction.Commit();
        });
        for (const TTableDef& def : Schema::Tables())
            summary.Tables.append({def.Name, counts.value(def.Name)});
    } catch (const ESqliteError& e) {
        pictures.Undo();
        // The only write the file itself can refuse is a key given twice.
        if (e.PrimaryCode() == SQLITE_CONSTRAINT)
            throw EJetError(TJetFault::Damaged, oldPath, e.Detail());
        throw EDatabaseError(TDbAction::Create, SqliteFault(e), newPath, QString(), e.Detail());
    } catch (...) {
        pictures.Undo();
        throw;
    }
    pictures.Keep();
    if (options.Progress)
        options.Progress(total, total);
    return summary;
}

} // namespace JetImport
