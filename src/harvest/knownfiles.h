#pragma once
// The files a catalogue already holds, so that a second scan of the same folders
// does not add them again: by the path kept in FileName, with the Size and the
// FileVersion of each record.

#include <QHash>
#include <QList>
#include <QString>

class TDataSet;

namespace Harvest {

enum class TKnownState {
    New,     // no record has the path
    Known,   // a record has the path, the size and the file version
    Changed, // records have the path, none the same file version and size
};

class TKnownFiles {
public:
    // Every record of TABLE, whatever its filters hide.
    explicit TKnownFiles(const TDataSet& table);

    // Some record has PATH as its FileName: only then is the file worth reading.
    bool HasPath(const QString& path) const { return FByPath.contains(path); }
    // What the catalogue says of the file at PATH of SIZE bytes (-1 when unknown)
    // whose FileVersion column would get FILEVERSION. A record's Size is free text
    // that harvesting leaves empty: an empty one agrees with any size, any other
    // must be the size in bytes.
    TKnownState State(const QString& path, qint64 size, const QString& fileVersion) const;
    // A record harvested now, with an empty Size: later files of the same run are
    // checked against it.
    void Add(const QString& path, const QString& fileVersion);

private:
    struct TEntry {
        QString Size;
        QString FileVersion;
    };
    QString StoredVersion(const QString& fileVersion) const;

    QHash<QString, QList<TEntry>> FByPath;
    int FVersionSize = 0; // FileVersion's size in characters: values are cut to it
};

} // namespace Harvest
