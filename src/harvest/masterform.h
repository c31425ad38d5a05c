#pragma once
// The add-programs wizard.

#include <QDialog>

class TMasterForm : public QDialog {
    Q_OBJECT
public:
    explicit TMasterForm(QWidget* parent = nullptr);
};

extern TMasterForm* MasterForm;
