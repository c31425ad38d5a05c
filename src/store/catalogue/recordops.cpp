#include "store/catalogue/recordops.h"

#include "store/catalogue/cells.h"
#include "store/catalogue/connection.h"
#include "store/catalogue/dataset.h"
#include "store/catalogue/schema.h"
#include "store/rows/dberrors.h"

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
    const QString table = QString::fromUtf16(Schema::SoftTable);
    // The catalogue's key columns that look up in this table; only names from the
    // schema reach the SQL, the key goes in as a bound value.
    QStringList conditions;
    for (const TFieldDef& d : Schema::FieldDefs(table))
        if (d.Kind == TFieldKind::fkLookup &&
            d.LookupTable.compare(referenceTable, Qt::CaseInsensitive) == 0)
            conditions << SqlName(d.KeyFields) + u" = ?1"_s;
    if (conditions.isEmpty())
        return 0;
    try {
        TSqliteStatement count =
            connection.Database(table).Prepare((u"SELECT COUNT(*) FROM "_s + SqlName(table) +
                                                u" WHERE "_s + conditions.join(u" OR "_s))
                                                   .toUtf8());
        Cells::Bind(count, 1, TFieldType::ftInteger, key);
        return count.Step() ? int(count.Integer(0)) : 0;
    } catch (const ESqliteError& e) {
        throw connection.Failure(TDbAction::ReadTable, e, table);
    }
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

void GoToKey(TDataSet& table, int key)
{
    if (!table.Active())
        throw EDatabaseError(u"Cannot perform this operation on a closed dataset"_s);
    const TField* id = table.FieldByName(Schema::FindTable(table.TableName())->KeyColumn);
    for (int row = 0; row < table.ViewRowCount(); ++row) {
        if (table.ViewValue(row, id->Index()) == QVariant(key)) {
            table.MoveToViewRow(row);
            return;
        }
    }
    throw EDatabaseError(u"Нет записи с ключом (Id) "_s + QString::number(key),
                         u"no record has the key (Id) "_s + QString::number(key));
}

void SetFields(TDataSet& table, int key, const QVector<TFieldText>& values)
{
    // Every name is checked before the record is touched.
    QVector<TField*> fields;
    for (const TFieldText& v : values) {
        TField* f = table.FindField(v.Field);
        if (!f || f->FieldKind() != TFieldKind::fkData)
            throw EDatabaseError(u"Неизвестное поле «"_s + v.Field + u'»',
                                 u"unknown field \""_s + v.Field + u'"');
        fields << f;
    }
    GoToKey(table, key);
    table.Edit();
    try {
        for (int i = 0; i < fields.size(); ++i)
            fields[i]->SetAsString(values[i].Text);
        table.Post();
    } catch (...) {
        table.Cancel();
        throw;
    }
}

int DeleteKeys(TDataSet& table, const QVector<int>& keys)
{
    if (!table.Active())
        throw EDatabaseError(u"Cannot perform this operation on a closed dataset"_s);
    const TSqliteDatabase& db = table.Connection()->Database(table.TableName());
    int deleted = 0;
    try {
        TSqliteTransaction transaction(db);
        for (const int key : keys) {
            GoToKey(table, key);
            table.Delete();
            ++deleted;
        }
        transaction.Commit();
    } catch (const ESqliteError& e) {
        table.Refresh();
        throw table.Connection()->Failure(TDbAction::Delete, e);
    } catch (...) {
        // The rows deleted so far are back in the file: so they are in memory too.
        if (deleted > 0)
            table.Refresh();
        throw;
    }
    return deleted;
}

} // namespace RecordOps
