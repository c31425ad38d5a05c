// The settings-file layer: profile semantics over a real file in a temporary folder,
// and where the settings file goes.

#include "platform/apppaths.h"
#include "platform/inifile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <climits>

using namespace Qt::Literals::StringLiterals;

class TestIniFile : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> FDir;
    QString Path() const { return FDir->filePath(u"test.ini"_s); }
    void Put(const QByteArray& text)
    {
        QFile f(Path());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QByteArray Contents() const
    {
        QFile f(Path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { FDir = std::make_unique<QTemporaryDir>(); }

    void readInteger_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("expected");
        const QByteArray plain = "[Columns]\nWidth=120\n";
        QTest::newRow("decimal") << plain << u"Columns"_s << u"Width"_s << 120;
        QTest::newRow("section any case") << plain << u"COLUMNS"_s << u"Width"_s << 120;
        QTest::newRow("key any case") << plain << u"columns"_s << u"wIDTH"_s << 120;
        QTest::newRow("negative") << QByteArray("[A]\nK=-35\n") << u"A"_s << u"K"_s << -35;
        QTest::newRow("hex 0x") << QByteArray("[A]\nK=0x1F\n") << u"A"_s << u"K"_s << 31;
        QTest::newRow("hex 0X") << QByteArray("[A]\nK=0X1f\n") << u"A"_s << u"K"_s << 31;
        QTest::newRow("hex dollar") << QByteArray("[A]\nK=$ff\n") << u"A"_s << u"K"_s << 255;
        QTest::newRow("junk") << QByteArray("[A]\nK=wide\n") << u"A"_s << u"K"_s << -7;
        QTest::newRow("number then junk") << QByteArray("[A]\nK=12px\n") << u"A"_s << u"K"_s << -7;
        QTest::newRow("empty value") << QByteArray("[A]\nK=\n") << u"A"_s << u"K"_s << -7;
        QTest::newRow("bare 0x") << QByteArray("[A]\nK=0x\n") << u"A"_s << u"K"_s << -7;
        // The extremes of a 32-bit value, as another program or a hand edit may leave
        // them; the sanitizer build checks that none overflows on the way.
        QTest::newRow("least int")
            << QByteArray("[Form1]\nLeft=-2147483648\n") << u"Form1"_s << u"Left"_s << int(INT_MIN);
        QTest::newRow("greatest int")
            << QByteArray("[Form1]\nLeft=2147483647\n") << u"Form1"_s << u"Left"_s << int(INT_MAX);
        QTest::newRow("hex 0x80000000 wraps") << QByteArray("[DBGrid]\nWidth=0x80000000\n")
                                              << u"DBGrid"_s << u"Width"_s << int(INT_MIN);
        QTest::newRow("negative hex 0x80000000") << QByteArray("[DBGrid]\nWidth=-0x80000000\n")
                                                 << u"DBGrid"_s << u"Width"_s << int(INT_MIN);
        QTest::newRow("past the least int")
            << QByteArray("[A]\nK=-2147483649\n") << u"A"_s << u"K"_s << -7;
        QTest::newRow("missing key") << plain << u"Columns"_s << u"Height"_s << -7;
        QTest::newRow("key in another section")
            << QByteArray("[B]\nK=5\n[A]\nL=1\n") << u"A"_s << u"K"_s << -7;
        QTest::newRow("missing section") << plain << u"Form1"_s << u"Width"_s << -7;
        QTest::newRow("missing file") << QByteArray() << u"A"_s << u"K"_s << -7;
        QTest::newRow("blanks around")
            << QByteArray("[ A ]\r\n  K = 9 \r\n") << u"A"_s << u"K"_s << 9;
        QTest::newRow("cyrillic key with a blank")
            << QByteArray("[Columns]\n") + u"Тип дискаWidth=77\n"_s.toUtf8() << u"Columns"_s
            << u"Тип дискаWidth"_s << 77;
        QTest::newRow("cyrillic key any case")
            << QByteArray("[Columns]\n") + u"НомерVisible=0\n"_s.toUtf8() << u"columns"_s
            << u"номерvisible"_s << 0;
    }
    void readInteger()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(int, expected);
        if (!file.isEmpty())
            Put(file);
        QCOMPARE(TIniFile(Path()).ReadInteger(section, key, -7), expected);
    }

    void readBool_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("defaultValue");
        QTest::addColumn<bool>("expected");
        QTest::newRow("one") << QByteArray("1") << false << true;
        QTest::newRow("zero") << QByteArray("0") << true << false;
        QTest::newRow("any other number") << QByteArray("-2") << false << true;
        QTest::newRow("hex zero") << QByteArray("0x0") << true << false;
        QTest::newRow("junk keeps default true") << QByteArray("yes") << true << true;
        QTest::newRow("junk keeps default false") << QByteArray("yes") << false << false;
    }
    void readBool()
    {
        QFETCH(QByteArray, value);
        QFETCH(bool, defaultValue);
        QFETCH(bool, expected);
        Put("[Columns]\nVisible0=" + value + "\n");
        QCOMPARE(TIniFile(Path()).ReadBool(u"Columns"_s, u"Visible0"_s, defaultValue), expected);
    }

    void writesCreateFileSectionAndKey()
    {
        TIniFile ini(Path());
        ini.WriteInteger(u"Form1"_s, u"Left"_s, -4);
        ini.WriteBool(u"Columns"_s, u"ProductNameVisible"_s, false);
        ini.WriteInteger(u"Form1"_s, u"Top"_s, 10);
        ini.WriteInteger(u"form1"_s, u"LEFT"_s, 12); // the same key, in place
        QCOMPARE(Contents(), QByteArray("[Form1]\nLeft=12\nTop=10\n\n[Columns]\n"
                                        "ProductNameVisible=0\n"));
    }

    void writeIsSeenByAnotherReaderAtOnce()
    {
        TIniFile writer(Path());
        const TIniFile reader(Path());
        writer.WriteInteger(u"DBGrid"_s, u"Width"_s, 545);
        QCOMPARE(reader.ReadInteger(u"DBGrid"_s, u"Width"_s, 0), 545);
        writer.WriteInteger(u"DBGrid"_s, u"Width"_s, 600);
        QCOMPARE(reader.ReadInteger(u"dbgrid"_s, u"width"_s, 0), 600);
        // A hand edit between reads is taken up too.
        Put("[DBGrid]\nWidth=$100\n");
        QCOMPARE(reader.ReadInteger(u"DBGrid"_s, u"Width"_s, 0), 256);
    }

    void cyrillicKeysRoundTripAsUtf8()
    {
        TIniFile ini(Path());
        ini.WriteBool(u"Columns"_s, u"Производитель дисковVisible"_s, true);
        ini.WriteInteger(u"Columns"_s, u"Производитель дисковWidth"_s, 140);
        QVERIFY(Contents().contains(u"Производитель дисковWidth=140"_s.toUtf8()));
        QCOMPARE(TIniFile(Path()).ReadInteger(u"Columns"_s, u"Производитель дисковWidth"_s, 0),
                 140);
        QVERIFY(TIniFile(Path()).ReadBool(u"Columns"_s, u"Производитель дисковVisible"_s, false));
    }

    void otherLinesAreKept()
    {
        Put("; a comment\n[Columns]\nVisible0=0\nOld=x\n\n[Other]\nA=1\n");
        TIniFile(Path()).WriteInteger(u"Columns"_s, u"IdWidth"_s, 40);
        QCOMPARE(Contents(),
                 QByteArray("; a comment\n[Columns]\nVisible0=0\nOld=x\nIdWidth=40\n\n[Other]\n"
                            "A=1\n"));
    }

    void unwritableFileRaisesTheError()
    {
        // Tests run as root, so a folder's permission bits would not stop a write: the
        // parent of this path is a file, which no one can write into.
        QFile blocker(FDir->filePath(u"blocker"_s));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString path = FDir->filePath(u"blocker/test.ini"_s);
        TIniFile ini(path);
        QCOMPARE(ini.ReadInteger(u"A"_s, u"K"_s, 3), 3);
        try {
            ini.WriteInteger(u"A"_s, u"K"_s, 1);
            QFAIL("the write went through");
        } catch (const EIniFileError& e) {
            QCOMPARE(e.Message(), u"Unable to write to "_s + path);
        }
    }

    void settingsFileBesideTheExecutableOnlyWhenOneIsThere()
    {
        // A portable copy: the files already beside the executables are used.
        for (const char16_t* name : {u"tresmol.ini", u"catalog.ini", u"tresmol-copy.ini"}) {
            QFile f(FDir->filePath(QString::fromUtf16(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        const QString exe = FDir->filePath(u"tresmol"_s);
        QCOMPARE(AppPaths::SettingsFile(exe), FDir->filePath(u"tresmol.ini"_s));
        QCOMPARE(AppPaths::SettingsFile(FDir->filePath(u"catalog.exe"_s)),
                 FDir->filePath(u"catalog.ini"_s));
        // A second copy under another name keeps its own file.
        QCOMPARE(AppPaths::SettingsFile(FDir->filePath(u"tresmol-copy"_s)),
                 FDir->filePath(u"tresmol-copy.ini"_s));
    }

    void settingsFileInTheConfigFolderOtherwise_data()
    {
        QTest::addColumn<QString>("blocker"); // a file that stands where "bin" would be
        // An installed program's folder, writable or not (root may write anywhere):
        // nothing is written beside the executable.
        QTest::newRow("writable folder without a settings file") << QString();
        QTest::newRow("folder that cannot be written") << u"bin"_s;
        // A folder of that name is no settings file.
        QTest::newRow("a folder named like the file") << u"bin/tresmol.ini/"_s;
    }

    void settingsFileInTheConfigFolderOtherwise()
    {
        QFETCH(QString, blocker);
        QDir(FDir->path()).mkpath(blocker.endsWith(u'/') ? blocker : u"bin"_s);
        if (blocker == u"bin"_s) {
            QDir(FDir->path()).rmdir(u"bin"_s);
            QFile f(FDir->filePath(u"bin"_s));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        const QString config = AppPaths::ConfigFolder();
        QVERIFY(config.endsWith(u"/tresmol"_s));
        QVERIFY(!config.startsWith(FDir->path()));
        QCOMPARE(AppPaths::SettingsFile(FDir->filePath(u"bin/tresmol"_s)),
                 config + u"/tresmol.ini"_s);
        QCOMPARE(AppPaths::SettingsFile(FDir->filePath(u"bin/other"_s)), config + u"/other.ini"_s);
        // The file can be written there, its folder made by the first write.
        QDir(config).removeRecursively();
        TIniFile ini(AppPaths::SettingsFile(FDir->filePath(u"bin/tresmol"_s)));
        ini.WriteInteger(u"A"_s, u"K"_s, 5);
        QCOMPARE(ini.ReadInteger(u"A"_s, u"K"_s, 0), 5);
        QVERIFY(!QFileInfo::exists(FDir->filePath(u"bin/tresmol.ini"_s)) ||
                QFileInfo(FDir->filePath(u"bin/tresmol.ini"_s)).isDir());
        QDir(config).removeRecursively();
    }

    void heldWritesReachTheFileOnceAndKeepHandEdits()
    {
        Put("[Form1]\nLeft=1\n");
        TIniFile ini(Path());
        ini.BeginUpdate();
        ini.WriteInteger(u"Form1"_s, u"Left"_s, 10);
        ini.WriteInteger(u"Form1"_s, u"Top"_s, 20);
        ini.WriteBool(u"Columns"_s, u"IdVisible"_s, false);
        ini.WriteInteger(u"form1"_s, u"left"_s, 11);
        // Held: the file is untouched, this object's reads see the held values.
        QCOMPARE(Contents(), QByteArray("[Form1]\nLeft=1\n"));
        QCOMPARE(ini.ReadInteger(u"Form1"_s, u"Left"_s, 0), 11);
        QCOMPARE(TIniFile(Path()).ReadInteger(u"Form1"_s, u"Left"_s, 0), 1);
        // Edited by hand meanwhile.
        Put("[Form1]\nLeft=1\n[Mine]\nNote=kept\n");
        ini.EndUpdate();
        QCOMPARE(Contents(), QByteArray("[Form1]\nLeft=11\nTop=20\n[Mine]\nNote=kept\n\n"
                                        "[Columns]\nIdVisible=0\n"));
        // Write-through again.
        ini.WriteInteger(u"Form1"_s, u"Top"_s, 21);
        QCOMPARE(TIniFile(Path()).ReadInteger(u"Form1"_s, u"Top"_s, 0), 21);
    }

    void aWriteReplacesTheFileWhole()
    {
        // A reader holding the old file keeps reading the old text: the new one is
        // renamed over it, never written into it.
        Put("[A]\nK=1\n");
        QFile old(Path());
        QVERIFY(old.open(QIODevice::ReadOnly));
        TIniFile ini(Path());
        ini.BeginUpdate();
        for (int i = 0; i < 50; ++i)
            ini.WriteInteger(u"A"_s, u"K"_s, i);
        ini.EndUpdate();
        QCOMPARE(old.readAll(), QByteArray("[A]\nK=1\n"));
        QCOMPARE(Contents(), QByteArray("[A]\nK=49\n"));
        QCOMPARE(QDir(FDir->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{u"test.ini"_s});
    }

    void cancelledUpdateWritesNothing()
    {
        TIniFile ini(Path());
        ini.BeginUpdate();
        ini.WriteInteger(u"A"_s, u"K"_s, 1);
        ini.CancelUpdate();
        QVERIFY(!QFileInfo::exists(Path()));
    }

    void pictureFolderBesideTheExecutableWhenItIsThere()
    {
        QVERIFY(QDir(FDir->path()).mkdir(u"Images"_s));
        QCOMPARE(AppPaths::PictureFolder(FDir->filePath(u"tresmol"_s)),
                 FDir->filePath(u"Images"_s));
    }

    void pictureFolderInTheDataFolderOtherwise_data()
    {
        QTest::addColumn<QString>("blocker");
        QTest::newRow("no folder beside the executable") << QString();
        // A file of that name is no folder, and nothing can be written into it.
        QTest::newRow("a file named Images") << u"Images"_s;
    }

    void pictureFolderInTheDataFolderOtherwise()
    {
        QFETCH(QString, blocker);
        if (!blocker.isEmpty()) {
            QFile f(FDir->filePath(blocker));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        const QString expected =
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
            u"/tresmol/Images"_s;
        const bool existed = QFileInfo::exists(expected);
        QCOMPARE(AppPaths::PictureFolder(FDir->filePath(u"tresmol"_s)), expected);
        QCOMPARE(QFileInfo::exists(expected), existed); // choosing it creates nothing
        QVERIFY(QFileInfo(FDir->filePath(u"Images"_s)).isFile() == !blocker.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
