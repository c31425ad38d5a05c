#pragma once
// TUpDown: a pair of up and down arrows that report which one was pressed. It keeps no
// position of its own: the value it steps lives elsewhere (the record's rating), so
// there is nothing here to drift out of step with it.

#include <QWidget>

class QToolButton;

class TUpDown : public QWidget {
    Q_OBJECT
public:
    explicit TUpDown(QWidget* parent = nullptr);

    QToolButton* UpButton() const { return FUp; }
    QToolButton* DownButton() const { return FDown; }

signals:
    // One step: UP is true for the up arrow, false for the down arrow.
    void Click(bool up);

private:
    QToolButton* FUp;
    QToolButton* FDown;
};
