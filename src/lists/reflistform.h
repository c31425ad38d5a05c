#pragma once
// The editors of the five reference lists: one window with its grid and four buttons,
// configured per list by the subclass that start-up creates under the list's own name.
// The grid edits the data module's own reference cursor, so the main grid's lookup
// columns and the record editor's choice lists see every change at once.

#include <QDialog>

#include <memory>

class TDataModule1;
class TDataSet;
class TDataSource;
namespace Ui {
class TRefListForm;
}

class TRefListForm : public QDialog {
    Q_OBJECT
public:
    ~TRefListForm() override;

    // "Добавить": starts a new row and hands the keyboard to the grid for its text.
    void AddItem();
    // "Удалить": deletes the current row at once, unless catalogue records use it.
    void DeleteItem();
    // "Сохранить": stores the current row when it holds a change.
    void SaveItem();
    // "Выход": closes; a pending change stays pending in the shared cursor.
    void CloseList();

    // The reference cursor this window edits; null without a data module.
    TDataSet* Table() const;

protected:
    // What sets one list's window apart from the others.
    struct TSetup {
        QString ObjectName;
        TDataSource* Source = nullptr; // the list's data source on the data module
        int GridWidth = 225;
        int FrameShift = 0;         // pixels the button frame stands further left
        bool LoweredPanel = false;  // the buttons on a lowered panel named Panel1
        bool OwnIcon = false;       // a window icon of its own, not the main window's
        bool FixedPosition = false; // opens at 300, 397 rather than over the main window
        bool SaveFirst = false; // "Сохранить" first in the tab order, so it has the focus
    };
    TRefListForm(const TSetup& setup, QWidget* parent);

    // Escape belongs to the grid (it cancels a row's changes there); it never closes
    // the window, which only "Выход" and the close box do.
    void keyPressEvent(QKeyEvent* event) override;
    // The close box stores a row the user typed, as leaving it would; should that
    // fail, the window stays open with the row. "Выход" leaves it pending.
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<::Ui::TRefListForm> ui;
    TDataSource* FSource;
    bool FLeavingPending = false; // closing by "Выход"
};

class TAddManufacturerForm : public TRefListForm {
    Q_OBJECT
public:
    explicit TAddManufacturerForm(TDataModule1* dm, QWidget* parent = nullptr);
};

class TTypeDiscForm : public TRefListForm {
    Q_OBJECT
public:
    explicit TTypeDiscForm(TDataModule1* dm, QWidget* parent = nullptr);
};

class TPlatformForm : public TRefListForm {
    Q_OBJECT
public:
    explicit TPlatformForm(TDataModule1* dm, QWidget* parent = nullptr);
};

class TCategoryForm : public TRefListForm {
    Q_OBJECT
public:
    explicit TCategoryForm(TDataModule1* dm, QWidget* parent = nullptr);
};

class TProgramTypeForm : public TRefListForm {
    Q_OBJECT
public:
    explicit TProgramTypeForm(TDataModule1* dm, QWidget* parent = nullptr);
};
