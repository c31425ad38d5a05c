#include "platform/dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

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

} // namespace

TDialogs& Dialogs()
{
    static TQtDialogs qtDialogs;
    return GDialogs ? *GDialogs : qtDialogs;
}

void SetDialogs(TDialogs* dialogs) { GDialogs = dialogs; }

// ---------------------------------------------------------------- Qt

TMsgResult TQtDialogs::MessageBox(QWidget* parent, const QString& text, const QString& caption,
                                  TMsgButtons buttons, TMsgIcon icon)
{
    QMessageBox box(QtIcon(icon), caption, text, QMessageBox::NoButton, parent);
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

QString TQtDialogs::OpenPictureName(QWidget* parent, const QString& caption, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
}

QString TQtDialogs::BrowseFolder(QWidget* parent, const QString& caption)
{
    return QFileDialog::getExistingDirectory(parent, caption);
}

// ---------------------------------------------------------------- scripted

QList<TScriptedDialogs::TAsked> TScriptedDialogs::Messages() const
{
    QList<TAsked> out;
    for (const TAsked& a : FAsked)
        if (a.Kind == u"message"_s)
            out << a;
    return out;
}

TMsgResult TScriptedDialogs::MessageBox(QWidget*, const QString& text, const QString& caption,
                                        TMsgButtons buttons, TMsgIcon icon)
{
    FAsked << TAsked{u"message"_s, text, caption, buttons, icon};
    return FMessages.isEmpty() ? ClosedAnswer(buttons) : FMessages.takeFirst();
}

QString TScriptedDialogs::OpenFileName(QWidget*, const QString& caption, const QString&)
{
    FAsked << TAsked{u"file"_s, QString(), caption};
    return FFiles.isEmpty() ? QString() : FFiles.takeFirst();
}

QString TScriptedDialogs::OpenPictureName(QWidget*, const QString& caption, const QString&)
{
    FAsked << TAsked{u"picture"_s, QString(), caption};
    return FPictures.isEmpty() ? QString() : FPictures.takeFirst();
}

QString TScriptedDialogs::BrowseFolder(QWidget*, const QString& caption)
{
    FAsked << TAsked{u"folder"_s, QString(), caption};
    return FFolders.isEmpty() ? QString() : FFolders.takeFirst();
}
