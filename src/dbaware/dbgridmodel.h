#pragma once
// The grid's model: a thin view of a dataset. Rows are the dataset's view rows (the
// rows a walk visits, plus a pending new row at its place), columns its visible
// fields in field order. Nothing is copied: every cell is read from the dataset when
// it is painted.

#include "store/datasource.h"

#include <QAbstractTableModel>
#include <QVector>

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
        void DataSetScrolled() override { FModel->Scrolled(); }
        void RecordChanged(TField*) override { FModel->RowChanged(); }
        void EditingChanged() override { FModel->EditingChanged(); }
        void UpdateData() override { emit FModel->UpdateDataRequested(); }

    private:
        TDBGridModel* FModel;
    };

    void Rebuild();
    // Rebuilds when the number of rows changed (or there is no dataset); true then.
    bool RebuildIfRowsChanged();
    void Scrolled();
    void RowChanged();
    void EditingChanged();
    QVector<int> VisibleFields() const;

    TGridLink FLink{this};
    QVector<int> FFields;
    int FRows = 0;
    int FIndicatorRow = -1;
};
