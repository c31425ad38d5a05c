#pragma once
// TBarLayout: the bottom bar's buttons in a row, each starting at a fixed step from
// the one before (the designed 170 pixels), as wide as designed or as its text needs.
// When the bar is too narrow for the row, the buttons that do not fit go on to a
// second row, and so on, so that none is ever cut or lost.

#include <QHash>
#include <QLayout>
#include <QList>

class TBarLayout : public QLayout {
    Q_OBJECT
public:
    // STEP: the designed distance from one button's left edge to the next one's.
    TBarLayout(QWidget* parent, int step);
    ~TBarLayout() override;

    // Adds WIDGET with its designed size (at least what its text needs is used).
    void AddButton(QWidget* widget, QSize designed);

    void addItem(QLayoutItem* item) override;
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    void setGeometry(const QRect& rect) override;

private:
    // The size ITEM takes: its designed size or its hint, whichever is larger.
    QSize ItemSize(const QLayoutItem* item) const;
    // Places the items within RECT (only measures when APPLY is false); returns the
    // height used, margins included.
    int Arrange(const QRect& rect, bool apply) const;

    int FStep;
    QList<QLayoutItem*> FItems;
    QHash<const QLayoutItem*, QSize> FDesigned;
};
