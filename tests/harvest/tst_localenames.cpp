// LocaleNames: Windows language ids to names in the user's language, through ICU.

#include "platform/localenames.h"

#include <QTest>

#include <unicode/uloc.h>

using namespace Qt::Literals::StringLiterals;

class TestLocaleNames : public QObject {
    Q_OBJECT

private slots:
    void init() { SetIcuDefault("en_US"); }
    void cleanupTestCase() { SetIcuDefault("en_US"); }

    void NamesInDisplayLanguage_data();
    void NamesInDisplayLanguage();
    void UserLanguageFollowsLocale_data();
    void UserLanguageFollowsLocale();
    void NeutralAndUserDefaultNameTheUsersLanguage_data();
    void NeutralAndUserDefaultNameTheUsersLanguage();
    void NamesFollowTheUsersLocale();

private:
    static void SetIcuDefault(const char* locale)
    {
        UErrorCode status = U_ZERO_ERROR;
        uloc_setDefault(locale, &status);
        QVERIFY(U_SUCCESS(status));
    }
};

void TestLocaleNames::NamesInDisplayLanguage_data()
{
    QTest::addColumn<int>("langId");
    QTest::addColumn<QString>("displayLocale");
    QTest::addColumn<QString>("name");
    QTest::newRow("Russian in English") << 0x0419 << u"en_US"_s << u"Russian (Russia)"_s;
    QTest::newRow("Russian in Russian") << 0x0419 << u"ru_RU"_s << u"русский (Россия)"_s;
    QTest::newRow("US English in English") << 0x0409 << u"en_US"_s << u"English (United States)"_s;
    QTest::newRow("German in German") << 0x0407 << u"de_DE"_s << u"Deutsch (Deutschland)"_s;
    QTest::newRow("UK English in Russian")
        << 0x0809 << u"ru_RU"_s << u"английский (Великобритания)"_s;
    QTest::newRow("language without country") << 0x0019 << u"en_US"_s << u"Russian"_s;
    QTest::newRow("invariant") << 0x007F << u"en_US"_s
                               << u"Invariant Language (Invariant Country)"_s;
    QTest::newRow("unknown id") << 0x1234 << u"en_US"_s << QString();
    QTest::newRow("unknown id, all bits") << 0xFFFF << u"ru_RU"_s << QString();
}

void TestLocaleNames::NamesInDisplayLanguage()
{
    QFETCH(int, langId);
    QFETCH(QString, displayLocale);
    QFETCH(QString, name);
    QCOMPARE(LocaleNames::LanguageName(static_cast<quint16>(langId), displayLocale), name);
}

void TestLocaleNames::UserLanguageFollowsLocale_data()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<int>("langId");
    QTest::newRow("ru_RU") << "ru_RU"_ba << 0x0419;
    QTest::newRow("de_DE") << "de_DE"_ba << 0x0407;
    QTest::newRow("en_GB") << "en_GB"_ba << 0x0809;
    QTest::newRow("POSIX counts as US English") << "en_US_POSIX"_ba << 0x0409;
}

void TestLocaleNames::UserLanguageFollowsLocale()
{
    QFETCH(QByteArray, locale);
    QFETCH(int, langId);
    SetIcuDefault(locale.constData());
    QCOMPARE(int(LocaleNames::UserLangId()), langId);
}

void TestLocaleNames::NeutralAndUserDefaultNameTheUsersLanguage_data()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<int>("langId");
    QTest::addColumn<QString>("name");
    QTest::newRow("neutral, Russian user") << "ru_RU"_ba << 0x0000 << u"русский (Россия)"_s;
    QTest::newRow("user default, Russian user") << "ru_RU"_ba << 0x0400 << u"русский (Россия)"_s;
    QTest::newRow("neutral, US user") << "en_US"_ba << 0x0000 << u"English (United States)"_s;
    QTest::newRow("user default, German user")
        << "de_DE"_ba << 0x0400 << u"Deutsch (Deutschland)"_s;
}

void TestLocaleNames::NeutralAndUserDefaultNameTheUsersLanguage()
{
    QFETCH(QByteArray, locale);
    QFETCH(int, langId);
    QFETCH(QString, name);
    SetIcuDefault(locale.constData());
    QCOMPARE(LocaleNames::LanguageName(static_cast<quint16>(langId)), name);
}

void TestLocaleNames::NamesFollowTheUsersLocale()
{
    SetIcuDefault("en_US");
    const QString english = LocaleNames::LanguageName(0x0419);
    SetIcuDefault("ru_RU");
    const QString russian = LocaleNames::LanguageName(0x0419);
    QCOMPARE(english, u"Russian (Russia)"_s);
    QCOMPARE(russian, u"русский (Россия)"_s);
}

QTEST_GUILESS_MAIN(TestLocaleNames)
#include "tst_localenames.moc"
