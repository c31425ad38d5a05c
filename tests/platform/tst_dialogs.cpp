// The Qt picture picker: it offers the filter it is given and shows the preview of the
// file under the cursor beside the list. The dialog is driven from a timer while it runs.

#include "platform/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

class TestDialogs : public QObject {
    Q_OBJECT

private slots:
    void picturePickerPreviews()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"shot.png"_s);
        QImage red(40, 20, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(path));
        QStringList asked;
        const TPicturePreview preview = [&](const QString& file, const QSize& size) {
            asked << file;
            return QImage(file).scaled(size, Qt::KeepAspectRatio);
        };
        bool shown = false, accepted = false;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            auto* label = dialog->findChild<QLabel*>(u"PicturePreview"_s);
            const QStringList filters = dialog->nameFilters();
            dialog->setDirectory(dir.path());
            // The user puts the cursor on the file once the list has read the folder.
            auto* list = dialog->findChild<QListView*>(u"listView"_s);
            const bool listed =
                list && QTest::qWaitFor(
                            [&] { return list->model()->rowCount(list->rootIndex()) == 1; }, 5000);
            if (listed)
                list->setCurrentIndex(list->model()->index(0, 0, list->rootIndex()));
            const bool previewed = label && !label->pixmap().isNull();
            shown = previewed && filters.size() == 2;
            accepted = true;
            QMetaObject::invokeMethod(dialog, "accept");
        });
        TQtDialogs dialogs;
        const QString chosen =
            dialogs.OpenPictureName(nullptr, u"Открыть"_s, u"PNG (*.png);;BMP (*.bmp)"_s, preview);
        QVERIFY(accepted);
        QVERIFY(shown);
        QVERIFY(asked.contains(path));
        QCOMPARE(chosen, path);
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
