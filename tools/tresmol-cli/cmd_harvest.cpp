#include "tools/tresmol-cli/cli_util.h"
#include "tools/tresmol-cli/commands.h"

using namespace Qt::Literals::StringLiterals;

int CmdHarvest(const QStringList&)
{
    return Fail(u"harvest: not available in this build yet"_s);
}
