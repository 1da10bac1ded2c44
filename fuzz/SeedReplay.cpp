// SPDX-License-Identifier: GPL-2.0-or-later
// A fuzz target run once over every file of the folders named on its command line. The tests
// build each target this way with the project's own compiler and replay its seeds, so a target
// that no longer compiles, or a seed that now crashes, fails the suite and not only a fuzzing
// session.

#include <QDirIterator>
#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    int replayed = 0;
    for (int index = 1; index < argc; ++index) {
        QDirIterator seeds(
            QString::fromLocal8Bit(argv[index]), QDir::Files, QDirIterator::Subdirectories);
        while (seeds.hasNext()) {
            QFile seed(seeds.next());
            if (!seed.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(seed.fileName()));
                return 1;
            }
            const QByteArray bytes = seed.readAll();
            LLVMFuzzerTestOneInput(
                reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
            ++replayed;
        }
    }
    if (replayed == 0) {
        std::fprintf(stderr, "no seeds found in the folders given\n");
        return 1;
    }
    std::printf("%d seeds replayed\n", replayed);
    return 0;
}
