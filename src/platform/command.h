#pragma once
// The one way into the program from a user's action: every command entry point runs
// its body through RunCommand, which turns any failure into the standard error box,
// so that no exception ever reaches Qt.

#include <QString>

#include <functional>

class QWidget;

// The application title, "Tresmol": the caption of the standard error box and of the
// program's own questions.
QString ApplicationTitle();

// The standard error box: stop icon, the application title as caption, one OK button,
// the message with the full-stop rule.
void ShowErrorBox(const QString& message, QWidget* parent = nullptr);

// Runs BODY; a failure ends it where it arose and is shown in the standard error box.
// Returns true when BODY ran to its end.
bool RunCommand(QWidget* parent, const std::function<void()>& body);
