#pragma once
// A new file that has no name in its folder until it is complete, so that a run
// killed half way leaves nothing behind: an unnamed file (O_TMPFILE) linked in under
// its name at the end. Where the file system has no unnamed files, a hidden name
// stands in until then, and is removed unless the file was given its name.
//
// Giving the name never replaces anything that is there, a symbolic link included,
// and never follows a link: no copy, no truncation of another file.

#include <QString>

class TUnnamedFile {
public:
    // Opens the file in FOLDER with the permissions of any new file. Throws
    // std::system_error with the errno when it cannot.
    explicit TUnnamedFile(const QString& folder);
    ~TUnnamedFile();
    TUnnamedFile(const TUnnamedFile&) = delete;
    TUnnamedFile& operator=(const TUnnamedFile&) = delete;

    int Fd() const { return FFd; }
    // True when the file has no name of its own while it is written.
    bool Unnamed() const { return FHiddenPath.isEmpty(); }

    // Gives the file the name PATH (in the folder it was opened in) and closes it.
    // False, with nothing changed, when PATH is taken by any kind of entry; throws
    // std::system_error for any other failure.
    bool LinkAs(const QString& path);

    // For tests: behave as on a file system without unnamed files.
    static void SetUnnamedFilesAllowed(bool allowed);

private:
    int FFd = -1;
    QString FHiddenPath; // the stand-in name, when there is one
};
