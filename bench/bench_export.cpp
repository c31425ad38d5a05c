// Spreadsheet export figures on a large generated catalogue: the time of a whole
// export, resident memory while it runs, and python3-xlsxwriter writing the same
// sheet from the same rows (constant memory) in the same run, for comparison.
//   bench_export [RECORDS]    (default 100000)

#include "bench/benchutil.h"
#include "bench/gencatalogue.h"
#include "export/spreadsheetexport.h"
#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace {

// Writes the sheet the export writes: same layout, same rows, every cell a string.
// Only the writing is timed; reading the rows file is not.
const char* PythonWriter = R"PY(
import sys, time, xlsxwriter
rows_path, out_path, widths, titles = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4]
with open(rows_path, encoding="utf-8") as f:
    rows = [line.rstrip("\n").split("\t") for line in f]
widths = [int(w) for w in widths.split(",")]
titles = titles.split("\t")
start = time.perf_counter()
wb = xlsxwriter.Workbook(out_path, {"constant_memory": True})
ws = wb.add_worksheet("Экспорт")
title = wb.add_format({"bold": True, "font_size": 15, "font_color": "#0000FF"})
bold = wb.add_format({"bold": True})
for c, w in enumerate(widths):
    ws.set_column(c, c, w)
ws.freeze_panes(2, 0)
ws.set_row(0, None, title)
ws.write_string(0, 3, "Tresmol - экспорт базы данных ", title)
ws.set_row(1, None, bold)
for c, t in enumerate(titles):
    ws.write_string(1, c, t, bold)
for r, row in enumerate(rows, start=2):
    for c, v in enumerate(row):
        if v:
            ws.write_string(r, c, v)
wb.close()
print("%.1f" % ((time.perf_counter() - start) * 1000))
)PY";

QString SystemPython()
{
    return QFileInfo::exists(u"/usr/bin/python3"_s) ? u"/usr/bin/python3"_s : u"python3"_s;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Tresmol.mdb"_s);
    const double gen = TimeMs([&] { GenerateCatalogue(path, count); });
    std::printf("generated %d records in %.0f ms\n", count, gen);

    TDataModule1 dm(nullptr, Catalogue::ConnectionStringFor(path));
    dm.BookTable.Open();
    // A main window's after-scroll step stands in: count how often it would run.
    int scrolls = 0;
    dm.BookTable.AfterScroll = [&scrolls](TDataSet&) { ++scrolls; };

    // Three runs; resident memory sampled at every progress report.
    std::vector<double> times;
    double rssBefore = 0, rssPeak = 0, rssAtTenth = 0;
    // Time from the first report of all rows written to the end: the workbook's
    // assembly and compression, reported on every tenth of a second.
    double allRows = -1, assembly = 0;
    int reports = 0;
    qint64 size = 0;
    for (int run = 0; run < 3; ++run) {
        const QString out = dir.filePath(u"run%1.xlsx"_s.arg(run));
        rssBefore = ResidentMb();
        rssPeak = rssBefore;
        rssAtTenth = 0;
        scrolls = 0;
        allRows = -1;
        reports = 0;
        QElapsedTimer clock;
        clock.start();
        times.push_back(TimeMs([&] {
            SpreadsheetExport::WriteWorkbook(dm.BookTable, out, [&](int done, int total) {
                const double now = clock.nsecsElapsed() / 1e6;
                ++reports;
                if (done == total) {
                    if (allRows < 0)
                        allRows = now;
                    assembly = now - allRows;
                }
                const double rss = ResidentMb();
                rssPeak = std::max(rssPeak, rss);
                if (rssAtTenth == 0 && done >= total / 10)
                    rssAtTenth = rss;
            });
        }));
        size = QFileInfo(out).size();
        std::printf("  run %d: %.0f ms, of which %.0f ms compressing; %d progress reports\n",
                    run + 1, times.back(), assembly, reports);
    }
    const double ours = Median(times);
    std::printf("export of %d records: %.0f ms (median of 3), %.1f MB workbook, "
                "after-scroll ran %d times\n",
                count, ours, size / 1048576.0, scrolls);
    std::printf("resident memory: %.1f MB before, %.1f MB at 10%%, %.1f MB at its peak "
                "(%.1f MB above the start); process peak %.1f MB\n",
                rssBefore, rssAtTenth, rssPeak, rssPeak - rssBefore, ResidentMb("VmHWM:"));

    // The share of reading: every exported cell of the view as text, nothing written.
    {
        std::vector<int> fields;
        for (const auto& c : SpreadsheetExport::Columns())
            fields.push_back(dm.BookTable.FieldByName(c.Field)->Index());
        qint64 chars = 0;
        const double read = TimeMs([&] {
            for (int row = 0; row < dm.BookTable.ViewRowCount(); ++row)
                for (int f : fields)
                    chars += dm.BookTable.ViewText(row, f).size();
        });
        std::printf("reading the view alone: %.0f ms (%lld characters)\n", read, chars);
    }

    // The same rows for python3-xlsxwriter, one line of 23 texts per record.
    const QString rowsPath = dir.filePath(u"rows.tsv"_s);
    {
        QFile f(rowsPath);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        QTextStream ts(&f);
        const auto& columns = SpreadsheetExport::Columns();
        std::vector<int> fields;
        for (const auto& c : columns)
            fields.push_back(dm.BookTable.FieldByName(c.Field)->Index());
        for (int row = 0; row < dm.BookTable.ViewRowCount(); ++row) {
            for (size_t c = 0; c < fields.size(); ++c) {
                if (c)
                    ts << '\t';
                ts << dm.BookTable.ViewText(row, fields[c])
                          .replace(u'\t', u' ')
                          .replace(u'\n', u' ');
            }
            ts << '\n';
        }
    }
    QStringList widths, titles;
    for (const auto& c : SpreadsheetExport::Columns()) {
        widths << QString::number(c.Width);
        titles << c.Title;
    }
    const QString script = dir.filePath(u"writer.py"_s);
    {
        QFile f(script);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        f.write(PythonWriter);
    }
    QProcess py;
    double pyTotal = TimeMs([&] {
        py.start(SystemPython(), {script, rowsPath, dir.filePath(u"python.xlsx"_s),
                                  widths.join(u','), titles.join(u'\t')});
        py.waitForFinished(-1);
    });
    if (py.exitCode() != 0) {
        std::printf("python3-xlsxwriter failed: %s\n", py.readAllStandardError().constData());
        return 1;
    }
    const double pyWrite = py.readAllStandardOutput().trimmed().toDouble();
    std::printf("python3-xlsxwriter, same rows, constant memory: %.0f ms writing "
                "(%.0f ms with start-up and reading the rows)\n",
                pyWrite, pyTotal);
    std::printf("ratio export / python3-xlsxwriter writing: %.2f\n", ours / pyWrite);
    return 0;
}
