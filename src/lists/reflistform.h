#pragma once
// The editors of the five reference lists share one window class; each list has its
// own subclass so that start-up creates each window by its own name.

#include <QDialog>

class TRefListForm : public QDialog {
    Q_OBJECT
public:
    TRefListForm(const QString& objectName, QWidget* parent);
};

class TAddManufacturerForm : public TRefListForm {
    Q_OBJECT
public:
    explicit TAddManufacturerForm(QWidget* parent = nullptr);
};

class TTypeDiscForm : public TRefListForm {
    Q_OBJECT
public:
    explicit TTypeDiscForm(QWidget* parent = nullptr);
};

class TPlatformForm : public TRefListForm {
    Q_OBJECT
public:
    explicit TPlatformForm(QWidget* parent = nullptr);
};

class TCategoryForm : public TRefListForm {
    Q_OBJECT
public:
    explicit TCategoryForm(QWidget* parent = nullptr);
};

class TProgramTypeForm : public TRefListForm {
    Q_OBJECT
public:
    explicit TProgramTypeForm(QWidget* parent = nullptr);
};
