// TVerInfoRes over real PE files built from resource scripts, hand-made version
// blocks, damaged copies and a 16-bit NE file (see tests/fixtures/verinfo).

#include "harvest/bytesource.h"
#include "harvest/peimage.h"
#include "harvest/verinfores.h"
#include "platform/nativepath.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unicode/uloc.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <type_traits>

using namespace Qt::Literals::StringLiterals;

namespace {

QString Fixture(const QString& name) { return QStringLiteral(VERINFO_FIXTURES) + u'/' + name; }

QByteArray FixtureBytes(const QString& name)
{
    QFile file(Fixture(name));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void SetUserLocale(const char* locale)
{
    UErrorCode status = U_ZERO_ERROR;
    uloc_setDefault(locale, &status);
}

QStringList AllItems(const TVerInfoRes& info)
{
    QStringList items;
    for (int i = 0; i < VerInfoItemCount; ++i)
        items << info.GetVerValue(static_cast<TVerInfoItem>(i));
    return items;
}

// The outcome of a construction: "" when it succeeded, else the exception's class
// and message.
QString Outcome(const std::function<void()>& build)
{
    try {
        build();
        return QString();
    } catch (const ENoVerInfoError& e) {
        return u"ENoVerInfoError: "_s + e.Message();
    } catch (const EVerInfoError& e) {
        return u"EVerInfoError: "_s + e.Message();
    } catch (const eNoFixeVerInfo& e) {
        return u"eNoFixeVerInfo: "_s + e.Message();
    }
}

// Counts the bytes a reader asks for.
class TCountingSource : public TMemorySource {
public:
    using TMemorySource::TMemorySource;
    bool Read(quint64 offset, quint64 length, QByteArray& out) override
    {
        FBytesRead += length;
        return TMemorySource::Read(offset, length, out);
    }
    quint64 FBytesRead = 0;
};

// A disc that reads the headers but fails on anything larger than a page.
class TFailingSource : public TMemorySource {
public:
    using TMemorySource::TMemorySource;
    bool Read(quint64 offset, quint64 length, QByteArray& out) override
    {
        return length <= 512 && TMemorySource::Read(offset, length, out);
    }
};

// A file that another program changes as soon as the reader first asks for its bytes.
class TChangingFile : public TFileSource {
public:
    TChangingFile(const QString& fileName, std::function<void()> change)
        : TFileSource(fileName), FChange(std::move(change))
    {
    }
    bool Read(quint64 offset, quint64 length, QByteArray& out) override
    {
        if (FChange) {
            FChange();
            FChange = nullptr;
        }
        return TFileSource::Read(offset, length, out);
    }

private:
    std::function<void()> FChange;
};

const QString NoVerInfo = u"ENoVerInfoError: No Version Info Available."_s;
const QString NoLanguage = u"EVerInfoError: No language info."_s;
const QString NoFixed = u"eNoFixeVerInfo: No fixed file info"_s;

} // namespace

class TestVerInfoRes : public QObject {
    Q_OBJECT

private slots:
    void init() { SetUserLocale("en_US"); }
    void cleanupTestCase() { SetUserLocale("en_US"); }

    void ExceptionClassesStandApart();
    void Construction_data();
    void Construction();
    void FolderAndMissingPath();
    void BlockThatCannotBeRead();
    void AllTenItems_data();
    void AllTenItems();
    void SingleItems_data();
    void SingleItems();
    void LongValue();
    void Flags_data();
    void Flags();
    void LanguageOfTheUser_data();
    void LanguageOfTheUser();
    void VersionLanguageChoice_data();
    void VersionLanguageChoice();
    void QueriesRepeatInAnyOrder();
    void EveryPrefixOfAFile_data();
    void EveryPrefixOfAFile();
    void EveryByteOfTheResourcesSpoilt();
    void ReadsOnlyWhatItNeeds();
    void FileReadsMatchMemory_data();
    void FileReadsMatchMemory();
    void FileChangingWhileRead_data();
    void FileChangingWhileRead();
};

void TestVerInfoRes::ExceptionClassesStandApart()
{
    static_assert(std::is_base_of_v<EError, ENoVerInfoError>);
    static_assert(std::is_base_of_v<EError, EVerInfoError>);
    static_assert(std::is_base_of_v<EError, eNoFixeVerInfo>);
    static_assert(!std::is_base_of_v<EVerInfoError, ENoVerInfoError>);
    static_assert(!std::is_base_of_v<EVerInfoError, eNoFixeVerInfo>);
    static_assert(!std::is_base_of_v<ENoVerInfoError, eNoFixeVerInfo>);
    static_assert(std::has_virtual_destructor_v<TVerInfoRes>);

    // A handler for EVerInfoError lets the other two pass.
    bool passedBy = false;
    try {
        try {
            TVerInfoRes info(Fixture(u"nores64.exe"_s));
        } catch (const EVerInfoError&) {
            QFAIL("ENoVerInfoError caught as EVerInfoError");
        }
    } catch (const ENoVerInfoError& e) {
        passedBy = true;
        QCOMPARE(e.Message(), u"No Version Info Available."_s);
    }
    QVERIFY(passedBy);
}

void TestVerInfoRes::Construction_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("64-bit exe") << u"english64.exe"_s << QString();
    QTest::newRow("32-bit exe") << u"english32.exe"_s << QString();
    QTest::newRow("64-bit dll") << u"english64.dll"_s << QString();
    QTest::newRow("32-bit library named .ocx") << u"english32.ocx"_s << QString();
    QTest::newRow("64-bit file named .scr") << u"russian64.scr"_s << QString();
    QTest::newRow("16-bit NE") << u"ne16.exe"_s << QString();
    QTest::newRow("no resources, 64-bit") << u"nores64.exe"_s << NoVerInfo;
    QTest::newRow("no resources, 32-bit") << u"nores32.exe"_s << NoVerInfo;
    QTest::newRow("text file named .exe") << u"text.exe"_s << NoVerInfo;
    QTest::newRow("version resource named 102") << u"name102.exe"_s << NoVerInfo;
    QTest::newRow("tables without translation") << u"notranslation.dll"_s << NoLanguage;
    QTest::newRow("translation of 2 bytes") << u"shorttranslation.exe"_s << NoLanguage;
    QTest::newRow("translation of 12 bytes") << u"longtranslation.exe"_s << QString();
    QTest::newRow("no fixed record") << u"nofixed.exe"_s << NoFixed;
    QTest::newRow("fixed record of 20 bytes") << u"shortfixed.exe"_s << NoFixed;
    QTest::newRow("noise for a block") << u"noise.exe"_s << NoLanguage;
    QTest::newRow("root longer than the resource") << u"longroot.exe"_s << QString();
    QTest::newRow("size of 4 GB") << u"size4g.exe"_s << NoVerInfo;
    QTest::newRow("size past the end") << u"sizeoutside.exe"_s << NoVerInfo;
    QTest::newRow("size zero") << u"sizezero.exe"_s << NoVerInfo;
    QTest::newRow("data outside every section") << u"dataoutside.exe"_s << NoVerInfo;
    QTest::newRow("cyclic directory") << u"cyclic.exe"_s << NoVerInfo;
    QTest::newRow("directory pointing at itself") << u"selfloop.exe"_s << NoVerInfo;
    QTest::newRow("65535 directory entries") << u"manyentries.exe"_s << NoVerInfo;
    QTest::newRow("65535 sections") << u"manysections.exe"_s << NoVerInfo;
    QTest::newRow("new header past the end") << u"badlfanew.exe"_s << NoVerInfo;
    QTest::newRow("truncated in the block") << u"truncated.exe"_s << NoVerInfo;
    QTest::newRow("MS-DOS header only") << u"headeronly.exe"_s << NoVerInfo;
}

void TestVerInfoRes::Construction()
{
    QFETCH(QString, file);
    QFETCH(QString, outcome);
    QVERIFY2(QFile::exists(Fixture(file)), qPrintable(Fixture(file)));
    QCOMPARE(Outcome([&] { TVerInfoRes info(Fixture(file)); }), outcome);
    // The same bytes from memory give the same outcome.
    const QByteArray bytes = FixtureBytes(file);
    QCOMPARE(Outcome([&] { TVerInfoRes info(bytes, file); }), outcome);
}

void TestVerInfoRes::FolderAndMissingPath()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QCOMPARE(Outcome([&] { TVerInfoRes info(dir.path()); }), NoVerInfo);
    QCOMPARE(Outcome([&] { TVerInfoRes info(dir.filePath(u"missing.exe"_s)); }), NoVerInfo);
    QCOMPARE(Outcome([&] { TVerInfoRes info{QString()}; }), NoVerInfo);
    QFile empty(dir.filePath(u"empty.exe"_s));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    QCOMPARE(Outcome([&] { TVerInfoRes info(empty.fileName()); }), NoVerInfo);
    // A named pipe is not read at all (opening it would wait for a writer).
    const QByteArray fifo = QFile::encodeName(dir.filePath(u"pipe.exe"_s));
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    QCOMPARE(Outcome([&] { TVerInfoRes info(QFile::decodeName(fifo)); }), NoVerInfo);
}

void TestVerInfoRes::BlockThatCannotBeRead()
{
    // The version block of english64.exe is over 512 bytes long.
    TFailingSource source(FixtureBytes(u"english64.exe"_s));
    QCOMPARE(Outcome([&] { TVerInfoRes info(source, u"english64.exe"_s); }),
             u"EVerInfoError: Cannot obtain version info."_s);
    // Read whole, the same bytes are fine.
    TMemorySource whole(FixtureBytes(u"english64.exe"_s));
    QCOMPARE(Outcome([&] { TVerInfoRes info(whole, u"english64.exe"_s); }), QString());
}

void TestVerInfoRes::AllTenItems_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("langId");
    QTest::addColumn<QString>("codePage");
    QTest::addColumn<QString>("language");

    const QStringList english = {
        u"Tresmol Test Works"_s,
        u"English sample program"_s,
        u"2.5.0.1"_s,
        u"english"_s,
        u"Copyright (C) 2024 Tresmol Test Works"_s,
        u"Tresmol(TM)"_s,
        u"english.exe"_s,
        u"Tresmol Samples"_s,
        u"2.5"_s,
        u"Smile: \U0001F600, accents: déjà vu"_s,
    };
    const QStringList russian = {
        u"ООО «Рога и копыта»"_s,
        u"Каталог программ"_s,
        u"1.0.0.7"_s,
        u"Каталог"_s,
        u"© 2003 Остап Бендер"_s,
        u"Тресмол™"_s,
        u"каталог.exe"_s,
        u"Тресмол"_s,
        u"1.0"_s,
        u"Ёлка, щука, ЭХО"_s,
    };
    const QString us = u"English (United States)"_s;
    QTest::newRow("english64.exe") << u"english64.exe"_s << english << u"0409"_s << u"1200"_s << us;
    QTest::newRow("english32.exe") << u"english32.exe"_s << english << u"0409"_s << u"1200"_s << us;
    QTest::newRow("english64.dll") << u"english64.dll"_s << english << u"0409"_s << u"1200"_s << us;
    QTest::newRow("english32.ocx") << u"english32.ocx"_s << english << u"0409"_s << u"1200"_s << us;
    QTest::newRow("section off the 512-byte grid")
        << u"offgrid.exe"_s << english << u"0409"_s << u"1200"_s << us;
    QTest::newRow("russian32.exe")
        << u"russian32.exe"_s << russian << u"0419"_s << u"1251"_s << u"Russian (Russia)"_s;
    QTest::newRow("russian64.scr")
        << u"russian64.scr"_s << russian << u"0419"_s << u"1251"_s << u"Russian (Russia)"_s;
    QTest::newRow("table 040904E4 for translation 0409/1200")
        << u"mismatch.exe"_s << QStringList(VerInfoItemCount, QString()) << u"0409"_s << u"1200"_s
        << us;
    QTest::newRow("NE, code page 1252") << u"ne16.exe"_s
                                        << QStringList{u"Sixteen Bits Ltd."_s,
                                                       u"Café © 1993"_s,
                                                       u"3.10"_s,
                                                       {},
                                                       {},
                                                       {},
                                                       {},
                                                       u"Old Windows program"_s,
                                                       {},
                                                       {}}
                                        << u"0409"_s << u"1252"_s << us;
    QTest::newRow("NE, code page 1251")
        << u"ne16ru.exe"_s
        << QStringList{u"Шестнадцать бит"_s, {}, {}, {}, {}, {}, {}, u"Старая программа"_s, {}, {}}
        << u"0419"_s << u"1251"_s << u"Russian (Russia)"_s;
}

void TestVerInfoRes::AllTenItems()
{
    QFETCH(QString, file);
    QFETCH(QStringList, items);
    QFETCH(QString, langId);
    QFETCH(QString, codePage);
    QFETCH(QString, language);
    const TVerInfoRes info(Fixture(file));
    QCOMPARE(AllItems(info), items);
    QCOMPARE(info.GetLangIdText(), langId);
    QCOMPARE(info.GetCodePageText(), codePage);
    QCOMPARE(info.GetLanguageName(), language);
    QCOMPARE(info.FileName(), Fixture(file));
}

void TestVerInfoRes::SingleItems_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("value");
    QTest::newRow("surrogate pair kept whole")
        << u"english64.exe"_s << int(viComments) << u"Smile: \U0001F600, accents: déjà vu"_s;
    QTest::newRow("control characters")
        << u"oddchars.exe"_s << int(viCompanyName) << u"Tab\there,\nnew line"_s;
    QTest::newRow("lone surrogate kept") << u"oddchars.exe"_s << int(viProductName)
                                         << (u"lone "_s + QChar(char16_t(0xD800)) + u" half"_s);
    QTest::newRow("first of several pairs")
        << u"pairs.exe"_s << int(viCompanyName) << u"Первая пара"_s;
    QTest::newRow("no fallback to the second pair's table")
        << u"pairs.exe"_s << int(viProductName) << QString();
    QTest::newRow("cut at a zero character") << u"zero.exe"_s << int(viCompanyName) << u"Before"_s;
    QTest::newRow("empty value") << u"zero.exe"_s << int(viFileDescription) << QString();
    QTest::newRow("item after an empty value")
        << u"zero.exe"_s << int(viProductName) << u"After the empty one"_s;
    QTest::newRow("value length 0 is empty")
        << u"zerolength.exe"_s << int(viFileDescription) << QString();
    QTest::newRow("item after a value of length 0")
        << u"zerolength.exe"_s << int(viFileVersion) << u"1.2.3"_s;
    QTest::newRow("value without terminator ends with its node")
        << u"zerolength.exe"_s << int(viInternalName) << u"NoEnd"_s;
    QTest::newRow("item after an unterminated value")
        << u"zerolength.exe"_s << int(viLegalCopyright) << u"After the unterminated one"_s;
    QTest::newRow("value length counted in bytes")
        << u"hints.exe"_s << int(viCompanyName) << u"Counted in bytes"_s;
    QTest::newRow("value length too short")
        << u"hints.exe"_s << int(viProductName) << u"Counted too short"_s;
    QTest::newRow("lower-case table and key")
        << u"lowercase.exe"_s << int(viCompanyName) << u"lower-case keys"_s;
    QTest::newRow("upper-case key") << u"lowercase.exe"_s << int(viFileVersion) << u"4.3.2.1"_s;
    QTest::newRow("longer key does not match")
        << u"lowercase.exe"_s << int(viProductName) << QString();
    QTest::newRow("every key in odd case")
        << u"lowerkeys.exe"_s << int(viCompanyName) << u"lower everywhere"_s;
    QTest::newRow("every key in odd case, upper")
        << u"lowerkeys.exe"_s << int(viProductName) << u"upper everywhere"_s;
    QTest::newRow("partial table keys do not match")
        << u"partialkey.exe"_s << int(viCompanyName) << QString();
    QTest::newRow("translation followed by more bytes")
        << u"longtranslation.exe"_s << int(viCompanyName) << u"Первый"_s;
    QTest::newRow("root longer than the resource")
        << u"longroot.exe"_s << int(viProductName) << u"Raw block"_s;
    QTest::newRow("item after a long value")
        << u"longvalue.exe"_s << int(viProductName) << u"After the long one"_s;
}

void TestVerInfoRes::SingleItems()
{
    QFETCH(QString, file);
    QFETCH(int, item);
    QFETCH(QString, value);
    const TVerInfoRes info(Fixture(file));
    QCOMPARE(info.GetVerValue(static_cast<TVerInfoItem>(item)), value);
}

void TestVerInfoRes::LongValue()
{
    QString alphabet;
    for (int i = 0; i < 6000; ++i)
        alphabet += QChar(u'A' + i % 26);
    const TVerInfoRes info(Fixture(u"longvalue.exe"_s));
    QCOMPARE(info.GetVerValue(viComments), alphabet);
}

void TestVerInfoRes::Flags_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("flags");
    QTest::newRow("mask 0x3F, flags 0x2B")
        << u"flags.exe"_s
        << QStringList{u"Pre-release"_s, u"Private build"_s, u"Special build"_s, u"Debug"_s};
    QTest::newRow("mask 0x0A, flags 0x3F")
        << u"flagsmask.exe"_s << QStringList{u"Pre-release"_s, u"Private build"_s};
    QTest::newRow("no flags") << u"english64.exe"_s << QStringList();
    QTest::newRow("NE, debug") << u"ne16.exe"_s << QStringList{u"Debug"_s};
}

void TestVerInfoRes::Flags()
{
    QFETCH(QString, file);
    QFETCH(QStringList, flags);
    const TVerInfoRes info(Fixture(file));
    QCOMPARE(info.Flags(), flags);
}

void TestVerInfoRes::LanguageOfTheUser_data()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("language");
    QTest::newRow("Russian for an English user")
        << "en_US"_ba << u"russian32.exe"_s << u"Russian (Russia)"_s;
    QTest::newRow("Russian for a Russian user")
        << "ru_RU"_ba << u"russian32.exe"_s << u"русский (Россия)"_s;
    QTest::newRow("neutral names the user's language")
        << "de_DE"_ba << u"neutral.exe"_s << u"Deutsch (Deutschland)"_s;
}

void TestVerInfoRes::LanguageOfTheUser()
{
    QFETCH(QByteArray, locale);
    QFETCH(QString, file);
    QFETCH(QString, language);
    SetUserLocale(locale.constData());
    const TVerInfoRes info(Fixture(file));
    QCOMPARE(info.GetLanguageName(), language);
}

void TestVerInfoRes::VersionLanguageChoice_data()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("company");
    QTest::addColumn<QString>("langId");
    QTest::newRow("user's language")
        << "de_DE"_ba << u"languages.exe"_s << u"German"_s << u"0407"_s;
    QTest::newRow("user's language, Russian")
        << "ru_RU"_ba << u"languages.exe"_s << u"Russian"_s << u"0419"_s;
    QTest::newRow("US English when the user's is missing")
        << "fr_FR"_ba << u"languages.exe"_s << u"English"_s << u"0409"_s;
    QTest::newRow("neutral before all")
        << "ru_RU"_ba << u"neutral.exe"_s << u"Neutral"_s << u"0000"_s;
    QTest::newRow("first when nothing else fits")
        << "fr_FR"_ba << u"firstlang.exe"_s << u"German"_s << u"0407"_s;
}

void TestVerInfoRes::VersionLanguageChoice()
{
    QFETCH(QByteArray, locale);
    QFETCH(QString, file);
    QFETCH(QString, company);
    QFETCH(QString, langId);
    SetUserLocale(locale.constData());
    const TVerInfoRes info(Fixture(file));
    QCOMPARE(info.GetVerValue(viCompanyName), company);
    QCOMPARE(info.GetLangIdText(), langId);
}

void TestVerInfoRes::QueriesRepeatInAnyOrder()
{
    const TVerInfoRes info(Fixture(u"russian32.exe"_s));
    const QStringList forwards = AllItems(info);
    QStringList backwards;
    for (int i = VerInfoItemCount - 1; i >= 0; --i)
        backwards.prepend(info.GetVerValue(static_cast<TVerInfoItem>(i)));
    QCOMPARE(backwards, forwards);
    QCOMPARE(info.GetCodePageText(), info.GetCodePageText());
    QCOMPARE(info.GetLangIdText(), u"0419"_s);
    QCOMPARE(AllItems(info), forwards);
}

void TestVerInfoRes::EveryPrefixOfAFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("PE32+") << u"english64.exe"_s;
    QTest::newRow("PE32") << u"russian32.exe"_s;
    QTest::newRow("NE") << u"ne16.exe"_s;
}

void TestVerInfoRes::EveryPrefixOfAFile()
{
    QFETCH(QString, file);
    const QByteArray whole = FixtureBytes(file);
    QVERIFY(!whole.isEmpty());
    int built = 0;
    for (qsizetype n = 0; n <= whole.size(); ++n) {
        // Any of the three exceptions is fine; anything else fails the test.
        const QString outcome = Outcome([&] {
            const TVerInfoRes info(whole.left(n), file);
            (void)AllItems(info);
            ++built;
        });
        if (n == whole.size())
            QCOMPARE(outcome, QString());
    }
    QVERIFY(built >= 1);
}

void TestVerInfoRes::EveryByteOfTheResourcesSpoilt()
{
    const QByteArray whole = FixtureBytes(u"english32.exe"_s);
    QVERIFY(!whole.isEmpty());
    TMemorySource source(whole);
    const auto resource = FindVersionResource(source, 0x0409);
    QVERIFY(resource.has_value());
    // Every byte from the headers to the end of the version block, set to 0xFF
    // and to 0x00 in turn.
    const qsizetype end = static_cast<qsizetype>(resource->Offset + resource->Size);
    int failed = 0;
    for (qsizetype i = 0; i < end; ++i) {
        for (const char spoilt : {'\xFF', '\0'}) {
            QByteArray copy = whole;
            copy[i] = spoilt;
            if (!Outcome([&] {
                     const TVerInfoRes info(copy, u"spoilt.exe"_s);
                     (void)AllItems(info);
                     (void)info.GetLanguageName();
                 }).isEmpty())
                ++failed;
        }
    }
    // Some spoilt bytes must have been noticed (the signatures, the offsets).
    QVERIFY(failed > 0);
}

void TestVerInfoRes::ReadsOnlyWhatItNeeds()
{
    // A good file followed by 16 MB of padding: the reader reads the headers, the
    // resource directory and the version block only.
    QByteArray image = FixtureBytes(u"english64.exe"_s);
    QVERIFY(!image.isEmpty());
    image.append(QByteArray(16 * 1024 * 1024, '\0'));
    TCountingSource source(image);
    const auto resource = FindVersionResource(source, 0x0409);
    QVERIFY(resource.has_value());
    QByteArray block;
    QVERIFY(source.Read(resource->Offset, resource->Size, block));
    QVERIFY2(source.FBytesRead < 8 * 1024, qPrintable(QString::number(source.FBytesRead)));
}

void TestVerInfoRes::FileReadsMatchMemory_data()
{
    QTest::addColumn<QList<qint64>>("reads"); // offset, length, offset, length, ...
    QTest::newRow("inside one page") << QList<qint64>{0, 64, 60, 4, 100, 200};
    QTest::newRow("across a page boundary") << QList<qint64>{4000, 200, 4090, 12};
    QTest::newRow("back and forth") << QList<qint64>{9000, 16, 10, 10, 8190, 4, 9000, 16};
    QTest::newRow("larger than a page") << QList<qint64>{100, 5000, 0, 10000};
    QTest::newRow("up to the end") << QList<qint64>{9990, 10, 10000, 0};
    QTest::newRow("past the end") << QList<qint64>{9990, 11, 10001, 0, 0, 10001};
    QTest::newRow("huge lengths") << QList<qint64>{8, qint64(1) << 62, 4, -1};
}

void TestVerInfoRes::FileReadsMatchMemory()
{
    QFETCH(QList<qint64>, reads);
    QByteArray bytes(10000, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    QTemporaryDir dir;
    QFile file(dir.filePath(u"pattern.bin"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
    file.close();

    TFileSource fromFile(file.fileName());
    TMemorySource fromMemory(bytes);
    QVERIFY(fromFile.IsOpen());
    QCOMPARE(fromFile.Size(), fromMemory.Size());
    for (qsizetype i = 0; i + 1 < reads.size(); i += 2) {
        const auto offset = static_cast<quint64>(reads[i]);
        const auto length = static_cast<quint64>(reads[i + 1]);
        QByteArray a, b;
        const bool readA = fromFile.Read(offset, length, a);
        const bool readB = fromMemory.Read(offset, length, b);
        QCOMPARE(readA, readB);
        if (readA)
            QCOMPARE(a, b);
    }
}

void TestVerInfoRes::FileChangingWhileRead_data()
{
    QTest::addColumn<QByteArray>("name"); // as the file system stores it
    QTest::addColumn<qint64>("newSize");  // -1: unchanged
    QTest::addColumn<bool>("fails");
    const QByteArray utf8 = "w\xc3\xa9.exe";
    const QByteArray notUtf8 = "w\xff.exe";
    QTest::newRow("UTF-8 name, unchanged") << utf8 << qint64(-1) << false;
    QTest::newRow("UTF-8 name, truncated") << utf8 << qint64(100) << true;
    QTest::newRow("UTF-8 name, grown") << utf8 << qint64(1) << true;
    QTest::newRow("other name, unchanged") << notUtf8 << qint64(-1) << false;
    QTest::newRow("other name, truncated") << notUtf8 << qint64(100) << true;
    QTest::newRow("other name, emptied") << notUtf8 << qint64(0) << true;
    QTest::newRow("other name, grown") << notUtf8 << qint64(1) << true;
}

void TestVerInfoRes::FileChangingWhileRead()
{
    QFETCH(QByteArray, name);
    QFETCH(qint64, newSize);
    QFETCH(bool, fails);
    QTemporaryDir dir;
    const QByteArray bytes = FixtureBytes(u"english64.exe"_s);
    QVERIFY(!bytes.isEmpty());
    const QByteArray native = QFile::encodeName(dir.path()) + '/' + name;
    {
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
        ::close(fd);
    }
    // "grown" appends a page; the others cut the file to the new size.
    const auto change = [&] {
        if (newSize < 0)
            return;
        if (newSize == 1) {
            const int fd = ::open(native.constData(), O_WRONLY | O_APPEND);
            const QByteArray page(4096, 'x');
            QCOMPARE(::write(fd, page.constData(), size_t(page.size())), ssize_t(page.size()));
            ::close(fd);
        } else {
            QCOMPARE(::truncate(native.constData(), off_t(newSize)), 0);
        }
    };
    TChangingFile source(PathFromNative(native), change);
    QVERIFY(source.IsOpen());
    const QString outcome = Outcome([&] { TVerInfoRes info(source, u"w.exe"_s); });
    QCOMPARE(!outcome.isEmpty(), fails);
}

QTEST_GUILESS_MAIN(TestVerInfoRes)
#include "tst_verinfores.moc"
