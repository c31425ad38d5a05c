#pragma once
// Windows Installer packages (.msi) read through msitools' libmsi: what the package
// says of the product it installs, where each of its files goes, and the cabinets
// that hold them. The compound file itself is libmsi's to read.

#include "platform/errors.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <memory>

namespace Harvest {

// A package's extension, compared without regard to case.
inline constexpr QStringView PackageMask = u"*.msi";

// NAME (without its folder) ends in ".msi", in any case.
bool IsPackageName(const QString& name);

// Not a package, or one that libmsi cannot read (damaged, cut short, not a database).
class EPackageError : public EError {
public:
    using EError::EError;
};

class TMsiPackage {
public:
    // Opens the package at PATH (PathFromNative text) read-only; throws EPackageError.
    explicit TMsiPackage(const QString& path);
    // The same over a package in memory: BYTES are copied into an unnamed file, since
    // libmsi reads only by name.
    explicit TMsiPackage(const QByteArray& bytes);
    ~TMsiPackage();
    TMsiPackage(const TMsiPackage&) = delete;
    TMsiPackage& operator=(const TMsiPackage&) = delete;

    // The value of NAME in the Property table, empty when there is none. Texts come
    // in UTF-8 whatever the package's code page.
    QString Property(const QString& name) const;
    // Summary information: the subject, author and comments, empty when missing.
    QString Subject() const { return FSubject; }
    QString Author() const { return FAuthor; }
    QString SummaryComments() const { return FComments; }
    // The code page of the package's texts: the database's own, else the summary
    // information's; 0 when neither says (the texts are then ASCII).
    int CodePage() const { return FCodePage; }

    // Where each file installs, keyed by its File table key (which is also its name
    // inside the cabinets): the path under the target computer's root,
    // "/Program Files/Maker/app.exe", from the File, Component and Directory tables.
    QHash<QString, QString> InstalledPaths() const;

    // The cabinets of the Media table, in disk order. An embedded one ("#name" in the
    // table) is a stream of the package; any other is a file beside the package.
    struct TCabinet {
        QString Name;
        bool Embedded = false;
    };
    QList<TCabinet> Cabinets() const;
    // Up to LIMIT bytes of the embedded stream NAME into OUT; false when there is no
    // such stream or it is longer than LIMIT.
    bool ReadStream(const QString& name, qint64 limit, QByteArray& out) const;

private:
    struct TDatabase;
    void Open(const QByteArray& nativePath);
    // Each row of QUERY as its fields' texts; nothing when the query fails (a table
    // the package lacks).
    QList<QStringList> Rows(const char* query, int fields) const;

    std::unique_ptr<TDatabase> FDb;
    int FMemoryFile = -1;
    QHash<QString, QString> FProperties;
    QString FSubject;
    QString FAuthor;
    QString FComments;
    int FCodePage = 0;
};

} // namespace Harvest
