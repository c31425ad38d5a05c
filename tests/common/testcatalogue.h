#pragma once
// A throw-away catalogue in a temporary folder, filled through the engine itself.

#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"

#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class TTestCatalogue {
public:
    TTestCatalogue()
    {
        FPath = FDir.filePath(QStringLiteral("Tresmol.mdb"));
        Catalogue::Create(FPath);
    }

    const QString& Path() const { return FPath; }
    QString Folder() const { return FDir.path(); }
    QString ConnectionString() const { return Catalogue::ConnectionStringFor(FPath); }

    // A data module on the catalogue; errors while opening fail the test.
    std::unique_ptr<TDataModule1> Open() const
    {
        QStringList errors;
        auto dm = std::make_unique<TDataModule1>([&errors](const QString& m) { errors << m; },
                                                 ConnectionString());
        if (!errors.isEmpty())
            qFatal("cannot open the test catalogue: %s", qPrintable(errors.join(u'\n')));
        return dm;
    }

    // Appends records named NAMES (in that order) and returns their Ids.
    static QList<int> AddNames(TDataSet& table, const QStringList& names)
    {
        QList<int> ids;
        for (const QString& n : names) {
            table.Append();
            table.FieldByName(QStringLiteral("ProductName"))->SetAsString(n);
            table.Post();
            ids << table.FieldByName(QStringLiteral("Id"))->AsInteger();
        }
        return ids;
    }

    // Adds a reference row and returns its key.
    static int AddReference(TDataSet& ref, const QString& text)
    {
        ref.Append();
        ref.Fields(1)->SetAsString(text);
        ref.Post();
        return ref.Fields(0)->AsInteger();
    }

private:
    QTemporaryDir FDir;
    QString FPath;
};
