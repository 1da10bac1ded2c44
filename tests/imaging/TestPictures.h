#pragma once

#include "imaging/Picture.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>

// Pictures and comparisons shared by the imaging tests.
namespace TestPictures {

// The folder of the example pictures in every Exif orientation; empty when it is not there.
QString exifOrientationFolder();

// A smooth, asymmetric scene (gradients and a few blocks) whose every corner differs, so that
// a wrong turn or crop shows.
QImage scene(int width, int height);
// Blocks of one colour: left eighth blue, right eighth green, the rest red.
QImage bands(int width, int height);

// Writes `image` as a JPEG (quality 0..1) with an optional colour profile; false on failure.
bool writeJpeg(const QImage &image, const QString &path, float quality = 0.9f,
    const QByteArray &iccProfile = {});

// The mean absolute difference per channel (0..255) of two images of one size; both are
// first shrunk to `size` by area averaging so small shifts and JPEG noise count little.
double meanDifference(const QImage &a, const QImage &b, QSize size = QSize(48, 48));

QRgb pixel(const Picture &picture, int x, int y);
bool isWhite(QRgb colour, int tolerance = 0);
bool isNear(QRgb colour, QColor expected, int tolerance);

} // namespace TestPictures

// Skips the current test with a reason when the example pictures are missing.
#define REQUIRE_EXIF_PICTURES()                                                                    \
    if (TestPictures::exifOrientationFolder().isEmpty())                                           \
    GTEST_SKIP() << "example pictures not found at " PONDREL_EXIF_TESTDATA
