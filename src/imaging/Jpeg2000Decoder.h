#pragma once

#include "Picture.h"

#include <QString>

#include <optional>

// JPEG 2000 files (.jp2 and raw codestreams) through OpenJPEG.
namespace Jpeg2000Decoder {

struct Header
{
    QSize size;
    // Resolution levels: decoding may drop up to levels - 1 of them, halving the size each time.
    int levels = 1;
};

std::optional<Header> readHeader(const QString &path, QString &errorMsg);
// Decodes with `reduction` finest levels left out (0 = full size).
std::optional<Picture> decode(const QString &path, int reduction, QString &errorMsg);

} // namespace Jpeg2000Decoder
