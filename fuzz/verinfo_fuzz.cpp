// Fuzz entry point: any bytes as an executable image, read from memory and from a
// file. The reader must either build or throw one of its three exceptions; every
// query must then answer, and both ways of reading must agree.

#include "harvest/verinfores.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <sys/mman.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// What reading gave: the error's class and text, or every answer of the queries.
QString Outcome(const std::function<TVerInfoRes*()>& build)
{
    try {
        const std::unique_ptr<TVerInfoRes> info(build());
        QString all;
        for (int i = 0; i < VerInfoItemCount; ++i)
            all += info->GetVerValue(static_cast<TVerInfoItem>(i)) + u'\n';
        all += info->GetLanguageName() + u'\n' + info->GetLangIdText() + u'\n' +
               info->GetCodePageText() + u'\n' + info->Flags().join(u',');
        return all;
    } catch (const ENoVerInfoError& e) {
        return u"ENoVerInfoError "_s + e.Message();
    } catch (const EVerInfoError& e) {
        return u"EVerInfoError "_s + e.Message();
    } catch (const eNoFixeVerInfo& e) {
        return u"eNoFixeVerInfo "_s + e.Message();
    }
}

// One file in memory, rewritten for every input, read by its name.
int ImageFile()
{
    static const int fd = ::memfd_create("fuzz.exe", MFD_CLOEXEC);
    return fd;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray image(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString fromMemory = Outcome([&] { return new TVerInfoRes(image, u"fuzz.exe"_s); });

    const int fd = ImageFile();
    if (fd < 0 || ::ftruncate(fd, 0) != 0 ||
        ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        std::abort();
    const QString path = u"/proc/self/fd/"_s + QString::number(fd);
    const QString fromFile = Outcome([&] { return new TVerInfoRes(path); });
    // An empty file has nothing to read at all; anything else reads the same both ways.
    if (size > 0 && fromFile != fromMemory)
        std::abort();
    return 0;
}
