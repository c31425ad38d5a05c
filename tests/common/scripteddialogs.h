#pragma once
// TScriptedDialogs: the program's dialogs answered from a script. Each question takes
// the next answer queued for its kind. A message box with no answer queued is answered
// as if the user closed it (OK for a box with only OK, Cancel or No otherwise); a
// picker with none queued is cancelled. Everything asked is recorded for the test to
// check. A test installs it with SetDialogs.

#include "platform/dialogs.h"

#include <QList>
#include <QStringList>

class TScriptedDialogs : public TDialogs {
public:
    struct TAsked {
        QString Kind; // "message", "file", "picture", "folder", "save"
        QString Text; // a message's text, a picture picker's filter, a save picker's proposal
        QString Caption;
        TMsgButtons Buttons = TMsgButtons::mbOK;
        TMsgIcon Icon = TMsgIcon::miNone;
        QString Filter; // a file or picture picker's filter
    };

    void AnswerMessage(TMsgResult answer) { FMessages << answer; }
    void AnswerFile(const QString& path) { FFiles << path; }
    void AnswerPicture(const QString& path) { FPictures << path; }
    void AnswerFolder(const QString& path) { FFolders << path; }
    void AnswerSaveFile(const QString& path) { FSaveFiles << path; }

    const QList<TAsked>& Asked() const { return FAsked; }
    // The preview the last picture picker was given.
    const TPicturePreview& Preview() const { return FPreview; }
    // Only the message boxes, in order.
    QList<TAsked> Messages() const;
    void ClearAsked() { FAsked.clear(); }
    int PendingAnswers() const
    {
        return int(FMessages.size() + FFiles.size() + FPictures.size() + FFolders.size() +
                   FSaveFiles.size());
    }

    TMsgResult MessageBox(QWidget* parent, const QString& text, const QString& caption,
                          TMsgButtons buttons, TMsgIcon icon) override;
    QString OpenFileName(QWidget* parent, const QString& caption, const QString& filter) override;
    QString OpenPictureName(QWidget* parent, const QString& caption, const QString& filter,
                            const TPicturePreview& preview = {}) override;
    QString BrowseFolder(QWidget* parent, const QString& caption) override;
    QString SaveFileName(QWidget* parent, const QString& caption, const QString& filter,
                         const QString& proposed = QString()) override;

private:
    QList<TMsgResult> FMessages;
    QStringList FFiles, FPictures, FFolders, FSaveFiles;
    QList<TAsked> FAsked;
    TPicturePreview FPreview;
};
