#include "store/catalogue/schema.h"

#include <QSet>

using namespace Qt::Literals::StringLiterals;

namespace {

TColumnDef Text(const QString& name, int size) { return {name, TFieldType::ftString, size}; }
TColumnDef Key(const QString& name) { return {name, TFieldType::ftAutoInc, 0}; }

struct TRefDef {
    QString Table, Key, Text;
    int Size;
    QString Label;
    int Width;
};

const QVector<TRefDef>& RefDefs()
{
    static const QVector<TRefDef> defs = {
        {u"TypeDiscBase"_s, u"key1"_s, u"TypeDisc"_s, 100, u"Тип диска"_s, 50},
        {u"ManufacturerDiscBase"_s, u"key6"_s, u"ManufacturerDiscType"_s, 100,
         u"Производитель дисков"_s, 50},
        {u"ProgramtypeBase"_s, u"key5"_s, u"ProgramtypeType"_s, 100, u"Тип программы"_s, 100},
        {u"PlatformBase"_s, u"key2"_s, u"TypePlatform"_s, 200, u"Платформа"_s, 50},
        {u"CategoryBase"_s, u"key3"_s, u"CategoryType"_s, 100, u"Категория"_s, 50},
    };
    return defs;
}

// The catalogue record as the program sees it, in the order every window relies on.
QVector<TFieldDef> SoftTableFields()
{
    auto data = [](const QString& name, TFieldType type, int size, const QString& label, int width,
                   bool shown) {
        TFieldDef d;
        d.FieldName = name;
        d.Type = type;
        d.Size = size;
        d.DisplayLabel = label;
        d.DisplayWidth = width;
        d.Visible = shown;
        d.ReadOnly = type == TFieldType::ftAutoInc;
        return d;
    };
    auto text = [&](const QString& n, int size, const QString& l, int w, bool s) {
        return data(n, TFieldType::ftString, size, l, w, s);
    };
    auto integer = [&](const QString& n, const QString& l, int w, bool s) {
        return data(n, TFieldType::ftInteger, 0, l, w, s);
    };
    auto boolean = [&](const QString& n, int w, bool s) {
        return data(n, TFieldType::ftBoolean, 0, n, w, s);
    };
    auto lookup = [](const QString& name, const QString& key, const QString& table,
                     const QString& matched, const QString& result) {
        TFieldDef d;
        d.FieldName = name;
        d.Kind = TFieldKind::fkLookup;
        d.Type = TFieldType::ftString;
        d.Size = 20;
        d.DisplayLabel = name;
        d.DisplayWidth = 20;
        d.KeyFields = key;
        d.LookupTable = table;
        d.LookupKeyFields = matched;
        d.LookupResultField = result;
        return d;
    };
    TFieldDef number = integer(u"Номер"_s, u"Номер"_s, 10, true);
    number.Kind = TFieldKind::fkCalculated;

    return {
        number,
        text(u"ProductName"_s, 250, u"Название"_s, 20, true),
        lookup(u"Тип диска"_s, u"TypeDisc"_s, u"TypeDiscBase"_s, u"key1"_s, u"TypeDisc"_s),
        lookup(u"Производитель дисков"_s, u"ManufacturerDisc"_s, u"ManufacturerDiscBase"_s,
               u"key6"_s, u"ManufacturerDiscType"_s),
        lookup(u"Тип программы"_s, u"Programtype"_s, u"ProgramtypeBase"_s, u"key5"_s,
               u"ProgramtypeType"_s),
        lookup(u"Платформа"_s, u"Platform"_s, u"PlatformBase"_s, u"key2"_s, u"TypePlatform"_s),
        lookup(u"Категория"_s, u"Category"_s, u"CategoryBase"_s, u"key3"_s, u"CategoryType"_s),
        // A path is kept whole: a path cut to a field's length names no file, and a
        // later scan would not know the file again. The file has no limit of its own.
        text(u"FileName"_s, Schema::FileNameSize, u"Размещение файла"_s, 20, true),
        text(u"CompanyName"_s, 250, u"Производитель"_s, 20, true),
        text(u"Language"_s, 50, u"Язык"_s, 13, true),
        text(u"Size"_s, 20, u"Размер"_s, 10, true),
        integer(u"Year"_s, u"Год"_s, 10, true),
        text(u"Label"_s, 50, u"Примечание"_s, 20, true),
        integer(u"Rating"_s, u"Рейтинг"_s, 10, true),
        text(u"Comments"_s, 250, u"Сайт(коммен.)"_s, 13, true),
        text(u"ProductVersion"_s, 20, u"Версия продукта"_s, 12, true),
        text(u"FileVersion"_s, 60, u"Версия файла"_s, 10, true),
        text(u"InternalName"_s, 250, u"Внутр. имя"_s, 20, true),
        text(u"OriginalFilename"_s, 250, u"Исходн. имя файла"_s, 13, true),
        text(u"LangID"_s, 60, u"Lang. ID"_s, 10, true),
        text(u"CodePage"_s, 60, u"Code Page"_s, 10, true),
        text(u"LegalTrademarks"_s, 250, u"Тов. знаки"_s, 30, true),
        text(u"LegalCopyright"_s, 250, u"Авт. права"_s, 30, true),
        text(u"Serialnumber"_s, 200, u"Серийный номер"_s, 20, false),
        text(u"Activationcode"_s, 200, u"Актив. код"_s, 20, false),
        text(u"Registrykey"_s, 200, u"Рег. ключ"_s, 20, false),
        text(u"Article serialnumber"_s, 200, u"Артик. сер. номер"_s, 20, false),
        text(u"Registrationname"_s, 200, u"Рег. имя"_s, 10, false),
        text(u"InstallationID"_s, 200, u"Installation ID"_s, 20, false),
        text(u"Rusificator"_s, 200, u"Русификатор"_s, 20, false),
        text(u"Crack"_s, 200, u"Кряк"_s, 20, false),
        text(u"FileDescription"_s, 250, u"Описание"_s, 20, false),
        boolean(u"Ch0"_s, 5, true),
        boolean(u"Ch1"_s, 5, false),
        boolean(u"Ch2"_s, 5, false),
        boolean(u"Ch3"_s, 5, false),
        boolean(u"Ch4"_s, 5, false),
        boolean(u"Ch5"_s, 5, false),
        boolean(u"Ch6"_s, 5, false),
        boolean(u"Ch7"_s, 5, false),
        boolean(u"Installed"_s, 5, false),
        integer(u"Platform"_s, u"Платформа"_s, 15, false),
        integer(u"Category"_s, u"Категория"_s, 20, false),
        integer(u"SubCategory"_s, u"SubCategory"_s, 10, false),
        integer(u"Programtype"_s, u"Тип программы"_s, 15, false),
        integer(u"ManufacturerDisc"_s, u"Произв. дисков"_s, 12, false),
        integer(u"TypeDisc"_s, u"Тип диска"_s, 12, false),
        text(u"PlacingProgram"_s, 200, u"Размещение программы"_s, 20, false),
        text(u"ExtractFileName"_s, 200, u"Извлеченное имя файла"_s, 20, false),
        data(u"Id"_s, TFieldType::ftAutoInc, 0, u"Id"_s, 10, false),
        text(u"Images"_s, 150, u"Images"_s, 150, false),
    };
}

} // namespace

namespace Schema {

const QVector<TTableDef>& Tables()
{
    static const QVector<TTableDef> tables = [] {
        QVector<TTableDef> result;
        TTableDef soft{u"SoftTable"_s, u"Id"_s, {Key(u"Id"_s)}};
        for (const TFieldDef& f : SoftTableFields())
            if (f.Kind == TFieldKind::fkData && f.Type != TFieldType::ftAutoInc)
                soft.Columns.append({f.FieldName, f.Type, f.Size});
        result.append(soft);
        for (const TRefDef& r : RefDefs())
            result.append({r.Table, r.Key, {Key(r.Key), Text(r.Text, r.Size)}});
        return result;
    }();
    return tables;
}

const TTableDef* FindTable(const QString& name)
{
    for (const TTableDef& t : Tables())
        if (t.Name.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

QVector<TFieldDef> FieldDefs(const QString& tableName)
{
    if (tableName.compare(u"SoftTable"_s, Qt::CaseInsensitive) == 0)
        return SoftTableFields();
    for (const TRefDef& r : RefDefs()) {
        if (r.Table.compare(tableName, Qt::CaseInsensitive) != 0)
            continue;
        TFieldDef key;
        key.FieldName = r.Key;
        key.Type = TFieldType::ftAutoInc;
        key.DisplayLabel = r.Key;
        key.Visible = false;
        key.ReadOnly = true;
        TFieldDef text;
        text.FieldName = r.Text;
        text.Size = r.Size;
        text.DisplayLabel = r.Label;
        text.DisplayWidth = r.Width;
        return {key, text};
    }
    return {};
}

QVector<TFieldDef> ShownFieldDefs(const QString& tableName)
{
    QVector<TFieldDef> defs = FieldDefs(tableName);
    const TTableDef* table = FindTable(tableName);
    QSet<QString> needed;
    if (table)
        needed.insert(table->KeyColumn.toLower());
    for (const TFieldDef& d : defs)
        if (d.Visible && d.Kind == TFieldKind::fkLookup)
            needed.insert(d.KeyFields.toLower());
    for (TFieldDef& d : defs)
        if (d.Kind == TFieldKind::fkData && !d.Visible && !needed.contains(d.FieldName.toLower()))
            d.Kind = TFieldKind::fkCalculated;
    return defs;
}

QString CreateTableSql(const TTableDef& table)
{
    QStringList cols;
    for (const TColumnDef& c : table.Columns) {
        const QString name = u'"' + c.Name + u'"';
        switch (c.Type) {
        case TFieldType::ftAutoInc:
            cols << name + u" INTEGER PRIMARY KEY AUTOINCREMENT"_s;
            break;
        case TFieldType::ftString:
            cols << name + u" TEXT"_s;
            break;
        case TFieldType::ftInteger:
            cols << name + u" INTEGER"_s;
            break;
        case TFieldType::ftBoolean:
            cols << name + u" INTEGER NOT NULL DEFAULT 0"_s;
            break;
        }
    }
    return u"CREATE TABLE \""_s + table.Name + u"\" ("_s + cols.join(u", "_s) + u')';
}

} // namespace Schema
