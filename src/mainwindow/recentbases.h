#pragma once
// The catalogues the user worked in, newest first, kept in the settings file so that
// a restart opens the last one and "Недавние базы" offers the others.

#include <QString>
#include <QStringList>

namespace RecentBases {

// How many the list keeps.
inline constexpr int Size = 5;

// The list as the settings file SETTINGS holds it now, newest first, without blanks
// or repeats.
QStringList Read(const QString& settings);
// The first of the list: the catalogue worked in last; empty when none.
QString Last(const QString& settings);
// PATH (made absolute) goes to the head of the list, the oldest falling off. Nothing is
// written when it is at the head already. Throws as the settings file's writes do.
void Remember(const QString& settings, const QString& path);
// PATH leaves the list.
void Forget(const QString& settings, const QString& path);

} // namespace RecentBases
