#include "pictures/metafileprocess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>

using namespace Qt::Literals::StringLiterals;

namespace Metafile {

QString HelperPath()
{
    static const QString path = [] {
        QStringList candidates;
        bool inBuildTree = true;
        if (QCoreApplication::instance()) {
            const QString dir = QCoreApplication::applicationDirPath();
            candidates << dir + u"/"_s + QStringLiteral(TRESMOL_METAFILE_HELPER_RELATIVE);
            inBuildTree = dir.startsWith(QStringLiteral(TRESMOL_BUILD_DIR "/"));
        }
        // The build's own helper serves only programs of the same build.
        if (inBuildTree)
            candidates << QStringLiteral(TRESMOL_METAFILE_HELPER_BUILT);
        for (const QString& c : candidates)
            if (QFileInfo(c).isExecutable())
                return c;
        return QString();
    }();
    return path;
}

TConversion ConvertApart(TFormat format, const QByteArray& data)
{
    TConversion result;
    if (data.size() > MaxFileBytes)
        return result;
    const QString helper = HelperPath();
    if (helper.isEmpty()) {
        result.Outcome = TOutcome::NoHelper;
        return result;
    }
    const QDeadlineTimer deadline(TimeBudgetMs);
    QProcess process;
    // What the libraries say on a damaged file stays unseen, as it would in the
    // program itself; a sanitizer's report of the helper shows.
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(helper, {format == TFormat::Wmf ? u"wmf"_s : u"emf"_s});
    if (!process.waitForStarted(int(deadline.remainingTime()))) {
        result.Outcome = TOutcome::NoHelper;
        return result;
    }
    process.write(data);
    process.closeWriteChannel();
    if (!process.waitForFinished(int(qMax<qint64>(1, deadline.remainingTime())))) {
        process.kill();
        process.waitForFinished(-1);
        result.Outcome = TOutcome::OverTime;
        return result;
    }
    if (process.exitStatus() != QProcess::NormalExit) {
        result.Outcome = TOutcome::Crashed;
        return result;
    }
    if (process.exitCode() == 3) {
        result.Outcome = TOutcome::OverMemory;
        return result;
    }
    const QByteArray out = process.readAllStandardOutput();
    const qsizetype eol = out.indexOf('\n');
    if (process.exitCode() != 0 || eol < 0)
        return result;
    const QList<QByteArray> size = out.left(eol).split(' ');
    bool okWidth = false, okHeight = false;
    const int width = size.value(0).toInt(&okWidth);
    const int height = size.value(1).toInt(&okHeight);
    if (!okWidth || !okHeight || width <= 0 || height <= 0)
        return result;
    result.Outcome = TOutcome::Converted;
    result.Svg.Svg = out.mid(eol + 1);
    result.Svg.NaturalSize = QSize(width, height);
    return result;
}

} // namespace Metafile
