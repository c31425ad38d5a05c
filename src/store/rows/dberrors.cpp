#include "store/rows/dberrors.h"

using namespace Qt::Literals::StringLiterals;

namespace {

// The beginning of a message: what failed, in one language.
QString ActionText(TDbAction action, bool english, const QString& path, const QString& subject)
{
    const QString quoted = english ? u'"' + path + u'"' : u'«' + path + u'»';
    switch (action) {
    case TDbAction::None:
        return QString();
    case TDbAction::OpenFile:
        return english ? u"Cannot open the catalogue file "_s + quoted
                       : u"Не удалось открыть файл каталога "_s + quoted;
    case TDbAction::OpenCatalogue:
        return english ? u"Cannot open the catalogue "_s + path
                       : u"Не удалось открыть каталог "_s + path;
    case TDbAction::Create:
        return english ? u"Cannot create the catalogue "_s + path
                       : u"Не удалось создать каталог "_s + path;
    case TDbAction::ReadTable:
        return (english ? u"Cannot read the table "_s : u"Не удалось прочитать таблицу "_s) +
               subject + u" ("_s + quoted + u')';
    case TDbAction::Save:
        return (english ? u"Cannot save the record"_s : u"Не удалось сохранить запись"_s) +
               u" ("_s + quoted + u')';
    case TDbAction::Delete:
        return (english ? u"Cannot delete the record"_s : u"Не удалось удалить запись"_s) +
               u" ("_s + quoted + u')';
    }
    return QString();
}

// A conflict with another user is about the record, not the file: its message names
// no file, and says what to do next.
QString ConflictText(TDbAction action, TDbFault fault, bool english)
{
    const bool deleting = action == TDbAction::Delete;
    if (english) {
        const QString head =
            deleting ? u"Cannot delete the record: "_s : u"Cannot save the record: "_s;
        if (fault == TDbFault::DeletedElsewhere)
            return head + u"another user deleted it after it was read"_s;
        return head + u"another user changed it after it was read. "_s +
               (deleting ? u"Refresh to see the change"_s
                         : u"Cancel your change and refresh to see theirs"_s);
    }
    const QString head =
        deleting ? u"Не удалось удалить запись: "_s : u"Не удалось сохранить запись: "_s;
    if (fault == TDbFault::DeletedElsewhere)
        return head + u"после того как она была прочитана, её удалил другой пользователь"_s;
    return head + u"после того как она была прочитана, её изменил другой пользователь. "_s +
           (deleting ? u"Обновите данные, чтобы увидеть изменение"_s
                     : u"Отмените своё изменение и обновите данные, чтобы увидеть чужое"_s);
}

// The cause of FAULT alone, in Russian or in English.
QString FaultText(TDbFault fault, bool english, const QString& subject, const QString& detail)
{
    const auto say = [english](const QString& en, const QString& ru) { return english ? en : ru; };
    switch (fault) {
    case TDbFault::Conflict:
    case TDbFault::DeletedElsewhere:
        return ConflictText(TDbAction::Save, fault, english);
    case TDbFault::ReadOnly:
        return say(u"the catalogue file is read-only; the change was not saved"_s,
                   u"файл каталога доступен только для чтения; изменение не сохранено"_s);
    case TDbFault::SideFileOfAnotherUser:
        return say(u"the change was not saved: the file "_s + subject +
                       u" beside the catalogue belongs to the user "_s + detail +
                       u" and cannot be written. Ask that user to close the catalogue, or "_s
                       u"remove the file while the catalogue is open nowhere"_s,
                   u"изменение не сохранено: файл "_s + subject +
                       u" рядом с каталогом принадлежит пользователю "_s + detail +
                       u", и записать в него нельзя. Попросите этого пользователя закрыть "_s
                       u"каталог или удалите файл, когда каталог нигде не открыт"_s);
    case TDbFault::LogWithoutIndex:
        return say(u"its log "_s + subject +
                       u" holds records that can be read only where the catalogue may be "_s
                       u"written. Open it once as its owner, or copy it with its log to a "_s
                       u"folder you may write to"_s,
                   u"в его журнале "_s + subject +
                       u" есть записи, которые можно прочитать только там, где каталог "_s
                       u"доступен для записи. Откройте его один раз от имени владельца или "_s
                       u"скопируйте вместе с журналом в папку, где у вас есть право записи"_s);
    case TDbFault::Locked:
        return say(u"the catalogue file is locked by another program; the change was not "_s
                   u"saved, try again in a moment"_s,
                   u"файл каталога занят другой программой; изменение не сохранено, "_s
                   u"повторите попытку чуть позже"_s);
    case TDbFault::NotADatabase:
        return say(u"it is not a catalogue file (the file is damaged or of another kind)"_s,
                   u"это не файл каталога (файл повреждён или другого вида)"_s);
    case TDbFault::Damaged:
        return say(u"the catalogue file is damaged; restore it from a backup copy"_s,
                   u"файл каталога повреждён; восстановите его из резервной копии"_s);
    case TDbFault::DiskFull:
        return say(u"the disk is full; the change was not saved"_s,
                   u"диск заполнен; изменение не сохранено"_s);
    case TDbFault::InputOutput:
        return say(u"the catalogue file could not be read or written (an input/output error "_s
                   u"of the disk)"_s,
                   u"файл каталога не удалось прочитать или записать (ошибка ввода-вывода "_s
                   u"диска)"_s);
    case TDbFault::CannotOpen:
        return say(u"the catalogue file could not be opened"_s,
                   u"файл каталога не удалось открыть"_s);
    case TDbFault::Refused:
        return say(u"the catalogue file refuses the change (it was altered by another "_s
                   u"program: "_s,
                   u"файл каталога отвергает изменение (его изменила другая программа: "_s) +
               detail + u')';
    case TDbFault::Closed:
        return subject + say(u": the connection to the catalogue file is closed"_s,
                             u": соединение с файлом каталога закрыто"_s);
    case TDbFault::NoDataSource:
        return say(u"The connection string names no catalogue file (Data Source)"_s,
                   u"В строке подключения не указан файл каталога (Data Source)"_s);
    case TDbFault::NoSuchFile:
        return say(u"the file does not exist"_s, u"файл не существует"_s);
    case TDbFault::IsFolder:
        return say(u"it is a folder, not a file"_s, u"это папка, а не файл"_s);
    case TDbFault::EmptyFile:
        return say(u"the file is empty"_s, u"файл пуст"_s);
    case TDbFault::JetFile:
        return say(u"it is a Microsoft Access (Jet) database. Convert it to a Tresmol "_s
                   u"catalogue (SQLite) first"_s,
                   u"это база данных Microsoft Access (Jet). Сначала преобразуйте её в "_s
                   u"каталог Tresmol (SQLite)"_s);
    case TDbFault::UnknownFormat:
        return say(u"it is not a catalogue file (unknown format)"_s,
                   u"это не файл каталога (неизвестный формат)"_s);
    case TDbFault::MissingTable:
        return say(u"it holds no table "_s + subject + u"; it is not a Tresmol catalogue"_s,
                   u"в нём нет таблицы "_s + subject + u"; это не каталог Tresmol"_s);
    case TDbFault::MissingColumn:
        return say(u"the table "_s + subject + u" has no column "_s + detail,
                   u"в таблице "_s + subject + u" нет столбца "_s + detail);
    case TDbFault::AlreadyExists:
        return say(u"the file already exists"_s, u"файл уже существует"_s);
    case TDbFault::NotClosed:
        return say(u"it was not closed completely"_s, u"он не был закрыт полностью"_s);
    case TDbFault::PathHasSemicolon:
        return say(u"a catalogue's path cannot contain ';'"_s,
                   u"путь к каталогу не может содержать «;»"_s);
    case TDbFault::System:
    case TDbFault::Other:
        return detail;
    }
    return detail;
}

QString Worded(TDbAction action, TDbFault fault, bool english, const QString& path,
               const QString& subject, const QString& detail)
{
    if (fault == TDbFault::Conflict || fault == TDbFault::DeletedElsewhere)
        return ConflictText(action, fault, english);
    const QString head = ActionText(action, english, path, subject);
    const QString cause = FaultText(fault, english, subject, detail);
    return head.isEmpty() ? cause : head + u": "_s + cause;
}

} // namespace

EDatabaseError::EDatabaseError(TDbAction action, TDbFault fault, const QString& path,
                               const QString& subject, const QString& detail)
    : EError(Worded(action, fault, false, path, subject, detail),
             Worded(action, fault, true, path, subject, detail)),
      FFault(fault)
{
}

EDatabaseError::EDatabaseError(QString russian, QString english)
    : EError(std::move(russian), std::move(english))
{
}
