#include "harvest/harvestfile.h"

#include "harvest/iconresource.h"
#include "harvest/knownfiles.h"
#include "harvest/memberreader.h"
#include "harvest/msipackage.h"
#include "platform/nativepath.h"
#include "store/catalogue/dataset.h"
#include "store/catalogue/picturefolder.h"

#include <QElapsedTimer>

#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;

namespace Harvest {

namespace {

class TSpan {
public:
    explicit TSpan(qint64* sum) : FSum(sum)
    {
        if (FSum)
            FTimer.start();
    }
    ~TSpan()
    {
        if (FSum)
            *FSum += FTimer.nsecsElapsed();
    }

private:
    qint64* FSum;
    QElapsedTimer FTimer;
};

} // namespace

std::unique_ptr<TVerInfoRes> ReadVerInfo(const QString& path)
{
    return std::make_unique<TVerInfoRes>(path);
}

TFileFacts ReadFileFacts(const QString& path, TMemberReader* members, bool wantSize, bool wantIcon,
                         bool packages)
{
    TFileFacts facts;
    const bool package = packages && IsPackageName(path.section(u'/', -1));
    try {
        if (members && TMemberReader::IsMemberPath(path)) {
            facts.Member = true;
            const std::optional<TMemberReader::TMember> member = members->Read(path);
            if (!member)
                throw ENoVerInfoError();
            facts.Size = member->Size;
            if (package) {
                // Only a whole package can be read.
                if (member->Size > member->Bytes.size())
                    throw EPackageError(u"too large"_s);
                facts.Values = PackageValues(TMsiPackage(member->Bytes));
            } else {
                if (wantIcon)
                    facts.Icon = ReadMainIcon(member->Bytes);
                facts.Values = VersionValues(TVerInfoRes(member->Bytes, path));
            }
        } else {
            // The icon's reader opens any name by its bytes, as the version's does.
            if (wantIcon && !package)
                facts.Icon = ReadMainIcon(path);
            if (wantSize) {
                struct stat info {};
                if (::stat(PathToNative(path).constData(), &info) == 0 && S_ISREG(info.st_mode))
                    facts.Size = qint64(info.st_size);
            }
            facts.Values =
                package ? PackageValues(TMsiPackage(path)) : VersionValues(*ReadVerInfo(path));
        }
        facts.HaveInfo = true;
    } catch (const std::exception&) {
        facts.HaveInfo = false;
        facts.Values = NoVersionValues();
    }
    return facts;
}

void HarvestFile(TDataSet& table, const QString& path, THarvestStats* stats)
{
    HarvestFile(table, path, THarvestOptions(), stats);
}

bool HarvestFile(TDataSet& table, const QString& path, const THarvestOptions& options,
                 THarvestStats* stats)
{
    // Only the reading may fail quietly; an error of the catalogue while the values
    // are written is the user's to see.
    TFileFacts facts;
    {
        TSpan span(stats ? &stats->ReadNs : nullptr);
        // The size matters only for a path some record holds.
        facts = ReadFileFacts(path, options.Members, options.Known && options.Known->HasPath(path),
                              options.Icons != nullptr, options.Packages);
    }
    const QString fileVersion = ValueOf(facts.Values, u"FileVersion");
    if (options.Known &&
        options.Known->State(path, facts.Size, fileVersion) == TKnownState::Known) {
        if (stats)
            ++stats->Skipped;
        return false;
    }

    TSpan span(stats ? &stats->StoreNs : nullptr);
    // Leaving the current record the ordinary way keeps what the user typed into it.
    table.CheckBrowseMode();
    table.Insert();
    table.FieldByName(u"FileName"_s)->SetAsString(path);
    for (int i = 0; i < VersionColumnCount; ++i)
        table.FieldByName(VersionColumns[i].toString())->SetAsString(facts.Values[i].Value);
    if (facts.Member) {
        // Split after the member's folder, as the file information window splits a
        // plain file's path.
        const qsizetype slash = path.lastIndexOf(u'/');
        table.FieldByName(u"PlacingProgram"_s)->SetAsString(path.left(slash + 1));
        table.FieldByName(u"ExtractFileName"_s)->SetAsString(path.mid(slash + 1));
    }
    TField* images = table.FieldByName(u"Images"_s);
    if (options.Icons && facts.Icon && images->AsString().isEmpty()) {
        const QString file = path.section(u'/', -1);
        const qsizetype dot = file.lastIndexOf(u'.');
        const QString name = (dot > 0 ? file.left(dot) : file) + u".ico"_s;
        try {
            images->SetAsString(options.Icons->StoreData(name, *facts.Icon, images->Size()));
        } catch (const EError&) {
            // The record matters more than its picture: it is saved without one.
        }
    }
    table.Post();
    if (options.Known)
        options.Known->Add(path, fileVersion);
    if (stats) {
        ++stats->Files;
        if (!facts.HaveInfo)
            ++stats->NoInfo;
    }
    return true;
}

} // namespace Harvest
