#include "export/spreadsheetexport.h"

#include "store/datamodule.h"
#include "store/dataset.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>

using namespace Qt::Literals::StringLiterals;

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

namespace {

// Rows between two progress reports: often enough for a smooth bar, rarely enough to
// cost nothing.
constexpr int ProgressStep = 1024;

// The program's colours are 0x00BBGGRR; the workbook wants 0xRRGGBB.
lxw_color_t WorkbookColour(quint32 colour)
{
    const quint32 r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    return lxw_color_t((r << 16) | (g << 8) | b);
}

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

// The temporary file a workbook is written to before it gets its name. It lives in
// the destination folder, so the final rename never copies, and it is removed unless
// it has been renamed.
class TPartFile {
public:
    explicit TPartFile(const QString& folder)
    {
        const QFileInfo info(folder);
        if (!info.exists())
            throw EExportError(u"Папка "_s + Quoted(folder) + u" не найдена"_s);
        if (!info.isDir())
            throw EExportError(Quoted(folder) + u" не является папкой"_s);
        QTemporaryFile file(QDir(folder).filePath(u".Tresmol-XXXXXX.xlsx.part"_s));
        file.setAutoRemove(false);
        errno = 0;
        if (!file.open()) {
            const int err = errno;
            throw EExportError(u"Не удалось создать файл в папке "_s + Quoted(folder) + u": "_s +
                               (err ? SystemErrorText(err) : file.errorString()));
        }
        FPath = file.fileName();
        file.close();
        // A temporary file is private to its owner; the workbook gets the permissions
        // of any new file.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::chmod(QFile::encodeName(FPath).constData(), 0666 & ~mask);
    }
    ~TPartFile()
    {
        if (!FPath.isEmpty())
            QFile::remove(FPath);
    }
    TPartFile(const TPartFile&) = delete;
    TPartFile& operator=(const TPartFile&) = delete;

    const QString& Path() const { return FPath; }

    // Gives the file the name DEST; false, and nothing changed, when DEST exists.
    bool RenameTo(const QString& dest)
    {
        if (QFileInfo::exists(dest))
            return false;
        QFile file(FPath);
        // Qt's rename never replaces an existing file, so a name taken in the
        // meantime fails here rather than being overwritten.
        if (!file.rename(dest)) {
            if (QFileInfo::exists(dest))
                return false;
            throw EExportError(u"Не удалось сохранить книгу "_s + Quoted(dest) + u": "_s +
                               file.errorString());
        }
        FPath.clear();
        return true;
    }

private:
    QString FPath;
};

struct TWorkbookCloser {
    void operator()(lxw_workbook* wb) const { workbook_close(wb); }
};
using TWorkbookPtr = std::unique_ptr<lxw_workbook, TWorkbookCloser>;

void Check(lxw_error err, const QString& what)
{
    if (err != LXW_NO_ERROR)
        throw EExportError(what + u": "_s + QString::fromUtf8(lxw_strerror(err)));
}

// The workbook format spells a control character as _xHHHH_, which the library does
// for control characters; text that already holds such a sequence would be read back
// as the character, so its underscore is escaped (_x005F_) to keep the text as it is.
QString EscapeEscapes(const QString& text)
{
    if (!text.contains(u"_x"_s))
        return text;
    static const QRegularExpression sequence(u"_(x[0-9A-Fa-f]{4}_)"_s);
    QString escaped = text;
    escaped.replace(sequence, u"_x005F_\\1"_s);
    return escaped;
}

void WriteText(lxw_worksheet* ws, int row, int col, const QString& text, lxw_format* format)
{
    if (text.isEmpty() && !format)
        return; // an empty text leaves the cell empty
    const QByteArray utf8 = EscapeEscapes(text).toUtf8();
    Check(worksheet_write_string(ws, lxw_row_t(row), lxw_col_t(col), utf8.constData(), format),
          u"Не удалось записать ячейку"_s);
}

// The library ignores failed writes to the temporary file that holds the rows in
// constant memory, and would then assemble a shortened sheet without a word. Its
// stream is checked here instead: a write that failed (disk full, file too large)
// ends the export.
void CheckRowStore(lxw_worksheet* ws, const QString& path)
{
    FILE* rows = ws->optimize_tmpfile;
    if (!rows)
        return;
    errno = 0;
    if (std::fflush(rows) == 0 && !std::ferror(rows))
        return;
    const int err = errno;
    QString reason = err ? SystemErrorText(err) : QString();
    if (reason.isEmpty() || (err != ENOSPC && err != EDQUOT && err != EFBIG &&
                             QStorageInfo(QFileInfo(path).absolutePath()).bytesAvailable() == 0))
        reason = SystemErrorText(ENOSPC);
    throw EExportError(u"Не удалось записать книгу в папку "_s +
                       Quoted(QFileInfo(path).absolutePath()) + u": "_s + reason);
}

// Closing copies the stored rows into the sheet and then compresses the sheet into
// the workbook, and the library does not notice a failed write during the copy
// either. So the room is looked at first: the copy and the compressed workbook
// together take at most twice the stored rows.
void CheckRoomToClose(lxw_worksheet* ws, const QString& path)
{
    FILE* rows = ws->optimize_tmpfile;
    if (!rows)
        return;
    const long stored = std::ftell(rows);
    const QString folder = QFileInfo(path).absolutePath();
    const qint64 available = QStorageInfo(folder).bytesAvailable();
    constexpr qint64 Margin = 1024 * 1024;
    if (stored > 0 && available >= 0 && available < 2 * qint64(stored) + Margin)
        throw EExportError(u"Не удалось записать книгу в папку "_s + Quoted(folder) + u": "_s +
                           SystemErrorText(ENOSPC));
}

// Builds the whole sheet into the file PATH: layout, title, column titles, then the
// TOTAL rows of TABLE's view from row 3.
void WriteSheet(TDataSet& table, const QString& path, int total, const TProgress& progress)
{
    const QByteArray fileName = QFile::encodeName(path);
    // The library's own temporary files go beside the workbook, so one disk holds all
    // that is written and a full disk shows up as a failed close.
    const QByteArray tmpDir = QFile::encodeName(QFileInfo(path).absolutePath());
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char*>(tmpDir.constData());
    TWorkbookPtr wb(workbook_new_opt(fileName.constData(), &options));
    if (!wb)
        throw EExportError(u"Не удалось начать книгу "_s + Quoted(path));

    lxw_worksheet* ws = workbook_add_worksheet(wb.get(), SheetName().toUtf8().constData());
    if (!ws)
        throw EExportError(u"Не удалось добавить лист "_s + SheetName());

    lxw_format* titleFormat = workbook_add_format(wb.get());
    format_set_bold(titleFormat);
    format_set_font_size(titleFormat, TitleFontSize);
    format_set_font_color(titleFormat, WorkbookColour(TitleColour));
    lxw_format* headerFormat = workbook_add_format(wb.get());
    format_set_bold(headerFormat);

    const auto& columns = Columns();
    for (int c = 0; c < int(columns.size()); ++c)
        Check(worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c), columns[c].Width, nullptr),
              u"Не удалось задать ширину столбца"_s);
    worksheet_freeze_panes(ws, 2, 0);
    // Numbers are written as text on purpose; the sheet should not flag them.
    if (total > 0)
        Check(worksheet_ignore_errors(ws, LXW_IGNORE_NUMBER_STORED_AS_TEXT, "A3:W1048576"),
              u"Не удалось настроить лист"_s);

    // In constant memory a row is finished once the next one is started, so each row's
    // format comes before its cells.
    Check(worksheet_set_row(ws, 0, LXW_DEF_ROW_HEIGHT, titleFormat),
          u"Не удалось оформить строку"_s);
    WriteText(ws, 0, TitleColumn() - 1, TitleText(), titleFormat);
    Check(worksheet_set_row(ws, 1, LXW_DEF_ROW_HEIGHT, headerFormat),
          u"Не удалось оформить строку"_s);
    for (int c = 0; c < int(columns.size()); ++c)
        WriteText(ws, 1, c, columns[c].Title, headerFormat);

    std::array<int, std::tuple_size_v<std::decay_t<decltype(columns)>>> fields{};
    for (int c = 0; c < int(columns.size()); ++c)
        fields[c] = table.FieldByName(columns[c].Field)->Index();

    if (progress)
        progress(0, total);
    for (int i = 0; i < total; ++i) {
        for (int c = 0; c < int(columns.size()); ++c)
            WriteText(ws, 2 + i, c, table.ViewText(i, fields[c]), nullptr);
        if ((i + 1) % ProgressStep == 0 && i + 1 < total) {
            CheckRowStore(ws, path);
            if (progress)
                progress(i + 1, total);
        }
    }
    CheckRowStore(ws, path);
    CheckRoomToClose(ws, path);

    // Closing assembles and compresses the workbook: a third of the export's time,
    // with no way to look in. With someone watching the progress, it runs on a helper
    // thread that touches nothing but the workbook, while this thread keeps reporting
    // so the window can repaint; the export still ends only when the file is complete.
    const auto close = [](lxw_workbook* book) {
        errno = 0;
        const lxw_error err = workbook_close(book);
        return std::pair(err, errno);
    };
    std::pair<lxw_error, int> closed;
    if (progress) {
        progress(total, total);
        auto closing = std::async(std::launch::async, close, wb.release());
        while (closing.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready)
            progress(total, total);
        closed = closing.get();
    } else {
        closed = close(wb.release());
    }
    const auto [err, sysErr] = closed;
    if (err != LXW_NO_ERROR) {
        QString reason;
        if (sysErr == ENOSPC || sysErr == EDQUOT || sysErr == EFBIG)
            reason = SystemErrorText(sysErr);
        else if (QStorageInfo(QFileInfo(path).absolutePath()).bytesAvailable() == 0)
            reason = SystemErrorText(ENOSPC);
        else
            reason = QString::fromUtf8(lxw_strerror(err));
        throw EExportError(u"Не удалось записать книгу в папку "_s +
                           Quoted(QFileInfo(path).absolutePath()) + u": "_s + reason);
    }
    if (progress)
        progress(total, total);
}

// The part of every export up to a complete workbook under a temporary name: the
// cursor's moves and the sheet.
std::unique_ptr<TPartFile> WritePart(TDataSet& table, const QString& folder,
                                     const TProgress& progress)
{
    // The first move: fails with the engine's error on a closed table, before any file
    // exists, and takes in a pending change as every move does.
    table.First();
    const int total = table.ViewRowCount();
    auto part = std::make_unique<TPartFile>(folder);
    WriteSheet(table, part->Path(), total, progress);
    // The walk ends on the view's last record.
    if (total > 1)
        table.Last();
    return part;
}

} // namespace

void WriteWorkbook(TDataSet& table, const QString& path, const TProgress& progress)
{
    const QFileInfo target(path);
    if (target.exists())
        throw EExportError(u"Файл "_s + Quoted(path) + u" уже существует"_s);
    auto part = WritePart(table, target.absolutePath(), progress);
    if (!part->RenameTo(target.absoluteFilePath()))
        throw EExportError(u"Файл "_s + Quoted(path) + u" уже существует"_s);
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
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(stem + u'-' + QString::number(n) + u".xlsx"_s);
    return path;
}

QString ExportToFolder(TDataSet& table, const QString& folder, const TProgress& progress)
{
    const QDateTime started = QDateTime::currentDateTime();
    auto part = WritePart(table, folder, progress);
    for (;;) {
        const QString path = FreshFileName(folder, started);
        if (part->RenameTo(path))
            return path;
    }
}

QString ExportCatalogue(TDataModule1& dm, const TProgress& progress)
{
    return ExportToFolder(dm.BookTable, DocumentsFolder(), progress);
}

} // namespace SpreadsheetExport
