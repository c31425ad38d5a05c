#pragma once
// The grid's model: a thin view of a dataset. Rows are the dataset's view rows (the
// rows a walk visits, plus a pending new row at its place), columns its visible
// fields in field order. Nothing is copied: every cell is read from the dataset when
// it is painted.
//
// The dataset's news map one to one onto the model's signals: a row inserted,
// removed or moved becomes the same row operation, a posted row or a written field
// a dataChanged of that row; only a rebuilt view (open, refresh, sort, filter)
// resets the model.
//
// Lookup columns read their texts from reference datasets, which tell this dataset
// nothing when one of their rows changes; the model watches those datasets itself, so
// a text edited in a reference list repaints the lookup columns at once.

#include "store/catalogue/datasource.h"

#include <QAbstractTableModel>
#include <QVector>

#include <memory>
#include <optional>
#include <vector>

class TField;

class TDBGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TDBGridModel(QObject* parent = nullptr);
    ~TDBGridModel() override;

    TDataSource* DataSource() const { return FLink.DataSource(); }
    void SetDataSource(TDataSource* ds) { FLink.SetDataSource(ds); }
    TDataSet* DataSet() const;

    // The field shown in COLUMN, and the column that shows FIELD (-1 when hidden).
    TField* ColumnField(int column) const;
    int FieldColumn(const TField* field) const;
    // True while a change of one row is being passed on to the views.
    bool Changing() const { return FPending.has_value(); }
    // Rebuilds the columns after a change of field visibility.
    void RefreshColumns();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Writes VALUE into the cell's field as the user's typing would: moves to the
    // row, starts editing, writes. Failures go to the standard error box.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    // The dataset's current row moved, or the rows were rebuilt.
    void CurrentRowChanged();
    // Browse, edit or insert began.
    void StateChanged();
    // Text held by an open cell editor is wanted now.
    void UpdateDataRequested();

private:
    class TGridLink : public TDataLink {
    public:
        explicit TGridLink(TDBGridModel* model) : FModel(model) {}
        void ActiveChanged() override { FModel->Rebuild(); }
        void DataSetChanged() override { FModel->Rebuild(); }
        void RowChanged(const TRowChange& change) override { FModel->RowChanged(change); }
        void DataSetScrolled() override { FModel->Scrolled(); }
        void RecordChanged(TField* field) override { FModel->FieldChanged(field); }
        void EditingChanged() override { FModel->EditingChanged(); }
        void UpdateData() override { emit FModel->UpdateDataRequested(); }

    private:
        TDBGridModel* FModel;
    };

    void Rebuild();
    void RowChanged(const TRowChange& change);
    void Scrolled();
    void FieldChanged(TField* field);
    void EditingChanged();
    // The dataset's view row shown in ROW while a change is being passed on; -1 for
    // a row that has gone.
    int SourceRow(int row) const;
    void RowValuesChanged(int row);
    // Calculated columns number the rows by place: rows FIRST to LAST were renumbered.
    void Renumbered(int first, int last);
    QVector<int> VisibleFields() const;

    // Watches one reference dataset that lookup columns read through.
    class TLookupLink : public TDataLink {
    public:
        explicit TLookupLink(TDBGridModel* model) : FModel(model) {}
        void ActiveChanged() override { FModel->LookupsChanged(DataSet()); }
        void DataSetChanged() override { FModel->LookupsChanged(DataSet()); }
        void RowChanged(const TRowChange&) override { FModel->LookupsChanged(DataSet()); }

    private:
        TDBGridModel* FModel;
    };
    struct TLookupWatch {
        explicit TLookupWatch(TDBGridModel* model, TDataSet* ds) : Source(ds), Link(model) {}
        TDataSource Source;
        TLookupLink Link;
    };

    // Watches the reference datasets of the lookup columns now shown.
    void WatchLookups();
    // Reference dataset REF changed: its lookup columns are painted afresh.
    void LookupsChanged(const TDataSet* ref);

    TGridLink FLink{this};
    std::vector<std::unique_ptr<TLookupWatch>> FLookupWatches;
    QVector<int> FFields;
    int FRows = 0;
    std::optional<TRowChange> FPending; // a change being passed on
    bool FMapped = false;               // rows still stand where they stood before FPending
    int FIndicatorRow = -1;
};
