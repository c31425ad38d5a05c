// The demo catalogue: the standard reference lists and a shelf of plausible
// programs, written through the same engine the windows use.

#include "store/catalogue/catalogue.h"
#include "store/catalogue/datamodule.h"
#include "store/rows/dberrors.h"

#include <QDir>

using namespace Qt::Literals::StringLiterals;

namespace {

struct TDemoProgram {
    const char16_t* Name;
    const char16_t* Company;
    const char16_t* Version;
    int Year;
    const char16_t* Size;
    const char16_t* Language;
    int Platform, Category, ProgramType, TypeDisc, Maker; // 1-based list positions
    const char16_t* Description;
};

// The standard lists by position: Platforms: 1 Windows XP, 2 Windows 7, 3 Windows 10, 4 Windows
// 95/98, 5 MS-DOS, 6 Linux Categories: 1 Архиваторы, 2 Офис, 3 Графика, 4 Мультимедиа, 5 Интернет,
// 6 Утилиты,
//             7 Разработка, 8 Игры, 9 Безопасность
// Program types: 1 Freeware, 2 Shareware, 3 Коммерческая, 4 Open Source, 5 Демо-версия
// Disc types: 1 CD-R, 2 CD-RW, 3 DVD-R, 4 DVD+R, 5 DVD-RW, 6 Папка на диске
// Disc makers: 1 Verbatim, 2 TDK, 3 Sony, 4 Memorex, 5 Philips, 6 Mirex
const TDemoProgram Programs[] = {
    {u"7-Zip", u"Igor Pavlov", u"9.20", 2010, u"1.1 MB", u"English", 1, 1, 4, 1, 1,
     u"Архиватор с высокой степенью сжатия"},
    {u"Adobe Reader", u"Adobe Systems Incorporated", u"9.3.0", 2010, u"38 MB", u"Русский", 1, 2, 1,
     3, 1, u"Просмотр документов PDF"},
    {u"Adobe Photoshop", u"Adobe Systems Incorporated", u"7.0", 2002, u"160 MB", u"English", 4, 3,
     3, 1, 2, u"Графический редактор"},
    {u"AIMP", u"Artem Izmaylov", u"2.61", 2010, u"6 MB", u"Русский", 1, 4, 1, 1, 3,
     u"Аудиопроигрыватель"},
    {u"Audacity", u"Audacity Team", u"1.3.12", 2010, u"12 MB", u"English", 2, 4, 4, 3, 1,
     u"Звуковой редактор"},
    {u"Avast Free Antivirus", u"AVAST Software", u"5.0", 2010, u"50 MB", u"Русский", 2, 9, 1, 3, 4,
     u"Антивирус"},
    {u"Baldur's Gate", u"BioWare Corp.", u"1.1.4315", 1998, u"2 GB", u"English", 4, 8, 3, 1, 5,
     u"Ролевая игра"},
    {u"CCleaner", u"Piriform Ltd", u"2.30", 2010, u"3 MB", u"Русский", 2, 6, 1, 1, 1,
     u"Очистка системы"},
    {u"Daemon Tools Lite", u"DT Soft Ltd", u"4.35", 2010, u"9 MB", u"Русский", 1, 6, 1, 1, 2,
     u"Эмуляция приводов"},
    {u"Defraggler", u"Piriform Ltd", u"1.19", 2010, u"3 MB", u"English", 2, 6, 1, 2, 2,
     u"Дефрагментация дисков"},
    {u"Delphi 7", u"Borland Software Corporation", u"7.0", 2002, u"400 MB", u"English", 1, 7, 3, 1,
     6, u"Среда разработки"},
    {u"Diablo II", u"Blizzard Entertainment", u"1.13", 2000, u"1.5 GB", u"English", 4, 8, 3, 1, 3,
     u"Ролевая игра"},
    {u"Doom", u"id Software", u"1.9", 1993, u"12 MB", u"English", 5, 8, 2, 1, 4,
     u"Шутер от первого лица"},
    {u"Dr.Web CureIt!", u"Doctor Web, Ltd.", u"6.0", 2010, u"90 MB", u"Русский", 2, 9, 1, 6, 1,
     u"Лечащая утилита"},
    {u"Far Manager", u"Eugene Roshal & Far Group", u"2.0", 2010, u"4 MB", u"Русский", 1, 6, 1, 1, 1,
     u"Файловый менеджер"},
    {u"FileZilla Client", u"Tim Kosse", u"3.3.3", 2010, u"5 MB", u"Русский", 2, 5, 4, 3, 1,
     u"FTP-клиент"},
    {u"Foxit Reader", u"Foxit Corporation", u"4.0", 2010, u"6 MB", u"English", 1, 2, 1, 3, 2,
     u"Просмотр PDF"},
    {u"GIMP", u"The GIMP Team", u"2.6.8", 2010, u"20 MB", u"Русский", 6, 3, 4, 3, 3,
     u"Графический редактор"},
    {u"Google Chrome", u"Google Inc.", u"5.0.375", 2010, u"25 MB", u"Русский", 2, 5, 1, 4, 1,
     u"Веб-браузер"},
    {u"Heroes of Might and Magic III", u"New World Computing", u"4.0", 1999, u"600 MB", u"Русский",
     4, 8, 3, 1, 5, u"Пошаговая стратегия"},
    {u"IrfanView", u"Irfan Skiljan", u"4.27", 2010, u"1.5 MB", u"English", 1, 3, 1, 1, 1,
     u"Просмотр изображений"},
    {u"K-Lite Codec Pack", u"KLCP", u"6.0", 2010, u"15 MB", u"English", 1, 4, 1, 1, 4,
     u"Набор кодеков"},
    {u"KeePass", u"Dominik Reichl", u"2.11", 2010, u"2 MB", u"English", 2, 9, 4, 2, 2,
     u"Хранитель паролей"},
    {u"Kaspersky Anti-Virus", u"Kaspersky Lab", u"9.0", 2010, u"70 MB", u"Русский", 2, 9, 3, 3, 1,
     u"Антивирус"},
    {u"Lazarus", u"Lazarus Team", u"0.9.28", 2010, u"100 MB", u"English", 6, 7, 4, 3, 6,
     u"Среда разработки на Free Pascal"},
    {u"Microsoft Office", u"Microsoft Corporation", u"11.0", 2003, u"550 MB", u"Русский", 1, 2, 3,
     1, 3, u"Офисный пакет"},
    {u"Miranda IM", u"Miranda IM project", u"0.8.24", 2010, u"2 MB", u"Русский", 1, 5, 4, 1, 1,
     u"Клиент мгновенных сообщений"},
    {u"Mozilla Firefox", u"Mozilla Corporation", u"3.6.3", 2010, u"8 MB", u"Русский", 2, 5, 4, 3, 4,
     u"Веб-браузер"},
    {u"Mozilla Thunderbird", u"Mozilla Messaging", u"3.0.4", 2010, u"9 MB", u"Русский", 2, 5, 4, 3,
     4, u"Почтовый клиент"},
    {u"Nero Burning ROM", u"Nero AG", u"9.4", 2009, u"300 MB", u"Русский", 1, 6, 5, 3, 3,
     u"Запись дисков"},
    {u"Notepad++", u"Don HO", u"5.6.8", 2010, u"4 MB", u"English", 1, 7, 4, 1, 1,
     u"Текстовый редактор"},
    {u"OpenOffice.org", u"OpenOffice.org", u"3.2", 2010, u"140 MB", u"Русский", 2, 2, 4, 3, 5,
     u"Офисный пакет"},
    {u"Opera", u"Opera Software ASA", u"10.53", 2010, u"12 MB", u"Русский", 1, 5, 1, 1, 1,
     u"Веб-браузер"},
    {u"PuTTY", u"Simon Tatham", u"0.60", 2007, u"500 KB", u"English", 1, 5, 4, 2, 2, u"SSH-клиент"},
    {u"QIP", u"QIP.ru", u"2005", 2009, u"5 MB", u"Русский", 1, 5, 1, 1, 6,
     u"Клиент мгновенных сообщений"},
    {u"Quake III Arena", u"id Software", u"1.32", 1999, u"500 MB", u"English", 4, 8, 3, 1, 5,
     u"Шутер от первого лица"},
    {u"Recuva", u"Piriform Ltd", u"1.36", 2010, u"2 MB", u"English", 2, 6, 1, 2, 2,
     u"Восстановление файлов"},
    {u"Skype", u"Skype Technologies S.A.", u"4.2", 2010, u"22 MB", u"Русский", 2, 5, 1, 3, 1,
     u"Интернет-телефония"},
    {u"Sumatra PDF", u"Krzysztof Kowalczyk", u"1.1", 2010, u"1.3 MB", u"English", 1, 2, 4, 2, 3,
     u"Просмотр PDF"},
    {u"The Bat!", u"RITLabs", u"4.2", 2009, u"12 MB", u"Русский", 1, 5, 2, 1, 6,
     u"Почтовый клиент"},
    {u"Total Commander", u"Ghisler Software GmbH", u"7.50", 2009, u"3 MB", u"Русский", 1, 6, 2, 1,
     1, u"Файловый менеджер"},
    {u"TuneUp Utilities", u"TuneUp Corporation", u"2010", 2010, u"25 MB", u"Русский", 2, 6, 5, 3, 4,
     u"Оптимизация системы"},
    {u"Ultra ISO", u"EZB Systems, Inc.", u"9.3", 2009, u"4 MB", u"Русский", 1, 6, 2, 1, 2,
     u"Работа с образами дисков"},
    {u"uTorrent", u"BitTorrent, Inc.", u"2.0.2", 2010, u"300 KB", u"Русский", 1, 5, 1, 1, 3,
     u"Клиент BitTorrent"},
    {u"VirtualBox", u"Sun Microsystems, Inc.", u"3.1.8", 2010, u"75 MB", u"English", 3, 7, 4, 3, 1,
     u"Виртуальные машины"},
    {u"VLC media player", u"VideoLAN", u"1.0.5", 2010, u"18 MB", u"Русский", 3, 4, 4, 3, 1,
     u"Медиапроигрыватель"},
    {u"Winamp", u"Nullsoft", u"5.57", 2009, u"11 MB", u"Русский", 1, 4, 1, 1, 2,
     u"Аудиопроигрыватель"},
    {u"WinDjView", u"Andrew Zhezherun", u"1.0.3", 2009, u"2 MB", u"Русский", 1, 2, 4, 2, 6,
     u"Просмотр DjVu"},
    {u"WinRAR", u"Alexander Roshal", u"3.93", 2010, u"1.4 MB", u"Русский", 1, 1, 2, 1, 1,
     u"Архиватор RAR и ZIP"},
    {u"Adder Calc", u"Adder Software", u"1.0", 2004, u"800 KB", u"English", 4, 2, 2, 2, 4,
     u"Калькулятор"},
    {u"Ad-Tool", u"Home Tools", u"2.1", 2006, u"1 MB", u"English", 1, 6, 1, 6, 5,
     u"Мелкая утилита"},
    {u"Kaspersky Internet Security", u"Kaspersky Lab", u"9.0", 2010, u"80 MB", u"Русский", 2, 9, 3,
     3, 1, u"Комплексная защита"},
};

} // namespace

namespace Catalogue {

namespace {

void FillDemo(const QString& path)
{
    const std::unique_ptr<TDataModule1> opened = Open(path, TBookFields::All);
    TDataModule1& dm = *opened;

    const TStandardListKeys keys = FillStandardLists(dm);
    const QVector<int>& platforms = keys.Platforms;
    const QVector<int>& categories = keys.Categories;
    const QVector<int>& types = keys.ProgramTypes;
    const QVector<int>& discs = keys.DiscTypes;
    const QVector<int>& makers = keys.DiscMakers;

    TDataSet& t = dm.BookTable;
    int disc = 1;
    for (const TDemoProgram& p : Programs) {
        const QString name = QString::fromUtf16(p.Name);
        const QString exe = name.section(u' ', 0, 0).remove(u'\'').toLower() + u".exe"_s;
        const QString folder =
            u"D:\\Soft\\Disc"_s + QString::number(disc++ % 12 + 1) + u'\\' + name + u'\\';
        t.Append();
        auto set = [&t](const char16_t* field, const QVariant& v) {
            t.FieldByName(QString::fromUtf16(field))->SetValue(v);
        };
        set(u"ProductName", name);
        set(u"CompanyName", QString::fromUtf16(p.Company));
        set(u"ProductVersion", QString::fromUtf16(p.Version));
        set(u"FileVersion", QString(QString::fromUtf16(p.Version) + u".0"_s));
        set(u"Year", p.Year);
        set(u"Size", QString::fromUtf16(p.Size));
        set(u"Language", QString::fromUtf16(p.Language));
        const bool russian = QString::fromUtf16(p.Language) == u"Русский"_s;
        set(u"LangID", russian ? u"0419"_s : u"0409"_s);
        set(u"CodePage", russian ? u"1251"_s : u"1252"_s);
        set(u"FileDescription", QString::fromUtf16(p.Description));
        set(u"InternalName", exe.chopped(4));
        set(u"OriginalFilename", exe);
        set(u"LegalCopyright",
            QString(u"© "_s + QString::number(p.Year) + u' ' + QString::fromUtf16(p.Company)));
        set(u"FileName", QString(folder + exe));
        set(u"PlacingProgram", folder);
        set(u"ExtractFileName", exe);
        set(u"Rating", (p.Year * 7 + int(name.size())) % 5 + 1);
        set(u"Installed", p.Year >= 2009);
        set(u"Platform", platforms.value(p.Platform - 1));
        set(u"Category", categories.value(p.Category - 1));
        set(u"Programtype", types.value(p.ProgramType - 1));
        set(u"TypeDisc", discs.value(p.TypeDisc - 1));
        set(u"ManufacturerDisc", makers.value(p.Maker - 1));
        if (p.ProgramType == 2 || p.ProgramType == 3) {
            set(u"Ch0", true);
            set(u"Registrationname", u"Иван Петров"_s);
            set(u"Ch2", true);
            set(u"Serialnumber", QString(u"XXXX-"_s + QString::number(p.Year) + u"-DEMO"_s));
        }
        t.Post();
    }
    t.Close();
}

} // namespace

void CreateDemo(const QString& path) { Build(path, FillDemo); }

} // namespace Catalogue
