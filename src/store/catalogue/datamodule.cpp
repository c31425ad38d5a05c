#include "store/catalogue/datamodule.h"

#include "platform/errors.h"
#include "store/catalogue/schema.h"

using namespace Qt::Literals::StringLiterals;

TDataModule1::TDataModule1(TErrorReporter report, const QString& connectionString,
                           TBookFields bookFields)
    : ADOConnection(connectionString),
      BookTable(&ADOConnection, u"SoftTable"_s,
                bookFields == TBookFields::All ? Schema::FieldDefs(u"SoftTable"_s)
                                               : Schema::ShownFieldDefs(u"SoftTable"_s)),
      DataSource(&BookTable), ManufacturerADOTable(&ADOConnection, u"ManufacturerDiscBase"_s),
      ManufacturerDataSource(&ManufacturerADOTable),
      CategoryADOTable(&ADOConnection, u"CategoryBase"_s),
      PlatformADOTable(&ADOConnection, u"PlatformBase"_s),
      ProgramTypeADOTable(&ADOConnection, u"ProgramtypeBase"_s),
      TypeDiscADOTable(&ADOConnection, u"TypeDiscBase"_s), CategoryDataSource(&CategoryADOTable),
      PlatformDataSource(&PlatformADOTable), ProgramTypeDataSource(&ProgramTypeADOTable),
      TypeDiscDataSource(&TypeDiscADOTable)
{
    for (TDataSet* ref : ReferenceTables())
        for (int i = 0; i < BookTable.FieldCount(); ++i)
            if (BookTable.Fields(i)->IsLookup() && BookTable.Fields(i)->Def().LookupTable.compare(
                                                       ref->TableName(), Qt::CaseInsensitive) == 0)
                BookTable.Fields(i)->SetLookupDataSet(ref);
    BookTable.OnCalcFields = [this](TDataSet& ds) { BookTableCalcFields(ds); };
    BookTable.OnFilterRecord = [this](TDataSet& ds, bool& accept) {
        BookTableFilterRecord(ds, accept);
    };

    const auto attempt = [this, &report](const std::function<void()>& step) {
        try {
            step();
        } catch (const EError& e) {
            if (!FFirstFailure)
                FFirstFailure = std::current_exception();
            if (report)
                report(e.Message());
        }
    };
    attempt([this] { ADOConnection.Open(); });
    for (TDataSet* ref : ReferenceTables())
        attempt([ref] { ref->Open(); });
}

TDataModule1::~TDataModule1()
{
    BookTable.AfterScroll = nullptr;
    BookTable.AfterPost = nullptr;
    BookTable.AfterOpen = nullptr;
    BookTable.BeforeClose = nullptr;
}

std::vector<TDataSet*> TDataModule1::ReferenceTables()
{
    return {&ManufacturerADOTable, &CategoryADOTable, &PlatformADOTable, &ProgramTypeADOTable,
            &TypeDiscADOTable};
}

void TDataModule1::SetSearchText(const QString& text)
{
    FSearchText = text;
    FSearchUtf8 = text.isValidUtf16() ? text.toUtf8() : QByteArray();
    // A name that begins with the text, case and all, begins with it without regard to
    // case: the table can rule out the other names from its folded ones without asking
    // the record filter. A text that ends inside a character promises only what comes
    // before it, since the whole character folds as one.
    QString prefix = text;
    if (!prefix.isEmpty() && prefix.back().isHighSurrogate())
        prefix.chop(1);
    BookTable.SetRecordFilterPrefix(u"ProductName"_s, prefix);
}

void TDataModule1::BookTableCalcFields(TDataSet& ds)
{
    ds.FieldByName(u"Номер"_s)->SetAsInteger(ds.RecNo());
}

void TDataModule1::BookTableFilterRecord(TDataSet& ds, bool& accept)
{
    accept = false;
    if (!FProductName || FProductName->DataSet() != &ds)
        FProductName = ds.FieldByName(u"ProductName"_s);
    // Asked only of the rows whose name begins with the search text without regard to
    // case (the prefix promised to the table), so few at each typed character.
    // The name cut to the length of the search text must equal it, case and all. A
    // name in the table is whole characters of UTF-8, so it begins with a text of
    // whole characters exactly when its bytes begin with the text's: no copy of each
    // name asked about.
    if (!FSearchUtf8.isEmpty()) {
        if (const std::optional<QUtf8StringView> bytes = FProductName->StoredUtf8();
            bytes && !bytes->isNull()) {
            accept = QByteArrayView(*bytes).startsWith(FSearchUtf8);
            return;
        }
    }
    const QString name = FProductName->AsString();
    accept = name.startsWith(FSearchText, Qt::CaseSensitive);
}
