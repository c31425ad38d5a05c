// The data-aware controls and the grid on a real catalogue.

#include "dbaware/dbcontrols.h"
#include "dbaware/dbgrid.h"
#include "dbaware/dbgridmodel.h"
#include "harvest/harvestfile.h"
#include "store/catalogue/dataset.h"
#include "tests/common/scripteddialogs.h"
#include "tests/common/testcatalogue.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

class TestDbAware : public QObject {
    Q_OBJECT

private:
    // When the catalogue closes, for the test of a grid that goes.
    enum TWhenClosed { NotClosed, ClosedWhileItsPartsGo, ClosedAfter };

    TScriptedDialogs FDialogs;
    std::unique_ptr<TTestCatalogue> FDb;
    std::unique_ptr<TDataModule1> FDm;

    TDataSet& Table() { return FDm->BookTable; }
    TField* Name() { return Table().FieldByName(u"ProductName"_s); }

    // Every cell the model shows is the dataset's, and the grid's current row is the
    // dataset's: what a repaint after each signal would show.
    void VerifyGridShowsTheView(const TDBGrid& grid)
    {
        const QAbstractItemModel* model = grid.model();
        QCOMPARE(model->rowCount(), Table().ViewRowCount());
        for (int row = 0; row < model->rowCount(); ++row)
            for (int c = 0; c < 2; ++c) // the row number and the name
                QCOMPARE(model->index(row, c).data().toString(), Table().ViewText(row, c));
        QCOMPARE(grid.currentIndex().row(), Table().ViewCurrentRow());
    }

private slots:
    void init()
    {
        SetDialogs(&FDialogs);
        FDialogs.ClearAsked();
        FDb = std::make_unique<TTestCatalogue>();
        FDm = FDb->Open();
        Table().Open();
        TTestCatalogue::AddNames(Table(), {u"Alpha"_s, u"Bravo"_s, u"Charlie"_s, u"Delta"_s});
        Table().First();
    }

    void cleanup()
    {
        FDm.reset();
        FDb.reset();
        SetDialogs(nullptr);
    }

    void modelFollowsEveryChange()
    {
        TDBGridModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.SetDataSource(&FDm->DataSource);
        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(model.columnCount(), 24); // the default visible fields
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), u"Название"_s);
        QCOMPARE(model.index(2, 1).data().toString(), u"Charlie"_s);
        QCOMPARE(model.index(2, 0).data().toString(), u"3"_s); // the row number
        QCOMPARE(model.headerData(0, Qt::Vertical).toString(), u"\u25B6"_s);

        Table().Insert();
        QCOMPARE(model.rowCount(), 5);
        QCOMPARE(model.headerData(0, Qt::Vertical).toString(), u"*"_s);
        Name()->SetAsString(u"Echo"_s);
        Table().Post();
        QCOMPARE(model.rowCount(), 5);
        Table().SetSort(u"ProductName"_s);
        QCOMPARE(model.index(4, 1).data().toString(), u"Echo"_s);
        FDm->SetSearchText(u"C"_s);
        Table().SetFilter(u"ProductName>='C'"_s);
        Table().SetFiltered(true);
        QCOMPARE(model.rowCount(), 1);
        Table().SetFiltered(false);
        Table().Last();
        Table().Delete();
        QCOMPARE(model.rowCount(), 4);
        Table().FieldByName(u"Ch0"_s)->SetVisible(false);
        model.RefreshColumns();
        QCOMPARE(model.columnCount(), 23);
        Table().Close();
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 0);
    }

    void gridFollowsOneRowAtATime()
    {
        QWidget window;
        auto* grid = new TDBGrid(&window);
        grid->SetDataSource(&FDm->DataSource);
        window.show();
        QAbstractItemModel* model = grid->model();
        QAbstractItemModelTester tester(model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy resets(model, &QAbstractItemModel::modelReset);
        QSignalSpy inserted(model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy moved(model, &QAbstractItemModel::rowsMoved);
        QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
        const auto rowOf = [](const QSignalSpy& spy, int at = -1) {
            return spy.at(at < 0 ? spy.size() + at : at).at(1).toInt();
        };
        Table().Next(); // on Bravo

        // A new row appears where it was inserted and nothing else is rebuilt.
        Table().Insert();
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(rowOf(inserted), 1);
        VerifyGridShowsTheView(*grid);
        changed.clear();
        Name()->SetAsString(u"Echo"_s);
        QCOMPARE(changed.size(), 1); // the written cell only
        QCOMPARE(changed.at(0).at(0).value<QModelIndex>(), model->index(1, 1));

        // Posted, it takes its place in the table's order: the end.
        Table().Post();
        QCOMPARE(moved.size(), 1);
        QCOMPARE(moved.at(0).at(1).toInt(), 1);
        QCOMPARE(moved.at(0).at(4).toInt(), 5); // placed before the old row 5: last
        QCOMPARE(Table().ViewCurrentRow(), 4);
        VerifyGridShowsTheView(*grid);

        // Only a new order rebuilds the view.
        Table().SetSort(u"ProductName"_s);
        QCOMPARE(resets.size(), 1);

        // An edited name moves its row under the sort; the rows between are renumbered.
        Table().First();
        Table().Edit();
        Name()->SetAsString(u"Foxtrot"_s); // Alpha sorts last now
        Table().Post();
        QCOMPARE(moved.size(), 2);
        QCOMPARE(moved.at(1).at(1).toInt(), 0);
        QCOMPARE(Table().ViewCurrentRow(), 4);
        VerifyGridShowsTheView(*grid);

        // A deleted row in the middle goes, and the rows below it are numbered again.
        Table().First();
        Table().Next(); // Charlie
        Table().Delete();
        QCOMPARE(removed.size(), 1);
        QCOMPARE(rowOf(removed), 1);
        VerifyGridShowsTheView(*grid);

        // A row that no longer passes the search leaves the view.
        FDm->SetSearchText(u"E"_s);
        Table().SetFiltered(true);
        QCOMPARE(resets.size(), 2);
        QCOMPARE(model->rowCount(), 1); // Echo
        Table().Edit();
        Name()->SetAsString(u"Golf"_s);
        Table().Post();
        QCOMPARE(removed.size(), 2);
        QCOMPARE(model->rowCount(), 0);
        Table().SetFiltered(false);
        QCOMPARE(resets.size(), 3);

        // A cancelled new row goes again.
        Table().Insert();
        Table().Cancel();
        QCOMPARE(inserted.size(), 2);
        QCOMPARE(removed.size(), 3);
        VerifyGridShowsTheView(*grid);

        // Harvesting three files adds three rows, one step each, with no rebuild.
        QTemporaryDir dir;
        const int rows = model->rowCount();
        for (int i = 0; i < 3; ++i) {
            const QString path = dir.filePath(u"tool%1.exe"_s.arg(i));
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("not an executable");
            f.close();
            Harvest::HarvestFile(Table(), path);
            VerifyGridShowsTheView(*grid);
        }
        QCOMPARE(model->rowCount(), rows + 3);
        QCOMPARE(inserted.size(), 2 + 3);
        QCOMPARE(resets.size(), 3);
    }

    void editHoldsTypedTextUntilTakenIn()
    {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* edit = new TDBEdit(&window);
        auto* other = new QLineEdit(&window);
        layout->addWidget(edit);
        layout->addWidget(other);
        edit->SetDataSource(&FDm->DataSource);
        edit->SetDataField(u"ProductName"_s);
        window.show();
        QCOMPARE(edit->text(), u"Alpha"_s);
        QCOMPARE(edit->maxLength(), 250);

        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, u"Zulu"_s);
        QCOMPARE(Table().State(), TDataSetState::dsEdit);
        QVERIFY(edit->Holding());
        QVERIFY(!Table().Modified()); // not taken in yet
        QCOMPARE(Name()->AsString(), u"Alpha"_s);

        Table().Post(); // posting takes it in
        QCOMPARE(Table().State(), TDataSetState::dsBrowse);
        QCOMPARE(Name()->AsString(), u"Zulu"_s);

        // Moving away takes in held text as well.
        QTest::keyClicks(edit, u"2"_s);
        Table().Next();
        Table().First();
        QCOMPARE(Name()->AsString(), u"Zulu2"_s);
    }

    void assignTextHoldsItAsTyped()
    {
        TDBEdit edit;
        edit.SetDataSource(&FDm->DataSource);
        edit.SetDataField(u"ProductVersion"_s);
        QCOMPARE(Table().State(), TDataSetState::dsBrowse);

        // Longer than the column: the edit keeps what the column can hold.
        edit.AssignText(u"1.2.3.4-a-very-long-build-tag"_s);
        QCOMPARE(Table().State(), TDataSetState::dsEdit);
        QVERIFY(edit.Holding());
        QVERIFY(!Table().Modified());
        QCOMPARE(edit.text(), u"1.2.3.4-a-very-long-"_s);

        // A second assignment replaces the held text.
        edit.AssignText(u"2.0"_s);
        QVERIFY(edit.Holding());
        QCOMPARE(edit.text(), u"2.0"_s);
        Table().Post();
        QCOMPARE(Table().FieldByName(u"ProductVersion"_s)->AsString(), u"2.0"_s);
        QCOMPARE(Name()->AsString(), u"Alpha"_s);
        QVERIFY(!edit.Holding());

        // Refused where the record cannot be edited: the field's value stays.
        Table().Close();
        edit.AssignText(u"3.0"_s);
        QVERIFY(!edit.Holding());
        QVERIFY(edit.text().isEmpty());
    }

    void editHandsOverOnFocusToAnotherControl()
    {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* edit = new TDBEdit(&window);
        auto* other = new QLineEdit(&window);
        layout->addWidget(edit);
        layout->addWidget(other);
        edit->SetDataSource(&FDm->DataSource);
        edit->SetDataField(u"Year"_s);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        edit->setFocus();
        QTest::keyClicks(edit, u"1999"_s);
        QVERIFY(!Table().Modified());
        other->setFocus(Qt::TabFocusReason);
        QVERIFY(Table().Modified());
        QCOMPARE(Table().FieldByName(u"Year"_s)->AsInteger(), 1999);
        QCOMPARE(Table().State(), TDataSetState::dsEdit); // handed over, not posted
    }

    void unboundEditIsEmptyAndReadOnly()
    {
        TDBEdit edit;
        edit.SetDataSource(&FDm->DataSource);
        QVERIFY(edit.text().isEmpty());
        QVERIFY(edit.isReadOnly());
        edit.SetDataField(u"Номер"_s); // calculated: shown, not changed
        QCOMPARE(edit.text(), u"1"_s);
        QVERIFY(edit.isReadOnly());
    }

    void checkBoxWritesAtOnce()
    {
        TDBCheckBox box;
        box.SetDataSource(&FDm->DataSource);
        box.SetDataField(u"Installed"_s);
        QVERIFY(!box.isChecked());
        box.click();
        QCOMPARE(Table().State(), TDataSetState::dsEdit);
        QVERIFY(Table().Modified());
        QVERIFY(Table().FieldByName(u"Installed"_s)->AsBoolean());
    }

    void lookupListWritesTheKey()
    {
        const int win = TTestCatalogue::AddReference(FDm->PlatformADOTable, u"Windows"_s);
        const int dos = TTestCatalogue::AddReference(FDm->PlatformADOTable, u"DOS"_s);
        TDBLookupComboBox box;
        box.SetDataSource(&FDm->DataSource);
        box.SetDataField(u"Platform"_s);
        box.SetListSource(&FDm->PlatformDataSource, u"key2"_s, u"TypePlatform"_s);
        QCOMPARE(box.count(), 2);
        QCOMPARE(box.currentIndex(), -1);
        box.Choose(1);
        QCOMPARE(Table().FieldByName(u"Platform"_s)->AsInteger(), dos);
        QCOMPARE(Table().FieldByName(u"Платформа"_s)->AsString(), u"DOS"_s);
        QVERIFY(Table().Modified());
        Table().Post();
        Table().Next();
        QCOMPARE(box.currentIndex(), -1);
        Table().Edit();
        Table().FieldByName(u"Platform"_s)->SetAsInteger(win);
        QCOMPARE(box.currentText(), u"Windows"_s);
    }

    void gridInsertAppendAndDropOnLeaving()
    {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* grid = new TDBGrid(&window);
        auto* other = new QLineEdit(&window);
        layout->addWidget(grid);
        layout->addWidget(other);
        grid->SetDataSource(&FDm->DataSource);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        grid->setFocus();
        QCOMPARE(grid->currentIndex().row(), 0);

        // Clicking a row makes it current.
        grid->setCurrentIndex(grid->model()->index(2, 1));
        QCOMPARE(Name()->AsString(), u"Charlie"_s);

        QTest::keyClick(grid, Qt::Key_Insert);
        QCOMPARE(Table().State(), TDataSetState::dsInsert);
        QCOMPARE(grid->model()->rowCount(), 5);
        other->setFocus(Qt::TabFocusReason); // nothing typed: dropped
        QCOMPARE(Table().State(), TDataSetState::dsBrowse);
        QCOMPARE(grid->model()->rowCount(), 4);

        grid->setFocus();
        Table().Last();
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(Table().State(), TDataSetState::dsInsert);
        QCOMPARE(Table().ViewCurrentRow(), 4);
        QTest::keyClick(grid, Qt::Key_Down); // an untouched new row is not appended again
        QCOMPARE(grid->model()->rowCount(), 5);

        // Typing into a cell of the new row, then leaving the row, posts it.
        grid->setCurrentIndex(grid->model()->index(4, 1));
        QTest::keyClick(grid, 'F');
        auto* editor = qobject_cast<QLineEdit*>(grid->GridDelegate()->Editor());
        QVERIFY(editor);
        QTest::keyClicks(editor, u"oxtrot"_s);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(Table().Modified()); // the view commits after the key, from its queue
        grid->setCurrentIndex(grid->model()->index(0, 1));
        QCOMPARE(Table().State(), TDataSetState::dsBrowse);
        QCOMPARE(Table().RecordCount(), 5);
        Table().Last();
        QCOMPARE(Name()->AsString(), u"Foxtrot"_s);
    }

    void gridEditorHandsOverOnPost()
    {
        TDBGrid grid;
        grid.SetDataSource(&FDm->DataSource);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        grid.setFocus();
        grid.setCurrentIndex(grid.model()->index(1, 1));
        grid.edit(grid.currentIndex());
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, u"Bravissimo"_s);
        QCOMPARE(Table().State(), TDataSetState::dsEdit);
        Table().Post(); // the open editor's text is taken in
        QCOMPARE(Name()->AsString(), u"Bravissimo"_s);
    }

    // A new row dropped while its cell editor holds typed text: the text goes with the
    // row and never lands on the row that takes its place.
    void gridEditorTextGoesWithADroppedRow()
    {
        TDBGrid grid;
        grid.SetDataSource(&FDm->DataSource);
        grid.show();
        QVERIFY(QTest::qWaitForWindowActive(&grid));
        grid.setFocus();
        grid.setCurrentIndex(grid.model()->index(1, 1));
        Table().Insert();
        QTest::keyClick(&grid, 'Z');
        auto* editor = qobject_cast<QLineEdit*>(grid.GridDelegate()->Editor());
        QVERIFY(editor);
        QTest::keyClicks(editor, u"ulu"_s);
        Table().Cancel();
        QCOMPARE(Table().State(), TDataSetState::dsBrowse);
        QCOMPARE(Table().RecordCount(), 4);
        QCOMPARE(Name()->AsString(), u"Bravo"_s);
        QStringList names;
        for (int row = 0; row < grid.model()->rowCount(); ++row)
            names << grid.model()->index(row, 1).data().toString();
        QCOMPARE(names, (QStringList{u"Alpha"_s, u"Bravo"_s, u"Charlie"_s, u"Delta"_s}));
    }

    void gridLookupColumnOffersReferenceTexts()
    {
        TTestCatalogue::AddReference(FDm->CategoryADOTable, u"Игры"_s);
        TTestCatalogue::AddReference(FDm->CategoryADOTable, u"Офис"_s);
        TDBGrid grid;
        grid.SetDataSource(&FDm->DataSource);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        const int column = grid.GridModel()->FieldColumn(Table().FieldByName(u"Категория"_s));
        QVERIFY(column > 0);
        grid.setCurrentIndex(grid.model()->index(0, column));
        grid.edit(grid.currentIndex());
        auto* box = qobject_cast<QComboBox*>(grid.GridDelegate()->Editor());
        QVERIFY(box);
        QCOMPARE(box->count(), 3); // empty, and the two texts
        box->setCurrentIndex(2);
        emit box->activated(2);
        Table().Post();
        QCOMPARE(Table().FieldByName(u"Категория"_s)->AsString(), u"Офис"_s);
    }

    // The grid goes while its catalogue may still change. From the moment its
    // destructor runs, nothing its model says may reach it: the handlers it connected
    // would run on an object that is no longer a grid.
    void gridHearsNothingOnceItGoes_data()
    {
        QTest::addColumn<int>("closed");
        QTest::newRow("the model unbinds itself") << int(NotClosed);
        QTest::newRow("the catalogue closes while the grid's parts go")
            << int(ClosedWhileItsPartsGo);
        QTest::newRow("the catalogue closes after the grid went") << int(ClosedAfter);
    }

    void gridHearsNothingOnceItGoes()
    {
        QFETCH(int, closed);
        QWidget window;
        auto* grid = new TDBGrid(&window);
        grid->SetDataSource(&FDm->DataSource);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // A width the user chose, which the grid applies again after every reset.
        grid->horizontalHeader()->resizeSection(1, 200);
        Table().Next();

        // What the model says while the object is no longer a whole grid: what would
        // reach the grid's own handlers then.
        const QObject* const gridObject = grid;
        int heardHalfGone = 0;
        const auto check = [&] {
            if (!qobject_cast<const TDBGrid*>(gridObject))
                ++heardHalfGone;
        };
        TDBGridModel* model = grid->GridModel();
        connect(model, &QAbstractItemModel::modelAboutToBeReset, check);
        connect(model, &QAbstractItemModel::modelReset, check);
        connect(model, &TDBGridModel::CurrentRowChanged, check);
        connect(model, &TDBGridModel::UpdateDataRequested, check);
        // The row header goes before the model (it is an older child of the grid).
        if (closed == ClosedWhileItsPartsGo)
            connect(grid->verticalHeader(), &QObject::destroyed, this, [this] { Table().Close(); });

        delete grid;
        if (closed == ClosedAfter)
            Table().Close();
        QCOMPARE(heardHalfGone, 0);

        // The catalogue carries on without the grid.
        if (!Table().Active())
            Table().Open();
        Table().Last();
        QCOMPARE(Name()->AsString(), u"Delta"_s);
    }
};

QTEST_MAIN(TestDbAware)
#include "tst_dbaware.moc"
