#pragma once
// A dataset: a client-side snapshot of one table of the catalogue file, walked with
// a current row, edited one row at a time, posted straight back to the file.
//
// It is the cursor over two parts that do the rest:
//   TRowStore    the rows in memory and the views (order, filters) over them,
//   TSqlGateway  reading the table and writing one row back.
// The dataset itself holds the current row, the edit state and the pending record,
// runs the dataset events and tells the bound widgets what changed.

#include "store/catalogue/schema.h"
#include "store/catalogue/sqlgateway.h"
#include "store/rows/rowstore.h"

#include <QHash>
#include <QString>
#include <QVariant>
#include <QVector>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class TADOConnection;
class TDataSet;
class TDataSource;
struct TRowChange;

enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

class TField {
public:
    const TFieldDef& Def() const { return FDef; }
    const QString& FieldName() const { return FDef.FieldName; }
    const QString& DisplayLabel() const { return FDef.DisplayLabel; }
    TFieldKind FieldKind() const { return FDef.Kind; }
    TFieldType DataType() const { return FDef.Type; }
    int Size() const { return FDef.Size; }
    int Index() const { return FIndex; }
    bool ReadOnly() const { return FDef.ReadOnly; }
    bool IsLookup() const { return FDef.Kind == TFieldKind::fkLookup; }
    TDataSet* DataSet() const { return FDataSet; }

    // Grid column state: which fields show and how wide (in characters).
    bool Visible() const { return FVisible; }
    void SetVisible(bool v) { FVisible = v; }
    int DisplayWidth() const { return FDisplayWidth; }
    void SetDisplayWidth(int w) { FDisplayWidth = w; }

    // The value in the dataset's active record: the current row, the row being
    // edited, or the row a filter or calculation callback is looking at.
    QVariant Value() const;
    bool IsNull() const { return Value().isNull(); }
    // Text as the user sees it: Boolean as "True"/"False", null as "".
    QString AsString() const;
    // A stored text field's text in place, as UTF-8, when it is read straight from the
    // rows (not a pending row), without a copy; nullopt otherwise. Valid until the
    // dataset reads its rows again or closes.
    std::optional<QUtf8StringView> StoredUtf8() const;
    int AsInteger() const; // null and non-numbers read as 0
    bool AsBoolean() const;

    // Writes go to the pending row (the dataset must be editing or inserting), text is
    // cut to the field's size. Writing a lookup field stores the key of the reference
    // row with that text. Text written to an integer field must be a number.
    void SetValue(const QVariant& v);
    void SetAsString(const QString& s);
    void SetAsInteger(int v) { SetValue(v); }
    void SetAsBoolean(bool v) { SetValue(v); }
    void Clear() { SetValue(QVariant()); }

    // The reference dataset a lookup field reads through.
    TDataSet* LookupDataSet() const { return FLookupDataSet; }
    void SetLookupDataSet(TDataSet* ds);

private:
    friend class TDataSet;
    TField(TDataSet* ds, TFieldDef def, int index);

    TDataSet* FDataSet;
    TFieldDef FDef;
    int FIndex;
    bool FVisible;
    int FDisplayWidth;
    TDataSet* FLookupDataSet = nullptr;
    int FLookupKeyIndex = -1, FLookupResultIndex = -1; // fields of the reference dataset
};

class TDataSet {
public:
    using TEvent = std::function<void(TDataSet&)>;
    using TFilterRecordEvent = std::function<void(TDataSet&, bool& accept)>;

    // A dataset over TABLENAME of CONNECTION with the table's field list.
    TDataSet(TADOConnection* connection, const QString& tableName);
    // The same with the field list DEFS, one Schema gives for the table.
    TDataSet(TADOConnection* connection, const QString& tableName, const QVector<TFieldDef>& defs);
    ~TDataSet();
    TDataSet(const TDataSet&) = delete;
    TDataSet& operator=(const TDataSet&) = delete;

    const QString& TableName() const { return FTableName; }
    TADOConnection* Connection() const { return FConnection; }

    // --- open and close
    void Open();
    void Close();
    bool Active() const { return FState != TDataSetState::dsInactive; }
    void SetActive(bool active) { active ? Open() : Close(); }
    TDataSetState State() const { return FState; }

    // --- fields
    int FieldCount() const { return int(FFields.size()); }
    TField* Fields(int index) const { return FFields.at(index).get(); }
    TField* FindField(const QString& name) const;
    TField* FieldByName(const QString& name) const; // throws for an unknown name

    // --- moves
    void First();
    void Last();
    void Next();
    void Prior();
    bool Bof() const { return FBof; }
    bool Eof() const { return FEof; }
    bool IsEmpty() const;
    // 1-based position among the rows that satisfy the expression filter; -1 with no
    // row or a pending new row.
    int RecNo() const;
    int RecordCount() const;

    // --- changes
    void Insert();
    void Append();
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    void Refresh();
    bool Modified() const { return FModified; }
    // Takes in text that bound widgets still hold.
    void UpdateRecord();
    // Takes in widget text, then posts a modified pending row or drops an unmodified
    // one: what leaving the record does.
    void CheckBrowseMode();

    // --- order and filters
    const QString& Sort() const { return FSort; }
    void SetSort(const QString& fieldName); // "" for the table's own order
    const QString& Filter() const { return FFilterText; }
    void SetFilter(const QString& expression); // a malformed one throws and changes nothing
    // As SetFilter, for an expression that, with the record filter as it now stands,
    // accepts none of the rows the last expression and record filter rejected (a
    // search text that grew): the rows are then filtered within those shown.
    void NarrowFilter(const QString& expression);
    bool Filtered() const { return FFiltered; }
    // A promise of the record filter's owner: it accepts no row whose FIELDNAME does
    // not begin with PREFIX without regard to case, so those rows need not be asked.
    // An empty PREFIX promises nothing.
    void SetRecordFilterPrefix(const QString& fieldName, const QString& prefix);
    void SetFiltered(bool on);

    // --- events, run synchronously
    TEvent AfterOpen, BeforeClose, AfterPost, AfterScroll, OnCalcFields;
    TFilterRecordEvent OnFilterRecord;

    // --- the view as a grid sees it: the walked rows, plus a pending new row at the
    // place it was inserted. Reading a cell never moves the current row.
    int ViewRowCount() const;
    int ViewCurrentRow() const; // -1 when there is no row
    QVariant ViewValue(int viewRow, int fieldIndex) const;
    QString ViewText(int viewRow, int fieldIndex) const;
    // The text of a stored text field of a view row, read straight from the rows for
    // readers of every row (the export); nothing when the cell is anything else (a
    // lookup, a calculated value, a row being edited), which ViewText then gives.
    std::optional<QString> ViewStoredText(int viewRow, int fieldIndex) const;
    void MoveToViewRow(int viewRow);
    // Bumped on every change of rows, order or filter, for caches of readers.
    quint64 Version() const { return FRows.Version(); }

    // --- every row the table holds, whatever the filters hide, for readers that look
    // over the whole table: rows by storage index, deleted ones included.
    int StoredRowCount() const { return FRows.RowCount(); }
    bool StoredRowDeleted(int row) const { return FRows.Deleted(row); }
    // The text of the stored text field FIELDINDEX in ROW; empty for a null.
    QString StoredRowText(int row, int fieldIndex) const;

    // --- lookups into this dataset (a reference table): the RESULT of the row whose
    // KEYFIELD equals KEY; null when none does.
    QVariant Lookup(const QString& keyField, const QVariant& key, const QString& resultField) const;
    // The key of the first row whose FIELD equals TEXT; null when none does.
    QVariant Locate(const QString& field, const QString& text, const QString& resultField) const;

    // --- data sources (widgets) bound to this dataset
    void AttachDataSource(TDataSource* ds);
    void DetachDataSource(TDataSource* ds);
    // Bound widgets held still for a run of changes: until the last EnableControls
    // (the calls nest) they hear nothing of rows, moves, fields and states, then they
    // are told once that the dataset changed as a whole. Opening and closing still
    // reach them at once. Asking them for held text is not held back.
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return FDisableCount > 0; }

    // Orders two field values as sorting does: empty first, numbers by value, text
    // without regard to case, then by case.
    static int CompareValues(const QVariant& a, const QVariant& b)
    {
        return TRowStore::CompareValues(a, b);
    }

private:
    friend class TField;
    friend class TADOConnection;

    void DetachConnection();
    void CheckActive() const;
    void CheckEditing() const;
    TADOConnection& OpenConnection() const;

    // The record fields are read from: a callback's row, the pending row, or the
    // current row.
    QVariant ActiveValue(int fieldIndex) const;
    // The stored text behind a text field of the active record when it is read
    // straight from the rows (not a pending row): a quick path for hot readers.
    std::optional<QString> StoredText(int fieldIndex) const;
    std::optional<QUtf8StringView> StoredUtf8(int fieldIndex) const;
    // The row StoredText reads, -1 when it reads none.
    int StoredRow(int fieldIndex) const;
    int ActiveRow() const;
    QVariant RowValue(int row, int fieldIndex) const;
    QVariant CalcValue(int row, int fieldIndex) const;
    QVariant LookupValue(const TField& f, const QVariant& key) const;
    void SetFieldValue(TField& f, const QVariant& v);
    // The stored values of ROW by field, as the gateway takes them.
    TSqlGateway::TValues RowValues(int row) const;

    bool PassesRecordFilter(int row) const;
    void ApplyFilter(const QString& expression, bool narrows);
    int CurrentRow() const; // storage index of the current row, -1 none
    void SetCurrentToRow(int row, int fallbackVisIndex);
    void ResetFlags();
    void StartInsert(int viewRow);
    // Ends editing ROW, shown at VIEWROW before, once the file has it: places it in
    // the views and tells the links where it went.
    void FinishPost(int row, int viewRow);

    // Notifications to the bound widgets
    // True, noting that they missed something, while the widgets are held still.
    bool HoldNotice();
    void NotifyDataSetChanged();
    void NotifyRowChanged(const TRowChange& change);
    // ROW, shown at FROM before a change, has found its new place (or left the view).
    void NotifyRowPlaced(int from, int row);
    void NotifyScrolled();
    void NotifyRecordChanged(TField* field);
    void NotifyStateChanged();
    void NotifyActiveChanged();
    void DoAfterScroll();

    TADOConnection* FConnection;
    QString FTableName;
    const TTableDef* FTableDef = nullptr;
    std::vector<std::unique_ptr<TField>> FFields;
    QHash<QString, int> FFieldIndex; // name as declared and lower-cased -> index
    std::vector<int> FKeyFieldOf;    // lookup field -> its key field, -1 for others

    TRowStore FRows;
    TSqlGateway FGateway;
    int FKeyField = -1;
    int FCur = -1; // index into the visible rows

    TDataSetState FState = TDataSetState::dsInactive;
    bool FBof = true, FEof = true;
    bool FModified = false;
    QVector<QVariant> FBuf; // the pending row, by field
    int FEditRow = -1;
    int FInsertVis = 0; // where a pending new row shows in the view

    QString FSort, FFilterText;
    bool FFiltered = false;

    int FDisableCount = 0;
    bool FControlsStale = false; // a notice was held back while disabled

    mutable int FCtxRow = -1; // row a callback is looking at
    mutable bool FInCalc = false;
    mutable QVector<QVariant> FCalcBuf;

    std::vector<TDataSource*> FDataSources;
};
