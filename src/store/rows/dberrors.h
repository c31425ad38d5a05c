#pragma once
// A failure of the catalogue engine: a file that cannot be opened, a rejected post,
// an operation the dataset's state does not allow.
//
// The engine's own failures are told by kind (TDbFault) and worded from it in both of
// the program's languages at once: the windows show the Russian text, the command line
// prints the English one (EError::Message, EError::EnglishMessage). A text that must
// read the same everywhere (the dataset's "Cannot perform this operation on a closed
// dataset") is given as it is.

#include "platform/errors.h"

#include <QString>

// What the engine was doing when it failed: the opening of the message.
enum class TDbAction {
    None,          // the cause alone
    OpenFile,      // "Cannot open the catalogue file "PATH": ..."
    OpenCatalogue, // "Cannot open the catalogue PATH: ..."
    Create,        // "Cannot create the catalogue PATH: ..."
    ReadTable,     // "Cannot read the table SUBJECT ("PATH"): ..."
    Save,          // "Cannot save the record ("PATH"): ..."
    Delete,        // "Cannot delete the record ("PATH"): ..."
};

// Why it failed.
enum class TDbFault {
    Conflict,              // the row was changed by someone else after it was read
    DeletedElsewhere,      // the row was deleted by someone else after it was read
    ReadOnly,              // the file or its folder cannot be written
    SideFileOfAnotherUser, // SUBJECT: the log or index beside the file, DETAIL: its owner
    LogWithoutIndex,       // SUBJECT: a log that this user could read only by making an index
    Locked,                // another program holds the file's lock
    NotADatabase,          // SQLite does not recognise the file
    Damaged,               // the file is corrupt
    DiskFull,              //
    InputOutput,           // the disk failed a read or a write
    CannotOpen,            // the file could not be opened
    Refused,               // a statement the file refuses (its tables changed by hand); DETAIL
    Closed,                // the connection is closed; SUBJECT names the table
    NoDataSource,          // the connection string names no file
    NoSuchFile,            //
    IsFolder,              //
    EmptyFile,             //
    JetFile,               // a Microsoft Access (Jet) database
    UnknownFormat,         // neither SQLite nor Jet
    MissingTable,          // SUBJECT: the table
    MissingColumn,         // SUBJECT: the table, DETAIL: the column
    AlreadyExists,         // the file to create is there
    NotClosed,             // a new catalogue's side files stayed behind
    PathHasSemicolon,      // the connection string cannot name such a path
    System,                // a system call failed; DETAIL is its error text
    Other,                 // DETAIL: the engine's own words
};

class EDatabaseError : public EError {
public:
    // A text that reads the same in the windows and on the command line.
    using EError::EError;
    // A failure of ACTION because of FAULT, in PATH (the catalogue file, or the file to
    // create); SUBJECT and DETAIL fill in what the fault's wording needs.
    EDatabaseError(TDbAction action, TDbFault fault, const QString& path,
                   const QString& subject = QString(), const QString& detail = QString());
    // A failure with its Russian and English wording given.
    EDatabaseError(QString russian, QString english);

    // The fault the engine worded the failure from; Other for a text given as it is.
    TDbFault Fault() const { return FFault; }

private:
    TDbFault FFault = TDbFault::Other;
};
