#pragma once
// The About window's picture: the product's name in large red letters over a circuit
// board, 200 x 159 pixels in 24-bit colour. It is painted here rather than shipped, so
// the program carries no picture that it did not make itself.

#include <QImage>

QImage PaintAboutPicture();
