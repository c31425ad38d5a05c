#pragma once
// Every message box and file or folder picker of the program goes through TDialogs,
// so that tests can answer them. The program uses Dialogs(); by default that is the
// Qt implementation, a test installs a TScriptedDialogs with the answers it wants.

#include <QList>
#include <QString>

class QWidget;

enum class TMsgButtons { mbOK, mbOKCancel, mbYesNo };
enum class TMsgIcon { miNone, miStop, miQuestion, miInformation, miWarning };
// What the user chose; closing a box without choosing reads as Cancel (or No).
enum class TMsgResult { mrOK, mrCancel, mrYes, mrNo };

class TDialogs {
public:
    virtual ~TDialogs();
    virtual TMsgResult MessageBox(QWidget* parent, const QString& text, const QString& caption,
                                  TMsgButtons buttons, TMsgIcon icon) = 0;
    // An existing file's path, or "" when the user cancels.
    virtual QString OpenFileName(QWidget* parent, const QString& caption, const QString& filter) = 0;
    // A picture file's path, or "" when the user cancels.
    virtual QString OpenPictureName(QWidget* parent, const QString& caption,
                                    const QString& filter) = 0;
    // A folder's path, or "" when the user cancels.
    virtual QString BrowseFolder(QWidget* parent, const QString& caption) = 0;
};

// The platform's own dialogs.
class TQtDialogs : public TDialogs {
public:
    TMsgResult MessageBox(QWidget* parent, const QString& text, const QString& caption,
                          TMsgButtons buttons, TMsgIcon icon) override;
    QString OpenFileName(QWidget* parent, const QString& caption, const QString& filter) override;
    QString OpenPictureName(QWidget* parent, const QString& caption, const QString& filter) override;
    QString BrowseFolder(QWidget* parent, const QString& caption) override;
};

// Answers from a script: each question takes the next answer queued for its kind.
// A message box with no answer queued is answered as if the user closed it (OK for a
// box with only OK, Cancel or No otherwise); a picker with none queued is cancelled.
// Everything asked is recorded for the test to check.
class TScriptedDialogs : public TDialogs {
public:
    struct TAsked {
        QString Kind; // "message", "file", "picture", "folder"
        QString Text;
        QString Caption;
        TMsgButtons Buttons = TMsgButtons::mbOK;
        TMsgIcon Icon = TMsgIcon::miNone;
    };

    void AnswerMessage(TMsgResult answer) { FMessages << answer; }
    void AnswerFile(const QString& path) { FFiles << path; }
    void AnswerPicture(const QString& path) { FPictures << path; }
    void AnswerFolder(const QString& path) { FFolders << path; }

    const QList<TAsked>& Asked() const { return FAsked; }
    // Only the message boxes, in order.
    QList<TAsked> Messages() const;
    void ClearAsked() { FAsked.clear(); }
    int PendingAnswers() const
    {
        return int(FMessages.size() + FFiles.size() + FPictures.size() + FFolders.size());
    }

    TMsgResult MessageBox(QWidget* parent, const QString& text, const QString& caption,
                          TMsgButtons buttons, TMsgIcon icon) override;
    QString OpenFileName(QWidget* parent, const QString& caption, const QString& filter) override;
    QString OpenPictureName(QWidget* parent, const QString& caption, const QString& filter) override;
    QString BrowseFolder(QWidget* parent, const QString& caption) override;

private:
    QList<TMsgResult> FMessages;
    QStringList FFiles, FPictures, FFolders;
    QList<TAsked> FAsked;
};

// The dialogs the program uses now.
TDialogs& Dialogs();
// Installs DIALOGS (not owned; nullptr restores the Qt dialogs).
void SetDialogs(TDialogs* dialogs);
