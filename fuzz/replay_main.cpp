// Runs the fuzz entry point once over every file named on the command line, or
// over every file of the folders named there: the regression run of the corpus
// under an ordinary compiler.

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

int RunOne(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        QTextStream(stderr) << "cannot read " << path << Qt::endl;
        return 1;
    }
    const QByteArray bytes = file.readAll();
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()),
                           static_cast<size_t>(bytes.size()));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    int failures = 0;
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (QFileInfo(arg).isDir()) {
            QDirIterator it(arg, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                failures += RunOne(it.next());
                ++count;
            }
        } else {
            failures += RunOne(arg);
            ++count;
        }
    }
    QTextStream(stdout) << "ran " << count << " inputs" << Qt::endl;
    return failures == 0 && count > 0 ? 0 : 1;
}
