#include "tests/common/scripteddialogs.h"

using namespace Qt::Literals::StringLiterals;

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

QString TScriptedDialogs::OpenFileName(QWidget*, const QString& caption, const QString& filter)
{
    FAsked << TAsked{u"file"_s, QString(), caption, TMsgButtons::mbOK, TMsgIcon::miNone, filter};
    return FFiles.isEmpty() ? QString() : FFiles.takeFirst();
}

QString TScriptedDialogs::OpenPictureName(QWidget*, const QString& caption, const QString& filter,
                                          const TPicturePreview& preview)
{
    FAsked << TAsked{u"picture"_s, filter, caption, TMsgButtons::mbOK, TMsgIcon::miNone, filter};
    FPreview = preview;
    return FPictures.isEmpty() ? QString() : FPictures.takeFirst();
}

QString TScriptedDialogs::BrowseFolder(QWidget*, const QString& caption)
{
    FAsked << TAsked{u"folder"_s, QString(), caption};
    return FFolders.isEmpty() ? QString() : FFolders.takeFirst();
}

QString TScriptedDialogs::SaveFileName(QWidget*, const QString& caption, const QString& filter,
                                       const QString& proposed)
{
    FAsked << TAsked{u"save"_s, proposed, caption, TMsgButtons::mbOK, TMsgIcon::miNone, filter};
    return FSaveFiles.isEmpty() ? QString() : FSaveFiles.takeFirst();
}
