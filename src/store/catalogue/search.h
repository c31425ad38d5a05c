#pragma once
// Narrowing the catalogue to names that begin with a text, and its six sort orders.
// The main window's search box and sort menu and the command line use these.

#include <QString>
#include <QVector>

class TDataModule1;

struct TSortKey {
    QString Key;     // command-line name
    QString Caption; // menu caption
    QString Field;   // sort field of the catalogue table
};

namespace Search {

// name, platform, category, type, maker, size, in menu order.
const QVector<TSortKey>& SortKeys();
// The sort field for a command-line key; throws for an unknown one.
QString SortFieldForKey(const QString& key);

// The expression that keeps names sorting at or after TEXT. A quote in TEXT is
// doubled, so "Baldur's Gate" is a text like any other.
QString ExpressionFor(const QString& text);

// Applies TEXT to the catalogue table as the search box does: filtering on while
// TEXT is not empty, the expression, and the prefix test of the record filter.
void Apply(TDataModule1& dm, const QString& text);

} // namespace Search
