#pragma once
// Qt's own texts (the buttons of message boxes, the file pickers, the edit boxes'
// context menus) in Russian, whatever the user's locale: every other word the program
// shows is Russian, and a box that asks in Russian and answers "Cancel" reads as broken.

class QCoreApplication;

// Installs Qt's Russian translation into APP, from the folder where Qt keeps its
// translations (on Debian, qt6-translations-l10n). Returns false, leaving Qt's English,
// when it is not there.
bool InstallQtTranslations(QCoreApplication& app);
