// tresmol-cli import OLD.mdb NEW.mdb [--picture-folder DIR]: a catalogue in its old
// Jet form converted into a new catalogue, as the window does it on opening one.

#include "jetimport/jetimport.h"
#include "platform/apppaths.h"
#include "tools/tresmol-cli/cli_util.h"
#include "tools/tresmol-cli/commands.h"

#include <QCoreApplication>
#include <QTextStream>

using namespace Qt::Literals::StringLiterals;

int CmdImport(const QStringList& args)
{
    return RunCommand([&] {
        const TCliArgs a = ParseCliArgs(args, {u"--picture-folder"_s}, {});
        if (a.Positional.size() != 2)
            return Fail(u"usage: tresmol-cli import OLD.mdb NEW.mdb [--picture-folder DIR]"_s);
        const QString& target = a.Positional[1];
        JetImport::TOptions options;
        // The program itself is "tresmol" beside tresmol-cli.
        options.PictureFolder = a.Options.value(
            u"--picture-folder"_s,
            AppPaths::PictureFolder(QCoreApplication::applicationDirPath() + u"/tresmol"_s));
        const JetImport::TSummary summary = JetImport::Convert(a.Positional[0], target, options);
        for (const QString& column : summary.SkippedColumns)
            Warn(u"skipped column "_s + column);
        for (const QString& field : summary.MissingFields)
            Warn(u"no column for "_s + field + u"; the field stays empty"_s);
        QStringList counts;
        for (const JetImport::TTableCount& t : summary.Tables)
            counts << u"%1 %2"_s.arg(t.Table).arg(t.Rows);
        QTextStream(stdout) << u"imported "_s << counts.join(u", "_s) << u"; pictures copied "_s
                            << summary.PicturesCopied << u", missing "_s << summary.PicturesMissing
                            << u'\n';
        FinishOutput();
        return 0;
    });
}
