#include "store/recordops.h"

#include "store/connection.h"
#include "store/dataset.h"
#include "store/dberrors.h"
#include "store/schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

using namespace Qt::Literals::StringLiterals;

namespace RecordOps {

bool SaveIfModified(TDataSet& table)
{
    if (!table.Active())
        return false;
    table.UpdateRecord();
    if (!table.Modified())
        return false;
    table.Post();
    return true;
}

int DeleteAll(TDataSet& table, const TDeleteProgress& progress)
{
    const int before = table.RecordCount();
    while (table.RecordCount() >= 1 && !table.IsEmpty()) {
        table.Delete();
        if (progress && !progress(table.RecordCount()))
            break;
    }
    // A pending new record is dropped rather than deleted, so count what left the file.
    return before - table.RecordCount();
}

int CatalogueUses(TADOConnection& connection, const QString& referenceTable, const QVariant& key)
{
    if (!connection.Connected())
        throw EDatabaseError(u"Cannot perform this operation on a closed dataset"_s);
    // The catalogue's key columns that look up in this table; only names from the
    // schema reach the SQL, the key goes in as a bound value.
    QStringList conditions;
    for (const TFieldDef& d : Schema::FieldDefs(QString::fromUtf16(Schema::SoftTable)))
        if (d.Kind == TFieldKind::fkLookup &&
            d.LookupTable.compare(referenceTable, Qt::CaseInsensitive) == 0)
            conditions << u'"' + d.KeyFields + u"\" = ?"_s;
    if (conditions.isEmpty())
        return 0;
    QSqlQuery q(connection.Database());
    q.prepare(u"SELECT COUNT(*) FROM \""_s + QString::fromUtf16(Schema::SoftTable) +
              u"\" WHERE "_s + conditions.join(u" OR "_s));
    for (int i = 0; i < conditions.size(); ++i)
        q.addBindValue(key);
    if (!q.exec() || !q.next())
        throw EDatabaseError(connection.Failure(
            u"Cannot read the table "_s + QString::fromUtf16(Schema::SoftTable),
            q.lastError().databaseText().isEmpty() ? q.lastError().text()
                                                   : q.lastError().databaseText()));
    return q.value(0).toInt();
}

void DeleteReference(TDataSet& reference)
{
    // Only a stored row can be in use; a new row, an empty or a closed list is left to
    // the engine's delete and its errors.
    if (reference.Active() && reference.State() != TDataSetState::dsInsert &&
        !reference.IsEmpty()) {
        const QVariant key = reference.Fields(0)->Value();
        const int uses = CatalogueUses(*reference.Connection(), reference.TableName(), key);
        if (uses > 0)
            throw EDatabaseError(
                u"Эта запись используется в каталоге (записей: %1) и не может быть удалена."_s.arg(
                    uses));
    }
    reference.Delete();
}

} // namespace RecordOps
