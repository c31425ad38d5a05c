#pragma once
// The data module: the one connection to the catalogue file, the cursor on the main
// table and the five reference cursors, and the data sources every window binds to.
// It lives for the whole run.

#include "store/catalogue/connection.h"
#include "store/catalogue/dataset.h"
#include "store/catalogue/datasource.h"

#include <exception>
#include <functional>

// Which of the main table's fields the data module reads: all of them, for the windows
// and anything that edits, or only what the grid's shown columns need, for a listing.
enum class TBookFields { All, Shown };

class TDataModule1 {
public:
    // Reports a failure that start-up does not stop for (the connection or a
    // reference cursor that cannot open).
    using TErrorReporter = std::function<void(const QString& message)>;

    // Opens the connection, then the five reference cursors, each failure reported
    // at once and creation going on with the next. The main table stays closed.
    explicit TDataModule1(TErrorReporter report,
                          const QString& connectionString = TADOConnection::DefaultConnectionString,
                          TBookFields bookFields = TBookFields::All);
    ~TDataModule1();
    TDataModule1(const TDataModule1&) = delete;
    TDataModule1& operator=(const TDataModule1&) = delete;

    TADOConnection ADOConnection;
    TDataSet BookTable;
    TDataSource DataSource;
    TDataSet ManufacturerADOTable;
    TDataSource ManufacturerDataSource;
    TDataSet CategoryADOTable;
    TDataSet PlatformADOTable;
    TDataSet ProgramTypeADOTable;
    TDataSet TypeDiscADOTable;
    TDataSource CategoryDataSource;
    TDataSource PlatformDataSource;
    TDataSource ProgramTypeDataSource;
    TDataSource TypeDiscDataSource;

    // The five reference cursors in the order they open.
    std::vector<TDataSet*> ReferenceTables();

    // The search text the record filter compares names with; set by the search box.
    const QString& SearchText() const { return FSearchText; }
    void SetSearchText(const QString& text);

    // The first failure start-up reported, to be thrown again whole (in both of its
    // languages) by a caller that stops at it; null when there was none.
    std::exception_ptr FirstFailure() const { return FFirstFailure; }

    // Handlers of BookTable's events that belong to the catalogue itself.
    void BookTableCalcFields(TDataSet& ds);
    void BookTableFilterRecord(TDataSet& ds, bool& accept);

private:
    QString FSearchText;
    // FSearchText in UTF-8, empty when it holds half of a surrogate pair, which UTF-8
    // cannot hold.
    QByteArray FSearchUtf8;
    std::exception_ptr FFirstFailure;
    TField* FProductName = nullptr;
};
