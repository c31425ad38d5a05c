#pragma once
// A data source links a dataset to the widgets that show and edit its current row.
// Widgets subclass TDataLink; the dataset tells every link what happened, and asks
// each one to hand over text it still holds before the record is posted or left.
//
// What happened is told as precisely as it is known: one row of the view inserted,
// changed, removed or moved (a grid repaints that row), one field of the current
// record written, the current row moved; "changed as a whole" only when the view is
// rebuilt (open, refresh, a new order or filter).

#include <vector>

class TDataSet;
class TDataSource;
class TField;

// One row of a dataset's view that appeared, changed, went away or moved. Rows are
// numbered as the view shows them, a pending new row included.
struct TRowChange {
    enum class TKind { Inserted, Changed, Removed, Moved };
    TKind Kind;
    int Row;     // where the row is (Inserted, Changed) or was (Removed, Moved)
    int To = -1; // Moved: where it is now, counted after the move
};

class TDataLink {
public:
    TDataLink() = default;
    virtual ~TDataLink();
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* DataSource() const { return FDataSource; }
    void SetDataSource(TDataSource* ds);
    TDataSet* DataSet() const;
    bool Active() const; // bound to an open dataset

    // The dataset opened or closed.
    virtual void ActiveChanged() {}
    // The view was rebuilt: its rows, order or filter changed as a whole.
    virtual void DataSetChanged() {}
    // One row of the view changed (see TRowChange); the current row may be that row.
    virtual void RowChanged(const TRowChange&) {}
    // The current row moved.
    virtual void DataSetScrolled() {}
    // A field of the current record was written.
    virtual void RecordChanged(TField*) {}
    // Browse, edit or insert began.
    virtual void EditingChanged() {}
    // Hand over held text to the record now (write it into the field).
    virtual void UpdateData() {}

private:
    TDataSource* FDataSource = nullptr;
};

class TDataSource {
public:
    explicit TDataSource(TDataSet* dataSet = nullptr);
    ~TDataSource();
    TDataSource(const TDataSource&) = delete;
    TDataSource& operator=(const TDataSource&) = delete;

    TDataSet* DataSet() const { return FDataSet; }
    void SetDataSet(TDataSet* ds);

    // Called by the dataset.
    template <typename F> void ForEachLink(F&& f)
    {
        // A link may detach itself while being told; walk a copy.
        const std::vector<TDataLink*> links = FLinks;
        for (TDataLink* l : links)
            f(*l);
    }

private:
    friend class TDataLink;
    TDataSet* FDataSet = nullptr;
    std::vector<TDataLink*> FLinks;
};
