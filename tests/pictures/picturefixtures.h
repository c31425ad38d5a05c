#pragma once

// The loadable pictures that tests/fixtures/pictures/build.py writes, as rows of a
// data-driven test: the file and the size it has at its natural scale.

#include <QSize>
#include <QString>
#include <QTest>

inline void AddLoadablePictureRows()
{
    using namespace Qt::Literals::StringLiterals;
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSize>("size");
    QTest::newRow("bmp") << u"bmp.bmp"_s << QSize(120, 80);
    QTest::newRow("ico, the larger image") << u"ico.ico"_s << QSize(48, 48);
    QTest::newRow("jpg, wide") << u"jpeg.jpg"_s << QSize(200, 100);
    QTest::newRow("jpeg, tall") << u"jpeg2.jpeg"_s << QSize(100, 200);
    QTest::newRow("JPG in upper case") << u"upper.JPG"_s << QSize(200, 100);
    QTest::newRow("png, tall") << u"png.png"_s << QSize(90, 160);
    QTest::newRow("gif") << u"gif.gif"_s << QSize(160, 120);
    QTest::newRow("webp") << u"webp.webp"_s << QSize(150, 100);
    QTest::newRow("wmf, wide") << u"wmf.wmf"_s << QSize(160, 90);
    QTest::newRow("emf, tall") << u"emf.emf"_s << QSize(80, 160);
}
