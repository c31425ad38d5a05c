#include "platform/inifile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

QStringList ReadLines(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(file.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    QStringList lines = text.split(u'\n');
    for (QString& line : lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// The section named by LINE ("[name]"), if it opens one.
std::optional<QString> SectionOf(const QString& line)
{
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(u'[') || !trimmed.contains(u']'))
        return std::nullopt;
    return trimmed.mid(1, trimmed.indexOf(u']') - 1).trimmed();
}

// The key of a "key=value" LINE, if it is one.
std::optional<QString> KeyOf(const QString& line)
{
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return std::nullopt;
    return line.left(eq).trimmed();
}

bool Same(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

std::optional<QString> FindInFile(const QString& fileName, const QString& section,
                                  const QString& key)
{
    bool inSection = false;
    for (const QString& line : ReadLines(fileName)) {
        if (const auto s = SectionOf(line)) {
            inSection = Same(*s, section);
            continue;
        }
        if (!inSection)
            continue;
        if (const auto k = KeyOf(line); k && Same(*k, key)) {
            QString value = line.mid(line.indexOf(u'=') + 1).trimmed();
            if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
                value = value.mid(1, value.size() - 2);
            return value;
        }
    }
    return std::nullopt;
}

// Decimal with an optional sign, or hexadecimal after "0x" or "$".
std::optional<int> ParseInteger(const QString& text)
{
    QString t = text.trimmed();
    bool negative = false;
    if (t.startsWith(u'-') || t.startsWith(u'+')) {
        negative = t.startsWith(u'-');
        t.remove(0, 1);
    }
    int base = 10;
    if (t.startsWith(u"0x"_s, Qt::CaseInsensitive)) {
        t.remove(0, 2);
        base = 16;
    } else if (t.startsWith(u'$')) {
        t.remove(0, 1);
        base = 16;
    }
    if (t.isEmpty() || t.startsWith(u'-') || t.startsWith(u'+') || t.contains(u' '))
        return std::nullopt;
    bool ok = false;
    const qlonglong v = t.toLongLong(&ok, base);
    if (!ok)
        return std::nullopt;
    // Hexadecimal values wrap to 32 bits, as 0xFFFFFFFF means -1.
    if (base == 16 ? v > 0xFFFFFFFFLL : v > 0x80000000LL)
        return std::nullopt;
    // The sign is applied before the value is cut to 32 bits: -2147483648 is a valid
    // value whose magnitude no int can hold, and "-0x80000000" wraps like the rest.
    return qint32(quint32(negative ? -v : v));
}

// LINES with SECTION / KEY set to VALUE: the key in place when it is there, else at
// the end of its section, else in a new section at the end.
void Apply(QStringList& lines, const QString& section, const QString& key, const QString& value)
{
    qsizetype sectionAt = -1; // the line that opens the section
    qsizetype insertAt = -1;  // after the section's last non-blank line
    qsizetype keyAt = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (const auto s = SectionOf(lines[i])) {
            if (sectionAt >= 0 && Same(*s, section))
                continue;
            if (sectionAt >= 0)
                break;
            if (Same(*s, section))
                sectionAt = insertAt = i;
            continue;
        }
        if (sectionAt < 0)
            continue;
        if (!lines[i].trimmed().isEmpty())
            insertAt = i;
        if (const auto k = KeyOf(lines[i]); k && Same(*k, key)) {
            keyAt = i;
            break;
        }
    }
    const QString entry = key + u'=' + value;
    if (keyAt >= 0) {
        // The key keeps the spelling it has in the file.
        lines[keyAt] = *KeyOf(lines[keyAt]) + u'=' + value;
    } else if (sectionAt >= 0) {
        lines.insert(insertAt + 1, entry);
    } else {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines << QString();
        lines << u'[' + section + u']' << entry;
    }
}

} // namespace

std::optional<QString> TIniFile::Find(const QString& section, const QString& key) const
{
    // A value held for the next update is what the file will say.
    if (FHeld)
        for (auto w = FHeld->crbegin(); w != FHeld->crend(); ++w)
            if (Same(w->Section, section) && Same(w->Key, key))
                return w->Value;
    return FindInFile(FFileName, section, key);
}

QString TIniFile::ReadString(const QString& section, const QString& key,
                             const QString& defaultValue) const
{
    return Find(section, key).value_or(defaultValue);
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const
{
    const auto text = Find(section, key);
    if (!text)
        return defaultValue;
    return ParseInteger(*text).value_or(defaultValue);
}

bool TIniFile::ReadBool(const QString& section, const QString& key, bool defaultValue) const
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    if (FHeld) {
        FHeld->append({section, key, value});
        return;
    }
    QStringList lines = ReadLines(FFileName);
    Apply(lines, section, key, value);
    Save(lines);
}

void TIniFile::BeginUpdate()
{
    if (!FHeld)
        FHeld.emplace();
}

void TIniFile::EndUpdate()
{
    if (!FHeld)
        return;
    const QList<THeldWrite> held = std::move(*FHeld);
    FHeld.reset();
    if (held.isEmpty())
        return;
    // Read afresh, so that what was edited by hand meanwhile stays beside our values.
    QStringList lines = ReadLines(FFileName);
    for (const THeldWrite& w : held)
        Apply(lines, w.Section, w.Key, w.Value);
    Save(lines);
}

void TIniFile::CancelUpdate() { FHeld.reset(); }

void TIniFile::Save(const QStringList& lines) const
{
    // A new file is written beside the old one and renamed over it, so that a reader,
    // a crash or a full disk never meets half a file. Its folder is made on the first
    // write: the configuration folder need not exist before.
    QDir().mkpath(QFileInfo(FFileName).absolutePath());
    QSaveFile file(FFileName);
    const QByteArray bytes = (lines.join(u"\n"_s) + u'\n').toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw EIniFileError(u"Unable to write to %1"_s.arg(FFileName));
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value)
{
    WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString& section, const QString& key, bool value)
{
    WriteString(section, key, value ? u"1"_s : u"0"_s);
}
