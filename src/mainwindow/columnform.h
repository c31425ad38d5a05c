#pragma once
// The column chooser.

#include <QDialog>

class TColumnForm : public QDialog {
    Q_OBJECT
public:
    explicit TColumnForm(QWidget* parent = nullptr);
};
