#pragma once
// TGPanel: a panel whose inner area shows a linear colour gradient in place of a flat
// background: from Color_1 to Color_2, or, split at Percent of its length, from
// Color_1 to Color_2 and on from Color_2 to Color_3; left to right when Horizontal,
// else top to bottom. Under the gradient it is an ordinary panel (TPanelBase): bevels,
// a background in its own colour, a centred caption, child controls on top; with
// Active off that is all it shows.
//
// Everything is painted here, never through a style sheet: a style sheet would also
// fix the fonts of the controls on the panel.

#include "extras/colors.h"

#include <QString>
#include <QWidget>
#include <vector>

enum class TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };

// The plain panel: bevels, border, background colour and a centred caption.
class TPanelBase : public QWidget {
    Q_OBJECT
public:
    explicit TPanelBase(QWidget* parent = nullptr);

    TPanelBevel BevelInner() const { return FBevelInner; }
    TPanelBevel BevelOuter() const { return FBevelOuter; }
    int BevelWidth() const { return FBevelWidth; }
    int BorderWidth() const { return FBorderWidth; }
    TColor Color() const { return FColor; }
    QString Caption() const { return FCaption; }
    void SetBevelInner(TPanelBevel value);
    void SetBevelOuter(TPanelBevel value);
    void SetBevelWidth(int value);
    void SetBorderWidth(int value);
    void SetColor(TColor value);
    void SetCaption(const QString& value);

protected:
    void paintEvent(QPaintEvent* event) override;
    // Bevels, border, background and caption.
    void PaintPanel(class QPainter& painter);

private:
    TPanelBevel FBevelInner = TPanelBevel::bvNone;
    TPanelBevel FBevelOuter = TPanelBevel::bvRaised;
    int FBevelWidth = 1;
    int FBorderWidth = 0;
    TColor FColor = clBtnFace;
    QString FCaption;
};

// One band of a gradient: where it starts along the length, how thick it is, its colour.
struct TGradientBand {
    int Offset;
    int Thickness;
    QColor Color;
};

class TGPanel : public TPanelBase {
    Q_OBJECT
public:
    explicit TGPanel(QWidget* parent = nullptr);

    bool Active() const { return FActive; }
    TColor Color_1() const { return FColor_1; }
    TColor Color_2() const { return FColor_2; }
    TColor Color_3() const { return FColor_3; }
    bool Horizontal() const { return FHorizontal; }
    int Percent() const { return FPercent; }
    void SetActive(bool value);
    void SetColor_1(TColor value);
    void SetColor_2(TColor value);
    void SetColor_3(TColor value);
    void SetHorizontal(bool value);
    // Below 1 becomes 1, above 99 becomes 100.
    void SetPercent(int value);

    // The bands of a gradient LENGTH pixels long from A to Z, in painting order: at
    // most m + 1 of them, m being the largest channel difference, whatever the length.
    // A and Z must differ.
    static std::vector<TGradientBand> GradientBands(int length, QColor a, QColor z);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PaintGradient(QPainter& painter);
    void FillGradient(QPainter& painter, const QRect& area, TColor a, TColor z);

    bool FActive = true;
    TColor FColor_1 = clBtnFace;
    TColor FColor_2 = clWhite;
    TColor FColor_3 = clAqua;
    bool FHorizontal = true;
    int FPercent = 100;
};
