#include "platform/dialogs.h"

#include <QFileDialog>
#include <QFutureWatcher>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>
#include <memory>

using namespace Qt::Literals::StringLiterals;

TDialogs::~TDialogs() = default;

namespace {

TDialogs* GDialogs = nullptr;

QMessageBox::Icon QtIcon(TMsgIcon icon)
{
    switch (icon) {
    case TMsgIcon::miStop:
        return QMessageBox::Critical;
    case TMsgIcon::miQuestion:
        return QMessageBox::Question;
    case TMsgIcon::miInformation:
        return QMessageBox::Information;
    case TMsgIcon::miWarning:
        return QMessageBox::Warning;
    case TMsgIcon::miNone:
        break;
    }
    return QMessageBox::NoIcon;
}

// The picker's previews take their turns on one thread of their own, apart from the
// pool that decodes the window's pictures.
QThreadPool* PreviewPool()
{
    static QThreadPool pool;
    pool.setMaxThreadCount(1);
    return &pool;
}

} // namespace

TMsgResult ClosedAnswer(TMsgButtons buttons)
{
    switch (buttons) {
    case TMsgButtons::mbOK:
        return TMsgResult::mrOK;
    case TMsgButtons::mbOKCancel:
        return TMsgResult::mrCancel;
    case TMsgButtons::mbYesNo:
        return TMsgResult::mrNo;
    }
    return TMsgResult::mrCancel;
}

TDialogs& Dialogs()
{
    static TQtDialogs qtDialogs;
    return GDialogs ? *GDialogs : qtDialogs;
}

void SetDialogs(TDialogs* dialogs) { GDialogs = dialogs; }

// ---------------------------------------------------------------- Qt
// The pickers are Qt's static ones without DontUseNativeDialog: the desktop's own
// picker wherever the platform theme offers one (GTK's, or the desktop portal's), Qt's
// otherwise.

TMsgResult TQtDialogs::MessageBox(QWidget* parent, const QString& text, const QString& caption,
                                  TMsgButtons buttons, TMsgIcon icon)
{
    QMessageBox box(QtIcon(icon), caption, text, QMessageBox::NoButton, parent);
    // What a box says can be selected and copied: an address, a path, an error.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    switch (buttons) {
    case TMsgButtons::mbOK:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case TMsgButtons::mbOKCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case TMsgButtons::mbYesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok:
        return TMsgResult::mrOK;
    case QMessageBox::Yes:
        return TMsgResult::mrYes;
    case QMessageBox::No:
        return TMsgResult::mrNo;
    default:
        return ClosedAnswer(buttons);
    }
}

QString TQtDialogs::OpenFileName(QWidget* parent, const QString& caption, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
}

QString TQtDialogs::OpenPictureName(QWidget* parent, const QString& caption, const QString& filter,
                                    const TPicturePreview& preview)
{
    QFileDialog dialog(parent, caption, QString(), filter);
    dialog.setObjectName(u"OpenPictureDialog"_s);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (preview) {
        // The preview stands in Qt's own dialog, beside the list of files.
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        auto* shown = new QLabel(&dialog);
        shown->setObjectName(u"PicturePreview"_s);
        shown->setFixedSize(200, 200);
        shown->setAlignment(Qt::AlignCenter);
        shown->setFrameShape(QFrame::StyledPanel);
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
            grid->addWidget(shown, 0, grid->columnCount(), grid->rowCount(), 1);
        // Decoded on a worker, so that the dialog, and the window under it once the
        // dialog closes, never waits for a large picture. Only the newest request is
        // served: one overtaken before its turn is never decoded, and an older result
        // that arrives late is dropped.
        auto latest = std::make_shared<std::atomic<quint64>>(0);
        QObject::connect(&dialog, &QFileDialog::currentChanged, shown,
                         [shown, preview, latest](const QString& path) {
                             const quint64 ticket = ++*latest;
                             shown->clear();
                             const QSize size = shown->contentsRect().size();
                             auto* watcher = new QFutureWatcher<QImage>(shown);
                             QObject::connect(watcher, &QFutureWatcher<QImage>::finished, shown,
                                              [shown, watcher, latest, ticket] {
                                                  if (*latest == ticket)
                                                      shown->setPixmap(
                                                          QPixmap::fromImage(watcher->result()));
                                                  watcher->deleteLater();
                                              });
                             watcher->setFuture(QtConcurrent::run(PreviewPool(), [=] {
                                 return *latest == ticket ? preview(path, size) : QImage();
                             }));
                         });
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

QString TQtDialogs::BrowseFolder(QWidget* parent, const QString& caption)
{
    return QFileDialog::getExistingDirectory(parent, caption);
}

QString TQtDialogs::SaveFileName(QWidget* parent, const QString& caption, const QString& filter,
                                 const QString& proposed)
{
    return QFileDialog::getSaveFileName(parent, caption, proposed, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}
