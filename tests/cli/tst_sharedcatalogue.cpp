// A catalogue that several users of one machine reach: its owner writes it, others may
// only read it. A reader must see every record the owner has committed, the owner's
// program running or killed, and must leave nothing beside the file that would keep
// the owner from writing. Needs root, to run the tool as two other users.

#include "tests/common/readonlyuser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString CliPath = QStringLiteral(TRESMOL_BINARY_DIR "/tools/tresmol-cli/tresmol-cli");
const QString PosterPath = QStringLiteral(TRESMOL_BINARY_DIR "/tests/store/store_poster");
constexpr uid_t Owner = 65534; // nobody
constexpr uid_t Reader = 1;    // daemon: another user, who may not write the catalogue

struct TRun {
    int Status;
    QByteArray Out, Err;
};

TRun Run(uid_t user, const QString& program, const QStringList& args)
{
    QProcess p;
    p.setWorkingDirectory(u"/"_s);
    const QStringList all = *AsUser(user) + QStringList{program} + args;
    p.start(all.first(), all.mid(1));
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

// The records `list` printed: every line but the titles.
int Listed(const TRun& list) { return int(list.Out.count('\n')) - 1; }

QStringList Beside(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace

class TestSharedCatalogue : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> FDir;
    QString FFolder, FCatalogue;

    // A folder that the owner and the reader can both enter, with MODE, owned by the
    // owner, and in it an empty catalogue the owner made.
    bool Prepare(mode_t mode)
    {
        FDir = std::make_unique<QTemporaryDir>();
        FFolder = FDir->filePath(u"shared"_s);
        FCatalogue = FFolder + u"/c.mdb"_s;
        const QByteArray folder = QFile::encodeName(FFolder);
        return ::chmod(QFile::encodeName(FDir->path()).constData(), 0755) == 0 &&
               ::mkdir(folder.constData(), 0700) == 0 &&
               ::chown(folder.constData(), Owner, Owner) == 0 &&
               ::chmod(folder.constData(), mode) == 0 &&
               Run(Owner, CliPath, {u"create"_s, FCatalogue}).Status == 0 &&
               ::chmod(QFile::encodeName(FCatalogue).constData(), 0644) == 0;
    }

private slots:
    void init()
    {
        if (!AsUser(Owner))
            QSKIP("needs root and setpriv to run the tool as two other users");
    }

    // In a folder everyone may write to (mode 1777, as /tmp), a reader's list used to
    // leave the log and its index owned by the reader, and the owner's every change then
    // failed.
    void readerLeavesNothingThatBlocksTheOwner()
    {
        QVERIFY(Prepare(01777));
        QCOMPARE(Run(Owner, CliPath, {u"demo"_s, FFolder + u"/demo.mdb"_s}).Status, 0);
        const QString demo = FFolder + u"/demo.mdb"_s;
        QVERIFY(QFile::setPermissions(demo, QFile::ReadOwner | QFile::WriteOwner |
                                                QFile::ReadGroup | QFile::ReadOther));
        const TRun list = Run(Reader, CliPath, {u"list"_s, demo});
        QVERIFY2(list.Status == 0, list.Err.constData());
        QVERIFY(Listed(list) >= 45);
        QCOMPARE(Beside(FFolder), (QStringList{u"c.mdb"_s, u"demo.mdb"_s}));
        const TRun set = Run(Owner, CliPath, {u"set"_s, demo, u"1"_s, u"ProductName=Changed"_s});
        QVERIFY2(set.Status == 0, set.Err.constData());
    }

    // The owner's harvest is running, then killed: what it committed is in the log,
    // and a reader who may not write the folder sees all of it.
    void readerSeesEveryCommittedRecord()
    {
        QVERIFY(Prepare(0755));
        QProcess poster;
        const QStringList command = *AsUser(Owner) + QStringList{PosterPath, FCatalogue};
        poster.start(command.first(), command.mid(1));
        int posted = 0;
        while (posted < 40 && poster.waitForReadyRead(30000))
            while (poster.canReadLine())
                posted = poster.readLine().trimmed().toInt();
        QVERIFY2(posted >= 40, poster.readAllStandardError().constData());
        // While the owner's program has the file open.
        const TRun during = Run(Reader, CliPath, {u"list"_s, FCatalogue});
        QVERIFY2(during.Status == 0, during.Err.constData());
        QVERIFY2(Listed(during) >= posted, during.Out.right(200).constData());
        poster.kill();
        QVERIFY(poster.waitForFinished(30000));
        while (poster.canReadLine())
            posted = poster.readLine().trimmed().toInt();
        const QString all = QString::fromUtf8(poster.readAllStandardOutput()).trimmed();
        if (!all.isEmpty())
            posted = all.split(u'\n').last().toInt();
        // After it was killed: the log and its index stay, and are read.
        QCOMPARE(Beside(FFolder), (QStringList{u"c.mdb"_s, u"c.mdb-shm"_s, u"c.mdb-wal"_s}));
        const TRun after = Run(Reader, CliPath, {u"list"_s, FCatalogue});
        QVERIFY2(after.Status == 0, after.Err.constData());
        // A post may be committed when the kill came, before it was printed.
        QVERIFY2(Listed(after) == posted || Listed(after) == posted + 1,
                 qPrintable(u"%1 listed, %2 posted"_s.arg(Listed(after)).arg(posted)));
        // A log without its index could be read only by making one: refused, not an
        // older state shown.
        QVERIFY(QFile::remove(FCatalogue + u"-shm"_s));
        const TRun refused = Run(Reader, CliPath, {u"list"_s, FCatalogue});
        QCOMPARE(refused.Status, 1);
        QVERIFY2(refused.Err.contains("c.mdb-wal holds records that can be read only where the "
                                      "catalogue may be written"),
                 refused.Err.constData());
        QCOMPARE(Beside(FFolder), (QStringList{u"c.mdb"_s, u"c.mdb-wal"_s}));
    }

    // The log and its index left by another user's program keep the owner from
    // writing: the message names the file and whose it is.
    void sideFileOfAnotherUserIsNamed()
    {
        QVERIFY(Prepare(01777));
        QCOMPARE(Run(Owner, CliPath, {u"demo"_s, FFolder + u"/demo.mdb"_s}).Status, 0);
        const QString demo = FFolder + u"/demo.mdb"_s;
        for (const char* suffix : {"-wal", "-shm"}) {
            const QString side = demo + QLatin1StringView(suffix);
            QFile f(side);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.close();
            QVERIFY(::chown(QFile::encodeName(side).constData(), Reader, Reader) == 0);
            QVERIFY(::chmod(QFile::encodeName(side).constData(), 0644) == 0);
        }
        const TRun set = Run(Owner, CliPath, {u"set"_s, demo, u"1"_s, u"ProductName=Changed"_s});
        QCOMPARE(set.Status, 1);
        QVERIFY2(set.Err.contains("demo.mdb-wal beside the catalogue belongs to the user daemon"),
                 set.Err.constData());
    }
};

QTEST_GUILESS_MAIN(TestSharedCatalogue)
#include "tst_sharedcatalogue.moc"
