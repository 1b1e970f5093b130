// Replays saved fuzz inputs through a fuzz target's entry point, without
// libFuzzer: every file of the folders given, in name order. A crash or a
// sanitizer report fails the run; so does a folder that is missing or empty, so
// that a lost corpus cannot pass unnoticed.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv)
{
    // The entry point may take its own arguments from the command line; the
    // folders are read before it can.
    QStringList folders;
    for (int i = 1; i < argc; ++i)
        folders << QString::fromLocal8Bit(argv[i]);
    LLVMFuzzerInitialize(&argc, &argv);
    if (folders.isEmpty()) {
        std::fprintf(stderr, "usage: replay FOLDER...\n");
        return 2;
    }
    QElapsedTimer clock;
    clock.start();
    int replayed = 0;
    for (const QString &folder : folders) {
        const QDir dir(folder);
        const QStringList names = dir.entryList(QDir::Files, QDir::Name);
        if (!dir.exists() || names.isEmpty()) {
            std::fprintf(stderr, "no inputs in %s\n", qPrintable(folder));
            return 1;
        }
        for (const QString &name : names) {
            QFile file(dir.filePath(name));
            if (!file.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(file.fileName()));
                return 1;
            }
            const QByteArray bytes = file.readAll();
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()),
                                   size_t(bytes.size()));
            ++replayed;
        }
    }
    std::printf("replayed %d inputs in %lld ms\n", replayed, qint64(clock.elapsed()));
    return 0;
}
