// The five reference-list windows on a real catalogue, inside the whole program: each
// case runs for every window. The windows edit the data module's own reference
// cursors, so what they store shows in the main grid's lookup column and in the record
// editor's choice list; a row that catalogue records use cannot be deleted.

#include "dbaware/dbcontrols.h"
#include "dbaware/dbgrid.h"
#include "lists/editrecordform.h"
#include "lists/reflistform.h"
#include "mainwindow/mainform.h"
#include "mainwindow/startup.h"
#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"
#include "store/catalogue/recordops.h"
#include "tests/common/controls.h"
#include "tests/common/scripteddialogs.h"
#include "tests/common/testcatalogue.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

namespace {

// One list: its window, its cursor, the catalogue's lookup field and key column for it,
// the record editor's choice list, and the commands that open the window.
struct TList {
    QString Window;
    TDataSet TDataModule1::*Table;
    QString Lookup;
    QString KeyColumn;
    QString Label;
    QString Box;
    QString MenuItem;
    QString BarButton;
};

const QList<TList>& Lists()
{
    static const QList<TList> lists = {
        {u"TypeDiscForm"_s, &TDataModule1::TypeDiscADOTable, u"Тип диска"_s, u"TypeDisc"_s,
         u"Тип диска"_s, u"DBLookupComboBox1"_s, u"N13"_s, u"TypeDSpeedButton2"_s},
        {u"AddManufacturerForm"_s, &TDataModule1::ManufacturerADOTable, u"Производитель дисков"_s,
         u"ManufacturerDisc"_s, u"Производитель дисков"_s, u"DBLookupComboBox2"_s, u"ManufN12"_s,
         u"ManufSpeedButton4"_s},
        {u"ProgramTypeForm"_s, &TDataModule1::ProgramTypeADOTable, u"Тип программы"_s,
         u"Programtype"_s, u"Тип программы"_s, u"DBLookupComboBox12"_s, u"N28"_s,
         u"TypePSpeedButton5"_s},
        {u"PlatformForm"_s, &TDataModule1::PlatformADOTable, u"Платформа"_s, u"Platform"_s,
         u"Платформа"_s, u"DBLookupComboBox9"_s, u"PlatformN15"_s, u"PlatfSpeedButton6"_s},
        {u"CategoryForm"_s, &TDataModule1::CategoryADOTable, u"Категория"_s, u"Category"_s,
         u"Категория"_s, u"DBLookupComboBox11"_s, u"N15"_s, u"CategSpeedButton8"_s},
    };
    return lists;
}

const TList& ListOf(const QString& window)
{
    for (const TList& l : Lists())
        if (l.Window == window)
            return l;
    qFatal("no list window %s", qPrintable(window));
}

// The texts of a reference dataset in its order.
QStringList Texts(const TDataSet& ds)
{
    QStringList texts;
    for (int row = 0; row < ds.ViewRowCount(); ++row)
        texts << ds.ViewText(row, 1);
    return texts;
}

// Every window case runs once per list.
void AddListRows()
{
    QTest::addColumn<QString>("window");
    for (const TList& l : Lists())
        QTest::newRow(qPrintable(l.Window)) << l.Window;
}

} // namespace

class TestRefListForm : public QObject {
    Q_OBJECT

private:
    TScriptedDialogs FDialogs;
    std::unique_ptr<QTemporaryDir> FDir;
    QString FPath;
    std::unique_ptr<TTresmolApp> FApp;
    QList<int> FIds; // Alpha, Bravo and Charlie

    TDataModule1& Dm() { return *FApp->DataModule1; }
    TDataSet& Book() { return Dm().BookTable; }
    TDataSet& Table(const QString& window) { return Dm().*ListOf(window).Table; }

    TRefListForm* Window(const QString& name)
    {
        auto* w = FApp->Form1->findChild<TRefListForm*>(name);
        if (!w)
            qFatal("no window %s", qPrintable(name));
        return w;
    }
    static TDBGrid* Grid(const QWidget* w) { return Control<TDBGrid>(w, u"DBGrid1"_s); }
    static QPushButton* Button(const QWidget* w, const QString& name)
    {
        return Control<QPushButton>(w, name);
    }
    static void Click(const QWidget* w, const QString& name)
    {
        QTest::mouseClick(Button(w, name), Qt::LeftButton);
    }

    // The list's texts as a fresh data module reads them from the file.
    QStringList StoredTexts(const QString& window)
    {
        QStringList errors;
        TDataModule1 fresh([&errors](const QString& m) { errors << m; },
                           Catalogue::ConnectionStringFor(FPath));
        if (!errors.isEmpty())
            qFatal("cannot read the catalogue: %s", qPrintable(errors.join(u'\n')));
        return Texts(fresh.*ListOf(window).Table);
    }

    // Shows W as the active window; the platform reports activation a little late, so
    // the wait is for the application's own view of it.
    bool Show(QWidget* w)
    {
        w->show();
        w->activateWindow();
        return QTest::qWaitFor([w] { return QApplication::activeWindow() == w; });
    }

    // Types TEXT into the grid's current cell, replacing what it shows.
    static bool TypeIntoGrid(TDBGrid* grid, const QString& text)
    {
        QTest::keyClick(grid, text.at(0).toLatin1());
        auto* editor = qobject_cast<QLineEdit*>(grid->GridDelegate()->Editor());
        if (!editor)
            return false;
        editor->selectAll();
        QTest::keyClicks(editor, text);
        return editor->text() == text;
    }

    // The text the main grid's model gives for the lookup column of the list in the row
    // of catalogue record ID.
    QString MainGridText(const QString& window, int id)
    {
        auto* grid = Control<TDBGrid>(FApp->Form1, u"DBGrid1"_s);
        TField* field = Book().FieldByName(ListOf(window).Lookup);
        field->SetVisible(true);
        grid->RefreshColumns();
        const int column = grid->GridModel()->FieldColumn(field);
        const int idField = Book().FieldByName(u"Id"_s)->Index();
        for (int row = 0; row < Book().ViewRowCount(); ++row)
            if (Book().ViewValue(row, idField).toInt() == id)
                return grid->model()->index(row, column).data().toString();
        return u"<no record %1>"_s.arg(id);
    }

    TDBLookupComboBox* EditorBox(const QString& window)
    {
        return Control<TDBLookupComboBox>(FApp->EditRecordForm, ListOf(window).Box);
    }

private slots:
    void init()
    {
        SetDialogs(&FDialogs);
        FDialogs = TScriptedDialogs();
        FDir = std::make_unique<QTemporaryDir>();
        FPath = FDir->filePath(u"Tresmol.mdb"_s);
        Catalogue::Create(FPath);
        FApp = std::make_unique<TTresmolApp>(Catalogue::ConnectionStringFor(FPath));
        FApp->Form1->SetSettingsFileName(FDir->filePath(u"tresmol.ini"_s));
        FApp->Form1->show();
        FApp->Form1->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(FApp->Form1));
        QVERIFY(Book().Active());
        // Each list: "Used", which Alpha and Bravo refer to, and "Spare", which nothing uses.
        FIds = TTestCatalogue::AddNames(Book(), {u"Alpha"_s, u"Bravo"_s, u"Charlie"_s});
        for (const TList& l : Lists()) {
            TDataSet& ref = Dm().*l.Table;
            const int used = TTestCatalogue::AddReference(ref, u"Used"_s);
            TTestCatalogue::AddReference(ref, u"Spare"_s);
            ref.First();
            for (int id : FIds.mid(0, 2)) {
                Book().First();
                while (Book().FieldByName(u"Id"_s)->AsInteger() != id)
                    Book().Next();
                Book().Edit();
                Book().FieldByName(l.KeyColumn)->SetAsInteger(used);
                Book().Post();
            }
        }
        Book().First();
        QVERIFY(FDialogs.Messages().isEmpty());
    }

    void cleanup()
    {
        if (FApp) {
            FApp->Form1->close();
            FApp.reset();
        }
        FDir.reset();
        SetDialogs(nullptr);
    }

    void layout_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("gridWidth");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<int>("frameX");
        QTest::addColumn<QStringList>("tabOrder");
        const QStringList buttonsFirst = {u"BitBtn1"_s, u"BitBtn2"_s, u"BitBtn3"_s, u"BitBtn4"_s,
                                          u"DBGrid1"_s};
        QTest::newRow("TypeDiscForm")
            << u"TypeDiscForm"_s << 217 << u"Panel1"_s << 233 << buttonsFirst;
        QTest::newRow("AddManufacturerForm")
            << u"AddManufacturerForm"_s << 225 << u"Frame1"_s << 225 << buttonsFirst;
        QTest::newRow("ProgramTypeForm")
            << u"ProgramTypeForm"_s << 225 << u"Frame1"_s << 233 << buttonsFirst;
        QTest::newRow("PlatformForm")
            << u"PlatformForm"_s << 225 << u"Frame1"_s << 233 << buttonsFirst;
        QTest::newRow("CategoryForm")
            << u"CategoryForm"_s << 225 << u"Frame1"_s << 233
            << QStringList{u"BitBtn3"_s, u"BitBtn4"_s, u"BitBtn2"_s, u"BitBtn1"_s, u"DBGrid1"_s};
    }

    void layout()
    {
        QFETCH(QString, window);
        QFETCH(int, gridWidth);
        QFETCH(QString, frame);
        QFETCH(int, frameX);
        QFETCH(QStringList, tabOrder);
        TRefListForm* w = Window(window);
        QVERIFY(Show(w));

        QCOMPARE(w->windowTitle(), u"Редактирование"_s);
        QCOMPARE(w->size(), QSize(378, 171));
        QCOMPARE(w->minimumSize(), w->maximumSize());
        QVERIFY(
            !(w->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(Grid(w)->geometry(), QRect(0, 0, gridWidth, 169));
        auto* box = Control<QFrame>(w, frame);
        QCOMPARE(box->x(), frameX);
        QCOMPARE(box->frameShadow(), QFrame::Sunken);
        QVERIFY(box->geometry().right() < w->width());

        const QStringList texts = {u"Добавить"_s, u"Удалить"_s, u"Сохранить"_s, u"Выход"_s};
        for (int i = 0; i < 4; ++i) {
            QPushButton* b = Button(w, u"BitBtn%1"_s.arg(i + 1));
            QCOMPARE(b->text(), texts[i]);
            QCOMPARE(b->size(), QSize(121, 26));
            QCOMPARE(b->parentWidget(), box);
            QCOMPARE(b->y(), 16 + 32 * i);
            // The caption fits inside the button's frame in this platform's font.
            const int margin = b->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, b);
            QVERIFY(b->fontMetrics().horizontalAdvance(b->text()) + 2 * margin <= b->width());
            QVERIFY(b->fontMetrics().height() <= b->height() - 4);
        }

        // One column: the list's text, titled by its label, wide enough for the title.
        const TList& list = ListOf(window);
        QCOMPARE(Grid(w)->model()->columnCount(), 1);
        QCOMPARE(Grid(w)->model()->headerData(0, Qt::Horizontal).toString(), list.Label);
        QHeaderView* header = Grid(w)->horizontalHeader();
        QVERIFY(header->sectionSize(0) >= header->fontMetrics().horizontalAdvance(list.Label) + 8);
        QVERIFY(header->sectionSize(0) <= Grid(w)->viewport()->width());
        QCOMPARE(Texts(Table(window)), (QStringList{u"Used"_s, u"Spare"_s}));
        QCOMPARE(Grid(w)->model()->index(1, 0).data().toString(), u"Spare"_s);

        // The tab order, from the control that has the focus when the window opens.
        QStringList order;
        for (int i = 0; i < tabOrder.size(); ++i) {
            order << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(order, tabOrder);

        const bool ownIcon = window == u"TypeDiscForm"_s;
        QCOMPARE(w->windowIcon().cacheKey() != FApp->Form1->windowIcon().cacheKey(), ownIcon);
        QVERIFY(!w->windowIcon().isNull() || !ownIcon);
    }

    void position_data() { AddListRows(); }

    void position()
    {
        QFETCH(QString, window);
        TRefListForm* w = Window(window);
        QVERIFY(Show(w));
        if (window == u"CategoryForm"_s) {
            QCOMPARE(w->pos(), QPoint(300, 397));
        } else {
            const QPoint offset =
                w->frameGeometry().center() - FApp->Form1->frameGeometry().center();
            QVERIFY2(offset.manhattanLength() <= 2,
                     qPrintable(
                         u"%1, %2 off the main window's centre"_s.arg(offset.x()).arg(offset.y())));
        }
    }

    // The menu item and the bottom-bar button both show the window modally; "Выход"
    // returns to the main window.
    void openedByMenuAndBar_data() { AddListRows(); }

    void openedByMenuAndBar()
    {
        QFETCH(QString, window);
        const TList& list = ListOf(window);
        const QList<std::function<void()>> openers = {
            [&] { Control<QAction>(FApp->Form1, list.MenuItem)->trigger(); },
            [&] {
                QTest::mouseClick(Control<QToolButton>(FApp->Form1, list.BarButton),
                                  Qt::LeftButton);
            },
        };
        for (const auto& open : openers) {
            QWidget* modal = nullptr;
            QTimer::singleShot(0, this, [&] {
                modal = QApplication::activeModalWidget();
                if (modal)
                    Click(modal, u"BitBtn4"_s);
            });
            open();
            QCOMPARE(modal, Window(window));
            QVERIFY(Window(window)->isHidden());
        }
        QVERIFY(FDialogs.Messages().isEmpty());
    }

    // "Добавить", a text typed, "Сохранить": stored in the file, offered by the record
    // editor, and once a record chooses it, shown in the main grid.
    void addTypeSave_data() { AddListRows(); }

    void addTypeSave()
    {
        QFETCH(QString, window);
        TRefListForm* w = Window(window);
        QVERIFY(Show(w));
        Click(w, u"BitBtn1"_s);
        QCOMPARE(Table(window).State(), TDataSetState::dsInsert);
        QCOMPARE(QApplication::focusWidget(), Grid(w));
        QVERIFY(TypeIntoGrid(Grid(w), u"Blu-ray"_s));
        Click(w, u"BitBtn3"_s);

        QCOMPARE(Table(window).State(), TDataSetState::dsBrowse);
        QVERIFY(StoredTexts(window).contains(u"Blu-ray"_s));
        QCOMPARE(StoredTexts(window).size(), 3);
        TDBLookupComboBox* box = EditorBox(window);
        const int at = box->findText(u"Blu-ray"_s);
        QVERIFY(at >= 0);

        // Charlie takes the new entry in the record editor.
        Book().First();
        while (Book().FieldByName(u"Id"_s)->AsInteger() != FIds[2])
            Book().Next();
        box->Choose(at);
        Book().Post();
        QCOMPARE(MainGridText(window, FIds[2]), u"Blu-ray"_s);
        QVERIFY(FDialogs.Messages().isEmpty());
    }

    // A used entry renamed in the window shows at once in the main grid's lookup column
    // of the records that use it, and in the record editor's list.
    void renameShowsEverywhere_data() { AddListRows(); }

    void renameShowsEverywhere()
    {
        QFETCH(QString, window);
        TRefListForm* w = Window(window);
        QCOMPARE(MainGridText(window, FIds[0]), u"Used"_s);
        auto* mainModel = Control<TDBGrid>(FApp->Form1, u"DBGrid1"_s)->model();
        const int column = Control<TDBGrid>(FApp->Form1, u"DBGrid1"_s)
                               ->GridModel()
                               ->FieldColumn(Book().FieldByName(ListOf(window).Lookup));
        QVERIFY(Show(w));
        Grid(w)->setFocus();
        Grid(w)->setCurrentIndex(Grid(w)->model()->index(0, 0));
        QVERIFY(TypeIntoGrid(Grid(w), u"Zip"_s));
        QSignalSpy repainted(mainModel, &QAbstractItemModel::dataChanged);
        Click(w, u"BitBtn3"_s);

        QCOMPARE(StoredTexts(window), (QStringList{u"Zip"_s, u"Spare"_s}));
        QCOMPARE(MainGridText(window, FIds[0]), u"Zip"_s);
        QCOMPARE(MainGridText(window, FIds[1]), u"Zip"_s);
        QCOMPARE(MainGridText(window, FIds[2]), QString());
        // The main grid was told, so its view paints the column afresh.
        bool columnTold = false;
        for (const QList<QVariant>& args : repainted) {
            const auto from = args[0].value<QModelIndex>(), to = args[1].value<QModelIndex>();
            columnTold |= from.column() <= column && column <= to.column() && from.row() == 0 &&
                          to.row() == mainModel->rowCount() - 1;
        }
        QVERIFY(columnTold);
        QVERIFY(EditorBox(window)->findText(u"Zip"_s) >= 0);
        QCOMPARE(EditorBox(window)->findText(u"Used"_s), -1);
    }

    // "Добавить" then "Сохранить" with nothing typed: the empty row is dropped.
    void addSaveWithoutTyping_data() { AddListRows(); }

    void addSaveWithoutTyping()
    {
        QFETCH(QString, window);
        TRefListForm* w = Window(window);
        QVERIFY(Show(w));
        Click(w, u"BitBtn1"_s);
        QCOMPARE(Grid(w)->model()->rowCount(), 3);
        Click(w, u"BitBtn3"_s);
        QCOMPARE(Table(window).State(), TDataSetState::dsBrowse);
        QCOMPARE(Grid(w)->model()->rowCount(), 2);
        QCOMPARE(StoredTexts(window), (QStringList{u"Used"_s, u"Spare"_s}));
        QVERIFY(FDialogs.Messages().isEmpty());
    }

    // "Добавить", a text typed, then a click on another row: stored without "Сохранить".
    void addTypeMove_data() { AddListRows(); }

    void addTypeMove()
    {
        QFETCH(QString, window);
        TRefListForm* w = Window(window);
        QVERIFY(Show(w));
        Click(w, u"BitBtn1"_s);
        QVERIFY(TypeIntoGrid(Grid(w), u"DVD"_s));
        QVERIFY(!StoredTexts(window).contains(u"DVD"_s));
        const QModelIndex other = Grid(w)->model()->index(2, 0);
        QTest::mouseClick(Grid(w)->viewport(), Qt::LeftButton, {},
                          Grid(w)->visualRect(other).center());
        QCOMPARE(Table(window).State(), TDataSetState::dsBrowse);
        QCOMPARE(Table(window).Fields(1)->AsString(), u"Spare"_s);
        const QStringList stored = StoredTexts(window);
        QCOMPARE(stored.size(), 3);
        QVERIFY(stored.contains(u"DVD"_s));
        QVERIFY(FDialogs.Messages().isEmpty());
    }

    // "Выход" with a typed change: it stays pending in the shared cursor, neither stored
    // nor dropped; the next "Сохранить" stores it.
    void exitKeepsPendingChange_data() { AddListRows(); }

    void exitKeepsPendingChange()
    {
        QFETCH(QString, window);
        TRefListForm* w = Window(window);
        QVERIFY(Show(w));
        Grid(w)->setFocus();
        Grid(w)->setCurrentIndex(Grid(w)->model()->index(1, 0));
        QVERIFY(TypeIntoGrid(Grid(w), u"Pending"_s));
        Click(w, u"BitBtn4"_s);

        QVERIFY(w->isHidden());
        QCOMPARE(Table(window).State(), TDataSetState::dsEdit);
        QCOMPARE(Table(window).Fields(1)->AsString(), u"Pending"_s);
        QCOMPARE(StoredTexts(window), (QStringList{u"Used"_s, u"Spare"_s}));

        QVERIFY(Show(w));
        Click(w, u"BitBtn3"_s);
        QCOMPARE(StoredTexts(window), (QStringList{u"Used"_s, u"Pending"_s}));
        QVERIFY(FDialogs.Messages().isEmpty());
    }

    // Escape cancels a change in the grid and leaves the window open.
    void escapeKeepsTheWindowOpen_data() { AddListRows(); }

    void escapeKeepsTheWindowOpen()
    {
        QFETCH(QString, window);
        TRefListForm* w = Window(window);
        QVERIFY(Show(w));
        Click(w, u"BitBtn1"_s);
        QCOMPARE(Table(window).State(), TDataSetState::dsInsert);
        QTest::keyClick(Grid(w), Qt::Key_Escape);
        QCOMPARE(Table(window).State(), TDataSetState::dsBrowse);
        QTest::keyClick(Grid(w), Qt::Key_Escape);
        QVERIFY(w->isVisible());
        QCOMPARE(StoredTexts(window), (QStringList{u"Used"_s, u"Spare"_s}));
    }

    // "Удалить": a row that catalogue records use is refused with the count of them and
    // stays; an unused row goes at once, without a question.
    void remove_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<QString>("message");
        for (const TList& l : Lists()) {
            QTest::addRow("%s used", qPrintable(l.Window))
                << l.Window << 0 << QStringList{u"Used"_s, u"Spare"_s}
                << u"Эта запись используется в каталоге (записей: 2) и не может быть удалена."_s;
            QTest::addRow("%s unused", qPrintable(l.Window))
                << l.Window << 1 << QStringList{u"Used"_s} << QString();
        }
    }

    void remove()
    {
        QFETCH(QString, window);
        QFETCH(int, row);
        QFETCH(QStringList, left);
        QFETCH(QString, message);
        TRefListForm* w = Window(window);
        QVERIFY(Show(w));
        Grid(w)->setCurrentIndex(Grid(w)->model()->index(row, 0));
        Click(w, u"BitBtn2"_s);

        QCOMPARE(Texts(Table(window)), left);
        QCOMPARE(StoredTexts(window), left);
        QCOMPARE(MainGridText(window, FIds[0]), u"Used"_s);
        const auto boxes = FDialogs.Messages();
        QCOMPARE(boxes.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty()) {
            QCOMPARE(boxes[0].Text, message);
            QCOMPARE(boxes[0].Icon, TMsgIcon::miStop);
        }
    }

    // The use count is the file's: records that the main cursor has not loaded count too.
    void useCountReadsTheFile()
    {
        TDataSet& ref = Dm().PlatformADOTable;
        ref.First();
        const QVariant used = ref.Fields(0)->Value();
        QCOMPARE(RecordOps::CatalogueUses(Dm().ADOConnection, ref.TableName(), used), 2);
        Book().Close();
        QCOMPARE(RecordOps::CatalogueUses(Dm().ADOConnection, ref.TableName(), used), 2);
        ref.Next();
        QCOMPARE(
            RecordOps::CatalogueUses(Dm().ADOConnection, ref.TableName(), ref.Fields(0)->Value()),
            0);
    }

    // "Удалить" with a new row open removes that row, typed into or not, and not the
    // stored row beneath it.
    void removeNewRow_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("typed");
        for (const TList& l : Lists()) {
            QTest::addRow("%s empty", qPrintable(l.Window)) << l.Window << QString();
            QTest::addRow("%s typed", qPrintable(l.Window)) << l.Window << u"Draft"_s;
        }
    }

    void removeNewRow()
    {
        QFETCH(QString, window);
        QFETCH(QString, typed);
        TRefListForm* w = Window(window);
        QVERIFY(Show(w));
        Grid(w)->setCurrentIndex(Grid(w)->model()->index(1, 0));
        Click(w, u"BitBtn1"_s);
        QCOMPARE(Table(window).State(), TDataSetState::dsInsert);
        if (!typed.isEmpty())
            QVERIFY(TypeIntoGrid(Grid(w), typed));
        Click(w, u"BitBtn2"_s);
        QCOMPARE(Table(window).State(), TDataSetState::dsBrowse);
        QCOMPARE(Texts(Table(window)), (QStringList{u"Used"_s, u"Spare"_s}));
        QCOMPARE(StoredTexts(window), (QStringList{u"Used"_s, u"Spare"_s}));
        QVERIFY(FDialogs.Messages().isEmpty());
        // The focus goes elsewhere: nothing of the dropped row comes back.
        Click(w, u"BitBtn3"_s);
        QCOMPARE(StoredTexts(window), (QStringList{u"Used"_s, u"Spare"_s}));
    }

    void removeFromEmptyList_data() { AddListRows(); }

    void removeFromEmptyList()
    {
        QFETCH(QString, window);
        RecordOps::DeleteAll(Book());
        RecordOps::DeleteAll(Table(window));
        TRefListForm* w = Window(window);
        QVERIFY(Show(w));
        Click(w, u"BitBtn2"_s);
        const auto boxes = FDialogs.Messages();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].Text, u"Cannot perform this operation on an empty dataset."_s);
        QCOMPARE(boxes[0].Icon, TMsgIcon::miStop);
        QCOMPARE(Table(window).RecordCount(), 0);
    }

    // Disconnected: the window opens on an empty grid; "Добавить" and "Удалить" fail with
    // the closed-table error, "Сохранить" does nothing, "Выход" closes.
    void disconnected_data() { AddListRows(); }

    void disconnected()
    {
        QFETCH(QString, window);
        Control<QAction>(FApp->Form1, u"ActDisconnect"_s)->trigger();
        QVERIFY(!Table(window).Active());
        TRefListForm* w = Window(window);
        QVERIFY(Show(w));
        QCOMPARE(Grid(w)->model()->rowCount(), 0);
        const QString closed = u"Cannot perform this operation on a closed dataset."_s;
        Click(w, u"BitBtn1"_s);
        Click(w, u"BitBtn2"_s);
        Click(w, u"BitBtn3"_s);
        const auto boxes = FDialogs.Messages();
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[0].Text, closed);
        QCOMPARE(boxes[1].Text, closed);
        Click(w, u"BitBtn4"_s);
        QVERIFY(w->isHidden());
        QCOMPARE(FDialogs.Messages().size(), 2);
    }
};

QTEST_MAIN(TestRefListForm)
#include "tst_reflistform.moc"
