#pragma once
// Case folding as Qt's case-insensitive comparison does it: each character folded on
// its own (simple folding), so a folded text keeps its length, and two texts compare
// without regard to case exactly as their folded forms compare character by character.
// Folding a column once lets a filter or a sort compare plain text afterwards.

#include <QString>
#include <QStringView>
#include <QUtf8StringView>

namespace CaseFold {

// Writes the folded form of TEXT, as many characters as TEXT has, from OUT on;
// returns the end.
char16_t* Write(QStringView text, char16_t* out);
// The folded form of TEXT.
QString Folded(QStringView text);
// Writes the folded form of BYTES, valid UTF-8, in UTF-16 from OUT on (as many
// characters as the text has, never more than BYTES has bytes); returns the end. The
// same as Write over the text BYTES read as.
char16_t* WriteUtf8(QUtf8StringView bytes, char16_t* out);

} // namespace CaseFold
