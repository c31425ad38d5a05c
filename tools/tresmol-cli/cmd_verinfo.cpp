// tresmol-cli verinfo FILE...: the version information of each file as one JSON
// object per line, keys in a fixed order.

#include "harvest/verinfores.h"
#include "tools/tresmol-cli/cli_util.h"
#include "tools/tresmol-cli/commands.h"

#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace {

// TEXT as a JSON string. Characters outside the basic plane stay whole; a lone
// surrogate, which UTF-8 cannot carry, is written as its \u escape.
QString JsonString(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += u'"';
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += c;
            out += text[++i];
        } else if (c == u'"' || c == u'\\') {
            out += u'\\';
            out += c;
        } else if (c.unicode() < 0x20 || c.isSurrogate()) {
            out += u"\\u%1"_s.arg(c.unicode(), 4, 16, QChar(u'0'));
        } else {
            out += c;
        }
    }
    return out + u'"';
}

QString Field(const QString& key, const QString& jsonValue)
{
    return JsonString(key) + u": "_s + jsonValue;
}

QString Describe(const QString& path)
{
    QStringList fields{Field(u"path"_s, JsonString(path))};
    try {
        const TVerInfoRes info(path);
        for (int i = 0; i < VerInfoItemCount; ++i) {
            const auto item = static_cast<TVerInfoItem>(i);
            fields << Field(VerInfoItemKey(item), JsonString(info.GetVerValue(item)));
        }
        fields << Field(u"Language"_s, JsonString(info.GetLanguageName()));
        fields << Field(u"LangID"_s, JsonString(info.GetLangIdText()));
        fields << Field(u"CodePage"_s, JsonString(info.GetCodePageText()));
        QStringList flags;
        for (const QString& flag : info.Flags())
            flags << JsonString(flag);
        fields << Field(u"Flags"_s, u'[' + flags.join(u", "_s) + u']');
    } catch (const ENoVerInfoError& e) {
        fields << Field(u"error"_s, JsonString(e.Message()));
    } catch (const EVerInfoError& e) {
        fields << Field(u"error"_s, JsonString(e.Message()));
    } catch (const eNoFixeVerInfo& e) {
        fields << Field(u"error"_s, JsonString(e.Message()));
    }
    return u'{' + fields.join(u", "_s) + u'}';
}

} // namespace

int CmdVerinfo(const QStringList& args)
{
    return RunCommand([&] {
        if (args.isEmpty())
            return Fail(u"verinfo: no file given"_s);
        for (const QString& path : args) {
            const QByteArray line = Describe(path).toUtf8() + '\n';
            std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
        }
        std::fflush(stdout);
        return 0;
    });
}
