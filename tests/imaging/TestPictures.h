// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QColor>
#include <QFileInfo>
#include <QImage>
#include <QString>
#include <QStringList>

#include <optional>

namespace pondrel {

// Pictures, picture files and comparisons shared by the imaging and model tests.
namespace TestPictures {

// The folder of the example pictures in every Exif orientation, inside the repository.
QString exifOrientationFolder();

// A smooth, asymmetric scene (gradients and two blocks) whose every corner differs, so that a
// wrong turn or crop shows.
QImage scene(int width, int height);
// Four quadrants as stored: top-left red, top-right green, bottom-left blue, bottom-right white.
QImage quadrants(int width, int height);
QImage filled(int width, int height, QColor colour);

// What a test file carries besides its pixels.
struct Metadata
{
    std::optional<int> orientation;
    QString dateTimeDigitized;
    QImage exifThumbnail; // stored as the file's Exif thumbnail when not null
    QByteArray iccProfile;

    Metadata oriented(int value) const { return with(&Metadata::orientation, value); }
    Metadata digitized(const QString &exifTime) const
    {
        return with(&Metadata::dateTimeDigitized, exifTime);
    }
    Metadata thumbnail(const QImage &image) const { return with(&Metadata::exifThumbnail, image); }
    Metadata profile(const QByteArray &icc) const { return with(&Metadata::iccProfile, icc); }

private:
    template <typename Field, typename Value> Metadata with(Field field, const Value &value) const
    {
        Metadata copy = *this;
        copy.*field = value;
        return copy;
    }
};

// Writes `image` as a JPEG through the rendering code, then the Exif metadata; false on failure.
bool writeJpeg(const QString &path, const QImage &image, const Metadata &metadata = {});
bool writeBytes(const QString &path, const QByteArray &bytes);

// The mean absolute difference per channel (0..255) of two images, both first shrunk to `size`
// by area averaging so small shifts and JPEG noise count little.
double meanDifference(const QImage &a, const QImage &b, QSize size = QSize(48, 48));
bool isNear(QRgb colour, QColor expected, int tolerance = 0);
// The colour at a fraction of the image's width and height, e.g. (0.25, 0.25).
QRgb colourAt(const QImage &image, double x, double y);

struct ToolRun
{
    int exitCode = -1;
    QString standardOutput;
    QString standardError;
};
// Runs this build's pondrel-tool with `arguments` and `input` on its standard input, and waits
// for it.
ToolRun runTool(const QStringList &arguments, const QByteArray &input = {});

} // namespace TestPictures

// Fails the current test with a clear reason when the example pictures are missing.
#define REQUIRE_EXIF_PICTURES()                                                                    \
    ASSERT_TRUE(QFileInfo::exists(TestPictures::exifOrientationFolder() + "/Landscape_1.jpg"))     \
        << "the example pictures are missing from " PONDREL_EXIF_TESTDATA

} // namespace pondrel
