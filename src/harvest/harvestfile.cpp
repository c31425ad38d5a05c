#include "harvest/harvestfile.h"

#include "store/dataset.h"

#include <QElapsedTimer>

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

void HarvestFile(TDataSet& table, const QString& path, THarvestStats* stats)
{
    TField* fileName;
    TField* columns[VersionColumnCount];
    {
        TSpan span(stats ? &stats->StoreNs : nullptr);
        // Leaving the current record the ordinary way keeps what the user typed into it.
        table.CheckBrowseMode();
        table.Insert();
        fileName = table.FieldByName(u"FileName"_s);
        for (int i = 0; i < VersionColumnCount; ++i)
            columns[i] = table.FieldByName(VersionColumns[i].toString());
    }
    // Only the reading may fail quietly; an error of the catalogue while the values
    // are written is the user's to see.
    TVersionValues values;
    bool haveInfo = true;
    {
        TSpan span(stats ? &stats->ReadNs : nullptr);
        try {
            values = VersionValues(*ReadVerInfo(path));
        } catch (const std::exception&) {
            haveInfo = false;
            values = NoVersionValues();
        }
    }
    {
        TSpan span(stats ? &stats->StoreNs : nullptr);
        fileName->SetAsString(path);
        for (int i = 0; i < VersionColumnCount; ++i)
            columns[i]->SetAsString(values[i].Value);
        if (!haveInfo && stats)
            ++stats->NoInfo;
    }
    TSpan span(stats ? &stats->StoreNs : nullptr);
    table.Post();
    if (stats)
        ++stats->Files;
}

} // namespace Harvest
