#include "export/spreadsheetexport.h"

#include "platform/nativepath.h"
#include "store/catalogue/datamodule.h"
#include "store/catalogue/dataset.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>

#include "export/sheetwriter.h"
#include "export/unnamedfile.h"
#include "export/workbookparts.h"
#include "export/zipwriter.h"

#include <QTextStream>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <system_error>

using namespace Qt::Literals::StringLiterals;

namespace {

QString Quoted(const QString& path) { return u"«"_s + QDir::toNativeSeparators(path) + u"»"_s; }

// What a failed system call means, in the words of the error box.
QString SystemErrorText(int err)
{
    switch (err) {
    case EACCES:
    case EPERM:
        return u"нет прав на запись"_s;
    case EROFS:
        return u"диск доступен только для чтения"_s;
    case ENOSPC:
    case EDQUOT:
        return u"на диске нет места"_s;
    case EFBIG:
        return u"файл превысил допустимый размер"_s;
    case ENOENT:
    case ENOTDIR:
        return u"папка не найдена"_s;
    default:
        return QString::fromLocal8Bit(std::strerror(err));
    }
}

// The error box's text.
QString ErrorBoxWords(TExportFault fault, const QString& path, int err, qsizetype count)
{
    switch (fault) {
    case TExportFault::Taken:
        return u"Файл "_s + Quoted(path) + u" уже существует"_s;
    case TExportFault::TooManyRecords:
        return u"В лист книги помещается не больше "_s +
               QString::number(SpreadsheetExport::MaxRecords()) + u" записей, а их "_s +
               QString::number(count);
    case TExportFault::NoFolder:
        return u"Папка "_s + Quoted(path) + u" не найдена"_s;
    case TExportFault::NotAFolder:
        return Quoted(path) + u" не является папкой"_s;
    case TExportFault::CannotCreate:
        return u"Не удалось создать файл в папке "_s + Quoted(path) + u": "_s +
               SystemErrorText(err);
    case TExportFault::CannotWrite:
        return u"Не удалось записать книгу в папку "_s + Quoted(path) + u": "_s +
               SystemErrorText(err);
    case TExportFault::CannotName:
        return u"Не удалось сохранить книгу "_s + Quoted(path) + u": "_s + SystemErrorText(err);
    }
    return {};
}

} // namespace

EExportError::EExportError(TExportFault fault, const QString& path, int err, qsizetype count)
    : EError(ErrorBoxWords(fault, path, err, count)), FFault(fault), FPath(path), FErrno(err),
      FCount(count)
{
}

namespace SpreadsheetExport {

const std::array<TColumn, 23>& Columns()
{
    static const std::array<TColumn, 23> columns = {{
        {u"Номер"_s, 10, u"Номер"_s},
        {u"Название программы"_s, 20, u"ProductName"_s},
        {u"Название файла"_s, 20, u"FileName"_s},
        {u"Производитель"_s, 20, u"CompanyName"_s},
        {u"Язык"_s, 20, u"Language"_s},
        {u"Тип программы"_s, 20, u"Тип программы"_s},
        {u"Тип диска"_s, 20, u"Тип диска"_s},
        {u"Производитель"_s, 20, u"Производитель дисков"_s},
        {u"Категория"_s, 20, u"Категория"_s},
        {u"Платформа"_s, 20, u"Платформа"_s},
        {u"Исходное имя файла"_s, 20, u"OriginalFilename"_s},
        {u"Внутреннее имя"_s, 20, u"InternalName"_s},
        {u"Версия программы"_s, 20, u"ProductVersion"_s},
        {u"Версия файла"_s, 20, u"FileVersion"_s},
        {u"Сайт(коммент.)"_s, 20, u"Comments"_s},
        {u"Размер"_s, 9, u"Size"_s},
        {u"Год"_s, 9, u"Year"_s},
        {u"Примечание"_s, 20, u"Label"_s},
        {u"Рейтинг"_s, 20, u"Rating"_s},
        {u"Lang. ID"_s, 10, u"LangID"_s},
        {u"Code Page"_s, 10, u"CodePage"_s},
        {u"Товарные знаки"_s, 20, u"LegalTrademarks"_s},
        {u"Авторские права"_s, 20, u"LegalCopyright"_s},
    }};
    return columns;
}

QString SheetName() { return u"Экспорт"_s; }

QString TitleText() { return u"Tresmol - экспорт базы данных "_s; }
int TitleColumn() { return 4; }
int MaxRecords() { return TSheetWriter::MaxRow - 2; }

QString CellName(const TCutText& cut)
{
    return QChar(u'A' + cut.Column) + QString::number(cut.Row);
}

QString CutTextMessage(const TCutText& cut)
{
    return u"ячейка "_s + CellName(cut) + u" («"_s + Columns()[cut.Column].Title +
           u"»): текст в "_s + QString::number(cut.Length) + u" символов обрезан до "_s +
           QString::number(cut.Limit) + u", предела ячейки книги"_s;
}

namespace {

// Rows between two progress reports: often enough for a smooth bar, rarely enough to
// cost nothing.
constexpr int ProgressStep = 1024;

// Deflating at zlib's fastest level: the sheet's XML is so repetitive that the file
// comes out barely larger than at the default level, in a fraction of the time.
constexpr int CompressionLevel = 1;

// The program's colours are 0x00BBGGRR; the workbook wants 0xRRGGBB.
uint32_t WorkbookColour(quint32 colour)
{
    const quint32 r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    return (r << 16) | (g << 8) | b;
}

QString FolderOf(const QString& path) { return QFileInfo(path).absolutePath(); }

// A workbook that could not be written into FOLDER.
EExportError WriteError(const QString& folder, int err)
{
    // Some file systems say only "I/O error" when they are full.
    if (err != ENOSPC && err != EDQUOT && err != EFBIG &&
        QStorageInfo(folder).bytesAvailable() == 0)
        err = ENOSPC;
    return EExportError(TExportFault::CannotWrite, folder, err);
}

// Checks that FOLDER is there to write into, for a message naming what is wrong.
void CheckFolder(const QString& folder)
{
    struct stat st;
    if (::stat(PathToNative(folder).constData(), &st) != 0)
        throw EExportError(TExportFault::NoFolder, folder);
    if (!S_ISDIR(st.st_mode))
        throw EExportError(TExportFault::NotAFolder, folder);
}

// True when anything at all bears the name PATH, a dangling symbolic link included.
bool Taken(const QString& path)
{
    struct stat st;
    return ::lstat(PathToNative(path).constData(), &st) == 0;
}

// The kind of value a column holds in the sheet.
enum class TCellKind { Text, Integer };

void SayCut(const TWarning& warn, int sheetRow, int column, qsizetype length)
{
    const TCutText cut{sheetRow, column, length, TSheetWriter::MaxTextLength};
    if (warn)
        warn(cut);
    else
        QTextStream(stderr) << CutTextMessage(cut) << Qt::endl;
}

// Builds the whole workbook into the open file FD: layout, title, column titles, then
// the TOTAL rows of TABLE's view from row 3.
void WriteSheet(TDataSet& table, int fd, int total, const TProgress& progress, const TWarning& warn)
{
    TZipWriter zip(fd, CompressionLevel);
    const auto& columns = Columns();
    constexpr int TitleStyle = 1, HeaderStyle = 2;
    WorkbookParts::Write(zip, SheetName(),
                         {{true, TitleFontSize, WorkbookColour(TitleColour)}, {true, 11, 0}});

    std::vector<int> widths;
    std::array<int, std::tuple_size_v<std::decay_t<decltype(columns)>>> fields{};
    std::array<TCellKind, fields.size()> kinds{};
    for (int c = 0; c < int(columns.size()); ++c) {
        widths.push_back(columns[c].Width);
        const TField* f = table.FieldByName(columns[c].Field);
        fields[c] = f->Index();
        kinds[c] = f->DataType() == TFieldType::ftInteger ? TCellKind::Integer : TCellKind::Text;
    }

    zip.BeginEntry(WorkbookParts::SheetPart);
    TSheetWriter sheet(zip);
    constexpr int FirstRecordRow = 3;
    sheet.Begin(FirstRecordRow - 1 + total, int(columns.size()), widths, 2);
    sheet.BeginRow(1, TitleStyle);
    sheet.Text(TitleColumn() - 1, TitleText(), TitleStyle);
    sheet.EndRow();
    sheet.BeginRow(2, HeaderStyle);
    for (int c = 0; c < int(columns.size()); ++c)
        sheet.Text(c, columns[c].Title, HeaderStyle);
    sheet.EndRow();

    if (progress)
        progress(0, total);
    for (int i = 0; i < total; ++i) {
        const int sheetRow = FirstRecordRow + i;
        sheet.BeginRow(sheetRow);
        for (int c = 0; c < int(columns.size()); ++c) {
            if (kinds[c] == TCellKind::Integer) {
                const QVariant v = table.ViewValue(i, fields[c]);
                if (v.isNull())
                    continue;
                bool isNumber = false;
                const qlonglong n = v.toLongLong(&isNumber);
                // A value that is no integer (stored from outside) stays as it is.
                if (isNumber && v.typeId() != QMetaType::QString) {
                    sheet.Number(c, n);
                    continue;
                }
            }
            // Stored texts are read from the rows straight; lookups through the view.
            std::optional<QString> stored = table.ViewStoredText(i, fields[c]);
            if (!stored)
                stored = table.ViewText(i, fields[c]);
            QStringView cell(*stored);
            if (cell.size() > TSheetWriter::MaxTextLength) {
                qsizetype keep = TSheetWriter::MaxTextLength;
                // Never half of a surrogate pair.
                if (cell[keep - 1].isHighSurrogate())
                    --keep;
                SayCut(warn, sheetRow, c, cell.size());
                cell = cell.first(keep);
            }
            sheet.Text(c, cell);
        }
        sheet.EndRow();
        if ((i + 1) % ProgressStep == 0 && i + 1 < total && progress)
            progress(i + 1, total);
    }
    // Texts that look like numbers (a language id "0409") are texts on purpose; the
    // sheet should not flag them.
    sheet.End(total > 0, FirstRecordRow);
    zip.EndEntry();
    zip.Finish();
}

// A complete workbook of TABLE's view in an unnamed file in FOLDER, ready to be given
// its name. The cursor moves as WriteWorkbook says.
std::unique_ptr<TUnnamedFile> WriteUnnamed(TDataSet& table, const QString& folder,
                                           const TProgress& progress, const TWarning& warn)
{
    // The first move: fails with the engine's error on a closed table, before any file
    // exists, and takes in a pending change as every move does.
    table.First();
    const int total = table.ViewRowCount();
    if (total > MaxRecords())
        throw EExportError(TExportFault::TooManyRecords, folder, 0, total);
    CheckFolder(folder);
    std::unique_ptr<TUnnamedFile> file;
    try {
        file = std::make_unique<TUnnamedFile>(folder);
    } catch (const std::system_error& e) {
        throw EExportError(TExportFault::CannotCreate, folder, e.code().value());
    }
    try {
        WriteSheet(table, file->Fd(), total, progress, warn);
    } catch (const std::system_error& e) {
        throw WriteError(folder, e.code().value());
    }
    if (progress)
        progress(total, total);
    // The walk ends on the view's last record.
    if (total > 1)
        table.Last();
    return file;
}

// Gives FILE the name PATH; false when PATH is taken.
bool Name(TUnnamedFile& file, const QString& path)
{
    try {
        return file.LinkAs(path);
    } catch (const std::system_error& e) {
        throw EExportError(TExportFault::CannotName, path, e.code().value());
    }
}

} // namespace

void WriteWorkbook(TDataSet& table, const QString& path, const TProgress& progress,
                   const TWarning& warn)
{
    const QString target = QFileInfo(path).absoluteFilePath();
    if (Taken(target))
        throw EExportError(TExportFault::Taken, path);
    auto file = WriteUnnamed(table, FolderOf(target), progress, warn);
    if (!Name(*file, target))
        throw EExportError(TExportFault::Taken, path);
}

QString DocumentsFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    QDir().mkpath(folder);
    return folder;
}

QString FreshFileName(const QString& folder, const QDateTime& when)
{
    const QString stem = u"Tresmol-"_s + when.toString(u"yyyy-MM-dd-HHmmss"_s);
    const QDir dir(folder);
    QString path = dir.filePath(stem + u".xlsx"_s);
    for (int n = 2; Taken(path); ++n)
        path = dir.filePath(stem + u'-' + QString::number(n) + u".xlsx"_s);
    return path;
}

QString ExportToFolder(TDataSet& table, const QString& folder, const TProgress& progress,
                       const TWarning& warn)
{
    const QDateTime started = QDateTime::currentDateTime();
    auto file = WriteUnnamed(table, folder, progress, warn);
    for (;;) {
        const QString path = FreshFileName(folder, started);
        if (Name(*file, path))
            return path;
    }
}

QString ExportCatalogue(TDataModule1& dm, const TProgress& progress, const TWarning& warn)
{
    return ExportToFolder(dm.BookTable, DocumentsFolder(), progress, warn);
}

} // namespace SpreadsheetExport
