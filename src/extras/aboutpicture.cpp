#include "extras/aboutpicture.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <cstdint>

using namespace Qt::Literals::StringLiterals;

namespace {

// A fixed sequence, so that the board is the same picture on every run.
class TBoardRandom {
public:
    int Next(int bound)
    {
        FState = FState * 1103515245u + 12345u;
        return int((FState >> 16) % std::uint32_t(bound));
    }

private:
    std::uint32_t FState = 1997;
};

void PaintBoard(QPainter& p, int w, int h)
{
    QLinearGradient board(0, 0, w, h);
    board.setColorAt(0, QColor(18, 92, 52));
    board.setColorAt(1, QColor(8, 58, 32));
    p.fillRect(0, 0, w, h, board);

    TBoardRandom rnd;
    const QColor copper(196, 160, 72);
    const QColor trace(58, 150, 86);
    // Traces: runs on a 6-pixel grid that turn once at 45 degrees, each ending in a pad.
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 46; ++i) {
        const QPointF a(6 * rnd.Next(w / 6), 6 * rnd.Next(h / 6));
        const int run = 12 + 6 * rnd.Next(8);
        const int dir = rnd.Next(4);
        const QPointF step = dir == 0   ? QPointF(run, 0)
                             : dir == 1 ? QPointF(0, run)
                             : dir == 2 ? QPointF(-run, 0)
                                        : QPointF(0, -run);
        const QPointF b = a + step;
        const QPointF c = b + QPointF(12, 12);
        QPainterPath path(a);
        path.lineTo(b);
        path.lineTo(c);
        p.setPen(QPen(trace, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
        p.setPen(Qt::NoPen);
        p.setBrush(copper);
        p.drawEllipse(a, 2.5, 2.5);
        p.drawEllipse(c, 2.5, 2.5);
        p.setBrush(QColor(20, 40, 24));
        p.drawEllipse(c, 1, 1);
    }
    // Chips: dark bodies with a row of legs on two sides.
    const QRect chips[] = {
        {14, 14, 46, 22}, {132, 18, 50, 26}, {24, 118, 40, 18}, {128, 114, 54, 24}};
    p.setRenderHint(QPainter::Antialiasing, false);
    for (const QRect& chip : chips) {
        for (int x = chip.left() + 3; x < chip.right() - 2; x += 6) {
            p.fillRect(x, chip.top() - 4, 3, 4, QColor(200, 200, 200));
            p.fillRect(x, chip.bottom() + 1, 3, 4, QColor(200, 200, 200));
        }
        p.fillRect(chip, QColor(28, 28, 30));
        p.fillRect(chip.left(), chip.top(), chip.width(), 2, QColor(60, 60, 64));
        p.setBrush(QColor(70, 70, 74));
        p.setPen(Qt::NoPen);
        p.drawEllipse(chip.left() + 3, chip.top() + 4, 4, 4);
    }
}

} // namespace

QImage PaintAboutPicture()
{
    const int w = 200, h = 159;
    QImage image(w, h, QImage::Format_RGB888);
    QPainter p(&image);
    PaintBoard(p, w, h);

    // The name, large and red, with a dark outline so it stands off the board.
    QFont font(u"Liberation Sans"_s);
    font.setPixelSize(44);
    font.setWeight(QFont::Black);
    font.setItalic(true);
    QPainterPath name;
    name.addText(0, 0, font, u"Tresmol"_s);
    const QRectF box = name.boundingRect();
    name.translate((w - box.width()) / 2 - box.left(), (h - box.height()) / 2 - box.top());
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 0, 0), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(name);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(230, 20, 20));
    p.drawPath(name);
    return image;
}
