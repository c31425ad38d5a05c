// GLib's headers name a field "signals", which Qt defines as a keyword: they come
// before any of Qt's.
#include <libmsi.h>

#include "harvest/msireader.h"

#include <QHash>
#include <QSet>

#include <sys/mman.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace Harvest {

namespace {

template <typename T> struct TUnref {
    void operator()(T* p) const
    {
        if (p)
            g_object_unref(p);
    }
};
template <typename T> using TRef = std::unique_ptr<T, TUnref<T>>;

QString TakeString(gchar* text)
{
    const QString s = text ? QString::fromUtf8(text) : QString();
    g_free(text);
    return s;
}

// The target half of a Directory or File name ("target:source"), and of that the long
// name ("short|long").
QString LongName(const QString& name)
{
    QString target = name.section(u':', 0, 0);
    const qsizetype bar = target.indexOf(u'|');
    return bar >= 0 ? target.mid(bar + 1) : target;
}

// The folders Windows Installer fills in itself, named as on an English system. Their
// rows say only "." or nothing useful.
QString StandardFolder(const QString& id)
{
    static const QHash<QString, QString> names = {
        {u"ProgramFilesFolder"_s, u"Program Files"_s},
        {u"ProgramFiles64Folder"_s, u"Program Files"_s},
        {u"CommonFilesFolder"_s, u"Program Files/Common Files"_s},
        {u"CommonFiles64Folder"_s, u"Program Files/Common Files"_s},
        {u"WindowsFolder"_s, u"Windows"_s},
        {u"SystemFolder"_s, u"Windows/System32"_s},
        {u"System64Folder"_s, u"Windows/System32"_s},
        {u"System16Folder"_s, u"Windows/System"_s},
        {u"FontsFolder"_s, u"Windows/Fonts"_s},
        {u"TempFolder"_s, u"Temp"_s},
    };
    return names.value(id);
}

// Keeps the converter from CODEPAGE to UTF-8 loaded for the life of this process.
// libmsi and libgsf open one for a package's texts and close it when the package is
// done; glibc then unloads its module, so each package loaded and unloaded a shared
// library, a tenth of the time a package took. One converter held open per code page
// met keeps the module in.
void KeepConverterLoaded(int codePage)
{
    // UTF-8 and UTF-16 need no module; a damaged package may name anything.
    if (codePage <= 0 || codePage == 65001 || codePage == 1200 || codePage == 1201)
        return;
    static QHash<int, GIConv> held;
    if (held.contains(codePage) || held.size() >= 32)
        return;
    const QByteArray name = "CP" + QByteArray::number(codePage);
    held.insert(codePage, g_iconv_open("UTF-8", name.constData()));
}

// Where the export of the pseudo-table _ForceCodepage lands: one file for the life of
// this process, emptied for each package, since making and dropping a file per
// package cost more than the export.
int CodePageFile()
{
    static const int fd = ::memfd_create("codepage", MFD_CLOEXEC);
    return fd;
}

} // namespace

namespace {

// Each row of QUERY in DB as its fields' texts; nothing when the query fails (a table
// the package lacks).
QList<QStringList> Rows(LibmsiDatabase* db, const char* query, int fields)
{
    QList<QStringList> rows;
    GError* error = nullptr;
    TRef<LibmsiQuery> q(libmsi_query_new(db, query, &error));
    if (!q || !libmsi_query_execute(q.get(), nullptr, &error)) {
        g_clear_error(&error);
        return rows;
    }
    while (TRef<LibmsiRecord> rec{libmsi_query_fetch(q.get(), &error)}) {
        QStringList row;
        for (int i = 1; i <= fields; ++i)
            row << (libmsi_record_is_null(rec.get(), guint(i))
                        ? QString()
                        : TakeString(libmsi_record_get_string(rec.get(), guint(i))));
        rows << row;
    }
    g_clear_error(&error);
    libmsi_query_close(q.get(), nullptr);
    return rows;
}

TRef<LibmsiDatabase> OpenDatabase(const QByteArray& nativePath, QString& why)
{
    GError* error = nullptr;
    TRef<LibmsiDatabase> db(
        libmsi_database_new(nativePath.constData(), LIBMSI_DB_FLAGS_READONLY, nullptr, &error));
    if (!db)
        why = error && error->message ? QString::fromUtf8(error->message)
                                      : u"not a Windows Installer package"_s;
    g_clear_error(&error);
    return db;
}

QHash<QString, QString> InstalledPaths(LibmsiDatabase* db)
{
    struct TDir {
        QString Parent;
        QString Name;
    };
    QHash<QString, TDir> dirs;
    for (const QStringList& row :
         Rows(db, "SELECT `Directory`, `Directory_Parent`, `DefaultDir` FROM `Directory`", 3))
        dirs.insert(row.value(0), {row.value(1), LongName(row.value(2))});

    QHash<QString, QString> folders; // directory key -> its path, resolved once
    const auto folderOf = [&](const QString& key) {
        if (const auto known = folders.constFind(key); known != folders.cend())
            return *known;
        // Up to the root, each folder once: a loop in a damaged table ends.
        QStringList parts;
        QSet<QString> seen;
        for (QString at = key; !at.isEmpty() && !seen.contains(at);) {
            seen.insert(at);
            const QString standard = StandardFolder(at);
            if (!standard.isEmpty()) {
                parts.prepend(standard);
                break;
            }
            const auto dir = dirs.constFind(at);
            if (dir == dirs.cend())
                break;
            // The root (no parent, or itself as parent) is the target computer's.
            if (dir->Parent.isEmpty() || dir->Parent == at)
                break;
            if (!dir->Name.isEmpty() && dir->Name != u".")
                parts.prepend(dir->Name);
            at = dir->Parent;
        }
        QString path;
        for (const QString& part : parts)
            path += u'/' + part;
        folders.insert(key, path);
        return path;
    };

    QHash<QString, QString> components;
    for (const QStringList& row : Rows(db, "SELECT `Component`, `Directory_` FROM `Component`", 2))
        components.insert(row.value(0), row.value(1));

    QHash<QString, QString> paths;
    for (const QStringList& row :
         Rows(db, "SELECT `File`, `Component_`, `FileName` FROM `File`", 3)) {
        QString name = LongName(row.value(2));
        // A name must stay one step of the path.
        name.replace(u'/', u'_');
        if (name.isEmpty() || name == u"." || name == u"..")
            name = row.value(0);
        paths.insert(row.value(0), folderOf(components.value(row.value(1))) + u'/' + name);
    }
    return paths;
}

} // namespace

bool ReadPackageFacts(const QByteArray& nativePath, bool contents, TPackageFacts& facts,
                      QString& why)
{
    facts = TPackageFacts();
    const TRef<LibmsiDatabase> db = OpenDatabase(nativePath, why);
    if (!db)
        return false;
    GError* error = nullptr;

    // The table is small and every value of it is asked for: it is read once, whole.
    for (const QStringList& row : Rows(db.get(), "SELECT `Property`, `Value` FROM `Property`", 2))
        facts.Properties.insert(row.value(0), row.value(1));

    // The summary information is optional: a package without one still has its tables.
    TRef<LibmsiSummaryInfo> info(libmsi_summary_info_new(db.get(), 0, &error));
    g_clear_error(&error);
    if (info) {
        const auto text = [&](LibmsiProperty p) {
            if (libmsi_summary_info_get_property_type(info.get(), p, nullptr) !=
                LIBMSI_PROPERTY_TYPE_STRING)
                return QString();
            const gchar* s = libmsi_summary_info_get_string(info.get(), p, nullptr);
            return s ? QString::fromUtf8(s) : QString();
        };
        facts.Subject = text(LIBMSI_PROPERTY_SUBJECT);
        facts.Author = text(LIBMSI_PROPERTY_AUTHOR);
        facts.Comments = text(LIBMSI_PROPERTY_COMMENTS);
        if (libmsi_summary_info_get_property_type(info.get(), LIBMSI_PROPERTY_CODEPAGE, nullptr) ==
            LIBMSI_PROPERTY_TYPE_INT)
            facts.CodePage =
                libmsi_summary_info_get_int(info.get(), LIBMSI_PROPERTY_CODEPAGE, nullptr);
    }

    KeepConverterLoaded(facts.CodePage);

    // The database's own code page, which its strings are stored in, is said only by
    // the export of the pseudo-table _ForceCodepage: "\r\n\r\n1251\t_ForceCodepage".
    const int fd = CodePageFile();
    if (fd >= 0 && ::ftruncate(fd, 0) == 0 && ::lseek(fd, 0, SEEK_SET) == 0) {
        if (libmsi_database_export(db.get(), "_ForceCodepage", fd, &error)) {
            char buffer[128] = {};
            const ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
            if (n > 0) {
                bool ok = false;
                const int page = QByteArray(buffer, n).trimmed().split('\t').value(0).toInt(&ok);
                if (ok && page > 0)
                    facts.CodePage = page;
            }
        }
        g_clear_error(&error);
    }
    KeepConverterLoaded(facts.CodePage);

    if (!contents)
        return true;
    facts.Paths = InstalledPaths(db.get());
    for (const QStringList& row :
         Rows(db.get(), "SELECT `Cabinet` FROM `Media` ORDER BY `DiskId`", 1))
        if (!row.value(0).isEmpty())
            facts.Cabinets << row.value(0);
    return true;
}

bool ReadPackageStream(const QByteArray& nativePath, const QString& name, qint64 limit,
                       QByteArray& out)
{
    out.clear();
    QString why;
    const TRef<LibmsiDatabase> db = OpenDatabase(nativePath, why);
    if (!db)
        return false;
    GError* error = nullptr;
    TRef<LibmsiQuery> q(
        libmsi_query_new(db.get(), "SELECT `Name`, `Data` FROM `_Streams`", &error));
    if (!q || !libmsi_query_execute(q.get(), nullptr, &error)) {
        g_clear_error(&error);
        return false;
    }
    bool found = false;
    while (TRef<LibmsiRecord> rec{libmsi_query_fetch(q.get(), &error)}) {
        if (TakeString(libmsi_record_get_string(rec.get(), 1)) != name)
            continue;
        GInputStream* in = libmsi_record_get_stream(rec.get(), 2);
        if (!in)
            break;
        char buffer[64 * 1024];
        found = true;
        while (true) {
            const gssize n = g_input_stream_read(in, buffer, sizeof buffer, nullptr, &error);
            if (n < 0 || out.size() + n > limit) {
                found = false;
                break;
            }
            if (n == 0)
                break;
            out.append(buffer, qsizetype(n));
        }
        g_object_unref(in);
        break;
    }
    g_clear_error(&error);
    libmsi_query_close(q.get(), nullptr);
    if (!found)
        out.clear();
    return found;
}

} // namespace Harvest
