#pragma once
// Case folding as Qt's case-insensitive comparison does it: each character folded on
// its own (simple folding), so a folded text keeps its length, and two texts compare
// without regard to case exactly as their folded forms compare character by character.
// Folding a column once lets a filter or a sort compare plain text afterwards.

#include <QString>
#include <QStringView>

#include <vector>

namespace CaseFold {

// Appends the folded form of TEXT to OUT.
void Append(QStringView text, std::vector<char16_t>& out);
// The folded form of TEXT.
QString Folded(QStringView text);

} // namespace CaseFold
