// SPDX-License-Identifier: GPL-2.0-or-later
#include "imaging/Jpeg2000Decoder.h"

#include "support/CHandle.h"

#include <QFile>

#include <openjpeg.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace pondrel {

namespace {

using Codec = CHandle<opj_codec_t, opj_destroy_codec>;
using Stream = CHandle<opj_stream_t, opj_stream_destroy>;
using Image = CHandle<opj_image_t, opj_image_destroy>;

constexpr qint64 kMaxBitmapBytes = qint64(1) << 30;

void keepMessage(const char *message, void *target)
{
    *static_cast<QString *>(target) = QString::fromUtf8(message).trimmed();
}

void ignoreMessage(const char *, void *) { }

// An open file with its header read.
struct OpenCodestream
{
    Stream stream;
    Codec codec;
    Image image;
};

std::optional<OpenCodestream> openCodestream(
    const QString &path, QString &errorMsg, QString &libraryMessage)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        errorMsg = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    const QByteArray start = file.read(4);
    const bool codestreamOnly = start == QByteArray("\xff\x4f\xff\x51", 4);
    OpenCodestream open;
    open.stream.reset(
        opj_stream_create_default_file_stream(QFile::encodeName(path).constData(), 1));
    open.codec.reset(opj_create_decompress(codestreamOnly ? OPJ_CODEC_J2K : OPJ_CODEC_JP2));
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    if (!open.stream || !open.codec || !opj_setup_decoder(open.codec.get(), &parameters)) {
        errorMsg = QStringLiteral("not a valid image (JPEG 2000 decoder unavailable)");
        return std::nullopt;
    }
    opj_set_error_handler(open.codec.get(), keepMessage, &libraryMessage);
    opj_set_warning_handler(open.codec.get(), ignoreMessage, nullptr);
    opj_set_info_handler(open.codec.get(), ignoreMessage, nullptr);
    opj_image_t *image = nullptr;
    const bool headerRead = opj_read_header(open.stream.get(), open.codec.get(), &image);
    open.image.reset(image);
    if (!headerRead || !image || image->numcomps == 0) {
        errorMsg = QStringLiteral("not a valid image (%1)").arg(libraryMessage);
        return std::nullopt;
    }
    return open;
}

QSize fullSize(const opj_image_t &image)
{
    return QSize(int(image.x1 - image.x0), int(image.y1 - image.y0));
}

// What decoding at the reduction takes: a 32-bit sample per pixel of every component, and the
// 32-bit bitmap they become.
qint64 decodedBytes(const opj_image_t &image, int reduction)
{
    const auto reduced = [reduction](OPJ_UINT32 length) {
        return (qint64(length) + (1 << reduction) - 1) >> reduction;
    };
    qint64 bytes = 0;
    for (OPJ_UINT32 index = 0; index < image.numcomps; ++index) {
        const opj_image_comp_t &component = image.comps[index];
        bytes += reduced(component.w) * reduced(component.h) * qint64(sizeof(OPJ_INT32));
    }
    const QSize size = fullSize(image);
    return bytes + reduced(OPJ_UINT32(size.width())) * reduced(OPJ_UINT32(size.height())) * 4;
}

int resolutionLevels(opj_codec_t *codec)
{
    opj_codestream_info_v2_t *info = opj_get_cstr_info(codec);
    int levels = 1;
    if (info && info->m_default_tile_info.tccp_info)
        levels = int(info->m_default_tile_info.tccp_info[0].numresolutions);
    opj_destroy_cstr_info(&info);
    return std::max(levels, 1);
}

int sampleAt(const opj_image_comp_t &component, int x, int y, const opj_image_comp_t &reference)
{
    const int cx = std::min(int(component.w) - 1, int(qint64(x) * component.w / reference.w));
    const int cy = std::min(int(component.h) - 1, int(qint64(y) * component.h / reference.h));
    int value = component.data[qint64(cy) * component.w + cx];
    if (component.sgnd)
        value += 1 << (component.prec - 1);
    if (component.prec > 8)
        value >>= component.prec - 8;
    else if (component.prec < 8)
        value = value * 255 / ((1 << component.prec) - 1);
    return std::clamp(value, 0, 255);
}

QRgb ycbcrToRgb(int y, int cb, int cr, int alpha)
{
    const double blue = cb - 128.0;
    const double red = cr - 128.0;
    const auto channel = [](double value) { return std::clamp(int(value + 0.5), 0, 255); };
    return qRgba(channel(y + 1.402 * red), channel(y - 0.344136 * blue - 0.714136 * red),
        channel(y + 1.772 * blue), alpha);
}

std::optional<QImage> toBitmap(const opj_image_t &image, QString &errorMsg)
{
    const opj_image_comp_t &first = image.comps[0];
    const int components = int(image.numcomps);
    const bool colour = components >= 3;
    const bool alpha = components == 2 || components >= 4;
    const bool ycc = image.color_space == OPJ_CLRSPC_SYCC;
    if (image.color_space == OPJ_CLRSPC_CMYK || image.color_space == OPJ_CLRSPC_EYCC) {
        errorMsg = QStringLiteral("not a valid image (unsupported JPEG 2000 colour space)");
        return std::nullopt;
    }
    for (int index = 0; index < components; ++index) {
        const opj_image_comp_t &component = image.comps[index];
        if (!component.data || component.w == 0 || component.h == 0 || component.prec < 1
            || component.prec > 31) {
            errorMsg = QStringLiteral("not a valid image (damaged JPEG 2000 data)");
            return std::nullopt;
        }
    }
    if (qint64(first.w) * first.h * 4 > kMaxBitmapBytes) {
        errorMsg = QStringLiteral("The picture is too large to render");
        return std::nullopt;
    }
    QImage bitmap(int(first.w), int(first.h), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (bitmap.isNull()) {
        errorMsg = QStringLiteral("Not enough memory to decode the picture");
        return std::nullopt;
    }
    for (int y = 0; y < bitmap.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(bitmap.scanLine(y));
        for (int x = 0; x < bitmap.width(); ++x) {
            const int a = alpha ? sampleAt(image.comps[colour ? 3 : 1], x, y, first) : 255;
            const int c0 = sampleAt(first, x, y, first);
            if (!colour) {
                line[x] = qRgba(c0, c0, c0, a);
                continue;
            }
            const int c1 = sampleAt(image.comps[1], x, y, first);
            const int c2 = sampleAt(image.comps[2], x, y, first);
            line[x] = ycc ? ycbcrToRgb(c0, c1, c2, a) : qRgba(c0, c1, c2, a);
        }
    }
    return bitmap;
}

} // namespace

namespace Jpeg2000Decoder {

std::optional<Header> readHeader(const QString &path, QString &errorMsg)
{
    QString libraryMessage;
    const std::optional<OpenCodestream> open = openCodestream(path, errorMsg, libraryMessage);
    if (!open)
        return std::nullopt;
    return Header {fullSize(*open->image), resolutionLevels(open->codec.get())};
}

std::optional<Picture> decode(const QString &path, int reduction, QString &errorMsg)
{
    QString libraryMessage;
    std::optional<OpenCodestream> open = openCodestream(path, errorMsg, libraryMessage);
    if (!open)
        return std::nullopt;
    if (reduction > 0
        && !opj_set_decoded_resolution_factor(open->codec.get(), OPJ_UINT32(reduction)))
        reduction = 0;
    // OpenJPEG allocates every component's plane at the declared size as it decodes, long
    // before the bitmap's own check; a few bytes of header could ask for any amount.
    if (decodedBytes(*open->image, reduction) > kMaxBitmapBytes) {
        const QSize size = fullSize(*open->image);
        errorMsg = QStringLiteral("The picture is too large to render (%1 x %2 pixels)")
                       .arg(size.width())
                       .arg(size.height());
        return std::nullopt;
    }
    if (!opj_decode(open->codec.get(), open->stream.get(), open->image.get())
        || !opj_end_decompress(open->codec.get(), open->stream.get())) {
        errorMsg = QStringLiteral("not a valid image (%1)").arg(libraryMessage);
        return std::nullopt;
    }
    const opj_image_t &image = *open->image;
    std::optional<QImage> bitmap = toBitmap(image, errorMsg);
    if (!bitmap)
        return std::nullopt;
    QByteArray profile;
    if (image.icc_profile_buf && image.icc_profile_len > 0)
        profile = QByteArray(reinterpret_cast<const char *>(image.icc_profile_buf),
            qsizetype(image.icc_profile_len));
    return Picture(std::move(*bitmap), profile, fullSize(image), std::ldexp(1.0, -reduction));
}

} // namespace Jpeg2000Decoder

} // namespace pondrel
