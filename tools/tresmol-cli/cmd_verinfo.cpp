// tresmol-cli verinfo FILE...: the version information of each file as one JSON
// object per line, keys in a fixed order.

#include "harvest/verinfores.h"
#include "tools/tresmol-cli/cli_util.h"
#include "tools/tresmol-cli/commands.h"

#include <QHash>

#include <cstdio>
#include <string>

using namespace Qt::Literals::StringLiterals;

namespace {

// TEXT as a JSON string, appended in UTF-8 to OUT. Characters outside the basic
// plane stay whole; a lone surrogate, which UTF-8 cannot carry, is written as its
// \u escape, and so are control characters.
void AppendJsonString(std::string& out, QStringView text)
{
    // Room for the worst case, six bytes a character; cut back at the end.
    const size_t start = out.size();
    out.resize(start + 2 + static_cast<size_t>(text.size()) * 6);
    char* p = out.data() + start;
    const auto escape = [&p](char32_t c) {
        static constexpr char Digits[] = "0123456789abcdef";
        *p++ = '\\';
        *p++ = 'u';
        for (int shift = 12; shift >= 0; shift -= 4)
            *p++ = Digits[(c >> shift) & 0xF];
    };
    *p++ = '"';
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char32_t c = text[i].unicode();
        if (c < 0x80) {
            if (c == u'"' || c == u'\\') {
                *p++ = '\\';
                *p++ = static_cast<char>(c);
            } else if (c < 0x20) {
                escape(c);
            } else {
                *p++ = static_cast<char>(c);
            }
        } else if (c < 0x800) {
            *p++ = static_cast<char>(0xC0 | (c >> 6));
            *p++ = static_cast<char>(0x80 | (c & 0x3F));
        } else if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
                   text[i + 1].isLowSurrogate()) {
            const char32_t full = QChar::surrogateToUcs4(char16_t(c), text[++i].unicode());
            *p++ = static_cast<char>(0xF0 | (full >> 18));
            *p++ = static_cast<char>(0x80 | ((full >> 12) & 0x3F));
            *p++ = static_cast<char>(0x80 | ((full >> 6) & 0x3F));
            *p++ = static_cast<char>(0x80 | (full & 0x3F));
        } else if (QChar::isSurrogate(c)) {
            escape(c);
        } else {
            *p++ = static_cast<char>(0xE0 | (c >> 12));
            *p++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *p++ = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    *p++ = '"';
    out.resize(static_cast<size_t>(p - out.data()));
}

void AppendField(std::string& out, const char* key, QStringView value)
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
std::string Describe(const QString& path, TRunCache& cache)
{
    std::string line;
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
            const std::string line = Describe(path, cache);
            std::fwrite(line.data(), 1, line.size(), stdout);
        }
        FinishOutput();
        return 0;
    });
}
