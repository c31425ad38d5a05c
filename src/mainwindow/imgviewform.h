#pragma once
// The picture viewer: the one window shown beside the main window, not modally.

#include <QWidget>

class TImgViewForm : public QWidget {
    Q_OBJECT
public:
    explicit TImgViewForm(QWidget* parent = nullptr);
};
