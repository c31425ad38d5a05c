#pragma once
// TColumnForm: the column chooser. One tick per field of the first 23 of the
// catalogue table; a tick shows or hides the field's grid column at once.

#include <QDialog>

class QFrame;
class QListWidget;
class QListWidgetItem;
class QToolButton;
class TDBGrid;
class TDataSet;

class TColumnForm : public QDialog {
    Q_OBJECT
public:
    explicit TColumnForm(QWidget* parent = nullptr);

    // The catalogue table whose fields the ticks stand for, and the grid that shows them.
    void Bind(TDataSet* table, TDBGrid* grid);

    // The number of items, one per field from the first.
    static constexpr int ItemCount = 23;

    void CheckListBox1ClickCheck(QListWidgetItem* item);
    void ShowChosenColumns();
    void CloseWindow();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Ticks each item when its field is visible now.
    void ShowVisibility();
    // Centres the window on the main window, from client areas alone, so that it opens
    // in the same place each time whatever the frame's size.
    void CentreOnOwner();

    QFrame* Panel1;
    QListWidget* CheckListBox1;
    QFrame* Panel2;
    QToolButton* SpeedButton1;
    QToolButton* SpeedButton2;
    TDataSet* FTable = nullptr;
    TDBGrid* FGrid = nullptr;
    bool FLoading = false;
};
