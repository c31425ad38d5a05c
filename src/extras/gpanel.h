#pragma once
// TGPanel: a panel whose inner area shows a colour gradient in place of a flat
// background. The gradient runs from left to right, from silver to the window colour,
// which is how the main window's filter bar looks.

#include <QFrame>

class TGPanel : public QFrame {
    Q_OBJECT
public:
    explicit TGPanel(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
};
