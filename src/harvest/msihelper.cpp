// tresmol-msi: reads Windows Installer packages for the program, which asks over
// standard input and hears back over standard output, one question after another
// until standard input ends (see msipackage.cpp for the framing): F PATH for what a
// package says of its product, C PATH for that and its contents, S PATH NAME LIMIT for
// an embedded stream. libmsi crashes on
// some damaged packages; here such a package ends this helper, and the program, which
// starts a new one, records the package as unreadable.

// GLib's headers name a field "signals", which Qt defines as a keyword: they come
// before any of Qt's.
#include <glib.h>

#include "harvest/archivestream.h"
#include "harvest/msireader.h"

#include <QDataStream>
#include <QIODevice>

#include <cstdio>

#include <sys/resource.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define TRESMOL_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TRESMOL_ADDRESS_SANITIZER 1
#endif
#endif

namespace {

bool ReadExactly(char* data, size_t size) { return std::fread(data, 1, size, stdin) == size; }

bool Answer(std::FILE* to, const QByteArray& answer)
{
    const quint32 size = quint32(answer.size());
    return std::fwrite(&size, sizeof size, 1, to) == 1 &&
           std::fwrite(answer.constData(), 1, size_t(answer.size()), to) == size_t(answer.size()) &&
           std::fflush(to) == 0;
}

} // namespace

int main()
{
#ifndef TRESMOL_ADDRESS_SANITIZER
    // Room for the largest cabinet handed over, and what libmsi needs beside it; a
    // package that wants more gets nothing. (AddressSanitizer reserves far more
    // address space than that for itself.)
    const rlim_t budget = rlim_t(3 * Harvest::MaxNestedBytes);
    const rlimit limit{budget, budget};
    ::setrlimit(RLIMIT_AS, &limit);
#endif
    // libmsi and libgsf also tell standard error, in GLib's words, what they found
    // wrong with a damaged package; the program says in its own which package it
    // skipped and why, once.
    g_log_set_default_handler([](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    // The answers go out on a descriptor of their own, and standard output becomes
    // standard error: whatever a library prints cannot get into an answer.
    const int answers = ::dup(STDOUT_FILENO);
    std::FILE* to = answers >= 0 ? ::fdopen(answers, "w") : nullptr;
    if (!to || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
        return 1;
    while (true) {
        quint32 size = 0;
        if (!ReadExactly(reinterpret_cast<char*>(&size), sizeof size))
            return 0;
        QByteArray question(qsizetype(size), Qt::Uninitialized);
        if (!ReadExactly(question.data(), size))
            return 1;
        QDataStream in(question);
        quint8 kind = 0;
        QByteArray path;
        in >> kind >> path;
        QByteArray answer;
        QDataStream out(&answer, QIODevice::WriteOnly);
        if (kind == 'F' || kind == 'C') {
            Harvest::TPackageFacts facts;
            QString why;
            const bool ok = Harvest::ReadPackageFacts(path, kind == 'C', facts, why);
            out << ok << why;
            if (ok)
                out << facts;
        } else if (kind == 'S') {
            QString name;
            qint64 limit = 0;
            in >> name >> limit;
            QByteArray bytes;
            const bool ok = Harvest::ReadPackageStream(path, name, limit, bytes);
            out << ok << bytes;
        } else {
            return 1;
        }
        if (!Answer(to, answer))
            return 1;
    }
}
