// The desktop shell: files started by any name the file system holds, also one that is
// not valid UTF-8.

#include "platform/nativepath.h"
#include "platform/shell.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// A file written by its bytes, NAME in FOLDER, with MODE.
bool WriteNative(const QByteArray& path, const QByteArray& content, mode_t mode)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, content.constData(), size_t(content.size())) == content.size();
    return ::close(fd) == 0 && written;
}

bool NativeExists(const QByteArray& path)
{
    struct stat info {};
    return ::lstat(path.constData(), &info) == 0;
}

} // namespace

class TestShell : public QObject {
    Q_OBJECT
private slots:
    void startsNamesThatAreNotUtf8_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("UTF-8") << QByteArray("программа");
        QTest::newRow("a byte that is not UTF-8") << QByteArray("n\xffu");
    }

    // A document goes to the desktop under an address that holds the file's very bytes;
    // a native program starts in its own folder.
    void startsNamesThatAreNotUtf8()
    {
        QFETCH(QByteArray, name);
        QTemporaryDir dir;
        const QByteArray folder = QFile::encodeName(dir.path()) + '/' + name;
        QVERIFY(::mkdir(folder.constData(), 0700) == 0);
        const auto cleanup = qScopeGuard([&] {
            // QTemporaryDir cannot remove names that are not valid UTF-8.
            for (const char* f : {"/doc.txt", "/run.sh", "/started"})
                ::unlink(QByteArray(folder + f).constData());
            ::rmdir(folder.constData());
        });

        const QByteArray document = folder + "/doc.txt";
        QVERIFY(WriteNative(document, "text\n", 0600));
        QList<QUrl> opened;
        Shell::SetOpener([&](const QUrl& url) {
            opened << url;
            return true;
        });
        const auto noOpener = qScopeGuard([] { Shell::SetOpener({}); });
        QCOMPARE(Shell::StartFile(PathFromNative(document)), QString());
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened[0].toEncoded(), QByteArray("file://") + document.toPercentEncoding("/"));

        const QByteArray program = folder + "/run.sh";
        QVERIFY(WriteNative(program, "#!/bin/sh\ntouch started\n", 0700));
        QVERIFY(Shell::IsNativeExecutable(PathFromNative(program)));
        QCOMPARE(Shell::StartFile(PathFromNative(program)), QString());
        QTRY_VERIFY_WITH_TIMEOUT(NativeExists(folder + "/started"), 10000);

        QCOMPARE(Shell::StartFile(PathFromNative(folder + "/missing.txt")),
                 u"Файл не найден: "_s + PathFromNative(folder + "/missing.txt"));
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
