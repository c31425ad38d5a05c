// The text of one column: UTF-8 in blocks of its own, handed out as copies or views.

#include "store/rows/textcolumn.h"

#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

void SetUtf8(TTextColumn& c, int row, const QByteArray& bytes)
{
    c.SetUtf8(row, bytes.constData(), int(bytes.size()));
}

int AppendUtf8(TTextColumn& c, const QByteArray& bytes)
{
    const int row = c.size();
    c.AppendNull();
    SetUtf8(c, row, bytes);
    return row;
}

} // namespace

class TestTextColumn : public QObject {
    Q_OBJECT

private slots:
    void textsReadBackAsGiven_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("latin") << u"Total Commander"_s;
        QTest::newRow("cyrillic") << u"Лаборатория Касперского"_s;
        QTest::newRow("outside the basic plane") << u"Game \U0001F3AE \U00010400"_s;
        QTest::newRow("byte-order mark first") << u"\uFEFFabc"_s;
        QTest::newRow("zero inside") << u"a\0b"_s;
        // Lengths at the steps of the length before each text, and past the longest
        // text laid in a shared block.
        for (const int n : {127, 128, 2047, 2048, 8000, 16383, 16384, 65535, 65536, 300000})
            QTest::newRow(qPrintable(u"%1 characters"_s.arg(n))) << QString(n, u'ж');
    }

    void textsReadBackAsGiven()
    {
        QFETCH(QString, text);
        TTextColumn c;
        // Set from the program and read from the file, among other texts.
        for (int i = 0; i < 4; ++i) {
            c.AppendNull();
            c.Set(i, QString(u"row "_s + QString::number(i)));
        }
        c.Set(1, text);
        SetUtf8(c, 2, text.toUtf8());
        QCOMPARE(c[1], text);
        QCOMPARE(c[2], text);
        QCOMPARE(QByteArrayView(c.Utf8(1)), QByteArrayView(text.toUtf8()));
        QCOMPARE(c[0], u"row 0"_s);
        QCOMPARE(c[3], u"row 3"_s);

        // The same as the first text of a column, before any block is made.
        for (const bool fromFile : {false, true}) {
            TTextColumn first;
            first.AppendNull();
            first.AppendNull();
            if (fromFile)
                SetUtf8(first, 0, text.toUtf8());
            else
                first.Set(0, text);
            first.Set(1, u"next"_s);
            QCOMPARE(first[0], text);
            QCOMPARE(first[1], u"next"_s);
        }
    }

    void emptyStaysApartFromNull()
    {
        TTextColumn c;
        for (int i = 0; i < 6; ++i)
            c.AppendNull();
        QVERIFY(c.IsNull(0));
        QVERIFY(c[0].isNull());
        QVERIFY(c.Utf8(0).isNull());
        c.Set(1, u""_s);
        SetUtf8(c, 2, QByteArray(""));
        c.Set(3, u"x"_s);
        c.Set(3, QString());
        for (const int row : {1, 2}) {
            QVERIFY(!c.IsNull(row));
            QVERIFY(!c[row].isNull());
            QVERIFY(c[row].isEmpty());
            QVERIFY(!c.Utf8(row).isNull());
        }
        QVERIFY(c.IsNull(3));
        QVERIFY(c[3].isNull());
        QVERIFY(c.IsNull(4));
    }

    // Bytes that are not UTF-8 are held as the text they read as, so that equal bytes
    // stay equal texts, which sorting by a column relies on.
    void bytesThatAreNoUtf8_data()
    {
        QTest::addColumn<QByteArray>("one");
        QTest::addColumn<QByteArray>("other");
        QTest::newRow("stray bytes") << QByteArray("a\xFF") << QByteArray("a\xFE");
        QTest::newRow("cut short") << QByteArray("b\xD0") << QByteArray("b\xE2\x82");
        QTest::newRow("a surrogate") << QByteArray("c\xED\xA0\x80") << QByteArray("c\xED\xBF\xBF");
        QTest::newRow("overlong") << QByteArray("d\xC0\xAF") << QByteArray("d\xE0\x80\xAF");
        QTest::newRow("past the last")
            << QByteArray("e\xF4\x90\x80\x80") << QByteArray("e\xF5\x80\x80\x80");
    }

    void bytesThatAreNoUtf8()
    {
        QFETCH(QByteArray, one);
        QFETCH(QByteArray, other);
        // After ASCII of every length up to a few words, and before some, so that the
        // bad bytes fall anywhere in a word or across two.
        for (int before = 0; before <= 17; ++before) {
            for (const QByteArray& after : {QByteArray(), QByteArray("tail")}) {
                const QByteArray x = QByteArray(before, 'x') + one + after,
                                 y = QByteArray(before, 'x') + other + after;
                TTextColumn c;
                const int a = AppendUtf8(c, x), b = AppendUtf8(c, y);
                QCOMPARE(c[a], QString::fromUtf8(x));
                QCOMPARE(c[b], QString::fromUtf8(y));
                if (c[a] == c[b])
                    QCOMPARE(QByteArrayView(c.Utf8(a)), QByteArrayView(c.Utf8(b)));
                QCOMPARE(QByteArrayView(c.Utf8(a)), QByteArrayView(c[a].toUtf8()));
            }
        }
    }

    // Views stay where they are while the column grows by many blocks and its rows
    // change.
    void viewsOutliveLaterTexts()
    {
        TTextColumn c;
        const int first = AppendUtf8(c, "Первая программа \xF0\x9F\x8E\xAE");
        const QUtf8StringView view = c.Utf8(first);
        std::vector<QUtf8StringView> views;
        for (int i = 0; i < 20000; ++i) {
            const QByteArray text = "Программа номер " + QByteArray::number(i) +
                                    QByteArray(i % 97 == 0 ? 70000 : i % 300, 'x');
            views.push_back(c.Utf8(AppendUtf8(c, text)));
        }
        c.Set(first, u"Другая"_s);
        QCOMPARE(c[first], u"Другая"_s);
        QCOMPARE(QString::fromUtf8(view), u"Первая программа \U0001F3AE"_s);
        for (int i = 0; i < 20000; i += 13) {
            const QByteArray text = "Программа номер " + QByteArray::number(i) +
                                    QByteArray(i % 97 == 0 ? 70000 : i % 300, 'x');
            QCOMPARE(QByteArrayView(views[size_t(i)]), QByteArrayView(text));
            QCOMPARE(c[i + 1], QString::fromUtf8(text));
        }
    }

    // A text read for many rows is held once; changing it for one row leaves the others.
    void sharedTextChangesForOneRow()
    {
        TTextColumn c;
        for (int i = 0; i < 100; ++i)
            AppendUtf8(c, i % 2 ? QByteArray("Nero AG") : QByteArray("ABBYY"));
        QCOMPARE(c.Utf8(1).data(), c.Utf8(3).data());
        c.Set(3, u"Corel"_s);
        c.Set(5, u""_s);
        QCOMPARE(c[1], u"Nero AG"_s);
        QCOMPARE(c[3], u"Corel"_s);
        QVERIFY(c[5].isEmpty() && !c[5].isNull());
        QCOMPARE(c[7], u"Nero AG"_s);
        c.Set(3, u"Corel Corporation"_s);
        QCOMPARE(c[3], u"Corel Corporation"_s);
        QCOMPARE(c[99], u"Nero AG"_s);
    }

    void clearForgetsEverything()
    {
        TTextColumn c;
        AppendUtf8(c, "Microsoft");
        c.Clear();
        QCOMPARE(c.size(), 0);
        c.AppendNull();
        QVERIFY(c.IsNull(0));
        SetUtf8(c, 0, "Microsoft");
        QCOMPARE(c[0], u"Microsoft"_s);
    }
};

QTEST_GUILESS_MAIN(TestTextColumn)
#include "tst_textcolumn.moc"
