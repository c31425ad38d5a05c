// The picture folder: which names may stand for a file in it, the names new pictures
// are stored under, copying in and removing, and counting the records that name a file.

#include "store/catalogue/picturefolder.h"
#include "store/rows/dberrors.h"
#include "tests/common/testcatalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestPictureFolder : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> FDir;
    QString Folder() const { return FDir->filePath(u"Images"_s); }
    // A file at PATH holding TEXT.
    static void Put(const QString& path, const QByteArray& text = "picture")
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    // The two ways a picture comes in: copied from a file, or stored from memory (an
    // icon), in the column "data".
    static void CopiedOrFromMemory()
    {
        QTest::addColumn<bool>("data");
        QTest::newRow("copied") << false;
        QTest::newRow("from memory") << true;
    }
    static QByteArray Read(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void init() { FDir = std::make_unique<QTemporaryDir>(); }

    void safeNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("safe");
        QTest::newRow("plain") << u"shot.jpg"_s << true;
        QTest::newRow("numbered") << u"2_shot.jpg"_s << true;
        QTest::newRow("two dots inside") << u"shot..jpg"_s << true;
        QTest::newRow("Cyrillic and spaces") << u"снимок экрана.png"_s << true;
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("the folder itself") << u"."_s << false;
        QTest::newRow("the parent") << u".."_s << false;
        QTest::newRow("climbing out") << u"../../home/user/notes.txt"_s << false;
        QTest::newRow("absolute") << u"/etc/passwd"_s << false;
        QTest::newRow("a subfolder") << u"sub/shot.jpg"_s << false;
        QTest::newRow("Windows separator") << u"..\\shot.jpg"_s << false;
        QTest::newRow("NUL") << u"shot.jpg"_s + QChar(0) + u".txt"_s << false;
    }

    void safeNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, safe);
        const TPictureFolder folder(Folder());
        QCOMPARE(TPictureFolder::SafeName(name), safe);
        QCOMPARE(folder.FilePath(name), safe ? Folder() + u'/' + name : QString());
    }

    void holdsOnlyFilesInside()
    {
        const TPictureFolder folder(Folder());
        Put(Folder() + u"/shot.jpg"_s);
        Put(FDir->filePath(u"outside.jpg"_s));
        QVERIFY(QDir(Folder()).mkdir(u"album.jpg"_s));
        QVERIFY(folder.Holds(u"shot.jpg"_s));
        QVERIFY(!folder.Holds(u"missing.jpg"_s));
        QVERIFY(!folder.Holds(u"album.jpg"_s)); // a folder does not count
        QVERIFY(!folder.Holds(u"../outside.jpg"_s));
        QVERIFY(!folder.Holds(QString()));
    }

    void freeNameFillsTheFirstGap()
    {
        const TPictureFolder folder(Folder());
        QCOMPARE(folder.FreeName(u"shot.jpg"_s, 150), u"shot.jpg"_s);
        Put(Folder() + u"/shot.jpg"_s);
        QCOMPARE(folder.FreeName(u"shot.jpg"_s, 150), u"1_shot.jpg"_s);
        Put(Folder() + u"/1_shot.jpg"_s);
        Put(Folder() + u"/2_shot.jpg"_s);
        QCOMPARE(folder.FreeName(u"shot.jpg"_s, 150), u"3_shot.jpg"_s);
        // A gap this instance makes is filled by it; one made by another program, by
        // the next instance.
        QVERIFY(folder.Remove(u"2_shot.jpg"_s));
        QCOMPARE(folder.FreeName(u"shot.jpg"_s, 150), u"2_shot.jpg"_s);
        QVERIFY(QFile::remove(Folder() + u"/1_shot.jpg"_s));
        QCOMPARE(TPictureFolder(Folder()).FreeName(u"shot.jpg"_s, 150), u"1_shot.jpg"_s);
        // Anything of that name is taken, a folder too, also when another program
        // made it after the folder was listed.
        QVERIFY(QDir(Folder()).mkdir(u"1_shot.jpg"_s));
        QVERIFY(QDir(Folder()).mkdir(u"2_shot.jpg"_s));
        QCOMPARE(folder.FreeName(u"shot.jpg"_s, 150), u"3_shot.jpg"_s);
    }

    // A harvest stores thousands of icons of one name: each store is a new name, an
    // old file with the same bytes is found among all of them, and one changed by
    // another program since the folder was listed is not taken for the same.
    void manyOfOneName()
    {
        const TPictureFolder folder(Folder());
        constexpr int Count = 3000;
        for (int i = 0; i < Count; ++i) {
            const QString expected = i == 0 ? u"setup.ico"_s : u"%1_setup.ico"_s.arg(i);
            QCOMPARE(folder.StoreData(u"setup.ico"_s, QByteArray::number(1000000 + i), 150),
                     expected);
        }
        QCOMPARE(folder.StoreData(u"setup.ico"_s, "1002999", 150), u"2999_setup.ico"_s);
        QCOMPARE(folder.StoreData(u"setup.ico"_s, "1000000", 150), u"setup.ico"_s);
        Put(Folder() + u"/1500_setup.ico"_s, "changed");
        QCOMPARE(folder.StoreData(u"setup.ico"_s, "1001500", 150), u"3000_setup.ico"_s);
        QCOMPARE(QDir(Folder()).entryList(QDir::Files).size(), Count + 1);
    }

    void freeNameFitsTheColumn()
    {
        const TPictureFolder folder(Folder());
        const QString longName = QString(200, u'a') + u".jpeg"_s;
        const QString first = folder.FreeName(longName, 150);
        QCOMPARE(first, QString(145, u'a') + u".jpeg"_s);
        Put(Folder() + u'/' + first);
        QCOMPARE(folder.FreeName(longName, 150), u"1_"_s + QString(143, u'a') + u".jpeg"_s);
        // A pair of UTF-16 units is kept whole.
        const QString emoji = QString(3, u'b') + QString::fromUtf8("\xF0\x9F\x98\x80") + u".png"_s;
        QCOMPARE(folder.FreeName(emoji, 8), u"bbb.png"_s);
    }

    void storeCopiesUnderAFreeName()
    {
        const TPictureFolder folder(Folder());
        const QString a = FDir->filePath(u"a/shot.jpg"_s);
        const QString b = FDir->filePath(u"b/shot.jpg"_s);
        Put(a, "first");
        Put(b, "second");
        QVERIFY(!QFileInfo::exists(Folder())); // created by the first copy
        QCOMPARE(folder.Store(a, 150), u"shot.jpg"_s);
        QCOMPARE(folder.Store(b, 150), u"1_shot.jpg"_s);
        // Two pictures of one name from different folders never overwrite each other.
        QCOMPARE(Read(Folder() + u"/shot.jpg"_s), QByteArray("first"));
        QCOMPARE(Read(Folder() + u"/1_shot.jpg"_s), QByteArray("second"));
    }

    void folderGoneMidwayIsMadeAgain_data() { CopiedOrFromMemory(); }
    void folderGoneMidwayIsMadeAgain()
    {
        // An instance makes the folder once; one removed behind its back is made again.
        QFETCH(bool, data);
        const TPictureFolder folder(Folder());
        const QString a = FDir->filePath(u"a/shot.jpg"_s);
        const QString b = FDir->filePath(u"b/other.jpg"_s);
        Put(a, "first");
        Put(b, "second");
        const auto store = [&](const QString& path) {
            return data ? folder.StoreData(QFileInfo(path).fileName(), Read(path), 150)
                        : folder.Store(path, 150);
        };
        QCOMPARE(store(a), u"shot.jpg"_s);
        QVERIFY(QDir(Folder()).removeRecursively());
        QCOMPARE(store(b), u"other.jpg"_s);
        QCOMPARE(Read(Folder() + u"/other.jpg"_s), QByteArray("second"));
    }

    void sameBytesReuseTheFileOfThatName_data() { CopiedOrFromMemory(); }
    void sameBytesReuseTheFileOfThatName()
    {
        QFETCH(bool, data);
        const TPictureFolder folder(Folder());
        const QString a = FDir->filePath(u"a/notepad.ico"_s);
        const QString b = FDir->filePath(u"b/notepad.ico"_s);
        const QString c = FDir->filePath(u"c/notepad.ico"_s);
        Put(a, "first");
        Put(b, "second");
        Put(c, "third!"); // the size of neither
        const auto store = [&](const QString& path) {
            return data ? folder.StoreData(u"notepad.ico"_s, Read(path), 150)
                        : folder.Store(path, 150);
        };
        QCOMPARE(store(a), u"notepad.ico"_s);
        QCOMPARE(store(b), u"1_notepad.ico"_s);
        // Again and again: the files already there, no copy.
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(store(a), u"notepad.ico"_s);
            QCOMPARE(store(b), u"1_notepad.ico"_s);
        }
        QCOMPARE(store(c), u"2_notepad.ico"_s);
        QCOMPARE(QDir(Folder()).entryList(QDir::Files).size(), 3);
        // The same bytes under another name are another picture.
        QCOMPARE(folder.StoreData(u"other.ico"_s, "first", 150), u"other.ico"_s);
        QCOMPARE(Read(Folder() + u"/2_notepad.ico"_s), QByteArray("third!"));
    }

    void storeFailureChangesNothing_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("folderIsAFile");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("source gone") << u"gone.jpg"_s << false << u"gone.jpg"_s;
        QTest::newRow("source is a folder") << u"album.jpg"_s << false << u"album.jpg"_s;
        QTest::newRow("folder cannot be made") << u"shot.jpg"_s << true << u"Images"_s;
    }

    void storeFailureChangesNothing()
    {
        QFETCH(QString, source);
        QFETCH(bool, folderIsAFile);
        QFETCH(QString, mentions);
        Put(FDir->filePath(u"shot.jpg"_s));
        QVERIFY(QDir(FDir->path()).mkdir(u"album.jpg"_s));
        if (folderIsAFile)
            Put(Folder(), "not a folder");
        const QStringList before =
            QDir(FDir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        try {
            TPictureFolder(Folder()).Store(FDir->filePath(source), 150);
            QFAIL("the copy went through");
        } catch (const EError& e) {
            QVERIFY2(e.Message().contains(mentions), qPrintable(e.Message()));
        }
        QCOMPARE(QDir(FDir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    }

    void removeOnlyInside()
    {
        const TPictureFolder folder(Folder());
        Put(Folder() + u"/shot.jpg"_s);
        Put(FDir->filePath(u"notes.txt"_s));
        QVERIFY(!folder.Remove(u"../notes.txt"_s));
        QVERIFY(!folder.Remove(FDir->filePath(u"notes.txt"_s)));
        QVERIFY(QFileInfo::exists(FDir->filePath(u"notes.txt"_s)));
        QVERIFY(!folder.Remove(u"missing.jpg"_s));
        QVERIFY(folder.Remove(u"shot.jpg"_s));
        QVERIFY(!QFileInfo::exists(Folder() + u"/shot.jpg"_s));
    }

    void picturesUsesCountsTheWholeFile()
    {
        TTestCatalogue cat;
        auto dm = cat.Open();
        TDataSet& t = dm->BookTable;
        t.Open();
        TTestCatalogue::AddNames(t, {u"a"_s, u"b"_s, u"c"_s});
        const QString names[] = {u"shot.jpg"_s, u"shot.jpg"_s, u"Shot.jpg"_s};
        t.First();
        for (const QString& n : names) {
            t.Edit();
            t.FieldByName(u"Images"_s)->SetAsString(n);
            t.Post();
            t.Next();
        }
        // A search that hides records hides nothing from the count.
        t.SetFilter(u"ProductName='c'"_s);
        t.SetFiltered(true);
        QCOMPARE(PictureUses(dm->ADOConnection, u"shot.jpg"_s), 2);
        QCOMPARE(PictureUses(dm->ADOConnection, u"Shot.jpg"_s), 1); // names are exact
        QCOMPARE(PictureUses(dm->ADOConnection, u"other.jpg"_s), 0);
        dm->ADOConnection.Close();
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, PictureUses(dm->ADOConnection, u"shot.jpg"_s));
    }
};

QTEST_GUILESS_MAIN(TestPictureFolder)
#include "tst_picturefolder.moc"
