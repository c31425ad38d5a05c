// The Qt picture picker: it offers the filter it is given and shows the preview of the
// file under the cursor beside the list. The dialog is driven from a timer while it runs.

#include "platform/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QListView>
#include <QMutex>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
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
        QMutex mutex;
        const TPicturePreview preview = [&](const QString& file, const QSize& size) {
            const QMutexLocker lock(&mutex);
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
            const bool previewed =
                label && QTest::qWaitFor([&] { return !label->pixmap().isNull(); }, 5000);
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

    // The preview is drawn on a worker: the dialog answers while a large picture is
    // being decoded and returns at once when it closes. A request overtaken before its
    // turn is never drawn, and only the newest is shown.
    void previewDecodesOnAWorkerAndDropsOvertakenRequests()
    {
        QTemporaryDir dir;
        const std::pair<const char16_t*, Qt::GlobalColor> files[] = {
            {u"a.png", Qt::red}, {u"b.png", Qt::green}, {u"c.png", Qt::blue}};
        for (const auto& [name, colour] : files) {
            QImage image(40, 40, QImage::Format_RGB32);
            image.fill(colour);
            QVERIFY(image.save(dir.filePath(QString::fromUtf16(name))));
        }
        QMutex mutex;
        QStringList asked;
        bool onTheWindowThread = false;
        QSemaphore firstMayEnd, firstStarted;
        const TPicturePreview preview = [&](const QString& file, const QSize& size) {
            {
                const QMutexLocker lock(&mutex);
                asked << QFileInfo(file).fileName();
                onTheWindowThread |= QThread::currentThread() == qApp->thread();
            }
            if (file.endsWith(u"a.png"_s)) {
                // A picture that takes long: held until the test lets it go.
                firstStarted.release();
                firstMayEnd.tryAcquire(1, 10000);
            }
            return QImage(file).scaled(size, Qt::KeepAspectRatio);
        };
        QColor shownColour;
        bool stillDecodingAtClose = false;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            const auto done = qScopeGuard([&] { QMetaObject::invokeMethod(dialog, "accept"); });
            auto* label = dialog->findChild<QLabel*>(u"PicturePreview"_s);
            auto* list = dialog->findChild<QListView*>(u"listView"_s);
            QVERIFY(label && list);
            dialog->setDirectory(dir.path());
            QVERIFY(QTest::qWaitFor([&] { return list->model()->rowCount(list->rootIndex()) == 3; },
                                    5000));
            // By name: the list need not be sorted yet.
            const auto select = [&](int file) {
                const QString name = QString::fromUtf16(files[file].first);
                for (int row = 0; row < 3; ++row) {
                    const QModelIndex index = list->model()->index(row, 0, list->rootIndex());
                    if (index.data().toString() == name)
                        list->setCurrentIndex(index);
                }
            };
            // a: its decoding holds; b and c are asked for meanwhile.
            select(0);
            QVERIFY(firstStarted.tryAcquire(1, 5000));
            select(1);
            select(2);
            firstMayEnd.release();
            QVERIFY(QTest::qWaitFor([&] { return !label->pixmap().isNull(); }, 5000));
            QTest::qWait(50); // a late result of an older request would land by now
            const QImage image = label->pixmap().toImage();
            shownColour = image.pixelColor(image.width() / 2, image.height() / 2);
            // a again, whose decoding holds, and the dialog closed meanwhile.
            select(0);
            QVERIFY(firstStarted.tryAcquire(1, 5000));
            stillDecodingAtClose = true;
        });
        TQtDialogs dialogs;
        const QString chosen =
            dialogs.OpenPictureName(nullptr, u"Открыть"_s, u"PNG (*.png)"_s, preview);
        // Back here while the last picture is still being decoded.
        QVERIFY(stillDecodingAtClose);
        firstMayEnd.release();
        QCOMPARE(chosen, dir.filePath(u"a.png"_s));
        QCOMPARE(shownColour, QColor(Qt::blue));
        const QMutexLocker lock(&mutex);
        QVERIFY(!onTheWindowThread);
        QCOMPARE(asked.first(), u"a.png"_s);
        QVERIFY(!asked.contains(u"b.png"_s));
        QVERIFY(asked.contains(u"c.png"_s));
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
