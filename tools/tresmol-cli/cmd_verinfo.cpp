// tresmol-cli verinfo FILE...: the version information of each file as one JSON
// object per line, keys in a fixed order.

#include "harvest/verinfores.h"
#include "tools/tresmol-cli/cli_util.h"
#include "tools/tresmol-cli/commands.h"

#include <QHash>

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace {

// TEXT as a JSON string, appended in UTF-8 to OUT. Characters outside the basic
// plane stay whole; a lone surrogate, which UTF-8 cannot carry, is written as its
// \u escape.
void AppendJsonString(QByteArray& out, QStringView text)
{
    out += '"';
    qsizetype plainFrom = 0;
    const auto flushPlain = [&](qsizetype to) {
        if (to > plainFrom)
            out += text.sliced(plainFrom, to - plainFrom).toUtf8();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i;
            continue;
        }
        if (c >= 0x20 && c != u'"' && c != u'\\' && !QChar::isSurrogate(c))
            continue;
        flushPlain(i);
        if (c == u'"' || c == u'\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", unsigned(c));
            out += escape;
        }
        plainFrom = i + 1;
    }
    flushPlain(text.size());
    out += '"';
}

void AppendField(QByteArray& out, const char* key, QStringView value)
{
    out += ", \"";
    out += key;
    out += "\": ";
    AppendJsonString(out, value);
}

// What one run needs again and again: the item keys, and the language names
// already asked for (the same id always gives the same name).
struct TRunCache {
    QList<QByteArray> Keys;
    QHash<QString, QString> Languages;
};

// One line for PATH.
QByteArray Describe(const QString& path, TRunCache& cache)
{
    QByteArray line;
    line.reserve(1024);
    line += "{\"path\": ";
    AppendJsonString(line, path);
    try {
        const TVerInfoRes info(path);
        for (int i = 0; i < VerInfoItemCount; ++i)
            AppendField(line, cache.Keys[i].constData(),
                        info.GetVerValue(static_cast<TVerInfoItem>(i)));
        const QString langId = info.GetLangIdText();
        auto language = cache.Languages.find(langId);
        if (language == cache.Languages.end())
            language = cache.Languages.insert(langId, info.GetLanguageName());
        AppendField(line, "Language", *language);
        AppendField(line, "LangID", langId);
        AppendField(line, "CodePage", info.GetCodePageText());
        line += ", \"Flags\": [";
        for (qsizetype i = 0; i < info.Flags().size(); ++i) {
            if (i > 0)
                line += ", ";
            AppendJsonString(line, info.Flags()[i]);
        }
        line += ']';
    } catch (const ENoVerInfoError& e) {
        AppendField(line, "error", e.Message());
    } catch (const EVerInfoError& e) {
        AppendField(line, "error", e.Message());
    } catch (const eNoFixeVerInfo& e) {
        AppendField(line, "error", e.Message());
    }
    line += "}\n";
    return line;
}

} // namespace

int CmdVerinfo(const QStringList& args)
{
    return RunCommand([&] {
        if (args.isEmpty())
            return Fail(u"verinfo: no file given"_s);
        TRunCache cache;
        for (int i = 0; i < VerInfoItemCount; ++i)
            cache.Keys << VerInfoItemKey(static_cast<TVerInfoItem>(i)).toLatin1();
        for (const QString& path : args) {
            const QByteArray line = Describe(path, cache);
            std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
        }
        std::fflush(stdout);
        return 0;
    });
}
