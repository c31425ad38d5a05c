// tresmol-cli import OLD.mdb NEW.mdb: its summary line, and its refusals, each with an
// English message, exit status 1 and nothing left behind.

#include "store/catalogue/connection.h"
#include "store/sqlite/sqlite.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString Fixtures = QStringLiteral(JET_FIXTURES);

struct TRun {
    int Status;
    QString Out, Err;
};

TRun Cli(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(TRESMOL_BINARY_DIR "/tools/tresmol-cli/tresmol-cli"), args);
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

qint64 Count(const QString& catalogue, const QString& table)
{
    const TSqliteDatabase db =
        TSqliteDatabase::Open(SqliteUri(catalogue).toUtf8(), TSqliteDatabase::TAccess::ReadOnly);
    return db.QueryInteger((u"SELECT count(*) FROM "_s + SqlName(table)).toUtf8());
}

QStringList Names(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class TestCliImport : public QObject {
    Q_OBJECT
private slots:
    void endsWithOneLineOfCounts_data();
    void endsWithOneLineOfCounts();
    void refuses_data();
    void refuses();
};

void TestCliImport::endsWithOneLineOfCounts_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("warnings");
    QTest::newRow("Jet 4") << u"jet4-catalogue.mdb"_s
                           << u"tresmol-cli: skipped column SoftTable.OldNotes (not a field of "
                              u"the catalogue)\n"_s;
    QTest::newRow("Jet 3") << u"jet3-catalogue.mdb"_s
                           << u"tresmol-cli: skipped column SoftTable.OldNotes (not a field of "
                              u"the catalogue)\n"
                              u"tresmol-cli: no column for SoftTable.InstallationID; the field "
                              u"stays empty\n"
                              u"tresmol-cli: no column for SoftTable.Rusificator; the field "
                              u"stays empty\n"_s;
}

void TestCliImport::endsWithOneLineOfCounts()
{
    QFETCH(QString, fixture);
    QFETCH(QString, warnings);
    QTemporaryDir dir;
    const QString target = dir.filePath(u"Новый каталог.mdb"_s);
    const QString pictures = dir.filePath(u"Pictures"_s);
    const TRun r =
        Cli({u"import"_s, Fixtures + u'/' + fixture, target, u"--picture-folder"_s, pictures});
    QCOMPARE(r.Status, 0);
    QCOMPARE(r.Err, warnings);
    const QStringList lines = r.Out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1);
    const QRegularExpression summary(
        u"^imported SoftTable (\\d+), TypeDiscBase (\\d+), ManufacturerDiscBase (\\d+), "
        u"ProgramtypeBase (\\d+), PlatformBase (\\d+), CategoryBase (\\d+); pictures copied "
        u"(\\d+), missing (\\d+)$"_s);
    const QRegularExpressionMatch m = summary.match(lines.first());
    QVERIFY2(m.hasMatch(), qPrintable(lines.first()));
    const QStringList tables = {u"SoftTable"_s,       u"TypeDiscBase"_s, u"ManufacturerDiscBase"_s,
                                u"ProgramtypeBase"_s, u"PlatformBase"_s, u"CategoryBase"_s};
    for (int i = 0; i < tables.size(); ++i)
        QCOMPARE(m.captured(i + 1).toLongLong(), Count(target, tables[i]));
    QVERIFY(m.captured(1).toInt() > 100);
    QCOMPARE(m.captured(7).toInt(), Names(pictures).size());
    QVERIFY(m.captured(8).toInt() > 0);
}

void TestCliImport::refuses_data()
{
    QTest::addColumn<QString>("old");
    QTest::addColumn<bool>("targetExists");
    QTest::addColumn<QString>("message");
    QTest::newRow("overwrite") << Fixtures + u"/jet4-catalogue.mdb"_s << true
                               << u"the file already exists"_s;
    QTest::newRow("real Access file, Jet 3")
        << QStringLiteral(REAL_JET_FILES "/nwind.mdb") << false
        << u"it is not a Tresmol catalogue: it lacks the tables SoftTable, TypeDiscBase, "
           u"ManufacturerDiscBase, ProgramtypeBase, PlatformBase, CategoryBase"_s;
    QTest::newRow("Jet, not a catalogue")
        << Fixtures + u"/jet4-not-catalogue.mdb"_s << false
        << u"it lacks the table CategoryBase and the columns SoftTable.Id, "
           u"SoftTable.ProductName"_s;
    QTest::newRow("not Jet") << Fixtures + u"/jet4-catalogue.json"_s << false
                             << u"it is not a Jet (Microsoft Access) database"_s;
    QTest::newRow("no such file") << Fixtures + u"/nothing.mdb"_s << false
                                  << u"No such file or directory"_s;
}

void TestCliImport::refuses()
{
    QFETCH(QString, old);
    QFETCH(bool, targetExists);
    QFETCH(QString, message);
    if (old.contains(u"nwind"_s) && !QFile::exists(old))
        QSKIP("the real Access files are not beside the repository");
    QTemporaryDir dir;
    const QString target = dir.filePath(u"new.mdb"_s);
    if (targetExists) {
        QFile f(target);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    const QStringList before = Names(dir.path());
    const TRun r =
        Cli({u"import"_s, old, target, u"--picture-folder"_s, dir.filePath(u"Pictures"_s)});
    QCOMPARE(r.Status, 1);
    QCOMPARE(r.Out, QString());
    QVERIFY2(r.Err.startsWith(u"tresmol-cli: Cannot "_s) && r.Err.contains(message),
             qPrintable(r.Err));
    QCOMPARE(r.Err.count(u'\n'), 1);
    QCOMPARE(Names(dir.path()), before);
    if (targetExists) {
        QFile f(target);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("keep me"));
    }
}

QTEST_GUILESS_MAIN(TestCliImport)
#include "tst_cliimport.moc"
