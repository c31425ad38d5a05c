#pragma once
// Every message box and file or folder picker of the program goes through TDialogs,
// so that tests can answer them. The program uses Dialogs(); by default that is the
// Qt implementation, and SetDialogs installs another, such as one that answers from a
// script.

#include <QImage>
#include <QSize>
#include <QString>

#include <functional>

class QWidget;

// Draws the picture in a file for a picker's preview, fitted into the given size; a
// null image when the file shows no picture. It runs on a worker thread, not the
// window's, and must be safe there.
using TPicturePreview = std::function<QImage(const QString& path, const QSize& size)>;

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
    virtual QString OpenFileName(QWidget* parent, const QString& caption,
                                 const QString& filter) = 0;
    // A picture file's path, or "" when the user cancels. PREVIEW, when given, shows
    // the file under the cursor beside the list.
    virtual QString OpenPictureName(QWidget* parent, const QString& caption, const QString& filter,
                                    const TPicturePreview& preview = {}) = 0;
    // A folder's path, or "" when the user cancels.
    virtual QString BrowseFolder(QWidget* parent, const QString& caption) = 0;
    // The path of a file to be made, or "" when the user cancels. An existing file may
    // be chosen without a question: the caller refuses to overwrite it. PROPOSED, when
    // given, is the path the picker starts on.
    virtual QString SaveFileName(QWidget* parent, const QString& caption, const QString& filter,
                                 const QString& proposed = QString()) = 0;
};

// The platform's own dialogs.
class TQtDialogs : public TDialogs {
public:
    TMsgResult MessageBox(QWidget* parent, const QString& text, const QString& caption,
                          TMsgButtons buttons, TMsgIcon icon) override;
    QString OpenFileName(QWidget* parent, const QString& caption, const QString& filter) override;
    QString OpenPictureName(QWidget* parent, const QString& caption, const QString& filter,
                            const TPicturePreview& preview = {}) override;
    QString BrowseFolder(QWidget* parent, const QString& caption) override;
    QString SaveFileName(QWidget* parent, const QString& caption, const QString& filter,
                         const QString& proposed = QString()) override;
};

// What a box with BUTTONS answers when the user closes it without choosing: OK for a
// box with only OK, Cancel or No otherwise.
TMsgResult ClosedAnswer(TMsgButtons buttons);

// The dialogs the program uses now.
TDialogs& Dialogs();
// Installs DIALOGS (not owned; nullptr restores the Qt dialogs).
void SetDialogs(TDialogs* dialogs);
