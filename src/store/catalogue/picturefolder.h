#pragma once
// The picture folder: the files that catalogue records name in their Images column.
// A record keeps only a bare file name; this is the one place that turns such a name
// into a file, picks the name a new picture is stored under and decides when a file
// may go. The windows and the command line share it.

#include <QByteArray>
#include <QString>

#include <utility>

class TADOConnection;

class TPictureFolder {
public:
    // The folder at PATH, which need not exist yet.
    explicit TPictureFolder(QString path) : FPath(std::move(path)) {}

    const QString& Path() const { return FPath; }

    // True when NAME can only name a file directly inside the folder: not empty, no
    // path separator (either kind, since catalogues travel between systems), not "."
    // or "..", no NUL.
    static bool SafeName(const QString& name);
    // The file that NAME stands for, or "" when NAME is not a safe name.
    QString FilePath(const QString& name) const;
    // True when NAME is safe and a file (not a folder) of that name is in the folder.
    bool Holds(const QString& name) const;

    // The name a picture called NAME is stored under: NAME itself when the folder has
    // no file of that name, else the first of 1_NAME, 2_NAME, ... that is free, so that
    // a gap left by a removed picture is filled first. Every candidate is kept to
    // MAXLENGTH characters by shortening the part before the extension, so that the
    // name a record can hold is the name of the file.
    QString FreeName(const QString& name, int maxLength) const;

    // The name of a file in the folder that holds exactly DATA and is named as a
    // picture called NAME is stored (NAME itself, or a number and "_" before it); ""
    // when there is none.
    QString SameFile(const QString& name, const QByteArray& data) const;

    // Copies the file at SOURCE into the folder (created when missing) under
    // FreeName(its file name, MAXLENGTH), never over an existing file, and returns the
    // name; a file of that name with the same bytes is used as it is (SameFile). A
    // failure throws EError saying why; the folder is left as it was.
    QString Store(const QString& source, int maxLength) const;

    // Writes DATA into the folder (created when missing) as a new file under
    // FreeName(NAME, MAXLENGTH), never over an existing file, and returns the name; a
    // file of that name with the same bytes is used as it is (SameFile). A failure
    // throws EError saying why.
    QString StoreData(const QString& name, const QByteArray& data, int maxLength) const;

    // Deletes the file NAME stands for when NAME is safe and names a file; true when a
    // file went.
    bool Remove(const QString& name) const;

private:
    QString FPath;
};

// How many records of the catalogue file hold NAME in their Images column, records
// that no dataset has loaded included. A closed connection fails.
int PictureUses(TADOConnection& connection, const QString& name);
