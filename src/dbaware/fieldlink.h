#pragma once
// The link between one data-aware widget and one field of a data source's dataset.
// The widget implements TFieldLinkClient; the link passes the dataset's news on.

#include "store/catalogue/datasource.h"

#include <QString>

#include <functional>

class TField;

class TFieldLinkClient {
public:
    virtual ~TFieldLinkClient() = default;
    // The widget's field or the whole record changed (rows, current row, open or
    // closed, a value written): show the field's value again.
    virtual void DataChange(TField* changed) = 0;
    // Browse, edit or insert began.
    virtual void EditingChange() {}
    // Hand over held text to the record now.
    virtual void UpdateData() {}
};

class TFieldDataLink : public TDataLink {
public:
    explicit TFieldDataLink(TFieldLinkClient* client) : FClient(client) {}

    const QString& FieldName() const { return FFieldName; }
    void SetFieldName(const QString& name);
    // The bound field of the open dataset; nullptr when unbound or closed.
    TField* Field() const;
    // The field exists and the user may change it.
    bool CanModify() const;
    // Puts the dataset into edit mode (insert when it has no row) unless it is editing
    // already; the dataset's error when it cannot.
    void Edit();
    bool Editing() const;

    void ActiveChanged() override { FClient->DataChange(nullptr); }
    void DataSetChanged() override { FClient->DataChange(nullptr); }
    // The current row may be the one that changed: show it again.
    void RowChanged(const TRowChange&) override { FClient->DataChange(nullptr); }
    void DataSetScrolled() override { FClient->DataChange(nullptr); }
    void RecordChanged(TField* field) override;
    void EditingChanged() override { FClient->EditingChange(); }
    void UpdateData() override { FClient->UpdateData(); }

private:
    TFieldLinkClient* FClient;
    QString FFieldName;
};

// A link to a list (a reference table's data source): only says that its rows changed.
class TListDataLink : public TDataLink {
public:
    explicit TListDataLink(std::function<void()> changed) : FChanged(std::move(changed)) {}
    void ActiveChanged() override { FChanged(); }
    void DataSetChanged() override { FChanged(); }
    void RowChanged(const TRowChange&) override { FChanged(); }

private:
    std::function<void()> FChanged;
};
