// The spreadsheet export, checked through an independent reader: every workbook the
// tests write is read back with openpyxl (readworkbook.py) and compared with what the
// sheet must hold.

#include "export/spreadsheetexport.h"
#include "export/unnamedfile.h"
#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"
#include "store/catalogue/schema.h"
#include "store/catalogue/search.h"
#include "store/rows/dberrors.h"
#include "tests/common/outsidesql.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <csignal>
#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString ReaderScript = QStringLiteral(TRESMOL_SOURCE_DIR "/tests/export/readworkbook.py");

// What the reader saw: the whole JSON, and the cells by (row, column).
struct TReadBack {
    QJsonObject Json;
    QMap<QPair<int, int>, QJsonObject> Cells;

    // A cell's text, or its number in plain decimal.
    QString Text(int row, int column) const
    {
        const QJsonValue v = Cells.value({row, column}).value(u"value"_s);
        return v.isDouble() ? QString::number(qint64(v.toDouble())) : v.toString();
    }
    // Record rows from row 3, 23 texts each, empty cells as "".
    QList<QStringList> Records() const
    {
        QList<QStringList> rows;
        const int maxRow = Json.value(u"maxRow"_s).toInt();
        for (int r = 3; r <= maxRow; ++r) {
            QStringList row;
            for (int c = 1; c <= 23; ++c)
                row << Text(r, c);
            rows << row;
        }
        return rows;
    }
};

// Runs the reader on PATH; an empty ERROR means it worked.
TReadBack ReadBack(const QString& path, QString& error)
{
    TReadBack rb;
    QProcess p;
    p.start(QStringLiteral(TRESMOL_EXPORT_PYTHON), {ReaderScript, path});
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        error = u"reader failed: "_s + QString::fromUtf8(p.readAllStandardError());
        return rb;
    }
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(p.readAllStandardOutput(), &pe);
    if (!doc.isObject()) {
        error = u"reader printed no JSON: "_s + pe.errorString();
        return rb;
    }
    rb.Json = doc.object();
    for (const QJsonValue& v : rb.Json.value(u"cells"_s).toArray()) {
        const QJsonObject cell = v.toObject();
        rb.Cells.insert({cell.value(u"row"_s).toInt(), cell.value(u"column"_s).toInt()}, cell);
    }
    return rb;
}

#define READ_BACK(var, path)                                                                       \
    QString var##Error;                                                                            \
    const TReadBack var = ReadBack(path, var##Error);                                              \
    QVERIFY2(var##Error.isEmpty(), qPrintable(var##Error))

// The whole first sheet of PATH as openpyxl streams it: one JSON array per row.
QList<QJsonArray> ReadRows(const QString& path, QString& error)
{
    QList<QJsonArray> rows;
    QProcess p;
    p.start(QStringLiteral(TRESMOL_EXPORT_PYTHON), {ReaderScript, u"--rows"_s, path});
    if (!p.waitForFinished(600000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        error = u"reader failed: "_s + QString::fromUtf8(p.readAllStandardError());
        return rows;
    }
    const QByteArray out = p.readAllStandardOutput();
    for (const QByteArray& line : out.split('\n')) {
        if (line.isEmpty())
            continue;
        const QJsonDocument doc = QJsonDocument::fromJson(line);
        if (!doc.isArray()) {
            error = u"reader printed a line that is no row: "_s + QString::fromUtf8(line);
            return rows;
        }
        rows << doc.array();
    }
    return rows;
}

// Every file in FOLDER, hidden ones too.
QStringList FilesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

// The width a spreadsheet file stores for a column of N characters of a font whose
// digits are 7 pixels wide (the default Calibri 11): ECMA-376 Part 1, 18.3.1.13.
double StoredWidth(int characters)
{
    return std::trunc((characters * 7.0 + 5.0) / 7.0 * 256.0) / 256.0;
}

// A catalogue in a temporary folder with its data module.
class TCatalogue {
public:
    TCatalogue()
    {
        FPath = FDir.filePath(u"Tresmol.mdb"_s);
        Catalogue::Create(FPath);
    }

    // Adds COUNT records named "Программа NNNNN" straight through SQL, in one
    // transaction: quick enough for thousands of rows. Call before Open().
    void Bulk(int count)
    {
        const TSqliteDatabase db = OutsideConnection(FPath);
        TSqliteTransaction transaction(db);
        TSqliteStatement q = db.Prepare(
            R"(INSERT INTO "SoftTable" ("ProductName", "CompanyName", "Year") VALUES (?, ?, ?))");
        for (int i = 1; i <= count; ++i) {
            BindAll(q, {u"Программа %1"_s.arg(i, 5, 10, QChar(u'0')),
                        u"Производитель %1"_s.arg(i % 97), 1990 + i % 30});
            q.Step();
            q.Reset();
        }
        transaction.Commit();
    }

    // Adds COUNT records with every exported field filled in varied ways (Cyrillic,
    // markup characters, blanks at the ends, empty values, dangling references,
    // negative and missing integers), and a few rows in each reference list, straight
    // through SQL. Call before Open().
    void Varied(int count)
    {
        const TSqliteDatabase db = OutsideConnection(FPath);
        TSqliteTransaction transaction(db);
        const QStringList refs = {u"TypeDiscBase:TypeDisc"_s,
                                  u"ManufacturerDiscBase:ManufacturerDiscType"_s,
                                  u"ProgramtypeBase:ProgramtypeType"_s,
                                  u"PlatformBase:TypePlatform"_s, u"CategoryBase:CategoryType"_s};
        for (const QString& ref : refs) {
            const QStringList tc = ref.split(u':');
            for (int i = 1; i <= 4; ++i)
                db.Exec(u"INSERT INTO \"%1\" (\"%2\") VALUES ('%2 № %3 <&>')"_s
                            .arg(tc[0], tc[1], QString::number(i))
                            .toUtf8());
        }
        const QStringList columns = {u"ProductName"_s,
                                     u"FileName"_s,
                                     u"CompanyName"_s,
                                     u"Language"_s,
                                     u"Programtype"_s,
                                     u"TypeDisc"_s,
                                     u"ManufacturerDisc"_s,
                                     u"Category"_s,
                                     u"Platform"_s,
                                     u"OriginalFilename"_s,
                                     u"InternalName"_s,
                                     u"ProductVersion"_s,
                                     u"FileVersion"_s,
                                     u"Comments"_s,
                                     u"Size"_s,
                                     u"Year"_s,
                                     u"Label"_s,
                                     u"Rating"_s,
                                     u"LangID"_s,
                                     u"CodePage"_s,
                                     u"LegalTrademarks"_s,
                                     u"LegalCopyright"_s};
        QStringList marks;
        for (qsizetype i = 0; i < columns.size(); ++i)
            marks << u"?"_s;
        TSqliteStatement q =
            db.Prepare((u"INSERT INTO \"SoftTable\" (\""_s + columns.join(u"\", \""_s) +
                        u"\") VALUES ("_s + marks.join(u", "_s) + u")"_s)
                           .toUtf8());
        const QStringList words = {u"Архиватор"_s, u"Tool"_s,   u"A & B"_s,   u"<Pro>"_s,
                                   u"Игра"_s,      u"Office"_s, u"Средство"_s};
        for (int i = 1; i <= count; ++i) {
            const QString w = words[i % words.size()];
            const auto maybe = [i](int every, const QVariant& v) {
                return i % every ? v : QVariant();
            };
            QVariantList values;
            values << QString(w + u' ' + QString::number(i * 7919 % 100003));
            values << u"D:\\Диск %1\\%2.exe"_s.arg(i % 300).arg(w);
            values << maybe(5, u"Фирма «%1»"_s.arg(i % 41));
            values << (i % 2 ? u"Русский"_s : u"English (United States)"_s);
            for (int ref = 0; ref < 5; ++ref) // 0 and 5 match no row
                values << (i + ref) % 6;
            values << maybe(3, QString(w.toLower() + u".exe"_s));
            values << maybe(4, w.toLower());
            values << u"%1.%2"_s.arg(i % 13).arg(i % 100);
            values << u"%1.%2.0.%3"_s.arg(i % 13).arg(i % 100).arg(i);
            values << (i % 9 == 0 ? u" с пробелами по краям "_s : u"www.example.org"_s);
            values << u"%1 МБ"_s.arg(i % 700);
            values << (i % 11 ? QVariant(1980 + i % 45) : QVariant());
            values << maybe(7, u"Примечание\nв две строки"_s);
            values << (i % 13 ? QVariant(i % 6 - 1) : QVariant());
            values << (i % 2 ? u"0409"_s : u"0419"_s);
            values << (i % 2 ? u"04B0"_s : u"1251"_s);
            values << maybe(2, u"™ %1"_s.arg(w));
            values << u"© %1 %2"_s.arg(1990 + i % 30).arg(w);
            BindAll(q, values);
            q.Step();
            q.Reset();
        }
        transaction.Commit();
    }

    TDataModule1& Open()
    {
        QStringList errors;
        FDm = std::make_unique<TDataModule1>([&errors](const QString& m) { errors << m; },
                                             Catalogue::ConnectionStringFor(FPath));
        if (!errors.isEmpty())
            qFatal("cannot open the test catalogue: %s", qPrintable(errors.join(u'\n')));
        FDm->BookTable.Open();
        return *FDm;
    }

    TDataModule1& Dm() { return *FDm; }
    TDataSet& Table() { return FDm->BookTable; }
    const QString& Path() const { return FPath; }

    static int AddReference(TDataSet& ref, const QString& text)
    {
        ref.Append();
        ref.Fields(1)->SetAsString(text);
        ref.Post();
        return ref.Fields(0)->AsInteger();
    }

    // Appends a record with VALUES (field name -> value).
    void AddRecord(const QMap<QString, QVariant>& values)
    {
        TDataSet& t = Table();
        t.Append();
        for (auto it = values.begin(); it != values.end(); ++it)
            t.FieldByName(it.key())->SetValue(it.value());
        t.Post();
    }

private:
    QTemporaryDir FDir;
    QString FPath;
    std::unique_ptr<TDataModule1> FDm;
};

// Holds the file-size limit of this process at BYTES while it lives; writes beyond it
// fail as on a full disk.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &FSaved);
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim = FSaved;
        lim.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~TFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &FSaved);
        std::signal(SIGXFSZ, FOldHandler);
    }

private:
    rlimit FSaved{};
    void (*FOldHandler)(int) = nullptr;
};

} // namespace

class TestSpreadsheetExport : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void layoutColumns_data();
    void layoutColumns();
    void layoutSheet();
    void everyColumnIsAmongTheShownFields();

    void recordValues_data();
    void recordValues();
    void integersAreNumbers();
    void wholeSheetEqualsTheView_data();
    void wholeSheetEqualsTheView();

    void viewOrderAndNumbers_data();
    void viewOrderAndNumbers();
    void emptyCatalogue();

    void textSpelling_data();
    void textSpelling();
    void longTextIsCut_data();
    void longTextIsCut();
    void pendingChangeIsTakenIn();
    void progressReports();

    void freshFileName_data();
    void freshFileName();
    void neverOverwrites();
    void linkAtTargetIsNeverFollowed_data();
    void linkAtTargetIsNeverFollowed();
    void freshFileNameSkipsLinks();
    void nothingNamedWhileWriting_data();
    void nothingNamedWhileWriting();
    void exportCatalogueWritesToDocuments();

    void closedCatalogueWritesNothing();
    void missingOrFileFolderIsAnError_data();
    void missingOrFileFolderIsAnError();
    void failedWriteLeavesNoFile();

    void commandLineWritesTheView();
    void commandLineSaysWhatWasCut();

private:
    QTemporaryDir FHome;
    QTemporaryDir FOut;
    // The small catalogue of the layout and value tests, exported once.
    std::unique_ptr<TCatalogue> FSmall;
    TReadBack FSmallSheet;
};

void TestSpreadsheetExport::initTestCase()
{
    QVERIFY(FHome.isValid());
    QVERIFY(FOut.isValid());
    // Keep the user's folders out of reach: documents go to a fresh home.
    qputenv("HOME", QFile::encodeName(FHome.path()));
    qunsetenv("XDG_CONFIG_HOME");
    QStandardPaths::setTestModeEnabled(true);

    FSmall = std::make_unique<TCatalogue>();
    TDataModule1& dm = FSmall->Open();
    const int type = TCatalogue::AddReference(dm.ProgramTypeADOTable, u"Бесплатная"_s);
    const int disc = TCatalogue::AddReference(dm.TypeDiscADOTable, u"CD-R"_s);
    const int maker = TCatalogue::AddReference(dm.ManufacturerADOTable, u"Verbatim"_s);
    const int category = TCatalogue::AddReference(dm.CategoryADOTable, u"Архиваторы"_s);
    const int platform =
        TCatalogue::AddReference(dm.PlatformADOTable, u"Windows XP Professional x64"_s);

    // 1: every exported field filled, Cyrillic included.
    FSmall->AddRecord({
        {u"ProductName"_s, u"Архиватор 7-Zip"_s},
        {u"FileName"_s, u"D:\\Софт\\7-Zip\\7z.exe"_s},
        {u"CompanyName"_s, u"Игорь Павлов"_s},
        {u"Language"_s, u"Русский"_s},
        {u"Programtype"_s, type},
        {u"TypeDisc"_s, disc},
        {u"ManufacturerDisc"_s, maker},
        {u"Category"_s, category},
        {u"Platform"_s, platform},
        {u"OriginalFilename"_s, u"7z.exe"_s},
        {u"InternalName"_s, u"7z"_s},
        {u"ProductVersion"_s, u"9.20"_s},
        {u"FileVersion"_s, u"9.20.0.0"_s},
        {u"Comments"_s, u"www.7-zip.org"_s},
        {u"Size"_s, u"1,1 МБ"_s},
        {u"Year"_s, 2010},
        {u"Label"_s, u"Лучший архиватор"_s},
        {u"Rating"_s, 5},
        {u"LangID"_s, u"0419"_s},
        {u"CodePage"_s, u"1251"_s},
        {u"LegalTrademarks"_s, u"7-Zip™"_s},
        {u"LegalCopyright"_s, u"© 1999-2010 Игорь Павлов"_s},
        // Not exported:
        {u"FileDescription"_s, u"Описание не выгружается"_s},
        {u"Serialnumber"_s, u"SECRET-1"_s},
    });
    // 2: nothing but a name.
    FSmall->AddRecord({{u"ProductName"_s, u"Пустая запись"_s}});
    // 3: every reference key dangling, a negative year, a large rating.
    FSmall->AddRecord({
        {u"ProductName"_s, u"Dangling"_s},
        {u"CompanyName"_s, u"ACME"_s},
        {u"Programtype"_s, 9001},
        {u"TypeDisc"_s, 9002},
        {u"ManufacturerDisc"_s, 9003},
        {u"Category"_s, 9004},
        {u"Platform"_s, 9005},
        {u"Year"_s, -1},
        {u"Rating"_s, 1234567},
    });
    // Columns the user hid or narrowed in the grid change nothing.
    for (int i = 0; i < FSmall->Table().FieldCount(); i += 2)
        FSmall->Table().Fields(i)->SetVisible(false);
    FSmall->Table().FieldByName(u"ProductName"_s)->SetDisplayWidth(3);

    const QString path = FOut.filePath(u"small.xlsx"_s);
    SpreadsheetExport::WriteWorkbook(FSmall->Table(), path);
    QString error;
    FSmallSheet = ReadBack(path, error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestSpreadsheetExport::layoutColumns_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("width");
    const QList<std::pair<QString, int>> expected = {
        {u"Номер"_s, 10},
        {u"Название программы"_s, 20},
        {u"Название файла"_s, 20},
        {u"Производитель"_s, 20},
        {u"Язык"_s, 20},
        {u"Тип программы"_s, 20},
        {u"Тип диска"_s, 20},
        {u"Производитель"_s, 20},
        {u"Категория"_s, 20},
        {u"Платформа"_s, 20},
        {u"Исходное имя файла"_s, 20},
        {u"Внутреннее имя"_s, 20},
        {u"Версия программы"_s, 20},
        {u"Версия файла"_s, 20},
        {u"Сайт(коммент.)"_s, 20},
        {u"Размер"_s, 9},
        {u"Год"_s, 9},
        {u"Примечание"_s, 20},
        {u"Рейтинг"_s, 20},
        {u"Lang. ID"_s, 10},
        {u"Code Page"_s, 10},
        {u"Товарные знаки"_s, 20},
        {u"Авторские права"_s, 20},
    };
    for (int c = 1; c <= expected.size(); ++c)
        QTest::addRow("column %d", c) << c << expected[c - 1].first << expected[c - 1].second;
}

// The command line exports from a catalogue opened with its shown fields only.
void TestSpreadsheetExport::everyColumnIsAmongTheShownFields()
{
    const QVector<TFieldDef> all = Schema::FieldDefs(u"SoftTable"_s);
    const QVector<TFieldDef> shown = Schema::ShownFieldDefs(u"SoftTable"_s);
    for (const auto& c : SpreadsheetExport::Columns()) {
        int at = -1;
        for (int i = 0; i < all.size(); ++i)
            if (all[i].FieldName == c.Field)
                at = i;
        QVERIFY2(at >= 0, qPrintable(c.Field));
        QVERIFY2(shown[at].Kind == all[at].Kind, qPrintable(c.Field + u" is not read"_s));
    }
}

void TestSpreadsheetExport::layoutColumns()
{
    QFETCH(int, column);
    QFETCH(QString, title);
    QFETCH(int, width);
    const TReadBack& rb = FSmallSheet;
    QCOMPARE(rb.Text(2, column), title);
    const QJsonObject font = rb.Cells.value({2, column}).value(u"font"_s).toObject();
    QVERIFY(font.value(u"bold"_s).toBool());
    QCOMPARE(rb.Json.value(u"widths"_s).toObject().value(QString::number(column)).toDouble(),
             StoredWidth(width));
}

void TestSpreadsheetExport::layoutSheet()
{
    const TReadBack& rb = FSmallSheet;
    QCOMPARE(rb.Json.value(u"sheets"_s).toArray(), QJsonArray({u"Экспорт"_s}));

    // Row 1: the one title cell, D1, ending in a blank.
    QCOMPARE(rb.Text(1, 4), u"Tresmol - экспорт базы данных "_s);
    for (auto it = rb.Cells.begin(); it != rb.Cells.end(); ++it)
        if (it.key().first == 1)
            QCOMPARE(it.key().second, 4);
    // Row 1's font, for the whole row and for the title cell: bold, 15, pure blue.
    const QJsonObject rowFonts = rb.Json.value(u"rowFonts"_s).toObject();
    for (const QJsonObject& font :
         {rowFonts.value(u"1"_s).toObject(), rb.Cells.value({1, 4}).value(u"font"_s).toObject()}) {
        QVERIFY(font.value(u"bold"_s).toBool());
        QCOMPARE(font.value(u"size"_s).toDouble(), 15.0);
        QCOMPARE(font.value(u"colour"_s).toString().right(6), u"0000FF"_s);
    }
    // Row 2 bold as a whole; record rows are not.
    QVERIFY(rowFonts.value(u"2"_s).toObject().value(u"bold"_s).toBool());
    QVERIFY(!rowFonts.contains(u"3"_s));
    QVERIFY(!rb.Cells.value({3, 2}).value(u"font"_s).toObject().value(u"bold"_s).toBool());

    // Rows 1 and 2 frozen, no column.
    QCOMPARE(rb.Json.value(u"freeze"_s).toString(), u"A3"_s);
    const QJsonObject pane = rb.Json.value(u"pane"_s).toObject();
    QCOMPARE(pane.value(u"state"_s).toString(), u"frozen"_s);
    QCOMPARE(pane.value(u"ySplit"_s).toDouble(), 2.0);
    QCOMPARE(pane.value(u"xSplit"_s).toDouble(), 0.0);

    // 23 columns and nothing beyond.
    QCOMPARE(rb.Json.value(u"widths"_s).toObject().size(), 23);
    QCOMPARE(rb.Json.value(u"maxColumn"_s).toInt(), 23);
}

void TestSpreadsheetExport::recordValues_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("all fields, Cyrillic, reference text cut to 20")
        << 3
        << QStringList{u"1"_s,
                       u"Архиватор 7-Zip"_s,
                       u"D:\\Софт\\7-Zip\\7z.exe"_s,
                       u"Игорь Павлов"_s,
                       u"Русский"_s,
                       u"Бесплатная"_s,
                       u"CD-R"_s,
                       u"Verbatim"_s,
                       u"Архиваторы"_s,
                       u"Windows XP Professio"_s,
                       u"7z.exe"_s,
                       u"7z"_s,
                       u"9.20"_s,
                       u"9.20.0.0"_s,
                       u"www.7-zip.org"_s,
                       u"1,1 МБ"_s,
                       u"2010"_s,
                       u"Лучший архиватор"_s,
                       u"5"_s,
                       u"0419"_s,
                       u"1251"_s,
                       u"7-Zip™"_s,
                       u"© 1999-2010 Игорь Павлов"_s};
    QStringList empty(23);
    empty[0] = u"2"_s;
    empty[1] = u"Пустая запись"_s;
    QTest::newRow("empty fields and references") << 4 << empty;
    QStringList dangling(23);
    dangling[0] = u"3"_s;
    dangling[1] = u"Dangling"_s;
    dangling[3] = u"ACME"_s;
    dangling[16] = u"-1"_s;
    dangling[18] = u"1234567"_s;
    QTest::newRow("dangling references, plain decimal integers") << 5 << dangling;
}

void TestSpreadsheetExport::recordValues()
{
    QFETCH(int, row);
    QFETCH(QStringList, expected);
    const QList<QStringList> records = FSmallSheet.Records();
    QCOMPARE(records.size(), 3);
    QCOMPARE(records.at(row - 3), expected);
}

void TestSpreadsheetExport::integersAreNumbers()
{
    int cells = 0;
    for (const QJsonObject& cell : FSmallSheet.Cells) {
        const int row = cell.value(u"row"_s).toInt();
        const int column = cell.value(u"column"_s).toInt();
        // Номер, Год and Рейтинг of the records are numbers; the titles and every
        // other value are texts.
        const bool integer = row >= 3 && (column == 1 || column == 17 || column == 19);
        QCOMPARE(cell.value(u"type"_s).toString(), integer ? u"n"_s : u"s"_s);
        QCOMPARE(cell.value(u"value"_s).isDouble(), integer);
        ++cells;
    }
    // Title, 23 titles, and the filled cells of the three records.
    QCOMPARE(cells, 1 + 23 + 23 + 2 + 5);
    QCOMPARE(FSmallSheet.Cells.value({3, 17}).value(u"value"_s).toDouble(), 2010.0);
    QCOMPARE(FSmallSheet.Cells.value({5, 17}).value(u"value"_s).toDouble(), -1.0);
    // A text of digits keeps its leading zero.
    QCOMPARE(FSmallSheet.Cells.value({3, 20}).value(u"value"_s).toString(), u"0419"_s);
    // The catalogue stands on the last record of the view.
    QCOMPARE(FSmall->Table().RecNo(), 3);
}

void TestSpreadsheetExport::wholeSheetEqualsTheView_data()
{
    QTest::addColumn<int>("records");
    QTest::newRow("empty view") << 0;
    QTest::newRow("100000 records") << 100000;
}

void TestSpreadsheetExport::wholeSheetEqualsTheView()
{
    QFETCH(int, records);
    TCatalogue cat;
    cat.Varied(records);
    TDataModule1& dm = cat.Open();
    // A view in an order of its own.
    dm.BookTable.SetSort(Search::SortFieldForKey(u"name"_s));
    const QString path = FOut.filePath(u"whole-%1.xlsx"_s.arg(records));
    SpreadsheetExport::WriteWorkbook(dm.BookTable, path);
    QString error;
    const QList<QJsonArray> rows = ReadRows(path, error);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    // What each row must read: the title, the titles, then the view.
    const auto& columns = SpreadsheetExport::Columns();
    QJsonArray title, titles;
    for (int c = 0; c < 23; ++c) {
        title.append(c == 3 ? QJsonValue(u"Tresmol - экспорт базы данных "_s) : QJsonValue());
        titles.append(columns[c].Title);
    }
    QCOMPARE(rows.size(), 2 + records);
    QCOMPARE(rows[0], title);
    QCOMPARE(rows[1], titles);
    TDataSet& t = dm.BookTable;
    QCOMPARE(t.ViewRowCount(), records);
    std::vector<int> fields;
    for (const auto& c : columns)
        fields.push_back(t.FieldByName(c.Field)->Index());
    for (int r = 0; r < records; ++r) {
        QJsonArray expected;
        for (int c = 0; c < 23; ++c) {
            const int f = fields[c];
            if (t.Fields(f)->DataType() == TFieldType::ftInteger) {
                const QVariant v = t.ViewValue(r, f);
                expected.append(v.isNull() ? QJsonValue() : QJsonValue(v.toInt()));
            } else {
                const QString text = t.ViewText(r, f);
                expected.append(text.isEmpty() ? QJsonValue() : QJsonValue(text));
            }
        }
        if (rows[2 + r] != expected)
            QFAIL(qPrintable(u"row %1 reads %2, the view shows %3"_s.arg(
                QString::number(3 + r),
                QString::fromUtf8(QJsonDocument(rows[2 + r]).toJson(QJsonDocument::Compact)),
                QString::fromUtf8(QJsonDocument(expected).toJson(QJsonDocument::Compact)))));
    }
}

void TestSpreadsheetExport::viewOrderAndNumbers_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<QString>("sort");
    QTest::addColumn<QStringList>("numbers");
    QTest::addColumn<QStringList>("names");

    // The records, in the table's order, with their platform keys: Opera 1, Mozilla
    // Firefox 2, Миранда 3, Notepad++ 4, Mozart 5, Adobe 6.
    QTest::newRow("table order") << QString() << QString()
                                 << QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s}
                                 << QStringList{u"Opera"_s,     u"Mozilla Firefox"_s, u"Миранда"_s,
                                                u"Notepad++"_s, u"Mozart"_s,          u"Adobe"_s};
    QTest::newRow("sorted by name")
        << QString() << u"name"_s << QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s}
        << QStringList{u"Adobe"_s,     u"Mozart"_s, u"Mozilla Firefox"_s,
                       u"Notepad++"_s, u"Opera"_s,  u"Миранда"_s};
    QTest::newRow("search, sorted by name") << u"Mo"_s << u"name"_s << QStringList{u"1"_s, u"2"_s}
                                            << QStringList{u"Mozart"_s, u"Mozilla Firefox"_s};
    // The search expression keeps five rows, the name test shows two of them: the
    // numbers are those of the five, and only two rows are written.
    QTest::newRow("search, sorted by platform")
        << u"Mo"_s << u"platform"_s << QStringList{u"2"_s, u"5"_s}
        << QStringList{u"Mozilla Firefox"_s, u"Mozart"_s};
    QTest::newRow("Cyrillic search")
        << u"Ми"_s << QString() << QStringList{u"1"_s} << QStringList{u"Миранда"_s};
    // "Миранда" passes the expression but not the name test: nothing is shown.
    QTest::newRow("search matching nothing")
        << u"Zzz"_s << QString() << QStringList() << QStringList();
}

void TestSpreadsheetExport::viewOrderAndNumbers()
{
    QFETCH(QString, search);
    QFETCH(QString, sort);
    QFETCH(QStringList, numbers);
    QFETCH(QStringList, names);

    TCatalogue cat;
    TDataModule1& dm = cat.Open();
    const QStringList all = {u"Opera"_s,     u"Mozilla Firefox"_s, u"Миранда"_s,
                             u"Notepad++"_s, u"Mozart"_s,          u"Adobe"_s};
    for (int i = 0; i < all.size(); ++i)
        cat.AddRecord({{u"ProductName"_s, all[i]}, {u"Platform"_s, i + 1}});
    if (!sort.isEmpty())
        dm.BookTable.SetSort(Search::SortFieldForKey(sort));
    Search::Apply(dm, search);

    // What the main window's status bar and picture would be told.
    QList<int> scrolledTo;
    dm.BookTable.AfterScroll = [&scrolledTo](TDataSet& ds) { scrolledTo << ds.RecNo(); };

    const QString path = FOut.filePath(QString::fromLatin1(QTest::currentDataTag()) + u".xlsx"_s);
    SpreadsheetExport::WriteWorkbook(dm.BookTable, path);
    READ_BACK(rb, path);

    const QList<QStringList> records = rb.Records();
    QStringList gotNumbers, gotNames;
    for (const QStringList& r : records) {
        gotNumbers << r[0];
        gotNames << r[1];
    }
    QCOMPARE(gotNumbers, numbers);
    QCOMPARE(gotNames, names);
    QCOMPARE(rb.Text(2, 23), u"Авторские права"_s); // titles even for an empty view

    // The walk ends on the view's last record, and the after-scroll step saw it; it
    // ran for the first and the last record, not for every one between.
    if (!names.isEmpty()) {
        QCOMPARE(dm.BookTable.FieldByName(u"ProductName"_s)->AsString(), names.last());
        QCOMPARE(QString::number(dm.BookTable.RecNo()), numbers.last());
        QVERIFY(!scrolledTo.isEmpty());
        QCOMPARE(QString::number(scrolledTo.last()), numbers.last());
        QVERIFY(scrolledTo.size() <= 2);
    }
}

void TestSpreadsheetExport::emptyCatalogue()
{
    TCatalogue cat;
    TDataModule1& dm = cat.Open();
    const QString path = FOut.filePath(u"empty.xlsx"_s);
    SpreadsheetExport::WriteWorkbook(dm.BookTable, path);
    READ_BACK(rb, path);
    QCOMPARE(rb.Json.value(u"maxRow"_s).toInt(), 2);
    QCOMPARE(rb.Records().size(), 0);
    QCOMPARE(rb.Text(1, 4), u"Tresmol - экспорт базы данных "_s);
    QCOMPARE(rb.Text(2, 1), u"Номер"_s);
    QCOMPARE(rb.Json.value(u"freeze"_s).toString(), u"A3"_s);
    QCOMPARE(rb.Json.value(u"widths"_s).toObject().size(), 23);
}

void TestSpreadsheetExport::textSpelling_data()
{
    // How the file spells a text (openpyxl shows the spelling, a spreadsheet shows the
    // text): control characters as _xHHHH_, a literal _xHHHH_ with its underscore
    // escaped, markup characters and blanks as they are.
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stored");
    QTest::newRow("markup") << u"  a & <b> \"c\" 'd' "_s << u"  a & <b> \"c\" 'd' "_s;
    QTest::newRow("line break and tab") << u"1\n2\t3"_s << u"1\n2\t3"_s;
    QTest::newRow("control character") << u"A\u0001B"_s << u"A_x0001_B"_s;
    QTest::newRow("literal escape") << u"_x0041_ и _X0041_"_s << u"_x005F_x0041_ и _X0041_"_s;
    QTest::newRow("not an escape") << u"_x00G1_ _x12_"_s << u"_x00G1_ _x12_"_s;
}

void TestSpreadsheetExport::textSpelling()
{
    QFETCH(QString, text);
    QFETCH(QString, stored);
    TCatalogue cat;
    TDataModule1& dm = cat.Open();
    cat.AddRecord({{u"ProductName"_s, u"Имя"_s}, {u"Comments"_s, text}});
    const QString path =
        FOut.filePath(u"spelling-%1.xlsx"_s.arg(QString::fromUtf8(QTest::currentDataTag())));
    SpreadsheetExport::WriteWorkbook(dm.BookTable, path);
    READ_BACK(rb, path);
    QCOMPARE(rb.Text(3, 15), stored);
}

void TestSpreadsheetExport::longTextIsCut_data()
{
    // A catalogue edited from outside can hold texts longer than a cell takes.
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("said");
    const QString limit(32767, u'я');
    QTest::newRow("at the limit") << limit << limit << false;
    QTest::newRow("one over") << limit + u'!' << limit << true;
    QTest::newRow("far over") << QString(100000, u'x') << QString(32767, u'x') << true;
    // The cut never splits a pair of UTF-16 halves.
    const QString pair = u"😀"_s;
    QTest::newRow("a pair across the limit")
        << QString(32766, u'a') + pair + u"rest"_s << QString(32766, u'a') << true;
}

void TestSpreadsheetExport::longTextIsCut()
{
    QFETCH(QString, text);
    QFETCH(QString, stored);
    QFETCH(bool, said);
    TCatalogue cat;
    {
        const TSqliteDatabase db = OutsideConnection(cat.Path());
        TSqliteStatement q = db.Prepare(
            R"(INSERT INTO "SoftTable" ("ProductName", "Comments", "Label") VALUES (?, ?, ?))");
        BindAll(q, {u"Длинный"_s, text, u"после"_s});
        q.Step();
    }
    TDataModule1& dm = cat.Open();
    QCOMPARE(dm.BookTable.FieldByName(u"Comments"_s)->AsString(), text);

    QStringList words;
    const QString path =
        FOut.filePath(u"long-%1.xlsx"_s.arg(QString::fromUtf8(QTest::currentDataTag())));
    SpreadsheetExport::WriteWorkbook(dm.BookTable, path, {},
                                     [&](const SpreadsheetExport::TCutText& cut) {
                                         QCOMPARE(SpreadsheetExport::CellName(cut), u"O3"_s);
                                         QCOMPARE(cut.Limit, 32767);
                                         QCOMPARE(cut.Length, text.size());
                                         words << SpreadsheetExport::CutTextMessage(cut);
                                     });
    READ_BACK(rb, path);
    QCOMPARE(rb.Text(3, 15), stored);
    // The rest of the row is written.
    QCOMPARE(rb.Text(3, 2), u"Длинный"_s);
    QCOMPARE(rb.Text(3, 18), u"после"_s);
    if (said) {
        QCOMPARE(words.size(), 1);
        QVERIFY2(words[0].contains(u"O3"_s) && words[0].contains(u"32767"_s) &&
                     words[0].contains(QString::number(text.size())),
                 qPrintable(words[0]));
    } else {
        QCOMPARE(words, QStringList());
    }
}

void TestSpreadsheetExport::pendingChangeIsTakenIn()
{
    TCatalogue cat;
    TDataModule1& dm = cat.Open();
    cat.AddRecord({{u"ProductName"_s, u"Было"_s}});
    cat.AddRecord({{u"ProductName"_s, u"Второй"_s}});
    dm.BookTable.First();
    dm.BookTable.Edit();
    dm.BookTable.FieldByName(u"ProductName"_s)->SetAsString(u"Стало"_s);

    const QString path = FOut.filePath(u"pending.xlsx"_s);
    SpreadsheetExport::WriteWorkbook(dm.BookTable, path);
    READ_BACK(rb, path);
    QCOMPARE(rb.Text(3, 2), u"Стало"_s);
    QCOMPARE(rb.Text(4, 2), u"Второй"_s);
    // Leaving the record posted it, as any move does.
    QCOMPARE(dm.BookTable.State(), TDataSetState::dsBrowse);
    dm.BookTable.Refresh();
    dm.BookTable.First();
    QCOMPARE(dm.BookTable.FieldByName(u"ProductName"_s)->AsString(), u"Стало"_s);
}

void TestSpreadsheetExport::progressReports()
{
    TCatalogue cat;
    cat.Bulk(2500);
    TDataModule1& dm = cat.Open();
    QList<std::pair<int, int>> reports;
    const QString path = FOut.filePath(u"progress.xlsx"_s);
    SpreadsheetExport::WriteWorkbook(
        dm.BookTable, path, [&reports](int done, int total) { reports << std::pair(done, total); });
    // A start, at least two steps between (1024 and 2048), the end; never backwards.
    QCOMPARE(reports.first(), std::pair(0, 2500));
    QCOMPARE(reports.last(), std::pair(2500, 2500));
    int between = 0;
    for (int i = 1; i < reports.size(); ++i) {
        QVERIFY(reports[i].first >= reports[i - 1].first);
        QCOMPARE(reports[i].second, 2500);
        between += reports[i].first > 0 && reports[i].first < 2500;
    }
    QVERIFY(between >= 2);
    READ_BACK(rb, path);
    const QList<QStringList> records = rb.Records();
    QCOMPARE(records.size(), 2500);
    QCOMPARE(records.last()[0], u"2500"_s);
    QCOMPARE(records.last()[1], u"Программа 02500"_s);
    QCOMPARE(dm.BookTable.RecNo(), 2500);
}

void TestSpreadsheetExport::freshFileName_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("expected");
    QTest::newRow("free") << QStringList() << u"Tresmol-2026-12-10-153000.xlsx"_s;
    QTest::newRow("taken") << QStringList{u"Tresmol-2026-12-10-153000.xlsx"_s}
                           << u"Tresmol-2026-12-10-153000-2.xlsx"_s;
    QTest::newRow("taken twice") << QStringList{u"Tresmol-2026-12-10-153000.xlsx"_s,
                                                u"Tresmol-2026-12-10-153000-2.xlsx"_s}
                                 << u"Tresmol-2026-12-10-153000-3.xlsx"_s;
    QTest::newRow("only a later one taken") << QStringList{u"Tresmol-2026-12-10-153000-2.xlsx"_s}
                                            << u"Tresmol-2026-12-10-153000.xlsx"_s;
    QTest::newRow("other minute") << QStringList{u"Tresmol-2026-12-10-153100.xlsx"_s}
                                  << u"Tresmol-2026-12-10-153000.xlsx"_s;
}

void TestSpreadsheetExport::freshFileName()
{
    QFETCH(QStringList, existing);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    for (const QString& name : existing) {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    const QDateTime when(QDate(2026, 12, 10), QTime(15, 30, 0));
    QCOMPARE(SpreadsheetExport::FreshFileName(dir.path(), when), dir.filePath(expected));
}

void TestSpreadsheetExport::neverOverwrites()
{
    TCatalogue cat;
    TDataModule1& dm = cat.Open();
    cat.AddRecord({{u"ProductName"_s, u"Один"_s}});
    QTemporaryDir dir;
    const QString first = SpreadsheetExport::ExportToFolder(dm.BookTable, dir.path());
    cat.AddRecord({{u"ProductName"_s, u"Два"_s}});
    const QString second = SpreadsheetExport::ExportToFolder(dm.BookTable, dir.path());
    QVERIFY(first != second);
    QCOMPARE(QFileInfo(first).absolutePath(), QFileInfo(dir.path()).absoluteFilePath());
    READ_BACK(a, first);
    READ_BACK(b, second);
    QCOMPARE(a.Records().size(), 1);
    QCOMPARE(b.Records().size(), 2);
    // Only the two workbooks: no temporary file is left.
    QCOMPARE(FilesIn(dir.path()).size(), 2);

    // A named destination that exists is refused and kept.
    QVERIFY_THROWS_EXCEPTION(EExportError, SpreadsheetExport::WriteWorkbook(dm.BookTable, first));
    READ_BACK(again, first);
    QCOMPARE(again.Records().size(), 1);
}

void TestSpreadsheetExport::linkAtTargetIsNeverFollowed_data()
{
    QTest::addColumn<bool>("dangling");
    QTest::newRow("a link to nothing") << true;
    QTest::newRow("a link to a file") << false;
}

void TestSpreadsheetExport::linkAtTargetIsNeverFollowed()
{
    QFETCH(bool, dangling);
    TCatalogue cat;
    TDataModule1& dm = cat.Open();
    cat.AddRecord({{u"ProductName"_s, u"Ссылка"_s}});
    QTemporaryDir dir, elsewhere;
    const QString pointee = elsewhere.filePath(u"pointee.txt"_s);
    if (!dangling) {
        QFile f(pointee);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    const QString target = dir.filePath(u"out.xlsx"_s);
    QVERIFY(QFile::link(pointee, target));

    try {
        SpreadsheetExport::WriteWorkbook(dm.BookTable, target);
        QFAIL("the export wrote through a link");
    } catch (const EExportError& e) {
        QVERIFY2(e.Message().contains(u"уже существует"_s), qPrintable(e.Message()));
    }
    // The link is as it was, and nothing was written where it points.
    QCOMPARE(QFileInfo(target).symLinkTarget(), pointee);
    if (dangling) {
        QVERIFY(!QFileInfo::exists(pointee));
    } else {
        QFile f(pointee);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("keep me"));
    }
    QCOMPARE(FilesIn(dir.path()), QStringList{u"out.xlsx"_s});
    QCOMPARE(FilesIn(elsewhere.path()), dangling ? QStringList() : QStringList{u"pointee.txt"_s});
}

void TestSpreadsheetExport::freshFileNameSkipsLinks()
{
    QTemporaryDir dir;
    const QDateTime when(QDate(2026, 12, 10), QTime(15, 30, 0));
    QVERIFY(
        QFile::link(dir.filePath(u"nowhere"_s), dir.filePath(u"Tresmol-2026-12-10-153000.xlsx"_s)));
    QCOMPARE(SpreadsheetExport::FreshFileName(dir.path(), when),
             dir.filePath(u"Tresmol-2026-12-10-153000-2.xlsx"_s));
}

void TestSpreadsheetExport::nothingNamedWhileWriting_data()
{
    QTest::addColumn<bool>("unnamedFiles");
    QTest::newRow("unnamed file") << true;
    QTest::newRow("file system without unnamed files") << false;
}

void TestSpreadsheetExport::nothingNamedWhileWriting()
{
    QFETCH(bool, unnamedFiles);
    TCatalogue cat;
    cat.Bulk(3000);
    TDataModule1& dm = cat.Open();
    QTemporaryDir dir;
    TUnnamedFile::SetUnnamedFilesAllowed(unnamedFiles);
    const auto restore = qScopeGuard([] { TUnnamedFile::SetUnnamedFilesAllowed(true); });
    // What the folder holds at each report while the rows are written: a kill then
    // would leave exactly that behind.
    QSet<QString> seen;
    const QString path =
        SpreadsheetExport::ExportToFolder(dm.BookTable, dir.path(), [&](int done, int total) {
            if (done < total)
                for (const QString& name : FilesIn(dir.path()))
                    seen << name;
        });
    if (unnamedFiles) {
        QCOMPARE(seen, QSet<QString>());
    } else {
        // Where the file system cannot do better, a hidden name stands in.
        QCOMPARE(seen.size(), 1);
        QVERIFY(seen.begin()->startsWith(u".Tresmol-"_s));
    }
    QCOMPARE(FilesIn(dir.path()), QStringList{QFileInfo(path).fileName()});
    READ_BACK(rb, path);
    QCOMPARE(rb.Records().size(), 3000);
}

void TestSpreadsheetExport::exportCatalogueWritesToDocuments()
{
    TCatalogue cat;
    TDataModule1& dm = cat.Open();
    cat.AddRecord({{u"ProductName"_s, u"Документ"_s}});
    const QString path = SpreadsheetExport::ExportCatalogue(dm);
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QVERIFY(documents.startsWith(FHome.path()));
    QCOMPARE(QFileInfo(path).absolutePath(), QDir(documents).absolutePath());
    static const QRegularExpression name(u"^Tresmol-\\d{4}-\\d\\d-\\d\\d-\\d{6}(-\\d+)?\\.xlsx$"_s);
    QVERIFY2(name.match(QFileInfo(path).fileName()).hasMatch(), qPrintable(path));
    READ_BACK(rb, path);
    QCOMPARE(rb.Text(3, 2), u"Документ"_s);
}

void TestSpreadsheetExport::closedCatalogueWritesNothing()
{
    TCatalogue cat;
    TDataModule1& dm = cat.Open();
    cat.AddRecord({{u"ProductName"_s, u"Закрыто"_s}});
    dm.BookTable.Close();
    QTemporaryDir dir;
    QVERIFY_THROWS_EXCEPTION(EDatabaseError,
                             SpreadsheetExport::ExportToFolder(dm.BookTable, dir.path()));
    QCOMPARE(FilesIn(dir.path()), QStringList());
}

void TestSpreadsheetExport::missingOrFileFolderIsAnError_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing") << u"нет такой папки"_s << u"не найдена"_s;
    QTest::newRow("a file") << u"file"_s << u"не является папкой"_s;
}

void TestSpreadsheetExport::missingOrFileFolderIsAnError()
{
    QFETCH(QString, folder);
    QFETCH(QString, message);
    TCatalogue cat;
    TDataModule1& dm = cat.Open();
    QTemporaryDir dir;
    QFile file(dir.filePath(u"file"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString target = dir.filePath(folder);
    try {
        SpreadsheetExport::ExportToFolder(dm.BookTable, target);
        QFAIL("the export did not fail");
    } catch (const EExportError& e) {
        QVERIFY2(e.Message().contains(message), qPrintable(e.Message()));
        QVERIFY2(e.Message().contains(QDir::toNativeSeparators(target)), qPrintable(e.Message()));
    }
    QCOMPARE(FilesIn(dir.path()), QStringList{u"file"_s});
}

void TestSpreadsheetExport::failedWriteLeavesNoFile()
{
    TCatalogue cat;
    cat.Bulk(3000);
    TDataModule1& dm = cat.Open();
    QTemporaryDir dir;
    QString message;
    {
        // 16 KB: the sheet of 3000 records does not fit, as on a nearly full disk.
        TFileSizeLimit limit(16 * 1024);
        try {
            SpreadsheetExport::ExportToFolder(dm.BookTable, dir.path());
        } catch (const EExportError& e) {
            message = e.Message();
        }
    }
    QVERIFY2(!message.isEmpty(), "the export did not fail");
    QVERIFY2(message.contains(QDir::toNativeSeparators(dir.path())), qPrintable(message));
    QCOMPARE(FilesIn(dir.path()), QStringList());
}

void TestSpreadsheetExport::commandLineWritesTheView()
{
    QTemporaryDir dir;
    const QString catalogue = dir.filePath(u"demo.mdb"_s);
    const QString out = dir.filePath(u"out.xlsx"_s);
    const auto run = [](const QStringList& args, QByteArray* output = nullptr) {
        QProcess p;
        p.start(QStringLiteral(TRESMOL_CLI), args);
        const bool ok =
            p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        if (!ok)
            qWarning("%s", p.readAllStandardError().constData());
        if (output)
            *output = p.readAllStandardOutput();
        return ok;
    };
    QVERIFY(run({u"demo"_s, catalogue}));
    QVERIFY(run({u"export"_s, catalogue, out, u"--search"_s, u"M"_s, u"--sort"_s, u"platform"_s}));
    QByteArray listing;
    QVERIFY(
        run({u"list"_s, catalogue, u"--search"_s, u"M"_s, u"--sort"_s, u"platform"_s, u"--json"_s},
            &listing));
    // A second export to the same name is refused.
    QVERIFY(!run({u"export"_s, catalogue, out}));

    READ_BACK(rb, out);
    const QList<QStringList> records = rb.Records();
    const QList<QByteArray> lines = listing.trimmed().split('\n');
    QVERIFY(records.size() > 1);
    QCOMPARE(records.size(), lines.size());
    for (int i = 0; i < records.size(); ++i) {
        const QJsonObject o = QJsonDocument::fromJson(lines[i]).object();
        QCOMPARE(records[i][0], QString::number(o.value(u"Номер"_s).toInt()));
        QCOMPARE(records[i][1], o.value(u"ProductName"_s).toString());
        QCOMPARE(records[i][3], o.value(u"CompanyName"_s).toString());
        QCOMPARE(records[i][7], o.value(u"Производитель дисков"_s).toString());
        QCOMPARE(records[i][9], o.value(u"Платформа"_s).toString());
    }
}

void TestSpreadsheetExport::commandLineSaysWhatWasCut()
{
    QTemporaryDir dir;
    const QString catalogue = dir.filePath(u"long.mdb"_s);
    const QString out = dir.filePath(u"out.xlsx"_s);
    Catalogue::Create(catalogue);
    {
        const TSqliteDatabase db = OutsideConnection(catalogue);
        TSqliteStatement q =
            db.Prepare(R"(INSERT INTO "SoftTable" ("ProductName", "Label") VALUES (?, ?))");
        BindAll(q, {u"Первая"_s, QString(40000, u'ж')});
        q.Step();
    }
    QProcess p;
    p.start(QStringLiteral(TRESMOL_CLI), {u"export"_s, catalogue, out});
    QVERIFY(p.waitForFinished(60000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QCOMPARE(p.exitCode(), 0);
    QVERIFY2(err.contains(u"cell R3: a text of 40000 characters was cut to 32767"_s),
             qPrintable(err));
    // The command line speaks English.
    static const QRegularExpression cyrillic(u"\\p{Cyrillic}"_s);
    QVERIFY2(!err.contains(cyrillic), qPrintable(err));
    READ_BACK(rb, out);
    QCOMPARE(rb.Text(3, 18), QString(32767, u'ж'));
}

QTEST_GUILESS_MAIN(TestSpreadsheetExport)
#include "tst_spreadsheetexport.moc"
