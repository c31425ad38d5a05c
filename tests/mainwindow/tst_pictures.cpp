// The "Скриншот" page on the real main window: the picture of the current record, the
// three picture commands with the dialogs answered by a script, the picture folder in a
// temporary folder, and the viewer.

#include "mainwindow/imgviewform.h"
#include "mainwindow/mainform.h"
#include "mainwindow/startup.h"
#include "pictures/image.h"
#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"
#include "store/catalogue/picturefolder.h"
#include "tests/common/scripteddialogs.h"
#include "tests/common/testcatalogue.h"
#include "tests/mainwindow/form1controls.h"
#include "tests/pictures/picturefixtures.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QScreen>
#include <QTabWidget>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

QString Fixture(const QString& name) { return QStringLiteral(PICTURE_FIXTURES "/") + name; }

bool Near(QColor a, QColor b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// The smallest rectangle holding every pixel of IMAGE that is not BACKGROUND.
QRect Drawn(const QImage& image, QColor background)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!Near(image.pixelColor(x, y), background, 24))
                box |= QRect(x, y, 1, 1);
    return box;
}

QString Describe(const QRect& r)
{
    return u"%1,%2 %3x%4"_s.arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

} // namespace

class TestPictures : public QObject {
    Q_OBJECT

private:
    TScriptedDialogs FDialogs;
    std::unique_ptr<QTemporaryDir> FDir;
    QString FPath;
    std::unique_ptr<TTresmolApp> FApp;

    TDataSet& Table() { return FApp->DataModule1->BookTable; }
    TForm1* Form1() { return FApp->Form1; }
    TForm1Controls Ui() { return TForm1Controls(Form1()); }
    TImage* Image1() { return Control<TImage>(Form1(), u"Image1"_s); }
    TDBEdit* DBEdit1() { return Control<TDBEdit>(Form1(), u"DBEdit1"_s); }
    QString Folder() const { return FDir->filePath(u"Images"_s); }
    QString InFolder(const QString& name) const { return Folder() + u'/' + name; }
    QString Images() { return Table().FieldByName(u"Images"_s)->AsString(); }
    // The Images value of record NAME as the catalogue file holds it.
    QString StoredImages(const QString& name)
    {
        auto other = std::make_unique<TDataModule1>([](const QString&) {},
                                                    Catalogue::ConnectionStringFor(FPath));
        TDataSet& t = other->BookTable;
        t.Open();
        for (t.First(); !t.Eof(); t.Next())
            if (t.FieldByName(u"ProductName"_s)->AsString() == name)
                return t.FieldByName(u"Images"_s)->AsString();
        return u"<no record>"_s;
    }
    // Changes record NAME from another program, so that the window's next post of it
    // finds it changed and fails.
    void ChangeElsewhere(const QString& name)
    {
        auto other = std::make_unique<TDataModule1>([](const QString&) {},
                                                    Catalogue::ConnectionStringFor(FPath));
        TDataSet& t = other->BookTable;
        t.Open();
        for (t.First(); !t.Eof(); t.Next())
            if (t.FieldByName(u"ProductName"_s)->AsString() == name) {
                t.Edit();
                t.FieldByName(u"Comments"_s)->SetAsString(u"changed elsewhere"_s);
                t.Post();
                return;
            }
        QFAIL("no such record");
    }

    // The main window on a catalogue of records named NAMES, the picture page shown.
    void Start(const QStringList& names = {u"Alpha"_s, u"Bravo"_s, u"Charlie"_s})
    {
        Catalogue::Create(FPath);
        FApp = std::make_unique<TTresmolApp>(Catalogue::ConnectionStringFor(FPath));
        Form1()->SetSettingsFileName(FDir->filePath(u"tresmol.ini"_s));
        Form1()->SetPictureFolder(Folder());
        Form1()->resize(1000, 700);
        Form1()->show();
        Form1()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(Form1()));
        QVERIFY(Table().Active());
        TTestCatalogue::AddNames(Table(), names);
        Table().First();
        auto* pages = Control<QTabWidget>(Form1(), u"PageControl1"_s);
        pages->setCurrentWidget(Control<QWidget>(Form1(), u"TabSheet2"_s));
        QTRY_VERIFY(Image1()->isVisible());
    }

    void GoTo(const QString& name)
    {
        Table().First();
        while (!Table().Eof() && Table().FieldByName(u"ProductName"_s)->AsString() != name)
            Table().Next();
        QVERIFY(!Table().Eof());
    }

    // Sets the current record's Images to NAME and posts, as typing into DBEdit1 and
    // saving would.
    void Name(const QString& name)
    {
        Table().Edit();
        Table().FieldByName(u"Images"_s)->SetAsString(name);
        Table().Post();
    }

    // A copy of fixture FILE in the picture folder, under NAME.
    void Place(const QString& file, const QString& name)
    {
        QDir().mkpath(Folder());
        QVERIFY(QFile::copy(Fixture(file), InFolder(name)));
    }

    // The colour of the page behind Image1 when it holds no picture.
    QColor Background()
    {
        const TPicture held = Image1()->Picture();
        Image1()->Clear();
        const QImage empty = Image1()->grab().toImage();
        Image1()->SetPicture(held);
        return empty.pixelColor(0, 0);
    }
    // What Image1 shows: where its picture is drawn, empty for none.
    QRect Shown()
    {
        const QColor background = Background();
        // Raster pictures are decoded on a worker; the next paint shows them.
        Image1()->grab();
        if (!QTest::qWaitFor([&] { return !Image1()->Decoding(); }, 10000))
            qWarning("the picture was not decoded in time");
        return Drawn(Image1()->grab().toImage(), background);
    }

    QStringList FolderFiles() const
    {
        return QDir(Folder()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    void AddPicture(const QString& path)
    {
        FDialogs.AnswerPicture(path);
        Ui().ActAddImg->trigger();
    }

    // The standard error boxes shown since the last call, by their texts.
    QStringList ErrorBoxes()
    {
        QStringList texts;
        for (const auto& m : FDialogs.Messages()) {
            if (m.Icon == TMsgIcon::miStop)
                texts << m.Text;
        }
        FDialogs.ClearAsked();
        return texts;
    }

private slots:
    void init()
    {
        SetDialogs(&FDialogs);
        FDialogs = TScriptedDialogs();
        FDir = std::make_unique<QTemporaryDir>();
        FPath = FDir->filePath(u"Tresmol.mdb"_s);
    }

    void cleanup()
    {
        if (FApp) {
            if (Table().Active())
                Table().Cancel();
            FApp->Form1->close();
            FApp.reset();
        }
        FDir.reset();
        SetDialogs(nullptr);
    }

    void pageLayout()
    {
        Start();
        auto* pages = Control<QTabWidget>(Form1(), u"PageControl1"_s);
        QCOMPARE(pages->tabText(2), u"Скриншот"_s);
        auto* panel = Control<QWidget>(Form1(), u"Panel1"_s);
        auto* view = Control<QToolButton>(Form1(), u"SpeedButton2"_s);
        auto* add = Control<QToolButton>(Form1(), u"SpeedButton1"_s);
        auto* del = Control<QToolButton>(Form1(), u"DeleteImage"_s);
        QCOMPARE(panel->height(), 27);
        // The strip runs along the page's bottom edge, the picture fills the rest.
        QWidget* page = Control<QWidget>(Form1(), u"TabSheet2"_s);
        QCOMPARE(panel->geometry().bottom(), page->rect().bottom());
        QCOMPARE(Image1()->geometry(), QRect(0, 0, page->width(), panel->y()));
        QCOMPARE(DBEdit1()->width(), 273);
        // 23 by 22 as designed, or what its picture needs with the style's margins.
        QCOMPARE(view->size(), QSize(23, 22).expandedTo(view->sizeHint()));
        QCOMPARE(add->height(), std::max(21, add->sizeHint().height()));
        QCOMPARE(del->height(), std::max(21, del->sizeHint().height()));
        QVERIFY(add->width() >= 60 && del->width() >= 60);
        QVERIFY(DBEdit1()->x() < view->x() && view->x() < add->x() && add->x() < del->x());
        QVERIFY(view->autoRaise() && add->autoRaise() && del->autoRaise());
        QCOMPARE(view->defaultAction(), Ui().ActViewImg);
        QCOMPARE(add->defaultAction(), Ui().ActAddImg);
        QCOMPARE(del->defaultAction(), Ui().ActDelImg);
        QCOMPARE(add->text(), u"Добавить"_s);
        QCOMPARE(del->text(), u"Удалить"_s);
        QVERIFY(Ui().ActViewImg->text().isEmpty());
        QVERIFY(!Ui().ActViewImg->icon().isNull());
        for (QAction* a : {Ui().ActAddImg, Ui().ActDelImg, Ui().ActViewImg})
            QCOMPARE(a->property("category").toString(), u"Картинка"_s);
        // DBEdit1 edits the record's Images column, at most 150 characters.
        Name(u"shot.jpg"_s);
        QCOMPARE(DBEdit1()->text(), u"shot.jpg"_s);
        QCOMPARE(DBEdit1()->maxLength(), 150);
        // The grid's popup menu holds N33, the magnifier without a caption.
        QAction* n33 = Control<QAction>(Form1(), u"N33"_s);
        QVERIFY(Ui().PopupMenu->actions().contains(n33));
        QVERIFY(n33->text().isEmpty());
        QVERIFY(!n33->icon().isNull());
    }

    // The picture commands stay enabled whatever the enabling rule decides.
    void alwaysEnabled()
    {
        Start();
        Ui().ActDisconnect->trigger();
        Form1()->UpdateActions();
        QVERIFY(!Ui().ActAdd->isEnabled());
        for (QAction* a : {Ui().ActAddImg, Ui().ActDelImg, Ui().ActViewImg})
            QVERIFY(a->isEnabled());
        QVERIFY(Control<QAction>(Form1(), u"N33"_s)->isEnabled());
    }

    void everyFormatShown_data() { AddLoadablePictureRows(); }

    void everyFormatShown()
    {
        QFETCH(QString, file);
        QFETCH(QSize, size);
        Start();
        Place(file, file);
        GoTo(u"Bravo"_s);
        Name(file); // the post shows it
        const QRect drawn = Shown();
        // Fitted: it touches both edges of one direction and stays inside the other.
        const QSize box = Image1()->size();
        const double scale =
            std::min(double(box.width()) / size.width(), double(box.height()) / size.height());
        const QSizeF fitted = QSizeF(size) * scale;
        const QRectF expected(
            QPointF((box.width() - fitted.width()) / 2, (box.height() - fitted.height()) / 2),
            fitted);
        QVERIFY2(std::abs(drawn.left() - expected.left()) <= 2 &&
                     std::abs(drawn.top() - expected.top()) <= 2 &&
                     std::abs(drawn.right() + 1 - expected.right()) <= 2 &&
                     std::abs(drawn.bottom() + 1 - expected.bottom()) <= 2,
                 qPrintable(Describe(drawn) + u" in "_s + Describe(Image1()->rect())));
        // Its proportions kept.
        QVERIFY(std::abs(double(drawn.width()) / drawn.height() -
                         double(size.width()) / size.height()) < 0.03);
        // A move to a record without a picture clears it; back again shows it.
        GoTo(u"Alpha"_s);
        QCOMPARE(Shown(), QRect());
        GoTo(u"Bravo"_s);
        QCOMPARE(Shown(), drawn);
    }

    void noPictureShown_data()
    {
        QTest::addColumn<QString>("images");
        QTest::newRow("empty") << QString();
        QTest::newRow("missing file") << u"missing.jpg"_s;
        QTest::newRow("a folder") << u"album.jpg"_s;
        QTest::newRow("damaged JPEG") << u"damaged.jpg"_s;
        QTest::newRow("text named .jpg") << u"text.jpg"_s;
        QTest::newRow("not a loadable extension") << u"notes.txt"_s;
        QTest::newRow("climbing out of the folder") << u"../outside.png"_s;
        QTest::newRow("an absolute path") << u"<outside>"_s;
    }

    void noPictureShown()
    {
        QFETCH(QString, images);
        Start();
        Place(u"damaged.jpg"_s, u"damaged.jpg"_s);
        Place(u"text.jpg"_s, u"text.jpg"_s);
        Place(u"notes.txt"_s, u"notes.txt"_s);
        QVERIFY(QDir(Folder()).mkdir(u"album.jpg"_s));
        QVERIFY(QFile::copy(Fixture(u"png.png"_s), FDir->filePath(u"outside.png"_s)));
        if (images == u"<outside>"_s)
            images = FDir->filePath(u"outside.png"_s);
        // A picture first, so that a cleared control is seen to change.
        Place(u"png.png"_s, u"shown.png"_s);
        Name(u"shown.png"_s);
        QVERIFY(!Shown().isEmpty());
        Name(images);
        QCOMPARE(Shown(), QRect());
        QVERIFY(Image1()->Picture().IsNull());
        QVERIFY(FDialogs.Messages().isEmpty()); // nothing is reported
    }

    // A name typed into DBEdit1 shows once the record is saved.
    void typedNameShownAfterSave()
    {
        Start();
        Place(u"jpeg.jpg"_s, u"typed.jpg"_s);
        DBEdit1()->setFocus();
        QTest::keyClicks(DBEdit1(), u"typed.jpg"_s);
        QCOMPARE(Shown(), QRect());
        Ui().N20->trigger();
        QCOMPARE(Images(), u"typed.jpg"_s);
        QVERIFY(!Shown().isEmpty());
    }

    void addingNamesWithAGap()
    {
        Start();
        // Four pictures of one name and different bytes (a JPEG reads to its end
        // marker, so bytes after it change nothing shown).
        QStringList sources;
        for (int i = 0; i < 4; ++i) {
            sources << FDir->filePath(u"shots%1/shot.jpg"_s.arg(i));
            QDir().mkpath(QFileInfo(sources[i]).absolutePath());
            QFile f(sources[i]);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QFile fixture(Fixture(u"jpeg.jpg"_s));
            QVERIFY(fixture.open(QIODevice::ReadOnly));
            f.write(fixture.readAll() + QByteArray(i, 'x'));
        }
        const QStringList records = {u"Alpha"_s, u"Bravo"_s, u"Charlie"_s};
        const QStringList expected = {u"shot.jpg"_s, u"1_shot.jpg"_s, u"2_shot.jpg"_s};
        for (int i = 0; i < 3; ++i) {
            GoTo(records[i]);
            AddPicture(sources[i]);
            QCOMPARE(Table().State(), TDataSetState::dsBrowse);
            QCOMPARE(StoredImages(records[i]), expected[i]);
            QVERIFY(!Shown().isEmpty()); // the post showed it
        }
        QCOMPARE(FolderFiles(), QStringList({u"1_shot.jpg"_s, u"2_shot.jpg"_s, u"shot.jpg"_s}));
        // The sources stay where they were.
        QVERIFY(QFileInfo::exists(sources[0]));
        // Removing 1_shot.jpg leaves a gap that the next one fills.
        GoTo(u"Bravo"_s);
        Ui().ActDelImg->trigger();
        QCOMPARE(FolderFiles(), QStringList({u"2_shot.jpg"_s, u"shot.jpg"_s}));
        GoTo(u"Alpha"_s);
        AddPicture(sources[3]);
        QCOMPARE(StoredImages(u"Alpha"_s), u"1_shot.jpg"_s);
        QVERIFY(ErrorBoxes().isEmpty());
        // A picture whose bytes are in the folder already under its name is not copied
        // again: the record names that file.
        AddPicture(sources[2]);
        QVERIFY(ErrorBoxes().isEmpty());
        QCOMPARE(StoredImages(u"Alpha"_s), u"2_shot.jpg"_s);
        QVERIFY(!Shown().isEmpty());
        QCOMPARE(FolderFiles(), QStringList({u"1_shot.jpg"_s, u"2_shot.jpg"_s, u"shot.jpg"_s}));
        // Shared, it stays while another record names it.
        Ui().ActDelImg->trigger();
        QCOMPARE(StoredImages(u"Alpha"_s), QString());
        QCOMPARE(FolderFiles(), QStringList({u"1_shot.jpg"_s, u"2_shot.jpg"_s, u"shot.jpg"_s}));
    }

    void addingCancelledChangesNothing()
    {
        Start();
        FDialogs.AnswerPicture(QString());
        Ui().ActAddImg->trigger();
        QCOMPARE(Table().State(), TDataSetState::dsBrowse);
        QCOMPARE(Images(), QString());
        QVERIFY(!QFileInfo::exists(Folder()));
        QCOMPARE(FDialogs.Asked().size(), 1);
        QCOMPARE(FDialogs.Asked().first().Kind, u"picture"_s);
        // The picker offers the loadable formats and previews the file under the cursor.
        QCOMPARE(FDialogs.Asked().first().Text, TPicture::FileFilter());
        QVERIFY(FDialogs.Preview());
        const QImage preview = FDialogs.Preview()(Fixture(u"jpeg.jpg"_s), QSize(100, 100));
        QCOMPARE(preview.size(), QSize(100, 50));
        QVERIFY(FDialogs.Preview()(Fixture(u"text.jpg"_s), QSize(100, 100)).isNull());
    }

    // The pending edits go into the file together with the picture's name.
    void addingWhileEditingPostsTheEdits()
    {
        Start();
        GoTo(u"Bravo"_s);
        Ui().DBEdit6->setFocus();
        QTest::keyClicks(Ui().DBEdit6, u"2.5"_s);
        Table().FieldByName(u"Comments"_s)->SetAsString(u"taken in"_s);
        QCOMPARE(Table().State(), TDataSetState::dsEdit);
        AddPicture(Fixture(u"png.png"_s));
        QCOMPARE(Table().State(), TDataSetState::dsBrowse);
        QCOMPARE(StoredImages(u"Bravo"_s), u"png.png"_s);
        QCOMPARE(Table().FieldByName(u"ProductVersion"_s)->AsString(), u"2.5"_s);
        QCOMPARE(Table().FieldByName(u"Comments"_s)->AsString(), u"taken in"_s);
        QCOMPARE(Table().RecordCount(), 3);
    }

    // With no current record, adding appends a record that holds only the name.
    void addingWithoutARecordAppendsOne_data()
    {
        QTest::addColumn<bool>("filtered");
        QTest::newRow("empty catalogue") << false;
        QTest::newRow("a search that hides every record") << true;
    }

    void addingWithoutARecordAppendsOne()
    {
        QFETCH(bool, filtered);
        Start(filtered ? QStringList{u"Alpha"_s} : QStringList{});
        if (filtered)
            Ui().Edit1->setText(u"zzz"_s);
        QVERIFY(Table().IsEmpty());
        AddPicture(Fixture(u"bmp.bmp"_s));
        QCOMPARE(Table().State(), TDataSetState::dsBrowse);
        // The new record holds the name alone (a search may hide it at once).
        QCOMPARE(PictureUses(FApp->DataModule1->ADOConnection, u"bmp.bmp"_s), 1);
        QCOMPARE(StoredImages(QString()), u"bmp.bmp"_s);
        Ui().Edit1->clear();
        QCOMPARE(Table().RecordCount(), filtered ? 2 : 1);
        QCOMPARE(FolderFiles(), QStringList{u"bmp.bmp"_s});
        QVERIFY(ErrorBoxes().isEmpty());
    }

    // A copy that fails is reported, and neither the record nor the folder changes.
    void failingCopy_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("folderIsAFile");
        QTest::addColumn<bool>("editing");
        QTest::newRow("picture gone before the copy") << u"gone.png"_s << false << false;
        QTest::newRow("picture is a folder") << u"album.png"_s << false << false;
        QTest::newRow("no folder can be made") << u"png.png"_s << true << false;
        QTest::newRow("while editing") << u"gone.png"_s << false << true;
    }

    void failingCopy()
    {
        QFETCH(QString, source);
        QFETCH(bool, folderIsAFile);
        QFETCH(bool, editing);
        Start();
        GoTo(u"Bravo"_s);
        Place(u"jpeg.jpg"_s, u"old.jpg"_s);
        Name(u"old.jpg"_s);
        QVERIFY(QFile::copy(Fixture(u"png.png"_s), FDir->filePath(u"png.png"_s)));
        QVERIFY(QDir(FDir->path()).mkdir(u"album.png"_s));
        if (folderIsAFile) {
            QVERIFY(QDir(Folder()).removeRecursively());
            QFile blocker(Folder());
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        if (editing) {
            Table().Edit();
            Table().FieldByName(u"Comments"_s)->SetAsString(u"kept"_s);
        }
        const QStringList before = folderIsAFile ? QStringList() : FolderFiles();
        AddPicture(FDir->filePath(source));
        const QStringList boxes = ErrorBoxes();
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes.first().contains(folderIsAFile ? u"Images"_s : source),
                 qPrintable(boxes.first()));
        QCOMPARE(Images(), u"old.jpg"_s);
        QCOMPARE(StoredImages(u"Bravo"_s), u"old.jpg"_s);
        QCOMPARE(FolderFiles(), before);
        // An edit under way stays under way; a record only shown is left as it was.
        QCOMPARE(Table().State(), editing ? TDataSetState::dsEdit : TDataSetState::dsBrowse);
        if (editing)
            QCOMPARE(Table().FieldByName(u"Comments"_s)->AsString(), u"kept"_s);
        QCOMPARE(Table().RecordCount(), 3);
    }

    // A post that fails is reported; the copy made for it goes again.
    void failingPostWhileAdding()
    {
        Start();
        GoTo(u"Bravo"_s);
        ChangeElsewhere(u"Bravo"_s);
        AddPicture(Fixture(u"png.png"_s));
        QCOMPARE(ErrorBoxes().size(), 1);
        QCOMPARE(StoredImages(u"Bravo"_s), QString());
        QCOMPARE(FolderFiles(), QStringList());
        QCOMPARE(Images(), QString());
    }

    void removingClearsAndDeletes()
    {
        Start();
        Place(u"jpeg.jpg"_s, u"shot.jpg"_s);
        GoTo(u"Bravo"_s);
        Name(u"shot.jpg"_s);
        QVERIFY(!Shown().isEmpty());
        Ui().ActDelImg->trigger();
        QCOMPARE(Table().State(), TDataSetState::dsBrowse);
        QCOMPARE(StoredImages(u"Bravo"_s), QString());
        QCOMPARE(FolderFiles(), QStringList());
        QCOMPARE(Shown(), QRect());
        // Removing again, with no file named, only posts the empty column.
        Ui().ActDelImg->trigger();
        QVERIFY(ErrorBoxes().isEmpty());
        QCOMPARE(Table().RecordCount(), 3);
    }

    // A file that another record names stays; the column is cleared all the same.
    void removingASharedFile()
    {
        Start();
        Place(u"jpeg.jpg"_s, u"shot.jpg"_s);
        GoTo(u"Alpha"_s);
        Name(u"shot.jpg"_s);
        GoTo(u"Charlie"_s);
        Name(u"shot.jpg"_s);
        // Hidden by a search, the other record still counts.
        Ui().Edit1->setText(u"Ch"_s);
        QCOMPARE(Table().RecordCount(), 1);
        Ui().ActDelImg->trigger();
        QCOMPARE(StoredImages(u"Charlie"_s), QString());
        QCOMPARE(FolderFiles(), QStringList{u"shot.jpg"_s});
        Ui().Edit1->clear();
        GoTo(u"Alpha"_s);
        QVERIFY(!Shown().isEmpty());
        Ui().ActDelImg->trigger();
        QCOMPARE(StoredImages(u"Alpha"_s), QString());
        QCOMPARE(FolderFiles(), QStringList());
        QVERIFY(ErrorBoxes().isEmpty());
    }

    // A name that points outside the folder is never deleted; the column is cleared.
    void removingANameThatPointsOutside_data()
    {
        QTest::addColumn<QString>("images");
        QTest::newRow("climbing out") << u"../notes.txt"_s;
        QTest::newRow("absolute") << u"<absolute>"_s;
        QTest::newRow("a subfolder") << u"sub/notes.txt"_s;
        QTest::newRow("the parent itself") << u".."_s;
    }

    void removingANameThatPointsOutside()
    {
        QFETCH(QString, images);
        Start();
        const QString outside = FDir->filePath(u"notes.txt"_s);
        QVERIFY(QFile::copy(Fixture(u"png.png"_s), outside));
        QDir().mkpath(Folder() + u"/sub"_s);
        QVERIFY(QFile::copy(Fixture(u"png.png"_s), Folder() + u"/sub/notes.txt"_s));
        if (images == u"<absolute>"_s)
            images = outside;
        GoTo(u"Bravo"_s);
        Name(images);
        QCOMPARE(Shown(), QRect());
        Ui().ActDelImg->trigger();
        QVERIFY(ErrorBoxes().isEmpty());
        QCOMPARE(StoredImages(u"Bravo"_s), QString());
        QVERIFY(QFileInfo::exists(outside));
        QVERIFY(QFileInfo::exists(Folder() + u"/sub/notes.txt"_s));
        QVERIFY(QFileInfo::exists(FDir->path()));
    }

    // The record is posted before the file goes: when the post fails, the file stays
    // with the record that still names it.
    void failingPostWhileRemoving()
    {
        Start();
        Place(u"jpeg.jpg"_s, u"shot.jpg"_s);
        GoTo(u"Bravo"_s);
        Name(u"shot.jpg"_s);
        ChangeElsewhere(u"Bravo"_s);
        Ui().ActDelImg->trigger();
        QCOMPARE(ErrorBoxes().size(), 1);
        QCOMPARE(StoredImages(u"Bravo"_s), u"shot.jpg"_s);
        QCOMPARE(FolderFiles(), QStringList{u"shot.jpg"_s});
    }

    // With no record, there is nothing to remove and no record is started.
    void removingWithoutARecord()
    {
        Start({});
        Ui().ActDelImg->trigger();
        QCOMPARE(Table().State(), TDataSetState::dsBrowse);
        QCOMPARE(Table().RecordCount(), 0);
        QVERIFY(ErrorBoxes().isEmpty());
    }

    // Deleting a record or clearing the catalogue leaves the pictures in the folder.
    void deletingRecordsLeavesPictures()
    {
        Start();
        Place(u"jpeg.jpg"_s, u"a.jpg"_s);
        Place(u"png.png"_s, u"b.png"_s);
        GoTo(u"Alpha"_s);
        Name(u"a.jpg"_s);
        GoTo(u"Bravo"_s);
        Name(u"b.png"_s);
        FDialogs.AnswerMessage(TMsgResult::mrOK);
        Ui().ActDel->trigger();
        QCOMPARE(Table().RecordCount(), 2);
        FDialogs.AnswerMessage(TMsgResult::mrYes);
        Ui().ActClear->trigger();
        QCOMPARE(Table().RecordCount(), 0);
        QCOMPARE(FolderFiles(), QStringList({u"a.jpg"_s, u"b.png"_s}));
    }

    void viewer_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("byPopup");
        QTest::newRow("jpg by the magnifier") << u"jpeg.jpg"_s << QSize(200, 100) << false;
        QTest::newRow("emf by the popup item") << u"emf.emf"_s << QSize(80, 160) << true;
        QTest::newRow("ico") << u"ico.ico"_s << QSize(48, 48) << false;
    }

    // The viewer shows a copy at the picture's own size, centred on the screen, and a
    // click closes it.
    void viewer()
    {
        QFETCH(QString, file);
        QFETCH(QSize, size);
        QFETCH(bool, byPopup);
        Start();
        Place(file, file);
        GoTo(u"Bravo"_s);
        Name(file);
        TImgViewForm* viewer = FApp->ImgViewForm;
        QVERIFY(!viewer->isVisible());
        if (byPopup)
            Control<QAction>(Form1(), u"N33"_s)->trigger();
        else
            Control<QToolButton>(Form1(), u"SpeedButton2"_s)->click();
        QVERIFY(viewer->isVisible());
        QVERIFY(viewer->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(viewer->windowTitle(), u"Просмотр картинки"_s);
        QCOMPARE(viewer->size(), size);
        QCOMPARE(viewer->geometry().center(), viewer->screen()->availableGeometry().center());
        TImage* picture = Control<TImage>(viewer, u"Image1"_s);
        QCOMPARE(picture->toolTip(), u"Щелкните, чтобы закрыть окно"_s);
        QCOMPARE(picture->geometry(), QRect(QPoint(), size));
        const QImage shot = picture->grab().toImage();
        QVERIFY(
            Near(shot.pixelColor(size.width() / 2, size.height() / 2), QColor(20, 40, 200), 40));
        QVERIFY(Near(shot.pixelColor(1, 1), QColor(170, 20, 30), 40));
        // The main window stays usable, and the viewer keeps its copy when the record
        // changes and the file goes.
        GoTo(u"Alpha"_s);
        QVERIFY(QFile::remove(InFolder(file)));
        QVERIFY(Near(picture->grab().toImage().pixelColor(size.width() / 2, size.height() / 2),
                     QColor(20, 40, 200), 40));
        // A click on the picture hides the viewer; the next view shows it again, centred.
        QTest::mouseClick(picture, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(!viewer->isVisible());
        viewer->move(0, 0);
        Place(u"jpeg2.jpeg"_s, u"tall.jpeg"_s);
        Name(u"tall.jpeg"_s);
        Ui().ActViewImg->trigger();
        QVERIFY(viewer->isVisible());
        QCOMPARE(viewer->size(), QSize(100, 200));
        QCOMPARE(viewer->geometry().center(), viewer->screen()->availableGeometry().center());
        QVERIFY(ErrorBoxes().isEmpty());
    }

    // With no picture shown, the view command shows no window: one of no size could
    // be neither seen nor clicked away.
    void viewerWithoutAPicture()
    {
        Start();
        Place(u"jpeg.jpg"_s, u"shot.jpg"_s);
        Name(u"shot.jpg"_s);
        TImgViewForm* viewer = FApp->ImgViewForm;
        Ui().ActViewImg->trigger();
        QVERIFY(viewer->isVisible());
        GoTo(u"Bravo"_s);
        Ui().ActViewImg->trigger();
        QVERIFY(!viewer->isVisible());
        QVERIFY(ErrorBoxes().isEmpty());
    }

    // A picture larger than the screen sizes the viewer to the whole picture.
    void viewerLargerThanTheScreen()
    {
        Start();
        const QSize screen = Form1()->screen()->size();
        QImage big(screen + QSize(300, 200), QImage::Format_RGB32);
        big.fill(QColor(170, 20, 30));
        QDir().mkpath(Folder());
        QVERIFY(big.save(InFolder(u"big.png"_s)));
        Name(u"big.png"_s);
        Ui().ActViewImg->trigger();
        QCOMPARE(FApp->ImgViewForm->size(), big.size());
    }
};

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
