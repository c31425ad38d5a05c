#pragma once
// The file information window.

#include <QDialog>

class TInfoForm : public QDialog {
    Q_OBJECT
public:
    explicit TInfoForm(QWidget* parent = nullptr);
};

extern TInfoForm* InfoForm;
