// What `cmake --install` puts on a system, installed into a temporary prefix and
// checked with the tools the desktop's software centres and Debian use: the menu entry,
// the AppStream metadata, the icons, and the manual page against `tresmol-cli --help`.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString AppId = QStringLiteral(TRESMOL_APP_ID);

struct TRun {
    int Status;
    QString Out;
};

TRun Run(const QString& program, const QStringList& args,
         const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted())
        return {-1, program + u" did not start"_s};
    p.waitForFinished(-1);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput())};
}

// The lines of a manual page's section NAME as man-db renders it, without indentation.
QStringList ManSection(const QString& page, const QString& name)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"MANWIDTH"_s, u"250"_s);
    const TRun r = Run(u"man"_s, {u"-l"_s, u"-P"_s, u"cat"_s, page}, env);
    QStringList lines;
    bool inside = false;
    for (const QString& line : r.Out.split(u'\n')) {
        if (!line.isEmpty() && !line.front().isSpace()) {
            inside = line == name;
            continue;
        }
        if (inside && !line.trimmed().isEmpty())
            lines << line.simplified();
    }
    return lines;
}

} // namespace

class TestInstall : public QObject {
    Q_OBJECT

private:
    QTemporaryDir FPrefix;
    QString Installed(const QString& relative) const { return FPrefix.filePath(relative); }

private slots:
    void initTestCase()
    {
        QVERIFY(FPrefix.isValid());
        const TRun r =
            Run(QStringLiteral(TRESMOL_CMAKE), {u"--install"_s, QStringLiteral(TRESMOL_BINARY_DIR),
                                                u"--prefix"_s, FPrefix.path()});
        QVERIFY2(r.Status == 0, qPrintable(r.Out));
    }

    // The installed README, the program's home page, shows every picture it names.
    void readmeShowsNoBrokenPicture()
    {
        const QString readme = Installed(u"share/doc/tresmol/README.md"_s);
        QFile f(readme);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        static const QRegularExpression picture(uR"(!\[[^\]]*\]\(([^)\s]+)\))"_s);
        int pictures = 0;
        for (const QRegularExpressionMatch& m : picture.globalMatch(text)) {
            ++pictures;
            const QString target = QFileInfo(readme).dir().filePath(m.captured(1));
            QVERIFY2(!QImage(target).isNull(), qPrintable(m.captured(1)));
        }
        QVERIFY(pictures > 0);
    }

    // The licence, in the form Debian's tools read, and the project's LICENSE.
    void copyrightIsMachineReadable()
    {
        QFile f(Installed(u"share/doc/tresmol/copyright"_s));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
        QCOMPARE(lines.first(),
                 u"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/"_s);
        QVERIFY(lines.contains(u"Files: *"_s));
        QVERIFY(lines.contains(u"License: GPL-2+"_s));
        QFile license(QStringLiteral(TRESMOL_SOURCE_DIR "/LICENSE"));
        QVERIFY(license.open(QIODevice::ReadOnly));
        QVERIFY(license.readAll().contains(
            "GNU GENERAL PUBLIC LICENSE\n                       Version 2"));
    }

    // A Debian package carries its changelog, compressed, beside the copyright.
    void changelogIsInstalled()
    {
        const TRun r = Run(u"gzip"_s, {u"-dc"_s, Installed(u"share/doc/tresmol/changelog.gz"_s)});
        QCOMPARE(r.Status, 0);
        QVERIFY2(r.Out.startsWith(u"tresmol ("_s + QStringLiteral(TRESMOL_VERSION) + u')'),
                 qPrintable(r.Out));
    }

    void programsAreInstalled_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("tresmol") << u"bin/tresmol"_s;
        QTest::newRow("tresmol-cli") << u"bin/tresmol-cli"_s;
    }

    void programsAreInstalled()
    {
        QFETCH(QString, path);
        const QFileInfo info(Installed(path));
        QVERIFY2(info.isFile() && info.isExecutable(), qPrintable(info.filePath()));
    }

    void desktopEntryIsValid()
    {
        const QString entry = Installed(u"share/applications/"_s + AppId + u".desktop"_s);
        QVERIFY2(QFileInfo::exists(entry), qPrintable(entry));
        const TRun r = Run(u"desktop-file-validate"_s, {entry});
        QVERIFY2(r.Status == 0 && r.Out.trimmed().isEmpty(), qPrintable(r.Out));

        QSettings desktop(entry, QSettings::IniFormat);
        desktop.beginGroup(u"Desktop Entry"_s);
        QCOMPARE(desktop.value(u"Icon"_s).toString(), AppId);
        // The command it runs is the one installed beside it.
        const QString exec = desktop.value(u"Exec"_s).toString().section(u' ', 0, 0);
        QVERIFY2(QFileInfo(Installed(u"bin/"_s + exec)).isExecutable(), qPrintable(exec));
    }

    void metainfoIsValid()
    {
        const QString metainfo = Installed(u"share/metainfo/"_s + AppId + u".metainfo.xml"_s);
        QVERIFY2(QFileInfo::exists(metainfo), qPrintable(metainfo));
        const TRun r = Run(u"appstreamcli"_s, {u"validate"_s, u"--no-net"_s, metainfo});
        QVERIFY2(r.Status == 0, qPrintable(r.Out));
        QFile f(metainfo);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString xml = QString::fromUtf8(f.readAll());
        for (const QString& needed :
             QStringList{u"<launchable type=\"desktop-id\">"_s + AppId + u".desktop</launchable>"_s,
                         u"<screenshot type=\"default\">"_s, u"<description>"_s,
                         u"<release version=\""_s + QStringLiteral(TRESMOL_VERSION) + u'"'})
            QVERIFY2(xml.contains(needed), qPrintable(needed));
    }

    void iconsAreInstalled_data()
    {
        QTest::addColumn<int>("size");
        for (int size : {48, 64, 128, 256})
            QTest::addRow("%dx%d", size, size) << size;
    }

    void iconsAreInstalled()
    {
        QFETCH(int, size);
        const QString name = u"share/icons/hicolor/%1x%1/apps/"_s.arg(size) + AppId + u".png"_s;
        const QImage image(Installed(name));
        QVERIFY2(!image.isNull(), qPrintable(name));
        QCOMPARE(image.size(), QSize(size, size));
        // Drawn, not a blank square: the corners are clear, the middle is not.
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QVERIFY(qAlpha(image.pixel(size / 2, size / 2)) > 0);
    }

    void scalableIconIsInstalled()
    {
        const QString svg = Installed(u"share/icons/hicolor/scalable/apps/"_s + AppId + u".svg"_s);
        QFile f(svg);
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(svg));
        QVERIFY(f.readAll().contains("<svg"));
    }

    void manualPagesAreInstalled_data()
    {
        QTest::addColumn<QString>("page");
        QTest::newRow("tresmol") << u"share/man/man1/tresmol.1.gz"_s;
        QTest::newRow("tresmol-cli") << u"share/man/man1/tresmol-cli.1.gz"_s;
    }

    void manualPagesAreInstalled()
    {
        QFETCH(QString, page);
        QVERIFY2(QFileInfo::exists(Installed(page)), qPrintable(page));
        QVERIFY(!ManSection(Installed(page), u"NAME"_s).isEmpty());
    }

    void cliHelpMatchesItsManualPage()
    {
        const TRun help = Run(Installed(u"bin/tresmol-cli"_s), {u"--help"_s});
        QCOMPARE(help.Status, 0);
        QStringList usage;
        QString keys;
        for (const QString& line : help.Out.split(u'\n')) {
            if (line.trimmed().startsWith(u"tresmol-cli"_s))
                usage << line.simplified();
            else if (line.startsWith(u"KEY:"_s))
                keys = line.mid(4);
        }
        QVERIFY(!usage.isEmpty());
        const QString page = Installed(u"share/man/man1/tresmol-cli.1.gz"_s);
        QCOMPARE(ManSection(page, u"SYNOPSIS"_s), usage);

        // Every command has its paragraph, every sort key its mention.
        const QString commands = ManSection(page, u"COMMANDS"_s).join(u'\n');
        for (const QString& line : usage) {
            const QString command = line.section(u' ', 1, 1);
            QVERIFY2(commands.contains(
                         QRegularExpression(u"(^|\\n)"_s + QRegularExpression::escape(command))),
                     qPrintable(command));
        }
        const QString options = ManSection(page, u"OPTIONS"_s).join(u' ');
        QVERIFY(!keys.isEmpty());
        for (const QString& key : keys.split(u',', Qt::SkipEmptyParts))
            QVERIFY2(options.contains(key.trimmed()), qPrintable(key));
    }
};

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
