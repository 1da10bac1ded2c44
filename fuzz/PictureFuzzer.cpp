// SPDX-License-Identifier: GPL-2.0-or-later
#include "fuzz/FuzzSupport.h"

#include "imaging/JpegMarkers.h"
#include "imaging/PictureDecoder.h"
#include "imaging/PictureMetadata.h"
#include "model/ImageSource.h"

#include <QColorSpace>
#include <QFile>
#include <QTemporaryDir>

using namespace pondrel;

namespace {

// The decoders read files, so every input goes through one scratch file.
QString scratchFile()
{
    static QTemporaryDir folder;
    return folder.filePath(QStringLiteral("input"));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    pondrel::fuzz::prepareProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = pondrel::fuzz::bytesOf(data, size);
    const QString path = scratchFile();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return 0;
    file.close();

    QColorSpace::fromIccProfile(JpegMarkers::iccProfile(bytes));
    QString errorMsg;
    PictureMetadata::read(path, errorMsg);
    ImageSource::open(path, ImageSource::Thumbnail::Extract, errorMsg);
    if (const std::optional<PictureDecoder> decoder = PictureDecoder::open(path, errorMsg)) {
        // A small scale keeps the pixels few; the headers and every decoding step still run.
        decoder->decode(0.125, errorMsg);
    }
    return 0;
}
