// The platform's own message boxes speak Russian, as the rest of the program does,
// whatever the locale the program runs under (the tests run under C.UTF-8).

#include "platform/dialogs.h"
#include "platform/translations.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

class TestQtDialogs : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(InstallQtTranslations(*qApp)); }

    void messageBoxButtonsAreRussian_data()
    {
        QTest::addColumn<TMsgButtons>("buttons");
        QTest::addColumn<QStringList>("texts"); // the buttons' captions, sorted
        QTest::addColumn<QString>("press");     // the button the user presses
        QTest::addColumn<TMsgResult>("expected");
        QTest::newRow("OK and Cancel")
            << TMsgButtons::mbOKCancel << QStringList{u"OK"_s, u"Отмена"_s} << u"Отмена"_s
            << TMsgResult::mrCancel;
        QTest::newRow("Yes and No") << TMsgButtons::mbYesNo << QStringList{u"Да"_s, u"Нет"_s}
                                    << u"Да"_s << TMsgResult::mrYes;
    }

    void messageBoxButtonsAreRussian()
    {
        QFETCH(TMsgButtons, buttons);
        QFETCH(QString, press);
        QStringList seen;
        bool pressed = false;
        // Runs as soon as the box's own event loop does.
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            for (QAbstractButton* b : box->buttons())
                seen << b->text().remove(u'&');
            for (QAbstractButton* b : box->buttons())
                if (b->text().remove(u'&') == press) {
                    b->click();
                    pressed = true;
                    return;
                }
            box->reject();
        });
        const TMsgResult result = TQtDialogs().MessageBox(nullptr, u"Вопрос?"_s, u"Tresmol"_s,
                                                          buttons, TMsgIcon::miQuestion);
        seen.sort();
        QTEST(seen, "texts");
        QVERIFY(pressed);
        QTEST(result, "expected");
    }
};

QTEST_MAIN(TestQtDialogs)
#include "tst_qtdialogs.moc"
