#pragma once
// Windows Installer packages (.msi): what the package says of the product it
// installs, where each of its files goes, and the cabinets that hold them. msitools'
// libmsi reads the compound file, in the helper process tresmol-msi: libmsi crashes
// on some damaged packages, and such a package must cost a helper, never the scan.

#include "platform/errors.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class QDataStream;

namespace Harvest {

// A package's extension, compared without regard to case.
inline constexpr QStringView PackageMask = u"*.msi";

// NAME (without its folder) ends in ".msi", in any case.
bool IsPackageName(const QString& name);

// Not a package, or one that libmsi cannot read (damaged, cut short, not a database),
// or one that stopped the helper.
class EPackageError : public EError {
public:
    using EError::EError;
};

// What the helper reads of a package, in one piece.
struct TPackageFacts {
    QHash<QString, QString> Properties; // the Property table
    QString Subject;                    // summary information
    QString Author;
    QString Comments;
    int CodePage = 0;
    // Only when asked for:
    QHash<QString, QString> Paths; // File key -> installed path
    QStringList Cabinets;          // the Media table's, in disk order, "#name" embedded
};
QDataStream& operator<<(QDataStream& out, const TPackageFacts& facts);
QDataStream& operator>>(QDataStream& in, TPackageFacts& facts);

class TMsiPackage {
public:
    // What is read: what the package says of its product, or that and where its files
    // go and which cabinets hold them (three more tables, and only the archive search
    // needs them).
    enum class TRead { Product, Contents };
    // Reads the package at PATH (PathFromNative text); throws EPackageError.
    explicit TMsiPackage(const QString& path, TRead what = TRead::Product);
    // The same over a package in memory: BYTES are copied into an unnamed file, since
    // libmsi reads only by name.
    explicit TMsiPackage(const QByteArray& bytes, TRead what = TRead::Product);
    ~TMsiPackage();
    TMsiPackage(const TMsiPackage&) = delete;
    TMsiPackage& operator=(const TMsiPackage&) = delete;

    // The value of NAME in the Property table, empty when there is none. Texts come
    // in UTF-8 whatever the package's code page.
    QString Property(const QString& name) const { return FFacts.Properties.value(name); }
    // Summary information: the subject, author and comments, empty when missing.
    QString Subject() const { return FFacts.Subject; }
    QString Author() const { return FFacts.Author; }
    QString SummaryComments() const { return FFacts.Comments; }
    // The code page of the package's texts: the database's own, else the summary
    // information's; 0 when neither says (the texts are then ASCII).
    int CodePage() const { return FFacts.CodePage; }

    // With TRead::Contents: where each file installs, keyed by its File table key (which is also
    // its name inside the cabinets): the path under the target computer's root,
    // "/Program Files/Maker/app.exe", from the File, Component and Directory tables.
    QHash<QString, QString> InstalledPaths() const { return FFacts.Paths; }

    // With TRead::Contents: the cabinets of the Media table, in disk order. An embedded one
    // ("#name" in the table) is a stream of the package; any other is a file beside the package.
    struct TCabinet {
        QString Name;
        bool Embedded = false;
    };
    QList<TCabinet> Cabinets() const;
    // Up to LIMIT bytes of the embedded stream NAME into OUT; false when there is no
    // such stream, it is longer than LIMIT, or the helper failed on it.
    bool ReadStream(const QString& name, qint64 limit, QByteArray& out) const;

private:
    void Read(TRead what);

    QByteArray FNativePath; // as the helper opens it
    int FMemoryFile = -1;
    TPackageFacts FFacts;
};

// Where the helper is: beside the installed program in its libexec folder, or where
// the build put it.
QString PackageHelperPath();

// How long the helper may take over one question before it is stopped.
inline constexpr int PackageHelperTimeoutMs = 10000;

} // namespace Harvest
