#pragma once
// DBGrid: the catalogue grid. A table view over TDBGridModel that keeps its current
// cell on the dataset's current row, edits in place (a drop-down of reference texts in
// lookup columns), starts a new record on Insert or when moving down from the last
// row, and drops a new record that nothing was typed into when the focus leaves it.

#include "dbaware/dbgridmodel.h"

#include <QHash>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>

#include <functional>

class TDBGrid;

// The colours one data cell is drawn in. The grid fills in its usual ones; the
// cell-drawing hook may change them before the cell is drawn.
struct TCellColors {
    QColor Background; // invalid: the view's own background shows through
    QColor Text;
};

class TDBGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit TDBGridDelegate(TDBGrid* grid);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void destroyEditor(QWidget* editor, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // Hands the open editor's typed text to the record, if there is any.
    void CommitHeld();
    bool Holding() const { return FEditor && FDirty; }
    QWidget* Editor() const { return FEditor; }

private:
    void Typed() const;

    TDBGrid* FGrid;
    mutable QPointer<QWidget> FEditor;
    mutable QPersistentModelIndex FEditorIndex;
    mutable bool FDirty = false;
    mutable bool FLoading = false;
};

class TDBGrid : public QTableView {
    Q_OBJECT
public:
    explicit TDBGrid(QWidget* parent = nullptr);
    ~TDBGrid() override;

    TDataSource* DataSource() const { return FModel->DataSource(); }
    void SetDataSource(TDataSource* ds);
    TDBGridModel* GridModel() const { return FModel; }
    TDBGridDelegate* GridDelegate() const { return FDelegate; }
    TDataSet* DataSet() const { return FModel->DataSet(); }

    // Column widths in pixels from the fields' display widths (in characters): the
    // width of the digit 0 in the grid's font per character, plus 4.
    int PixelsForChars(int chars) const;
    // The designed width of FIELD's column: its display width, never narrower than
    // its title.
    int DesignedWidth(const TField* field) const;

    // Called for every data cell before it is drawn, with the cell's model row and
    // column, whether it is the current cell, and the colours to draw it in.
    using TDrawColumnCell =
        std::function<void(int row, int column, bool selected, TCellColors& colors)>;
    void SetOnDrawColumnCell(TDrawColumnCell hook) { FOnDrawColumnCell = std::move(hook); }
    const TDrawColumnCell& OnDrawColumnCell() const { return FOnDrawColumnCell; }
    // Rebuilds the columns after a change of field visibility.
    void RefreshColumns() { FModel->RefreshColumns(); }

    // Starts editing the record in the current row, as typing into a cell does.
    void StartEditing();

    // Enter stores the row being edited (a list of one column, where a row is done once
    // its text is), besides closing the cell's editor.
    void SetPostOnEnter(bool on) { FPostOnEnter = on; }

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    // Takes in held text and posts the record when it holds a change.
    void PostRow();
    void SyncCurrent();
    void ApplyColumnWidths();
    void SectionResized(int column, int oldSize, int newSize);
    void LeaveGrid();

    TDBGridModel* FModel;
    TDBGridDelegate* FDelegate;
    bool FSyncing = false;
    bool FApplyingWidths = false;
    bool FPostOnEnter = false;
    QHash<QString, int> FWidths; // field name -> pixels, once the user resized it
    TDrawColumnCell FOnDrawColumnCell;
};
