#pragma once
// TAPIText: one line of text with a drop shadow, the product logo. It has no font
// object of its own: each paint builds a font from the height, width, weight,
// escapement and style properties, so that size, weight and angle can be set freely.
// It takes no input and draws on its parent's surface, never filling its rectangle:
// only the shadow, its box when Transp is off, and the text.

#include "extras/colors.h"

#include <QString>
#include <QWidget>
#include <cstdint>

enum class TFontWeight {
    Thin,
    ExtraLight,
    Light,
    Normal,
    Medium,
    SemiBold,
    Bold,
    ExtraBold,
    Heavy
};

// The weight value a step asks the font mapper for: 100 for Thin up to 900 for Heavy.
int FontWeightValue(TFontWeight weight);

class TAPIText : public QWidget {
    Q_OBJECT
public:
    explicit TAPIText(QWidget* parent = nullptr);

    QString Text() const { return FText; }
    QString FontName() const { return FFontName; }
    std::int32_t FontHeight() const { return FFontHeight; }
    std::int32_t FontWidth() const { return FFontWidth; }
    TFontWeight FontWeight() const { return FFontWeight; }
    bool Italic() const { return FItalic; }
    bool Underline() const { return FUnderline; }
    bool StrikeOut() const { return FStrikeOut; }
    std::int32_t Escapement() const { return FEscapement; }
    std::uint16_t TextXPos() const { return FTextXPos; }
    std::uint16_t TextYPos() const { return FTextYPos; }
    std::uint16_t ShadowX() const { return FShadowX; }
    std::uint16_t ShadowY() const { return FShadowY; }
    TColor FontColor() const { return FFontColor; }
    TColor ShadowColor() const { return FShadowColor; }
    TColor Color() const { return FColor; }
    bool Transp() const { return FTransp; }

    // Every setter repaints, even when the value is the one already held.
    void SetText(const QString& value);
    // A face name keeps at most its first 31 characters, the most a font description
    // holds.
    void SetFontName(const QString& value);
    void SetFontHeight(std::int32_t value);
    void SetFontWidth(std::int32_t value);
    void SetFontWeight(TFontWeight value);
    void SetItalic(bool value);
    void SetUnderline(bool value);
    void SetStrikeOut(bool value);
    void SetEscapement(std::int32_t value);
    void SetTextXPos(std::uint16_t value);
    void SetTextYPos(std::uint16_t value);
    void SetShadowX(std::uint16_t value);
    void SetShadowY(std::uint16_t value);
    void SetFontColor(TColor value);
    void SetShadowColor(TColor value);
    void SetColor(TColor value);
    void SetTransp(bool value);

    // The font a paint draws with, built from the properties.
    QFont BuildFont() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Changed();

    QString FText = QStringLiteral("API Text");
    QString FFontName = QStringLiteral("Arial");
    std::int32_t FFontHeight = 24;
    std::int32_t FFontWidth = 0;
    TFontWeight FFontWeight = TFontWeight::Heavy;
    bool FItalic = true;
    bool FUnderline = true;
    bool FStrikeOut = false;
    std::int32_t FEscapement = 0;
    std::uint16_t FTextXPos = 0;
    std::uint16_t FTextYPos = 0;
    std::uint16_t FShadowX = 2;
    std::uint16_t FShadowY = 2;
    TColor FFontColor = clRed;
    TColor FShadowColor = clBlack;
    TColor FColor = clBlue;
    bool FTransp = false;
};
