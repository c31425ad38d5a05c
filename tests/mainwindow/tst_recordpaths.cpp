// Every way a record is written, in random order: after each write the rows it touched
// are changed, and now and then deleted, by another way than the one that wrote them.
// No write may meet a conflict that is not there, and what the window holds must be
// what the file holds. A real change by another program between read and save is still
// refused, and overwrites nothing.
//
// The sequence is drawn from a seed, printed with every failure; a failing sequence is
// shrunk to a short one that still fails. TRESMOL_MODEL_SEED and TRESMOL_MODEL_STEPS
// replay a given sequence or run a long one (with QTEST_FUNCTION_TIMEOUT raised).

#include "dbaware/dbcontrols.h"
#include "harvestwindows/infoform.h"
#include "harvestwindows/masterform.h"
#include "lists/editrecordform.h"
#include "lists/reflistform.h"
#include "mainwindow/mainform.h"
#include "mainwindow/startup.h"
#include "mainwindow/updown.h"
#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"
#include "tests/common/outsidesql.h"
#include "tests/common/scripteddialogs.h"
#include "tests/mainwindow/form1controls.h"
#include "tests/store/tabledump.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <map>
#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

QString Fixture(const QString& name) { return QStringLiteral(VERINFO_FIXTURES "/") + name; }

// Programs with whole version information, with empty items, with missing items, and
// files without any (a text file named .exe, a file of zeros).
const QStringList Programs = {u"english64.exe"_s, u"russian32.exe"_s, u"zero.exe"_s,
                              u"nofixed.exe"_s,   u"neutral.exe"_s,   u"notes.exe"_s};

// The ways a record is written.
enum class TWay {
    HarvestCli,    // tresmol-cli harvest
    HarvestWizard, // "Сканировать" and its wizard
    SecondScan,    // the wizard again over files the catalogue knows
    FileInfo,      // "Инфа с файла" and its "Сохранить"
    Editor,        // the record editor
    Details,       // the details panel's boxes and "Сохранить"
    Grid,          // typing into the grid's cell
    PictureAdd,
    PictureRemove,
    Registration, // an S/N row: its flag and its text
    Rating,       // the rating spinner
    CliSet,       // tresmol-cli set
    ListEditor,   // a reference list's editor: add, rename, delete
    Conflict,     // another program changes the record while the window edits it
    Count
};

const char* WayName(TWay way)
{
    static const char* const names[] = {
        "harvest-cli", "harvest-wizard", "second-scan", "file-info",      "editor",
        "details",     "grid",           "picture-add", "picture-remove", "registration",
        "rating",      "cli-set",        "list-editor", "conflict"};
    return names[int(way)];
}

// The ways that change a record that exists, and those that delete one.
const TWay Changers[] = {TWay::Editor,        TWay::Details,      TWay::Grid,   TWay::PictureAdd,
                         TWay::PictureRemove, TWay::Registration, TWay::Rating, TWay::CliSet};
enum class TDeleter { Cli, Window, ClearWithSearch, Count };

// One step: a way of writing, and the seed of every choice it makes.
struct TStep {
    TWay Way;
    quint32 Seed;
};

QString Describe(const QVector<TStep>& steps)
{
    QStringList out;
    for (const TStep& s : steps)
        out << QString::fromLatin1(WayName(s.Way)) + u'/' + QString::number(s.Seed);
    return out.join(u' ');
}

// Runs F as soon as the next modal window's event loop runs.
void WhileModal(std::function<void()> f) { QTimer::singleShot(0, std::move(f)); }

// A failure of a run: what was expected and what was seen.
struct EModelFailure {
    QString What;
};

void Expect(bool ok, const QString& what)
{
    if (!ok)
        throw EModelFailure{what};
}

// One run of a sequence on a new catalogue in the program's windows.
class TRun {
public:
    TRun()
    {
        SetDialogs(&FDialogs);
        FPath = FDir.filePath(u"Tresmol.mdb"_s);
        FScan = FDir.filePath(u"Disc"_s);
        QDir().mkpath(FScan);
        for (const QString& name : Programs) {
            const QString target = FScan + u'/' + name;
            if (QFile::exists(Fixture(name))) {
                QFile::copy(Fixture(name), target);
            } else {
                QFile f(target);
                f.open(QIODevice::WriteOnly);
                f.write("not a program\n");
            }
        }
        // A picture for the records.
        FPicture = FDir.filePath(u"shot.bmp"_s);
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        image.save(FPicture);
        Catalogue::CreateNew(FPath);
        FApp = std::make_unique<TTresmolApp>(Catalogue::ConnectionStringFor(FPath));
        FApp->Form1->SetSettingsFileName(FDir.filePath(u"tresmol.ini"_s));
        FApp->Form1->SetPictureFolder(FDir.filePath(u"Images"_s));
        FApp->Form1->resize(1100, 700);
        FApp->Form1->show();
        FApp->Form1->activateWindow();
        if (!QTest::qWaitForWindowActive(FApp->Form1))
            qWarning("the main window did not become active");
    }

    ~TRun()
    {
        if (Table().Active() && Table().State() != TDataSetState::dsBrowse)
            Table().Cancel();
        FApp->Form1->close();
        FApp.reset();
        SetDialogs(nullptr);
    }

    // Runs STEP; throws EModelFailure at the first thing that is not as it should be.
    void Step(const TStep& step)
    {
        QRandomGenerator rng(step.Seed);
        FRng = &rng;
        const QVector<int> touched = Write(step.Way);
        FWritten += int(touched.size());
        if (step.Way == TWay::Conflict || step.Way == TWay::ListEditor)
            return;
        for (const int id : touched) {
            // Changed by another way than the one that wrote it.
            TWay change;
            do
                change = Changers[rng.bounded(int(std::size(Changers)))];
            while (change == step.Way);
            GoTo(id);
            ChangeBy(change, id);
            if (rng.bounded(2) == 0)
                DeleteBy(TDeleter(rng.bounded(int(TDeleter::Count))), id);
        }
    }

    // How many records were written, changed and deleted, and how many reads of the
    // whole file were compared with the window.
    QString Counts() const
    {
        return u"%1 records written, %2 changes, %3 deletions, %4 comparisons with the file"_s
            .arg(FWritten)
            .arg(FChanged)
            .arg(FDeleted)
            .arg(FCompared);
    }

private:
    TScriptedDialogs FDialogs;
    QTemporaryDir FDir;
    QString FPath, FScan, FPicture;
    std::unique_ptr<TTresmolApp> FApp;
    QRandomGenerator* FRng = nullptr;
    int FNames = 0;
    int FWritten = 0, FChanged = 0, FDeleted = 0, FCompared = 0;

    TDataSet& Table() { return FApp->DataModule1->BookTable; }
    TForm1Controls Ui() { return TForm1Controls(FApp->Form1); }
    QWidget* Form1() { return FApp->Form1; }

    // A new text, now and then with Cyrillic letters, and now and then empty.
    QString NewText(bool mayBeEmpty = true)
    {
        if (mayBeEmpty && FRng->bounded(5) == 0)
            return QString();
        return (FRng->bounded(2) ? u"Запись "_s : u"Record "_s) + QString::number(++FNames);
    }

    QVector<int> Keys()
    {
        QVector<int> keys;
        const int id = Table().FieldByName(u"Id"_s)->Index();
        for (int row = 0; row < Table().ViewRowCount(); ++row)
            keys << Table().ViewValue(row, id).toInt();
        return keys;
    }

    int CurrentKey() { return Table().FieldByName(u"Id"_s)->AsInteger(); }

    // A record to write on, made by the file information window when there is none.
    int AnyRecord()
    {
        const QVector<int> keys = Keys();
        if (keys.isEmpty())
            return Write(TWay::FileInfo).value(0);
        return keys[FRng->bounded(int(keys.size()))];
    }

    void GoTo(int id)
    {
        Expect(Table().Active(), u"the catalogue table is closed"_s);
        if (!Ui().Edit1->text().isEmpty())
            Ui().Edit1->clear();
        const int row = Keys().indexOf(id);
        Expect(row >= 0, u"record %1 is not in the grid"_s.arg(id));
        Ui().DBGrid1->setFocus();
        Table().MoveToViewRow(row);
        Expect(CurrentKey() == id, u"could not move to record %1"_s.arg(id));
    }

    // Any error box since the last call fails the run, unless ALLOWED.
    void NoErrorBox(const QString& during)
    {
        for (const auto& m : FDialogs.Messages())
            Expect(m.Icon != TMsgIcon::miStop, during + u": error box \""_s + m.Text + u'"');
        FDialogs.ClearAsked();
    }

    // Runs tresmol-cli with ARGS; it must succeed.
    void Cli(const QStringList& args)
    {
        QProcess p;
        p.start(QStringLiteral(TRESMOL_CLI), args);
        p.waitForFinished(60000);
        Expect(p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0,
               u"tresmol-cli "_s + args.join(u' ') + u": "_s +
                   QString::fromUtf8(p.readAllStandardError()));
    }

    // "Обновить": the window reads again what the command line wrote.
    void Refresh()
    {
        Ui().ActRefl->trigger();
        NoErrorBox(u"refresh"_s);
    }

    // Saves the record as "Сохранить" in the menu does.
    void Save(const QString& during)
    {
        Ui().N20->trigger();
        NoErrorBox(during);
        Expect(Table().State() == TDataSetState::dsBrowse,
               during + u": the record is still being edited after the save"_s);
    }

    // Replaces what BOX holds with TEXT, typed key by key (any letter, so not through
    // QTest::keyClicks, which knows only Latin ones).
    static void TypeInto(QWidget* box, const QString& text)
    {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_Delete);
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(box, &press);
            QApplication::sendEvent(box, &release);
        }
    }

    // The wizard over the scan folder, every file it lists ticked.
    QVector<int> Scan()
    {
        const QVector<int> before = Keys();
        WhileModal([this] {
            const QWidget* w = FApp->MasterForm;
            FDialogs.AnswerFolder(FScan);
            Control<QAction>(w, u"ActAddFolder"_s)->trigger();
            Control<QAction>(w, u"ActNext"_s)->trigger();
            QTest::mouseClick(Control<QPushButton>(w, u"NextBtn"_s), Qt::LeftButton);
        });
        Ui().ActScan->trigger();
        NoErrorBox(u"scan"_s);
        QVector<int> added;
        for (const int id : Keys())
            if (!before.contains(id))
                added << id;
        return added;
    }

    // Writes by WAY; returns the records it wrote.
    QVector<int> Write(TWay way)
    {
        switch (way) {
        case TWay::HarvestCli: {
            const QVector<int> before = Keys();
            QStringList files;
            for (const QString& name : Programs)
                if (FRng->bounded(2))
                    files << FScan + u'/' + name;
            if (files.isEmpty())
                files << FScan + u"/zero.exe"_s;
            Cli(QStringList{u"harvest"_s, FPath} + files);
            Refresh();
            QVector<int> added;
            for (const int id : Keys())
                if (!before.contains(id))
                    added << id;
            Expect(added.size() == files.size(),
                   u"harvest added %1 records for %2 files"_s.arg(added.size()).arg(files.size()));
            return added;
        }
        case TWay::HarvestWizard:
        case TWay::SecondScan:
            return Scan();
        case TWay::FileInfo: {
            const int before = Table().RecordCount();
            // The window reads only files with version information; an empty item or a
            // missing one it shows as such.
            const QString readable[] = {u"english64.exe"_s, u"russian32.exe"_s, u"zero.exe"_s};
            FDialogs.AnswerFile(FScan + u'/' + readable[FRng->bounded(int(std::size(readable)))]);
            WhileModal([this] {
                const QWidget* info = FApp->InfoForm;
                // "Обзор", then "Сохранить"
                QTest::mouseClick(Control<QPushButton>(info, u"SpeedButton1"_s), Qt::LeftButton);
                QTest::mouseClick(Control<QPushButton>(info, u"SpeedButton2"_s), Qt::LeftButton);
            });
            Ui().ActFileInfo->trigger();
            NoErrorBox(u"file information"_s);
            Expect(Table().RecordCount() == before + 1,
                   u"the file information window saved no record"_s);
            return {CurrentKey()};
        }
        case TWay::Conflict:
            Conflict();
            return {};
        case TWay::ListEditor:
            ListEditor();
            return {};
        default: {
            const int id = AnyRecord();
            GoTo(id);
            ChangeBy(way, id);
            return {id};
        }
        }
    }

    // Changes record ID by WAY and checks that the file then holds the change.
    void ChangeBy(TWay way, int id)
    {
        const QString during =
            QString::fromLatin1(WayName(way)) + u" on record "_s + QString::number(id);
        QString field, value;
        switch (way) {
        case TWay::Editor: {
            const std::pair<const char*, const char16_t*> boxes[] = {{"DBEdit2", u"ProductName"},
                                                                     {"DBEdit8", u"Comments"},
                                                                     {"DBEdit11", u"InternalName"},
                                                                     {"DBEdit9", u"Year"}};
            const auto& [box, name] = boxes[FRng->bounded(int(std::size(boxes)))];
            field = QString::fromUtf16(name);
            value = field == u"Year"_s
                        ? (FRng->bounded(3) ? QString::number(1990 + FRng->bounded(30)) : QString())
                        : NewText();
            TEditRecordForm* editor = FApp->EditRecordForm;
            editor->show();
            auto* edit = editor->findChild<TDBEdit*>(QString::fromLatin1(box));
            editor->findChild<QTabWidget*>(u"PageControl1"_s)
                ->setCurrentWidget(edit->parentWidget()->parentWidget());
            TypeInto(edit, value);
            Control<QToolButton>(editor, u"SpeedButton2"_s)->click();
            NoErrorBox(during);
            editor->close();
            break;
        }
        case TWay::Details: {
            const std::pair<TDBEdit*, const char16_t*> boxes[] = {{Ui().DBEdit6, u"ProductVersion"},
                                                                  {Ui().DBEdit2, u"FileVersion"}};
            const auto& [edit, name] = boxes[FRng->bounded(int(std::size(boxes)))];
            field = QString::fromUtf16(name);
            value = NewText();
            TypeInto(edit, value);
            Save(during);
            break;
        }
        case TWay::Grid: {
            field = u"ProductName"_s;
            value = NewText(false);
            TDBGrid* grid = Ui().DBGrid1;
            int column = -1;
            for (int c = 0; c < grid->GridModel()->columnCount(); ++c)
                if (grid->GridModel()->ColumnField(c) &&
                    grid->GridModel()->ColumnField(c)->FieldName() == field)
                    column = c;
            Expect(column >= 0, u"the grid shows no ProductName"_s);
            const QModelIndex cell = grid->GridModel()->index(Table().ViewCurrentRow(), column);
            grid->setFocus();
            grid->setCurrentIndex(cell);
            grid->edit(cell);
            QWidget* editor = grid->GridDelegate()->Editor();
            Expect(editor != nullptr, u"the grid's cell opened no editor"_s);
            TypeInto(editor, value);
            QTest::keyClick(editor, Qt::Key_Return);
            Save(during);
            break;
        }
        case TWay::PictureAdd:
            field = u"Images"_s;
            FDialogs.AnswerPicture(FPicture);
            Ui().ActAddImg->trigger();
            NoErrorBox(during);
            Expect(!Table().FieldByName(field)->AsString().isEmpty(), during + u": no picture"_s);
            value = Table().FieldByName(field)->AsString();
            break;
        case TWay::PictureRemove:
            field = u"Images"_s;
            Ui().ActDelImg->trigger();
            NoErrorBox(during);
            break;
        case TWay::Registration: {
            static const std::pair<const char16_t*, const char16_t*> rows[] = {
                {u"EnableButtonCheckBox0", u"NameDBEdit"},
                {u"EnableButtonCheckBox2", u"ActivationCodeDBEdit"},
                {u"DBCheckBox3", u"CrackDBEdit"}};
            const auto& [box, edit] = rows[FRng->bounded(int(std::size(rows)))];
            auto* check = Control<TDBCheckBox>(Form1(), QString::fromUtf16(box));
            if (check->checkState() != Qt::Checked)
                check->click();
            auto* text = Control<TDBEdit>(Form1(), QString::fromUtf16(edit));
            field = text->DataField();
            value = NewText();
            TypeInto(text, value);
            if (FRng->bounded(3) == 0)
                check->click(); // untick again: the text stays
            Save(during);
            break;
        }
        case TWay::Rating: {
            field = u"Rating"_s;
            auto* spinner = Control<TUpDown>(Form1(), u"UpDown1"_s);
            for (int i = 1 + int(FRng->bounded(3)); i > 0; --i)
                QTest::mouseClick(FRng->bounded(2) ? spinner->UpButton() : spinner->DownButton(),
                                  Qt::LeftButton);
            value = Table().FieldByName(field)->AsString();
            Save(during);
            break;
        }
        case TWay::CliSet: {
            const char16_t* const fields[] = {u"ProductName", u"Comments", u"InternalName",
                                              u"Rating",      u"Ch3",      u"Activationcode"};
            field = QString::fromUtf16(fields[FRng->bounded(int(std::size(fields)))]);
            value = field == u"Rating"_s ? QString::number(int(FRng->bounded(11)) - 5)
                    : field == u"Ch3"_s  ? QString::number(FRng->bounded(2))
                                         : NewText();
            Cli({u"set"_s, FPath, QString::number(id), field + u'=' + value});
            Refresh();
            GoTo(id);
            if (field == u"Ch3"_s)
                value = value == u"1"_s ? u"True"_s : u"False"_s;
            break;
        }
        default:
            return;
        }
        ++FChanged;
        Expect(Table().FieldByName(field)->AsString() == value,
               during + u": "_s + field + u" holds \""_s + Table().FieldByName(field)->AsString() +
                   u"\", not \""_s + value + u'"');
        SameAsTheFile(during);
    }

    void DeleteBy(TDeleter deleter, int id)
    {
        const QString during = u"deleting record %1 by way %2"_s.arg(id).arg(int(deleter));
        switch (deleter) {
        case TDeleter::Cli:
            Cli({u"delete"_s, FPath, QString::number(id)});
            Refresh();
            break;
        case TDeleter::Window:
            GoTo(id);
            FDialogs.AnswerMessage(TMsgResult::mrOK);
            Ui().ActDel->trigger();
            NoErrorBox(during);
            break;
        case TDeleter::ClearWithSearch: {
            GoTo(id);
            // A name of its own, so that the search shows this record alone.
            const QString name = u"Только "_s + QString::number(id) + u'.';
            Table().Edit();
            Table().FieldByName(u"ProductName"_s)->SetAsString(name);
            Save(during);
            Ui().Edit1->setText(name);
            FDialogs.AnswerMessage(TMsgResult::mrYes);
            Ui().ActClear->trigger();
            NoErrorBox(during);
            Ui().Edit1->clear();
            break;
        }
        case TDeleter::Count:
            break;
        }
        ++FDeleted;
        Expect(!Keys().contains(id), during + u": the record is still there"_s);
        SameAsTheFile(during);
    }

    // The window edits a record while another program changes it: the save is refused
    // with the conflict message, and the other program's change stays.
    void Conflict()
    {
        const int id = AnyRecord();
        GoTo(id);
        // Texts of their own, so that the other program's is a change whatever the
        // record held.
        const QString theirs = u"from outside "_s + QString::number(++FNames);
        TypeInto(Ui().DBEdit6, u"from the window "_s + QString::number(++FNames));
        RunOutside(FPath, u"UPDATE SoftTable SET ProductVersion = '"_s + theirs +
                              u"' WHERE Id = "_s + QString::number(id));
        Ui().N20->trigger();
        const auto boxes = FDialogs.Messages();
        FDialogs.ClearAsked();
        Expect(boxes.size() == 1 && boxes[0].Icon == TMsgIcon::miStop &&
                   boxes[0].Text.contains(u"изменил другой пользователь"_s),
               u"a change from outside was not refused: "_s +
                   (boxes.isEmpty() ? u"no message"_s : boxes[0].Text));
        const TSqliteDatabase db = OutsideConnection(FPath, true);
        Expect(QueryColumn(db, u"SELECT ProductVersion FROM SoftTable WHERE Id = "_s +
                                   QString::number(id)) == QVariantList{theirs},
               u"the change from outside was overwritten"_s);
        Table().Cancel();
        Refresh();
        GoTo(id);
        Expect(Table().FieldByName(u"ProductVersion"_s)->AsString() == theirs,
               u"the refresh did not bring the change from outside"_s);
        SameAsTheFile(u"conflict"_s);
    }

    // A platform added in its list editor, renamed, chosen for a record by the command
    // line, and, once no record uses it, deleted.
    void ListEditor()
    {
        TRefListForm* form = FApp->PlatformForm;
        TDataSet* list = form->Table();
        form->show();
        auto* grid = form->findChild<TDBGrid*>(u"DBGrid1"_s);
        Control<QAbstractButton>(form, u"BitBtn1"_s)->click(); // "Добавить"
        const QString name = NewText(false);
        grid->edit(grid->currentIndex());
        QWidget* editor = grid->GridDelegate()->Editor();
        Expect(editor != nullptr, u"the list's new row opened no editor"_s);
        TypeInto(editor, name);
        QTest::keyClick(editor, Qt::Key_Return);
        // The cell's editor hands its text over once the event loop runs.
        Expect(QTest::qWaitFor([list] { return list->State() == TDataSetState::dsBrowse; }, 5000),
               u"Enter left the new platform unsaved"_s);
        NoErrorBox(u"list editor"_s);
        const int key = list->FieldByName(u"key2"_s)->AsInteger();
        form->close();
        NoErrorBox(u"closing the list editor"_s);
        const int id = AnyRecord();
        Cli({u"set"_s, FPath, QString::number(id), u"Platform="_s + QString::number(key)});
        Refresh();
        GoTo(id);
        Expect(Table().FieldByName(u"Platform"_s)->AsInteger() == key,
               u"the record does not name the new platform"_s);
        Cli({u"set"_s, FPath, QString::number(id), u"Platform="_s});
        Refresh();
        form->show();
        Control<QAbstractButton>(form, u"BitBtn2"_s)->click(); // "Удалить"
        NoErrorBox(u"deleting the platform"_s);
        form->close();
        SameAsTheFile(u"list editor"_s);
    }

public:
    // The window holds what a new reading of the file gives, row for row.
    void SameAsTheFile(const QString& during)
    {
        ++FCompared;
        Expect(Table().State() == TDataSetState::dsBrowse,
               during + u": the record is left being edited"_s);
        QStringList errors;
        TDataModule1 other([&errors](const QString& m) { errors << m; },
                           Catalogue::ConnectionStringFor(FPath));
        Expect(errors.isEmpty(), during + u": "_s + errors.join(u'\n'));
        other.BookTable.Open();
        const auto rows = [](const TDataSet& t) {
            std::map<int, QByteArray> byKey;
            const QList<QByteArray> lines = DumpTable(t).split('\n');
            const int id = t.FieldByName(u"Id"_s)->Index();
            for (int row = 0; row < t.RecordCount(); ++row)
                byKey[t.ViewValue(row, id).toInt()] = lines[row];
            return byKey;
        };
        Expect(Ui().Edit1->text().isEmpty(), during + u": a search is still in force"_s);
        const auto shown = rows(Table()), stored = rows(other.BookTable);
        for (const auto& [key, line] : stored) {
            const auto it = shown.find(key);
            Expect(it != shown.end(),
                   during + u": the window lacks record "_s + QString::number(key));
            Expect(it->second == line, during + u": record "_s + QString::number(key) +
                                           u" differs:\nwindow "_s + QString::fromUtf8(it->second) +
                                           u"\nfile   "_s + QString::fromUtf8(line));
        }
        Expect(shown.size() == stored.size(),
               during + u": the window holds records the file lacks"_s);
        for (TDataSet* list : FApp->DataModule1->ReferenceTables())
            Expect(list->State() == TDataSetState::dsBrowse,
                   during + u": "_s + list->TableName() + u" is left being edited"_s);
    }
};

// Runs STEPS on a new catalogue; the first failure, if any.
std::optional<QString> RunSteps(const QVector<TStep>& steps)
{
    TRun run;
    for (int i = 0; i < steps.size(); ++i) {
        if (i > 0 && i % 1000 == 0)
            qInfo("%d steps: %s", i, qPrintable(run.Counts()));
        try {
            run.Step(steps[i]);
        } catch (const EModelFailure& f) {
            return u"step %1 (%2): %3"_s.arg(i + 1).arg(QString::fromLatin1(WayName(steps[i].Way)),
                                                        f.What);
        } catch (const EError& e) {
            return u"step %1 (%2): unexpected failure: %3"_s.arg(i + 1).arg(
                QString::fromLatin1(WayName(steps[i].Way)), e.Message());
        }
    }
    qInfo("%s", qPrintable(run.Counts()));
    return std::nullopt;
}

// STEPS made shorter while they still fail: whole steps left out, then halves.
QVector<TStep> Shrink(QVector<TStep> steps, QString& failure)
{
    int tries = 0;
    for (qsizetype chunk = std::max<qsizetype>(1, steps.size() / 2); chunk >= 1 && tries < 60;
         chunk /= 2) {
        for (qsizetype at = 0; at + chunk <= steps.size() && tries < 60;) {
            QVector<TStep> shorter = steps;
            shorter.remove(at, chunk);
            ++tries;
            if (const std::optional<QString> f = RunSteps(shorter)) {
                steps = shorter;
                failure = *f;
            } else {
                at += chunk;
            }
        }
    }
    return steps;
}

QVector<TStep> Draw(quint32 seed, int count)
{
    QRandomGenerator rng(seed);
    QVector<TStep> steps;
    for (int i = 0; i < count; ++i)
        steps.push_back({TWay(rng.bounded(int(TWay::Count))), rng.generate()});
    return steps;
}

} // namespace

class TestRecordPaths : public QObject {
    Q_OBJECT

private slots:
    void randomSequencesOfEveryWay_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("steps");
        const QByteArray seed = qgetenv("TRESMOL_MODEL_SEED");
        const QByteArray steps = qgetenv("TRESMOL_MODEL_STEPS");
        if (!seed.isEmpty() || !steps.isEmpty()) {
            QTest::newRow("given")
                << (seed.isEmpty() ? QRandomGenerator::global()->generate() : seed.toUInt())
                << (steps.isEmpty() ? 40 : steps.toInt());
            return;
        }
        // A new sequence every run, besides fixed ones that cover every way.
        QTest::newRow("fixed 1") << 1u << 30;
        QTest::newRow("fixed 2") << 2u << 30;
        QTest::newRow("fresh") << QRandomGenerator::global()->generate() << 30;
    }

    void randomSequencesOfEveryWay()
    {
        QFETCH(quint32, seed);
        QFETCH(int, steps);
        qInfo("seed %u, %d steps (TRESMOL_MODEL_SEED=%u TRESMOL_MODEL_STEPS=%d replays them)", seed,
              steps, seed, steps);
        const QVector<TStep> sequence = Draw(seed, steps);
        std::optional<QString> failure = RunSteps(sequence);
        if (!failure)
            return;
        QString shrunkFailure = *failure;
        const QVector<TStep> shrunk = Shrink(sequence, shrunkFailure);
        QFAIL(qPrintable(u"seed %1: %2\nshrunk to %3 steps: %4\nwhich fail at %5"_s.arg(seed)
                             .arg(*failure)
                             .arg(shrunk.size())
                             .arg(Describe(shrunk), shrunkFailure)));
    }

    // Each way on its own, so that a fault in one names it at once.
    void everyWayAlone_data()
    {
        QTest::addColumn<int>("way");
        for (int w = 0; w < int(TWay::Count); ++w)
            QTest::newRow(WayName(TWay(w))) << w;
    }

    void everyWayAlone()
    {
        QFETCH(int, way);
        // A harvest first, so that the way has records to work on.
        const QVector<TStep> steps = {{TWay::HarvestCli, 7u}, {TWay(way), 11u}};
        const std::optional<QString> failure = RunSteps(steps);
        QVERIFY2(!failure, qPrintable(failure.value_or(QString())));
    }
};

QTEST_MAIN(TestRecordPaths)
#include "tst_recordpaths.moc"
