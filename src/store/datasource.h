#pragma once
// A data source links a dataset to the widgets that show and edit its current row.
// Widgets subclass TDataLink; the dataset tells every link what happened, and asks
// each one to hand over text it still holds before the record is posted or left.

#include <vector>

class TDataSet;
class TDataSource;
class TField;

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
    // Rows, order, filter or the current row's values changed as a whole.
    virtual void DataSetChanged() {}
    // The current row moved.
    virtual void DataSetScrolled() {}
    // A field of the current record changed (nullptr: the whole record).
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
