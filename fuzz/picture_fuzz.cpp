// Fuzz entry point: any bytes as a picture file, loaded under every loadable
// extension in turn and, when it loads, drawn small. Loading must never hang or take
// the process down: a metafile goes to its helper under a budget of time and memory.

#include "pictures/picture.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace Qt::Literals::StringLiterals;

namespace {

// A picture drawn with fonts needs the application; the offscreen platform serves. It
// lives as long as the process: taking it down among the other statics at exit would
// pull the fonts from under them.
void EnsureApplication()
{
    if (QCoreApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "picture_fuzz";
    static char* argv[] = {name, nullptr};
    new QGuiApplication(argc, argv);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    EnsureApplication();
    static QTemporaryDir dir;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const char* extension : {"bmp", "ico", "wmf", "emf", "jpg", "png", "gif", "webp"}) {
        const QString path = dir.filePath(u"input."_s + QString::fromLatin1(extension));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(bytes);
        file.close();
        const TPicture picture = TPicture::Load(path);
        if (picture.IsNull())
            continue;
        if (picture.Size().isEmpty())
            std::abort(); // a picture that loads has a size
        picture.Render(picture.Size().boundedTo(QSize(64, 64)));
    }
    return 0;
}
