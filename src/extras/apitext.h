#pragma once
// TAPIText: the product logo's one line of text, "Tresmol v 1.2" on the main window.
// It draws in a font of its own, bold and 11 points high, in navy, whatever font the
// window around it uses.

#include <QLabel>

class TAPIText : public QLabel {
    Q_OBJECT
public:
    explicit TAPIText(QWidget* parent = nullptr);
};
