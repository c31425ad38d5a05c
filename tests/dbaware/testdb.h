#pragma once
// A throw-away catalogue for the window tests: a temporary folder holding a catalogue
// file, and a data module opened on it.

#include "store/catalogue.h"
#include "store/datamodule.h"

#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TTestDb {
public:
    TTestDb()
    {
        FPath = FDir.filePath(QStringLiteral("Tresmol.mdb"));
        Catalogue::Create(FPath);
    }

    const QString& Path() const { return FPath; }
    QString Folder() const { return FDir.path(); }
    QString ConnectionString() const { return Catalogue::ConnectionStringFor(FPath); }

    std::unique_ptr<TDataModule1> Open() const
    {
        QStringList errors;
        auto dm = std::make_unique<TDataModule1>([&errors](const QString& m) { errors << m; },
                                                 ConnectionString());
        if (!errors.isEmpty())
            qFatal("cannot open the test catalogue: %s", qPrintable(errors.join(u'\n')));
        return dm;
    }

    // Appends records named NAMES, in that order.
    static void AddNames(TDataSet& table, const QStringList& names)
    {
        for (const QString& n : names) {
            table.Append();
            table.FieldByName(QStringLiteral("ProductName"))->SetAsString(n);
            table.Post();
        }
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
