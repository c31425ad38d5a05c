#include "dbaware/fieldlink.h"

#include "store/catalogue/dataset.h"

void TFieldDataLink::SetFieldName(const QString& name)
{
    FFieldName = name;
    FClient->DataChange(nullptr);
}

TField* TFieldDataLink::Field() const
{
    TDataSet* ds = DataSet();
    if (!ds || !ds->Active() || FFieldName.isEmpty())
        return nullptr;
    return ds->FindField(FFieldName);
}

bool TFieldDataLink::CanModify() const
{
    const TField* f = Field();
    return f && !f->ReadOnly() && f->FieldKind() != TFieldKind::fkCalculated &&
           f->DataType() != TFieldType::ftAutoInc;
}

void TFieldDataLink::Edit()
{
    if (TDataSet* ds = DataSet(); ds && !Editing())
        ds->Edit();
}

bool TFieldDataLink::Editing() const
{
    const TDataSet* ds = DataSet();
    return ds && (ds->State() == TDataSetState::dsEdit || ds->State() == TDataSetState::dsInsert);
}

void TFieldDataLink::RecordChanged(TField* field)
{
    TField* mine = Field();
    if (!field || !mine || field == mine)
        FClient->DataChange(field);
    else if (mine->IsLookup() &&
             field->FieldName().compare(mine->Def().KeyFields, Qt::CaseInsensitive) == 0)
        FClient->DataChange(field);
}
