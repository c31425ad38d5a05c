#pragma once
// Bringing a catalogue across from its Jet form: the .mdb file that the program kept
// on Windows, with the same six tables, read through libmdb and written into a new
// catalogue by the program's own store. The command line and the window share it.
//
// The tables and their fields are matched by name, whatever the case. Keys are kept,
// so the lookups and record numbers stay what they were. Text and Memo go to texts,
// Byte, Integer and Long Integer to numbers, Yes/No to 0/1, a Date/Time (should a
// text field hold one) to its "YYYY-MM-DD hh:mm:ss" text; a null stays null, and an
// empty text reads as one under the catalogue's empty/null rule. A column the
// catalogue does not know, or of a type its field cannot take, is reported and
// skipped; a field the old file lacks stays empty.
//
// Pictures: each name in the Images field is looked for in the "Images" folder beside
// the old file. A file found is copied into the new catalogue's picture folder under
// the picture naming rule, never over another file, and the record names the copy; a
// record whose picture is missing keeps no name.

#include "platform/errors.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

namespace JetImport {

// True when the file at PATH names itself a Jet database ("Standard Jet DB" or
// "Standard ACE DB" at offset 4).
bool IsJetFile(const QString& path);

enum class TJetFault {
    NotJet,       // not a Jet database at all
    Damaged,      // libmdb cannot read it
    NotCatalogue, // Jet, but not a catalogue of this program; DETAIL: what is missing
    Encoding,     // libmdb was told (MDBICONV) to give texts in DETAIL, not UTF-8
    Source,       // the old file cannot be read; DETAIL: why
};

class EJetError : public EError {
public:
    // DETAIL goes into both languages' texts unless RUSSIANDETAIL is given for the
    // Russian one.
    EJetError(TJetFault fault, const QString& path, const QString& detail = QString(),
              const QString& russianDetail = QString());
    TJetFault Fault() const { return FFault; }

private:
    TJetFault FFault;
};

struct TTableCount {
    QString Table;
    qint64 Rows = 0;
};

struct TSummary {
    QVector<TTableCount> Tables; // the six tables, the main table first
    int PicturesCopied = 0;
    int PicturesMissing = 0;
    QStringList SkippedColumns; // "Table.Column (why)"
    QStringList MissingFields;  // "Table.Column": fields left empty
};

struct TOptions {
    // The new catalogue's picture folder.
    QString PictureFolder;
    // Told now and then how many rows of TOTAL are done.
    std::function<void(qint64 done, qint64 total)> Progress;
};

// The name proposed for the catalogue converted from the Jet file at OLD: beside it,
// "NAME (преобразован).mdb", or with a number when that is taken.
QString ProposedName(const QString& oldPath);

// Converts the Jet catalogue at OLD into a new catalogue at NEW, which must not exist.
// The new file appears whole or not at all (see Catalogue::Build); pictures copied
// for a conversion that fails are taken back. A failure throws: EJetError for the
// old file, EDatabaseError for the new one.
TSummary Convert(const QString& oldPath, const QString& newPath, const TOptions& options);

} // namespace JetImport
