#include "store/catalogue/datasource.h"

#include "store/catalogue/dataset.h"

#include <algorithm>

TDataLink::~TDataLink() { SetDataSource(nullptr); }

void TDataLink::SetDataSource(TDataSource* ds)
{
    if (FDataSource == ds)
        return;
    if (FDataSource) {
        auto& links = FDataSource->FLinks;
        links.erase(std::remove(links.begin(), links.end(), this), links.end());
    }
    FDataSource = ds;
    if (FDataSource)
        FDataSource->FLinks.push_back(this);
    ActiveChanged();
}

TDataSet* TDataLink::DataSet() const { return FDataSource ? FDataSource->DataSet() : nullptr; }

bool TDataLink::Active() const { return DataSet() && DataSet()->Active(); }

TDataSource::TDataSource(TDataSet* dataSet) { SetDataSet(dataSet); }

TDataSource::~TDataSource()
{
    SetDataSet(nullptr);
    for (TDataLink* l : std::vector<TDataLink*>(FLinks))
        l->SetDataSource(nullptr);
}

void TDataSource::SetDataSet(TDataSet* ds)
{
    if (FDataSet == ds)
        return;
    if (FDataSet)
        FDataSet->DetachDataSource(this);
    FDataSet = ds;
    if (FDataSet)
        FDataSet->AttachDataSource(this);
    ForEachLink([](TDataLink& l) { l.ActiveChanged(); });
}
