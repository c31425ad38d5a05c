#pragma once
// The subcommands of tresmol-cli. Each takes the arguments after its own name
// and returns the process exit status; errors go to standard error.

#include <QStringList>

int CmdCreate(const QStringList& args);
int CmdDemo(const QStringList& args);
int CmdList(const QStringList& args);
int CmdVerinfo(const QStringList& args);
int CmdIcon(const QStringList& args);
int CmdHarvest(const QStringList& args);
int CmdExport(const QStringList& args);
int CmdClear(const QStringList& args);
int CmdSet(const QStringList& args);
int CmdDelete(const QStringList& args);
int CmdImport(const QStringList& args);
