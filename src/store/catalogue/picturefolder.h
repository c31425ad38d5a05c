#pragma once
// The picture folder: the files that catalogue records name in their Images column.
// A record keeps only a bare file name; this is the one place that turns such a name
// into a file, picks the name a new picture is stored under and decides when a file
// may go. The windows and the command line share it.

#include <QByteArray>
#include <QString>

#include <memory>
#include <utility>

class TADOConnection;

// A harvest stores thousands of icons, many of one name (every "setup.exe" gives a
// "setup.ico"), so an instance lists the folder once, when a name is first chosen or
// compared, and keeps that list up to date with what it stores and removes itself: the
// cost of a store does not grow with the number of files of that name. What another
// program does to the folder meanwhile is checked on disk where it matters: a name it
// took is never written over. A gap it leaves, or a copy it adds, is seen by the next
// instance. An instance is used by one thread at a time.
class TPictureFolder {
public:
    // The folder at PATH, which need not exist yet.
    explicit TPictureFolder(QString path);
    ~TPictureFolder();
    TPictureFolder(const TPictureFolder&) = delete;
    TPictureFolder& operator=(const TPictureFolder&) = delete;

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
    // a gap left by a removed picture is filled first (a gap this instance knows of: see
    // above). A name is free when nothing of that name is on disk. Every candidate is kept to
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
    struct TIndex;
    TIndex& Index() const;
    // Records that the folder now holds NAME with DATA, or nothing of that name.
    // DATA is the file's whole content when it is at hand, to compare later stores with.
    void Added(const QString& name, qint64 size, const QByteArray* data) const;

    // Makes the folder unless this instance already made or found it; throws EError.
    void MakeFolder() const;
    // After a store failed: makes the folder again when it has gone since (true), so
    // that the store can be tried again; false when it is there.
    bool RemakeFolder() const;

    QString FPath;
    mutable std::unique_ptr<TIndex> FIndex; // built at first need
    // The folder was there at the last store: a harvest of thousands of icons asks
    // for it once, not per icon.
    mutable bool FFolderMade = false;
};

// How many records of the catalogue file hold NAME in their Images column, records
// that no dataset has loaded included. A closed connection fails.
int PictureUses(TADOConnection& connection, const QString& name);
